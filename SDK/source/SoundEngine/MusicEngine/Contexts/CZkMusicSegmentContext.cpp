#include "MusicEngine/Contexts/CZkMusicSegmentContext.h"

#include "MusicEngine/CZkMusicSegment.h"
#include "MusicEngine/CZkMusicTrack.h"
#include "MusicEngine/Contexts/CZkMusicChainContext.h"
#include "MusicEngine/Contexts/CZkMusicTimelineContext.h"
#include "MusicEngine/Contexts/CZkMusicTrackContext.h"
#include "MusicEngine/Contexts/ZkMusicChainItem.h"
#include "MusicEngine/Contexts/ZkMusicSyncActions.h"
#include "MusicEngine/Contexts/ZkSegmentActions.h"
#include "MusicEngine/Contexts/ZkSwitchTrackSubscriber.h"

#include <algorithm>
#include <new>

namespace ZK::MusicEngine
{
namespace
{
constexpr int32_t kStopNowCurve = 4;
} // namespace

CZkMusicSegmentContext* CZkMusicSegmentContext::Create(CZkMusicContext* parentContext, CZkMusicSegment& segment)
{
    if (segment.MarkerCount() == 0)
        return nullptr;
    void* memory = ZK::MemoryMgr::Malloc(kPool, sizeof(CZkMusicSegmentContext));
    if (memory == nullptr)
        return nullptr;
    auto* context = new (memory) CZkMusicSegmentContext(parentContext, segment);
    context->AddRef();
    if (context->Init() != ZK_Success)
    {
        context->Stop(0);
        context->Release();
        return nullptr;
    }
    return context;
}

CZkMusicSegmentContext::CZkMusicSegmentContext(CZkMusicContext* parentContext, CZkMusicSegment& segment)
    : CZkMusicContext(parentContext), m_segment(segment)
{
    m_segment.AddRef();
}

CZkMusicSegmentContext::~CZkMusicSegmentContext()
{
    m_actions.Clear();
    DestroySubscribers();
    m_segment.Release();
}

void CZkMusicSegmentContext::OnPlay()
{
    CZkMusicContext::OnPlay();
    ScheduleTracks();
}

void CZkMusicSegmentContext::ScheduleTracks()
{
    m_scheduled = true;
    const int32_t now = NowInSegment();
    for (uint32_t index = 0; index < m_segment.ChildCount(); ++index)
    {
        auto* track = static_cast<CZkMusicTrack*>(m_segment.ChildAt(static_cast<uint16_t>(index)));
        if (track->Kind() == ZkMusicTrack_Switch)
        {
            ScheduleSwitchTrack(*track, now);
            continue;
        }
        const uint32_t subTrack = track->NextSubTrack();
        // Out of memory the track's start is dropped: it stays silent.
        if (auto* start = ZkMusicAction::Create<ZkTrackStartAction>(now, *track, subTrack, ZkMusicFadeParams{0, 4, 0},
                                                                     m_startOffset))
            m_actions.Insert(start);
    }
}

void CZkMusicSegmentContext::DropStopsOf(const CZkMusicTrackContext& track)
{
    m_actions.RemoveStopsOf(&track);
}

CZkMusicPlayRecord* CZkMusicSegmentContext::PlayRecord() const
{
    return parent != nullptr ? static_cast<CZkMusicTimelineContext*>(parent)->playRecord : nullptr;
}

CZkMusicTrackContext* CZkMusicSegmentContext::TrackContextFor(CZkMusicTrack& track, uint32_t subTrack, bool& reused)
{
    reused = false;
    CZkMusicTrackContext* fadingOut = nullptr;
    for (CZkMusicChild* child = FirstChild(); child != nullptr; child = child->nextSibling)
    {
        auto* context = static_cast<CZkMusicTrackContext*>(child);
        if (&context->Track() != &track || context->SubTrack() != subTrack || !context->IsBeforeStopping())
            continue;
        if (!context->HasFade() && !context->HasPauseFade())
            return nullptr;
        if (fadingOut == nullptr)
            fadingOut = context;
    }
    if (fadingOut != nullptr)
    {
        reused = true;
        return fadingOut;
    }
    return CZkMusicTrackContext::Create(*this, track, subTrack);
}

void CZkMusicSegmentContext::RunDueActions(int32_t segmentTime, uint32_t length)
{
    ZkMusicAction* action = nullptr;
    while (m_actions.PopDue(segmentTime, length, action) == ZK_DataReady)
    {
        const int32_t offset = action->time - segmentTime;
        if (action->Kind() == kKindTrackStart)
        {
            auto* start = static_cast<ZkTrackStartAction*>(action);
            bool reused = false;
            if (CZkMusicTrackContext* context = TrackContextFor(start->track, start->subTrack, reused))
            {
                context->SetTrackStart(start->trackStart + m_segment.PreEntryLength());
                ZkMusicFadeParams fade = start->fade;
                fade.offset = offset;
                context->PlayWithFade(fade);
                if (PlayState() == kStopping)
                    context->StopWithFade(ZkMusicFadeParams{0, kStopNowCurve, 0}, StopOffset());
            }
        }
        else if (action->Kind() == ZkMusicAction::kKindStop)
        {
            auto* stop = static_cast<ZkTrackStopAction*>(action);
            const auto stopOffset = static_cast<uint32_t>(std::max(offset, 0));
            if (stop->trackContext != nullptr)
            {
                stop->trackContext->StopWithFade(stop->fade, stopOffset);
            }
            else
            {
                ForEachChild([stop, stopOffset](CZkMusicChild& child) {
                    auto& context = static_cast<CZkMusicTrackContext&>(child);
                    if (&context.Track() == stop->track && context.SubTrack() == stop->subTrack &&
                        context.IsBeforeStopping())
                        context.StopWithFade(stop->fade, stopOffset);
                });
            }
        }
        // A switch mark (kind 2) only records where a switch track changed: nothing runs.
        ZkMusicAction::Destroy(action);
    }
}

void CZkMusicSegmentContext::OnStopped()
{
    AddRef();
    m_actions.Clear();
    if (ZkMusicChainItem* item = chainItem; item != nullptr)
    {
        item->segmentContext = nullptr;
        chainItem = nullptr;
        Release(); // the item's reference
    }
    CZkMusicContext::OnStopped();
    Release();
}

void CZkMusicSegmentContext::Pause()
{
    CZkMusicContext::Pause();
    if (chainItem != nullptr)
        ApplyHeldStateChangesOf(*chainItem);
}

int32_t CZkMusicSegmentContext::SetStart(int32_t segmentTime)
{
    m_startOffset = segmentTime;
    const int32_t trackTime = segmentTime + m_segment.PreEntryLength();
    int32_t lookAhead = 0;
    for (uint32_t index = 0; index < m_segment.ChildCount(); ++index)
    {
        const auto* track = static_cast<const CZkMusicTrack*>(m_segment.ChildAt(static_cast<uint16_t>(index)));
        lookAhead = std::max(lookAhead, track->LookAheadAt(trackTime));
    }
    return lookAhead;
}

void CZkMusicSegmentContext::ProcessSegment(int32_t segmentTime, uint32_t length, float speed)
{
    AddRef();
    if (PlayState() == kStopping)
        length = std::min(length, StopOffset());
    RunDueActions(segmentTime, length);
    const int32_t trackTime = segmentTime + m_segment.PreEntryLength();
    ForEachChild([trackTime, length, speed](CZkMusicChild& child) {
        auto& track = static_cast<CZkMusicTrackContext&>(child);
        if (track.IsSounding())
            track.ProcessTrack(trackTime, length, speed);
    });
    Release();
}

int32_t CZkMusicSegmentContext::NowInSegment() const
{
    if (chainItem == nullptr)
        return 0;
    // The chain item's owner is the parent context (a chain context).
    return static_cast<CZkMusicChainContext*>(parent)->ItemLocalNow(*chainItem);
}
} // namespace ZK::MusicEngine
