// What a music node's actions do to its plays: every playing root whose node is the given node,
// filtered by the action's game object (null: any) and playing id (0: any), is stopped, paused or
// resumed with the action's transition, or seeks (by a fraction of the active length or by ms, with
// the snap flag passed along; each seek that succeeds is notified to its playing id).
//
// Threading: engine thread only, under the global engine lock (the node's action entry points).
// Ownership: nothing kept.
#pragma once

#include "ZkAudiolib/Common/Hierarchy/ZkNodeTypes.h"

namespace ZK::MusicEngine
{
class CZkMusicNode;
class CZkMusicPlayRecord;
class CZkMusicTimelineContext;

// Whether the action's game object (null: any) and playing id (0: any) are the play's.
bool PlayMatches(const CZkMusicPlayRecord& record, const SoundEngine::ZkActionParams& params);
// Stop, pause or resume of one play's root with the action's transition (other codes: nothing).
void ApplyActionToRoot(CZkMusicTimelineContext& root, const SoundEngine::ZkActionParams& params);
// Stop, pause and resume (other codes: nothing).
void ApplyActionToPlays(const CZkMusicNode& node, const SoundEngine::ZkActionParams& params);
// A seek; clampFraction keeps a fraction within 0..1 (segments do, switch containers do not).
void SeekPlays(const CZkMusicNode& node, const SoundEngine::ZkActionParams& params, bool clampFraction);
} // namespace ZK::MusicEngine
