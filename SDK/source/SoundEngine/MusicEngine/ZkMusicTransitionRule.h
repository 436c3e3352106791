// ZkMusicTransitionRule: how a music container moves from one child to another. Each rule names
// the source and destination nodes it applies to (id lists sorted ascending as unsigned values,
// searched by binary search; a list whose first id is 0xFFFFFFFF means any node), the source's
// sync point and fade-out, the destination's entry and fade-in, and an optional transition
// segment played between them.
//
// Flag bytes: source flags keep the sync kind in bits 0-4 and play-post-exit in 0x20;
// destination flags keep the destination mode in bits 0-2, the entry kind in bits 3-5,
// play-pre-entry in 0x40 and use-source-cue in 0x80.
//
// Threading: read on the bank thread under the global engine lock; read-only afterwards.
// Ownership: the container's rule list owns the id lists (pool 0) and the segment (pool 2).
#pragma once

#include "MusicEngine/CZkMusicTrack.h"

#include <ZK/SoundEngine/Common/ZkMemoryMgr.h>
#include <ZK/SoundEngine/Common/ZkResult.h>
#include <ZK/SoundEngine/Common/ZkTypes.h>

#include <cstdint>

namespace ZK::MusicEngine
{
constexpr ZkUniqueID kAnyNode = 0xFFFFFFFFu;

struct ZkMusicTransitionSegment
{
    ZkUniqueID segmentID = 0;
    ZkMusicFade fadeIn;
    ZkMusicFade fadeOut;
    bool playPreEntry = false;
    bool playPostExit = false;
};

struct ZkMusicTransitionRule
{
    static constexpr ZkMemoryId kListPool = ZkMemID_Default;
    static constexpr ZkMemoryId kSegmentPool = ZkMemID_BankObjects;
    static constexpr uint8_t kSyncKindMask = 0x1F;
    static constexpr uint8_t kPlayPostExit = 0x20;
    static constexpr uint8_t kModeMask = 0x07;
    static constexpr uint8_t kEntryShift = 3;
    static constexpr uint8_t kPlayPreEntry = 0x40;
    static constexpr uint8_t kUseSourceCue = 0x80;

    ZkUniqueID* sources = nullptr;
    uint32_t sourceCount = 0;
    ZkUniqueID* destinations = nullptr;
    uint32_t destinationCount = 0;
    ZkMusicFade sourceFade;
    ZkUniqueID sourceCue = 0;
    uint8_t sourceFlags = 0;
    ZkMusicFade destinationFade;
    ZkUniqueID destinationCue = 0;
    uint32_t destinationValue = 0;
    uint8_t destinationFlags = 0;
    ZkMusicTransitionSegment* segment = nullptr;
    uint32_t index = 0;

    uint32_t SyncKind() const { return sourceFlags & kSyncKindMask; }
    bool PlaysPostExit() const { return (sourceFlags & kPlayPostExit) != 0; }
    uint32_t DestinationMode() const { return destinationFlags & kModeMask; }
    uint32_t EntryKind() const { return (destinationFlags >> kEntryShift) & kModeMask; }
    bool PlaysPreEntry() const { return (destinationFlags & kPlayPreEntry) != 0; }
    bool UsesSourceCue() const { return (destinationFlags & kUseSourceCue) != 0; }

    // Whether a list matches id: {any}, or id found by binary search.
    static bool ListHolds(const ZkUniqueID* list, uint32_t count, ZkUniqueID id);
    bool MatchesSource(ZkUniqueID id) const { return ListHolds(sources, sourceCount, id); }
    bool MatchesDestination(ZkUniqueID id) const { return ListHolds(destinations, destinationCount, id); }

    // Reads one rule at the cursor. 1; 7 a count, field or offset out of the item or out of range;
    // 2 out of memory. What was allocated is the rule's on every result (Free releases it).
    ZKRESULT ReadFromBank(ZK::ZkByteCursor& cursor);
    void Free();

    // The process-wide default rule, reset to its values: any to any, exit cue with post-exit,
    // entry cue, no fades, no segment.
    static ZkMusicTransitionRule& ResetDefault();
};
} // namespace ZK::MusicEngine
