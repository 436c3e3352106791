// The switch tracks of a segment context: their subscribers, their first schedule and the moves
// from sub-track to sub-track when their group's value changes.
#include "MusicEngine/CZkMusicSegment.h"
#include "MusicEngine/CZkMusicTrack.h"
#include "MusicEngine/Contexts/CZkMusicSegmentContext.h"
#include "MusicEngine/Contexts/CZkMusicTrackContext.h"
#include "MusicEngine/Contexts/ZkSegmentActions.h"
#include "MusicEngine/Contexts/ZkSwitchTrackSubscriber.h"
#include "ZkAudiolib/Common/Voice/ZkAudioSettings.h"

#include <algorithm>
#include <cstdint>
#include <limits>

namespace ZK::MusicEngine
{
namespace
{
// The sync kind with which a switch track never changes sub-track while its segment plays.
constexpr uint32_t kSyncNever = 8;
constexpr int32_t kNoFadeCurve = 4;

int64_t MsToSamples(uint32_t ms)
{
    return int64_t{ms} * static_cast<int64_t>(SoundEngine::ZkAudioSettings::SampleRate()) / 1000;
}

int32_t ToSegmentTime(int64_t time)
{
    return static_cast<int32_t>(std::clamp<int64_t>(time, std::numeric_limits<int32_t>::min(),
                                                    std::numeric_limits<int32_t>::max()));
}

bool IsStartOf(const ZkMusicAction& action, const CZkMusicTrack& track)
{
    return action.Kind() == kKindTrackStart && &static_cast<const ZkTrackStartAction&>(action).track == &track;
}

// The track and sub-track a stop action stops (its context's, or the ones it names).
bool StopConcerns(const ZkMusicAction& action, const CZkMusicTrack& track, uint32_t& subTrack)
{
    if (action.Kind() != ZkMusicAction::kKindStop)
        return false;
    const auto& stop = static_cast<const ZkTrackStopAction&>(action);
    if (stop.trackContext != nullptr)
    {
        subTrack = stop.trackContext->SubTrack();
        return &stop.trackContext->Track() == &track;
    }
    subTrack = stop.subTrack;
    return stop.track == &track;
}
} // namespace

ZKRESULT CZkMusicSegmentContext::Init()
{
    AttachToParent();
    for (uint32_t index = 0; index < m_segment.ChildCount(); ++index)
    {
        auto* track = static_cast<CZkMusicTrack*>(m_segment.ChildAt(static_cast<uint16_t>(index)));
        if (track->Kind() != ZkMusicTrack_Switch)
            continue;
        ZkSwitchTrackSubscriber* subscriber = ZkSwitchTrackSubscriber::Create(*track, *this);
        if (subscriber == nullptr)
            return ZK_InsufficientMemory;
        subscriber->next = m_subscribers;
        m_subscribers = subscriber;
        // A subscriber that cannot follow its group matches nothing: the track stays silent.
        if (subscriber->Follow() == ZK_Success)
            subscriber->InitValue();
    }
    return ZK_Success;
}

void CZkMusicSegmentContext::DestroySubscribers()
{
    while (ZkSwitchTrackSubscriber* subscriber = m_subscribers)
    {
        m_subscribers = subscriber->next;
        ZkSwitchTrackSubscriber::Destroy(subscriber);
    }
}

ZkSwitchTrackSubscriber* CZkMusicSegmentContext::SubscriberOf(const CZkMusicTrack& track) const
{
    for (ZkSwitchTrackSubscriber* subscriber = m_subscribers; subscriber != nullptr; subscriber = subscriber->next)
    {
        if (&subscriber->Track() == &track)
            return subscriber;
    }
    return nullptr;
}

void CZkMusicSegmentContext::ScheduleSwitchTrack(CZkMusicTrack& track, int32_t now)
{
    const ZkSwitchTrackSubscriber* subscriber = SubscriberOf(track);
    if (subscriber == nullptr)
        return;
    // Out of memory an action is dropped: its sub-track stays silent, or the mark is missing.
    for (uint16_t subTrack : subscriber->MatchingSubTracks())
    {
        if (auto* start = ZkMusicAction::Create<ZkTrackStartAction>(now, track, subTrack,
                                                                     ZkMusicFadeParams{0, kNoFadeCurve, 0}, m_startOffset))
            m_actions.Insert(start);
    }
    if (auto* mark = ZkMusicAction::Create<ZkSwitchMarkAction>(now, *subscriber, subscriber->CurrentValue(),
                                                                subscriber->PreviousValue()))
        m_actions.Insert(mark);
}

void CZkMusicSegmentContext::DropSwitchTrackActions(const ZkSwitchTrackSubscriber& subscriber)
{
    const CZkMusicTrack& track = subscriber.Track();
    m_actions.RemoveIf([&](const ZkMusicAction& action) {
        uint32_t subTrack = 0;
        if (action.Kind() == kKindSwitchMark)
            return static_cast<const ZkSwitchMarkAction&>(action).subscriber == &subscriber;
        return IsStartOf(action, track) || StopConcerns(action, track, subTrack);
    });
}

void CZkMusicSegmentContext::SwitchTrackChanged(ZkSwitchTrackSubscriber& subscriber)
{
    if (chainItem == nullptr || !m_scheduled)
        return; // not scheduled yet: the first schedule takes the new matches
    CZkMusicTrack& track = subscriber.Track();
    const ZkMusicSwitchTrack* settings = track.SwitchTrack();
    if (settings == nullptr || settings->syncKind == kSyncNever)
        return;
    if (PlayState() != kPlaying)
    {
        // Only this track is scheduled again: the picks of the random and sequence tracks stand.
        DropSwitchTrackActions(subscriber);
        ScheduleSwitchTrack(track, NowInSegment());
        return;
    }

    // The sync point: late enough for the fade-out to begin and the fade-in to begin no earlier
    // than now, and for the track's media to be read in time; never before the entry cue.
    const int64_t now = NowInSegment();
    const int64_t fadeOutLead = int64_t{settings->fadeOut.offset} - MsToSamples(settings->fadeOut.timeMs);
    const int64_t origin = std::max({now, now - fadeOutLead, now - settings->fadeIn.offset, int64_t{0}});
    const int64_t lookAhead = std::max(track.LookAhead(), 0);
    const int64_t searchFrom = origin + lookAhead;
    if (searchFrom > std::numeric_limits<int32_t>::max())
        return;
    ZkUniqueID cue = settings->cueFilter;
    int32_t point = 0;
    if (!m_segment.NextSyncPoint(settings->syncKind, static_cast<int32_t>(searchFrom), false, cue, point) ||
        point >= m_segment.ActiveLength())
        return; // not in this segment

    const int32_t startTime = ToSegmentTime(int64_t{point} + settings->fadeIn.offset - lookAhead);
    const int32_t stopTime = ToSegmentTime(int64_t{point} + fadeOutLead);
    const int32_t bound = std::min(startTime, stopTime);
    // What was pending from the bound on for the values before is taken back.
    m_actions.RemoveIf([&](const ZkMusicAction& action) {
        if (action.time < bound)
            return false;
        uint32_t subTrack = 0;
        if (IsStartOf(action, track))
            return !subscriber.Matches(static_cast<const ZkTrackStartAction&>(action).subTrack);
        return StopConcerns(action, track, subTrack) && subscriber.Matches(subTrack);
    });

    const ZkMusicFadeParams fadeOut{static_cast<int32_t>(std::min<uint32_t>(settings->fadeOut.timeMs, INT32_MAX)),
                                    static_cast<int32_t>(settings->fadeOut.curve), 0};
    const ZkMusicFadeParams fadeIn{static_cast<int32_t>(std::min<uint32_t>(settings->fadeIn.timeMs, INT32_MAX)),
                                   static_cast<int32_t>(settings->fadeIn.curve), 0};
    // A pending stop of the sub-track (of a context, or of the sub-track) at or before time.
    const auto stopPendingBy = [this, &track](const CZkMusicTrackContext* context, uint32_t subTrack, int32_t time) {
        for (const ZkMusicAction* action = m_actions.First(); action != nullptr && action->time <= time;
             action = action->next)
        {
            uint32_t stopped = 0;
            if (!StopConcerns(*action, track, stopped) || stopped != subTrack)
                continue;
            const auto* stop = static_cast<const ZkTrackStopAction*>(action);
            if (stop->trackContext == nullptr || stop->trackContext == context)
                return true;
        }
        return false;
    };

    // The sub-tracks that no longer match stop on the stop time with the track's fade-out.
    ForEachChild([&](CZkMusicChild& child) {
        auto& context = static_cast<CZkMusicTrackContext&>(child);
        if (&context.Track() != &track || !context.IsBeforeStopping() || subscriber.Matches(context.SubTrack()) ||
            stopPendingBy(&context, context.SubTrack(), stopTime))
            return;
        m_actions.RemoveStopsOf(&context);
        if (auto* stop = ZkMusicAction::Create<ZkTrackStopAction>(stopTime, context, fadeOut))
            m_actions.Insert(stop);
    });
    // A start still pending for one of them (before the bound) makes its context later: its stop
    // names the sub-track.
    for (const ZkMusicAction* action = m_actions.First(); action != nullptr; action = action->next)
    {
        if (!IsStartOf(*action, track))
            continue;
        const uint32_t subTrack = static_cast<const ZkTrackStartAction*>(action)->subTrack;
        if (subscriber.Matches(subTrack) || stopPendingBy(nullptr, subTrack, std::numeric_limits<int32_t>::max()))
            continue;
        if (auto* stop = ZkMusicAction::Create<ZkTrackStopAction>(stopTime, track, subTrack, fadeOut))
            m_actions.Insert(stop);
    }

    // The matching sub-tracks that will not be sounding by then start on the start time with the
    // track's fade-in, from where the track stands at the sync point.
    for (uint16_t subTrack : subscriber.MatchingSubTracks())
    {
        bool continues = false;
        for (CZkMusicChild* child = FirstChild(); child != nullptr && !continues; child = child->nextSibling)
        {
            const auto& context = static_cast<const CZkMusicTrackContext&>(*child);
            continues = &context.Track() == &track && context.SubTrack() == subTrack && context.IsBeforeStopping() &&
                        !context.HasFade() && !stopPendingBy(&context, subTrack, std::numeric_limits<int32_t>::max());
        }
        for (const ZkMusicAction* action = m_actions.First(); action != nullptr && action->time <= startTime && !continues;
             action = action->next)
            continues = IsStartOf(*action, track) && static_cast<const ZkTrackStartAction*>(action)->subTrack == subTrack;
        if (continues)
            continue;
        if (auto* start = ZkMusicAction::Create<ZkTrackStartAction>(startTime, track, subTrack, fadeIn,
                                                                     ToSegmentTime(int64_t{startTime} + lookAhead)))
            m_actions.Insert(start);
    }

    // The mark of where the change lands replaces the marks of this track from there on.
    m_actions.RemoveIf([&](const ZkMusicAction& action) {
        return action.Kind() == kKindSwitchMark && action.time >= point &&
               static_cast<const ZkSwitchMarkAction&>(action).subscriber == &subscriber;
    });
    if (auto* mark = ZkMusicAction::Create<ZkSwitchMarkAction>(point, subscriber, subscriber.CurrentValue(),
                                                                subscriber.PreviousValue()))
        m_actions.Insert(mark);
}
} // namespace ZK::MusicEngine
