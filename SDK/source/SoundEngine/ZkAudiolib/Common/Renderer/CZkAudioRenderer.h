// CZkAudioRenderer: the renderer's global state and the start and end of the renderer. Its start
// (ZK::SoundEngine::InitRenderer) chooses the mixing and resampling kernels for this processor,
// checks the memory and stream managers, makes the platform's endpoint-notification factory,
// registers the plug-ins, starts the playing-voice lists and the panning tables, and starts the
// output devices' pacing thread with the placeholder main device. Its end (Term) gives all of it
// back in the opposite spirit.
//
// The mix graph: the bus list of mix-bus instances, found or made when an input is routed, ordered
// into levels by ComputeBusLevels (each bus after all of its inputs), refreshed or rebuilt by
// UpdateGraph. The graph-dirty value tells the next graph update what to do: 0 nothing, 1 refresh
// the buses' connections, 2 rebuild every bus; whoever changes routing, listeners, bus
// configurations or output devices marks it. The graph-changed flag is set whenever a bus is made,
// connected, listed or removed; buses are not processed until the levels are computed again.
//
// The voices: the voice list (the inline pass walks it front to back; a new voice goes before the
// first one whose main source's per-frame key is not smaller than its own) and the pending list of
// voices whose source is still being prepared. The render pass turns one engine tick into one
// audio frame: starvation, voice preparation and pipelines, buses from the leaves to the roots,
// root buses into their devices, the voices' post-frame step, the devices' frame end and the
// clean-up of idle buses. With the game's job callback the pipelines run as one "ZK::Voice" job
// and the buses level by level as "ZK::Bus" jobs; every job runs in the render pass's
// floating-point mode (flush-to-zero), so both paths render the same samples bit for bit.
//
// Threading: InitRenderer and Term run on the thread that starts and stops the engine; the graph,
// the voice lists and the graph-dirty value are changed on the engine thread under the global
// engine lock. The job functions run on the game's worker threads while the engine thread waits
// in the job callback; no renderer list changes meanwhile.
// Ownership: the renderer's arrays (memory pool 5); the bus list owns its buses, the voice and
// pending lists own their voices.
#pragma once

#include <ZK/SoundEngine/Common/ZkInitSettings.h>
#include <ZK/SoundEngine/Common/ZkResult.h>
#include <ZK/SoundEngine/Common/ZkTypes.h>

#include <cstdint>

class CZkOutputDevice;

namespace ZK::SoundEngine
{
class CZkGameObject;
class CZkHierarchyNode;
class CZkIndexedObject;
class CZkMixBus;
class CZkMixContext;
class CZkPlayingInstance;
class CZkVoice;
class ZkMixBusKey;
struct ZkVoiceCommand;
struct ZkSendRecord;

class CZkAudioRenderer
{
public:
    static constexpr int32_t kGraphClean = 0;
    static constexpr int32_t kGraphRefresh = 1;
    static constexpr int32_t kGraphRebuildAll = 2;

    // A source that joined an existing voice as its follow-up source.
    static constexpr ZKRESULT kJoinedVoice = ZK_AlreadyAChild;
    // The flag bit of a voice request set when the voice joined the voice list or has started.
    static constexpr uint32_t kRequestVoiceListed = 0x100;

    static void Term();

    // --- The render pass (CZkAudioRendererFrame.cpp) ---
    // One audio frame of every voice and bus into the output devices. 1.
    static ZKRESULT RenderPass();
    // At the engine's end, before Term: removes and destroys every voice (front first), destroys
    // every bus (last first) and frees the started-instance list. 1.
    static ZKRESULT DestroyAllVoices();
    // Mixes a root bus's output into its device's buffers and hands the frame to the device.
    static void MixBusToDevice(CZkMixBus& bus, CZkOutputDevice& device);

