// CZkMusicChainContext: a timeline context that plays segments one after another: a chain of items
// (ZkMusicChainItem), each placing a segment context on the chain's timeline. The chain starts its
// items' segment contexts at their play offsets, stops them at their stop offsets, forwards every
// frame to the sounding ones and frees the items that are over. A segment played by itself, a
// playlist and a switch container's silence are chains.
//
// Chain-local time = context time + chain start offset: the segment time at which the first item
// is entered is added before any comparison with item positions. It is negative when the chain is
// entered inside the first segment's pre-entry: the pre-entry then sounds from the context's time
// 0, and the segment's entry cue comes pre-entry samples later.
//
// Threading: engine thread only, under the global engine lock.
// Ownership: reference-counted (CZkMusicContext); the chain owns its items (pool 0).
#pragma once

#include "MusicEngine/Contexts/CZkMusicTimelineContext.h"
#include "MusicEngine/Contexts/ZkMusicChainItem.h"
#include "MusicEngine/Contexts/ZkMusicTransitionSides.h"

#include <ZK/SoundEngine/Common/ZkMemoryMgr.h>

#include <new>
#include <utility>

namespace ZK::MusicEngine
{
struct ZkMusicCursor;

class CZkMusicChainContext : public CZkMusicTimelineContext
{
public:
    explicit CZkMusicChainContext(CZkMusicContext* parentContext) : CZkMusicTimelineContext(parentContext) {}
    ~CZkMusicChainContext() override;

    // Clears the chain, then stops as a timeline context.
    void OnStopped() override;

    void Process(uint64_t time, uint32_t length, ZkMusicFrameInfo& frame) override;
    // Moves the cursor to the next item, or (without a current item) to the head or the item
    // playing now; at the last item the chain is asked to grow unless lastOnly.
    virtual void CursorStep(ZkMusicCursor& cursor, bool lastOnly);
    virtual void UpdateDistance(ZkMusicCursor& cursor, uint64_t time, uint32_t length);
    // The earliest play time and the earliest segment start of the leading items with a segment.
    virtual void GetPlayWindow(uint64_t& firstPlay, uint64_t& firstStart) const;
    virtual bool IsInterruptible() const;
    // Fades every item out (or drops the ones not sounding) so that all is silent by then; the
    // state changes the items held apply at once.
    virtual void FadeOutUntil(uint64_t time);
    // A switch change held while an ancestor switch was moving is applied (switch contexts only).
    virtual void ProcessPendingSwitch() {}

    // The segment of the item playing now: 1 with the record filled (zeros for an empty item), 2
    // without an item.
    ZKRESULT GetSegmentInfo(ZkSegmentInfo& info) override;

    // Whether items may still be added after the last one.
    virtual bool CanContinue() const = 0;
    virtual bool ExtendChain(ZkMusicCursor&, uint64_t, uint32_t) { return false; }
    virtual void ScheduleAhead(uint64_t) {}
    virtual void OnItemStarted(ZkMusicChainItem&) {}
    virtual void OnItemRemoved(ZkMusicChainItem&) {}

    // A new tail item at position holding a reference on the segment context (may be null); null
    // out of memory.
    ZkMusicChainItem* AppendItem(uint64_t position, CZkMusicSegmentContext* segmentContext);
    // Removes every item, detaching and releasing their segment contexts; the state changes the
    // items held go back to the music engine (another playing root holds them, or they apply).
    void ClearChain();
    // The item's segment time at the play's clock (0 for an item without segment context).
    int32_t ItemLocalNow(const ZkMusicChainItem& item);
    // Stops the item's segment context with a fade as long as it has played, and marks it cut;
    // the state changes the item held apply at once.
    void FadeOutNow(ZkMusicChainItem& item, int64_t itemTime);

    // Places the head item's start at segment time seekPosition (a play without entry rule):
    // its segment context starts there and is played there (minus the look-ahead its tracks need),
    // the pre-entry included; the chain is entered there. The largest look-ahead of the items.
    int32_t PrepareFrom(int32_t seekPosition);
    // Places the head item's start for an entering side (a transition's destination): its entry
    // point for the seek position (samples; with wrap taken modulo the active length), the cue
    // the scheduling supplies going to use-source-cue entries. An entry at or past the active
    // length skips the head item: the chain goes on from its next one (kPrepareAgain when that one
    // has a segment, else kNothingPrepared). Otherwise the head starts at the entry point (at the
    // start of its pre-entry when played from the entry cue, or at the fade-in's offset from the
    // entry point) and the chain is entered there: kPrepared with the largest look-ahead of the
    // items and the cue entered. seekPosition keeps what lies beyond the entry point.
    enum class PrepareResult
    {
        kNothingPrepared = 0,
        kPrepared = 1,
        kPrepareAgain = 2,
    };
    virtual PrepareResult PrepareWithEntry(const ZkMusicEnterSide& entry, int32_t& seekPosition, bool wrap, ZkUniqueID suppliedCue,
                                   int32_t& lookAhead, ZkUniqueID& cueID);

    ZkMusicChainItem* Head() const { return m_head; }
    ZkMusicChainItem* Tail() const { return m_tail; }
    int32_t chainStartOffset = 0;

    // A context of kind Context built in the contexts' pool from arguments and started. One that
    // cannot start is stopped and released (at the root its last release takes it off the playing
    // list and ends what the start made). Null when it cannot be made or started.
    template <typename Context, typename... Arguments>
    static Context* CreateStarted(CZkRegisteredObj* gameObject, const ZkMusicPlayInfo& playInfo, uint8_t option,
                                  Arguments&&... arguments)
    {
        void* memory = ZK::MemoryMgr::Malloc(kPool, sizeof(Context));
        if (memory == nullptr)
            return nullptr;
        auto* context = new (memory) Context(std::forward<Arguments>(arguments)...);
        context->AddRef();
        if (context->Start(gameObject, playInfo, option) != ZK_Success)
        {
            context->Stop(0);
            context->Release();
            return nullptr;
        }
        return context;
    }

protected:
    void NotifyMusicCallbacks(uint64_t time, uint32_t length, uint32_t flags) override;
    // GetSegmentInfo from the item playing now, or from the first item with fromStart.
    ZKRESULT SegmentInfoOfCursor(ZkSegmentInfo& info, bool fromStart);
    void ProcessItem(ZkMusicChainItem& item, uint64_t chainTime, uint32_t length, float speed, bool cut);
    // The distance from the item's start to its next item's start on the chain.
    uint64_t DistanceToNext(const ZkMusicChainItem& item) const;
    // Frees the sync actions placed in the item (pool 0).
    static void FreeSyncActions(ZkMusicChainItem& item);
    // Drops the item's segment context: detached from its parent and released.
    static void DropSegmentContext(ZkMusicChainItem& item);

private:
    // The head's segment context starts at segment time start and the chain is entered at segment
    // time playAt of the head: the largest look-ahead of the items.
    int32_t EnterHead(int32_t start, int32_t playAt);

    ZkMusicChainItem* m_tail = nullptr;
    ZkMusicChainItem* m_head = nullptr;
};

// How long before its audible start the context must be started.
int32_t LookAheadOf(const CZkMusicChainContext& context);
} // namespace ZK::MusicEngine
