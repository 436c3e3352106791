// The music engine's top-level plays: StartPlay makes a root context a play the sound engine knows
// (play record, the node's play count, the per-frame update registration, the list of playing
// roots, the playing id's member list and callback flags, the segment-table entry, the playback
// notification); EndPlay undoes all of it when the root's last reference goes.
//
// Threading: engine thread only, under the global engine lock.
// Ownership: the play record belongs to the root from StartPlay to EndPlay.
#pragma once

#include "MusicEngine/Contexts/CZkMusicPlayRecord.h"

#include <ZK/SoundEngine/Common/ZkResult.h>

namespace ZK::MusicEngine
{
class CZkMusicTimelineContext;

// 2 when the record cannot be made or the node cannot count the play (nothing stays linked); 2 for
// playing id 0 (the root stays in the playing list until it goes); else the member-list result.
ZKRESULT StartPlay(CZkMusicTimelineContext& root, const ZkMusicPlayInfo& playInfo, CZkRegisteredObj* gameObject,
                   uint8_t option);
// Takes the root off the playing list and ends its play record.
void EndPlay(CZkMusicTimelineContext& root);
} // namespace ZK::MusicEngine
