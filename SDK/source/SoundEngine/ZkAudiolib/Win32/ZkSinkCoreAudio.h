// CZkSinkCoreAudio: the sink of the built-in system output and its sibling device kinds (plug-in
// numbers 174 to 177, 179 and 180 of company 0). It opens one render endpoint of the platform
// layer (the default endpoint of its role, or the one its device id names) as an event-driven
// shared stream, converts the engine's final mix to the endpoint's float format and speaker layout
// (and rate, through the engine's own resampler when the endpoint will not convert it), and writes
// it to the endpoint every time the engine renders. The stream's event is the engine thread's
// wake-up event: the endpoint paces the engine.
//
// Device kinds: 174 system output (console role's default; the only kind that may use spatial
// audio, which this build does not offer: it always runs plain), 175 game media, 176 game chat on
// the communications role's default, 177 game chat, 179 and 180 as 174 without spatial audio.
//
// Calling order (engine thread): Init; per tick IsDataNeeded, Consume per rendered buffer,
// DataReady; Term. A failed buffer call latches an error that the next IsDataNeeded reports as 2
// (the device manager then moves the device to the base sink and opens it again later).
//
// Threading: engine thread only. Ownership: the sink (plug-in allocator) owns its matrices and
// buffers (plug-in allocator; the resampled buffer from the audio buffer pool), its stream and
// render clients and one reference to its endpoint; Term destroys it.
#pragma once

#include "ZkAudiolib/Common/Voice/ZkResampler.h"

#include <Platform/Audio/EndpointInterfaces.h>
#include <Platform/Audio/StreamInterfaces.h>
#include <ZK/SoundEngine/Common/IZkSinkPlugin.h>

#include <cstdint>

namespace ZK::SoundEngine
{
class CZkSinkParamsSpatial;

class CZkSinkCoreAudio final : public ZK::IZkSinkPlugin
{
public:
    enum DeviceKind : uint16_t
    {
        Kind_SystemOutput = 174,
        Kind_GameMedia = 175,
        Kind_Communications = 176,
        Kind_GameChat = 177,
    };
    // The kinds registered on the built-in list.
    static constexpr uint16_t kRegisteredKinds[] = {174, 175, 176, 177, 179, 180};
    static constexpr const char* kStartFailedMessage = "WASAPI: Could not start Audio Stream.";

    static ZK::IZkPlugin* Create(ZK::IZkPluginMemAlloc* allocator);

    ZKRESULT Term(ZK::IZkPluginMemAlloc* allocator) override;
    ZKRESULT Reset() override { return ZK_Success; }
    ZKRESULT GetPluginInfo(ZK::ZkPluginInfo& info) override;

    // 1; 2 when the endpoint is missing or a stream call fails; 93 without a default endpoint;
    // 52 out of memory; the resampler's or the buffer pool's failure.
    ZKRESULT Init(ZK::IZkPluginMemAlloc* allocator, ZK::IZkSinkPluginContext* context, ZK::IZkPluginParam* params,
                  ZkChannelConfig& config) override;
    // 1 with the whole buffers that fit in the endpoint's free room; 2 once an error is latched or
    // the padding cannot be read.
    ZKRESULT IsDataNeeded(uint32_t& buffers) override;
    void DataReady() override;
    bool IsStarved() override { return m_underrun; }
    void ResetStarved() override { m_underrun = false; }
    uint32_t SinkKind() override { return ZK::kZkSinkKind3DAudio; }
    ZKRESULT GetCapabilities(ZK::Zk3DAudioSinkCapabilities& capabilities) override;
    // The frames taken: the main buffer's.
    uint32_t Consume(ZkAudioBuffer* main, ZkAudioBuffer* passthrough, ZkAudioObjects* objects, ZkRamp ramp) override;

    // Tests and diagnostics.
    uint32_t EndpointBufferFrames() const { return m_endpointBufferFrames; }
    uint32_t ResampledFrames() const { return m_resampledFrames; }
    bool Resamples() const { return m_resampledFrames != 0; }
    ZkChannelConfig DeviceConfig() const { return m_deviceBuffer.channelConfig; }
    uint32_t EndpointID() const { return m_endpointID; }
    bool HasErrorLatched() const { return m_error; }

    // The speaker configuration of a channel count: the usual layout for 1 to 8 channels, else an
    // anonymous one.
    static ZkChannelConfig ConfigForChannelCount(uint32_t channels);
    // The stream duration (100-ns units) of frames at rate for the refill buffers, raised by one
    // buffer at a time to the minimum period.
    static int64_t BufferDuration(uint32_t frames, uint32_t rate, uint32_t refillBuffers, int64_t minimumPeriod);

private:
    enum Bits : uint8_t
    {
        Bit_DataWritten = 0x1,
        Bit_Spatial = 0x2,
        Bit_MatricesPending = 0x4,
    };

    CZkSinkCoreAudio() = default;
    ~CZkSinkCoreAudio();

    ZKRESULT OpenEndpoint(uint32_t deviceID);
    ZKRESULT ReadEndpointConfig(ZkChannelConfig& endpointConfig);
    // Spatial audio: not offered by this build's platform layer (4): the sink stays plain.
    ZKRESULT SetUpSpatial(uint32_t minimumObjects, uint32_t maximumObjects);
    ZKRESULT InitStream(ZkChannelConfig endpointConfig);
    void OptOutOfDucking();
    ZKRESULT NegotiateFormat(ZkChannelConfig endpointConfig, ZK::Platform::WaveFormat& format, ZkChannelConfig& deviceConfig);
    ZKRESULT SetStreamProperties();
    ZKRESULT InitializeStream(ZK::Platform::WaveFormat& format, int64_t duration);
    ZKRESULT SetUpResampler(ZkChannelConfig deviceConfig, uint32_t streamRate);
    ZKRESULT AllocateBuffer(ZkAudioBuffer& buffer, ZkChannelConfig config, uint32_t frames);
    void FreeBuffer(ZkAudioBuffer& buffer);
    // Writes the first frames of interleaved samples to the endpoint; a failure latches the error.
    void WriteToEndpoint(const float* interleaved, uint32_t frames, uint32_t flags);
    void WriteResampled();
    void PostError(const char* message);

    ZK::IZkSinkPluginContext* m_context = nullptr;
    ZK::IZkPluginMemAlloc* m_allocator = nullptr;
    uint16_t m_kind = 0;
    CZkSinkParamsSpatial* m_params = nullptr; // kind 174 only; the device owns it
    ZK::Platform::IEndpoint* m_endpoint = nullptr;
    uint32_t m_endpointID = 0;
    ZkChannelConfig m_mainMix;
    float* m_mixMatrix = nullptr;         // main mix to device configuration, 16-byte aligned
    ZkAudioBuffer m_temp;                 // the main mix through the matrix, device configuration
    ZK::Platform::IStreamClient* m_client = nullptr;
    ZK::Platform::IStreamRenderClient* m_render = nullptr;
    ZkAudioBuffer m_deviceBuffer;         // interleaved (planar when resampling), engine frames
    uint32_t m_endpointBufferFrames = 0;
    CZkResampler m_resampler;
    ZkAudioBuffer m_resampled;            // audio buffer pool; frames of one endpoint refill
    uint32_t m_resampledFrames = 0;       // 0: no resampling
    uint32_t m_streamChannels = 0;
    bool m_running = false;
    bool m_error = false;
    bool m_underrun = false;
    uint8_t m_bits = 0;
};
} // namespace ZK::SoundEngine
