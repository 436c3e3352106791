// CZkBus: output devices, channel configuration, the mixer plug-in, and whether the bus needs a
// mix stage of its own.
#include "ZkAudiolib/Common/Hierarchy/CZkBus.h"

#include "ZkAudiolib/Common/Renderer/CZkAudioRenderer.h"

#include <bit>

namespace ZK::SoundEngine
{
namespace
{
constexpr uint32_t kChannelCountMask = 0xFF;
constexpr uint32_t kConfigTypeShift = 8;
constexpr uint32_t kConfigTypeMask = 0xF;
constexpr uint32_t kChannelMaskShift = 12;
constexpr uint32_t kStandardType = 1;
constexpr uint32_t kStandardMaskBits = 0x3FF3F;
constexpr uint32_t kGraphRefreshLevel = 0;
// The stop that a mixer change sends down (its extra value).
constexpr uint32_t kMixerChangeStopOptions = 4;
// Flag byte B bits 1-4 (3-D settings, panner type) and bit 0 (game-defined aux sends).
constexpr uint8_t kPositionedBits = 0x1E;
constexpr uint8_t kGameAuxBit = 0x01;
constexpr uint64_t kOverrideBusMixBits = 0xE0000ull;
constexpr uint64_t kProcessingParameterBits = (1ull << 5) | (0x7ull << 43);

uint32_t ConfigType(uint32_t config) { return (config >> kConfigTypeShift) & kConfigTypeMask; }
uint32_t ChannelCount(uint32_t config) { return config & kChannelCountMask; }
} // namespace

void CZkBus::SetDeviceID(uint32_t deviceID)
{
    if (deviceID == m_deviceID)
        return;
    m_deviceID = deviceID;
    for (CZkBus* child : m_childBuses)
        child->SetDeviceID(deviceID);
    if (IsTopLevel())
        CZkAudioRenderer::SetGraphDirty(kGraphRefreshLevel);
}

uint32_t CZkBus::ResolveOutputShareSet()
{
    if (m_deviceID != kInheritDevice)
        return m_deviceID;
    for (CZkHierarchyNode* level = Parent(); level != nullptr; level = level->Parent())
    {
        const uint32_t inherited = static_cast<CZkBus*>(level)->m_deviceID;
        if (inherited != kInheritDevice)
        {
            m_deviceID = inherited;
            break;
        }
    }
    return m_deviceID;
}

void CZkBus::ResolveDeviceTree(uint32_t oldID, uint32_t newID)
{
    if (ResolveOutputShareSet() == oldID)
    {
        SetDeviceID(newID); // passes it to the whole tree below
        return;
    }
    for (uint32_t index = 0; index < m_childBuses.Length(); ++index)
        m_childBuses[index]->ResolveDeviceTree(oldID, newID);
}

ZKRESULT CZkBus::ResolveDeviceIDs(uint32_t oldID, uint32_t newID)
{
    for (uint32_t index = 0; index < TopLevelCount(); ++index)
        TopLevelAt(index)->ResolveDeviceTree(oldID, newID);
    return ZK_Success;
}

void CZkBus::SetChannelConfig(uint32_t channelConfig)
{
    if (ConfigType(channelConfig) == kStandardType)
    {
        const uint32_t mask = (channelConfig >> kChannelMaskShift) & kStandardMaskBits;
        channelConfig = static_cast<uint32_t>(std::popcount(mask)) | mask << kChannelMaskShift |
                        kStandardType << kConfigTypeShift;
    }
    if (channelConfig == m_channelConfig)
        return;
    m_channelConfig = channelConfig;
    CZkAudioRenderer::SetGraphRebuildAll();
}

ZKRESULT CZkBus::SetMixerPlugin(ZkUniqueID effectID, bool isShareSet, uint32_t priority)
{
    if (m_mixer == nullptr)
    {
        if (effectID == 0)
            return ZK_Success;
        m_mixer = static_cast<ZkMixerPlugin*>(ZK::MemoryMgr::Malloc(kPool, sizeof(ZkMixerPlugin)));
        if (m_mixer == nullptr)
            return ZK_Fail;
        *m_mixer = ZkMixerPlugin{0, 0, 0};
    }
    if (priority < m_mixer->priority)
        return ZK_Success;
    m_mixer->priority = priority;
    if (m_mixer->effectID == effectID && (m_mixer->isShareSet != 0) == isShareSet)
        return ZK_Success;
    const bool before = NeedsProcessing();
    m_mixer->effectID = effectID;
    m_mixer->isShareSet = isShareSet ? 1 : 0;
    // Everything playing through the bus stops: its mix changes under it.
    ZkActionParams stop;
    stop.code = ZkActionCode_Stop;
    stop.transitionTime = 0;
    stop.curve = 0;
    stop.options = kMixerChangeStopOptions;
    stop.target = this;
    ExecuteAction(stop);
    if (effectID == 0)
    {
        ZK::MemoryMgr::Free(kPool, m_mixer);
        m_mixer = nullptr;
    }
    AfterProcessingCheck(before);
    return ZK_Success;
}

CZkIndexedObject* CZkBus::MixerEffect() const
{
    if (m_mixer == nullptr || m_mixer->effectID == 0 || g_pObjectIndex == nullptr)
        return nullptr;
    return g_pObjectIndex->GetPtrAndAddRef(m_mixer->isShareSet != 0 ? ZkIndexKind::SharedEffects
                                                                    : ZkIndexKind::CustomEffects,
                                           m_mixer->effectID);
}

bool CZkBus::NeedsProcessing() const
{
    for (uint32_t slot = 0; slot < kEffectSlotCount; ++slot)
    {
        if (EffectSlotID(slot) != 0)
            return true;
    }
    if (Category() == ZkNodeCategory_BusType18)
        return true;
    const uint32_t type = ConfigType(m_channelConfig);
    if (type == 14 || type == 15 || type == 3 || (type <= 3 && ChannelCount(m_channelConfig) != 0))
        return true;
    if (Parent() == nullptr || (m_flagsB & kPositionedBits) != 0)
        return true;
    return (OverrideMask() & kOverrideBusMixBits) != 0 || m_mixer != nullptr || UserAuxBusIDs() != nullptr ||
           (m_flagsB & kGameAuxBit) != 0 ||
           (ParamTargets().UsedBits() & kProcessingParameterBits) != 0;
}

void CZkBus::AfterProcessingCheck(bool before)
{
    if (IsPlaying() && NeedsProcessing() != before)
        CZkAudioRenderer::SetGraphDirty(kGraphRefreshLevel);
}

bool CZkBus::HasSubscriptionInChain(ZkUniqueID groupID, ZK::ZkArray<uint32_t>& syncTypes) const
{
    for (const CZkHierarchyNode* level = this; level != nullptr; level = level->Parent())
    {
        if (level->FindLink(groupID) != nullptr)
        {
            level->CollectSyncType(groupID, syncTypes);
            return true;
        }
    }
    return false;
}
} // namespace ZK::SoundEngine
