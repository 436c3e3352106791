#include "ZkAudiolib/Common/Sources/CZkSrcFileBase.h"

#include "ZkAudiolib/Common/FrontEnd/PlayPositionRepository.h"

#include <algorithm>
#include <cstring>

namespace ZK::SoundEngine
{
namespace
{
constexpr double kMillisecondsPerSecond = 1000.0;
} // namespace

void CZkSrcFileBase::StorePositionInfo()
{
    if (ReportsPositions() && g_pPlayPositionRepository != nullptr)
        g_pPlayPositionRepository->SetPositionInfo(
            m_instance->PlayingID(), ZkPlayPositionInfo{m_position, 1.0f, m_totalFrames, GetSampleRate()}, this);
}

ZKRESULT CZkSrcFileBase::SkipFrames(uint32_t& frames)
{
    const uint32_t from = m_position;
    const uint64_t next = uint64_t{m_position} + frames;
    ZKRESULT result = ZK_DataReady;
    if (m_loopsLeft == 1)
    {
        if (next >= m_totalFrames)
        {
            frames = m_totalFrames > from ? m_totalFrames - from : 0;
            m_position = m_totalFrames;
            result = ZK_NoMoreData;
        }
        else
            m_position = static_cast<uint32_t>(next);
    }
    else if (next > m_loopEnd)
    {
        // The skip stops at the loop's end; the next one starts the loop again.
        if (m_loopsLeft > 1)
            --m_loopsLeft;
        frames = m_loopEnd >= from ? m_loopEnd - from + 1 : 0;
        m_position = m_loopStart;
    }
    else
        m_position = static_cast<uint32_t>(next);
    NotifyMarkersCrossed(m_markers, from, frames);
    StorePositionInfo();
    return result;
}

ZKRESULT CZkSrcFileBase::Restart()
{
    const ZKRESULT restarted = CZkVoiceSource::Restart();
    StorePositionInfo();
    return restarted;
}

void CZkSrcFileBase::StopStream()
{
    m_markers.Term();
    FreeHeaderBlock();
    m_envelope = ZkEnvelopeTable{};
}

float CZkSrcFileBase::GetDuration()
{
    const uint16_t loops = m_instance != nullptr ? m_instance->LoopCount() : uint16_t{1};
    const uint32_t rate = GetSampleRate();
    if (loops == 0 || rate == 0)
        return 0.0f;
    // 64 bits: long media with many loops overflow 32.
    const uint64_t loopLength = m_loopEnd >= m_loopStart ? uint64_t{m_loopEnd} - m_loopStart + 1 : 0;
    const uint64_t frames = loopLength * (loops - 1u) + m_totalFrames;
    return static_cast<float>(static_cast<double>(frames) * kMillisecondsPerSecond / rate);
}

ZKRESULT CZkSrcFileBase::StopLooping()
{
    m_loopsLeft = 1;
    return ZK_Success;
}

float CZkSrcFileBase::GetEnvelopeValue()
{
    return m_envelope.Lookup(m_envelopeIndex, m_position);
}

ZKRESULT CZkSrcFileBase::ClearLoops()
{
    m_loopsLeft = 0;
    return ZK_NothingToReport;
}

uint32_t CZkSrcFileBase::GetSampleRate() const
{
    return Format().sampleRate;
}

ZKRESULT CZkSrcFileBase::LoopDone(bool lastPass)
{
    if (m_loopsLeft > 1)
        --m_loopsLeft;
    return lastPass ? ZK_NoMoreData : ZK_DataReady;
}

ZKRESULT CZkSrcFileBase::KeepHeaderBlock(uint8_t* data, uint32_t size, bool inMediaMemory)
{
    FreeHeaderBlock();
    if (data == nullptr || size == 0)
        return ZK_Success;
    if (inMediaMemory)
        m_headerBlock = data;
    else
    {
        m_headerBlock = static_cast<uint8_t*>(ZK::MemoryMgr::Malloc(kPool, size));
        if (m_headerBlock == nullptr)
            return ZK_InsufficientMemory;
        std::memcpy(m_headerBlock, data, size);
        m_ownsHeaderBlock = true;
    }
    m_headerBlockSize = size;
    m_envelope = ZkEnvelopeTable::FromBytes(m_headerBlock, m_headerBlockSize);
    m_envelopeIndex = 0;
    return ZK_Success;
}

// Render path: no allocation beyond the voice's marker array (pool 5, grown ahead).
ZKRESULT CZkSrcFileBase::FillBuffer(const uint8_t* samples, uint32_t frames, uint32_t sampleRate,
                                    ZkChannelConfig config, ZkPipelineBuffer& buffer)
{
    if (frames == 0)
    {
        buffer.validFrames = 0;
        return ZK_NoDataReady;
    }
    buffer.AttachData(const_cast<uint8_t*>(samples), static_cast<uint16_t>(frames), config);
    buffer.maxFrames = static_cast<uint16_t>(frames);
    buffer.markers = ZkMarkerWindow{};
    const ZKRESULT collected = AppendMarkers(m_markers, buffer, m_position, frames, 0, 1.0f);
    if (collected != ZK_Success)
        return collected;
    buffer.position = ZkPlayPositionInfo{m_position, 1.0f, m_totalFrames, sampleRate};
    const uint64_t next = uint64_t{m_position} + frames;
    if (m_loopsLeft == 1)
    {
        m_position = static_cast<uint32_t>(std::min<uint64_t>(next, m_totalFrames));
        return next < m_totalFrames ? ZK_DataReady : LoopDone(true);
    }
    if (uint64_t{m_loopEnd} >= next)
    {
        m_position = static_cast<uint32_t>(next);
        return ZK_DataReady;
    }
    m_position = m_loopStart;
    return LoopDone(false);
}
} // namespace ZK::SoundEngine
