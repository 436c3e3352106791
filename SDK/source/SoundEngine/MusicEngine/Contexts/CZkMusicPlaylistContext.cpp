#include "MusicEngine/Contexts/CZkMusicPlaylistContext.h"

#include "MusicEngine/CZkMusicPlaylistContainer.h"
#include "MusicEngine/CZkMusicSegment.h"
#include "MusicEngine/Contexts/CZkMusicSegmentContext.h"
#include "MusicEngine/Contexts/MusicTimeUnits.h"
#include "MusicEngine/ZkMusicEntryPoint.h"
#include "ZkAudiolib/Common/ObjectIndex/ObjectIndex.h"

#include <algorithm>
#include <new>

namespace ZK::MusicEngine
{
namespace
{
int64_t MsToSamples(uint32_t ms)
{
    return int64_t{ms} * static_cast<int64_t>(SoundEngine::ZkAudioSettings::SampleRate()) / 1000;
}

int64_t PositionOf(const ZkMusicChainItem& item)
{
    return static_cast<int64_t>(item.position);
}

// The segment of that id with a reference, or null (not loaded, or not a segment).
CZkMusicSegment* FindSegment(ZkUniqueID segmentID)
{
    if (SoundEngine::g_pObjectIndex == nullptr)
        return nullptr;
    auto* node = static_cast<SoundEngine::CZkHierarchyNode*>(SoundEngine::g_pObjectIndex->GetNodePtrAndAddRef(segmentID, false));
    if (node == nullptr)
        return nullptr;
    if (node->Category() != kCategoryMusicSegment)
    {
        node->Release();
        return nullptr;
    }
    return static_cast<CZkMusicSegment*>(node);
}
} // namespace

CZkMusicPlaylistContext* CZkMusicPlaylistContext::Create(CZkMusicContext* parentContext, CZkMusicPlaylistContainer& playlist,
                                                         CZkRegisteredObj* gameObject, const ZkMusicPlayInfo& playInfo,
                                                         uint8_t option)
{
    return CreateStarted<CZkMusicPlaylistContext>(gameObject, playInfo, option, parentContext, playlist);
}

CZkMusicPlaylistContext::CZkMusicPlaylistContext(CZkMusicContext* parentContext, CZkMusicPlaylistContainer& playlist)
    : CZkMusicChainContext(parentContext), m_playlist(playlist)
{
    m_playlist.AddRef();
}

CZkMusicPlaylistContext::~CZkMusicPlaylistContext()
{
    ClearChain();
    m_iterator.Reset();
    m_playlist.Release();
}

CZkMusicNode* CZkMusicPlaylistContext::GetNode() const
{
    return &m_playlist;
}

ZKRESULT CZkMusicPlaylistContext::Start(CZkRegisteredObj* gameObject, const ZkMusicPlayInfo& playInfo, uint8_t option)
{
    const ZKRESULT attached = Attach(gameObject, playInfo, option);
    if (attached != ZK_Success)
        return attached;
    const ZkPlaylistSavedState* saved =
        parent != nullptr ? static_cast<CZkMusicTimelineContext*>(parent)->FindChildState(m_playlist.ID()) : nullptr;
    const ZKRESULT started = m_iterator.Start(m_playlist, playRecord != nullptr ? playRecord->PlayingID() : 0, saved);
    if (started != ZK_Success)
        return started;
    bool playPreEntry = false;
    NextItem(playPreEntry);
    ZkMusicChainItem* first = Head();
    if (first == nullptr || first->segmentContext == nullptr)
        return ZK_Fail;
    const int32_t entry = playPreEntry ? -first->segmentContext->Segment().PreEntryLength() : 0;
    timeOffset = static_cast<uint64_t>(std::max(PrepareFrom(entry), 0));
    return ZK_Success;
}

void CZkMusicPlaylistContext::Stop(uint32_t offset)
{
    const bool walkGoesOn = m_iterator.HasCurrent() &&
                            ((Tail() != nullptr && Tail()->segmentContext != nullptr) || m_iterator.CurrentSegmentId() != 0);
    if (!walkGoesOn && FirstChild() == nullptr && parent != nullptr)
    {
        ZkPlaylistSavedState state;
        if (m_iterator.Serialize(state) == ZK_Success)
            HandSavedStateToParent(state);
    }
    CZkMusicChainContext::Stop(offset);
}

void CZkMusicPlaylistContext::HandSavedStateToParent(ZkPlaylistSavedState& state)
{
    if (parent == nullptr || !static_cast<CZkMusicTimelineContext*>(parent)->StoreChildState(m_playlist.ID(), state))
        state.Release();
}

void CZkMusicPlaylistContext::OnItemStarted(ZkMusicChainItem&)
{
    ZkPlaylistSavedState state;
    if (m_iterator.TakeOldestHistory(state))
        HandSavedStateToParent(state);
}

const ZkMusicTransitionRule& CZkMusicPlaylistContext::RuleFor(ZkUniqueID sourceID, ZkUniqueID destinationID) const
{
    const ZkMusicTransitionRule* rule = m_playlist.FindRule(sourceID, destinationID);
    return rule != nullptr ? *rule : ZkMusicTransitionRule::ResetDefault();
}

ZkMusicChainItem* CZkMusicPlaylistContext::NextItem(bool& playPreEntry)
{
    playPreEntry = false;
    if (PlayState() >= kStopping)
        return nullptr;
    if (!m_iterator.HasCurrent())
        return CloseSequence();
    const ZkUniqueID segmentID = m_iterator.CurrentSegmentId();
    // Out of memory the walk is reset: this segment is then its last.
    m_iterator.NextWithHistory();
    ZkMusicChainItem* last = Tail();
    if (last != nullptr && last->segmentContext == nullptr)
        return nullptr;
    const ZkMusicTransitionRule& rule = RuleFor(last != nullptr ? last->segmentID : 0, segmentID);
    if (rule.segment == nullptr)
    {
        playPreEntry = rule.PlaysPreEntry();
        return AppendFromRule(LeaveSideOf(rule), EnterSideOf(rule), last, segmentID);
    }
    // Two hops: into the transition segment as the rule leaves the source, then out of it at its
    // exit cue into the destination as the rule enters it.
    const ZkMusicTransitionSegment& bridge = *rule.segment;
    playPreEntry = bridge.playPreEntry;
    ZkMusicChainItem* hop = AppendFromRule(LeaveSideOf(rule), EnterSideOf(bridge), last, bridge.segmentID);
    if (hop == nullptr || hop->segmentContext == nullptr)
        return GetLastItem();
    return AppendFromRule(LeaveSideOf(bridge), EnterSideOf(rule), hop, segmentID);
}

ZkMusicChainItem* CZkMusicPlaylistContext::CloseSequence()
{
    m_moreItems = false;
    ZkMusicChainItem* last = Tail();
    if (last == nullptr || last->segmentContext == nullptr)
        return nullptr;
    return AppendFromRule(LeaveSideOf(RuleFor(last->segmentID, 0)), ZkMusicEnterSide{}, last, 0);
}

void CZkMusicPlaylistContext::PlaceStop(ZkMusicChainItem& leaving, const ZkMusicLeaveSide& leave, int32_t c)
{
    const CZkMusicSegment& segment = leaving.segmentContext->Segment();
    int64_t g = int64_t{leave.fadeOut.offset} - MsToSamples(leave.fadeOut.timeMs);
    auto durationMs = static_cast<int32_t>(leave.fadeOut.timeMs);
    if (g < -int64_t{c})
    {
        // A fade that would begin before the segment's start begins there, ending where it would.
        g = -int64_t{c};
        durationMs = SamplesToMs(int64_t{c} + leave.fadeOut.offset);
    }
    if (g == 0 && durationMs == 0 && leave.playPostExit)
        g = segment.PostExitLength();
    leaving.stopFade = ZkMusicFadeParams{durationMs, static_cast<int32_t>(leave.fadeOut.curve), 0};
    leaving.stopOffset = static_cast<uint32_t>(std::max<int64_t>(segment.ActiveLength() + g, 0));
    leaving.flags |= ZkMusicChainItem::kStopPending;
}

ZkMusicChainItem* CZkMusicPlaylistContext::AppendFromRule(const ZkMusicLeaveSide& leave, const ZkMusicEnterSide& enter,
                                                          ZkMusicChainItem* last, ZkUniqueID segmentID)
{
    int32_t exitPoint = 0;
    ZkUniqueID exitCue = 0;
    if (last != nullptr && last->segmentContext != nullptr)
    {
        exitPoint = ExitPointFor(last->segmentContext->Segment(), leave, exitCue);
        PlaceStop(*last, leave, exitPoint);
    }
    CZkMusicSegmentContext* context = nullptr;
    int32_t entryPoint = 0;
    if (segmentID != 0)
    {
        if (CZkMusicSegment* segment = FindSegment(segmentID))
        {
            ZkUniqueID entryCue = 0;
            entryPoint = EntryPointFor(*segment, enter, 0, exitCue, entryCue);
            context = CZkMusicSegmentContext::Create(this, *segment);
            segment->Release();
        }
        if (context == nullptr)
            m_iterator.DropCurrent(); // the playlist ends after this item
    }
    // The entry point sounds on the exit point; an entry later in the segment than the exit point
    // lies in its own segment cannot come before the leaving item's start (the chain stays in order).
    int64_t position = 0;
    if (last != nullptr)
        position = std::max(PositionOf(*last) + exitPoint - entryPoint, PositionOf(*last));
    ZkMusicChainItem* item = AppendItem(static_cast<uint64_t>(position), context);
    if (context != nullptr)
    {
        if (item == nullptr)
            context->DetachFromParent();
        context->Release(); // the item's reference keeps it, or it goes
    }
    if (item == nullptr)
        return GetLastItem();
    if (context == nullptr)
        return item;
    // Without a fade-in the segment starts at its entry point, or at its start with the pre-entry;
    // a fade-in starts it at its offset from the entry point (into the pre-entry only when that is
    // played).
    const int32_t preEntry = context->Segment().PreEntryLength();
    int32_t start = 0;
    if (enter.fadeIn.timeMs < 1)
        start = enter.playPreEntry ? entryPoint - preEntry : entryPoint;
    else
    {
        start = entryPoint + enter.fadeIn.offset;
        if (!enter.playPreEntry)
            start = std::max(start, 0);
    }
    const int32_t lookAhead = context->SetStart(start);
    item->playOffset = start - lookAhead;
    item->flags |= ZkMusicChainItem::kPlayPending;
    // The fade's offset counts from the play (the item's play offset): it begins at the entry
    // point + the fade-in offset.
    item->playFade = ZkMusicFadeParams{static_cast<int32_t>(enter.fadeIn.timeMs), static_cast<int32_t>(enter.fadeIn.curve),
                                       entryPoint + enter.fadeIn.offset - item->playOffset};
    return item;
}

ZkMusicChainItem* CZkMusicPlaylistContext::GetLastItem()
{
    m_iterator.DropCurrent();
    m_moreItems = false;
    return Tail();
}

void CZkMusicPlaylistContext::EndSequenceAt(int64_t now)
{
    GetLastItem();
    for (ZkMusicChainItem* item = Head(); item != nullptr; item = item->next)
    {
        if (item->segmentContext == nullptr)
            continue;
        if (item->Has(ZkMusicChainItem::kPlayPending) && PositionOf(*item) + item->playOffset < now)
        {
            item->flags &= static_cast<uint16_t>(~(ZkMusicChainItem::kPlayPending | ZkMusicChainItem::kStopPending));
            DropSegmentContext(*item);
        }
        else if (item->Has(ZkMusicChainItem::kStopPending) && PositionOf(*item) + item->stopOffset < now)
        {
            // Its stop was placed in the past by the item after it: it stops now.
            item->flags &= static_cast<uint16_t>(~ZkMusicChainItem::kStopPending);
            item->segmentContext->StopWithFade(item->stopFade, 0);
        }
    }
}

void CZkMusicPlaylistContext::ScheduleAhead(uint64_t time)
{
    const auto now = static_cast<int64_t>(time); // negative inside an entered pre-entry
    uint32_t appends = 0;
    bool ended = false;
    // One more item: false when nothing new came, or when this call's appends are used up (the
    // sequence then ends).
    const auto appendOne = [&]() -> bool
    {
        if (appends == kMaxAppendsPerCall)
        {
            if (!ended)
                EndSequenceAt(now);
            ended = true;
            return false;
        }
        ++appends;
        ZkMusicChainItem* before = Tail();
        bool playPreEntry = false;
        ZkMusicChainItem* added = NextItem(playPreEntry);
        return added != nullptr && added != before;
    };

    ZkMusicChainItem* first = Head();
    while (first != nullptr && PositionOf(*first) < now)
        first = first->next;
    if (first == nullptr)
    {
        while (Tail() == nullptr || PositionOf(*Tail()) < now)
        {
            if (!appendOne())
                return;
        }
        first = Tail();
    }
    const auto itemsFrom = [](const ZkMusicChainItem* item)
    {
        uint32_t count = 0;
        for (; item != nullptr; item = item->next)
            ++count;
        return count;
    };
    while (itemsFrom(first) < kItemsAhead && appendOne())
    {
    }
}

bool CZkMusicPlaylistContext::ExtendChain(ZkMusicCursor&, uint64_t, uint32_t)
{
    if (!m_iterator.HasCurrent())
        return false;
    ZkMusicChainItem* before = Tail();
    bool playPreEntry = false;
    ZkMusicChainItem* added = NextItem(playPreEntry);
    return added != nullptr && added != before;
}

ZKRESULT CZkMusicPlaylistContext::SeekToItem(ZkUniqueID itemID, uint32_t entryKind, const ZkPlaylistSavedState* saved)
{
    constexpr uint32_t kEntryRandomCue = 2;
    constexpr uint32_t kEntryAfterSaved = 3;
    if (saved != nullptr && (entryKind == kEntryRandomCue || entryKind == kEntryAfterSaved))
    {
        if (!m_iterator.Restore(saved->Bytes(), saved->size))
        {
            GetLastItem();
            return ZK_Fail;
        }
        ClearChain();
        if (entryKind == kEntryAfterSaved)
            m_iterator.Next();
        if (!m_iterator.HasCurrent())
        {
            // The walk was over: its last segment (when it names one) plays once more.
            const ZkMusicTransitionRule& rule = RuleFor(0, 0);
            ZkMusicChainItem* item = AppendFromRule(LeaveSideOf(rule), EnterSideOf(rule), nullptr, m_iterator.CurrentSegmentId());
            return item != nullptr && item->segmentContext != nullptr ? ZK_Success : ZK_Fail;
        }
    }
    else
    {
        if (itemID == 0)
            return Head() != nullptr ? ZK_Success : ZK_Fail;
        ClearChain();
        if (m_iterator.RestartAt(itemID, nullptr) != ZK_Success)
        {
            GetLastItem();
            return ZK_Fail;
        }
    }
    bool playPreEntry = false;
    ZkMusicChainItem* item = NextItem(playPreEntry);
    if (item == nullptr || item->segmentContext == nullptr)
    {
        ClearChain();
        return ZK_Fail;
    }
    return ZK_Success;
}
} // namespace ZK::MusicEngine
