// CZkSinkContext: what a device hands its sink at Init: through it the sink learns the device id it
// is to open and its own plug-in id, the device's main-mix configuration and whether the device is
// the main one, wakes the engine thread (main device only), reads the platform's refill-buffer
// count, and asks for speaker matrices on the device's layout. Sink messages are discarded.
//
// Threading: engine thread (a sink's worker may call SignalEngineThread). Ownership: embedded in its
// device; the sink only borrows it.
#pragma once

#include <ZK/SoundEngine/Common/IZkSinkPlugin.h>

#include <cstdint>

class CZkOutputDevice;

namespace ZK::SoundEngine
{
class CZkSinkContext final : public ZK::IZkSinkPluginContext
{
public:
    explicit CZkSinkContext(CZkOutputDevice& device) : m_device(device) {}

    // What GetOutputID answers: the device id for the sink (0 for the default endpoint) and the
    // sink's plug-in id.
    void SetOutputID(uint32_t deviceID, uint32_t pluginID)
    {
        m_deviceID = deviceID;
        m_pluginID = pluginID;
    }

    ZK::IZkGlobalPluginContext* GlobalContext() const override;
    ZKRESULT GetOutputID(uint32_t& deviceID, uint32_t& pluginID) const override;
    ZKRESULT PostMonitorMessage(const char* message, uint32_t level) override;
    float GetDownstreamGain() const override { return 1.0f; }
    ZKRESULT GetParentChannelConfig(ZkChannelConfig& config) const override;
    ZK::IZkRuntimeEnvironment* GetRuntimeEnvironment() const override;
    bool IsMainDevice() const override;
    ZKRESULT SignalEngineThread() override;
    uint16_t NumRefillBuffers() const override;
    ZKRESULT ComputeSpeakerMatrix(ZkChannelConfig input, ZkChannelConfig output, float* matrix) override;

private:
    CZkOutputDevice& m_device;
    uint32_t m_deviceID = 0;
    uint32_t m_pluginID = 0;
};
} // namespace ZK::SoundEngine
