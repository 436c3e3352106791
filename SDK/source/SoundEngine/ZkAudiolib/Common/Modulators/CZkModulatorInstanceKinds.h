// The three kinds of running modulator: LFO, envelope and time. Each keeps its kind's parameter
// block (ZkModulatorRecords.h) and says how a game parameter changes it, how the instance ages
// and when it runs at audio rate.
//
// Threading and ownership: as CZkModulatorInstance.
#pragma once

#include "ZkAudiolib/Common/Modulators/CZkModulatorInstance.h"

#include <type_traits>

namespace ZK::SoundEngine
{
// The part every kind shares: its parameter block, which the kernel record copies.
template <typename Block>
class CZkModulatorInstanceOf : public CZkModulatorInstance
{
public:
    void* GetParamBlock() override { return &m_params; }
    Block& Params() { return m_params; }

protected:
    Block m_params;
};

class CZkLfoInstance final : public CZkModulatorInstanceOf<ZkLfoParams>
{
public:
    bool SetParam(uint32_t parameter, float value) override;
    // Also takes the oscillator state of the last frame's output (a ZkLfoOutput), and new
    // coefficients when a parameter changed.
    void Advance(uint32_t frames) override;
    // Audio rate for a frequency above 12000 / buffer length, when the modulator has an
    // audio-rate subscriber.
    void UpdateAudioRate() override;
    // At control rate the value starts as one oscillator sample at full depth.
    void PostInit() override;
};

class CZkEnvelopeInstance final : public CZkModulatorInstanceOf<ZkEnvelopeParams>
{
public:
    bool SetParam(uint32_t parameter, float value) override;
    void Advance(uint32_t frames) override;
    // Audio rate when the attack or the decay is shorter than two buffers.
    void UpdateAudioRate() override;
    // A start level above 0 starts at once; with no attack the level starts at 1 (at the
    // sustain level when there is no decay either).
    void PostInit() override;
};

class CZkTimeInstance final : public CZkModulatorInstanceOf<ZkTimeParams>
{
public:
    bool SetParam(uint32_t parameter, float value) override;
    // The initial delay counts down first; the first frame after it starts the clock; later
    // frames advance by frames x playback rate (rounded).
    void Advance(uint32_t frames) override;
    // Always at audio rate when the modulator has an audio-rate subscriber.
    void UpdateAudioRate() override;
    void PostInit() override {}
};

// Init reads the end frame at the start of each block.
static_assert(std::is_standard_layout_v<ZkLfoParams> && offsetof(ZkLfoParams, endFrame) == 0);
static_assert(std::is_standard_layout_v<ZkEnvelopeParams> && offsetof(ZkEnvelopeParams, endFrame) == 0);
static_assert(std::is_standard_layout_v<ZkTimeParams> && offsetof(ZkTimeParams, endFrame) == 0);
} // namespace ZK::SoundEngine
