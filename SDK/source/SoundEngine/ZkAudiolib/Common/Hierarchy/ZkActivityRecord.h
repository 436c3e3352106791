// ZkActivityRecord: what a node carries while it plays or has playing descendants: its play and
// virtual counters, the list of its live instances, and the instance limiters that enforce its max
// instances, one for all game objects (embedded) and, when the limit counts per game object, one
// per game object. Idle nodes carry none; records come from slabs of 128 (ZkActivitySlabs).
//
// The bus-path counters count the plays (and virtual plays) that passed the node while their output
// bus was still to be counted: at the first level with an output bus, that bus counted them. They
// are what moves when the node's output bus changes.
//
// Threading: audio thread, under the global engine lock.
// Ownership: the node's; the record owns its per-object limiters (memory pool 0) and their array.
#pragma once

#include "ZkAudiolib/Common/Containers/ZkArray.h"
#include "ZkAudiolib/Common/Containers/ZkInlineArray.h"
#include "ZkAudiolib/Common/Hierarchy/CZkNodeLimiter.h"

#include <cstdint>

namespace ZK::SoundEngine
{
class CZkGameObject;

// The limiters a play counts against (a playing instance keeps one such list).
using ZkLimiterList = ZK::ZkInlineArray<CZkInstanceLimiter*, 1>;

struct ZkObjectLimiter
{
    CZkGameObject* object;
    CZkNodeLimiter* limiter;
};

struct ZkActivityRecord
{
    static constexpr uint8_t kFlagGlobalLimit = 0x01;
    static constexpr uint8_t kFlagPerFrameList = 0x02;

    ZkActivityRecord(uint16_t maxCount, bool olderFirst, bool virtualOnLimit, uint64_t limiterKey, bool globalLimit)
        : limiter(ZkRTPCKey::Global(), maxCount, olderFirst, virtualOnLimit, limiterKey),
          flags(globalLimit ? kFlagGlobalLimit : 0)
    {
    }

    bool IsGlobalLimit() const { return (flags & kFlagGlobalLimit) != 0; }
    // No play, no virtual play, no instance and no limiter in use.
    bool IsIdle() const
    {
        return playCount <= 0 && virtualCount <= 0 && limiter.IsIdle() && instances == nullptr &&
               objectLimiters.IsEmpty();
    }

    ZK::ZkArray<ZkObjectLimiter> objectLimiters;
    CZkLiveInstance* instances = nullptr;
    CZkNodeLimiter limiter;
    int16_t playCount = 0;
    int16_t busPathPlayCount = 0;
    int16_t virtualCount = 0;
    int16_t busPathVirtualCount = 0;
    uint8_t flags;
};

// What a play carries through the counting of its node and of the nodes above it (output bus once,
// then the parents).
struct ZkPlayCount
{
    CZkGameObject* gameObject = nullptr;
    float priority = 50.0f;
    // The limiters that count the play are appended here (null: not collected).
    ZkLimiterList* limiters = nullptr;
    // The play asks for limit decisions; without, the limiters are only collected.
    bool checkLimits = true;
    // The play is counted at each level; without, the walk only collects (and tests) the limiters
    // of an instance that is already counted.
    bool countPlay = true;
    // Skip the limit tests of limits counted across all game objects.
    bool noGlobalCheck = false;
    // Out, kept across levels: limit decisions run so far; a level stopped the checks of the levels
    // above it (flag C bit 2); the output bus is still to be counted.
    uint32_t checks = 0;
    bool stopChecks = false;
    bool toBus = true;
    // Out: the node whose instance a limit decision stopped to make room, if any.
    CZkHierarchyNode* stoppedNode = nullptr;
};
} // namespace ZK::SoundEngine
