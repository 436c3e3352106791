#include "ZkBiquadStage.h"

#include "ZkDspAudioFormat.h"
#include "ZkFilterCutoff.h"
#include "ZkPluginMemAlloc.h"

#include <algorithm>
#include <cstring>

namespace
{
constexpr uint32_t kFilterMemoryAlignment = 16;

const float* InputChannel(const ZkAudioBuffer* buffer, uint32_t channel)
{
    return static_cast<const float*>(buffer->data) + static_cast<size_t>(channel) * buffer->maxFrames;
}
} // namespace

bool ZkBiquadStage::Allocate(uint32_t channels)
{
    Free();
    if (channels == 0)
        return false;
    CZkPluginMemAlloc& allocator = CZkPluginMemAlloc::ForInstances();
    const uint32_t historyBytes = ((channels + 3u) / 4u) * static_cast<uint32_t>(sizeof(BiquadLaneHistory));
    const uint32_t coefficientBytes = sizeof(CoefficientBlock);
    void* history = ZK_PLUGIN_MALIGN(&allocator, historyBytes, kFilterMemoryAlignment);
    void* coefficients = ZK_PLUGIN_MALIGN(&allocator, coefficientBytes, kFilterMemoryAlignment);
    if (history == nullptr || coefficients == nullptr)
    {
        if (history)
            allocator.Free(history);
        if (coefficients)
            allocator.Free(coefficients);
        return false;
    }
    std::memset(history, 0, historyBytes);
    m_history = static_cast<BiquadLaneHistory*>(history);
    std::memset(coefficients, 0, coefficientBytes);
    m_coefficients = static_cast<CoefficientBlock*>(coefficients);
    m_historyBytes = historyBytes;
    m_coefficientBytes = coefficientBytes;
    m_channels = channels;
    return true;
}

void ZkBiquadStage::Free()
{
    CZkPluginMemAlloc& allocator = CZkPluginMemAlloc::ForInstances();
    if (m_history)
        allocator.Free(m_history);
    if (m_coefficients)
        allocator.Free(m_coefficients);
    m_history = nullptr;
    m_coefficients = nullptr;
    m_historyBytes = 0;
    m_coefficientBytes = 0;
    m_channels = 0;
}

void ZkBiquadStage::MoveFrom(ZkBiquadStage& other)
{
    Free();
    m_history = other.m_history;
    m_historyBytes = other.m_historyBytes;
    m_channels = other.m_channels;
    m_coefficients = other.m_coefficients;
    m_coefficientBytes = other.m_coefficientBytes;
    m_params = other.m_params;
    other.m_history = nullptr;
    other.m_coefficients = nullptr;
    other.m_historyBytes = 0;
    other.m_coefficientBytes = 0;
    other.m_channels = 0;
}

void ZkBiquadStage::SetTarget(float value)
{
    m_params.targetValue = value;
    m_params.dirty = 1;
}

void ZkBiquadStage::ComputeCoefficients(float value)
{
    const float rate = static_cast<float>(ZkDspAudioFormat::Get().sampleRateHz);
    CoefficientBlock& block = *m_coefficients;
    block.values = m_kind == ZkFilterKind::LowPass ? ComputeButterworthLowPass(LowPassValueToHz(value, rate), rate)
                                                   : ComputeButterworthHighPass(HighPassValueToHz(value, rate), rate);
    const bool wide = BiquadWideFormsInUse();
    block.wide = wide ? 1u : 0u;
    if (HasPair())
    {
        if (wide)
        {
            block.single = MakeBiquadSingleWeights(block.values);
            block.fourFrameState = MakeBiquadFourFrameStateWeights(block.values);
        }
        else
        {
            block.pair = MakeBiquadPairWeights(block.values);
        }
    }
    if (HasSingle())
    {
        if (wide)
            block.eight = MakeBiquadEightFrameWeights(block.values);
        else
            block.single = MakeBiquadSingleWeights(block.values);
    }
}

bool ZkBiquadStage::UpdateParameters()
{
    ZkFilterParams& p = m_params;
    if (!p.dirty)
        return p.bypassed != 0;
    p.dirty = 0;
    const uint16_t steps = ZkDspAudioFormat::Get().stepsPerBuffer;
    if (p.first)
    {
        p.first = 0;
        p.currentValue = p.targetValue;
        p.stepCounter = steps;
        const bool off = p.targetValue <= ZkFilterParams::kOffThreshold;
        if (!off)
            p.tailCountdown = 0;
        if (off != (p.bypassed != 0))
            p.primed = 0;
        p.bypassed = off ? 1 : 0;
        if (!off && HasMemory())
            ComputeCoefficients(p.targetValue);
        return p.bypassed != 0;
    }
    const bool off = p.currentValue <= ZkFilterParams::kOffThreshold && p.targetValue <= ZkFilterParams::kOffThreshold;
    if (!off)
        p.tailCountdown = 0;
    if (off != (p.bypassed != 0))
        p.primed = 0;
    p.bypassed = off ? 1 : 0;
    p.stepCounter = off ? steps : 0; // not off: a glide from current to target begins
    return p.bypassed != 0;
}