    // --- Voices (CZkAudioRendererVoices.cpp) ---
    // Gives the instance's source a voice. An instance of a voice group (the items of a
    // sample-accurate sequence) first looks for a started voice of its group without a follow-up
    // source, and its source becomes that voice's follow-up (5). Otherwise a new voice with the
    // source as its main source, listed (bit 8 of flags set when it joined the voice list) or
    // pending while its source prepares (1); 2 when no voice can be made (the instance's end is
    // posted) or listed; the source's failure.
    static ZKRESULT CreateVoice(CZkPlayingInstance& instance, uint32_t& flags);
    // Builds the voice's pipeline when it has none, lists it by key and routes it. 1; 2 (the voice
    // is destroyed).
    static ZKRESULT InsertVoice(CZkVoice* voice);
    // A pending voice whose source is ready leaves the pending list and joins the voice list (1),
    // or is destroyed (2); 63 while the source is not ready.
    static ZKRESULT RemovePendingVoice(CZkPlayingInstance& instance, CZkVoice* voice);
    // The voice whose main source (for command code 4 also: second source) belongs to the
    // command's instance, marking the command ready when the voice has started; else the
    // instance's own voice when its main source is the instance's (or code 4); else null.
    static CZkVoice* FindVoiceForSource(ZkVoiceCommand& command);
    static uint32_t VoiceCount();
    static CZkVoice* VoiceAt(uint32_t index);
    static uint32_t PendingVoiceCount();

    // --- Jobs (CZkAudioRendererJobs.cpp) ---
    // The game's job callback, taken from the engine's settings at InitRenderer (null: everything
    // runs inline; Term sets null).
    static void SetJobCallback(ZkJobCallback callback);

    // level 0 refreshes, level 1 rebuilds; a pending rebuild stays.
    static void SetGraphDirty(uint32_t level);
    static void SetGraphRebuildAll();
    static int32_t GraphDirty();
    // The graph update took it into account.
    static void ClearGraphDirty();

    // --- The mix graph's bus instances (CZkAudioRendererBuses.cpp) ---
    // The first bus of the list with exactly this key whose game object is still active (or that
    // has no node instance); else a new one (null when that fails). FindBusForKey only looks.
    static CZkMixBus* FindOrCreateBus(ZkMixBusKey&& key);
    static CZkMixBus* FindBusForKey(const ZkMixBusKey& key);
    // A new bus for the key with its parents (per listener where the parent node mixes per
    // listener; an emitter is made for the key's game object when missing); null when a step fails.
    static CZkMixBus* CreateBusForKey(ZkMixBusKey&& key);
    // A new bus connected to parent, or to its device's master mix (made when missing) for a root.
    // Null without a device, with a device whose configuration is not valid, or on failure (the
    // half-made bus is destroyed).
    static CZkMixBus* CreateBusInstance(ZkMixBusKey&& key, CZkMixBus* parent);
    // Appends a bus that has outputs or is not a root; a root without outputs goes first. 1 or 2.
    static ZKRESULT AddBus(CZkMixBus* bus);
    // Takes the bus off the list and destroys it; the graph changed.
    static void RemoveBus(uint32_t index);
    // Routes an input that just joined: to the instances of its output bus node (one per listener
    // with per-listener routing), or, without one, to the bus of its game object while a main
    // device exists.
    static void ConnectVoice(CZkMixContext& input, CZkHierarchyNode* outputBus, CZkGameObject* object,
                             bool perListener);
    // Connects the input to the bus of the key (type 0 dry, else a send) unless it has a connection
    // with exactly that key. 1; 2 when the bus cannot be made or connected.
    static ZKRESULT ConnectToBusKey(ZkMixBusKey&& key, CZkMixContext& input, uint32_t type);
    // Connects input to the instance of the auxiliary bus node for the send's listener (with the
    // send's connection type) unless it already has that connection.
    static ZKRESULT ConnectSend(CZkHierarchyNode* node, const ZkSendRecord& send, CZkMixContext* input);
    // Removes the input's dry connections whose listener it no longer has: with per-listener
    // routing, listeners not in the game object's set; otherwise any but the object itself.
    static void RefreshConnections(CZkMixContext& input, CZkGameObject* object, bool perListener);
    static uint32_t BusCount();
    static CZkMixBus* BusAt(uint32_t index);
    // Destroys every bus (last first) and frees the bus list.
    static void DestroyAllBuses();

