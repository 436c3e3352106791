#include "MusicEngine/Midi/ZkMidiTrackSchedule.h"

#include <cmath>

namespace ZK::MusicEngine
{
namespace
{
// The length of a sample in ms as the player counts it (a hair under 1000 / rate, so that a frame's
// span never reaches the tick that starts the next frame).
constexpr float kMsPerSecond = 999.99994f;
} // namespace

ZKRESULT ZkMidiTrackSchedule::Init(const uint8_t* data, uint32_t size, float tempo, bool loop, uint32_t startOffset,
                                   uint32_t firstFrameOffset, uint32_t sampleRate)
{
    if (data == nullptr || size == 0 || sampleRate == 0)
        return ZK_Fail;
    if (m_reader.Init(data, size) != ZK_Success)
        return ZK_Fail;
    m_sampleRate = sampleRate;
    m_reader.SetTempo(tempo);
    const double startMs = std::round(static_cast<double>(startOffset) * 1000.0 / sampleRate);
    if (m_reader.Seek(static_cast<float>(startMs)) != ZK_Success)
        return ZK_Fail;
    m_reader.SetLoop(loop);
    m_firstFrameOffset = firstFrameOffset;
    return ZK_Success;
}

void ZkMidiTrackSchedule::Stop(uint32_t offset)
{
    if (offset == kStopNow)
    {
        m_flags |= kFlagStopRequested | kFlagStopped;
        m_end = 0;
        return;
    }
    if (offset < m_end)
        m_end = offset;
}

uint32_t ZkMidiTrackSchedule::BeginFrame(uint32_t frames, float& spanMs)
{
    // A first-frame offset beyond this frame waits for the next one rather than wrapping the span.
    const uint32_t leadIn = m_firstFrameOffset < frames ? m_firstFrameOffset : frames;
    m_firstFrameOffset -= leadIn;
    if (m_end != kNoEnd)
        m_end = m_end > leadIn ? m_end - leadIn : 0;
    spanMs = kMsPerSecond / static_cast<float>(m_sampleRate) * static_cast<float>(frames - leadIn);
    return leadIn;
}

uint32_t ZkMidiTrackSchedule::SampleOffset(float offsetMs) const
{
    const double samples = std::round(static_cast<double>(offsetMs) * m_sampleRate * 0.001);
    return samples <= 0.0 ? 0u : static_cast<uint32_t>(samples);
}
} // namespace ZK::MusicEngine
