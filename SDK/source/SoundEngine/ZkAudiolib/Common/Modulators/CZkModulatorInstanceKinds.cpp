#include "ZkAudiolib/Common/Modulators/CZkModulatorInstanceKinds.h"

#include "ZkAudiolib/Common/Modulators/ZkModulatorKernels.h"
#include "ZkAudiolib/Common/Modulators/ZkModulatorProperties.h"

#include <algorithm>
#include <cmath>

namespace ZK::SoundEngine
{
namespace
{
constexpr float kPercent = 0.01f;
constexpr float kAudioRateLfoLimit = 12000.0f; // Hz x samples per buffer
constexpr float kTwoPi = 6.2831855f;
} // namespace

// --- LFO ---

bool CZkLfoInstance::SetParam(uint32_t parameter, float value)
{
    switch (parameter)
    {
    case ZkModParam_LfoDepth: m_params.depth = value * kPercent; return true;
    case ZkModParam_LfoAttack: m_params.attack = Samples(value); return true;
    case ZkModParam_LfoFrequency:
        m_params.frequency = value;
        m_params.parametersChanged = 1;
        UpdateAudioRate();
        return true;
    case ZkModParam_LfoWaveform: m_params.waveform = static_cast<int32_t>(value); break;
    case ZkModParam_LfoSmoothing: m_params.smoothing = value * kPercent; break;
    case ZkModParam_LfoPulseWidth: m_params.pulseWidth = value * kPercent; break;
    default: return false; // the initial phase of a running LFO stays
    }
    m_params.parametersChanged = 1;
    return true;
}

void CZkLfoInstance::Advance(uint32_t frames)
{
    const auto* output = static_cast<const ZkLfoOutput*>(PendingOutput());
    if (!AdvanceBy(frames))
        return;
    ZkLfoOscillator& oscillator = m_params.oscillator;
    if (output != nullptr)
    {
        oscillator = output->oscillator;
        if (oscillator.waveform == 0)
            oscillator.phase = std::fmod(oscillator.phase, kTwoPi);
        else if (oscillator.waveform != 5)
            oscillator.phase = std::fmod(oscillator.phase, 1.0f);
    }
    if (m_params.parametersChanged != 0)
    {
        ZkModulatorMath::ComputeLfoCoefficients(oscillator, m_params.waveform, m_params.frequency, m_params.smoothing);
        m_params.parametersChanged = 0;
    }
}

void CZkLfoInstance::UpdateAudioRate()
{
    const uint32_t frames = BufferFrames();
    m_header.audioRateFrames =
        ModulatorRunsAtAudioRate() && m_params.frequency > kAudioRateLfoLimit / static_cast<float>(frames) ? frames : 0;
}

void CZkLfoInstance::PostInit()
{
    if (m_header.audioRateFrames != 0)
        return;
    // One sample of the oscillator at full depth, without moving it.
    ZkLfoRecord record{m_header, m_params};
    record.header.elapsedFrames = 1;
    record.header.audioRateFrames = 0;
    record.params.attack = 0;
    ZkLfoOutput output;
    RunLfoKernel(&record, &output, 1, 1);
    m_header.currentValue = output.lastValue;
    m_hasValue = 1;
}

// --- Envelope ---

bool CZkEnvelopeInstance::SetParam(uint32_t parameter, float value)
{
    switch (parameter)
    {
    case ZkModParam_EnvAttackTime:
        m_params.attack = Samples(value);
        UpdateAudioRate();
        return true;
    case ZkModParam_EnvAttackCurve: m_params.attackCurve = value * kPercent; return true;
    case ZkModParam_EnvDecayTime:
        m_params.decay = Samples(value);
        UpdateAudioRate();
        return true;
    case ZkModParam_EnvSustainLevel: m_params.sustainLevel = value * kPercent; return true;
    case ZkModParam_EnvSustainTime:
        m_header.releaseFrame =
            value >= 0.0f ? int64_t{Samples(value)} + m_params.decay + m_params.attack : kNeverFrame;
        return true;
    case ZkModParam_EnvReleaseTime: m_params.release = Samples(value); return true;
    default: return false;
    }
}

void CZkEnvelopeInstance::Advance(uint32_t frames) { AdvanceBy(frames); }

void CZkEnvelopeInstance::UpdateAudioRate()
{
    const uint32_t frames = BufferFrames();
    m_header.audioRateFrames =
        ModulatorRunsAtAudioRate() && std::min(m_params.attack, m_params.decay) < int64_t{2} * frames ? frames : 0;
}

void CZkEnvelopeInstance::PostInit()
{
    if (m_params.startLevel > 0.0f)
        m_header.startOffset = 0;
    if (m_params.attack == 0)
        m_params.startLevel = m_params.decay == 0 ? m_params.sustainLevel : 1.0f;
}

// --- Time ---

bool CZkTimeInstance::SetParam(uint32_t parameter, float value)
{
    switch (parameter)
    {
    case ZkModParam_TimePlaybackRate: m_params.playbackRate = value; return true;
    case ZkModParam_TimeInitialDelay: return true; // a running clock's delay is over
    default: return false;
    }
}

void CZkTimeInstance::Advance(uint32_t frames)
{
    int64_t advance = 0;
    if (m_params.initialDelayRemaining > 0)
        m_params.initialDelayRemaining = std::max<int64_t>(0, int64_t{m_params.initialDelayRemaining} - frames);
    else if (m_params.started == 0)
        m_params.started = 1;
    else
        advance = static_cast<int64_t>(static_cast<double>(frames) * m_params.playbackRate + 0.5);
    AdvanceBy(advance);
}

void CZkTimeInstance::UpdateAudioRate()
{
    m_header.audioRateFrames = ModulatorRunsAtAudioRate() ? BufferFrames() : 0;
}
} // namespace ZK::SoundEngine
