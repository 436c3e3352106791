// CZkMusicSegmentContext: plays one music segment inside one item of a chain context. It is held by
// its chain item (one reference) and points back to it; once stopped it leaves the item.
//
// Segment time (the time this context is given) is measured from the segment's entry cue, negative
// inside the pre-entry; track time is segment time + pre-entry length.
//
// Each switch track of the segment has a subscriber that follows the track's group for the play; a
// new value moves the track to the matching sub-tracks on the track's sync point (stops of the
// sub-tracks that no longer match, starts of those that do, with the track's fades).
//
// Threading: engine thread only, under the global engine lock.
// Ownership: reference-counted (CZkMusicContext); holds a reference on its segment object and owns
// its switch-track subscribers (pool 0), which leave their groups when the context goes.
#pragma once

#include "MusicEngine/Contexts/CZkMusicContext.h"
#include "MusicEngine/Contexts/ZkMusicActionList.h"

namespace ZK::MusicEngine
{
class CZkMusicPlayRecord;
class CZkMusicSegment;
class CZkMusicTrack;
class CZkMusicTrackContext;
class ZkSwitchTrackSubscriber;
struct ZkMusicChainItem;

class CZkMusicSegmentContext final : public CZkMusicContext
{
public:
    // A context for the segment under the parent, holding the creator's reference; null out of
    // memory (the context or a switch-track subscriber: nothing stays behind) or for a segment
    // without markers (it has no entry cue to play from).
    static CZkMusicSegmentContext* Create(CZkMusicContext* parentContext, CZkMusicSegment& segment);

    CZkMusicSegmentContext(CZkMusicContext* parentContext, CZkMusicSegment& segment);
    ~CZkMusicSegmentContext() override;

    void OnPlay() override;
    // Leaves the chain item (which drops its reference) and clears the pending actions.
    void OnStopped() override;
    // A paused segment reaches no sync point: the state changes its item holds are applied now.
    void Pause() override;

    // Where playback begins (segment time); the look-ahead the tracks need to sound there.
    int32_t SetStart(int32_t segmentTime);
    // One frame from segment time segmentTime.
    void ProcessSegment(int32_t segmentTime, uint32_t length, float speed);
    // The segment time of this context at the play's clock (0 outside a chain item).
    int32_t NowInSegment() const;
    // Attaches to the parent and creates a subscriber per switch track, following its group with
    // the value of the play. 1; 52 when a subscriber cannot be created.
    ZKRESULT Init();
    // One start action per track at the segment time now: the sub-track the track picks; for a
    // switch track, every sub-track that matches its group's value, and a switch mark.
    void ScheduleTracks();
    // The subscriber's group has a new value: the track moves to the matching sub-tracks on its
    // sync point (never for sync kind 8, nor past the exit cue); a context that is not playing
    // schedules the track again from now.
    void SwitchTrackChanged(ZkSwitchTrackSubscriber& subscriber);
    // Runs the track starts, track stops and switch marks due in the frame.
    void RunDueActions(int32_t segmentTime, uint32_t length);
    // Drops the pending stops of a track context (it stopped, or it goes).
    void DropStopsOf(const CZkMusicTrackContext& track);
    // The play record of the chain this context plays in (null when detached).
    CZkMusicPlayRecord* PlayRecord() const;
    const ZkMusicActionList& Actions() const { return m_actions; }
    const ZkSwitchTrackSubscriber* FirstSubscriber() const { return m_subscribers; }

    CZkMusicSegment& Segment() const { return m_segment; }
    int32_t StartOffset() const { return m_startOffset; }
    bool IsScheduled() const { return m_scheduled; }

    ZkMusicChainItem* chainItem = nullptr;

private:
    // A track context of the track and sub-track for a start: one that is sounding and not fading
    // out is kept as it is (null: nothing to do); one fading out is turned back; else a new one.
    CZkMusicTrackContext* TrackContextFor(CZkMusicTrack& track, uint32_t subTrack, bool& reused);
    ZkSwitchTrackSubscriber* SubscriberOf(const CZkMusicTrack& track) const;
    // The matching sub-tracks of a switch track start at now, and a switch mark records the value.
    void ScheduleSwitchTrack(CZkMusicTrack& track, int32_t now);
    // Drops the pending starts, stops and marks of a switch track.
    void DropSwitchTrackActions(const ZkSwitchTrackSubscriber& subscriber);
    void DestroySubscribers();

    ZkMusicActionList m_actions;
    CZkMusicSegment& m_segment;
    ZkSwitchTrackSubscriber* m_subscribers = nullptr;
    int32_t m_startOffset = 0;
    bool m_scheduled = false;
};
} // namespace ZK::MusicEngine
