// Sinks: the plug-ins (type 7) that take an output device's final mix every frame and deliver it to
// hardware, and the context through which a sink learns its device and calls back into the engine.
//
// Calling order, all on the engine thread: Init once; then per engine tick IsDataNeeded, for each
// buffer rendered Consume, then DataReady once; Term at the end. A sink that answers 2 from
// IsDataNeeded is lost: the device manager replaces it by the base sink and retries later.
//
// Threading: a sink is used by the engine thread only (a sink may run a worker of its own).
// Ownership: a sink is created through the plug-in registry with the pool-6 plug-in allocator (or in
// place by the device manager) and destroys itself in Term; the context belongs to the device.
#pragma once

#include <ZK/SoundEngine/Common/IZkPlugin.h>
#include <ZK/SoundEngine/Common/ZkAudioBuffer.h>
#include <ZK/SoundEngine/Common/ZkChannelConfig.h>
#include <ZK/SoundEngine/Common/ZkRamp.h>
#include <ZK/SoundEngine/Common/ZkResult.h>

#include <cstdint>

// The audio objects of a frame that a 3-D sink renders itself (built by the mix graph).
class ZkAudioObjects;

namespace ZK
{
class IZkRuntimeEnvironment;

// What a sink that takes 3-D audio accepts this frame.
struct Zk3DAudioSinkCapabilities
{
    ZkChannelConfig channelConfig;          // main-mix configuration
    uint32_t maxSystemAudioObjects = 0;
    uint32_t numSystemAudioObjectsAvailable = 0;
    uint8_t passthrough = 0;                // the sink also wants a stereo pass-through mix
};
static_assert(sizeof(Zk3DAudioSinkCapabilities) == 16, "the capabilities are four 32-bit words");

// Sink kinds (SinkKind).
constexpr uint32_t kZkSinkKindPlain = 0;
constexpr uint32_t kZkSinkKind3DAudio = 1; // objects and pass-through; GetCapabilities and 3-D Consume

class IZkSinkPluginContext
{
public:
    virtual ~IZkSinkPluginContext() = default;
    virtual IZkGlobalPluginContext* GlobalContext() const = 0;
    // The device id for the sink (0 when the device is the default endpoint) and the sink's
    // plug-in id. 1.
    virtual ZKRESULT GetOutputID(uint32_t& deviceID, uint32_t& pluginID) const = 0;
    // Level 1 message, 2 error. The engine discards sink messages: 2.
    virtual ZKRESULT PostMonitorMessage(const char* message, uint32_t level) = 0;
    virtual float GetDownstreamGain() const = 0; // 1.0
    // The device's main-mix configuration. 1.
    virtual ZKRESULT GetParentChannelConfig(ZkChannelConfig& config) const = 0;
    virtual IZkRuntimeEnvironment* GetRuntimeEnvironment() const = 0;
    virtual bool IsMainDevice() const = 0;
    // Wakes the engine thread when the device is the main device (1); 2 otherwise.
    virtual ZKRESULT SignalEngineThread() = 0;
    // The number of refill buffers of the platform settings.
    virtual uint16_t NumRefillBuffers() const = 0;
    // The mixing matrix from input to output on this device's speaker layout (layout of the mixing
    // kernels: one row per input channel, output channels rounded up to 4). 1.
    virtual ZKRESULT ComputeSpeakerMatrix(ZkChannelConfig input, ZkChannelConfig output, float* matrix) = 0;
};

class IZkSinkPlugin : public IZkPlugin
{
public:
    // On return config holds what the sink accepts (a configuration of type 3 with no channels: the
    // sink takes audio objects and tells its main mix through GetCapabilities).
    virtual ZKRESULT Init(IZkPluginMemAlloc* allocator, IZkSinkPluginContext* context, IZkPluginParam* params,
                          ZkChannelConfig& config) = 0;
    // 1 with the number of buffers the engine should render now; 2 when the device is lost.
    virtual ZKRESULT IsDataNeeded(uint32_t& buffers) = 0;
    // After the frame's buffers were consumed: push the data to the device.
    virtual void DataReady() = 0;
    virtual bool IsStarved() = 0;
    virtual void ResetStarved() = 0;
    virtual uint32_t SinkKind() = 0;
    // Plain sinks: one buffer with the volume ramp to apply.
    virtual void ConsumeBuffer(ZkAudioBuffer* /*buffer*/, ZkRamp /*ramp*/) {}
    // Sinks of kind 1: what they accept this frame, and the frame with its pass-through mix (or
    // none) and its audio objects (or none). Consume answers the frames taken.
    virtual ZKRESULT GetCapabilities(Zk3DAudioSinkCapabilities& /*capabilities*/) { return ZK_NotImplemented; }
    virtual uint32_t Consume(ZkAudioBuffer* /*main*/, ZkAudioBuffer* /*passthrough*/, ZkAudioObjects* /*objects*/,
                             ZkRamp /*ramp*/)
    {
        return 0;
    }
};
} // namespace ZK
