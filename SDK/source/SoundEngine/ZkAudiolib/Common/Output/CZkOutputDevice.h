// CZkOutputDevice: one destination of the final mix. A device is an audio-device share set (which
// sink plug-in to use, with its parameters and device effects) and a device id within that plug-in,
// named together by its 64-bit output id; it owns the sink that writes to the hardware (or the base
// sink when there is none), its main mix buffer (and a pass-through buffer for a sink that wants
// one), up to four device effects, its capture consumers, and the speaker angles with the panning
// caches built from them (speaker layouts per configuration, virtual-point sets, ambisonic decoding
// matrices). The device manager (CZkOutputDeviceMgr) creates, lists and destroys devices.
//
// Device states: 1 running on its sink; 0 on the base sink after a failure or while suspended;
// 2 lost, to be initialised again at the next forced update.
//
// Threading: everything runs on the engine thread under the global engine lock, except the panning
// caches, which the device lock guards: panning on any rendering thread and the engine thread's
// speaker-angle changes both take it (it is recursive, so a panner holding it may call the cache
// functions).
// Ownership: the device (memory pool 0, made by the manager) owns its sink, sink parameters, buffers
// (audio buffer pool), effects, capture nodes and caches (pool 0). Pointers handed out by the caches
// stay valid while the caller holds the device lock. The master mix bus belongs to the mix graph;
// the device only points at it.
#pragma once

#include "ZkAudiolib/Common/GameObjects/ZkSortedIdArray.h"
#include "ZkAudiolib/Common/Output/CZkDeviceEffectContext.h"
#include "ZkAudiolib/Common/Output/CZkSinkContext.h"
#include "ZkAudiolib/Common/Output/ZkCaptureNodes.h"
#include "ZkAudiolib/Common/Output/ZkDeviceEffects.h"

#include <Platform/PlatformLock.h>
#include <ZK/SoundEngine/Common/IZkSinkPlugin.h>
#include <ZK/SoundEngine/Common/ZkChannelConfig.h>
#include <ZK/SoundEngine/Common/ZkOutputTypes.h>
#include <ZK/SoundEngine/Common/ZkResult.h>

#include <cstdint>

struct ZkSpeakerLayout;
class ZkAudioObjects;

namespace ZK::SoundEngine
{
class CZkEffectObject;
class CZkMixBus;
class CZkObjectProcessor;
} // namespace ZK::SoundEngine

// The device lives in the global namespace with the panning code that reads its caches.
class CZkOutputDevice
{
    using ZkListenerSet = ZK::SoundEngine::ZkListenerSet;
    using CZkEffectObject = ZK::SoundEngine::CZkEffectObject;
    using CZkMixBus = ZK::SoundEngine::CZkMixBus;
    using CZkObjectProcessor = ZK::SoundEngine::CZkObjectProcessor;
    using ZkCaptureNode = ZK::SoundEngine::ZkCaptureNode;
    using CaptureCallbackNode = ZK::SoundEngine::CaptureCallbackNode;
    using CaptureWriterNode = ZK::SoundEngine::CaptureWriterNode;
    using CaptureFileWriter = ZK::SoundEngine::CaptureFileWriter;
    using ZkDeviceEffects = ZK::SoundEngine::ZkDeviceEffects;
    using ZkOutputSettings = ZK::SoundEngine::ZkOutputSettings;

public:
    // Valid speaker heights, degrees.
    static constexpr float kMinHeightAngleDeg = -90.0f;
    static constexpr float kMaxHeightAngleDeg = 90.0f;
    static constexpr ZkMemoryId kPool = ZkMemID_Default;
    // The built-in system sink the "System" share set names when the banks do not define it.
    static constexpr uint32_t kSystemSinkPluginID = (174u << 16) | ZK::ZkPluginTypeSink; // 0xAE0007

    enum State : int32_t
    {
        State_OnBaseSink = 0,
        State_Running = 1,
        State_Lost = 2,
    };

    // A bare device (tests of the panning caches): no settings, no sink.
    CZkOutputDevice();
    CZkOutputDevice(ZkOutputDeviceID outputID, const ZkOutputSettings& settings, bool isMain, bool deviceIDDefaulted);
    ~CZkOutputDevice();
    CZkOutputDevice(const CZkOutputDevice&) = delete;
    CZkOutputDevice& operator=(const CZkOutputDevice&) = delete;

    // Frees the angle table and empties every cache.
    void Term();