void ZkBiquadStage::FilterRun(const ZkAudioBuffer* in, ZkAudioBuffer* out, uint32_t start, uint32_t frames)
{
    const CoefficientBlock& block = *m_coefficients;
    const BiquadCoefficients& c = block.values;
    const uint32_t wholeGroups = m_channels / 4u;
    for (uint32_t group = 0; group < wholeGroups; ++group)
    {
        const float* sources[4];
        float* targets[4];
        for (uint32_t lane = 0; lane < 4; ++lane)
        {
            sources[lane] = InputChannel(in, group * 4 + lane) + start;
            targets[lane] = out->GetChannel(group * 4 + lane) + start;
        }
        BiquadRunFourChannelsSse(sources, targets, frames, c, m_history[group]);
    }
    // The channels after the groups of four share the last group's history: a pair in lanes 0 and
    // 1, then a single channel in the next lane.
    uint32_t channel = wholeGroups * 4;
    if (HasPair())
    {
        const float* sources[2] = {InputChannel(in, channel) + start, InputChannel(in, channel + 1) + start};
        float* targets[2] = {out->GetChannel(channel) + start, out->GetChannel(channel + 1) + start};
        if (block.wide)
            BiquadRunPairAvx2(sources, targets, frames, c, block.single, block.fourFrameState, m_history[wholeGroups], 0);
        else
            BiquadRunPairSse(sources, targets, frames, c, block.pair, m_history[wholeGroups], 0);
        channel += 2;
    }
    if (HasSingle())
    {
        const float* source = InputChannel(in, channel) + start;
        float* target = out->GetChannel(channel) + start;
        if (block.wide)
            BiquadRunSingleAvx2(source, target, frames, c, block.eight, m_history[wholeGroups], channel % 4u);
        else
            BiquadRunSingleSse(source, target, frames, c, block.single, m_history[wholeGroups], channel % 4u);
    }
}

void ZkBiquadStage::PassThrough(const ZkAudioBuffer* in, ZkAudioBuffer* out, uint32_t frames)
{
    if (in == out || in->data == out->data)
        return;
    for (uint32_t channel = 0; channel < m_channels; ++channel)
        std::memmove(out->GetChannel(channel), InputChannel(in, channel), frames * sizeof(float));
}

void ZkBiquadStage::Process(const ZkAudioBuffer* in, ZkAudioBuffer* out)
{
    if (!HasMemory())
        return;
    const ZkDspAudioFormat& format = ZkDspAudioFormat::Get();
    const uint16_t steps = format.stepsPerBuffer;
    const uint32_t frames = in->validFrames;
    // A frame count that is not a multiple of 4 is not padded with zero samples to a whole step:
    // the padding would be written past the valid frames, and the zeros would pass through the
    // filter into its history, so the next buffer would start from a step to silence. The last
    // frames run one at a time instead, and the history holds the true last samples.
    out->validFrames = in->validFrames;
    ZkFilterParams& p = m_params;

    UpdateParameters();
    if (!p.bypassed)
    {
        if (p.stepCounter >= steps)
        {
            FilterRun(in, out, 0, frames);
            if (p.tailCountdown > 0 && --p.tailCountdown == 0)
            {
                p.primed = 0;
                p.bypassed = 1;
            }
            return;
        }
        const uint32_t block = std::max<uint32_t>(format.glideBlockFrames, 1u);
        for (uint32_t start = 0; start < frames; start += block)
        {
            if (p.stepCounter < steps)
            {
                ++p.stepCounter;
                ComputeCoefficients(p.currentValue + static_cast<float>(p.stepCounter) * (p.targetValue - p.currentValue) /
                                                         static_cast<float>(steps));
            }
            FilterRun(in, out, start, std::min(block, frames - start));
        }
        if (p.stepCounter >= steps)
        {
            p.currentValue = p.targetValue;
            if (p.targetValue <= ZkFilterParams::kOffThreshold)
                p.tailCountdown = ZkFilterParams::kTailBuffers;
        }
        return;
    }

    PassThrough(in, out, frames);
    if (frames < 2)
        return;
    for (uint32_t channel = 0; channel < m_channels; ++channel)
    {
        const float* source = InputChannel(in, channel);
        const uint32_t group = channel / 4u;
        const uint32_t lane = channel % 4u;
        if (!p.primed)
        {
            // Fade out the offset the filter last had, reaching 0 at the last frame.
            const float offset = m_history[group].y1[lane] - m_history[group].x1[lane];
            float* target = out->GetChannel(channel);
            const float n = static_cast<float>(frames);
            for (uint32_t i = 0; i < frames; ++i)
                target[i] = source[i] + offset * (1.0f - static_cast<float>(i + 1) / n);
        }
        KeepStateCurrent(source, frames, channel);
    }
    p.primed = 1;
}

void ZkBiquadStage::AdvanceAfterMix()
{
    ZkFilterParams& p = m_params;
    if (p.bypassed || p.stepCounter < ZkDspAudioFormat::Get().stepsPerBuffer)
        return;
    p.currentValue = p.targetValue;
    if (p.tailCountdown > 0)
    {
        if (--p.tailCountdown == 0)
        {
            p.bypassed = 1;
            p.primed = 0;
        }
    }
    else if (p.targetValue <= ZkFilterParams::kOffThreshold)
    {
        p.tailCountdown = ZkFilterParams::kTailBuffers;
    }
}

void ZkBiquadStage::KeepStateCurrent(const float* samples, uint32_t validFrames, uint32_t channel)
{
    if (!HasMemory() || validFrames < 2 || channel >= m_channels)
        return;
    BiquadLaneHistory& h = m_history[channel / 4u];
    const uint32_t lane = channel % 4u;
    h.x1[lane] = h.y1[lane] = samples[validFrames - 1];
    h.x2[lane] = h.y2[lane] = samples[validFrames - 2];
}

void ZkBiquadStage::ClearHistory()
{
    if (m_history)
        std::memset(static_cast<void*>(m_history), 0, m_historyBytes);
}
