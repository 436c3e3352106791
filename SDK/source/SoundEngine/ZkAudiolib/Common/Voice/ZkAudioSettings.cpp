#include "ZkAudiolib/Common/Voice/ZkAudioSettings.h"

#include "ZkAudiolib/Common/Buffers/AudioBufferPool.h"

#include <Plugins/Effects/Common/ZkDspAudioFormat.h>

#include <atomic>

namespace ZK::SoundEngine
{
namespace
{
constexpr uint32_t kMillisecondsPerSecond = 1000;
constexpr uint32_t kDefaultBufferDurationMs = 21;
constexpr uint32_t kDefaultTimeoutMs = 5;

std::atomic<uint32_t> g_bufferDurationMs{kDefaultBufferDurationMs};
std::atomic<uint32_t> g_engineThreadTimeoutMs{kDefaultTimeoutMs};
} // namespace

uint32_t ZkAudioSettings::SampleRate()
{
    return ZkDspAudioFormat::Get().sampleRateHz;
}

uint16_t ZkAudioSettings::FramesPerBuffer()
{
    return static_cast<uint16_t>(ZkDspAudioFormat::Get().framesPerBuffer);
}

uint32_t ZkAudioSettings::BufferDurationMs()
{
    return g_bufferDurationMs.load(std::memory_order_relaxed);
}

uint32_t ZkAudioSettings::EngineThreadTimeoutMs()
{
    return g_engineThreadTimeoutMs.load(std::memory_order_relaxed);
}

void ZkAudioSettings::SetEngineThreadTimeoutMs(uint32_t milliseconds)
{
    g_engineThreadTimeoutMs.store(milliseconds, std::memory_order_relaxed);
}

uint32_t ZkAudioSettings::BlockFrames()
{
    return ZkDspAudioFormat::Get().glideBlockFrames;
}

uint16_t ZkAudioSettings::BlocksPerBuffer()
{
    return ZkDspAudioFormat::Get().stepsPerBuffer;
}

void SetAudioFormatGlobals(uint32_t sampleRate, uint16_t framesPerBuffer)
{
    ZkDspAudioFormat::Set(sampleRate, framesPerBuffer);
    AudioBufferPool::SetFramesPerBuffer(framesPerBuffer);
    const uint32_t duration =
        sampleRate == 0 ? 0 : static_cast<uint32_t>(uint64_t{framesPerBuffer} * kMillisecondsPerSecond / sampleRate);
    g_bufferDurationMs.store(duration, std::memory_order_relaxed);
    g_engineThreadTimeoutMs.store(duration / 4, std::memory_order_relaxed);
}
} // namespace ZK::SoundEngine
