// ZkMusicCursor: walks a context tree along the time axis. It turns a time into the chain item that
// plays then and the segment time inside it, steps from item to item, and finds the next musical
// sync point of a kind. A stack object, used and dropped within one call.
//
// Times: an item's segment time 0 lies at (position - chain start offset) on its owner's timeline,
// after the offsets of the switch levels crossed from the context the cursor was started on: each
// switch context the cursor enters pushes the chain entry it stepped into as a level (at most
// kMaxLevels; a switch context is never made deeper than that, see CZkMusicSwitchContext).
//
// Threading: engine thread only.
#pragma once

#include <ZK/SoundEngine/Common/ZkCallbackTypes.h>
#include <ZK/SoundEngine/Common/ZkResult.h>
#include <ZK/SoundEngine/Common/ZkTypes.h>

#include <cstdint>

namespace ZK::MusicEngine
{
class CZkMusicChainContext;
class CZkMusicTimelineContext;
struct ZkMusicChainItem;
struct ZkMusicSyncAction;
struct ZkSwitchChainEntry;

// What FindSyncPoint answers.
enum ZkSyncPointResult : uint32_t
{
    ZkSyncPoint_Found = 1,
    ZkSyncPoint_Failed = 2,
    ZkSyncPoint_BeyondItem = 3, // the next item starts before the point
};

struct ZkMusicCursor
{
    static constexpr uint32_t kMaxLevels = 32;
    static constexpr int64_t kNoItemStart = INT64_MAX;

    // Starts on the item playing now on the context (the first item with fromStart).
    void Init(CZkMusicChainContext& context, bool fromStart);
    // The item and its owner become current: the owner says whether items may follow it.
    void SetCurrent(ZkMusicChainItem* item, CZkMusicChainContext* itemOwner);
    void SetDistance(uint64_t samples, bool end);

    // The segment time inside the current item of an owner-timeline time.
    int64_t ItemLocalTime(uint64_t time) const;
    // Where the current item's segment time 0 lies, not before the chain's start.
    int64_t CurrentItemStart() const;
    // The next sync point of the kind at or after time (see ZkSyncPointResult); cueID in: the cue
    // filter, out: the cue found (0 without a segment).
    ZkSyncPointResult FindSyncPoint(uint64_t time, uint32_t kind, ZkUniqueID& cueID, bool skipNow,
                                    bool allowWithoutSegment, uint64_t& point) const;
    // Whether time lies at or past the current segment's exit cue (an item without segment, or no
    // item, has nothing left to play: at its exit).
    bool IsAtExit(uint64_t time) const;
    // Takes the current item's sync actions at or after time off the item and pushes them at the
    // front of list (a transition that cuts there places them again).
    void MoveActionsAfter(ZkMusicSyncAction*& list, uint64_t time) const;
    // The music callbacks of the current item in the frame [time, time + length), in the order
    // user cues (0x2000), entry (0x400), bars (0x200), beats (0x100), grid lines (0x1000), exit
    // (0x800), each type only when flags asks for it; every report carries the segment information
    // at the frame's start, at the given speed.
    void NotifyCallbacks(uint64_t time, uint32_t length, uint32_t flags, ZkPlayingID playingID, float speed) const;
    // The segment information at a segment time of the current item (all zeros without segment).
    void FillSegmentInfo(int64_t segmentTime, float speed, ZkSegmentInfo& info) const;
    // The time offsets of the contexts of the switch levels crossed.
    uint64_t LevelOffsetSum() const { return LevelOffsetsBefore(levelCount); }
    // The same for the levels above level (where the switch stepping at that level lies).
    uint64_t LevelOffsetsBefore(uint32_t level) const;
    // The entry becomes the level at that depth and the levels below it are dropped; false when
    // the depth is past the stack (nothing changes).
    bool PushLevel(uint32_t level, ZkSwitchChainEntry* entry);

    ZkSwitchChainEntry* levels[kMaxLevels] = {};
    uint32_t levelCount = 0;
    ZkMusicChainItem* current = nullptr;
    CZkMusicChainContext* owner = nullptr;
    uint32_t depth = 0;
    uint64_t distance = 0;
    bool endReached = true;
    bool lastItem = false;
    bool fresh = false;
    bool fromStartMode = false;
};
} // namespace ZK::MusicEngine
