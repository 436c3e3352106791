// ZkSeekTarget: where a playing instance's pending seek lands in its media. The instance asks for
// a sample count at the engine's rate, or a fraction of the duration (every loop counted; one
// pass when the media loops forever); the target is mapped into the loop with the loops left
// from there, and with the instance's snap option the nearest marker (the first of two at the
// same distance) replaces it and is mapped the same way.
//
// Threading and ownership: a pure function of the instance, the markers and the media's figures;
// the thread rendering the voice.
#pragma once

#include <cstdint>

namespace ZK::SoundEngine
{
class CZkPlayingInstance;
class ZkMarkerTable;

struct ZkSeekMedia
{
    uint32_t sampleRate = 0;
    uint32_t totalFrames = 0;
    uint32_t loopStart = 0;
    uint32_t loopEnd = 0;     // inclusive
    uint16_t loops = 1;       // loops left (0 infinite)
    float durationMs = 0.0f;  // over every loop (used unless the media loops forever)
};

// The target frame in the media; loopsLeft receives the loops left from there.
uint32_t ResolveSeekTarget(const CZkPlayingInstance& instance, const ZkMarkerTable& markers,
                           const ZkSeekMedia& media, uint16_t& loopsLeft);
} // namespace ZK::SoundEngine
