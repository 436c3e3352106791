// CZkDeviceEffectContext: the host context of the effects that run on an output device's final
// mix. A device effect has no voice, node or media of its own: it sees the engine's global context,
// the device's main-mix configuration as its output, unit gain, and the engine's runtime
// environment and stream manager.
//
// Threading: engine thread. Ownership: embedded in its device; the effects only borrow it.
#pragma once

#include <ZK/SoundEngine/Common/IZkEffectPlugin.h>

class CZkOutputDevice;

namespace ZK::SoundEngine
{
class CZkDeviceEffectContext final : public ZK::IZkEffectPluginContext
{
public:
    explicit CZkDeviceEffectContext(const CZkOutputDevice& device) : m_device(device) {}

    ZK::IZkGlobalPluginContext* GetGlobalContext() const override;
    ZKRESULT PostMonitoring(const void* data, uint32_t size) override;
    void FindMedia(uint32_t mediaIndex, const uint8_t*& data, uint32_t& size) override;
    uint32_t GetCustomData(const void*& data, uint32_t& size) override;
    float GetOwnerGain() const override { return 1.0f; }
    ZKRESULT GetOutputConfig(ZkChannelConfig& config) const override;
    ZK::IZkRuntimeEnvironment* GetRuntimeEnvironment() const override;
    ZkUniqueID GetNodeID() const override { return ZK_INVALID_UNIQUE_ID; }
    bool IsActive() const override { return true; }
    void GetMediaCount(uint32_t& count) const override { count = 0; }
    ZK::IZkStreamMgr* GetStreamMgr() const override;

private:
    const CZkOutputDevice& m_device;
};
} // namespace ZK::SoundEngine
