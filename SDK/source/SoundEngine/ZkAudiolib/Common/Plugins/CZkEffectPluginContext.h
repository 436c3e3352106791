// CZkEffectPluginContext: the host context of an effect plug-in in a voice's effect slot. The
// plug-in reaches the engine only through it: the global plug-in context, the media it references
// by index (kept in the context's media table), the gain and the configuration of what the voice
// feeds, the node it plays for, the runtime environment and the stream manager. Monitoring is not
// kept in this system.
//
// Threading: the thread rendering the voice. Ownership: embedded in its effect stage, which binds
// it to the voice and slot when the effect starts; the media references are the context's.
#pragma once

#include "ZkAudiolib/Common/Plugins/CZkPluginContextBase.h"

#include <ZK/SoundEngine/Common/IZkEffectPlugin.h>

namespace ZK
{
class IZkVoiceInfo;
} // namespace ZK

namespace ZK::SoundEngine
{
class CZkEffectPluginContext final : public ZK::IZkEffectPluginContext, public CZkPluginContextBase
{
public:
    ZK::IZkGlobalPluginContext* GetGlobalContext() const override;
    ZKRESULT PostMonitoring(const void*, uint32_t) override { return ZK_NotImplemented; }
    void FindMedia(uint32_t mediaIndex, const uint8_t*& data, uint32_t& size) override
    {
        LookUpMedia(mediaIndex, data, size);
    }
    uint32_t GetCustomData(const void*& data, uint32_t& size) override;
    float GetOwnerGain() const override { return OwnerGain(); }
    ZKRESULT GetOutputConfig(ZkChannelConfig& config) const override { return OwnerOutputConfig(config); }
    ZK::IZkRuntimeEnvironment* GetRuntimeEnvironment() const override;
    ZkUniqueID GetNodeID() const override { return OwnerNodeID(); }
    bool IsActive() const override { return true; }
    void GetMediaCount(uint32_t& count) const override { count = 0; }
    ZK::IZkStreamMgr* GetStreamMgr() const override;

    // Monitors are not kept: attaching and detaching answer 2; monitoring counts as allowed.
    ZKRESULT AttachMonitor() const { return ZK_Fail; }
    bool IsMonitoringAllowed() const { return true; }
    ZKRESULT DetachMonitor() const { return ZK_Fail; }
    // The voice-information interface of the owning voice (null for a bus).
    ZK::IZkVoiceInfo* GetVoiceInterface() const;
};
} // namespace ZK::SoundEngine
