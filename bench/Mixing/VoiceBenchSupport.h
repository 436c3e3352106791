// Shared by the voice benchmarks: a WAVE-extensible tone in memory and one voice's frame as the
// render pass runs it.
#pragma once

#include <benchmark/benchmark.h>

#include <ZkAudiolib/Common/Bytes/ZkByteCursor.h>
#include <ZkAudiolib/Common/Playback/CZkPlayingInstance.h>
#include <ZkAudiolib/Common/Sources/CZkVoiceSource.h>
#include <ZkAudiolib/Common/Voice/CZkVoice.h>

#include <cmath>
#include <cstring>
#include <numbers>
#include <vector>

namespace VoiceBench
{
constexpr float kThresholdDb = -96.3f;

// A WAVE-extensible file of a 1 kHz tone of amplitude (of 32767; 0: silence), 16-bit, interleaved.
inline std::vector<uint8_t> ToneFile(uint32_t rate, uint16_t channels, uint32_t seconds, double amplitude)
{
    const uint32_t frames = rate * seconds;
    const uint16_t blockAlign = static_cast<uint16_t>(channels * 2);
    const uint32_t dataBytes = frames * blockAlign;
    std::vector<uint8_t> file(12 + 8 + 40 + 8 + dataBytes);
    uint8_t* p = file.data();
    std::memcpy(p, "RIFF", 4);
    ZK::StoreLittleEndian<uint32_t>(p + 4, static_cast<uint32_t>(file.size() - 8));
    std::memcpy(p + 8, "WAVEfmt ", 8);
    ZK::StoreLittleEndian<uint32_t>(p + 16, 40);
    uint8_t* format = p + 20;
    ZK::StoreLittleEndian<uint16_t>(format, 0xFFFE);
    ZK::StoreLittleEndian<uint16_t>(format + 2, channels);
    ZK::StoreLittleEndian<uint32_t>(format + 4, rate);
    ZK::StoreLittleEndian<uint32_t>(format + 8, rate * blockAlign);
    ZK::StoreLittleEndian<uint16_t>(format + 12, blockAlign);
    ZK::StoreLittleEndian<uint16_t>(format + 14, 16);
    ZK::StoreLittleEndian<uint16_t>(format + 16, 22);
    ZK::StoreLittleEndian<uint16_t>(format + 18, 16);
    ZK::StoreLittleEndian<uint32_t>(format + 20, channels == 1 ? 0x4101u : 0x3102u);
    std::memcpy(p + 60, "data", 4);
    ZK::StoreLittleEndian<uint32_t>(p + 64, dataBytes);
    auto* samples = reinterpret_cast<int16_t*>(p + 68);
    for (uint32_t f = 0; f < frames; ++f)
        for (uint16_t c = 0; c < channels; ++c)
            samples[f * channels + c] =
                static_cast<int16_t>(amplitude * std::sin(2.0 * std::numbers::pi * 1000.0 * f / rate));
    return file;
}

// One frame of the voice as the render pass runs it; the frames it delivered.
inline uint32_t RunVoiceFrame(ZK::SoundEngine::CZkVoice& voice, ZK::SoundEngine::CZkPlayingInstance& instance,
                              uint16_t framesPerBuffer)
{
    instance.CountDownStartDelay(framesPerBuffer); // the render pass's count of the start delay
    voice.MainSource()->FrameStep();
    voice.UpdateGain();
    voice.UpdateSendConnections(true, kThresholdDb);
    voice.ApplyRelatedLevels();
    if (!voice.PrepareFrame())
        return 0;
    voice.Pull();
    const uint32_t frames = voice.Buffer().validFrames;
    benchmark::DoNotOptimize(voice.Buffer().data);
    voice.ReleaseFrameBuffers();
    return frames;
}
} // namespace VoiceBench
