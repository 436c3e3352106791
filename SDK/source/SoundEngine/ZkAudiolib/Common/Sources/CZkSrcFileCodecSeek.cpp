// CZkSrcFileCodec: seeks, virtual periods and the time skipped while virtual.
#include "ZkAudiolib/Common/Sources/CZkSrcFileCodec.h"

#include "ZkAudiolib/Common/FrontEnd/PlayPositionRepository.h"
#include "ZkAudiolib/Common/Playback/CZkPlayingMgr.h"
#include "ZkAudiolib/Common/Sources/ZkSeekTarget.h"

#include <algorithm>

namespace ZK::SoundEngine
{
uint32_t CZkSrcFileCodec::SeekTarget(uint16_t& loops)
{
    const ZkSeekMedia media{m_position.sampleRate, m_position.length, m_position.loopStart, m_position.loopEnd,
                            m_loops, GetDuration()};
    return ResolveSeekTarget(*m_instance, m_markers, media, loops);
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
        NotifyMarkersCrossed(m_markers, from, step.frames);
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
