// CZkBus::SetFromBank: the body of bus items (types 8 and 18), in reading order:
//
//   1  u32 bus id
//   2  u32 parent bus id; parent 0 (top-level): u32 output device id
//   3  properties (packed list, no ranges), positioning and aux blocks of the node body, u8 bus
//      flags A, u16 max instances, u32 channel configuration, u8 bus flags B
//   4  u32 recovery time ms       5  f32 maximum duck volume
//   6  u32 duck count, each {u32 target bus, f32 volume, u32 fade-out ms, u32 fade-in ms, u8 curve,
//      u8 target property}
//   7  effects (u8 count; with a count u8 bypass bits and 7-byte entries), u32 mixer plug-in id,
//      u8 its share-set flag
//   8  u8 node flag (bit 0: overrides the custom effect)
//   9  plug-in attachments (u8 count, 6-byte entries)
//   10 game-parameter list        11 state chunk
//
// Every field is read within the body: a count or size that runs past it ends the read with 7
// before anything of that step is applied, and no byte after the body is read. What earlier steps
// applied stays in the bus (the bank reader releases a bus whose read failed).
#include "ZkAudiolib/Common/Hierarchy/CZkBus.h"

#include "ZkAudiolib/Common/Voice/ZkAudioSettings.h"

namespace ZK::SoundEngine
{
namespace
{
constexpr size_t kDuckEntryBytes = 18;

constexpr uint8_t kBusFlagsA_Limiter = 0x07;
constexpr uint8_t kBusFlagsA_BackgroundMusic = 0x08;
constexpr uint8_t kBusFlagsB_Overrides = 0x01;
constexpr uint8_t kBusFlagsB_BankFlag = 0x02;
constexpr uint8_t kNodeFlag_CustomEffect = 0x01;
// Override bits 17-19: parameters 34 to 36 of the bus's own mix stage.
constexpr uint64_t kOverrideBusMixBits = 0xE0000ull;
constexpr uint32_t kMsPerSecond = 1000;

// ms as sample frames of the engine's rate; 0 when it is not more than one audio buffer.
uint32_t RecoveryFramesOf(uint32_t ms)
{
    const uint64_t frames = uint64_t{ms} * ZkAudioSettings::SampleRate() / kMsPerSecond;
    if (frames <= ZkAudioSettings::FramesPerBuffer())
        return 0;
    return frames > 0xFFFFFFFFull ? 0xFFFFFFFFu : static_cast<uint32_t>(frames);
}
} // namespace

ZKRESULT CZkBus::SetFromBank(const uint8_t* body, uint32_t size)
{
    ZK::ZkByteCursor cursor(body, size);
    ZkUniqueID id = 0;
    ZkUniqueID parentID = 0;
    if (!cursor.Read(id) || !cursor.Read(parentID))
        return ZK_InvalidFile;
    if (parentID != 0)
    {
        auto* parent =
            static_cast<CZkHierarchyNode*>(g_pObjectIndex != nullptr ? g_pObjectIndex->GetNodePtrAndAddRef(parentID, true)
                                                                     : nullptr);
        if (parent == nullptr)
            return ZK_Fail;
        const ZKRESULT added = parent->AddChild(this);
        parent->Release();
        if (added != ZK_Success)
            return added;
    }
    else
    {
        uint32_t deviceID = 0;
        if (!cursor.Read(deviceID))
            return ZK_InvalidFile;
        m_deviceID = deviceID;
    }

    ZKRESULT result = ReadBusSettings(cursor);
    if (result != ZK_Success)
        return result;
    uint32_t recoveryMs = 0;
    if (!cursor.Read(recoveryMs) || !cursor.Read(m_maxDuckVolume))
        return ZK_InvalidFile;
    m_recoveryFrames = RecoveryFramesOf(recoveryMs);
    if ((result = ReadDucks(cursor)) != ZK_Success)
        return result;

    result = ReadBusEffects(cursor);
    // The node flag is read after a failed effect step too (unless the body ended there).
    uint8_t nodeFlag = 0;
    if (result == ZK_InvalidFile || !cursor.Read(nodeFlag))
        return ZK_InvalidFile;
    m_flagsA = static_cast<uint8_t>((nodeFlag & kNodeFlag_CustomEffect) != 0 ? m_flagsA | kNodeFlagA_OverridesCustomEffect
                                                                             : m_flagsA & ~kNodeFlagA_OverridesCustomEffect);
    if (result != ZK_Success)
        return result;

    if ((result = WithProcessingCheck([&] { return ReadPluginAttachmentTable(cursor); })) != ZK_Success)
        return result;
    SetOverrideBits(kOverridePluginAttachments, true);
    if ((result = ReadGameParametersFromBank(cursor)) != ZK_Success ||
        (result = WithProcessingCheck([&] { return ReadStateChunk(cursor); })) != ZK_Success)
        return result;

    if (Parent() != nullptr)
    {
        m_deviceID = static_cast<CZkBus*>(Parent())->m_deviceID;
        return ZK_Success;
    }
    return AddTopLevel(this);
}

ZKRESULT CZkBus::ReadBusSettings(ZK::ZkByteCursor& cursor)
{
    ZKRESULT result = WithProcessingCheck([&] { return m_props.ReadFromBank(cursor); });
    if (result == ZK_Fail)
        return ZK_InsufficientMemory;
    if (result != ZK_Success || (result = ReadPositioningFromBank(cursor)) != ZK_Success ||
        (result = ReadAuxFromBank(cursor)) != ZK_Success)
        return result;

    uint8_t flagsA = 0;
    uint16_t maxInstances = 0;
    uint32_t channelConfig = 0;
    uint8_t flagsB = 0;
    if (!cursor.Read(flagsA) || !cursor.Read(maxInstances) || !cursor.Read(channelConfig) || !cursor.Read(flagsB))
        return ZK_InvalidFile;
    bool unused = false;
    ChangeFlag(m_flagsA, kNodeFlagA_TieBreakReversed, (flagsA & 0x01) != 0, unused);
    ChangeFlag(m_flagsA, kNodeFlagA_VirtualOnLimit, (flagsA & 0x02) != 0, unused);
    ChangeFlag(m_flagsA, kNodeFlagA_GlobalLimit, (flagsA & 0x04) != 0, unused);
    static_assert(kBusFlagsA_Limiter == 0x07, "bits 0-2 are the limiter settings");
    UpdateLimiterFlags();
    SetMaxInstances(maxInstances);
    SetChannelConfig(channelConfig);
    WithProcessingCheck([&] {
        SetOverrideBits(kOverrideBusMixBits, (flagsB & kBusFlagsB_Overrides) != 0);
        ChangeFlag(m_busFlags, kFlagBank, (flagsB & kBusFlagsB_BankFlag) != 0, unused);
    });
    if ((flagsA & kBusFlagsA_BackgroundMusic) != 0)
        JoinBackgroundMusic();
    return ZK_Success;
}

ZKRESULT CZkBus::ReadDucks(ZK::ZkByteCursor& cursor)
{
    uint32_t count = 0;
    if (!cursor.Read(count) || !cursor.Holds(count, kDuckEntryBytes))
        return ZK_InvalidFile;
    for (uint32_t index = 0; index < count; ++index)
    {
        const uint8_t* bytes = cursor.Take(kDuckEntryBytes);
        ZkDuckEntry entry{};
        entry.targetBusID = ZK::LoadLittleEndian<uint32_t>(bytes);
        entry.volume = ZK::LoadLittleEndian<float>(bytes + 4);
        entry.fadeOutMs = ZK::LoadLittleEndian<uint32_t>(bytes + 8);
        entry.fadeInMs = ZK::LoadLittleEndian<uint32_t>(bytes + 12);
        entry.curve = bytes[16];
        entry.property = bytes[17];
        const ZKRESULT added = AddDuckEntry(entry);
        if (added != ZK_Success)
            return added;
    }
    return ZK_Success;
}

ZKRESULT CZkBus::ReadBusEffects(ZK::ZkByteCursor& cursor)
{
    const ZKRESULT read = WithProcessingCheck([&] { return Effects().ReadEffectList(cursor); });
    if (read != ZK_Success)
        return read;
    uint32_t mixerID = 0;
    uint8_t mixerShareSet = 0;
    if (!cursor.Read(mixerID) || !cursor.Read(mixerShareSet))
        return ZK_InvalidFile;
    SetOverrideBits(kOverrideEffectBypass, true);
    return SetMixerPlugin(mixerID, mixerShareSet != 0, 0);
}
} // namespace ZK::SoundEngine
