// CZkMixBus: a run-time instance of a bus node in the mix graph, for one output device (and, for a
// bus that mixes per listener, one listener game object); without a node it is an output device's
// master mix. Voices and child buses feed it through their connections; once per frame it mixes
// them into its audio objects (one object holding the mix of a channel-based bus, one per input
// object of an object bus), runs its four effect slots and its optional mixer plug-in, meters its
// output for the game, and either feeds its parents (who pull from it) or, as a root, is mixed into
// its device by the render pass.
//
// A bus whose node enables it also keeps a dynamic-range window (CZkMixBusWithWindow): a window
// top that follows the loudest input above a threshold, published to a game parameter and read by
// the voices below it.
//
// Life cycle: made by the renderer's graph (CZkAudioRenderer::CreateBusInstance), Init, then per
// frame: PrepareFrame (the frame parameter update), MixInput for each input, Process, EndFrame;
// destroyed by the graph (Destroy) when it loses its inputs or its purpose.
//
// Threading: the graph side runs on the engine thread under the global engine lock. A frame's
// mixing and processing run on the engine thread or inside one bus job; objects are added and
// effects rebuilt under the plug-in lock when the game supplies a job callback.
// Ownership: the renderer's bus list owns the bus (memory pool 5). The bus owns its key (and its
// game-object reference), its node instance, its objects, effect instances and mixer plug-in.
#pragma once

#include "ZkAudiolib/Common/MixGraph/CZkMixContext.h"
#include "ZkAudiolib/Common/MixGraph/ZkBusObjectList.h"
#include "ZkAudiolib/Common/MixGraph/ZkMixBusKey.h"

#include <ZK/SoundEngine/Common/ZkChannelConfig.h>
#include <ZK/SoundEngine/Common/ZkMemoryMgr.h>
#include <ZK/SoundEngine/Common/ZkPositionTypes.h>
#include <ZK/SoundEngine/Common/ZkResult.h>
#include <ZK/SoundEngine/Common/ZkTypes.h>

#include <climits>
#include <cstdint>

class CZkOutputDevice;

namespace ZK::SoundEngine
{
class CZkBusNodeInstance;
class CZkHierarchyNode;
class CZkIndexedObject;
class CZkMixBusWithWindow;
class IZkMixerPlugin;
struct ZkMixInputEntry;
struct ZkPanningParams;
struct ZkPositioningRay;

// The window fields of a bus whose node enables its window.
struct ZkBusWindow
{
    float inputPeakDb = -4096.0f;  // loudest input reported this frame
    float top = -4096.0f;          // dB, or linear in linear mode
    float topWithVolumeDb = -4096.0f;
    float releaseCoefficient = 0.0f;
    float thresholdDb = 0.0f;
    float ratioFactor = 0.0f;      // 1 - 1 / ratio
};

// One effect instance of a slot, for one object of the slot's input list.
struct ZkBusEffectInstance;

struct ZkBusEffectSlot
{
    ZK::ZkArray<ZkBusEffectInstance*> instances; // by object of the slot's input list
    ZkBusObjectList output;                      // out-of-place effects only
    uint8_t inPlace = 1;
    uint8_t acceptsRamps = 0;
    uint8_t bypass = 0;
    uint8_t previousBypass = 0;

    bool HasEffect() const { return !instances.IsEmpty(); }
};

class CZkMixBus : public CZkMixContext
{
public:
    static constexpr ZkMemoryId kPool = ZkMemID_Processing;
    static constexpr uint32_t kEffectSlots = 4;
    static constexpr int32_t kNoLevel = INT_MAX;
    // Bus flags.
    static constexpr uint8_t kFlagEffectsSetUp = 0x1;
    static constexpr uint8_t kFlagEffectChangePending = 0x2;
    static constexpr uint8_t kFlagIsBus = 0x4;
    // Window flags.
    static constexpr uint8_t kWindowVisited = 0x1;     // during the level computation
    static constexpr uint8_t kWindowReleasing = 0x2;   // the window still moves: the bus lives on
    static constexpr uint8_t kWindowEnabled = 0x4;
    static constexpr uint8_t kWindowDbMode = 0x8;
    // Activity.
    static constexpr uint8_t kActive = 1;
    static constexpr uint8_t kIdle = 4;
    // Bypass bits of SetBypass: slots 0-3, then every effect.
    static constexpr uint32_t kBypassAll = 0x10;
    // The most objects an object bus keeps.
    static constexpr uint32_t kMaxObjects = 256;

    CZkMixBus();
    ~CZkMixBus() override;

    // A bus (with window fields when the key's node enables its window), not yet initialised; null
    // when out of memory. Destroy undoes it.
    static CZkMixBus* Create(const ZkMixBusKey& key);
    static void Destroy(CZkMixBus* bus);

    // Takes the key (moved in). With a bus node: 2 when the key has no game object; the node
    // instance (52 out of memory, else its subscription's failure), the volume-callback and
    // metering flags from the playing manager. Then the configuration, the mixer plug-in record
    // (52), and the node's bypass-all value. 1.
    ZKRESULT Init(ZkChannelConfig config, ZkMixBusKey&& key);

