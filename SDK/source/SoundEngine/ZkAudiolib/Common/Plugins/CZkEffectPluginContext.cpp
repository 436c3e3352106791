#include "ZkAudiolib/Common/Plugins/CZkEffectPluginContext.h"

#include "ZkAudiolib/Common/MixGraph/CZkMixContext.h"

namespace ZK::SoundEngine
{
uint32_t CZkEffectPluginContext::GetCustomData(const void*& data, uint32_t& size)
{
    data = nullptr;
    size = 0;
    return 0;
}

ZK::IZkVoiceInfo* CZkEffectPluginContext::GetVoiceInterface() const
{
    return Owner() != nullptr ? Owner()->GetVoiceInfo() : nullptr;
}
} // namespace ZK::SoundEngine
