// ZkBusMeter: making, refreshing and filling a bus object's meter.
#include "ZkAudiolib/Common/Metering/ZkBusMeter.h"

#include "ZkAudiolib/Common/Metering/ZkTruePeakFilter.h"
#include "ZkAudiolib/Common/Voice/ZkAudioSettings.h"

#include <algorithm>
#include <cmath>
#include <new>

namespace ZK::SoundEngine
{
namespace
{
constexpr uint32_t kAlignment = 16;
constexpr uint32_t kFloatsPerAlignment = kAlignment / sizeof(float);
constexpr float kMinStart = 2147483648.0f;
constexpr float kMaxStart = -2147483648.0f;
constexpr uint32_t kKStateFloats = 2 * ZkKWeighting::kStateWords;

uint32_t AlignedFloats(uint32_t count) { return (count + kFloatsPerAlignment - 1) & ~(kFloatsPerAlignment - 1); }

size_t AlignedBytes(size_t bytes) { return (bytes + kAlignment - 1) & ~size_t{kAlignment - 1}; }

// Channels the K-weighting filters: the first only for an ambisonic configuration.
uint32_t WeightedChannelCount(ZkChannelConfig config)
{
    return config.Type() == ZkChannelConfigType_Ambisonic ? std::min(config.NumChannels(), 1u) : config.NumChannels();
}

// Hands out consecutive 16-byte aligned arrays of a block.
class Carver
{
public:
    explicit Carver(float* first) : m_next(first) {}
    float* Take(bool wanted, uint32_t floats)
    {
        if (!wanted)
            return nullptr;
        float* array = m_next;
        m_next += AlignedFloats(floats);
        return array;
    }

private:
    float* m_next;
};
} // namespace

ZkBusMeter* ZkBusMeter::Create(uint32_t flags, ZkChannelConfig config, uint32_t sampleRate)
{
    const uint32_t channels = config.NumChannels();
    const bool signedPeak = (flags & ZkMeteringFlag_SignedPeak) != 0 && config.Type() == ZkChannelConfigType_Ambisonic;
    uint32_t floats = 0;
    floats += (flags & ZkMeteringFlag_Peak) != 0 ? AlignedFloats(channels) : 0;
    floats += (flags & ZkMeteringFlag_TruePeak) != 0
                  ? AlignedFloats(channels) + AlignedFloats(channels * ZkTruePeakFilter::kTaps)
                  : 0;
    floats += (flags & ZkMeteringFlag_RMS) != 0 ? AlignedFloats(channels) : 0;
    floats += (flags & ZkMeteringFlag_KWeightedPower) != 0 ? AlignedFloats(WeightedChannelCount(config) * kKStateFloats)
                                                           : 0;
    floats += signedPeak ? AlignedFloats(channels) : 0;

    const size_t header = AlignedBytes(sizeof(ZkBusMeter));
    void* block = ZK::MemoryMgr::Malign(kPool, header + floats * sizeof(float), kAlignment);
    if (block == nullptr)
        return nullptr;
    auto* meter = new (block) ZkBusMeter(flags, config, sampleRate);
    float* arrays = reinterpret_cast<float*>(static_cast<uint8_t*>(block) + header);
    // Zeroed: a silent first reading, and an empty true-peak history and filter state.
    std::fill(arrays, arrays + floats, 0.0f);
    Carver carver(arrays);
    meter->m_peak = carver.Take((flags & ZkMeteringFlag_Peak) != 0, channels);
    meter->m_truePeak = carver.Take((flags & ZkMeteringFlag_TruePeak) != 0, channels);
    meter->m_history = carver.Take((flags & ZkMeteringFlag_TruePeak) != 0, channels * ZkTruePeakFilter::kTaps);
    meter->m_rms = carver.Take((flags & ZkMeteringFlag_RMS) != 0, channels);
    meter->m_kState =
        carver.Take((flags & ZkMeteringFlag_KWeightedPower) != 0, WeightedChannelCount(config) * kKStateFloats);
    meter->m_signedPeak = carver.Take(signedPeak, channels);
    return meter;
}

void ZkBusMeter::Destroy(ZkBusMeter*& slot)
{
    if (slot == nullptr)
        return;
    slot->~ZkBusMeter();
    ZK::MemoryMgr::Free(kPool, slot);
    slot = nullptr;
}

ZkBusMeter* ZkBusMeter::Refresh(ZkBusMeter*& slot, uint32_t flags, ZkChannelConfig config)
{
    if (slot != nullptr && slot->m_flags == flags && slot->m_config == config)
        return slot;
    Destroy(slot);
    if (flags != 0)
        slot = Create(flags, config, ZkAudioSettings::SampleRate());
    return slot;
}

void ZkBusMeter::Silence()
{
    const uint32_t channels = m_config.NumChannels();
    for (float* array : {m_peak, m_truePeak, m_rms, m_signedPeak})
        if (array != nullptr)
            std::fill(array, array + channels, 0.0f);
    m_power = 0.0f;
}

void ZkBusMeter::Measure(float gain, const ZkAudioBuffer& buffer, ZkBusMeter& meter)
{
    const float g = buffer.validFrames != 0 ? gain : 0.0f;
    if (!(g > 0.0f))
    {
        meter.Silence();
        return;
    }
    const float scale = g * kLevelScale;
    const uint32_t frames = buffer.maxFrames / 4u * 4u;
    const uint32_t channels = std::min(meter.m_config.NumChannels(), buffer.NumChannels());
    for (uint32_t c = 0; c < channels; ++c)
    {
        const float* samples = buffer.GetChannel(c);
        if (meter.m_peak != nullptr)
        {
            float lowest = kMinStart;
            float highest = kMaxStart;
            for (uint32_t i = 0; i < frames; ++i)
            {
                lowest = std::min(lowest, samples[i]);
                highest = std::max(highest, samples[i]);
            }
            meter.m_peak[c] = std::max(std::fabs(lowest), highest) * scale;
        }
        if (meter.m_rms != nullptr)
        {
            float sum = 0.0f;
            for (uint32_t i = 0; i < frames; ++i)
                sum += samples[i] * samples[i];
            meter.m_rms[c] = buffer.maxFrames != 0 ? std::sqrt(sum / buffer.maxFrames) * scale : 0.0f;
        }
        if (meter.m_truePeak != nullptr)
        {
            float lowest = kMinStart;
            float highest = kMaxStart;
            ZkTruePeakFilter::Run(meter.m_history + c * ZkTruePeakFilter::kTaps, samples, frames, lowest, highest);
            meter.m_truePeak[c] = std::max(std::fabs(lowest), highest) * scale;
        }
    }
    if (meter.m_kState != nullptr)
        meter.MeasurePower(g, buffer, frames);
    if (meter.m_signedPeak != nullptr)
        meter.MeasureSignedPeak(scale, buffer, frames);
}

void ZkBusMeter::MeasurePower(float gain, const ZkAudioBuffer& buffer, uint32_t frames)
{
    const uint32_t channels = std::min(WeightedChannelCount(m_config), buffer.NumChannels());
    float sum = 0.0f;
    // A speaker configuration weighs its channels by speaker (the LFE does not count); any other
    // configuration counts each of its channels once.
    uint32_t mask = m_config.Type() == ZkChannelConfigType_Standard ? m_config.Mask() & ~ZK_SPEAKER_LOW_FREQUENCY : 0;
    for (uint32_t c = 0; c < channels; ++c)
    {
        float weight = 1.0f;
        if (m_config.Type() == ZkChannelConfigType_Standard)
        {
            if (mask == 0)
                break;
            const uint32_t speaker = mask & (~mask + 1u);
            mask &= ~speaker;
            if (speaker == ZK_SPEAKER_SIDE_LEFT || speaker == ZK_SPEAKER_SIDE_RIGHT)
                weight = kSideWeight;
        }
        float* state = m_kState + c * kKStateFloats;
        weight *= m_kWeighting.SumOfSquares(state, state + ZkKWeighting::kStateWords, buffer.GetChannel(c), frames);
        sum += weight;
    }
    m_power = buffer.maxFrames != 0 ? gain * gain * kPowerScale * sum / buffer.maxFrames : 0.0f;
}

void ZkBusMeter::MeasureSignedPeak(float scale, const ZkAudioBuffer& buffer, uint32_t frames)
{
    const float* first = buffer.GetChannel(0);
    uint32_t at = 0;
    float largest = -1.0f;
    for (uint32_t i = 0; i < frames; ++i)
    {
        if (std::fabs(first[i]) > largest)
        {
            largest = std::fabs(first[i]);
            at = i;
        }
    }
    const uint32_t channels = std::min(m_config.NumChannels(), buffer.NumChannels());
    for (uint32_t c = 0; c < channels; ++c)
        m_signedPeak[c] = frames != 0 ? buffer.GetChannel(c)[at] * scale : 0.0f;
}
} // namespace ZK::SoundEngine
