// NotifyVolumeMatrixCallback: hands a voice's mix matrix to the game's speaker-volume-matrix callback
// of its playing id, or, for a voice without playing id, to the volume callback registered for its
// bus, so that the game may read or change the matrix before it is used.
//
// Threading: audio thread, from the per-voice positioning step.
// Ownership: the matrix belongs to the voice's mix context.
#pragma once

#include <ZK/SoundEngine/Common/ZkChannelConfig.h>
#include <ZK/SoundEngine/Common/ZkTypes.h>

namespace ZK::SoundEngine
{
// True when a callback was called (it may have changed the matrix).
bool NotifyVolumeMatrixCallback(ZkPlayingID playingID, ZkUniqueID busID, ZkChannelConfig input, ZkChannelConfig output,
                                float* matrix, ZkGameObjectID gameObject);
} // namespace ZK::SoundEngine
