#include "ZkAudiolib/Common/Voice/CZkModulationStage.h"

#include <ZK/SoundEngine/Common/ZkMixer.h>

#include <algorithm>
#include <cstddef>

namespace ZK::SoundEngine
{
// Render path.
void CZkModulationStage::Process(ZkAudioBuffer& buffer)
{
    if (buffer.data == nullptr || buffer.validFrames == 0 || m_owner == nullptr)
        return;
    const CZkModulatorLinks* links = m_owner->GetModulatorLinks();
    if (links == nullptr)
        return;
    uint32_t audioRate = 0;
    uint32_t controlRate = 0;
    links->CountForMask(kVolumeMask, audioRate, controlRate);
    if (audioRate == 0 && controlRate == 0)
        return;
    if (m_owner->HasConstantModulation() && m_owner->GetStopFrame() == -1)
    {
        const float gain = links->CurrentValue();
        ApplyControlRate(buffer, ZkControlRateModulation{gain, gain});
        return;
    }
    ZkAudioRateModulation audio[kMaxModulators];
    ZkControlRateModulation control[kMaxModulators];
    if (links->GatherRamps(kVolumeMask, audio, control) != ZK_Success)
        return;
    for (uint32_t i = 0; i < std::min(audioRate, kMaxModulators); ++i)
        ApplyAudioRate(buffer, audio[i]);
    for (uint32_t i = 0; i < std::min(controlRate, kMaxModulators); ++i)
        ApplyControlRate(buffer, control[i]);
}

void CZkModulationStage::ApplyAudioRate(ZkAudioBuffer& buffer, const ZkAudioRateModulation& modulation)
{
    const uint32_t frames = buffer.maxFrames;
    for (uint32_t channel = 0; channel < buffer.NumChannels(); ++channel)
    {
        float* samples = buffer.GetChannel(channel);
        for (uint32_t k = 0; k < frames; ++k)
            samples[k] *= modulation.scale * modulation.buffer[k] + modulation.offset;
    }
}

void CZkModulationStage::ApplyControlRate(ZkAudioBuffer& buffer, const ZkControlRateModulation& modulation)
{
    // The engine's gain kernel, in place: a constant gain, or a ramp of (end - start) / frames per
    // frame over the whole block.
    ZkMixer::ApplyGain(&buffer, &buffer, ZkRamp(modulation.start, modulation.end), false);
}
} // namespace ZK::SoundEngine
