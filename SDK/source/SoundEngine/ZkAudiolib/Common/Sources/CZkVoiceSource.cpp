#include "ZkAudiolib/Common/Sources/CZkVoiceSource.h"

#include "ZkAudiolib/Common/FrontEnd/PlayPositionRepository.h"
#include "ZkAudiolib/Common/Hierarchy/ZkMediaRef.h"
#include "ZkAudiolib/Common/Media/ZkSourceCursor.h"
#include "ZkAudiolib/Common/Playback/CZkPlayingMgr.h"
#include "ZkAudiolib/Common/Plugins/PluginRegistry.h"
#include "ZkAudiolib/Common/Sources/CZkSrcFileAdpcm.h"
#include "ZkAudiolib/Common/Sources/CZkSrcPluginHost.h"
#include "ZkAudiolib/Common/Sources/PlayPositionSourceIDs.h"
#include "ZkAudiolib/Common/Voice/ZkMarkerTable.h"
#include "ZkAudiolib/Common/Voice/ZkVoiceMarkers.h"

#include <cmath>
#include <new>

namespace ZK::SoundEngine
{
namespace
{
constexpr uint32_t kCodecNumberShift = 16;
constexpr float kCentsPerOctave = 1200.0f;
} // namespace

CZkVoiceSource* CZkVoiceSource::Create(uint32_t kind, uint32_t codecKey, CZkPlayingInstance* instance)
{
    const uint32_t codec = codecKey >> kCodecNumberShift;
    CZkVoiceSource* source = nullptr;
    if (kind == kSourceKindPlugin)
    {
        void* memory = ZK::MemoryMgr::Malloc(kPool, sizeof(CZkSrcPluginHost));
        source = memory != nullptr ? new (memory) CZkSrcPluginHost(instance) : nullptr;
    }
    else if (kind == kSourceKindNone || codec == 0)
        return nullptr;
    else if (codec == kCodecAdpcm)
    {
        void* memory = ZK::MemoryMgr::Malloc(kPool, sizeof(CZkSrcFileAdpcm));
        source = memory != nullptr ? new (memory) CZkSrcFileAdpcm(instance) : nullptr;
    }
    else
        source = PluginRegistry::CreateCodec(instance, kind, codecKey);
    if (source != nullptr)
    {
        source->SetKind(kind);
        source->m_codecKey = codecKey;
    }
    return source;
}

void CZkVoiceSource::Destroy(CZkVoiceSource* source)
{
    PluginRegistry::DestroyCodec(source);
}

const ZkAudioFormat& CZkVoiceSource::Format() const
{
    static const ZkAudioFormat kNone{};
    return m_instance != nullptr ? m_instance->MediaFormat() : kNone;
}

bool CZkVoiceSource::ReportsPositions() const
{
    return m_instance != nullptr && (m_instance->OptionWord() & CZkPlayingInstance::kOptionReportPositions) != 0;
}

bool CZkVoiceSource::ReportsBuffering() const
{
    return m_instance != nullptr && (m_instance->CallbackFlags() & kReportBuffering) != 0;
}

ZKRESULT CZkVoiceSource::AppendMarkers(const ZkMarkerTable& markers, ZkPipelineBuffer& buffer, uint32_t from,
                                       uint32_t frames, uint32_t offset, float scale)
{
    if (m_voiceMarkers == nullptr || markers.Count() == 0)
        return ZK_Success;
    uint32_t found = 0;
    for (uint32_t i = 0; i < markers.Count(); ++i)
        found += markers[i].position - from < frames ? 1u : 0u;
    if (found == 0)
        return ZK_Success;
    if (m_voiceMarkers->Reserve(found) != ZK_Success)
        return ZK_InsufficientMemory;
    if (buffer.markers.count == 0)
        buffer.markers.first = m_voiceMarkers->Count();
    for (uint32_t i = 0; i < markers.Count(); ++i)
    {
        const ZkMarker& marker = markers[i];
        if (marker.position - from >= frames)
            continue;
        const uint32_t at = offset + static_cast<uint32_t>(static_cast<float>(marker.position - from) * scale);
        m_voiceMarkers->Append(
            ZkPipelineMarker{at, marker.label, 0, marker.id, marker.position, m_instance->PlayingID()});
        ++buffer.markers.count;
    }
    return ZK_Success;
}

void CZkVoiceSource::NotifyMarkersCrossed(const ZkMarkerTable& markers, uint32_t from, uint32_t frames)
{
    if (g_pPlayingMgr == nullptr || m_instance == nullptr)
        return;
    for (uint32_t i = 0; i < markers.Count(); ++i)
    {
        const ZkMarker& marker = markers[i];
        if (marker.position - from < frames)
            g_pPlayingMgr->NotifyMarker(ZkMarkerNotice{marker.id, marker.position, marker.label, m_instance->PlayingID()});
    }
}

void CZkVoiceSource::PostStreamBuffering(uint32_t bytes, float bytesPerMs, ZKRESULT status)
{
    if (!ReportsBuffering())
        return;
    const int32_t milliseconds = bytesPerMs > 0.0f ? static_cast<int32_t>(static_cast<float>(bytes) / bytesPerMs) : 0;
    const int32_t posted =
        status == ZK_NoMoreData ? PlayPositionRepository::kBufferingComplete : static_cast<int32_t>(status);
    StreamBufferingRepository::Set(m_instance->PlayingID(), this, milliseconds, posted);
}

void CZkVoiceSource::FreeHeaderBlock()
{
    if (m_ownsHeaderBlock && m_headerBlock != nullptr)
        ZK::MemoryMgr::Free(kPool, m_headerBlock);
    m_headerBlock = nullptr;
    m_headerBlockSize = 0;
    m_ownsHeaderBlock = false;
}

ZKRESULT CZkVoiceSource::SkipFrames(uint32_t& frames)
{
    ZkPipelineBuffer buffer;
    buffer.maxFrames = static_cast<uint16_t>(frames);
    const ZKRESULT result = GetBuffer(buffer);
    frames = buffer.data != nullptr ? buffer.validFrames : 0u;
    if (buffer.data != nullptr)
        ReleaseBuffer();
    return result;
}

ZKRESULT CZkVoiceSource::Restart()
{
    if (m_instance != nullptr && (m_instance->StopByte() & CZkPlayingInstance::kSeekMask) != 0)
        return Seek();
    return ZK_Success;
}

void CZkVoiceSource::Stop(int32_t reason)
{
    if (m_instance != nullptr)
    {
        if (ReportsPositions() && g_pPlayPositionRepository != nullptr)
            g_pPlayPositionRepository->RemoveSource(m_instance->PlayingID(), this);
        m_instance->PostEndNotification(reason);
    }
    StopStream();
}

ZKRESULT CZkVoiceSource::StartOnce(const uint8_t* prefetch, uint32_t prefetchSize)
{
    if (IsStarted())
        return ZK_Success;
    const ZKRESULT started = StartStream(prefetch, prefetchSize);
    if (started == ZK_Success)
        m_flags |= kFlagStarted;
    return started;
}

void CZkVoiceSource::ReportDuration()
{
    if (!IsStarted() || m_instance == nullptr)
        return;
    const float duration = GetDuration();
    m_instance->RefreshCallbackFlags();
    m_instance->OnSourceDuration(duration);
    const float estimate = duration * std::exp2(-GetPitch() / kCentsPerOctave);
    if (g_pPlayingMgr != nullptr)
    {
        const ZkMediaRef* media = m_instance->Media();
        g_pPlayingMgr->NotifyDuration(m_instance->PlayingID(), duration, estimate, m_instance->GetNodeID(),
                                      media != nullptr ? media->mediaID : 0, m_kind == kSourceKindStreamed);
    }
    if (ReportsPositions() && g_pPlayPositionRepository != nullptr)
        g_pPlayPositionRepository->AddSource(m_instance->PlayingID(), this);
}

void CZkVoiceSource::ReportPosition(float position)
{
    if (m_instance == nullptr || g_pPlayPositionRepository == nullptr)
        return;
    m_instance->RefreshCallbackFlags();
    g_pPlayPositionRepository->UpdatePosition(m_instance->PlayingID(), this, position);
}

ZKRESULT GetPlayPositionSourceIDs(const void* source, ZkUniqueID& audioNodeID, ZkUniqueID& mediaID)
{
    audioNodeID = 0;
    mediaID = 0;
    const CZkPlayingInstance* instance =
        source != nullptr ? static_cast<const CZkVoiceSource*>(source)->Instance() : nullptr;
    if (instance == nullptr)
        return ZK_Fail;
    audioNodeID = instance->GetNodeID();
    const ZkMediaRef* media = instance->Media();
    mediaID = media != nullptr ? media->mediaID : 0;
    return ZK_Success;
}
} // namespace ZK::SoundEngine
