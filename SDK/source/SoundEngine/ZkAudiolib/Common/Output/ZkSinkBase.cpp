#include "ZkAudiolib/Common/Output/ZkSinkBase.h"

#include "ZkAudiolib/Common/Output/ZkSinkPluginParams.h"

#include <new>

namespace ZK::SoundEngine
{
namespace
{
// The configuration mask of front centre alone, as it sits in the configuration word.
constexpr uint32_t kMaskBitsOfWord = 0xFFFFF000u;
constexpr uint32_t kFrontCentreOnlyMaskBits = ZK_SPEAKER_FRONT_CENTER << ZkChannelConfig::kMaskShift;

bool IsRenderable(ZkChannelConfig config)
{
    return config.Type() <= ZkChannelConfigType_Objects && config.NumChannels() != 0;
}
} // namespace

ZK::IZkPlugin* CZkSinkBase::Create(ZK::IZkPluginMemAlloc* allocator)
{
    void* memory = ZK_PLUGIN_MALLOC(allocator, sizeof(CZkSinkBase));
    return memory != nullptr ? new (memory) CZkSinkBase : nullptr;
}

ZKRESULT CZkSinkBase::Term(ZK::IZkPluginMemAlloc* allocator)
{
    this->~CZkSinkBase();
    ZK_PLUGIN_FREE(allocator, this);
    return ZK_Success;
}

ZKRESULT CZkSinkBase::GetPluginInfo(ZK::ZkPluginInfo& info)
{
    info = ZK::ZkPluginInfo{};
    info.type = ZK::ZkPluginTypeSink;
    info.buildVersion = ZK::ZK_PLUGIN_BUILD_VERSION;
    return ZK_Success;
}

ZKRESULT CZkSinkBase::Init(ZK::IZkPluginMemAlloc*, ZK::IZkSinkPluginContext*, ZK::IZkPluginParam* params,
                           ZkChannelConfig& config)
{
    const auto* basic = dynamic_cast<const CZkSinkParamsBasic*>(params);
    m_capabilities = basic != nullptr ? basic->Capabilities() : ZK::Zk3DAudioSinkCapabilities{};
    if (IsRenderable(config) && config.Type() != ZkChannelConfigType_Objects)
        m_capabilities.channelConfig = config;
    const bool objectsWanted = basic != nullptr && basic->objectsWanted != 0;
    if (objectsWanted && (m_capabilities.channelConfig.word & kMaskBitsOfWord) != kFrontCentreOnlyMaskBits)
        config = ZkChannelConfig(ZkChannelConfigType_Objects << 8);
    else
        config = m_capabilities.channelConfig;
    return ZK_Success;
}

ZKRESULT CZkSinkBase::IsDataNeeded(uint32_t& buffers)
{
    buffers = 1;
    return ZK_Success;
}

ZKRESULT CZkSinkBase::GetCapabilities(ZK::Zk3DAudioSinkCapabilities& capabilities)
{
    capabilities = m_capabilities;
    return ZK_Success;
}

uint32_t CZkSinkBase::Consume(ZkAudioBuffer*, ZkAudioBuffer*, ZkAudioObjects*, ZkRamp)
{
    return 0;
}
} // namespace ZK::SoundEngine
