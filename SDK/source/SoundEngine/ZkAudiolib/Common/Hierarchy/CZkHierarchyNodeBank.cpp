// CZkHierarchyNode::SetBaseFromBank: the common body of every node item, in reading order:
//
//   1  effects        u8 override, u8 count N; with N: u8 bypass bits, N x {u8 slot, u32 effect id,
//                     u8 share-set flag, u8 rendered flag}
//   2  plug-ins       u8 override, u8 count M, M x {u8 index, u32 effect id, u8 share-set flag}
//   3  u8 custom-effect override (bit 0)
//   4  u32 output bus id        5  u32 parent id        6  u8 behaviour bits
//   7  properties     packed property list, packed randomised-range list
//   8  positioning    u8 P; with bits 0 and 1 a u8 Q; with 3-D mode 1 or 2 the path block
//   9  aux            u8 A; with bit 3 four u32 aux bus ids; u32 extra aux bus id
//   10 advanced       u8 B, u8 C, u16 max instances, u8 below-threshold behaviour, u8 D
//   11 state chunk    12 game-parameter list
//
// Every field is read only when it lies within what is left of the item: a count or size that
// runs past it ends the read with 7 before anything of that step is applied, and no byte after the
// item is ever read. What earlier steps applied stays in the node (the bank reader releases a node
// whose read failed).
#include "ZkAudiolib/Common/Containers/ZkNew.h"
#include "ZkAudiolib/Common/Hierarchy/CZkHierarchyNode.h"
#include "ZkAudiolib/Common/Parameters/ZkBankRTPCEntry.h"
#include "ZkAudiolib/Common/Positioning/ZkPathData.h"

#include <cstring>

