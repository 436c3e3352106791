#include "ZkAudiolib/Common/Voice/CZkOutOfPlaceEffectStage.h"

#include "ZkAudiolib/Common/Panning/ZkSpeakerPan.h"
#include "ZkAudiolib/Common/Voice/ZkAudioSettings.h"

#include <Plugins/Effects/Common/ZkPluginMemAlloc.h>
#include <ZK/SoundEngine/Common/ZkMixer.h>

#include <algorithm>
#include <cstring>

namespace ZK::SoundEngine
{
CZkOutOfPlaceEffectStage::CZkOutOfPlaceEffectStage()
{
    m_output.state = ZK_DataNeeded;
    m_output.status = ZK_DataNeeded;
}

CZkOutOfPlaceEffectStage::~CZkOutOfPlaceEffectStage()
{
    if (m_output.data != nullptr)
        ZK::MemoryMgr::Free(kPool, m_output.data);
}

ZKRESULT CZkOutOfPlaceEffectStage::InitPlugin(CZkEffectPluginContext& context, ZK::IZkPluginParam* params,
                                              ZK::ZkEffectFormat& format)
{
    // The plug-in writes the configuration it outputs into the format.
    return m_plugin->Init(&CZkPluginMemAlloc::ForInstances(), &context, params, format);
}

void CZkOutOfPlaceEffectStage::ResetHeldInput()
{
    m_held = ZkPipelineBuffer{};
    m_heldOffset = 0;
}

void CZkOutOfPlaceEffectStage::TakeInput(ZkPipelineBuffer& buffer)
{
    m_held.TakeBlock(buffer, buffer.position);
    m_held.markers = buffer.markers;
    m_held.status = buffer.status;
    m_heldOffset = 0;
}

// Render path.
ZKRESULT CZkOutOfPlaceEffectStage::Execute(ZkPipelineBuffer& buffer)
{
    if (buffer.status == ZK_NoMoreData)
        m_finished = 1;
    if (m_held.validFrames == 0 && buffer.validFrames != 0)
        TakeInput(buffer);
    if (m_output.data == nullptr)
    {
        const uint16_t frames = std::max(buffer.maxFrames, m_callerMaxFrames);
        m_output.data = AllocateBlock(frames, m_outputConfig);
        if (m_output.data == nullptr)
        {
            buffer.status = ZK_Fail;
            return ZK_Fail;
        }
        m_output.maxFrames = frames;
        m_output.channelConfig = m_outputConfig;
        m_output.validFrames = 0;
        m_output.markers = ZkMarkerWindow{};
    }
    const ZKRESULT status = Process();
    if (status == ZK_DataReady || status == ZK_NoMoreData)
    {
        buffer.TakeBlock(m_output, m_output.position);
        buffer.markers = m_output.markers;
    }
    buffer.status = status;
    return status;
}

ZKRESULT CZkOutOfPlaceEffectStage::Process()
{
    m_taken = 0;
    const uint16_t producedBefore = m_output.validFrames;
    if (m_output.markers.count == 0)
        m_output.markers.first = m_held.markers.first;
    ZKRESULT status;
    if (!IsBypassed())
    {
        m_resetWhileBypassed = 0;
        const uint16_t before = m_held.validFrames;
        m_held.state = m_finished != 0 ? ZK_NoMoreData : ZK_DataReady;
        static_cast<ZK::IZkOutOfPlaceEffectPlugin*>(m_plugin)->Execute(&m_held, m_heldOffset, &m_output);
        m_taken = static_cast<uint16_t>(before - m_held.validFrames);
        status = m_output.state;
    }
    else
    {
        ResetOncePerBypass();
        status = MixBypassed();
    }

    if (markers != nullptr)
        ZkMarkerList::RemoveRange(markers, m_held.markers, m_output.markers.count, m_heldOffset, m_taken);
    m_heldOffset += m_taken;
    m_consumedTotal += m_taken;
    m_consumedSinceReset += m_taken;
    m_consumedSinceEstimate += m_taken;
    m_output.state = status;
    m_output.status = status;
    if (tracksPosition)
        StampPosition(static_cast<uint32_t>(m_output.validFrames - producedBefore));
    if (m_held.validFrames == 0 && m_held.data != nullptr)
    {
        if (m_input != nullptr)
            m_input->ReleaseBuffer();
        ResetHeldInput();
    }
    return status;
}

ZKRESULT CZkOutOfPlaceEffectStage::MixBypassed()
{
    const uint32_t held = m_held.validFrames;
    const uint32_t passed = std::min<uint32_t>(held, m_output.maxFrames);
    // Whole groups of 16 frames, but never past the end of either block.
    const uint32_t inputRoom = m_held.data != nullptr ? m_held.maxFrames - m_heldOffset : 0;
    const uint32_t groups = (passed + kBypassGroupFrames - 1) / kBypassGroupFrames * kBypassGroupFrames;
    const uint32_t frames = std::min({groups, inputRoom, static_cast<uint32_t>(m_output.maxFrames)});

    const ZkChannelConfig outConfig = m_output.channelConfig;
    for (uint32_t c = 0; c < outConfig.NumChannels(); ++c)
        std::memset(m_output.GetChannel(c), 0, sizeof(float) * frames);
    if (frames != 0)
    {
        // The held block seen from its first unconsumed frame (the channel stride stays).
        ZkAudioBuffer in = m_held;
        in.data = m_held.GetChannel(0) + m_heldOffset;
        for (uint32_t c = 0; c < in.NumChannels(); ++c)
            if (frames > passed)
                std::memset(in.GetChannel(c) + passed, 0, sizeof(float) * (frames - passed));
        float matrix[kMaxBypassMatrixFloats];
        const size_t floats = size_t{in.NumChannels()} * ((outConfig.NumChannels() + 3u) & ~3u);
        if (floats <= kMaxBypassMatrixFloats)
        {
            CZkSpeakerPan::ComputeSpeakerVolumesDirect(in.channelConfig, outConfig, 100.0f, matrix);
            ZkRamp unity(1.0f, 1.0f);
            ZkMixer::MixNinNChannels(&in, &m_output, unity, matrix, matrix, 1.0f / static_cast<float>(frames),
                                     static_cast<unsigned short>(frames));
        }
    }
    // The mix counts whole groups; what the output holds is what passed.
    m_output.validFrames = static_cast<uint16_t>(passed);
    m_taken = static_cast<uint16_t>(passed);
    m_held.validFrames = static_cast<uint16_t>(held - passed);
    if (m_finished != 0 && m_held.validFrames == 0)
        return ZK_NoMoreData;
    return m_output.validFrames == m_output.maxFrames ? ZK_DataReady : ZK_DataNeeded;
}

void CZkOutOfPlaceEffectStage::StampPosition(uint32_t produced)
{
    m_smoothedInput = kSmoothing * static_cast<float>(m_taken) + (1.0f - kSmoothing) * m_smoothedInput;
    m_smoothedOutput = kSmoothing * static_cast<float>(produced) + (1.0f - kSmoothing) * m_smoothedOutput;
    const bool ready = m_output.state == ZK_DataReady || m_output.state == ZK_NoMoreData;
    if (!ready || !m_held.HasKnownPosition())
        return;
    m_output.position.positionSamples = m_held.position.positionSamples + m_consumedTotal;
    m_output.position.durationSamples = m_held.position.durationSamples;
    m_output.position.sampleRate = m_held.position.sampleRate;
    m_output.position.rate = m_smoothedOutput > 0.0f ? m_smoothedInput / m_smoothedOutput : 1.0f;
}

ZKRESULT CZkOutOfPlaceEffectStage::GetPendingOutput(ZkPipelineBuffer& buffer)
{
    m_callerMaxFrames = buffer.maxFrames;
    if (m_finished != 0)
    {
        buffer.status = ZK_NoMoreData;
        return Execute(buffer);
    }
    if (m_held.validFrames != 0)
        return Execute(buffer);
    return ZK_DataNeeded;
}

ZKRESULT CZkOutOfPlaceEffectStage::SkipFrames(uint32_t& frames)
{
    if (m_finished != 0)
        return ZK_NoMoreData;
    uint32_t owed = frames;
    static_cast<ZK::IZkOutOfPlaceEffectPlugin*>(m_plugin)->SkipTime(owed);
    m_consumedTotal += owed;
    const uint32_t perBuffer = ZkAudioSettings::FramesPerBuffer();
    ZKRESULT result = ZK_DataReady;
    while (owed >= perBuffer && m_input != nullptr)
    {
        uint32_t skipped = perBuffer;
        result = m_input->SkipFrames(skipped);
        if (result != ZK_DataReady)
            break;
        owed -= perBuffer;
    }
    if (result == ZK_NoMoreData)
        m_finished = 1;
    return result;
}

void CZkOutOfPlaceEffectStage::ConsumeMarkers(uint32_t count)
{
    m_held.markers.count -= std::min(count, m_held.markers.count);
    m_output.markers.count -= std::min(count, m_output.markers.count);
    CZkVoicePipelineStage::ConsumeMarkers(count);
}

void CZkOutOfPlaceEffectStage::ReleaseBuffer()
{
    // The output block is kept for the next frame; what it held was delivered. The held input
    // stays until the plug-in has consumed it.
    m_output.validFrames = 0;
    m_output.state = ZK_DataNeeded;
    m_output.status = ZK_DataNeeded;
    m_output.markers = ZkMarkerWindow{};
    m_output.position = kUnknownPlayPosition;
}

bool CZkOutOfPlaceEffectStage::ReleaseInput()
{
    if (m_input != nullptr)
        m_input->ReleaseBuffer();
    ResetHeldInput();
    return true;
}

ZKRESULT CZkOutOfPlaceEffectStage::Restart()
{
    ReleaseInput();
    ReleaseBuffer();
    return CZkEffectStage::Restart();
}
} // namespace ZK::SoundEngine