    // --- Graph ---
    const ZkMixBusKey& Key() const { return m_key; }
    CZkHierarchyNode* GetBusNode() const { return m_key.Node(); }
    ZkGameObjectID GetKeyGameObjectID() const { return m_key.GameObjectID(); }
    // The bus node's parent bus (null for a root).
    CZkHierarchyNode* ParentNode() const;
    bool IsRoot() const { return ParentNode() == nullptr; }
    CZkBusNodeInstance* NodeInstance() const { return m_nodeInstance; }
    ZkChannelConfig GetChannelConfig() const { return m_config; }
    // The device that serves the bus: its root's (a root finds it from its key); null without one.
    virtual CZkOutputDevice* GetOutputDevice() const;
    bool IsBus() const override { return true; }
    int32_t level = kNoLevel;
    uint8_t windowFlags = 0;
    uint8_t BusFlags() const { return m_busFlags; }
    uint8_t Activity() const { return m_activity; }
    // A connection into the bus was made or is going away (the mixer plug-in learns of it).
    void RegisterInput(CZkMixerInputContext* connection);
    void UnregisterInput(CZkMixerInputContext* connection);

    // --- Levels and volume ---
    // The bus's own level in dB, added to the level of every connection into it.
    float GetLevelDb() const { return m_volumeDb; }
    float LinearVolume() const { return m_linearVolume; }
    float OutputGain() const { return m_outputGain; }
    // The frame parameter update of the bus: pending effect changes, the node instance's update,
    // the volume, the mix view, and the gains of its output connections.
    void PrepareFrame(bool thresholdTest, float thresholdDb);
    // The window of a window bus, else null.
    ZkBusWindow* Window() { return m_window; }
    // An input that feeds the window reports its level of this frame (dB); the loudest counts.
    void RaiseWindowInput(float db)
    {
        if (m_window != nullptr && db > m_window->inputPeakDb)
            m_window->inputPeakDb = db;
    }
    // The window update (window buses; the render pass runs it for each, last bus first).
    void UpdateWindow();

    // --- Frame processing ---
    // Mixes the connection's blocks of this frame.
    void MixInput(CZkMixerInputContext& connection);
    // Mixes one block through the entry's matrices (and filter), its gain ramped across the frame.
    void MixBuffer(ZkPipelineBuffer& buffer, ZkMixInputEntry& entry, ZkRamp gains);
    // Effects, mixer plug-in, the output connections' blocks and the meters.
    void Process();
    // Drops finished objects and what hangs on them; zeroes the others for the next frame.
    void EndFrame();
    ZkBusObjectList& Objects() { return m_objects; }
    // The list the bus outputs this frame (its own, or its last active effect's).
    ZkBusObjectList& OutputList();
    ZkChannelConfig GetOutputConfig() const override;

    // --- Effects ---
    // For each selected bit (0-3 slots, 4 every effect) the new value; a change marks the effects
    // for their pending-change step.
    void SetBypass(uint32_t bits, uint32_t which);
    uint16_t BypassAll() const { return m_bypassAll; }
    // Rebuilds the slots of the mask (and after them) and takes the bypass values again.
    void ApplyPendingEffectChanges(uint32_t slotMask);
    // Every slot's instances go; the next frame builds them again.
    void RebuildEffects();
    // Whether a slot or the mixer plug-in uses the effect object.
    bool UsesEffectObject(const CZkIndexedObject* effect) const;
    const ZkBusEffectSlot& Slot(uint32_t index) const { return m_slots[index]; }
    bool HasMixerPlugin() const { return m_mixer != nullptr; }
    IZkMixerPlugin* MixerPlugin() const;

    // --- Callbacks and metering ---
    void SetVolumeCallbackFlag(bool on) { m_volumeCallback = on; }
    bool HasVolumeCallback() const { return m_volumeCallback; }
    // The flags the game's metering callback asked for, and those the bus's own plug-ins ask for.
    void SetMeteringFlags(uint32_t flags);
    void SetPluginMeteringFlags(uint32_t flags);
    uint32_t MeteringFlags() const { return m_meteringFlags; }
    // What every output object is metered for.
    uint32_t ObjectMeteringFlags() const;