    // --- Identity ---
    ZkOutputDeviceID OutputID() const { return m_outputID; }
    uint32_t ShareSetID() const { return m_settings.audioDeviceShareSetID; }
    uint32_t DeviceID() const { return m_settings.idDevice; }
    const ZkOutputSettings& Settings() const { return m_settings; }
    // Moves the device to another share set and device (a fallback to "System").
    void Retarget(uint32_t shareSetID, uint32_t deviceID, bool deviceIDDefaulted);
    // The ids as the application knows them: device id 0 when it was defaulted. 1.
    ZKRESULT GetOutputIDs(uint32_t& shareSetID, uint32_t& deviceID) const;
    bool IsMain() const { return m_isMain; }
    bool IsDeviceIDDefaulted() const { return m_deviceIDDefaulted; }
    bool IsSplit() const { return m_split; }
    void SetSplit() { m_split = true; }
    ZkListenerSet& Listeners() { return m_listeners; }
    uint32_t CarriedValue() const { return m_carriedValue; }
    void SetCarriedValue(uint32_t value) { m_carriedValue = value; }

    // --- Sink and state ---
    // Makes the share set's sink and starts it (see the manager's creation for the fallbacks its
    // results lead to). 1; 4 share set 0, or a configuration the device cannot take; 15 a share set
    // the banks do not define (other than "System"); 88 plug-in not registered; 52 out of memory;
    // the sink's own failure. On failure the device keeps the sink it had; the status callback gets
    // event 0 with the code.
    ZKRESULT InitSink();
    // Puts the device on a new base sink in the given state (nothing when asked for state 0 while
    // already there). 1 or 52 (the device keeps its sink).
    ZKRESULT InstallBaseSink(int32_t state);
    // Reports the loss, moves to the base sink and marks the device for a new start (the engine
    // thread is woken when the engine runs).
    void SetDeviceLost();
    ZK::IZkSinkPlugin* Sink() const { return m_sink; }
    uint32_t SinkPluginID() const { return m_sinkPluginID; }
    bool RunsRealSink() const;
    int32_t GetState() const { return m_state; }
    void SetState(int32_t state) { m_state = state; }
    // The main device running a real sink: its sink paces the engine.
    bool DrivesEngine() const { return m_isMain && m_state != State_OnBaseSink && RunsRealSink(); }
    ZkChannelConfig MainMixConfig() const { return m_mainMix.channelConfig; }
    bool MainMixIsObjects() const { return m_mainIsObjects; }
    bool SinkTakes3DAudio() const { return m_sinkTakes3DAudio; }
    const ZK::Zk3DAudioSinkCapabilities& Capabilities() const { return m_capabilities; }
    // Reads the sink's capabilities again (a sink that takes 3-D audio, once per frame).
    void RefreshCapabilities();
    CZkObjectProcessor* ObjectProcessor() const { return m_objectProcessor; }

    // --- Mix buffers and render ---
    ZkAudioBuffer& MainMix() { return m_mainMix; }
    // Null unless the sink wants a pass-through mix.
    ZkAudioBuffer* PassthroughMix() { return m_passthroughMix.data != nullptr ? &m_passthroughMix : nullptr; }
    void SetVolume(float volume) { m_volume = volume; }
    float Volume() const { return m_volume; }
    float PreviousVolume() const { return m_previousVolume; }
    // Applies the suspend fade and the device volume to the ramp, runs the device effects, lets the
    // capture consumers see the mix and hands it to the sink. The sink's answer.
    uint32_t Render(ZkAudioBuffer* main, ZkAudioBuffer* passthrough, ZkAudioObjects* objects, ZkRamp ramp);
    // Delivers the capture buffers, tells the sink that data is ready and moves the volume on.
    void EndFrame();

    // --- Effects ---
    void SetEffectShareSet(uint32_t slot, uint32_t effectShareSetID) { m_effects.SetRequestedID(slot, effectShareSetID); }
    // Rebuilds a slot's effect (slot 0 to 3; 31 beyond). See ZkDeviceEffects::Rebuild.
    ZKRESULT SetEffect(uint32_t slot);
    void TermEffects() { m_effects.TermAll(); }
    ZkDeviceEffects& Effects() { return m_effects; }
    // Takes the device's audio-device share set from the object index again and rebuilds every slot.
    void AttachShareSetObject();
    // The share set's bypass value: the current mask becomes the previous one.
    void SetShareSetBypass(uint8_t bypass);

