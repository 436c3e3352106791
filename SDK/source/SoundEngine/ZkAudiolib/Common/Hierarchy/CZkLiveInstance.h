// CZkLiveInstance: what a node's activity record and the instance limiters see of a playing
// instance (the playing instance derives from it): its place in its node's list of live instances,
// its priority record (the limiters' sort key), and the operations that the node walks and the
// limit enforcement apply to it.
//
// Order in a limiter (highest first): priority descending; among equal priorities the sequence
// number decides, then the tie word, newest (larger) first, or oldest first when the limiter's
// tie-break flag is set. A priority that is not finite ranks as 50. Two entries with the same
// priority, sequence number and tie word are the same instance.
//
// Threading: audio thread, under the global engine lock.
// Ownership: the instance is its owner's (the active instances); nodes and limiters only point at
// it. An instance leaves its node's list and its limiters before it goes.
#pragma once

#include "ZkAudiolib/Common/Hierarchy/ZkNodeTypes.h"

#include <ZK/SoundEngine/Common/ZkResult.h>
#include <ZK/SoundEngine/Common/ZkTypes.h>

#include <cmath>
#include <cstdint>

namespace ZK::SoundEngine
{
class CZkGameObject;
class CZkHierarchyNode;

constexpr float kDefaultPriority = 50.0f;

// The priority of an instance: the limiters order by the first three fields.
struct ZkPriorityRecord
{
    float priority = kDefaultPriority;
    uint32_t tieWord = 0;
    uint32_t sequence = 0;
    float basePriority = kDefaultPriority;
    float distanceOffset = 0.0f;
};

// A priority as the limiters rank it: 50 when not finite.
inline float RankedPriority(float priority) { return std::isfinite(priority) ? priority : kDefaultPriority; }

// Whether a ranks before b (olderFirst: the tie-break flag).
inline bool RanksBefore(const ZkPriorityRecord& a, const ZkPriorityRecord& b, bool olderFirst)
{
    const float pa = RankedPriority(a.priority);
    const float pb = RankedPriority(b.priority);
    if (pa != pb)
        return pa > pb;
    if (a.sequence != b.sequence)
        return olderFirst ? a.sequence < b.sequence : a.sequence > b.sequence;
    if (a.tieWord != b.tieWord)
        return olderFirst ? a.tieWord < b.tieWord : a.tieWord > b.tieWord;
    return false;
}

// Where an instance stands for the limit enforcement.
enum class ZkLimitStanding : uint8_t
{
    HoldsPlace,   // playing: takes one of the limiter's places
    Stopping,     // a stop was asked for: holds no place and is left alone
    Virtual,      // virtual: holds no place and is left alone
    Transitional, // starting, or waiting on its play chain: holds no place, may still be sent off
};

class CZkLiveInstance
{
public:
    CZkLiveInstance() = default;
    CZkLiveInstance(const CZkLiveInstance&) = delete;
    CZkLiveInstance& operator=(const CZkLiveInstance&) = delete;

    virtual CZkGameObject* GameObject() const = 0;
    virtual ZkPlayingID PlayingID() const = 0;
    // The node the instance plays (null for none).
    virtual CZkHierarchyNode* PlayedNode() const = 0;
    virtual ZkLimitStanding LimitStanding() const = 0;
    // What the instance does when it falls below the volume threshold (0 continue, 1 stop, 2 go
    // virtual), and its queue behaviour: the limit decisions choose whom to displace by it.
    virtual uint8_t GetVirtualBehaviour(uint8_t& queueBehaviour) = 0;
    // A limiter has more instances than places: the instance turns virtual (by its node's
    // below-threshold behaviour) when toVirtual is set, else it stops with the reason (1 for a
    // node's limiter, 2 for the engine-wide one).
    virtual void OnOverLimit(bool toVirtual, uint8_t reason) = 0;
    // An action reached the instance through its node (stop, pause, resume, ...).
    virtual ZKRESULT ExecuteAction(const ZkActionParams& params) = 0;
    // The node's settings changed: the instance reads them again.
    virtual void RefreshFromNode() = 0;
    // A summed property of the node moved by delta (parameter id of the property).
    virtual void ApplyParamDelta(uint32_t parameter, float delta) = 0;
    // The gain of a modified-property record of the node (or of a bus on its way) changed.
    virtual void UpdateContribution() = 0;
    // A positioning value of the node changed.
    virtual void RefreshPositioningParam(uint32_t parameter, float value) = 0;
    virtual void RefreshPositioning() = 0;
    // The effect bypass bits of the mask changed to bits (bits 0-3: slots, bit 4: all).
    virtual void SetEffectBypass(uint8_t bits, uint8_t mask) = 0;
    // The effect of slot 0-3 changed: a voice builds it again (instances without a voice: nothing).
    virtual void RebuildEffect(uint32_t /*slot*/) {}

    ZkPriorityRecord priority;
    CZkLiveInstance* pNextInNode = nullptr; // the node's list of live instances

protected:
    ~CZkLiveInstance() = default;
};
} // namespace ZK::SoundEngine
