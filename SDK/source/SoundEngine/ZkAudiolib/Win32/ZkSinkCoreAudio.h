// CZkSinkCoreAudio: the sink of the built-in system output and its sibling device kinds (plug-in
// numbers 174 to 177, 179 and 180 of company 0). It opens one render endpoint of the platform
// layer (the default endpoint of its role, or the one its device id names) as an event-driven
// shared stream, converts the engine's final mix to the endpoint's float format and speaker layout
// (and rate, through the engine's own resampler when the endpoint will not convert it), and writes
// it to the endpoint every time the engine renders. The stream's event is the engine thread's
// wake-up event: the endpoint paces the engine.
//
// Device kinds: 174 system output (console role's default; the only kind that may use spatial
// audio), 175 game media, 176 game chat on the communications role's default, 177 game chat, 179
// and 180 as 174 without spatial audio.
//
// Spatial mode (kind 174 whose parameters ask for it, on an endpoint whose spatial client offers
// dynamic objects): the engine renders a main mix (7.1.4 unless the parameters name another, then
// matrixed to 7.1.4) that becomes the bed of 12 static objects, and audio objects that become
// dynamic objects, each with its position; the stream client then carries only the stereo
// passthrough mix. The engine thread writes into rings (ZkSpatialRing.h); the worker thread
// "ZK_MSCoreAudioThread" wakes on the spatial stream's event and copies them into the objects'
// buffers. Anything short of a working spatial stream leaves the sink plain.
//
// Calling order (engine thread): Init; per tick IsDataNeeded, Consume per rendered buffer,
// DataReady; Term. A failed buffer call, a failed or silent wait of the worker, or changed
// parameters latch an error that the next IsDataNeeded reports as 2 (the device manager then moves
// the device to the base sink and opens it again later).
//
// Threading: engine thread, and in spatial mode the worker, which shares the bed ring (atomic
// fill, no lock) and the object records and spatial stream (under the sink's critical section; the
// engine side takes it only when dynamic objects exist). The error and underrun flags are atomic.
// Ownership: the sink (plug-in allocator) owns its matrices and buffers (plug-in allocator; the
// resampled buffer from the audio buffer pool; the bed ring and the records' rings from pool 0,
// the record array from pool 5), its stream, render and spatial clients and objects and one
// reference to its endpoint; Term joins the worker and destroys it.
#pragma once

#include "ZkAudiolib/Common/Voice/ZkResampler.h"
#include "ZkAudiolib/Win32/ZkSpatialRing.h"

#include <Platform/Audio/EndpointInterfaces.h>
#include <Platform/Audio/SpatialInterfaces.h>
#include <Platform/Audio/StreamInterfaces.h>
#include <Platform/PlatformEvent.h>
#include <Platform/PlatformLock.h>
#include <Platform/PlatformThread.h>
#include <ZK/SoundEngine/Common/IZkSinkPlugin.h>

#include <atomic>
#include <cstdint>

struct ZkAudioObject;

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
    static constexpr uint32_t kBedChannels = 12;
    static constexpr uint32_t kBedConfigWord = 0x2D63F10C; // 7.1.4
    static constexpr uint32_t kWorkerWaitMs = 50;
    static constexpr const char* kWorkerName = "ZK_MSCoreAudioThread";
    // The set-up's answer when the spatial client offers no dynamic objects (it never leaves Init).
    static constexpr ZKRESULT kSpatialNotEnabled = ZK_SinkAsksForBaseSink;

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
    bool IsStarved() override { return m_underrun.load(std::memory_order_acquire); }
    void ResetStarved() override { m_underrun.store(false, std::memory_order_release); }
    uint32_t SinkKind() override { return ZK::kZkSinkKind3DAudio; }
    ZKRESULT GetCapabilities(ZK::Zk3DAudioSinkCapabilities& capabilities) override;
    // Plain mode: the frames taken (the main buffer's). Spatial mode: how many times the bed's write
    // position passed the end of its ring (0 or 1).
    uint32_t Consume(ZkAudioBuffer* main, ZkAudioBuffer* passthrough, ZkAudioObjects* objects, ZkRamp ramp) override;

    // Tests and diagnostics.
    uint32_t EndpointBufferFrames() const { return m_endpointBufferFrames; }
    uint32_t ResampledFrames() const { return m_resampledFrames; }
    bool Resamples() const { return m_resampledFrames != 0; }
    ZkChannelConfig DeviceConfig() const { return m_deviceBuffer.channelConfig; }
    uint32_t EndpointID() const { return m_endpointID; }
    bool HasErrorLatched() const { return m_error.load(std::memory_order_acquire); }
    bool IsSpatial() const { return (m_bits & Bit_Spatial) != 0; }
    uint32_t MaxDynamicObjects() const { return m_maxDynamicObjects; }
    uint32_t ActivatedObjects() const { return m_activatedObjects; }
    uint32_t DrainingObjects() const { return m_drainingObjects.load(std::memory_order_relaxed); }
    uint32_t RecordCount() const { return m_recordCount; }
    uint32_t BedFreeFrames() const { return m_bed.Free() / kBedChannels; }
    bool HasWorker() const { return m_worker.IsValid(); }

    // Tests that drive the worker's updates themselves (no thread): while set, spatial sinks start
    // no worker, and ServiceSpatialStream runs one pass of its loop on the caller's thread.
    static void SetWorkerOnCaller(bool onCaller);
    // Tests whose stream is paced by a thread of their own, which a loaded machine may hold back
    // longer than the stream's 50 ms: how long the worker waits for an event before it counts the
    // stream as stopped (kWorkerWaitMs unless set).
    static void SetWorkerWaitMs(uint32_t waitMs);
    // One pass of the worker's loop: waits for the stream's event (at most waitMs), then updates
    // every object. A wait that ends without the event latches the error.
    void ServiceSpatialStream(uint32_t waitMs);
    // The apartment count the last worker thread left behind when it ended (0: its set-up was paired).
    static uint32_t LastWorkerApartmentCount();

    // The speaker configuration of a channel count: the usual layout for 1 to 8 channels, else an
    // anonymous one.
    static ZkChannelConfig ConfigForChannelCount(uint32_t channels);
    // The stream duration (100-ns units) of frames at rate for the refill buffers, raised by one
    // buffer at a time to the minimum period.
    static int64_t BufferDuration(uint32_t frames, uint32_t rate, uint32_t refillBuffers, int64_t minimumPeriod);

