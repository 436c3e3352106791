// CZkSrcFileCodec: seeks, virtual periods and the time skipped while virtual.
#include "ZkAudiolib/Common/Sources/CZkSrcFileCodec.h"

#include "ZkAudiolib/Common/FrontEnd/PlayPositionRepository.h"
#include "ZkAudiolib/Common/Media/ZkLoopMath.h"
#include "ZkAudiolib/Common/Playback/CZkPlayingMgr.h"
#include "ZkAudiolib/Common/Voice/ZkAudioSettings.h"

#include <algorithm>
#include <bit>
#include <cmath>

namespace ZK::SoundEngine
{
namespace
{
constexpr double kSecondsPerMillisecond = 0.001;
constexpr double kMillisecondsPerSecond = 1000.0;
} // namespace

uint32_t CZkSrcFileCodec::SeekTarget(uint16_t& loops)
{
    const uint32_t rate = m_position.sampleRate;
    const uint32_t requested = m_instance->SeekPosition();
    double target = 0.0;
    if ((m_instance->StopByte() & CZkPlayingInstance::kSeekMask) == CZkPlayingInstance::kSeekByPercent)
    {
        // A fraction of the duration over every loop; one pass when it loops forever.
        const double duration = m_loops == 0 && rate != 0
                                    ? static_cast<double>(m_position.length) * kMillisecondsPerSecond / rate
                                    : static_cast<double>(GetDuration());
        target = duration * std::bit_cast<float>(requested) * rate * kSecondsPerMillisecond;
    }
    else
    {
        const uint32_t engineRate = ZkAudioSettings::SampleRate();
        target = engineRate != 0 ? static_cast<double>(requested) * rate / engineRate : 0.0;
    }
    const uint32_t frame = static_cast<uint32_t>(std::clamp(target, 0.0, 4294967295.0));
    uint32_t resolved = frame;
    ZkLoopMath::Resolve(frame, m_position.loopStart, m_position.loopEnd, m_loops, resolved, loops);
    if ((m_instance->LimitByte() & CZkPlayingInstance::kLimitSeekOption) != 0 && m_markers.Count() != 0)
    {
        // The nearest marker; the first in the table of two at the same distance.
        uint32_t nearest = m_markers[0].position;
        uint64_t best = UINT64_MAX;
        for (uint32_t i = 0; i < m_markers.Count(); ++i)
        {
            const uint32_t position = m_markers[i].position;
            const uint64_t distance = position > resolved ? uint64_t{position} - resolved : uint64_t{resolved} - position;
            if (distance < best)
            {
                best = distance;
                nearest = position;
            }
        }
        ZkLoopMath::Resolve(nearest, m_position.loopStart, m_position.loopEnd, m_loops, resolved, loops);
    }
    return resolved;
}

ZKRESULT CZkSrcFileCodec::SeekTo(uint32_t frame, uint16_t loops)
{
    if (m_codec == nullptr || frame >= m_position.length)
        return ZK_Fail;
    uint32_t restart = frame;
    uint32_t byteOffset = 0;
    m_codec->SeekToFrame(frame, restart, byteOffset);
    const ZKRESULT moved = m_cursor.Seek(m_dataOffset + byteOffset, loops);
    if (moved != ZK_Success && moved != ZK_PartialSuccess)
        return moved;
    m_instance->FinishSeek(frame - restart);
    m_position.position = restart;
    m_position.loopsLeft = loops;
    if ((m_ownFlags & kDataDropped) == 0)
    {
        if (m_codec->RestartAt(m_cursor) != ZK_Success)
            return ZK_Fail;
        if (m_decodeMode == 1)
            m_codec->PrefetchDecode(m_cursor);
    }
    if ((m_ownFlags & kVirtual) != 0 && ReportsPositions() && g_pPlayPositionRepository != nullptr)
        g_pPlayPositionRepository->SetPositionInfo(m_instance->PlayingID(), m_position.Snapshot(1.0f), this);
    return ZK_Success;
}

ZKRESULT CZkSrcFileCodec::Seek()
{
    uint16_t loops = m_loops;
    const uint32_t target = SeekTarget(loops);
    return SeekTo(target, loops);
}

ZKRESULT CZkSrcFileCodec::Restart()
{
    const ZKRESULT restarted = CZkVoiceSource::Restart();
    if (ReportsPositions() && g_pPlayPositionRepository != nullptr)
        g_pPlayPositionRepository->SetPositionInfo(m_instance->PlayingID(), m_position.Snapshot(1.0f), this);
    return restarted;
}

void CZkSrcFileCodec::EnterVirtual(uint32_t behaviour)
{
    const bool drop = behaviour != kVirtualModeResume;
    m_cursor.Pause(drop);
    if (drop)
    {
        if (m_codec != nullptr)
            m_codec->DropState();
        m_ownFlags |= kDataDropped;
    }
    m_ownFlags |= kVirtual;
    if (ReportsPositions() && g_pPlayPositionRepository != nullptr)
        g_pPlayPositionRepository->SetPositionInfo(m_instance->PlayingID(), m_position.Snapshot(1.0f), this);
    PostBuffering();
}

ZKRESULT CZkSrcFileCodec::LeaveVirtual(uint32_t behaviour, bool fromElapsed)
{
    m_ownFlags &= static_cast<uint8_t>(~kVirtual);
    if (behaviour == kVirtualModeResume)
    {
        if (m_instance->WaitsForBuffering())
            m_flags |= kFlagWaitForBuffering;
        return m_cursor.Resume();
    }
    uint32_t frame = 0;
    uint16_t loops = m_instance->LoopCount();
    if (behaviour == kVirtualModeSkipTime)
    {
        if (fromElapsed)
            frame = SeekTarget(loops);
        else
        {
            frame = m_position.position;
            loops = m_position.loopsLeft;
        }
    }
    if (m_codec == nullptr)
        return ZK_Fail;
    const ZKRESULT reset = m_codec->Reset();
    if (reset != ZK_Success)
        return reset;
    m_ownFlags &= static_cast<uint8_t>(~kDataDropped);
    if (SeekTo(frame, loops) != ZK_Success)
    {
        const ZKRESULT fromStart = SeekTo(0, m_instance->LoopCount());
        if (fromStart != ZK_Success)
            return fromStart;
    }
    return m_cursor.Resume();
}

void CZkSrcFileCodec::NotifyMarkersCrossed(uint32_t from, uint32_t frames)
{
    if (g_pPlayingMgr == nullptr)
        return;
    for (uint32_t i = 0; i < m_markers.Count(); ++i)
    {
        const ZkMarker& marker = m_markers[i];
        if (marker.position - from < frames)
            g_pPlayingMgr->NotifyMarker(ZkMarkerNotice{marker.id, marker.position, marker.label, m_instance->PlayingID()});
    }
}

ZKRESULT CZkSrcFileCodec::SkipFrames(uint32_t& frames)
{
    ZkFractionalPosition at{static_cast<double>(m_position.position), 1.0};
    uint32_t left = frames;
    uint32_t skipped = 0;
    ZKRESULT result = ZK_NoDataReady;
    while (left != 0)
    {
        const uint32_t from = m_position.position;
        const ZkPositionStep step = m_position.FromSamples(at, left);
        NotifyMarkersCrossed(from, step.frames);
        skipped += step.frames;
        left -= std::min(left, step.samples);
        result = step.status;
        if (result != ZK_DataReady)
            break;
    }
    frames = skipped;
    if (ReportsPositions() && g_pPlayPositionRepository != nullptr)
        g_pPlayPositionRepository->SetPositionInfo(m_instance->PlayingID(), m_position.Snapshot(1.0f), this);
    return result;
}
} // namespace ZK::SoundEngine
