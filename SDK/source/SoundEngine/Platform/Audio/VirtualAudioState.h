// The inside of the virtual audio system, shared by its control surface (VirtualAudioSystem), its
// enumerator and endpoints (VirtualEndpoints.cpp) and its streams (VirtualStreamClient.cpp).
//
// Threading: `lock` guards every field of the state, of its endpoints and of their streams.
// Ownership: the state is shared (std::shared_ptr) by the system and every object it handed out;
// an endpoint's record stays alive while a stream or endpoint object points at it.
#pragma once

#include "Platform/Audio/StreamInterfaces.h"
#include "Platform/Audio/VirtualAudioSystem.h"
#include "Platform/PlatformEvent.h"
#include "Platform/PlatformThread.h"

#include <condition_variable>
#include <deque>
#include <mutex>
#include <vector>

namespace ZK::Platform
{
struct VirtualStream
{
    WaveFormat format;
    uint32_t bufferFrames = 0;
    std::deque<float> queued; // interleaved samples released and not yet played
    uint64_t releasedFrames = 0; // every frame released since the stream was made
    ZkEvent* event = nullptr;
    bool started = false;
    int64_t playedNanoseconds = 0; // real-time clock: time already turned into frames
};

struct VirtualSpatialObjectState
{
    uint32_t captureIndex = 0;     // its entry in the endpoint's spatial capture
    std::vector<float> buffer;     // the update's frames
    float volume = 1.0f;
    VirtualObjectPosition position;
};

struct VirtualSpatialStreamState
{
    ZkEvent* event = nullptr;
    bool started = false;
    bool updating = false;
    uint32_t owedFrames = 0;       // frames the clock has played since the last update began
    uint32_t updates = 0;
    uint32_t dynamicObjects = 0;   // activated
    uint32_t maxDynamicObjects = 0;
    std::vector<VirtualSpatialObjectState*> objects;
};

struct VirtualEndpointRecord
{
    VirtualEndpointSettings settings;
    VirtualEndpointPolicy policy;
    VirtualEndpointCapture capture;
    bool removed = false;
    bool invalidated = false;
    std::vector<VirtualStream*> streams;
    VirtualSpatialSettings spatial;
    VirtualSpatialPolicy spatialPolicy;
    VirtualSpatialCapture spatialCapture;
    std::vector<VirtualSpatialStreamState*> spatialStreams;
    uint32_t spatialUpdates = 0; // over all its spatial streams
    int64_t spatialPlayedNanoseconds = 0; // real-time clock: time already turned into frames

    // Under the lock: counts a spatial call and tells whether it is the one that fails.
    bool SpatialCallFails(SpatialCall call);
    WaveFormat MixFormat() const;
    uint16_t DeviceFormatChannels() const;
};

struct VirtualAudioSystem::State
{
    mutable std::mutex lock;
    // Held while notifications are delivered, and by an unregistration, so that a client is never
    // called after its unregistration returned. Taken before `lock`, never inside it.
    std::mutex deliveryLock;
    std::vector<std::shared_ptr<VirtualEndpointRecord>> endpoints;
    std::wstring defaults[kDeviceRoleCount];
    std::vector<IEndpointNotificationClient*> clients;
    // Told (under `lock`) whenever a spatial update ends.
    mutable std::condition_variable spatialUpdated;

    // Real-time clock.
    ZkThreadHandle clockThread;
    ZkEvent clockStop;
    uint32_t clockPeriodMilliseconds = 10;
    bool clockRunning = false;

    // Under the lock: the live record with that id, or null.
    std::shared_ptr<VirtualEndpointRecord> Find(const std::wstring& id) const;
    // Under the lock: plays frames of a started stream and sets its event.
    static void AdvanceStream(VirtualEndpointRecord& endpoint, VirtualStream& stream, uint32_t frames);
    // Under the lock: owes every started spatial stream of the endpoint frames more and sets its
    // event.
    static void AdvanceSpatialStreams(VirtualEndpointRecord& endpoint, uint32_t frames);
};

// The objects the enumerator hands out (VirtualEndpoints.cpp, VirtualStreamClient.cpp).
IEndpointEnumerator* MakeVirtualEnumerator(std::shared_ptr<VirtualAudioSystem::State> state);
IEndpoint* MakeVirtualEndpoint(std::shared_ptr<VirtualAudioSystem::State> state,
                               std::shared_ptr<VirtualEndpointRecord> record);
ISpatialAudioClient* MakeVirtualSpatialClient(std::shared_ptr<VirtualAudioSystem::State> state,
                                              std::shared_ptr<VirtualEndpointRecord> record);
IStreamClient2* MakeVirtualStreamClient(std::shared_ptr<VirtualAudioSystem::State> state,
                                        std::shared_ptr<VirtualEndpointRecord> record);
} // namespace ZK::Platform
