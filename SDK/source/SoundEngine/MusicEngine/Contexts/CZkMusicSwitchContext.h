// CZkMusicSwitchContext: plays a music switch container. It follows the state and switch groups
// named by the container's arguments (one ZkSwitchArgumentSubscriber each); whenever one changes,
// the container's decision tree names the destination, and a musical transition is scheduled from
// what plays to it: the source is left at the sync point the transition rule asks for, the
// destination enters at its entry point exactly there, through the rule's transition segment when
// it has one, with the rule's fades.
//
// Timeline: a chain of ZkSwitchChainEntry records, one per destination context, each starting (its
// context's time offset) at the exit point of the entry before it. A root switch starts with
// silence and schedules its first destination at once; under a parent it starts on its decided
// destination. The outermost switch keeps, per destination object, the saved playlist walk and
// the source position a later return uses (the child store).
//
// Nesting: a decision may name a switch container (even this container, or an ancestor). The
// music cursor keeps at most ZkMusicCursor::kMaxLevels switch levels, so a switch context is not
// made when that many switch contexts already stand on its path from the root: its destination
// becomes silence. Without that bound a self-naming decision would nest until the stack overflows.
//
// Derives from the chain context for its timeline slots (cursor steps, play window, interruption,
// fade-out); it keeps no chain items of its own.
//
// Threading: engine thread only, under the global engine lock (group notifications come from
// there too). Ownership: reference-counted (CZkMusicContext, pool 0); holds a reference on its
// container; owns its entries, subscribers and child store (pool 0); its subscribers hold one
// reference on it until it stops.
#pragma once

#include "MusicEngine/Contexts/CZkMusicChainContext.h"
#include "MusicEngine/Contexts/ZkSwitchChainEntry.h"
#include "MusicEngine/Playlist/ZkPlaylistSavedState.h"

namespace ZK::MusicEngine
{
class CZkMusicSwitchContainer;
class ZkSwitchArgumentSubscriber;
struct ZkMusicSyncAction;

// What a scheduling is asked for beyond the destination: a seek (a position in samples, or a
// fraction of the destination) and an entry kind that replaces the rule's.
struct ZkSwitchRequest
{
    bool hasSeek = false;
    bool seekIsFraction = false;
    int32_t seekPosition = 0;
    float seekFraction = 0.0f;
    bool forceEntry = false;
    uint32_t entryKind = 0;
};

class CZkMusicSwitchContext final : public CZkMusicChainContext
{
public:
    // The transition attempts of one scheduling made with the container's rules; the engine's
    // fallback rule (exit cue with post-exit) is used after them.
    static constexpr uint32_t kMaxRuleAttempts = 64;
    static constexpr uint8_t kFlagChangePending = 0x1;
    static constexpr uint8_t kFlagSubscribersHoldReference = 0x2;

    // The container's context factory: a started context under parentSwitch (null: the root of a
    // new play) holding the creator's reference; null when it cannot start (it is stopped and
    // freed), or when parentSwitch already stands at the deepest switch level.
    static CZkMusicSwitchContext* Create(CZkMusicSwitchContext* parentSwitch, CZkMusicSwitchContainer& container,
                                         CZkRegisteredObj* gameObject, const ZkMusicPlayInfo& playInfo, uint8_t option);

    CZkMusicSwitchContext(CZkMusicSwitchContext* parentSwitch, CZkMusicSwitchContainer& container);
    ~CZkMusicSwitchContext() override;

    // --- Context slots ---
    void OnPlay() override;
    void OnStopped() override;
    void Process(uint64_t time, uint32_t length, ZkMusicFrameInfo& frame) override;
    PrepareResult PrepareWithEntry(const ZkMusicEnterSide& entry, int32_t& seekPosition, bool wrap, ZkUniqueID suppliedCue,
                                   int32_t& lookAhead, ZkUniqueID& cueID) override;
    void CursorStep(ZkMusicCursor& cursor, bool lastOnly) override;
    void UpdateDistance(ZkMusicCursor& cursor, uint64_t time, uint32_t length) override;
    void GetPlayWindow(uint64_t& firstPlay, uint64_t& firstStart) const override;
    CZkMusicNode* GetNode() const override;
    CZkMusicNode* CurrentSegmentNode() const override;
    bool IsInterruptible() const override;
    void FadeOutUntil(uint64_t time) override;
    ZKRESULT SeekByTime(int32_t& ms, bool snap) override;
    ZKRESULT SeekByPercent(float& fraction, bool snap) override;
    ZKRESULT GetSegmentInfo(ZkSegmentInfo& info) override { return SegmentInfoOfCursor(info, false); }
    bool CanContinue() const override { return false; }
    bool StoreChildState(ZkUniqueID id, const ZkPlaylistSavedState& state) override;
    const ZkPlaylistSavedState* FindChildState(ZkUniqueID id) override;
    // A change held while an ancestor switch was moving is applied, then passed to every entry.
    void ProcessPendingSwitch() override;

