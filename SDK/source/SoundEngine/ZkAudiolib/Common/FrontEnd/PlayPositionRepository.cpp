// The play-position and stream-buffering records, and the interface getters that read them.
#include "ZkAudiolib/Common/FrontEnd/PlayPositionRepository.h"

#include "ZkAudiolib/Common/FrontEnd/EventManager.h"
#include "ZkAudiolib/Common/Sources/PlayPositionSourceIDs.h"

#include "Platform/PlatformClock.h"

#include <algorithm>

namespace ZK::SoundEngine
{
PlayPositionRepository* g_pPlayPositionRepository = nullptr;

namespace
{
uint32_t EngineFrame()
{
    return g_pEventMgr != nullptr ? g_pEventMgr->FramesRendered() : 0;
}

double TicksPerMillisecond()
{
    return static_cast<double>(ZK::Platform::PerformanceFrequency()) / 1000.0;
}
} // namespace

ZKRESULT PlayPositionRepository::Init()
{
    return m_positions.Reserve(kInitialRecords);
}

void PlayPositionRepository::Term()
{
    ZK::Platform::ZkScopedLock guard(m_lock);
    m_positions.Term();
    m_buffering.Term();
}

uint32_t PlayPositionRepository::FindPosition(ZkPlayingID playingID, const void* source) const
{
    for (uint32_t index = 0; index < m_positions.Length(); ++index)
    {
        if (m_positions[index].playingID == playingID && m_positions[index].source == source)
            return index;
    }
    return m_positions.Length();
}

uint32_t PlayPositionRepository::FindBuffering(ZkPlayingID playingID) const
{
    for (uint32_t index = 0; index < m_buffering.Length(); ++index)
    {
        if (m_buffering[index].playingID == playingID)
            return index;
    }
    return m_buffering.Length();
}

PlayPositionRepository::PositionRecord* PlayPositionRepository::AppendPosition(ZkPlayingID playingID,
                                                                               const void* source)
{
    const ZkPlayPositionInfo unknown{kUnknownSamples, 1.0f, kUnknownSamples, kNoInformation};
    return m_positions.AddLast(PositionRecord{playingID, source, m_timeStamp, unknown, EngineFrame()});
}

void PlayPositionRepository::AddSource(ZkPlayingID playingID, const void* source)
{
    ZK::Platform::ZkScopedLock guard(m_lock);
    if (FindPosition(playingID, source) == m_positions.Length())
        AppendPosition(playingID, source);
}

void PlayPositionRepository::RemoveSource(ZkPlayingID playingID, const void* source)
{
    ZK::Platform::ZkScopedLock guard(m_lock);
    m_positions.Erase(FindPosition(playingID, source));
}

void PlayPositionRepository::RemovePlayingID(ZkPlayingID playingID)
{
    ZK::Platform::ZkScopedLock guard(m_lock);
    for (uint32_t index = m_positions.Length(); index-- > 0;)
    {
        if (m_positions[index].playingID == playingID)
            m_positions.Erase(index);
    }
    m_buffering.Erase(FindBuffering(playingID));
}

void PlayPositionRepository::SetPositionInfo(ZkPlayingID playingID, const ZkPlayPositionInfo& info,
                                             const void* source)
{
    ZK::Platform::ZkScopedLock guard(m_lock);
    const uint32_t index = FindPosition(playingID, source);
    PositionRecord* record = nullptr;
    if (index < m_positions.Length())
    {
        record = &m_positions[index];
    }
    else
    {
        m_timeStamp = ZK::Platform::PerformanceCounter();
        record = AppendPosition(playingID, source);
        if (record == nullptr)
            return;
    }
    record->info = info;
    record->timeStamp = m_timeStamp;
    record->frame = EngineFrame();
}

void PlayPositionRepository::UpdatePosition(ZkPlayingID playingID, const void* source, float rate)
{
    ZK::Platform::ZkScopedLock guard(m_lock);
    const uint32_t index = FindPosition(playingID, source);
    if (index == m_positions.Length())
        return;
    m_positions[index].timeStamp = m_timeStamp;
    m_positions[index].info.rate = rate;
}

void PlayPositionRepository::RefreshTimeStamp()
{
    ZK::Platform::ZkScopedLock guard(m_lock);
    m_timeStamp = ZK::Platform::PerformanceCounter();
}

uint32_t PlayPositionRepository::PositionRecordCount()
{
    ZK::Platform::ZkScopedLock guard(m_lock);
    return m_positions.Length();
}

ZKRESULT PlayPositionRepository::GetSourcePlayPosition(ZkPlayingID playingID, ZkSourcePlayPosition* positions,
                                                       uint32_t& count, bool extrapolate)
{
    ZK::Platform::ZkScopedLock guard(m_lock);
    const uint32_t room = count;
    const int64_t now = extrapolate ? ZK::Platform::PerformanceCounter() : 0;
    uint32_t found = 0;
    for (const PositionRecord& record : m_positions)
    {
        if (room != 0 && found >= room)
            break;
        if (record.playingID != playingID || record.info.sampleRate == kNoInformation)
            continue;
        const double rate = record.info.sampleRate;
        double positionMs = static_cast<double>(record.info.positionSamples) * 1000.0 / rate;
        if (extrapolate)
            positionMs += static_cast<double>(now - record.timeStamp) / TicksPerMillisecond() * record.info.rate;
        const double durationMs = static_cast<double>(record.info.durationSamples) * 1000.0 / rate;
        if (positions != nullptr && room != 0)
        {
            ZkSourcePlayPosition& entry = positions[found];
            GetPlayPositionSourceIDs(record.source, entry.audioNodeID, entry.mediaID);
            entry.positionMs = static_cast<int32_t>(std::clamp(std::min(positionMs, durationMs), 0.0, 2147483647.0));
            entry.positionSamples = record.info.positionSamples;
            entry.bufferTick = EngineFrame();
        }
        ++found;
    }
    count = found;
    return found > 0 ? ZK_Success : ZK_Fail;
}

void PlayPositionRepository::SetBuffering(ZkPlayingID playingID, const void* source, int32_t buffered,
                                          int32_t status)
{
    ZK::Platform::ZkScopedLock guard(m_lock);
    const uint32_t index = FindBuffering(playingID);
    if (index == m_buffering.Length())
    {
        m_buffering.AddLast(BufferingRecord{playingID, source, buffered, status});
        return;
    }
    BufferingRecord& record = m_buffering[index];
    if (record.source == source)
    {
        record.buffered = buffered;
        record.status = status;
        return;
    }
    if (status == kBufferingIgnored)
        return;
    record.buffered = std::min(record.buffered, buffered);
    if (record.status != kBufferingComplete)
        record.status = status;
}

ZKRESULT PlayPositionRepository::GetBuffering(ZkPlayingID playingID, int32_t& buffered, int32_t& status)
{
    ZK::Platform::ZkScopedLock guard(m_lock);
    const uint32_t index = FindBuffering(playingID);
    if (index == m_buffering.Length())
        return ZK_Fail;
    buffered = m_buffering[index].buffered;
    status = m_buffering[index].status;
    return ZK_Success;
}

void PlayPositionRepository::RemoveBuffering(ZkPlayingID playingID)
{
    ZK::Platform::ZkScopedLock guard(m_lock);
    m_buffering.Erase(FindBuffering(playingID));
}

namespace StreamBufferingRepository
{
void Set(ZkPlayingID playingID, const void* source, int32_t buffered, int32_t status)
{
    if (g_pPlayPositionRepository != nullptr)
        g_pPlayPositionRepository->SetBuffering(playingID, source, buffered, status);
}

ZKRESULT Get(ZkPlayingID playingID, int32_t& buffered, int32_t& status)
{
    return g_pPlayPositionRepository != nullptr ? g_pPlayPositionRepository->GetBuffering(playingID, buffered, status)
                                                : ZK_Fail;
}

void Remove(ZkPlayingID playingID)
{
    if (g_pPlayPositionRepository != nullptr)
        g_pPlayPositionRepository->RemoveBuffering(playingID);
}
} // namespace StreamBufferingRepository

ZKRESULT GetSourcePlayPosition(ZkPlayingID playingID, int32_t* positionMs, bool extrapolate)
{
    if (positionMs == nullptr)
        return ZK_InvalidParameter;
    if (g_pPlayPositionRepository == nullptr)
        return ZK_Fail;
    ZkSourcePlayPosition position{};
    uint32_t count = 1;
    const ZKRESULT result = g_pPlayPositionRepository->GetSourcePlayPosition(playingID, &position, count, extrapolate);
    if (result == ZK_Success)
        *positionMs = position.positionMs;
    return result;
}

ZKRESULT GetSourcePlayPositions(ZkPlayingID playingID, ZkSourcePlayPosition* positions, uint32_t* count, bool extrapolate)
{
    if (count == nullptr || (positions == nullptr && *count > 0))
        return ZK_InvalidParameter;
    if (g_pPlayPositionRepository == nullptr)
        return ZK_Fail;
    return g_pPlayPositionRepository->GetSourcePlayPosition(playingID, positions, *count, extrapolate);
}

ZKRESULT GetSourceStreamBuffering(ZkPlayingID playingID, int32_t& bufferingMs, bool& hasData)
{
    int32_t buffered = 0;
    int32_t status = 0;
    const ZKRESULT result = StreamBufferingRepository::Get(playingID, buffered, status);
    bufferingMs = result == ZK_Success ? buffered : 0;
    hasData = result == ZK_Success && status == PlayPositionRepository::kBufferingComplete;
    return result;
}
} // namespace ZK::SoundEngine
