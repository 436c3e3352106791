// ZkSourcePosition: the play position of a file source in its media, with the loop it plays: the
// media's sample rate and length, the loop [loopStart, loopEnd] (frames, end included) and the
// loops left (0 infinite, 1 the last pass, which runs to the end of the media).
//
// A source advances it by the frames it delivers, in pieces that never cross the loop end: a piece
// that ends right after the loop end brings the position back to the loop start.
//
// Threading: the thread rendering the voice. Ownership: a plain record inside its source.
#pragma once

#include "ZkAudiolib/Common/FrontEnd/PlayPositionRepository.h"

#include <ZK/SoundEngine/Common/ZkResult.h>

#include <cstdint>

namespace ZK::SoundEngine
{
// A position in source frames with a fraction, and the source frames one step (an output frame, a
// sample of the engine) is worth.
struct ZkFractionalPosition
{
    double position = 0.0;
    double ratio = 1.0;
};

// What FromSamples moved: its status (45, 46 nothing moved, 17 end of the last pass), the source
// frames passed and the samples of the caller's clock they took.
struct ZkPositionStep
{
    ZKRESULT status = ZK_NoDataReady;
    uint32_t frames = 0;
    uint32_t samples = 0;
};

struct ZkSourcePosition
{
    uint32_t sampleRate = 0;
    uint32_t position = 0;
    uint32_t length = 0;
    uint32_t loopStart = 0;
    uint32_t loopEnd = 0;
    uint16_t loopsLeft = 1;

    // Position 0 with the loop, the format and the loops.
    void Init(uint32_t start, uint32_t end, uint32_t rate, uint32_t frames, uint16_t loops);
    // frames delivered: 45, 46 for 0 frames, 17 once the last pass reaches the length. Past the
    // loop end (not on the last pass) the position goes back to the loop start, the loops left drop
    // (infinite stays infinite) and looped is set.
    ZKRESULT Advance(uint32_t frames, bool& looped);
    // Moves by samples of the caller's clock (samples x ratio source frames, from the fractional
    // position, which follows), stopping at the length on the last pass and right after the loop
    // end otherwise, where the position starts the loop again. A cut step reports the frames it
    // moved and the samples they are worth.
    ZkPositionStep FromSamples(ZkFractionalPosition& at, uint32_t samples);
    // Play time in ms over the given loops (0: infinite, answers 0).
    float LoopTimeMs(uint16_t loops) const;
    // What the play-position table takes: position, the rate factor given, length, sample rate.
    ZkPlayPositionInfo Snapshot(float rate) const;
    // The position with the rate divided by divisor (source frames per engine sample when divisor
    // is the engine's rate).
    ZkFractionalPosition GetRate(double divisor) const;

    bool OnLastPass() const { return loopsLeft == 1; }
};
} // namespace ZK::SoundEngine