    // --- Switch ---
    // Attaches, subscribes to the arguments and builds the first timeline. 1; 52 the subscribers
    // cannot be allocated; a registration's result; the attach's.
    ZKRESULT Start(CZkRegisteredObj* gameObject, const ZkMusicPlayInfo& playInfo, uint8_t option);
    // The node the current argument values lead to (0: nothing).
    ZkUniqueID Decide() const;
    // A started destination context under this switch for the node (silence when there is no
    // node, it is not loaded or cannot be played, or the nesting is at its deepest), holding the
    // caller's reference; null only when not even silence can be made.
    CZkMusicChainContext* CreateDestination(ZkUniqueID id);
    // Makes the decided destination (silence when silenceFirst) the single entry. 1; 2 when it
    // cannot be made or prepared (the entries before stay).
    ZKRESULT InitialChain(bool silenceFirst);
    // Schedules the transition to the destination (which the call places, or stops and drops:
    // destination is null afterwards unless it was left over and still the caller's).
    void ScheduleSwitch(ZkUniqueID destinationID, const ZkSwitchRequest& request, CZkMusicChainContext*& destination);
    // Decides, creates and schedules the destination for the current argument values.
    void FollowArguments(const ZkSwitchRequest& request);
    // Whether this switch or an ancestor switch has a transition scheduled but not yet reached.
    bool AnyAncestorPending() const;
    // A subscriber's value changed (its new value is stored).
    void OnArgumentChanged();
    // Keeps the source position (and cue) last left for the object (in the outermost switch).
    void StoreChildValues(ZkUniqueID id, int32_t valueA, int32_t valueB);
    // The values kept for the object: false when none.
    bool FindChildValues(ZkUniqueID id, int32_t& valueA, int32_t& valueB);

    ZkSwitchChainEntry* FirstEntry() const { return m_head; }
    ZkSwitchChainEntry* CurrentEntry() const { return m_current; }
    CZkMusicSwitchContainer& Container() const { return m_container; }
    uint32_t SwitchDepth() const { return m_switchDepth; }
    uint8_t SwitchFlags() const { return m_flags; }
    CZkRegisteredObj* GameObject() const;

private:
    struct ChildRecord
    {
        ZkUniqueID id = 0;
        ZkPlaylistSavedState state;
        int32_t valueA = 0;
        int32_t valueB = -1;
    };
    // The switch that keeps the child store (the outermost one).
    CZkMusicSwitchContext& StoreOwner();
    ChildRecord* FindOrAddChild(ZkUniqueID id);
    void FreeChildStore();
    void DestroySubscribers();
    // A new entry holding the caller's reference on context; null out of memory.
    static ZkSwitchChainEntry* NewEntry(CZkMusicChainContext* context);
    // Stops and releases the entry's context and frees the entry.
    static void FreeEntry(ZkSwitchChainEntry* entry);
    static void DropContext(CZkMusicChainContext*& context);
    // The entries after entry (all with null) are taken off the chain, their contexts' sync
    // actions joining actions, the entries themselves joining removed.
    void RemoveAfter(ZkSwitchChainEntry* entry, ZkSwitchChainEntry*& removed);
    // Moves the cursor into entry at the cursor's depth (a level pushed, its context stepped).
    static void EnterEntry(ZkMusicCursor& cursor, uint32_t level, ZkSwitchChainEntry& entry, bool lastOnly);
    // After a step at level: entries reached by the cursor are entered, and the distance is cut at
    // the next entry's start.
    void FollowEntries(ZkMusicCursor& cursor, uint32_t level, ZkSwitchChainEntry* entry, bool lastOnly) const;
    ZkUniqueID NodeIDOf(const ZkSwitchChainEntry& entry) const;

    // Where and how a new entry is placed after the tail: now and the exit point c on this
    // switch's timeline, the sides of the hop, the cursor on the source item (null for the second
    // hop of a transition segment), the new context's look-ahead b.
    struct Placement
    {
        uint64_t now = 0;
        uint64_t exitPoint = 0;
        ZkMusicLeaveSide leave;
        ZkMusicEnterSide enter;
        ZkMusicCursor* cursor = nullptr;
        int32_t lookAhead = 0;
        bool sourceHasSegment = false;
        bool atExitCue = false;
        int32_t postExit = 0;
    };
    // The tail's pending stop and cut placed by an earlier transition are taken back (its stop
    // not yet reached: it plays on as if the transition had not been scheduled).
    void ReopenTail();
    void PlaceEntry(const Placement& placement, ZkSwitchChainEntry& entry, ZkMusicSyncAction*& removedActions);
    // Prepares a destination context for the entering side: its look-ahead and the entered cue.
    static PrepareResult PrepareDestination(CZkMusicChainContext& context, const ZkMusicEnterSide& enter, int32_t seek,
                                            ZkUniqueID suppliedCue, int32_t& lookAhead, ZkUniqueID& cue);

    CZkMusicSwitchContainer& m_container;
    CZkMusicSwitchContext* m_parentSwitch = nullptr;
    ZkSwitchArgumentSubscriber* m_subscribers = nullptr;
    uint32_t m_subscriberCount = 0;
    ZkSwitchChainEntry* m_head = nullptr;
    ZkSwitchChainEntry* m_tail = nullptr;
    ZkSwitchChainEntry* m_current = nullptr;
    ZkSwitchChainEntry* m_lastScheduled = nullptr;
    ChildRecord* m_children = nullptr;
    uint32_t m_childCount = 0;
    uint32_t m_childCapacity = 0;
    uint32_t m_switchDepth = 1;
    uint8_t m_flags = 0;

};
} // namespace ZK::MusicEngine
