// CZkMusicSegmentContext: plays one music segment inside one item of a chain context. It is held by
// its chain item (one reference) and points back to it; once stopped it leaves the item.
//
// Segment time (the time this context is given) is measured from the segment's entry cue, negative
// inside the pre-entry; track time is segment time + pre-entry length.
//
// Threading: engine thread only, under the global engine lock.
// Ownership: reference-counted (CZkMusicContext); holds a reference on its segment object.
#pragma once

#include "MusicEngine/Contexts/CZkMusicContext.h"
#include "MusicEngine/Contexts/ZkMusicActionList.h"

namespace ZK::MusicEngine
{
class CZkMusicPlayRecord;
class CZkMusicSegment;
class CZkMusicTrack;
class CZkMusicTrackContext;
struct ZkMusicChainItem;

class CZkMusicSegmentContext final : public CZkMusicContext
{
public:
    // A context for the segment under the parent, holding the creator's reference; null out of
    // memory or for a segment without markers (it has no entry cue to play from).
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
    // One start action per track at the segment time now: the sub-track the track picks (switch
    // tracks have no subscriber yet and stay silent).
    void ScheduleTracks();
    // Runs the track starts, track stops and switch marks due in the frame.
    void RunDueActions(int32_t segmentTime, uint32_t length);
    // Drops the pending stops of a track context (it stopped, or it goes).
    void DropStopsOf(const CZkMusicTrackContext& track);
    // The play record of the chain this context plays in (null when detached).
    CZkMusicPlayRecord* PlayRecord() const;
    const ZkMusicActionList& Actions() const { return m_actions; }

    CZkMusicSegment& Segment() const { return m_segment; }
    int32_t StartOffset() const { return m_startOffset; }
    bool IsScheduled() const { return m_scheduled; }

    ZkMusicChainItem* chainItem = nullptr;

private:
    // A track context of the track and sub-track for a start: one that is sounding and not fading
    // out is kept as it is (null: nothing to do); one fading out is turned back; else a new one.
    CZkMusicTrackContext* TrackContextFor(CZkMusicTrack& track, uint32_t subTrack, bool& reused);

    ZkMusicActionList m_actions;
    CZkMusicSegment& m_segment;
    int32_t m_startOffset = 0;
    bool m_scheduled = false;
};
} // namespace ZK::MusicEngine
