#include "ZkAudiolib/Common/Media/ZkSourceCursor.h"

#include "ZkAudiolib/Common/Hierarchy/ZkMediaRef.h"

#include <ZK/SoundEngine/Common/IZkStreamMgr.h>

#include <algorithm>

namespace ZK::SoundEngine
{
namespace
{
constexpr uint8_t kMaxStreamPriority = 100;

uint8_t StreamPriority(int8_t priority)
{
    return static_cast<uint8_t>(std::clamp<int32_t>(priority, 0, kMaxStreamPriority));
}
} // namespace

ZKRESULT ZkSourceCursor::Open(const ZkSourceDescription& description)
{
    ReleaseStream();
    Clear();
    ZK::IZkStreamMgr* manager = ZK::IZkStreamMgr::m_pStreamMgr;
    const ZkMediaRef* media = description.media;
    if (manager == nullptr || media == nullptr)
        return ZK_Fail;
    m_loopsLeft = description.loops;
    m_priority = description.priority;
    ZkAutomaticStreamHeuristics heuristics{kOpenThroughput, 0, 0, 1, StreamPriority(m_priority)};
    if (description.kind == kSourceKindInMemory)
    {
        if (description.memory == nullptr)
            return ZK_NoDataReady;
        m_flags |= kFlagInMemory;
        return manager->CreateAutomaticStreamOnMemory(const_cast<uint8_t*>(description.memory),
                                                      description.memorySize, heuristics, m_stream);
    }
    const bool byName = (media->flags & kMediaFlagByName) != 0;
    if (byName ? media->data == nullptr : media->fileID == kNoFileID)
        return ZK_Fail;
    ZkFileOpenFlags flags;
    flags.fileType = description.codecNumber;
    flags.isLanguageSpecific = (media->flags & kMediaFlagLanguage) != 0;
    const ZKRESULT opened =
        byName ? manager->CreateAutomaticStreamByName(static_cast<const wchar_t*>(media->data), &flags, heuristics,
                                                      nullptr, m_stream, false)
               : manager->CreateAutomaticStreamByID(static_cast<uint32_t>(media->fileID), &flags, heuristics, nullptr,
                                                    m_stream, false);
    if (opened != ZK_Success)
    {
        m_stream = nullptr;
        return opened;
    }
    if (description.memory != nullptr && description.memorySize != 0)
    {
        // The prefetch block stands for the file's first bytes; the stream reads on after it.
        m_prefetch = description.memory;
        m_prefetchSize = description.memorySize;
        m_flags |= kFlagPrefetchInUse;
        const ZKRESULT positioned = PositionStream(m_prefetchSize);
        if (positioned != ZK_Success)
            return positioned;
    }
    return m_stream->Start();
}

void ZkSourceCursor::Clear()
{
    m_prefetch = nullptr;
    m_prefetchSize = 0;
    m_bufferPosition = 0;
    m_position = 0;
    m_skip = 0;
    m_loopStart = 0;
    m_loopEnd = 0;
    m_dataEnd = kUnknownEnd;
    m_bytesPerMs = kOpenThroughput;
    m_loopsLeft = 1;
    m_priority = 0;
    m_flags = 0;
}

void ZkSourceCursor::SetLayout(const ZkCursorLayout& layout)
{
    m_bytesPerMs = layout.bytesPerMs;
    m_loopStart = layout.loopStart;
    m_loopEnd = layout.loopEnd;
    m_dataEnd = layout.dataEnd;
    if (m_stream != nullptr)
    {
        ApplyHeuristics();
        m_stream->SetMinimalBufferSize(layout.minBufferBytes);
    }
    CutAtEnd();
}

ZKRESULT ZkSourceCursor::ApplyHeuristics()
{
    ZkAutomaticStreamHeuristics heuristics{m_bytesPerMs, 0, 0, 1, StreamPriority(m_priority)};
    if (Looping())
    {
        heuristics.loopStart = m_loopStart;
        heuristics.loopEnd = m_loopEnd;
    }
    return m_stream->SetHeuristics(heuristics);
}

void ZkSourceCursor::CutAtEnd()
{
    if (m_buffer == nullptr)
    {
        m_bytesLeft = 0;
        return;
    }
    const uint32_t inBuffer = m_bufferSize - std::min(m_offset, m_bufferSize);
    const uint32_t end = EndPosition();
    const uint32_t toEnd = end > m_position ? end - m_position : 0;
    m_bytesLeft = std::min(inBuffer, toEnd);
}

void ZkSourceCursor::ReleaseBuffer()
{
    if ((m_flags & kFlagHoldsStreamBuffer) != 0 && m_stream != nullptr)
        m_stream->ReleaseBuffer();
    m_flags &= static_cast<uint8_t>(~kFlagHoldsStreamBuffer);
    m_buffer = nullptr;
    m_bufferSize = 0;
    m_offset = 0;
    m_bytesLeft = 0;
}

ZKRESULT ZkSourceCursor::PositionStream(uint32_t position)
{
    int64_t reached = 0;
    const ZKRESULT result = m_stream->SetPosition(position, ZK_MoveBegin, &reached);
    if (result != ZK_Success)
        return result;
    m_skip = reached >= 0 && reached <= position ? position - static_cast<uint32_t>(reached) : 0;
    m_flags &= static_cast<uint8_t>(~kFlagStreamEnded);
    return ZK_Success;
}

// Render path from here on: no allocation; the stream's calls take only its own lock.
ZKRESULT ZkSourceCursor::TakeStreamBuffer(bool wait)
{
    for (;;)
    {
        if ((m_flags & kFlagStreamEnded) != 0)
            return ZK_NoMoreData;
        void* data = nullptr;
        uint32_t size = 0;
        const ZKRESULT result = m_stream->GetBuffer(data, size, wait);
        if (result != ZK_DataReady && result != ZK_NoMoreData)
            return result;
        if (result == ZK_NoMoreData)
            m_flags |= kFlagStreamEnded;
        if (data == nullptr || size == 0)
        {
            if (data != nullptr)
                m_stream->ReleaseBuffer();
            if (result == ZK_NoMoreData)
                return ZK_NoMoreData;
            continue;
        }
        m_flags |= kFlagHoldsStreamBuffer;
        if (size <= m_skip)
        {
            // The whole buffer lies before the position asked for.
            m_skip -= size;
            m_stream->ReleaseBuffer();
            m_flags &= static_cast<uint8_t>(~kFlagHoldsStreamBuffer);
            continue;
        }
        m_buffer = static_cast<const uint8_t*>(data);
        m_bufferSize = size;
        m_offset = m_skip;
        m_bufferPosition = m_position - m_skip;
        m_skip = 0;
        return ZK_DataReady;
    }
}

ZKRESULT ZkSourceCursor::GetData(const uint8_t*& data, uint32_t& size, bool wait)
{
    data = nullptr;
    size = 0;
    if (m_stream == nullptr)
        return ZK_Fail;
    if (m_bytesLeft == 0)
    {
        if (AtEnd())
            return ZK_NoMoreData;
        ReleaseBuffer();
        if ((m_flags & kFlagPrefetchInUse) != 0 && m_position < m_prefetchSize)
        {
            m_buffer = m_prefetch;
            m_bufferSize = m_prefetchSize;
            m_bufferPosition = 0;
            m_offset = m_position;
        }
        else
        {
            if ((m_flags & kFlagPrefetchInUse) != 0)
                m_flags = static_cast<uint8_t>((m_flags & ~kFlagPrefetchInUse) | kFlagPrefetchDone);
            const ZKRESULT taken = TakeStreamBuffer(wait);
            if (taken != ZK_DataReady)
            {
                if (taken == ZK_NoMoreData)
                    m_flags |= kFlagEnd;
                return taken;
            }
        }
        CutAtEnd();
        if (m_bytesLeft == 0)
        {
            // The buffer starts at or past the end: nothing more to read.
            ReleaseBuffer();
            m_flags |= kFlagEnd;
            return ZK_NoMoreData;
        }
    }
    data = m_buffer + m_offset;
    size = m_bytesLeft;
    return ZK_DataReady;
}

void ZkSourceCursor::Advance(uint32_t bytes)
{
    bytes = std::min(bytes, m_bytesLeft);
    m_offset += bytes;
    m_position += bytes;
    m_bytesLeft -= bytes;
    if (m_position < EndPosition())
    {
        if (m_bytesLeft == 0)
            ReleaseBuffer();
        return;
    }
    ReleaseBuffer();
    if (!Looping())
    {
        m_flags |= kFlagEnd;
        return;
    }
    if (m_loopsLeft > 1)
        --m_loopsLeft;
    m_flags |= kFlagLooped;
    if (m_loopsLeft == 1)
        ApplyHeuristics(); // the last pass reads on to the end of the data
    m_position = m_loopStart;
    if (m_prefetch != nullptr && !InMemory() && m_loopStart < m_prefetchSize)
    {
        m_flags = static_cast<uint8_t>((m_flags & ~kFlagPrefetchDone) | kFlagPrefetchInUse);
        PositionStream(m_prefetchSize);
    }
    else
        PositionStream(m_loopStart);
    m_stream->Start();
}

ZKRESULT ZkSourceCursor::Seek(uint32_t position, uint16_t loops)
{
    if (m_stream == nullptr)
        return ZK_Fail;
    if (m_buffer != nullptr && loops == m_loopsLeft && !HasLooped() && position >= m_bufferPosition &&
        position - m_bufferPosition < m_bufferSize)
    {
        m_offset = position - m_bufferPosition;
        m_position = position;
        CutAtEnd();
        return ZK_PartialSuccess;
    }
    ReleaseBuffer();
    m_flags &= static_cast<uint8_t>(~(kFlagEnd | kFlagLooped));
    m_position = position;
    ZKRESULT result = ZK_Success;
    if (m_prefetch != nullptr && !InMemory() && position < m_prefetchSize)
    {
        m_flags = static_cast<uint8_t>((m_flags & ~kFlagPrefetchDone) | kFlagPrefetchInUse);
        result = PositionStream(m_prefetchSize);
    }
    else
    {
        if (m_prefetch != nullptr && !InMemory())
            m_flags = static_cast<uint8_t>((m_flags & ~kFlagPrefetchInUse) | kFlagPrefetchDone);
        result = PositionStream(position);
    }
    if (result != ZK_Success)
        return result;
    m_loopsLeft = loops;
    ApplyHeuristics();
    return m_stream->Start();
}

ZKRESULT ZkSourceCursor::StopLooping()
{
    if (m_stream == nullptr)
        return ZK_Fail;
    m_loopsLeft = 1;
    ApplyHeuristics();
    CutAtEnd();
    return ZK_Success;
}

ZKRESULT ZkSourceCursor::Reset()
{
    const ZKRESULT moved = Seek(0, m_loopsLeft);
    if (moved != ZK_Success && moved != ZK_PartialSuccess)
        return moved;
    const uint8_t* data = nullptr;
    uint32_t size = 0;
    const ZKRESULT first = GetData(data, size, false);
    return first == ZK_NoMoreData ? ZK_Fail : first;
}

void ZkSourceCursor::SetPriority(int8_t priority)
{
    if (priority == m_priority || m_stream == nullptr)
        return;
    m_priority = priority;
    ApplyHeuristics();
}

ZkCursorBuffering ZkSourceCursor::QueryBuffering()
{
    ZkCursorBuffering buffering;
    if (m_stream == nullptr)
    {
        buffering.status = ZK_Fail;
        return buffering;
    }
    uint32_t streamBytes = 0;
    const ZKRESULT status = m_stream->QueryBufferingStatus(streamBytes);
    buffering.bytes = m_bytesLeft + streamBytes;
    if (status == ZK_Fail)
        buffering.status = ZK_Fail;
    else if (status == ZK_NoMoreData || AtEnd() || streamBytes >= m_stream->GetNominalBuffering())
        buffering.status = ZK_NoMoreData;
    else
        buffering.status = ZK_Success;
    return buffering;
}

void ZkSourceCursor::Pause(bool dropBuffer)
{
    if (m_stream == nullptr)
        return;
    if (dropBuffer)
        ReleaseBuffer();
    m_stream->Stop();
}

ZKRESULT ZkSourceCursor::Resume()
{
    return m_stream != nullptr ? m_stream->Start() : ZK_Fail;
}

void ZkSourceCursor::RelocateMemory(const uint8_t* newMemory, const uint8_t* oldMemory)
{
    if (!InMemory() || m_stream == nullptr)
        return;
    if (m_buffer != nullptr)
        m_buffer = newMemory + (m_buffer - oldMemory);
    if (ZK::IZkStreamMgr::m_pStreamMgr != nullptr)
        ZK::IZkStreamMgr::m_pStreamMgr->SetMemoryStreamAddress(m_stream, const_cast<uint8_t*>(newMemory));
}

void ZkSourceCursor::ReleaseStream()
{
    ReleaseBuffer();
    if (m_stream != nullptr)
        m_stream->Destroy();
    m_stream = nullptr;
}
} // namespace ZK::SoundEngine
