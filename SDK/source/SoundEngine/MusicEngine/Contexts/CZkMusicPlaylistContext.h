// CZkMusicPlaylistContext: plays a playlist container. It is a chain whose items are appended while
// it plays, always three items ahead of the music's clock: the playlist iterator says which segment
// comes next, and the container's transition rule for the pair (segment leaving, segment coming)
// says where the leaving one is left (its exit sync point, fade-out or post-exit) and how the next
// one is entered (entry point, fade-in or pre-entry), through the rule's transition segment when it
// has one.
//
// Placement: the next item lies at the leaving item's position + its exit point c, less its own
// entry point, so that the entry point sounds exactly on the exit point. The leaving item stops at
// its active length + g, where g = fade-out offset - fade-out length (its fade then ends at the
// fade-out offset after its exit cue); a fade that would begin before the segment's start is
// shortened to begin there, and without any fade a rule that plays the post-exit lets the whole
// post-exit sound.
//
// End: when the walk has no segment left, a last empty item is placed at the exit point of the last
// segment, which stops it there (or after its post-exit) as the rule to "no segment" says; the
// play ends once that segment has stopped. A segment whose context cannot be made ends the walk
// after it in the same way, and a chain that would need more than 64 appends in one frame (items
// that all end before now) ends the walk instead of looping.
//
// Seeks by time or fraction are the timeline's (2, not supported): a playlist's segments take them.
//
// Threading: engine thread only, under the global engine lock.
// Ownership: reference-counted (CZkMusicContext, pool 0); holds a reference on its playlist
// container; the iterator (and its saved states) is embedded.
#pragma once

#include "MusicEngine/Contexts/CZkMusicChainContext.h"
#include "MusicEngine/Contexts/ZkMusicTransitionSides.h"
#include "MusicEngine/Playlist/CZkPlaylistIterator.h"

namespace ZK::MusicEngine
{
class CZkMusicPlaylistContainer;

class CZkMusicPlaylistContext final : public CZkMusicChainContext
{
public:
    // At most this many items are appended in one call of ScheduleAhead.
    static constexpr uint32_t kMaxAppendsPerCall = 64;
    // ScheduleAhead keeps the item at the clock and this many items in all.
    static constexpr uint32_t kItemsAhead = 3;

    // The playlist's context factory: a started context under the parent (null: the root of a new
    // play) holding the creator's reference; null when it cannot start (it is stopped and freed).
    static CZkMusicPlaylistContext* Create(CZkMusicContext* parentContext, CZkMusicPlaylistContainer& playlist,
                                           CZkRegisteredObj* gameObject, const ZkMusicPlayInfo& playInfo,
                                           uint8_t option);

    CZkMusicPlaylistContext(CZkMusicContext* parentContext, CZkMusicPlaylistContainer& playlist);
    ~CZkMusicPlaylistContext() override;

    // While the walk still has a segment to go, an ordinary chain stop; at its end the walk's state
    // is first handed to the parent (when no child is left), so a later play continues it.
    void Stop(uint32_t offset) override;
    CZkMusicNode* GetNode() const override;
    bool CanContinue() const override { return m_moreItems; }
    bool ExtendChain(ZkMusicCursor& cursor, uint64_t time, uint32_t length) override;
    void ScheduleAhead(uint64_t time) override;
    // The walk's oldest saved state goes to the container's selectors and to the parent.
    void OnItemStarted(ZkMusicChainItem& item) override;

    // Attaches, starts the walk (from the parent's saved state for this playlist), appends the first
    // item and prepares the chain, a look-ahead after the play. 1; 2 when nothing can be played;
    // the attach's result.
    ZKRESULT Start(CZkRegisteredObj* gameObject, const ZkMusicPlayInfo& playInfo, uint8_t option);
    // Appends the walk's next segment (through the rule's transition segment when there is one) and
    // moves the walk on. The new tail, or null when nothing was appended (stopping, the walk over
    // and its last segment closed, or a last item without segment). playPreEntry: whether the first
    // appended segment is entered with its pre-entry.
    ZkMusicChainItem* NextItem(bool& playPreEntry);
    // Leaves last (may be null) as leave says and appends the segment (0: an empty item) entered as
    // enter says. The new tail; on an append failure the sequence ends and the tail is returned.
    ZkMusicChainItem* AppendFromRule(const ZkMusicLeaveSide& leave, const ZkMusicEnterSide& enter,
                                     ZkMusicChainItem* last, ZkUniqueID segmentID);
    // Ends the sequence: the walk's current segment is dropped and nothing more is appended after
    // what the chain holds (but the closing empty item). The tail.
    ZkMusicChainItem* GetLastItem();
    // Continues at a playlist item (a switch destination that resumes a playlist). entryKind 2 and 3
    // with a saved state restore the walk from it (3 moves on once first); else item 0 keeps the
    // chain (1 with a head, 2 without) and another restarts the walk at that item. 1 when an item
    // with a segment was appended; 2 otherwise.
    ZKRESULT SeekToItem(ZkUniqueID itemID, uint32_t entryKind, const ZkPlaylistSavedState* saved);

    const CZkPlaylistIterator& Iterator() const { return m_iterator; }

private:
    // The container's rule from source to destination (0: none), or the default rule.
    const ZkMusicTransitionRule& RuleFor(ZkUniqueID sourceID, ZkUniqueID destinationID) const;
    // With the walk over, the last segment is closed by an empty item at its exit point. Null when
    // it is closed already (or there is none).
    ZkMusicChainItem* CloseSequence();
    // Ends the sequence from ScheduleAhead at chain time now: items that should have started before
    // now never will, and their segments are dropped; items whose stop lies before now stop at once,
    // so that the play can end.
    void EndSequenceAt(int64_t now);
    // The stop of the leaving item for the leaving side, with the exit point c.
    static void PlaceStop(ZkMusicChainItem& leaving, const ZkMusicLeaveSide& leave, int32_t c);
    void HandSavedStateToParent(ZkPlaylistSavedState& state);

    CZkMusicPlaylistContainer& m_playlist;
    CZkPlaylistIterator m_iterator;
    bool m_moreItems = true;
};
} // namespace ZK::MusicEngine
