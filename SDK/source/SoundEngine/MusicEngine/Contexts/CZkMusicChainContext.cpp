#include "MusicEngine/Contexts/CZkMusicChainContext.h"

#include "MusicEngine/CZkMusicSegment.h"
#include "MusicEngine/Contexts/CZkMusicSegmentContext.h"
#include "MusicEngine/Contexts/MusicTimeUnits.h"
#include "MusicEngine/Contexts/ZkMusicCursor.h"
#include "MusicEngine/Contexts/ZkMusicSyncAction.h"
#include "MusicEngine/ZkMusicEntryPoint.h"

#include <algorithm>
#include <new>

namespace ZK::MusicEngine
{
namespace
{
constexpr ZkMemoryId kItemPool = ZkMemID_Default;
constexpr int32_t kCutFadeCurve = 4;

int64_t NotBelowZero(int64_t value)
{
    return std::max<int64_t>(value, 0);
}
} // namespace

CZkMusicChainContext::~CZkMusicChainContext()
{
    ClearChain();
}

void CZkMusicChainContext::OnStopped()
{
    AddRef();
    ClearChain();
    CZkMusicTimelineContext::OnStopped();
    Release();
}

ZkMusicChainItem* CZkMusicChainContext::AppendItem(uint64_t position, CZkMusicSegmentContext* segmentContext)
{
    void* memory = ZK::MemoryMgr::Malloc(kItemPool, sizeof(ZkMusicChainItem));
    if (memory == nullptr)
        return nullptr;
    auto* item = new (memory) ZkMusicChainItem;
    item->position = position;
    if (segmentContext != nullptr)
    {
        segmentContext->AddRef();
        segmentContext->chainItem = item;
        item->segmentContext = segmentContext;
        item->segmentID = segmentContext->Segment().ID();
    }
    (m_tail != nullptr ? m_tail->next : m_head) = item;
    m_tail = item;
    return item;
}

void CZkMusicChainContext::DropSegmentContext(ZkMusicChainItem& item)
{
    CZkMusicSegmentContext* context = item.segmentContext;
    if (context == nullptr)
        return;
    item.segmentContext = nullptr;
    context->chainItem = nullptr;
    context->DetachFromParent();
    context->Release();
}

void CZkMusicChainContext::FreeSyncActions(ZkMusicChainItem& item)
{
    while (ZkMusicSyncAction* action = item.syncActions)
    {
        item.syncActions = action->next;
        action->~ZkMusicSyncAction();
        ZK::MemoryMgr::Free(kItemPool, action);
    }
}

void CZkMusicChainContext::ClearChain()
{
    while (ZkMusicChainItem* item = m_head)
    {
        OnItemRemoved(*item);
        // Nothing schedules stingers or held state changes yet: an item's actions have nothing to
        // settle and only go back to the pool.
        FreeSyncActions(*item);
        DropSegmentContext(*item);
        m_head = item->next;
        if (m_head == nullptr)
            m_tail = nullptr;
        item->~ZkMusicChainItem();
        ZK::MemoryMgr::Free(kItemPool, item);
    }
}

int32_t CZkMusicChainContext::ItemLocalNow(const ZkMusicChainItem& item)
{
    if (item.segmentContext == nullptr)
        return 0;
    ZkMusicCursor cursor;
    cursor.Init(*this, true);
    while (cursor.current != nullptr && cursor.current != &item)
        CursorStep(cursor, true);
    if (cursor.current == nullptr)
        return 0;
    const uint64_t clock = playRecord != nullptr ? playRecord->clock : 0;
    return static_cast<int32_t>(cursor.ItemLocalTime(clock - AbsoluteOffset()));
}

int32_t CZkMusicChainContext::PrepareFrom(int32_t seekPosition)
{
    ZkMusicChainItem* head = m_head;
    if (head == nullptr || head->segmentContext == nullptr)
        return 0;
    // Entered where the seek asks, inside the pre-entry too: a chain entered at segment time 0 would
    // put the pre-entry's clips in the past.
    return EnterHead(seekPosition, seekPosition);
}

int32_t CZkMusicChainContext::EnterHead(int32_t start, int32_t playAt)
{
    ZkMusicChainItem* head = m_head;
    int32_t lookAhead = head->segmentContext->SetStart(start);
    head->playOffset = start - lookAhead;
    head->flags |= ZkMusicChainItem::kPlayPending;
    chainStartOffset = static_cast<int32_t>(playAt + static_cast<int64_t>(head->position));
    ScheduleAhead(static_cast<uint64_t>(static_cast<int64_t>(chainStartOffset)));
    for (const ZkMusicChainItem* item = head->next; item != nullptr; item = item->next)
    {
        const int64_t itemLookAhead = int64_t{chainStartOffset} - item->playOffset - static_cast<int64_t>(item->position);
        lookAhead = static_cast<int32_t>(std::max<int64_t>(lookAhead, itemLookAhead));
    }
    return lookAhead;
}

CZkMusicChainContext::PrepareResult CZkMusicChainContext::PrepareWithEntry(const ZkMusicEnterSide& entry, int32_t& seekPosition,
                                                                           bool wrap, ZkUniqueID suppliedCue, int32_t& lookAhead,
                                                                           ZkUniqueID& cueID)
{
    lookAhead = 0;
    cueID = 0;
    ZkMusicChainItem* head = m_head;
    if (head == nullptr || head->segmentContext == nullptr)
        return PrepareResult::kNothingPrepared;
    const CZkMusicSegment& segment = head->segmentContext->Segment();
    const int32_t active = segment.ActiveLength();
    int32_t sought = seekPosition;
    if (wrap)
        sought = active > 0 ? ((sought % active) + active) % active : 0;
    const int32_t entryPoint = EntryPointFor(segment, entry, sought, suppliedCue, cueID);
    const int32_t entered = std::min(active, entryPoint);
    seekPosition = sought - std::min(entered, sought);
    if (entryPoint >= active && (entryPoint != 0 || active != 0))
    {
        // Nothing of the head is left to play: the chain goes on from the next item.
        m_head = head->next;
        if (m_head == nullptr)
            m_tail = nullptr;
        OnItemRemoved(*head);
        FreeSyncActions(*head);
        DropSegmentContext(*head);
        head->~ZkMusicChainItem();
        ZK::MemoryMgr::Free(kItemPool, head);
        ScheduleAhead(static_cast<uint64_t>(static_cast<int64_t>(entered)));
        return m_head != nullptr && m_head->segmentContext != nullptr ? PrepareResult::kPrepareAgain
                                                                      : PrepareResult::kNothingPrepared;
    }
    int32_t start = entered;
    if (entry.fadeIn.timeMs < 1)
    {
        if (entry.playPreEntry && entryPoint == 0)
            start = entered - segment.PreEntryLength();
    }
    else
    {
        start = entered + entry.fadeIn.offset;
        if (!entry.playPreEntry)
            start = std::max(start, 0);
    }
    // A start inside the pre-entry enters the chain there, as PrepareFrom does; a later one (a
    // fade-in's offset) leaves the chain entered at the entry point, the segment sounding later.
    lookAhead = EnterHead(start, std::min(start, entered));
    return PrepareResult::kPrepared;
}

uint64_t CZkMusicChainContext::DistanceToNext(const ZkMusicChainItem& item) const
{
    const int64_t start = NotBelowZero(static_cast<int64_t>(item.position) - chainStartOffset);
    const int64_t nextStart = NotBelowZero(static_cast<int64_t>(item.next->position) - chainStartOffset);
    return static_cast<uint64_t>(NotBelowZero(nextStart - start));
}

void CZkMusicChainContext::CursorStep(ZkMusicCursor& cursor, bool lastOnly)
{
    ZkMusicChainItem* item = nullptr;
    if (cursor.current != nullptr)
    {
        item = cursor.current->next;
        if (item == nullptr)
        {
            cursor.current = nullptr;
            return;
        }
    }
    else
    {
        item = m_head;
        if (item == nullptr)
            return;
        if (!cursor.fromStartMode)
        {
            const uint64_t clock = playRecord != nullptr ? playRecord->clock : 0;
            const int64_t now = static_cast<int64_t>(clock - AbsoluteOffset());
            while (item->next != nullptr && static_cast<int64_t>(item->next->position) - chainStartOffset < now)
                item = item->next;
        }
    }
    if (item->next == nullptr && (lastOnly || !ExtendChain(cursor, 0, 0)))
    {
        cursor.SetCurrent(item, this);
        cursor.SetDistance(0, true);
        return;
    }
    cursor.SetCurrent(item, this);
    cursor.SetDistance(DistanceToNext(*item), false);
}

void CZkMusicChainContext::UpdateDistance(ZkMusicCursor& cursor, uint64_t time, uint32_t length)
{
    ZkMusicChainItem* item = cursor.current;
    if (item == nullptr)
        return;
    if (item->next == nullptr && !ExtendChain(cursor, time, length))
    {
        cursor.SetDistance(0, true);
        return;
    }
    cursor.SetDistance(DistanceToNext(*item), false);
}

void CZkMusicChainContext::Process(uint64_t time, uint32_t length, ZkMusicFrameInfo& frame)
{
    frame.cutTime -= timeOffset;
    AddRef();
    if (PlayState() == kStopping)
        length = std::min(length, StopOffset());
    // Chain-local time, negative (two's complement) inside an entered pre-entry.
    const uint64_t chainTime = time - timeOffset + static_cast<uint64_t>(static_cast<int64_t>(chainStartOffset));
    ScheduleAhead(chainTime);
    const float speed = playRecord != nullptr ? playRecord->speed : 1.0f;
    for (ZkMusicChainItem* item = m_head; item != nullptr; item = item->next)
    {
        const bool cut = frame.cutValid && static_cast<int64_t>(item->position) >= static_cast<int64_t>(frame.cutTime) + chainStartOffset;
        const bool wasPending = item->Has(ZkMusicChainItem::kPlayPending);
        ProcessItem(*item, chainTime, length, speed, cut);
        if (wasPending && !item->Has(ZkMusicChainItem::kPlayPending))
            OnItemStarted(*item);
    }
    // Items that are over (nothing to play, stop or run) go once the next one has begun.
    while (m_head != nullptr && m_head->segmentContext == nullptr && !m_head->Has(ZkMusicChainItem::kStopPending) &&
           m_head->syncActions == nullptr && m_head->next != nullptr &&
           static_cast<int64_t>(m_head->next->position) < static_cast<int64_t>(chainTime))
    {
        ZkMusicChainItem* finished = m_head;
        m_head = finished->next;
        finished->~ZkMusicChainItem();
        ZK::MemoryMgr::Free(kItemPool, finished);
    }
    FinishFrame(time - timeOffset, length);
}

void CZkMusicChainContext::ProcessItem(ZkMusicChainItem& item, uint64_t chainTime, uint32_t length, float speed, bool cut)
{
    const int64_t from = static_cast<int64_t>(chainTime - item.position);
    const int64_t to = from + length;
    if (item.segmentContext != nullptr)
    {
        if (item.Has(ZkMusicChainItem::kPlayPending) && from <= item.playOffset && item.playOffset < to)
        {
            item.flags &= static_cast<uint16_t>(~ZkMusicChainItem::kPlayPending);
            if (cut)
                item.flags |= ZkMusicChainItem::kCut;
            else
                item.segmentContext->PlayWithFade(item.playFade);
        }
        else if (!item.Has(ZkMusicChainItem::kPlayPending) && cut && item.segmentContext->IsSounding() &&
                 !item.Has(ZkMusicChainItem::kCut))
        {
            FadeOutNow(item, from);
        }
        if (item.segmentContext != nullptr && item.Has(ZkMusicChainItem::kStopPending) &&
            from <= static_cast<int64_t>(item.stopOffset) && static_cast<int64_t>(item.stopOffset) < to)
        {
            item.flags &= static_cast<uint16_t>(~ZkMusicChainItem::kStopPending);
            item.segmentContext->StopWithFade(item.stopFade, static_cast<uint32_t>(item.stopOffset - from));
        }
        if (item.segmentContext != nullptr && item.segmentContext->IsSounding())
            item.segmentContext->ProcessSegment(static_cast<int32_t>(from), length, speed);
    }
    // Sync actions are not scheduled yet: none to run.
}

void CZkMusicChainContext::FadeOutNow(ZkMusicChainItem& item, int64_t itemTime)
{
    CZkMusicSegmentContext* context = item.segmentContext;
    item.flags |= ZkMusicChainItem::kCut;
    if (context == nullptr)
        return;
    const ZkMusicFadeParams fade{SamplesToMs(NotBelowZero(itemTime - context->StartOffset())), kCutFadeCurve, 0};
    context->StopWithFade(fade, kNoStopOffset);
}

void CZkMusicChainContext::FadeOutUntil(uint64_t time)
{
    AddRef();
    if (PlayState() == kCreated)
    {
        OnStopped();
    }
    else if (PlayState() == kPlaying)
    {
        for (ZkMusicChainItem* item = m_head; item != nullptr; item = item->next)
        {
            const int64_t itemTime = static_cast<int64_t>(time + chainStartOffset - timeOffset - item->position);
            if (item->segmentContext != nullptr && item->segmentContext->PlayState() == kPlaying &&
                !item->Has(ZkMusicChainItem::kCut))
            {
                FadeOutNow(*item, itemTime);
                continue;
            }
            item->flags &= static_cast<uint16_t>(~(ZkMusicChainItem::kPlayPending | ZkMusicChainItem::kStopPending));
            DropSegmentContext(*item);
        }
    }
    Release();
}

bool CZkMusicChainContext::IsInterruptible() const
{
    if (PlayState() != kPlaying && PlayState() != kCreated)
        return false;
    for (const ZkMusicChainItem* item = m_head; item != nullptr; item = item->next)
        if (item->Has(ZkMusicChainItem::kCut))
            return false;
    return true;
}

void CZkMusicChainContext::GetPlayWindow(uint64_t& firstPlay, uint64_t& firstStart) const
{
    firstPlay = 0;
    firstStart = 0;
    if (m_head == nullptr || m_head->segmentContext == nullptr)
        return;
    int64_t earliestPlay = INT64_MAX;
    int64_t earliestStart = INT64_MAX;
    for (const ZkMusicChainItem* item = m_head; item != nullptr && item->segmentContext != nullptr; item = item->next)
    {
        const auto position = static_cast<int64_t>(item->position);
        earliestPlay = std::min(earliestPlay, position + item->playOffset);
        earliestStart = std::min(earliestStart, position + item->segmentContext->StartOffset());
    }
    firstPlay = static_cast<uint64_t>(earliestPlay - chainStartOffset);
    firstStart = static_cast<uint64_t>(earliestStart - chainStartOffset);
}

ZKRESULT CZkMusicChainContext::GetSegmentInfo(ZkSegmentInfo& info)
{
    return SegmentInfoOfCursor(info, false);
}

ZKRESULT CZkMusicChainContext::SegmentInfoOfCursor(ZkSegmentInfo& info, bool fromStart)
{
    ZkMusicCursor cursor;
    cursor.Init(*this, fromStart);
    if (cursor.current == nullptr)
        return ZK_Fail;
    const uint64_t clock = playRecord != nullptr ? playRecord->clock : 0;
    const int64_t segmentTime = cursor.current->segmentContext != nullptr ? cursor.ItemLocalTime(clock - AbsoluteOffset()) : 0;
    cursor.FillSegmentInfo(segmentTime, playRecord != nullptr ? playRecord->speed : 1.0f, info);
    return ZK_Success;
}

void CZkMusicChainContext::NotifyMusicCallbacks(uint64_t time, uint32_t length, uint32_t flags)
{
    const ZkPlayingID playingID = playRecord->PlayingID();
    const float speed = playRecord->speed;
    ZkMusicCursor cursor;
    cursor.Init(*this, false);
    const uint64_t frameEnd = time + length;
    // Every item the frame reaches reports its part: a segment's exit and the next one's entry can
    // fall in one frame.
    while (cursor.current != nullptr)
    {
        cursor.NotifyCallbacks(time, length, flags, playingID, speed);
        if (cursor.endReached || static_cast<uint64_t>(cursor.CurrentItemStart()) + cursor.distance >= frameEnd)
            break;
        CursorStep(cursor, true);
    }
}

int32_t LookAheadOf(const CZkMusicChainContext& context)
{
    uint64_t firstPlay = 0;
    uint64_t firstStart = 0;
    context.GetPlayWindow(firstPlay, firstStart);
    return static_cast<int32_t>(firstStart - firstPlay);
}
} // namespace ZK::MusicEngine
