// ZkStingerRecord: one stinger placed on a play's timeline: a short segment that a trigger brings
// in over the music at a musical sync point. The play record keeps its stingers in a list, new ones
// at the front; the chain item in which the sync point falls holds a sync action (kind 0) pointing
// at the record, so that a transition that cuts the timeline can take the stinger back.
//
// A record outlives its stinger: once the stinger context has played (or was cancelled) the record
// stays, without context, until its don't-repeat time is over, so that a trigger fired again too
// soon is ignored.
//
// Threading: engine thread only. Ownership: the play record's list (pool 0); the record holds one
// reference on its stinger context.
#pragma once

#include <ZK/SoundEngine/Common/ZkTypes.h>

#include <cstdint>

namespace ZK::MusicEngine
{
class CZkMusicSegmentSequenceContext;

struct ZkStingerRecord
{
    ZkStingerRecord* next = nullptr;
    // The stinger segment's play, a child of the root; null without segment or once it stopped.
    CZkMusicSegmentSequenceContext* context = nullptr;
    ZkUniqueID triggerID = 0; // 0 once cancelled: no longer blocks a repeat, never placed again
    ZkUniqueID segmentID = 0;
    int64_t syncPoint = 0;        // the root's time at which the stinger's entry cue falls
    uint32_t dontRepeatSamples = 0;
    uint32_t lookAhead = 0;       // samples between the stinger's start and its entry cue
    int32_t end = 0;              // the stinger's active length + post-exit (0 without segment)
    bool mayRetrigger = false;    // placed again after a cut
};
} // namespace ZK::MusicEngine