private:
    static uint32_t WorkerWaitMs();
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
    // Spatial audio (ZkSinkCoreAudioSpatial.cpp): the set-up with the object counts (none =
    // 0xFFFFFFFF), 1 or the failure (90: not enabled); the start of the stream and worker; the
    // teardown, which leaves the sink plain.
    ZKRESULT SetUpSpatial(uint32_t minimumObjects, uint32_t maximumObjects);
    ZKRESULT OpenSpatialClient();
    ZKRESULT ChooseObjectFormat(ZK::Platform::WaveFormat& format);
    ZKRESULT ActivateSpatialStream(const ZK::Platform::WaveFormat& format);
    void ActivateDynamicObjects(uint32_t available);
    ZKRESULT StartSpatial();
    void StopWorker();
    void TearDownSpatial();
    void ReleaseStaticObjects();
    void PostWarning(const char* message);
    // The engine side (ZkSinkCoreAudioSpatialRender.cpp).
    uint32_t WriteBed(ZkAudioBuffer* main, ZkRamp ramp);
    void WriteObjects(ZkAudioObjects* objects, ZkRamp ramp);
    ZkSpatialObjectRecord* TakeRecord(const ZkAudioObject& object);
    void WriteSilentFrame();
    // The worker (ZkSinkCoreAudioWorker.cpp).
    static void WorkerMain(void* sink);
    void UpdateObjects();
    ZKRESULT InitStream(ZkChannelConfig endpointConfig);
    void OptOutOfDucking();
    ZKRESULT NegotiateFormat(ZkChannelConfig endpointConfig, ZK::Platform::WaveFormat& format, ZkChannelConfig& deviceConfig);
    ZKRESULT SetStreamProperties();
    ZKRESULT InitializeStream(ZK::Platform::WaveFormat& format, int64_t duration);
    ZKRESULT SetUpResampler(ZkChannelConfig deviceConfig, uint32_t streamRate);
    ZKRESULT AllocateBuffer(ZkAudioBuffer& buffer, ZkChannelConfig config, uint32_t frames);
    // A mixing matrix from input to output (16-byte aligned), or null.
    float* AllocateMatrix(ZkChannelConfig input, ZkChannelConfig output);
    // A planar buffer into the device buffer: through the matrix (via temp) when there is one,
    // with the ramp, interleaved unless resampling.
    void WriteToDeviceBuffer(ZkAudioBuffer* in, const float* matrix, ZkAudioBuffer& temp, ZkRamp ramp);
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
    std::atomic<bool> m_error{false};
    std::atomic<bool> m_underrun{false};
    uint8_t m_bits = 0;

    // Spatial mode.
    struct StaticSlot
    {
        uint32_t type = 0;
        ZK::Platform::ISpatialAudioObject* object = nullptr;
    };
    float* m_passthroughMatrix = nullptr; // stereo to the device configuration, 16-byte aligned
    ZkAudioBuffer m_passthroughTemp;      // the passthrough through its matrix
    ZK::Platform::ISpatialAudioClient* m_spatialClient = nullptr;
    ZK::Platform::ISpatialAudioObjectRenderStream* m_spatialStream = nullptr;
    ZkSampleRing m_bed;                   // interleaved 7.1.4 frames, pool 0
    StaticSlot m_static[kBedChannels];
    ZkSpatialObjectRecord* m_records = nullptr; // pool 5
    uint32_t m_recordCount = 0;
    uint32_t m_recordCapacity = 0;
    uint32_t m_maxDynamicObjects = 0;
    uint32_t m_activatedObjects = 0;
    std::atomic<uint32_t> m_drainingObjects{0}; // read by GetCapabilities without the lock
    ZK::Platform::ZkThreadHandle m_worker;
    ZK::Platform::ZkEvent m_streamEvent;
    std::atomic<bool> m_workerRunning{false};
    ZK::Platform::ZkCriticalSection m_lock;
};
} // namespace ZK::SoundEngine
