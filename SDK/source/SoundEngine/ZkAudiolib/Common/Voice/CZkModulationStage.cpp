#include "ZkAudiolib/Common/Voice/CZkModulationStage.h"

#include "ZkAudiolib/Common/Voice/ModulationKernels.h"

namespace ZK::SoundEngine
{
// Render path: no allocation, no locks.
void CZkModulationStage::Process(ZkAudioBuffer& buffer)
{
    if (buffer.data == nullptr || buffer.validFrames == 0 || m_owner == nullptr)
        return;
    // The gains multiply: the order of the two sets does not matter.
    if (const CZkModulatorLinks* links = m_owner->GetModulatorLinks())
        ProcessLinks(buffer, *links);
    if (const CZkModulatorLinks* links = m_owner->GetContextModulatorLinks())
        ProcessLinks(buffer, *links);
}

void CZkModulationStage::ProcessLinks(ZkAudioBuffer& buffer, const CZkModulatorLinks& links)
{
    uint32_t audioRate = 0;
    uint32_t controlRate = 0;
    links.CountForMask(kVolumeMask, audioRate, controlRate);
    if (audioRate == 0 && controlRate == 0)
        return;
    if (m_owner->HasConstantModulation() && m_owner->GetStopFrame() == -1)
    {
        // Nothing moves during the play: one constant gain.
        const float gain = links.GetGain(kVolumeMask);
        ApplyControlRate(buffer, ZkControlRateModulation{gain, gain});
        return;
    }
    ZkAudioRateModulation audio[kMaxModulators];
    ZkControlRateModulation control[kMaxModulators];
    links.GatherRamps(kVolumeMask, audio, kMaxModulators, audioRate, control, kMaxModulators, controlRate);
    for (uint32_t i = 0; i < audioRate; ++i)
        ApplyAudioRate(buffer, audio[i]);
    for (uint32_t i = 0; i < controlRate; ++i)
        ApplyControlRate(buffer, control[i]);
}

void CZkModulationStage::ApplyAudioRate(ZkAudioBuffer& buffer, const ZkAudioRateModulation& modulation)
{
    const ZkModulationKernels::Forms forms = ZkModulationKernels::Select();
    for (uint32_t channel = 0; channel < buffer.NumChannels(); ++channel)
        forms.signal(buffer.GetChannel(channel), buffer.maxFrames, modulation.buffer, modulation.scale, modulation.offset);
}

void CZkModulationStage::ApplyControlRate(ZkAudioBuffer& buffer, const ZkControlRateModulation& modulation)
{
    const uint32_t frames = buffer.maxFrames;
    if (frames == 0)
        return;
    // Equal ends give a step of exactly 0: a constant gain.
    const float step = (modulation.end - modulation.start) / static_cast<float>(frames);
    const ZkModulationKernels::Forms forms = ZkModulationKernels::Select();
    for (uint32_t channel = 0; channel < buffer.NumChannels(); ++channel)
        forms.ramp(buffer.GetChannel(channel), frames, modulation.start, step);
}
} // namespace ZK::SoundEngine
