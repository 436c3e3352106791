// The output device's frame: the suspend fade and the device volume on the ramp, the device effects,
// the capture consumers and the hand-over to the sink; the effect slots and the capture list.
#include "ZkAudiolib/Common/Output/CZkOutputDevice.h"

#include "ZkAudiolib/Common/Buffers/AudioBufferPool.h"
#include "ZkAudiolib/Common/ObjectIndex/ObjectIndex.h"
#include "ZkAudiolib/Common/Output/CZkOutputDeviceMgr.h"
#include "ZkAudiolib/Common/Output/CZkObjectProcessor.h"
#include "ZkAudiolib/Common/Output/ZkFumaConversion.h"
#include "ZkAudiolib/Common/Panning/ZkSpeakerPan.h"
#include "ZkAudiolib/Common/Effects/CZkEffectObject.h"
#include "ZkAudiolib/Common/Voice/ZkAudioSettings.h"

#include <ZK/SoundEngine/Common/ZkMixer.h>

#include <cstring>

using namespace ZK::SoundEngine;

namespace
{
// Pass-through mixes are stereo; room for up to 8 of their channels onto any device.
constexpr uint32_t kMaxMatrixFloats = 8 * 256;
constexpr ZkRamp kUnitRamp{1.0f, 1.0f};

uint32_t PaddedChannels(uint32_t channels)
{
    return (channels + 3u) & ~3u;
}

// A scratch buffer of the audio buffer pool shaped like the mix; false when the pool has none.
bool TakeScratch(ZkAudioBuffer& scratch, const ZkAudioBuffer& like)
{
    scratch = ZkAudioBuffer{};
    scratch.channelConfig = like.channelConfig;
    scratch.maxFrames = like.maxFrames;
    if (AudioBufferPool::GetCachedBuffer(scratch) != ZK_Success)
        return false;
    scratch.maxFrames = like.maxFrames; // the pool may give a longer block; the mix's stride is used
    scratch.validFrames = like.validFrames;
    return true;
}

void ReleaseScratch(ZkAudioBuffer& scratch)
{
    if (scratch.data != nullptr)
        AudioBufferPool::ReleaseCachedBuffer(scratch);
}

void MixThrough(ZkAudioBuffer* in, ZkAudioBuffer* out, const float* matrix)
{
    ZkRamp ramp = kUnitRamp;
    const uint16_t frames = out->maxFrames;
    ZkMixer::MixNinNChannels(in, out, ramp, matrix, matrix, 1.0f / static_cast<float>(frames), frames);
}
} // namespace

uint32_t CZkOutputDevice::Render(ZkAudioBuffer* main, ZkAudioBuffer* passthrough, ZkAudioObjects* objects, ZkRamp ramp)
{
    ramp.previous *= CZkOutputDeviceMgr::PreviousOutputGain() * m_previousVolume;
    ramp.next *= CZkOutputDeviceMgr::CurrentOutputGain() * m_volume;

    m_effects.Process(main);

    if (m_captureHead != nullptr)
    {
        ZkAudioBuffer scratch;
        ZkAudioBuffer* mix = CaptureSource(main, passthrough, objects, scratch);
        if (mix != nullptr)
            WriteCapture(mix, ramp);
        ReleaseScratch(scratch);
    }

    if (m_sink == nullptr)
        return 0;
    if (m_sinkTakes3DAudio)
        return m_sink->Consume(main, passthrough, objects, ramp);
    m_sink->ConsumeBuffer(main, ramp);
    return main->validFrames;
}

ZkAudioBuffer* CZkOutputDevice::CaptureSource(ZkAudioBuffer* main, ZkAudioBuffer* passthrough, ZkAudioObjects* objects,
                                              ZkAudioBuffer& scratch)
{
    const bool withPassthrough = passthrough != nullptr && m_capabilities.passthrough != 0;
    if (!withPassthrough && objects == nullptr)
        return main;
    // The consumers hear what the sink will render: the main mix with the pass-through mix and the
    // objects mixed into it.
    if (!TakeScratch(scratch, *main))
        return nullptr;
    std::memcpy(scratch.data, main->data, sizeof(float) * main->NumChannels() * main->maxFrames);
    if (withPassthrough)
    {
        const uint32_t floats = passthrough->NumChannels() * PaddedChannels(main->NumChannels());
        if (floats <= kMaxMatrixFloats)
        {
            float matrix[kMaxMatrixFloats];
            CZkSpeakerPan::ComputeSpeakerVolumes(0.0f, 0.0f, 0.0f, 0.0f, ZkSpeakerPanning_Direct,
                                                 passthrough->channelConfig, main->channelConfig, matrix, this);
            MixThrough(passthrough, &scratch, matrix);
        }
    }
    if (objects != nullptr && m_objectProcessor != nullptr)
        m_objectProcessor->MixObjectsInto(objects, scratch);
    return &scratch;
}