    // --- Capture ---
    // A callback node for this device (not yet in its list); null when out of memory.
    CaptureCallbackNode* CreateCaptureCallback(ZkCaptureCallback callback, void* cookie);
    // Appends a node. 1; 31 without one.
    ZKRESULT AddCaptureCallback(ZkCaptureNode* node);
    CaptureCallbackNode* FindCaptureCallback(ZkCaptureCallback callback, void* cookie);
    bool MatchesCaptureCallback(ZkCaptureCallback callback, void* cookie);
    // Unlinks a node of this device's list and destroys it. False when it is not in the list.
    bool RemoveCaptureNode(ZkCaptureNode* node);
    // Opens the device's capture file under the name (an existing one is closed first). 1; 2 when
    // the file cannot be opened or the node made (the device then has no file node).
    ZKRESULT StartCaptureFile(const wchar_t* fileName);
    void StopCaptureFile();
    bool HasCaptureFile() const { return m_fileNode != nullptr; }
    CaptureFileWriter* CaptureWriter() const;
    uint32_t CaptureNodeCount() const;

    // --- Master mix bus (the device side; the mix graph makes the bus) ---
    CZkMixBus* MasterMix() const { return m_masterMix; }
    bool MasterMixPending() const { return m_masterMixPending; }
    void SetMasterMix(CZkMixBus* bus);
    // The mix graph destroyed the bus.
    void ClearMasterMix() { m_masterMix = nullptr; }

    // --- Speaker angles and the panning caches ---
    // Angles in degrees (front, side, rear, ...), count of them, and the height angle in degrees.
    // 31 for a height outside [-90, 90]; 2 when the table cannot be allocated or the angles are
    // invalid; 31 when the smallest gap is below 5 degrees (the validator's result). Only on success
    // is the table replaced; in every case except the height check the cached layouts are rebuilt
    // from the current table and the virtual-point and decoding caches are emptied.
    ZKRESULT SetSpeakerAngles(const float* anglesDeg, uint32_t count, float heightDeg);
    // The default angles of the 7.1 ring (front, side, rear) and the default height.
    ZKRESULT SetDefaultSpeakerAngles();
    // 2 without a sink. Otherwise the planar angles in degrees (at most count of them copied), their
    // number (3) in count and the height in degrees. angles may be null to ask for the count.
    ZKRESULT GetSpeakerAngles(float* anglesDeg, uint32_t& count, float& heightDeg);

    // The layout of a speaker configuration (LFE ignored), built on first use from the current
    // angles (defaults where the table is shorter than three); null when it cannot be built.
    // The caller holds the device lock while it uses the layout.
    const ZkSpeakerLayout* GetSpeakerLayout(ZkChannelConfig config);
    // The cloud of virtual points of n spatialised channels (planar or 3-D): count records of (x, y,
    // z, 0). False when it cannot be built (n = 0, or out of memory). The caller holds the lock.
    bool GetVirtualPoints(uint32_t channels, bool threeD, const float*& points, uint32_t& count);

    // Amplitude gains (output.NumChannels() of them, the LFE's 0) of a horizontal direction at azimuth
    // radians, positive to the right: the stereo law on a stereo output under panning rule 1, else
    // pairwise panning on the device's layout; a single speaker takes everything. 1; 2 for a
    // configuration without speakers, with more than 7 besides the LFE or one outside the planar
    // ring (0x63F) (gains not written), or when the layout cannot be built (gains 0); 31 for an
    // azimuth that is not a finite number (gains not written).
    ZKRESULT ComputeAnglePanning(float azimuth, ZkChannelConfig output, float* gains);

    // Decoding-matrix cache keyed by (input, output). Find copies a cached matrix of floatCount
    // floats into matrix and answers true on a hit. Add keeps a copy; false when out of memory.
    bool FindDecodingMatrix(ZkChannelConfig input, ZkChannelConfig output, float* matrix, uint32_t floatCount);
    bool AddDecodingMatrix(ZkChannelConfig input, ZkChannelConfig output, const float* matrix, uint32_t floatCount);

    ZK::Platform::ZkCriticalSection& GetLock() { return m_lock; }

    ZkChannelConfig channelConfig;          // the main mix's configuration (type 3: objects)
    uint32_t panningRule = 0;              // the output settings' panning rule