namespace ZK::SoundEngine
{
namespace
{
constexpr size_t kEffectEntryBytes = 7;
constexpr size_t kPluginEntryBytes = 6;

constexpr uint8_t kPositioningOverride = 0x01;
constexpr uint8_t kPositioningHas3D = 0x02;
constexpr uint32_t kPathModeFirst = 1;
constexpr uint32_t kPathModeLast = 2;
constexpr uint8_t kPathListenerRelative = 0x40; // Q bit 6, kept in bit 31 of the path count

constexpr uint8_t kAuxOverrideGame = 0x01;
constexpr uint8_t kAuxUseGameSends = 0x02;
constexpr uint8_t kAuxOverrideUser = 0x04;
constexpr uint8_t kAuxHasUserBuses = 0x08;
constexpr uint8_t kAuxOverrideExtra = 0x10;

constexpr uint8_t kBehaviourPriorityOverride = 0x01;
constexpr uint8_t kBehaviourDistanceOffset = 0x02;
constexpr uint8_t kBehaviourMidiPlayMode = 0x04;
constexpr uint8_t kBehaviourKeyTracking = 0x08;
constexpr uint8_t kBehaviourKeyTrackingOn = 0x10;
constexpr uint8_t kBehaviourMidiMode = 0x20;

uint64_t WithBits(uint64_t mask, uint64_t bits, bool set) { return set ? mask | bits : mask & ~bits; }
} // namespace

void CZkHierarchyNode::ChangeFlag(uint8_t& flags, uint8_t bit, bool set, bool& changed)
{
    const uint8_t updated = static_cast<uint8_t>(set ? flags | bit : flags & ~bit);
    changed = changed || updated != flags;
    flags = updated;
}

ZKRESULT CZkHierarchyNode::SetBaseFromBank(ZK::ZkByteCursor& cursor, bool partial)
{
    ZKRESULT result = ReadEffectsFromBank(cursor, partial);
    if (partial || result != ZK_Success)
        return result;
    result = ReadPluginAttachmentsFromBank(cursor);
    if (result != ZK_Success)
        return result;

    uint8_t customEffect = 0;
    ZkUniqueID busID = 0;
    ZkUniqueID parentID = 0;
    if (!cursor.Read(customEffect) || !cursor.Read(busID) || !cursor.Read(parentID))
        return ZK_InvalidFile;
    m_flagsA = static_cast<uint8_t>((customEffect & 1) != 0 ? m_flagsA | kNodeFlagA_OverridesCustomEffect
                                                             : m_flagsA & ~kNodeFlagA_OverridesCustomEffect);
    if ((result = AttachToBus(busID)) != ZK_Success || (result = AttachToParent(parentID)) != ZK_Success)
        return result;

    uint8_t behaviour = 0;
    if (!cursor.Read(behaviour))
        return ZK_InvalidFile;
    const uint64_t priorityMask = WithBits(m_overrideMask, kOverridePriority, (behaviour & kBehaviourPriorityOverride) != 0);
    bool changed = priorityMask != m_overrideMask;
    m_overrideMask = priorityMask;
    ChangeFlag(m_flagsA, kNodeFlagA_PriorityDistanceOffset, (behaviour & kBehaviourDistanceOffset) != 0, changed);
    if (changed)
        Refresh();
    bool unused = false;
    ChangeFlag(m_flagsB, kNodeFlagB_OverridesMidiPlayMode, (behaviour & kBehaviourMidiPlayMode) != 0, unused);
    ChangeFlag(m_flagsB, kNodeFlagB_OverridesKeyTracking, (behaviour & kBehaviourKeyTracking) != 0, unused);
    ChangeFlag(m_flagsB, kNodeFlagB_KeyTracking, (behaviour & kBehaviourKeyTrackingOn) != 0, unused);
    ChangeFlag(m_flagsC, kNodeFlagC_MidiMode, (behaviour & kBehaviourMidiMode) != 0, unused);

    if ((result = ReadPropertiesFromBank(cursor)) != ZK_Success ||
        (result = ReadPositioningFromBank(cursor)) != ZK_Success || (result = ReadAuxFromBank(cursor)) != ZK_Success ||
        (result = ReadAdvancedSettingsFromBank(cursor)) != ZK_Success || (result = ReadStateChunk(cursor)) != ZK_Success)
        return result;
    return ReadGameParametersFromBank(cursor);
}

ZKRESULT CZkHierarchyNode::ReadEffectsFromBank(ZK::ZkByteCursor& cursor, bool partial)
{
    uint8_t overrides = 0;
    uint8_t count = 0;
    if (!cursor.Read(overrides))
        return ZK_InvalidFile;
    if (!partial)
        m_overrideMask = WithBits(m_overrideMask, kOverrideEffectBypass, overrides != 0);
    if (!cursor.Read(count))
        return ZK_InvalidFile;
    if (count == 0)
        return ZK_Success; // no bypass byte either
    uint8_t bypass = 0;
    if (!cursor.Read(bypass) || !cursor.Holds(count, kEffectEntryBytes))
        return ZK_InvalidFile;
    for (uint32_t index = 0; index < count; ++index)
    {
        const uint8_t* entry = cursor.Take(kEffectEntryBytes);
        const uint8_t slot = entry[0];
        const auto effectID = ZK::LoadLittleEndian<uint32_t>(entry + 1);
        const bool isShareSet = entry[5] != 0;
        const bool rendered = entry[6] != 0;
        // A slot index above 3 stores no rendered flag (SetSlotRendered refuses it with 31).
        if (m_effects.SetSlotRendered(slot, rendered) == ZK_InsufficientMemory)
        {
            m_effects.SetBypassBits(bypass, kBypassMaskAll);
            return ZK_InsufficientMemory;
        }
        if (!rendered && effectID != 0 && !partial)
        {
            const ZKRESULT attached = m_effects.SetSlotValue(slot, effectID, isShareSet, 0);
            if (attached != ZK_Success)
            {
                m_effects.SetBypassBits(bypass, kBypassMaskAll);
                return attached;
            }
        }
    }
    if (!partial)
    {
        const ZKRESULT bypassed = m_effects.SetBypassBits(bypass, kBypassMaskAll);
        if (bypassed != ZK_Success)
            return bypassed;
        Refresh(); // live voices take the new bypass bits
    }
    return ZK_Success;
}

ZKRESULT CZkHierarchyNode::ReadPluginAttachmentsFromBank(ZK::ZkByteCursor& cursor)
{
    uint8_t overrides = 0;
    if (!cursor.Read(overrides))
        return ZK_InvalidFile;
    m_overrideMask = WithBits(m_overrideMask, kOverridePluginAttachments, overrides != 0);
    return ReadPluginAttachmentTable(cursor);
}

ZKRESULT CZkHierarchyNode::ReadPluginAttachmentTable(ZK::ZkByteCursor& cursor)
{
    uint8_t count = 0;
    if (!cursor.Read(count))
        return ZK_InvalidFile;
    if (count == 0)
        return ZK_Success;
    if (!cursor.Holds(count, kPluginEntryBytes))
        return ZK_InvalidFile;
    auto* table = static_cast<ZkPluginAttachment*>(ZK::MemoryMgr::Malloc(kPool, sizeof(ZkPluginAttachment) * count));
    if (table == nullptr)
        return ZK_InsufficientMemory;
    std::memset(static_cast<void*>(table), 0, sizeof(ZkPluginAttachment) * count);
    for (uint32_t index = 0; index < count; ++index)
    {
        const uint8_t* entry = cursor.Take(kPluginEntryBytes);
        const uint8_t at = entry[0];
        const auto effectID = ZK::LoadLittleEndian<uint32_t>(entry + 1);
        if (effectID == 0 || at >= count)
            continue;
        table[at] = ZkPluginAttachment{effectID, entry[5]};
    }
    if (m_attachments != nullptr)
        ZK::MemoryMgr::Free(kPool, m_attachments);
    m_attachments = table;
    m_attachmentCount = count;
    return ZK_Success;
}

ZKRESULT CZkHierarchyNode::AttachToBus(ZkUniqueID busID)
{
    if (busID == 0)
        return ZK_Success;
    auto* bus = static_cast<CZkHierarchyNode*>(g_pObjectIndex != nullptr ? g_pObjectIndex->GetNodePtrAndAddRef(busID, true)
                                                                          : nullptr);
    if (bus == nullptr)
        return ZK_Fail;
    const ZKRESULT result = bus->AddChild(this);
    bus->Release();
    return result;
}

ZKRESULT CZkHierarchyNode::AttachToParent(ZkUniqueID parentID)
{
    if (parentID == 0 || g_pObjectIndex == nullptr)
        return ZK_Success;
    auto* parent = static_cast<CZkHierarchyNode*>(g_pObjectIndex->GetNodePtrAndAddRef(parentID, false));
    if (parent == nullptr)
        return ZK_Success; // a parent that is not loaded is ignored
    const ZKRESULT result = parent->AddChild(this);
    parent->Release();
    return result;
}

ZKRESULT CZkHierarchyNode::ReadPropertiesFromBank(ZK::ZkByteCursor& cursor)
{
    // The randomised ranges belong to playable nodes; here they are only stepped over.
    ZK::ZkByteCursor ranges = cursor;
    if (!decltype(m_props)::SkipInBank(ranges) || !ZkPackedPropList<8, kPool>::SkipInBank(ranges))
        return ZK_InvalidFile;
    const ZKRESULT result = m_props.ReadFromBank(cursor);
    if (result != ZK_Success)
        return result;
    cursor = ranges;
    return ZK_Success;
}

ZKRESULT CZkHierarchyNode::ReadPositioningFromBank(ZK::ZkByteCursor& cursor)
{
    uint8_t p = 0;
    if (!cursor.Read(p))
        return ZK_InvalidFile;
    m_overrideMask = WithBits(m_overrideMask, kOverridePositioning, (p & kPositioningOverride) != 0);
    m_flagsB = static_cast<uint8_t>((p & kPositioningHas3D) != 0 ? m_flagsB | kNodeFlagB_Has3D : m_flagsB & ~kNodeFlagB_Has3D);
    if ((p & kPositioningOverride) == 0)
        return ZK_Success;
    const uint32_t mode = (p >> 5) & 0x3u;
    m_positioningBits = static_cast<uint16_t>((m_positioningBits & ~0x7u) | mode);
    // P bits 2-3: the two panner flags.
    m_flagsB = static_cast<uint8_t>((m_flagsB & ~0x0Cu) | (p & 0x0Cu));
    if ((p & kPositioningHas3D) == 0)
        return ZK_Success;
    uint8_t q = 0;
    if (!cursor.Read(q))
        return ZK_InvalidFile;
    // Q bits 0, 1, 3, 4: the four 3-D flags (bits 3-6); Q bits 5 and 7: two more (bits 7-8).
    const uint32_t flags3D = (q & 0x3u) | ((q >> 1) & 0xCu);
    const uint32_t further = ((q >> 5) & 0x1u) | ((q >> 6) & 0x2u);
    m_positioningBits = static_cast<uint16_t>((m_positioningBits & 0x7u) | flags3D << 3 | further << 7);
    if (mode < kPathModeFirst || mode > kPathModeLast)
    {
        RefreshPositioning();
        return ZK_Success;
    }
    const ZKRESULT result = ReadPathFromBank(cursor, (q & kPathListenerRelative) != 0);
    if (result != ZK_Success)
        return result;
    RefreshPositioning();
    return ZK_Success;
}

ZKRESULT CZkHierarchyNode::ReadAuxFromBank(ZK::ZkByteCursor& cursor)
{
    uint8_t a = 0;
    if (!cursor.Read(a))
        return ZK_InvalidFile;
    ZkUniqueID userBuses[kUserAuxBusCount] = {};
    if ((a & kAuxHasUserBuses) != 0)
    {
        for (ZkUniqueID& bus : userBuses)
        {
            if (!cursor.Read(bus))
                return ZK_InvalidFile;
        }
    }
    ZkUniqueID extra = 0;
    if (!cursor.Read(extra))
        return ZK_InvalidFile;

    uint64_t mask = WithBits(m_overrideMask, kOverrideGameAux, (a & kAuxOverrideGame) != 0);
    mask = WithBits(mask, kOverrideUserAux, (a & kAuxOverrideUser) != 0);
    mask = WithBits(mask, kOverrideExtraAux, (a & kAuxOverrideExtra) != 0);
    bool changed = mask != m_overrideMask;
    m_overrideMask = mask;
    ChangeFlag(m_flagsB, kNodeFlagB_UseGameAuxSends, (a & kAuxUseGameSends) != 0, changed);
    const bool anyUserBus = userBuses[0] != 0 || userBuses[1] != 0 || userBuses[2] != 0 || userBuses[3] != 0;
    if (m_auxBusIDs == nullptr && anyUserBus)
    {
        m_auxBusIDs = static_cast<ZkUniqueID*>(ZK::MemoryMgr::Malloc(kPool, sizeof(userBuses)));
        if (m_auxBusIDs == nullptr)
            return ZK_InsufficientMemory;
        std::memset(m_auxBusIDs, 0, sizeof(userBuses));
    }
    if (m_auxBusIDs != nullptr)
    {
        changed = changed || std::memcmp(m_auxBusIDs, userBuses, sizeof(userBuses)) != 0;
        std::memcpy(m_auxBusIDs, userBuses, sizeof(userBuses));
    }
    changed = changed || extra != m_extraAuxBusID;
    m_extraAuxBusID = extra;
    if (changed)
        Refresh();
    return ZK_Success;
}

ZKRESULT CZkHierarchyNode::ReadGameParametersFromBank(ZK::ZkByteCursor& cursor)
{
    uint16_t count = 0;
    if (!cursor.Read(count))
        return ZK_InvalidFile;
    for (uint32_t index = 0; index < count; ++index)
    {
        ZkBankRTPCEntry entry;
        if (!entry.Read(cursor))
            return ZK_InvalidFile;
        const ZKRESULT result = entry.WithAlignedPoints([&](const ZkCurvePoint* points, uint32_t pointCount) {
            return SubscribeRTPC(entry.paramID, entry.paramType, entry.combineMode, entry.bit, entry.curveID,
                                 entry.scaling, points, pointCount);
        });
        if (result != ZK_Success)
            return result;
    }
    return ZK_Success;
}
} // namespace ZK::SoundEngine
