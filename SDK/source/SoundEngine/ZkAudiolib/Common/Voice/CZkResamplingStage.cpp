#include "ZkAudiolib/Common/Voice/CZkResamplingStage.h"

#include "ZkAudiolib/Common/Buffers/AudioBufferPool.h"
#include "ZkAudiolib/Common/Voice/ZkAudioSettings.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace ZK::SoundEngine
{
ZKRESULT CZkResamplingStage::Setup(const ZkAudioFormat& format, int32_t* startDelay)
{
    Term();
    m_resampler.Init();
    m_format = format;
    m_startDelay = startDelay;
    m_primeWithSilence = 1;
    hold = 0;
    m_noMoreInput = 0;
    m_positionCaptured = 0;
    m_producedSinceReset = 0;
    return m_resampler.Setup(format, ZkAudioSettings::SampleRate());
}

void CZkResamplingStage::SetConverter(const ZkChannelConverter* converter)
{
    if (converter != nullptr)
        m_resampler.SetChannelMapping(converter->config, converter->mapping);
}

void CZkResamplingStage::ApplyPitch(uint32_t pitchMode)
{
    m_pitchMode = pitchMode;
    // Pitch mode 0 jumps to the new pitch (and picks the kernel for it); the others glide.
    m_resampler.SetPitch(GetPitch(), pitchMode != kPitchModeJump);
}

uint32_t CZkResamplingStage::PrimingFrames() const
{
    const float speed = m_resampler.GetPitchRatio();
    const float delay = m_startDelay != nullptr ? static_cast<float>(*m_startDelay) : 0.0f;
    if (!(speed > 0.0f))
        return 0;
    const float frames = std::round((static_cast<float>(ZkAudioSettings::FramesPerBuffer()) * speed + delay) / speed);
    return frames > 0.0f ? static_cast<uint32_t>(frames) : 0u;
}

// Render path from here on.
ZKRESULT CZkResamplingStage::StartFrame(ZkPipelineBuffer& buffer, uint32_t pitchMode)
{
    m_maxFrames = buffer.maxFrames;
    ApplyPitch(pitchMode);
    if (m_held.validFrames != 0)
    {
        buffer.status = ZK_DataReady;
        return Convert(buffer);
    }
    buffer.status = m_noMoreInput != 0 ? ZK_NoMoreData : ZK_DataNeeded;
    return buffer.status;
}

void CZkResamplingStage::ReleaseHeldInput()
{
    if (m_held.data != nullptr && m_input != nullptr)
        m_input->ReleaseBuffer();
    m_held = ZkPipelineBuffer{};
    m_resampler.ResetInputOffset();
}

bool CZkResamplingStage::ConsumeStartDelay()
{
    if (m_startDelay == nullptr || *m_startDelay <= 0)
        return true;
    const uint32_t delay = static_cast<uint32_t>(*m_startDelay);
    if (delay >= m_held.validFrames)
    {
        *m_startDelay -= static_cast<int32_t>(m_held.validFrames);
        ReleaseHeldInput();
        return false;
    }
    m_held.validFrames = static_cast<uint16_t>(m_held.validFrames - delay);
    m_resampler.inputOffset += delay;
    *m_startDelay = 0;
    return true;
}

void CZkResamplingStage::DeliverTo(ZkPipelineBuffer& buffer, ZKRESULT status)
{
    m_outputDelivered = 1;
    m_output.state = status;
    buffer.TakeBlock(m_output, m_output.position);
    buffer.markers = m_output.markers;
    buffer.status = status;
}

ZKRESULT CZkResamplingStage::Convert(ZkPipelineBuffer& buffer)
{
    if (buffer.status == ZK_NoMoreData)
        m_noMoreInput = 1;
    if (m_held.validFrames == 0)
    {
        if (buffer.status == ZK_DataReady && buffer.validFrames == 0)
        {
            buffer.status = ZK_DataNeeded;
            return ZK_DataNeeded;
        }
        if (buffer.validFrames != 0)
        {
            m_held.TakeBlock(buffer, buffer.position);
            m_held.markers = buffer.markers;
        }
    }
    if (m_output.data == nullptr)
    {
        m_output.channelConfig = m_format.channelConfig;
        m_output.maxFrames = m_maxFrames != 0 ? m_maxFrames : buffer.maxFrames;
        if (AudioBufferPool::GetCachedBuffer(m_output) != ZK_Success)
        {
            buffer.status = ZK_Fail;
            return ZK_Fail;
        }
        m_output.maxFrames = m_maxFrames != 0 ? m_maxFrames : m_output.maxFrames;
        m_output.validFrames = 0;
        m_outputDelivered = 0;
        m_output.markers = ZkMarkerWindow{};
        m_output.position = kUnknownPlayPosition;
        m_resampler.ResetOffsets();
    }
    m_resampler.framesWanted = m_output.maxFrames;

    if (m_primeWithSilence != 0)
    {
        const uint32_t silence = std::min<uint32_t>(PrimingFrames(), m_output.maxFrames);
        // A voice built frames ahead of its start (a streamed source given time to fill) renders
        // whole frames of silence until the frame its start falls in; the started list counts the
        // delay down in between, so that frame primes with the part of it that is left.
        m_primeWithSilence = silence == m_output.maxFrames && m_startDelay != nullptr && *m_startDelay > 0 ? 1 : 0;
        for (uint32_t c = 0; c < m_output.NumChannels(); ++c)
            std::memset(m_output.GetChannel(c), 0, sizeof(float) * silence);
        m_output.validFrames = static_cast<uint16_t>(silence);
        m_resampler.outputOffset = silence;
        if (silence == m_output.maxFrames)
        {
            DeliverTo(buffer, ZK_DataReady);
            return ZK_DataReady;
        }
    }

    if (m_held.validFrames != 0 && !ConsumeStartDelay())
    {
        buffer.status = m_noMoreInput != 0 ? ZK_NoMoreData : ZK_DataNeeded;
        return buffer.status;
    }

    ZKRESULT status = ZK_DataNeeded;
    if (m_held.validFrames != 0)
    {
        if (m_output.markers.count == 0)
            m_output.markers.first = m_held.markers.first;
        if (m_positionCaptured == 0 && m_held.HasKnownPosition())
        {
            m_output.position = m_held.position;
            m_output.position.positionSamples += m_resampler.inputOffset;
            m_positionCaptured = 1;
        }
        const uint32_t offset = m_resampler.inputOffset;
        const uint16_t before = m_held.validFrames;
        const uint16_t producedBefore = m_output.validFrames;
        status = m_resampler.Execute(&m_held, &m_output);
        const uint32_t consumed = static_cast<uint32_t>(before - m_held.validFrames);
        if (markers != nullptr)
            ZkMarkerList::RemoveRange(markers, m_held.markers, m_output.markers.count, offset, consumed);
        m_producedSinceReset += static_cast<uint32_t>(m_output.validFrames - producedBefore);
        m_output.position.rate = m_resampler.GetPitchRatio();
    }
    if (m_held.validFrames == 0)
    {
        ReleaseHeldInput();
        if (status != ZK_DataReady)
            status = m_noMoreInput != 0 ? ZK_NoMoreData : ZK_DataNeeded;
    }
    if (status == ZK_DataReady || status == ZK_NoMoreData)
    {
        DeliverTo(buffer, status);
        return status;
    }
    buffer.status = status;
    return status;
}

void CZkResamplingStage::SwitchSource(CZkVoicePipelineStage* source, const ZkAudioFormat& format, int32_t* startDelay)
{
    SetInput(source);
    m_format = format;
    // The start delay belongs to the new source's instance: the old one may be freed after the switch.
    m_startDelay = startDelay;
    m_resampler.SwitchSource(format, GetPitch(), ZkAudioSettings::SampleRate());
    m_noMoreInput = 0;
}

ZKRESULT CZkResamplingStage::SkipFrames(uint32_t& frames)
{
    ApplyPitch(m_pitchMode);
    const double step = static_cast<double>(m_resampler.currentStep);
    uint32_t needed = static_cast<uint32_t>(std::lround(step / 65536.0 * frames));
    uint32_t consumed = 0;
    ZKRESULT result = ZK_DataReady;
    // The start delay passes first, in source frames.
    if (m_startDelay != nullptr && *m_startDelay > 0)
    {
        const uint32_t waited = std::min<uint32_t>(static_cast<uint32_t>(*m_startDelay), needed);
        *m_startDelay -= static_cast<int32_t>(waited);
        needed -= waited;
        consumed += waited;
    }
    const uint32_t fromHeld = std::min<uint32_t>(needed, m_held.validFrames);
    if (fromHeld != 0)
    {
        m_held.validFrames = static_cast<uint16_t>(m_held.validFrames - fromHeld);
        m_resampler.inputOffset += fromHeld;
        needed -= fromHeld;
        consumed += fromHeld;
        if (m_held.validFrames == 0)
            ReleaseHeldInput();
    }
    if (needed != 0)
    {
        uint32_t skipped = needed;
        result = CZkVoicePipelineStage::SkipFrames(skipped);
        consumed += skipped;
        if (result == ZK_NoMoreData)
            m_noMoreInput = 1;
    }
    frames = step > 0.0 ? static_cast<uint32_t>(std::lround(65536.0 / step * consumed)) : 0u;
    return result == ZK_NoMoreData ? ZK_NoMoreData : ZK_DataReady;
}

void CZkResamplingStage::ClearHistory()
{
    const uint32_t channels = m_resampler.channelCount;
    if (m_resampler.history != nullptr)
        std::memset(m_resampler.history, 0, sizeof(float) * channels);
    else
        m_resampler.inlineHistory = CZkResampler::InlineHistory{};
    m_resampler.phase = 0x10000;
    m_resampler.ResetInputOffset();
}

void CZkResamplingStage::EnterVirtual(uint32_t mode)
{
    if (mode != kVirtualModeResume)
    {
        // The voice comes back elsewhere in the media: what was converted for here is stale.
        ReleaseOutput();
        ReleaseHeldInput();
        ClearHistory();
    }
    if (mode == kVirtualModeFromStart)
        hold = 0;
    if (hold == 0)
        CZkVoicePipelineStage::EnterVirtual(mode);
}

ZKRESULT CZkResamplingStage::LeaveVirtual(uint32_t mode, bool flag)
{
    if (mode == kVirtualModeSkipTime)
        ReleaseHeldInput();
    return hold != 0 ? ZK_Success : CZkVoicePipelineStage::LeaveVirtual(mode, flag);
}

ZKRESULT CZkResamplingStage::Restart()
{
    // An output block still being filled stays: its frames were converted from where the source
    // stood before, and the source goes on from there.
    ReleaseHeldInput();
    ClearHistory();
    m_noMoreInput = 0;
    return hold != 0 ? ZK_Success : CZkVoicePipelineStage::Restart();
}

void CZkResamplingStage::ReleaseBuffer()
{
    // A block that was not handed on (the source starved, or failed, before it was full) holds
    // frames taken from the source already: they are delivered by a later frame, as the held input
    // is converted by one.
    if (m_output.data != nullptr && m_outputDelivered == 0)
        return;
    ReleaseOutput();
}

void CZkResamplingStage::ReleaseOutput()
{
    if (m_output.data != nullptr)
        AudioBufferPool::ReleaseCachedBuffer(m_output);
    m_output = ZkPipelineBuffer{};
    m_outputDelivered = 0;
    m_positionCaptured = 0;
    m_producedSinceReset = 0;
    m_resampler.ResetOffsets();
}

void CZkResamplingStage::ConsumeMarkers(uint32_t count)
{
    const auto lower = [count](ZkMarkerWindow& window) { window.first -= std::min(count, window.first); };
    lower(m_held.markers);
    lower(m_output.markers);
    CZkVoicePipelineStage::ConsumeMarkers(count);
}

void CZkResamplingStage::RelocateInput(const uint8_t* newBase, const uint8_t* oldBase)
{
    if (m_held.data != nullptr)
        m_held.data = const_cast<uint8_t*>(newBase) + (static_cast<const uint8_t*>(m_held.data) - oldBase);
}

void CZkResamplingStage::Term()
{
    ReleaseOutput();
    m_held = ZkPipelineBuffer{};
    m_resampler.Term();
}
} // namespace ZK::SoundEngine