    // --- Graph upkeep (CZkAudioRendererGraph.cpp) ---
    // Once per tick while the graph-dirty value is set: refresh (1) or rebuild (2) the buses, then
    // every voice is routed again; the value returns to 0. 1.
    static ZKRESULT UpdateGraph();
    // Levels of the buses (roots 0, inputs deeper), the deferred inputs that close cycles, the
    // feedback flag and the levels whose buses feed one another. 1; 2 when the level arrays cannot
    // grow (the graph-changed flag stays set). Only while the graph-changed flag is set.
    static ZKRESULT ComputeBusLevels();
    static bool GraphChanged();
    static void SetGraphChanged();
    static bool HasFeedback();
    static uint32_t LevelCount();
    static int32_t BusesAtLevel(uint32_t level);
    static bool IsLevelSerial(uint32_t level);
    // Every voice drops the connections to listeners it no longer has and is routed again.
    static void RerouteVoices();
    // Whether the game supplied a job callback (bus jobs may then run on its worker threads).
    static bool HasJobCallback();

    // --- Game-parameter outputs of the bus windows (CZkAudioRendererOutputs.cpp) ---
    // Keeps the larger of the recorded and the new value for (parameter, game object); a record
    // that does not fit is skipped.
    static void RecordGameParameterOutput(ZkUniqueID parameter, ZkGameObjectID object, float value);
    // Sets every record on its game parameter for its game object, and each parameter's largest
    // value globally; then empties the records.
    static void FlushGameParameterOutputs();
    static uint32_t GameParameterOutputCount();

    // --- What the bus nodes tell their instances (CZkAudioRendererBusInstances.cpp) ---
    // Each reaches every bus instance whose bus node id is busID; none allocates.
    // Rebuilds effect slot n of every instance at once.
    static ZKRESULT MarkBusInstancesDirty(ZkUniqueID busID, uint32_t slot);
    // The bus's graph-relevant settings changed.
    static ZKRESULT NotifyBusInstances(ZkUniqueID busID);
    // Sets the selected bypass bits (bits 0-3 slots, 4 every effect) of the instances of the game
    // object (all with ZK_ALL_GAME_OBJECTS).
    static ZKRESULT ForwardBusNotification(ZkUniqueID busID, uint32_t flags, uint32_t moreFlags,
                                           ZkGameObjectID object = ZK_ALL_GAME_OBJECTS);
    // A property that the bus's own mix stage applies changed (its parameter, value and delta).
    static ZKRESULT PropagateBusPropertyChange(ZkUniqueID busID, uint32_t parameter, float value, float delta);
    static ZKRESULT SetBusInstanceValue(ZkUniqueID busID, float value, uint32_t id);
    // The game registered or removed the bus's volume-matrix callback, or changed the measurements
    // its metering callback wants. Called under the global engine lock.
    static ZKRESULT SetBusVolumeCallbackFlag(ZkUniqueID busID, bool hasCallback);
    static ZKRESULT SetBusMeteringFlags(ZkUniqueID busID, uint32_t meteringFlags);
    // Every bus (any node) whose effect slots or mixer plug-in use the effect object rebuilds its
    // effects. 1.
    static ZKRESULT RefreshBusesUsingObject(const CZkIndexedObject* effect);
    // Every bus whose effects use the effect share set rebuilds them. 1.
    static ZKRESULT RefreshBusEffectsForShareSet(const CZkIndexedObject* shareSet);
};

// 1; 2 without the memory manager or the stream manager; else the failing step's result.
ZKRESULT InitRenderer();
} // namespace ZK::SoundEngine
