// ZkSwitchTrackSubscriber: keeps one switch track of a playing segment in step with the switch or
// state group that chooses its sub-track. It follows the group for the play (the play's game
// object for a switch group), keeps the group's current value and the sub-tracks whose switch is
// that value, and tells its segment context when the value changes so that the context moves the
// track to the new sub-tracks on the track's sync point.
//
// A value of 0 (the group was never set for the play) takes the track's default switch; a value no
// sub-track names matches none, and the track is silent until the value changes.
//
// Threading: engine thread, under the global engine lock (the switch and state managers notify
// from there).
// Ownership: created and destroyed by its segment context (pool 0), which it never outlives; holds
// a reference on its track. The match list is reserved for every sub-track at creation, so a
// change of value allocates nothing. Destruction leaves the group (the base's destructor).
#pragma once

#include "ZkAudiolib/Common/Containers/ZkArray.h"
#include "ZkAudiolib/Common/GameSyncs/CZkGroupSubscriber.h"

#include <ZK/SoundEngine/Common/ZkMemoryMgr.h>
#include <ZK/SoundEngine/Common/ZkTypes.h>

#include <cstdint>

namespace ZK::MusicEngine
{
class CZkMusicSegmentContext;
class CZkMusicTrack;

class ZkSwitchTrackSubscriber final : public SoundEngine::CZkGroupSubscriber
{
public:
    static constexpr ZkMemoryId kPool = ZkMemID_Default;

    // A subscriber for the switch track of the segment context, not yet following its group; null
    // out of memory (the subscriber or its match list).
    static ZkSwitchTrackSubscriber* Create(CZkMusicTrack& track, CZkMusicSegmentContext& segmentContext);
    static void Destroy(ZkSwitchTrackSubscriber* subscriber);

    ZkSwitchTrackSubscriber(CZkMusicTrack& track, CZkMusicSegmentContext& segmentContext);
    ~ZkSwitchTrackSubscriber() override;

    // Follows the track's group (group id and type of its switch settings).
    ZKRESULT Follow();
    // The group's value for the play (the track's default switch for 0), and the matches.
    void InitValue();
    // The sub-tracks whose switch is the current value, in order.
    void UpdateMatches();
    // A value for a switch group set on another game object is not the play's; one that a more
    // specific value overrides for the play's key (the filter) does not reach it either.
    void OnGroupValueChanged(ZkUniqueID value, const ZkRTPCKey& key, const SoundEngine::CZkRTPCOverrideFilter* filter) override;

    bool Matches(uint32_t subTrack) const;
    CZkMusicTrack& Track() const { return m_track; }
    const ZK::ZkArray<uint16_t>& MatchingSubTracks() const { return m_matches; }
    ZkUniqueID CurrentValue() const { return m_current; }
    ZkUniqueID PreviousValue() const { return m_previous; }

    ZkSwitchTrackSubscriber* next = nullptr;

private:
    // The play's game object (null when the segment context is not in a play).
    SoundEngine::CZkRegisteredObj* PlayObject() const;

    CZkMusicTrack& m_track;
    CZkMusicSegmentContext* m_segmentContext;
    ZK::ZkArray<uint16_t> m_matches;
    ZkUniqueID m_current = 0;
    ZkUniqueID m_previous = 0;
};
} // namespace ZK::MusicEngine
