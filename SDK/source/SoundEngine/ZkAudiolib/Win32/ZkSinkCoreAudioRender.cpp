// The system sink's frame: how many buffers the endpoint has room for, the mix converted to the
// device's layout (and rate), and the buffers written to the endpoint, silent ones included.
#include "ZkAudiolib/Win32/ZkSinkCoreAudio.h"

#include "ZkAudiolib/Common/Output/ZkSinkPluginParams.h"
#include "ZkAudiolib/Common/Panning/ZkSpeakerPan.h"
#include "ZkAudiolib/Common/Voice/ZkAudioSettings.h"

#include <ZK/SoundEngine/Common/ZkMixer.h>

#include <algorithm>
#include <cstring>

namespace ZK::SoundEngine
{
using namespace ZK::Platform;

namespace
{
constexpr ZkRamp kUnitRamp{1.0f, 1.0f};

void Clear(ZkAudioBuffer& buffer)
{
    std::memset(buffer.data, 0, sizeof(float) * buffer.NumChannels() * buffer.maxFrames);
}

// The main mix through the matrix into a zeroed planar buffer of the device's layout.
void MixThrough(ZkAudioBuffer* main, ZkAudioBuffer& out, ZkRamp ramp, const float* matrix)
{
    Clear(out);
    const uint16_t frames = out.maxFrames;
    ZkMixer::MixNinNChannels(main, &out, ramp, matrix, matrix, 1.0f / static_cast<float>(frames), frames);
}
} // namespace

ZKRESULT CZkSinkCoreAudio::IsDataNeeded(uint32_t& buffers)
{
    buffers = 0;
    if (m_error.load(std::memory_order_acquire))
        return ZK_Fail;
    uint32_t padding = 0;
    if (AudioFailed(m_client->GetCurrentPadding(&padding)))
        return ZK_Fail;
    const uint32_t frames = ZkAudioSettings::FramesPerBuffer();
    const uint32_t perBuffer = Resamples() ? m_resampledFrames : frames;
    const uint32_t room = m_endpointBufferFrames > padding ? m_endpointBufferFrames - padding : 0;
    buffers = perBuffer != 0 ? room / perBuffer : 0;
    // The bed ring decides too: no buffer is rendered that it has no room for.
    if (IsSpatial() && frames != 0)
        buffers = std::min(buffers, BedFreeFrames() / frames);
    return ZK_Success;
}

void CZkSinkCoreAudio::WriteToDeviceBuffer(ZkAudioBuffer* in, const float* matrix, ZkAudioBuffer& temp, ZkRamp ramp)
{
    if (!Resamples())
    {
        if (matrix != nullptr)
        {
            MixThrough(in, temp, kUnitRamp, matrix);
            ZkMixer::ApplyGainAndInterleave(&temp, &m_deviceBuffer, ramp, false);
        }
        else
        {
            ZkMixer::ApplyGainAndInterleave(in, &m_deviceBuffer, ramp, false);
        }
    }
    else if (matrix != nullptr)
    {
        MixThrough(in, m_deviceBuffer, ramp, matrix);
    }
    else
    {
        ZkMixer::ApplyGain(in, &m_deviceBuffer, ramp, false);
    }
    m_deviceBuffer.validFrames = in->validFrames;
}

uint32_t CZkSinkCoreAudio::Consume(ZkAudioBuffer* main, ZkAudioBuffer* passthrough, ZkAudioObjects* objects, ZkRamp ramp)
{
    if ((m_bits & Bit_MatricesPending) != 0)
    {
        if (m_mixMatrix != nullptr)
            m_context->ComputeSpeakerMatrix(m_mainMix, m_temp.channelConfig, m_mixMatrix);
        if (m_passthroughMatrix != nullptr)
            CZkSpeakerPan::ComputeSpeakerVolumes(0.0f, 0.0f, 0.0f, 0.0f, ZkSpeakerPanning_Direct,
                                                 ZkChannelConfig(ZkChannelConfig::kStereoWord),
                                                 m_deviceBuffer.channelConfig, m_passthroughMatrix, nullptr);
        m_bits &= static_cast<uint8_t>(~Bit_MatricesPending);
    }
    if (!IsSpatial())
    {
        WriteToDeviceBuffer(main, m_mixMatrix, m_temp, ramp);
        m_bits |= Bit_DataWritten;
        return main->validFrames;
    }

    // The worker reads the records under the lock; the bed needs none (its fill is atomic).
    const bool locks = m_recordCount != 0;
    if (locks)
        m_lock.Enter();
    const uint32_t wraps = WriteBed(main, ramp);
    m_bits |= Bit_DataWritten;
    if (passthrough != nullptr)
    {
        WriteToDeviceBuffer(passthrough, m_passthroughMatrix, m_passthroughTemp, ramp);
    }
    else
    {
        // Nothing for the endpoint this frame: silence, not what the last frame left.
        Clear(m_deviceBuffer);
        m_deviceBuffer.validFrames = main->validFrames;
    }
    if (objects != nullptr && locks)
        WriteObjects(objects, ramp);
    if (locks)
        m_lock.Leave();
    return wraps;
}

void CZkSinkCoreAudio::WriteToEndpoint(const float* interleaved, uint32_t frames, uint32_t flags)
{
    uint8_t* target = nullptr;
    if (AudioFailed(m_render->GetBuffer(frames, &target)) || target == nullptr)
    {
        m_error.store(true, std::memory_order_release);
        return;
    }
    if ((flags & kBufferFlagSilent) == 0)
        std::memcpy(target, interleaved, sizeof(float) * m_streamChannels * frames);
    if (AudioFailed(m_render->ReleaseBuffer(frames, flags)))
        m_error.store(true, std::memory_order_release);
}

void CZkSinkCoreAudio::WriteResampled()
{
    if ((m_bits & Bit_DataWritten) == 0)
    {
        Clear(m_deviceBuffer);
        m_deviceBuffer.validFrames = m_deviceBuffer.maxFrames;
    }
    while (m_resampler.Execute(&m_deviceBuffer, &m_resampled) == ZK_DataReady)
    {
        // The endpoint takes the block in its own channel order, frame after frame. Without pool
        // memory for the reordered copy the block is played as silence, so the stream keeps time.
        const uint32_t frames = m_resampled.validFrames;
        if (m_resampled.ReorderChannelsLfeLast() == ZK_Success)
            WriteToEndpoint(static_cast<const float*>(m_resampled.data), frames, 0);
        else
            WriteToEndpoint(nullptr, frames, kBufferFlagSilent);
        m_resampled.validFrames = 0;
        m_resampler.ResetOffsets();
    }
    m_resampler.ResetInputOffset();
}

void CZkSinkCoreAudio::DataReady()
{
    if (Resamples())
        WriteResampled();
    else if ((m_bits & Bit_DataWritten) != 0)
        WriteToEndpoint(static_cast<const float*>(m_deviceBuffer.data), m_deviceBuffer.validFrames, 0);
    else
        WriteToEndpoint(nullptr, m_deviceBuffer.maxFrames, kBufferFlagSilent);
    if (IsSpatial() && (m_bits & Bit_DataWritten) == 0)
        WriteSilentFrame();
    m_bits &= static_cast<uint8_t>(~Bit_DataWritten);
    if (m_params != nullptr && m_params->changed != 0)
    {
        // New parameters need a new set-up: the device is reported lost and opened again.
        m_error.store(true, std::memory_order_release);
        m_params->changed = 0;
    }
}

ZKRESULT CZkSinkCoreAudio::GetCapabilities(ZK::Zk3DAudioSinkCapabilities& capabilities)
{
    capabilities = ZK::Zk3DAudioSinkCapabilities{};
    capabilities.channelConfig = m_mainMix;
    capabilities.maxSystemAudioObjects = m_maxDynamicObjects;
    const uint32_t draining = m_drainingObjects.load(std::memory_order_relaxed);
    capabilities.numSystemAudioObjectsAvailable = m_activatedObjects > draining ? m_activatedObjects - draining : 0;
    capabilities.passthrough = IsSpatial() ? 1 : 0;
    return ZK_Success;
}
} // namespace ZK::SoundEngine