void CZkOutputDevice::WriteCapture(ZkAudioBuffer* mix, ZkRamp ramp)
{
    ZkAudioBuffer fuma;
    const uint32_t channels = mix->NumChannels();
    if (mix->channelConfig.Type() == ZkChannelConfigType_Ambisonic && ZkFumaConversion::CanConvert(channels) &&
        TakeScratch(fuma, *mix))
    {
        float matrix[ZkFumaConversion::kMaxChannels * ZkFumaConversion::kMaxChannels];
        ZkFumaConversion::BuildMatrix(channels, matrix);
        std::memset(fuma.data, 0, sizeof(float) * channels * fuma.maxFrames);
        MixThrough(mix, &fuma, matrix);
        mix = &fuma;
    }
    for (ZkCaptureNode* node = m_captureHead; node != nullptr; node = node->next)
        node->Write(mix, ramp);
    ReleaseScratch(fuma);
}

void CZkOutputDevice::EndFrame()
{
    for (ZkCaptureNode* node = m_captureHead; node != nullptr; node = node->next)
        node->EndFrame();
    if (m_sink != nullptr)
        m_sink->DataReady();
    m_previousVolume = m_volume;
    if (m_objectProcessor != nullptr)
        m_objectProcessor->EndFrame();
}

ZK::ZkEffectFormat CZkOutputDevice::EffectFormat() const
{
    ZK::ZkEffectFormat format;
    format.sampleRate = ZkAudioSettings::SampleRate();
    format.channelConfig = MainMixConfig();
    return format;
}

ZKRESULT CZkOutputDevice::SetEffect(uint32_t slot)
{
    if (slot >= ZkDeviceEffects::kSlots)
        return ZK_InvalidParameter;
    return m_effects.Rebuild(slot, m_shareSetObject, EffectFormat(), &m_effectContext);
}

void CZkOutputDevice::AttachShareSetObject()
{
    if (m_shareSetObject != nullptr)
        m_shareSetObject->Release();
    m_shareSetObject = g_pObjectIndex != nullptr ? static_cast<CZkEffectObject*>(g_pObjectIndex->GetPtrAndAddRef(
                                                       ZkIndexKind::AudioDevices, ShareSetID()))
                                                 : nullptr;
    m_effects.previousBypass = m_effects.bypass;
    m_effects.bypass = m_shareSetObject != nullptr ? m_shareSetObject->DeviceBypassBits() : 0;
    for (uint32_t slot = 0; slot < ZkDeviceEffects::kSlots; ++slot)
        SetEffect(slot); // a slot whose effect cannot start stays empty
}

void CZkOutputDevice::SetShareSetBypass(uint8_t bypass)
{
    m_effects.previousBypass = m_effects.bypass;
    m_effects.bypass = bypass;
}

CaptureCallbackNode* CZkOutputDevice::CreateCaptureCallback(ZkCaptureCallback callback, void* cookie)
{
    return CaptureCallbackNode::Create(callback, cookie, m_outputID);
}

ZKRESULT CZkOutputDevice::AddCaptureCallback(ZkCaptureNode* node)
{
    if (node == nullptr)
        return ZK_InvalidParameter;
    node->next = nullptr;
    if (m_captureTail != nullptr)
        m_captureTail->next = node;
    else
        m_captureHead = node;
    m_captureTail = node;
    return ZK_Success;
}

CaptureCallbackNode* CZkOutputDevice::FindCaptureCallback(ZkCaptureCallback callback, void* cookie)
{
    for (ZkCaptureNode* node = m_captureHead; node != nullptr; node = node->next)
    {
        if (node->MatchesCallback(callback, cookie))
            return static_cast<CaptureCallbackNode*>(node);
    }
    return nullptr;
}

bool CZkOutputDevice::MatchesCaptureCallback(ZkCaptureCallback callback, void* cookie)
{
    return FindCaptureCallback(callback, cookie) != nullptr;
}

bool CZkOutputDevice::RemoveCaptureNode(ZkCaptureNode* node)
{
    ZkCaptureNode* previous = nullptr;
    for (ZkCaptureNode* current = m_captureHead; current != nullptr; previous = current, current = current->next)
    {
        if (current != node)
            continue;
        if (previous != nullptr)
            previous->next = current->next;
        else
            m_captureHead = current->next;
        if (m_captureTail == current)
            m_captureTail = previous;
        if (m_fileNode == current)
            m_fileNode = nullptr;
        current->Destroy();
        return true;
    }
    return false;
}

ZKRESULT CZkOutputDevice::StartCaptureFile(const wchar_t* fileName)
{
    StopCaptureFile();
    CaptureFileWriter* writer = CaptureFileWriter::Create(nullptr, fileName, ZkAudioSettings::SampleRate(),
                                                          ZkWaveHeader::kSampleFormatInt16, MainMixConfig());
    if (writer == nullptr)
        return ZK_Fail;
    CaptureWriterNode* node = CaptureWriterNode::Create(writer);
    if (node == nullptr)
        return ZK_Fail;
    AddCaptureCallback(node);
    m_fileNode = node;
    return ZK_Success;
}

void CZkOutputDevice::StopCaptureFile()
{
    if (m_fileNode != nullptr)
        RemoveCaptureNode(m_fileNode);
}

CaptureFileWriter* CZkOutputDevice::CaptureWriter() const
{
    return m_fileNode != nullptr ? m_fileNode->Writer() : nullptr;
}

uint32_t CZkOutputDevice::CaptureNodeCount() const
{
    uint32_t count = 0;
    for (const ZkCaptureNode* node = m_captureHead; node != nullptr; node = node->next)
        ++count;
    return count;
}
