#include "ZkDspAudioFormat.h"

ZkDspAudioFormat& ZkDspAudioFormat::Get()
{
    static ZkDspAudioFormat format;
    return format;
}

void ZkDspAudioFormat::Set(uint32_t sampleRateHz, uint32_t framesPerBuffer)
{
    ZkDspAudioFormat& format = Get();
    format.sampleRateHz = sampleRateHz;
    format.framesPerBuffer = framesPerBuffer;
    const uint32_t block = (((sampleRateHz & 0x1FFFFFFu) / 375u) + 3u) & ~3u;
    format.glideBlockFrames = block == 0 ? 4u : block;
    format.stepsPerBuffer = static_cast<uint16_t>((framesPerBuffer + format.glideBlockFrames / 2u) / format.glideBlockFrames);
}
