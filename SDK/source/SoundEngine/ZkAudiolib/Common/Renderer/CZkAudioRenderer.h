// CZkAudioRenderer: the renderer's global state and the start and end of the renderer. Its start
// (ZK::SoundEngine::InitRenderer) chooses the mixing and resampling kernels for this processor,
// checks the memory and stream managers, makes the platform's endpoint-notification factory,
// registers the plug-ins, starts the playing-voice lists and the panning tables, and starts the
// output devices' pacing thread with the placeholder main device. Its end (Term) gives all of it
// back in the opposite spirit.
//
// The graph-dirty value tells the next graph update what to do: 0 nothing, 1 refresh the buses'
// connections, 2 rebuild every bus. Whoever changes routing, listeners, bus configurations or output
// devices marks it.
//
// Threading: InitRenderer and Term run on the thread that starts and stops the engine; the
// graph-dirty value is changed on the engine thread under the global engine lock.
// Ownership: the renderer's arrays (memory pool 5).
#pragma once

#include <ZK/SoundEngine/Common/ZkResult.h>
#include <ZK/SoundEngine/Common/ZkTypes.h>

#include <cstdint>

namespace ZK::SoundEngine
{
class CZkHierarchyNode;
class CZkMixContext;
struct ZkSendRecord;

class CZkAudioRenderer
{
public:
    static constexpr int32_t kGraphClean = 0;
    static constexpr int32_t kGraphRefresh = 1;
    static constexpr int32_t kGraphRebuildAll = 2;

    static void Term();

    // level 0 refreshes, level 1 rebuilds; a pending rebuild stays.
    static void SetGraphDirty(uint32_t level);
    static void SetGraphRebuildAll();
    static int32_t GraphDirty();
    // The graph update took it into account.
    static void ClearGraphDirty();

    // The mix-bus instances of a bus (one per output device that uses it), told of the bus's
    // changes. Not built yet (Renderer/Neighbours/CZkAudioRendererBusInstances.cpp): each answers 4
    // and reaches nobody.
    // Rebuilds effect slot n of every instance at once.
    static ZKRESULT MarkBusInstancesDirty(ZkUniqueID busID, uint32_t slot);
    // The bus's graph-relevant settings changed.
    static ZKRESULT NotifyBusInstances(ZkUniqueID busID);
    static ZKRESULT ForwardBusNotification(ZkUniqueID busID, uint32_t flags, uint32_t moreFlags);
    // A property that the bus's own mix stage applies changed (its parameter, value and delta).
    static ZKRESULT PropagateBusPropertyChange(ZkUniqueID busID, uint32_t parameter, float value, float delta);
    static ZKRESULT SetBusInstanceValue(ZkUniqueID busID, float value, uint32_t id);
    // The game registered or removed the bus's volume-matrix callback, or changed the measurements
    // its metering callback wants. Called under the global engine lock.
    static ZKRESULT SetBusVolumeCallbackFlag(ZkUniqueID busID, bool hasCallback);
    static ZKRESULT SetBusMeteringFlags(ZkUniqueID busID, uint32_t meteringFlags);
    // Connects input to the instance of the auxiliary bus node for the send's listener (with the
    // send's connection type) unless it already has that connection.
    static ZKRESULT ConnectSend(CZkHierarchyNode* node, const ZkSendRecord& send, CZkMixContext* input);
};

// 1; 2 without the memory manager or the stream manager; else the failing step's result.
ZKRESULT InitRenderer();
} // namespace ZK::SoundEngine
