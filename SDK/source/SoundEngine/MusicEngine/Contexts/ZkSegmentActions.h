// The actions a segment context schedules on its own time line (segment time): track starts,
// track stops and switch marks. A switch track's change of sub-track is a stop of the sub-tracks
// that no longer match and a start of those that do, placed on the track's sync point; the mark
// records where the change lands and which values it moved between.
//
// Threading: engine thread only, under the global engine lock.
// Ownership: the segment context's action list owns them (pool 0). A start holds a reference on
// its track; a stop names a child track context that drops the stop before it goes; a mark names
// the subscriber whose change it records, which lives as long as the segment context.
#pragma once

#include "MusicEngine/CZkMusicTrack.h"
#include "MusicEngine/Contexts/CZkMusicContext.h"
#include "MusicEngine/Contexts/ZkMusicActionList.h"

namespace ZK::MusicEngine
{
class CZkMusicTrackContext;
class ZkSwitchTrackSubscriber;

constexpr uint32_t kKindTrackStart = 0;
constexpr uint32_t kKindSwitchMark = 2;

// Start a track context for a sub-track, fading in, playing the track from trackStart (segment
// time).
class ZkTrackStartAction final : public ZkMusicAction
{
public:
    ZkTrackStartAction(int32_t time, CZkMusicTrack& trackObject, uint32_t subTrackIndex, const ZkMusicFadeParams& fadeIn,
                       int32_t start)
        : ZkMusicAction(time), track(trackObject), subTrack(subTrackIndex), fade(fadeIn), trackStart(start)
    {
        track.AddRef();
    }
    ~ZkTrackStartAction() override { track.Release(); }
    uint32_t Kind() const override { return kKindTrackStart; }

    CZkMusicTrack& track;
    uint32_t subTrack;
    ZkMusicFadeParams fade;
    int32_t trackStart;
};

// Stop a track context with a fade, from an offset of the frame. A switch track's sub-track whose
// start is still pending when it stops matching has no context yet: its stop names the track and
// the sub-track instead (trackContext null) and stops whatever context of them plays by then.
class ZkTrackStopAction final : public ZkMusicAction
{
public:
    ZkTrackStopAction(int32_t time, CZkMusicTrackContext& context, const ZkMusicFadeParams& fadeOut)
        : ZkMusicAction(time), trackContext(&context), fade(fadeOut)
    {
    }
    ZkTrackStopAction(int32_t time, const CZkMusicTrack& trackObject, uint32_t subTrackIndex,
                      const ZkMusicFadeParams& fadeOut)
        : ZkMusicAction(time), track(&trackObject), subTrack(subTrackIndex), fade(fadeOut)
    {
    }
    uint32_t Kind() const override { return kKindStop; }
    const CZkMusicChild* StopTarget() const override { return trackContext; }

    CZkMusicTrackContext* trackContext = nullptr;
    // With no context: the track (its switch-track subscriber keeps it alive) and the sub-track.
    const CZkMusicTrack* track = nullptr;
    uint32_t subTrack = 0;
    ZkMusicFadeParams fade;
};

// Where a switch track's change lands: nothing runs when it comes due.
class ZkSwitchMarkAction final : public ZkMusicAction
{
public:
    ZkSwitchMarkAction(int32_t time, const ZkSwitchTrackSubscriber& owner, ZkUniqueID appliedValue,
                       ZkUniqueID valueBefore)
        : ZkMusicAction(time), subscriber(&owner), value(appliedValue), previous(valueBefore)
    {
    }
    uint32_t Kind() const override { return kKindSwitchMark; }

    const ZkSwitchTrackSubscriber* subscriber;
    ZkUniqueID value;
    ZkUniqueID previous;
};
} // namespace ZK::MusicEngine