    // --- What the bus's plug-ins ask of it ---
    // Share set and device id of its device; both -1 without one.
    void GetOutputDeviceIDs(uint32_t& shareSetID, uint32_t& deviceID) const;
    // The configuration of the destination of the first dry output connection: 1, or 2 when there
    // is none or it is not valid.
    ZKRESULT GetDestinationConfig(ZkChannelConfig& config) const;
    // Three-dimensional matrices on the bus's device (CZkMixBusPanning.cpp), input rows of output
    // columns rounded up to 4, cleared first. The emitter is panned on the output's 7.0 speakers
    // with the full layout (centre share 1); both LFEs are joined by 1.0; a speaker input of more
    // than one channel that the device cannot lay out stays silent. 1; 2 without a device; 31 for
    // more than 36 inputs.
    // An emitter frame seen from a listener frame (spread and focus clamped to 0..1).
    ZKRESULT ComputeSpeakerVolumesForFrames(const ZkTransform& emitter, const ZkTransform& listener, float spread,
                                            float focus, ZkChannelConfig input, ZkChannelConfig output,
                                            float* matrix) const;
    // A direction (azimuth positive to the right, elevation up, radians); 31 when spread or focus
    // lies outside 0..1 (nothing written).
    ZKRESULT ComputeSpeakerVolumesForAngles(float azimuth, float elevation, float spread, float focus,
                                            ZkChannelConfig input, ZkChannelConfig output, float* matrix) const;
    // The mixing matrix of a positioned object (an audio object of the bus) on the bus's device:
    // CZkSpeakerPan::ComputeVolumesForParams's answer; 2 without a device.
    ZKRESULT ComputePositionalMatrix(const ZkPanningParams& params, ZkChannelConfig input, ZkChannelConfig output,
                                     float* matrix) const;

    // --- Node instance ---
    // The aux send levels and the property-33 value the node instance stores in the bus.
    int16_t SendLevel(uint32_t send) const { return m_sendLevels[send]; }
    int16_t Property33() const { return m_property33; }
    // Adds delta; a switch between zero and non-zero marks the sends changed (true).
    bool AddSendLevel(uint32_t send, float delta);
    bool AddProperty33(float delta);
    bool SendsChanged() const { return m_sendsChanged; }
    void ClearSendsChanged() { m_sendsChanged = false; }

protected:
    void CollectSends(ZK::ZkArray<ZkSendRecord>& sends) override;
    // A bus made outside the graph (a subclass that stands alone) names its key and volume itself.
    void AssignKey(ZkMixBusKey&& key) { m_key = std::move(key); }
    void SetVolumeDb(float db) { m_volumeDb = db; }

private:
    // The rays of a bus positioned in three dimensions into the mix view (none otherwise).
    void RefreshRays();
    friend class CZkMixBusWithWindow;

    // The window's starting state from the node (CZkMixBusWindow.cpp).
    void InitWindow(const CZkHierarchyNode& node);
    // Effects (CZkMixBusEffects.cpp).
    ZKRESULT BuildInstance(uint32_t slot, ZkBusObject& object, bool allowOutOfPlace);
    void ClearSlot(uint32_t slot);
    void RebuildChainFrom(uint32_t slot);
    void RunSlot(uint32_t slot, ZkBusObjectList*& current);
    ZkBusObjectList* InputListOf(uint32_t slot);
    // Whether the bus's node names an effect in one of its slots.
    bool NamesAnEffect() const;
    bool IsSlotActive(uint32_t slot) const;
    void RefreshObjectMetering();
    void ReadBypassAll();
    // The mixer plug-in (CZkMixBusMixer.cpp).
    ZKRESULT CreateMixerRecord();
    void CreateMixerPlugin();
    bool MixerUsesEffect(const CZkIndexedObject* effect) const;
    void DestroyMixerRecord();
    void MixThroughPlugin(CZkMixerInputContext& connection);
    // Objects.
    ZkBusObject* EnsureFirstObject();
    ZkBusObject* AddObject(uint64_t id, ZkChannelConfig config);
    // The output connections' entries point at the output list's blocks.
    void PublishOutput(ZkBusObjectList& output);
    // The step the three-dimensional matrices share (the matrix already cleared).
    ZKRESULT PanOnDevice(const ZkPositioningRay& ray, ZkChannelConfig input, ZkChannelConfig output,
                         float* matrix) const;
    void Meter(ZkBusObjectList& output);

    ZkMixBusKey m_key;
    CZkBusNodeInstance* m_nodeInstance = nullptr;
    ZkBusWindow* m_window = nullptr;
    ZkChannelConfig m_config;
    float m_linearVolume = 1.0f;
    float m_volumeDb = -4096.0f;
    float m_outputGain = 1.0f;
    ZkBusEffectSlot m_slots[kEffectSlots];
    ZkBusObjectList m_objects;
    struct MixerRecord;
    MixerRecord* m_mixer = nullptr;
    uint32_t m_meteringFlags = 0;
    uint32_t m_pluginMeteringFlags = 0;
    uint16_t m_bypassAll = 0;
    uint16_t m_previousBypassAll = 0;
    int16_t m_sendLevels[4] = {};
    int16_t m_property33 = 0;
    uint8_t m_busFlags = kFlagIsBus;
    uint8_t m_activity = kIdle;
    bool m_volumeCallback = false;
    bool m_sendsChanged = false;
};

// The bus with its dynamic-range window.
class CZkMixBusWithWindow final : public CZkMixBus
{
public:
    CZkMixBusWithWindow() { m_window = &m_windowFields; }

private:
    ZkBusWindow m_windowFields;
};
} // namespace ZK::SoundEngine