    const float* GetSpeakerAnglesRad() const { return m_speakerAngles; }
    uint32_t GetSpeakerAngleCount() const { return m_speakerAngleCount; }
    // Reciprocal of the smallest angular gap in radians: the virtual-point density of 3-D panning.
    float GetInverseMinSpeakerGap() const { return m_inverseMinSpeakerGap; }
    float GetHeightAngleRad() const { return m_heightAngle; }
    uint32_t GetCachedLayoutCount() const { return m_layoutCount; }
    uint32_t GetCachedDecodingMatrixCount() const { return m_decoderCount; }
    uint32_t GetCachedVirtualPointSetCount() const { return m_pointSetCount; }

    CZkOutputDevice* next = nullptr;       // the manager's list

private:
    struct LayoutEntry
    {
        ZkChannelConfig config;
        ZkSpeakerLayout* layout;
    };
    // 24 bytes: the key pair, the matrix and its size.
    struct DecoderEntry
    {
        ZkChannelConfig input;
        ZkChannelConfig output;
        float* matrix;
        uint32_t floatCount;
        uint32_t reserved;
    };
    struct PointSetEntry
    {
        uint32_t channels;
        uint32_t threeD;
        float* points; // count x 4 floats, 16-byte aligned
        uint32_t count;
    };
    // What a sink asked for, before the device takes it.
    struct SinkSetup;

    void PlanarAnglesRad(float* anglesRad) const;
    float HeightRad() const;
    void RebuildLayouts();
    void ClearDecodingMatrices();
    void ClearVirtualPoints();
    bool BuildVirtualPoints(PointSetEntry& entry) const;

    ZKRESULT PrepareBuffers(ZK::IZkSinkPlugin& sink, ZkChannelConfig& config, SinkSetup& setup);
    void ReleaseSinkSetup(SinkSetup& setup);
    void TakeSink(SinkSetup& setup, uint32_t pluginID, int32_t state);
    void ReleaseSink();
    void ReportInitFailure(ZKRESULT result) const;
    ZK::ZkEffectFormat EffectFormat() const;
    ZkAudioBuffer* CaptureSource(ZkAudioBuffer* main, ZkAudioBuffer* passthrough, ZkAudioObjects* objects,
                                 ZkAudioBuffer& scratch);
    void WriteCapture(ZkAudioBuffer* mix, ZkRamp ramp);

    // Identity
    ZkOutputDeviceID m_outputID = 0;
    ZkOutputSettings m_settings;
    ZkListenerSet m_listeners;
    uint32_t m_carriedValue = 0;
    bool m_isMain = false;
    bool m_deviceIDDefaulted = false;
    bool m_split = false;

    // Sink
    ZK::IZkSinkPlugin* m_sink = nullptr;
    ZK::IZkPluginParam* m_sinkParams = nullptr;       // pool-2 plug-in allocator
    uint32_t m_sinkPluginID = 0;
    ZK::SoundEngine::CZkSinkContext m_sinkContext;
    int32_t m_state = State_Lost;
    bool m_sinkTakes3DAudio = false;
    bool m_mainIsObjects = false;
    ZK::Zk3DAudioSinkCapabilities m_capabilities;
    CZkObjectProcessor* m_objectProcessor = nullptr; // pool 0
    ZkAudioBuffer m_mainMix;
    ZkAudioBuffer m_passthroughMix;
    float m_volume = 1.0f;
    float m_previousVolume = 1.0f;

    // Effects
    ZkDeviceEffects m_effects;
    ZK::SoundEngine::CZkDeviceEffectContext m_effectContext;
    CZkEffectObject* m_shareSetObject = nullptr;     // a reference of the object index

    // Capture
    ZkCaptureNode* m_captureHead = nullptr;
    ZkCaptureNode* m_captureTail = nullptr;
    CaptureWriterNode* m_fileNode = nullptr;

    // Master mix
    CZkMixBus* m_masterMix = nullptr;
    bool m_masterMixPending = true;

    // Speaker angles and panning caches (device lock)
    ZK::Platform::ZkCriticalSection m_lock;
    float* m_speakerAngles = nullptr;       // radians, memory pool 0
    uint32_t m_speakerAngleCount = 0;
    float m_inverseMinSpeakerGap = 0.0f;
    float m_heightAngle = 0.0f;             // radians; the default height until angles are set
    bool m_heightSet = false;
    LayoutEntry* m_layouts = nullptr;
    uint32_t m_layoutCount = 0;
    uint32_t m_layoutCapacity = 0;
    DecoderEntry* m_decoders = nullptr;
    uint32_t m_decoderCount = 0;
    uint32_t m_decoderCapacity = 0;
    PointSetEntry* m_pointSets = nullptr;
    uint32_t m_pointSetCount = 0;
    uint32_t m_pointSetCapacity = 0;
};
