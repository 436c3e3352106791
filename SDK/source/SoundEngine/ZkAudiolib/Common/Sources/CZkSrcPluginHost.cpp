#include "ZkAudiolib/Common/Sources/CZkSrcPluginHost.h"

#include "ZkAudiolib/Common/Effects/CZkEffectObject.h"
#include "ZkAudiolib/Common/Hierarchy/ZkMediaRef.h"
#include "ZkAudiolib/Common/ObjectIndex/ObjectIndex.h"
#include "ZkAudiolib/Common/Parameters/ZkFastMath.h"
#include "ZkAudiolib/Common/Plugins/PluginRegistry.h"
#include "ZkAudiolib/Common/Voice/ZkAudioSettings.h"

#include <Plugins/Effects/Common/ZkPluginMemAlloc.h>

#include <bit>

namespace ZK::SoundEngine
{
namespace
{
constexpr float kEnvelopeFloor = 1e-38f; // keeps the logarithm of a silent envelope finite
constexpr double kSecondsPerMillisecond = 0.001;
constexpr uint32_t kBytesPerFloatSample = 4;
} // namespace

CZkSrcPluginHost::~CZkSrcPluginHost()
{
    ReleaseBuffer();
    EndPlugin();
    m_notes.Term();
}

uint16_t CZkSrcPluginHost::FramesPerBuffer() { return ZkAudioSettings::FramesPerBuffer(); }

void CZkSrcPluginHost::ReleaseBuffer()
{
    if (m_output != nullptr)
        ZK::MemoryMgr::Free(kPool, m_output);
    m_output = nullptr;
}

ZKRESULT CZkSrcPluginHost::SkipFrames(uint32_t& frames)
{
    if (m_plugin == nullptr)
        return ZK_DataReady;
    const ZKRESULT skipped = m_plugin->TimeSkip(frames);
    return skipped == ZK_NothingToReport ? CZkVoiceSource::SkipFrames(frames) : skipped;
}

void CZkSrcPluginHost::EnterVirtual(uint32_t behaviour)
{
    if (behaviour == 0 && m_plugin != nullptr)
        m_plugin->Reset();
}

ZKRESULT CZkSrcPluginHost::StartStream(const uint8_t*, uint32_t)
{
    const ZkMediaRef* media = m_instance != nullptr ? m_instance->Media() : nullptr;
    CZkIndexedObject* found = media != nullptr && g_pObjectIndex != nullptr
                                  ? g_pObjectIndex->GetPtrAndAddRef(ZkIndexKind::CustomEffects, media->mediaID)
                                  : nullptr;
    if (found == nullptr)
        return ZK_Fail;
    auto& effect = static_cast<CZkEffectObject&>(*found);
    const ZKRESULT started = StartPlugin(effect);
    if (started != ZK_Success)
        StopStream();
    effect.Release();
    return started;
}

ZKRESULT CZkSrcPluginHost::StartPlugin(CZkEffectObject& effect)
{
    m_pluginID = effect.pluginID;
    ZK::IZkPlugin* created = nullptr;
    ZK::ZkPluginInfo info;
    const ZKRESULT made = PluginRegistry::CreatePlugin(m_pluginID, created, &CZkPluginMemAlloc::ForInstances(), info);
    if (made != ZK_Success)
        return made;
    // Only a source built for this engine may be called through the source interface.
    if (info.type != ZK::ZkPluginTypeSource || info.buildVersion != ZK::ZK_PLUGIN_BUILD_VERSION)
    {
        created->Term(&CZkPluginMemAlloc::ForInstances());
        return ZK_Fail;
    }
    m_plugin = static_cast<ZK::IZkSourcePlugin*>(created);
    if (!effect.CreateInstancePlugin(m_params, 0, m_instance->GameObjectOf()))
        return ZK_Fail;
    m_contexts.SetMediaProvider(&effect);

    m_format.sampleRate = ZkAudioSettings::SampleRate();
    m_format.channelConfig = ZkChannelConfig{kDefaultChannelWord};
    m_format.formatBits = (m_format.formatBits & ~kFormatLowBitsMask) | kDefaultFormatBits;
    ZKRESULT result = m_plugin->Init(&CZkPluginMemAlloc::ForInstances(), &m_contexts, m_params.Params(), m_format);
    if ((m_format.formatBits & ZkAudioFormat::kDeriveBlockAlign) != 0)
        m_format.SetBlockAlign(kBytesPerFloatSample * m_format.channelConfig.NumChannels());
    if (result == ZK_Success)
        result = m_plugin->Reset();
    if (result != ZK_Success)
        return result;
    m_instance->SetMediaFormat(m_format);
    return ZK_Success;
}

void CZkSrcPluginHost::EndPlugin()
{
    if (m_plugin != nullptr)
        m_plugin->Term(&CZkPluginMemAlloc::ForInstances());
    m_plugin = nullptr;
    m_params.Term();
    m_contexts.ReleaseMedia();
    m_contexts.SetMediaProvider(nullptr);
}

void CZkSrcPluginHost::StopStream()
{
    ReleaseBuffer();
    EndPlugin();
}

ZKRESULT CZkSrcPluginHost::GetBuffer(ZkPipelineBuffer& buffer)
{
    // The voice reads the block's state and the pipeline's status alike: both carry the answer.
    const auto finish = [&buffer](ZKRESULT result) {
        buffer.status = result;
        return result;
    };
    if (m_plugin == nullptr)
    {
        buffer.data = nullptr;
        buffer.state = ZK_DataNeeded;
        buffer.position = kUnknownPlayPosition;
        return finish(ZK_Fail);
    }
    if (buffer.maxFrames == 0)
        return finish(ZK_NoMoreData);
    if (m_output == nullptr)
    {
        m_output = ZK::MemoryMgr::Malign(kPool, size_t{m_format.BlockAlign()} * buffer.maxFrames, kOutputAlignment);
        if (m_output == nullptr)
            return finish(ZK_Fail);
    }
    buffer.data = m_output;
    buffer.channelConfig = m_format.channelConfig;
    buffer.validFrames = 0;
    buffer.state = ZK_DataNeeded;
    buffer.markers = ZkMarkerWindow{};
    buffer.position = kUnknownPlayPosition;
    m_plugin->Execute(&buffer);
    return finish(buffer.state);
}

float CZkSrcPluginHost::GetDuration() { return m_plugin != nullptr ? m_plugin->GetDuration() : 0.0f; }

ZKRESULT CZkSrcPluginHost::StopLooping() { return m_plugin != nullptr ? m_plugin->StopLooping() : ZK_Fail; }

bool CZkSrcPluginHost::HasNote(const void* note)
{
    for (const ZkSourceNoteEntry& entry : m_notes)
        if (entry.note == note)
            return true;
    return false;
}

bool CZkSrcPluginHost::HasMatchingNote(const void* record)
{
    if (record == nullptr)
        return false;
    const auto& wanted = *static_cast<const ZkMidiEvent*>(record);
    for (const ZkSourceNoteEntry& entry : m_notes)
    {
        const bool channel = wanted.channel == ZkMidiEvent::kAnyNote || wanted.channel == entry.event.channel;
        const bool note = wanted.note == ZkMidiEvent::kAnyNote || wanted.note == entry.event.note;
        if (channel && note)
            return true;
    }
    return false;
}

ZKRESULT CZkSrcPluginHost::Seek()
{
    if (m_instance == nullptr)
        return ZK_Fail;
    const uint32_t requested = m_instance->SeekPosition();
    const bool byPercent = (m_instance->StopByte() & CZkPlayingInstance::kSeekMask) == CZkPlayingInstance::kSeekByPercent;
    double target = 0.0;
    if (byPercent)
        target = static_cast<double>(GetDuration()) * std::bit_cast<float>(requested) * m_format.sampleRate *
                 kSecondsPerMillisecond;
    else
    {
        const uint32_t engineRate = ZkAudioSettings::SampleRate();
        target = engineRate != 0 ? static_cast<double>(requested) * m_format.sampleRate / engineRate : 0.0;
    }
    m_instance->FinishSeek(0);
    if (m_plugin == nullptr)
        return ZK_Fail;
    const double clamped = target < 0.0 || target != target ? 0.0 : (target > 4294967295.0 ? 4294967295.0 : target);
    return m_plugin->Seek(static_cast<uint32_t>(clamped));
}

float CZkSrcPluginHost::GetEnvelopeValue()
{
    return m_plugin != nullptr ? ZkFastLinToDB(m_plugin->GetEnvelope() + kEnvelopeFloor) : 0.0f;
}

ZKRESULT CZkSrcPluginHost::Reload()
{
    StopStream();
    m_notes.RemoveAll();
    return StartStream(nullptr, 0);
}
} // namespace ZK::SoundEngine
