// ZkBusMeter: the meter of one audio object of a mix bus's output: the measurements its metering
// flags ask for (peak, true peak, RMS, K-weighted power, and for ambisonic objects the signed
// peak), made once per frame after the bus's effects have run and handed to the game's metering
// callback (as IZkBusMeter).
//
// Life cycle: Refresh makes the meter on the first frame that asks for measurements, keeps it while
// the flags and the configuration stay, and makes it again when they change (or drops it when the
// flags become 0); Measure fills it each frame; Destroy goes with the object.
//
// Threading: the thread processing the bus (the engine thread or a bus job); a meter belongs to one
// object. Ownership: one block of memory pool 14 holds the meter and its 16-byte aligned arrays.
#pragma once

#include "ZkAudiolib/Common/Metering/ZkKWeighting.h"

#include <ZK/SoundEngine/Common/ZkAudioBuffer.h>
#include <ZK/SoundEngine/Common/ZkMemoryMgr.h>
#include <ZK/SoundEngine/Common/ZkMeteringCallbacks.h>

#include <cstdint>

namespace ZK::SoundEngine
{
class ZkBusMeter final : public IZkBusMeter
{
public:
    static constexpr ZkMemoryId kPool = ZkMemID_MixGraph;
    // Every level is scaled by this factor (powers by its square).
    static constexpr float kLevelScale = 1.0009619f;
    static constexpr float kPowerScale = 1.0019248f;
    // K-weighted power: the weight of the side surround channels (+1.5 dB).
    static constexpr float kSideWeight = 1.4125375f;

    // The meter slot's meter for these flags and this configuration: the one in the slot when it was
    // built for the same; else the slot's meter is destroyed and, for non-zero flags, a new one made
    // for the engine's sample rate (null when memory runs out; the slot then holds null).
    static ZkBusMeter* Refresh(ZkBusMeter*& slot, uint32_t flags, ZkChannelConfig config);
    static void Destroy(ZkBusMeter*& slot);
    // Fills every measurement of the meter's flags from the buffer, scaled by gain (0 when the
    // buffer holds no valid frames): over the first (max frames / 4) x 4 samples of each channel.
    static void Measure(float gain, const ZkAudioBuffer& buffer, ZkBusMeter& meter);

    uint32_t Flags() const { return m_flags; }
    ZkChannelConfig Config() const { return m_config; }

    const float* GetPeak() const override { return m_peak; }
    const float* GetTruePeak() const override { return m_truePeak; }
    const float* GetRMS() const override { return m_rms; }
    float GetKWeightedPower() const override { return m_power; }
    const float* GetSignedPeak() const override { return m_signedPeak; }

private:
    ZkBusMeter(uint32_t flags, ZkChannelConfig config, uint32_t sampleRate) :
        m_flags(flags), m_config(config), m_kWeighting(ZkKWeighting::ForSampleRate(sampleRate))
    {
    }
    ~ZkBusMeter() override = default;
    static ZkBusMeter* Create(uint32_t flags, ZkChannelConfig config, uint32_t sampleRate);
    void Silence();
    void MeasurePower(float gain, const ZkAudioBuffer& buffer, uint32_t frames);
    void MeasureSignedPeak(float scale, const ZkAudioBuffer& buffer, uint32_t frames);

    uint32_t m_flags;
    ZkChannelConfig m_config;
    ZkKWeighting m_kWeighting;
    float* m_peak = nullptr;
    float* m_truePeak = nullptr;
    float* m_history = nullptr;   // the true-peak filter's last 12 samples per channel
    float* m_rms = nullptr;
    float* m_kState = nullptr;    // per weighted channel: high-pass state, then shelf state
    float* m_signedPeak = nullptr;
    float m_power = 0.0f;
};
} // namespace ZK::SoundEngine
