// CZkModulatorLinks (declaration only): the modulators that drive one playing instance's
// parameters, as the modulation stage reads them for the volume: how many run at audio rate and
// at control rate, their gains for this frame, and their current combined value.
//
// No modulator exists yet: no instance has links, and the queries answer "none".
//
// Threading: the thread rendering the voice. Ownership: the playing instance's.
#pragma once

#include <ZK/SoundEngine/Common/ZkResult.h>

#include <cstdint>

namespace ZK::SoundEngine
{
// An audio-rate modulator's gain for sample k of a frame: scale x buffer[k] + offset.
struct ZkAudioRateModulation
{
    float offset;
    float scale;
    const float* buffer; // one value per frame
};

// A control-rate modulator's gain across a frame: a ramp from start to end.
struct ZkControlRateModulation
{
    float start;
    float end;
};

class CZkModulatorLinks
{
public:
    // Not built yet: no entry of either kind.
    void CountForMask(uint64_t, uint32_t& audioRate, uint32_t& controlRate) const
    {
        audioRate = 0;
        controlRate = 0;
    }
    // Not built yet: 4, nothing gathered.
    ZKRESULT GatherRamps(uint64_t, ZkAudioRateModulation*, ZkControlRateModulation*) const { return ZK_NotImplemented; }
    // Not built yet: the neutral value.
    float CurrentValue() const { return 1.0f; }
};
} // namespace ZK::SoundEngine
