// The plug-in mixing service: thin forwarding onto ZkMixer, turning (previous, next) gains into
// the base ramp and one-over-frames factor the kernels take.
#include <ZK/SoundEngine/Common/ZkMixer.h>
#include <ZK/SoundEngine/Common/ZkMixerService.h>

namespace ZK
{
namespace
{
float OneOver(uint32_t frames)
{
    return frames == 0 ? 0.0f : 1.0f / static_cast<float>(frames);
}
} // namespace

void ZkMixerService::MixNinNChannels(ZkAudioBuffer* in, ZkAudioBuffer* out, float previousGain, float nextGain,
                                     const float* previousMatrix, const float* nextMatrix)
{
    ZkRamp base(previousGain, nextGain);
    ZkMixer::MixNinNChannels(in, out, base, previousMatrix, nextMatrix, OneOver(out->maxFrames), out->maxFrames);
}

void ZkMixerService::MixOneInNChannels(float* in, ZkAudioBuffer* out, float previousGain, float nextGain,
                                       const float* previousVolumes, const float* nextVolumes)
{
    ZkChannelConfig config = out->channelConfig;
    if (config.HasLfe())
    {
        config.word &= ~ZkChannelConfig::kLfeBitInWord;
        config.word = (config.word & ~0xFFu) | (config.NumChannels() - 1);
    }
    ZkRamp base(previousGain, nextGain);
    ZkMixer::MixOneInNChannels(in, out, config, base, previousVolumes, nextVolumes, OneOver(out->maxFrames),
                               out->maxFrames);
}

void ZkMixerService::MixChannel(float* in, float* out, float previousGain, float nextGain, uint32_t frames)
{
    if (frames == 0)
        return;
    ZkMixer::MixChannel(in, out, previousGain, (nextGain - previousGain) * OneOver(frames), frames);
}

void ZkMixerService::ApplyGainAndInterleave(ZkAudioBuffer* in, ZkAudioBuffer* out, ZkRamp gain, bool toShort)
{
    ZkMixer::ApplyGainAndInterleave(in, out, gain, toShort);
}

void ZkMixerService::ApplyGain(ZkAudioBuffer* in, ZkAudioBuffer* out, ZkRamp gain, bool toShort)
{
    ZkMixer::ApplyGain(in, out, gain, toShort);
}

ZkMixerService* ZkMixerService::Get()
{
    static ZkMixerService service;
    return &service;
}
} // namespace ZK
