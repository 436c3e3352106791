// CZkSrcFileStream: opening the stream, the prefetch block and the first buffer, the walk from
// buffer to buffer with its loop cut, and the buffering status.
#include "ZkAudiolib/Common/Sources/CZkSrcFileStream.h"

#include "ZkAudiolib/Common/FrontEnd/EngineSettings.h"
#include "ZkAudiolib/Common/Hierarchy/ZkMediaRef.h"
#include "ZkAudiolib/Common/Media/ZkSourceCursor.h"

#include <ZK/SoundEngine/Common/IZkStreamMgr.h>

#include <algorithm>

namespace ZK::SoundEngine
{
namespace
{
constexpr uint32_t kCodecNumberShift = 16;
constexpr uint8_t kMaxStreamPriority = 100;
constexpr float kOpenThroughput = 1.0f; // bytes per ms until the header gives the real one

uint8_t StreamPriority(uint8_t priority)
{
    return std::min(priority, kMaxStreamPriority);
}
} // namespace

bool CZkSrcFileStream::WaitsForData() const
{
    return IsOfflineRendering();
}

void CZkSrcFileStream::RefreshWaitBit()
{
    if (m_instance != nullptr && m_instance->WaitsForBuffering())
        m_flags |= kFlagWaitForBuffering;
    else
        m_flags &= static_cast<uint8_t>(~kFlagWaitForBuffering);
}

ZKRESULT CZkSrcFileStream::OpenStream(const uint8_t* prefetch, uint32_t prefetchSize)
{
    ZK::IZkStreamMgr* manager = ZK::IZkStreamMgr::m_pStreamMgr;
    const ZkMediaRef* media = m_instance->Media();
    if (manager == nullptr || media == nullptr)
        return ZK_Fail;
    const ZkAutomaticStreamHeuristics heuristics{kOpenThroughput, 0, 0, 0,
                                                 StreamPriority(m_instance->IntegerPriority())};
    if (m_kind == kSourceKindInMemory)
    {
        if (prefetch == nullptr || prefetchSize == 0)
            return ZK_NoDataReady;
        m_streamFlags |= kMemoryStream;
        const ZKRESULT made =
            manager->CreateAutomaticStreamOnMemory(const_cast<uint8_t*>(prefetch), prefetchSize, heuristics, m_stream);
        if (made != ZK_Success)
            m_stream = nullptr;
        return made;
    }
    const bool byName = (media->flags & kMediaFlagByName) != 0;
    if (byName ? media->data == nullptr : media->fileID == kNoFileID)
        return ZK_Fail;
    // The codec id is the file type: the resolver names "<id>.oxm" for a media file.
    ZkFileOpenFlags flags;
    flags.fileType = m_instance->CodecKey() >> kCodecNumberShift;
    flags.codecId = flags.fileType;
    flags.isLanguageSpecific = (media->flags & kMediaFlagLanguage) != 0;
    // Streams of one file share what the stream cache holds of it (a file named by the game has no
    // id of its own).
    flags.cacheId = (media->flags & (kMediaFlagLanguage | kMediaFlagNoFileID)) != 0
                        ? ZK_NoCacheID
                        : static_cast<uint32_t>(media->fileID);
    const ZkAutomaticStreamBufferSettings settings{0, kMinimalStreamBuffer, 0};
    const ZKRESULT opened =
        byName ? manager->CreateAutomaticStreamByName(static_cast<const wchar_t*>(media->data), &flags, heuristics,
                                                      &settings, m_stream, false)
               : manager->CreateAutomaticStreamByID(static_cast<uint32_t>(media->fileID), &flags, heuristics,
                                                    &settings, m_stream, false);
    if (opened != ZK_Success)
        m_stream = nullptr;
    return opened;
}

ZKRESULT CZkSrcFileStream::StartStream(const uint8_t* prefetch, uint32_t prefetchSize)
{
    if (m_instance == nullptr)
        return ZK_Fail;
    if ((m_streamFlags & kHeaderRead) != 0)
        return CheckBuffering();
    m_instance->RefreshCallbackFlags();
    RefreshWaitBit();
    if (m_stream == nullptr)
    {
        const ZKRESULT opened = OpenStream(prefetch, prefetchSize);
        if (opened != ZK_Success)
            return opened;
    }
    const bool seekPending = (m_instance->StopByte() & CZkPlayingInstance::kSeekMask) != 0;
    if (m_kind == kSourceKindStreamed && prefetch != nullptr && prefetchSize != 0 && !seekPending)
    {
        // The bank holds the file's first bytes: play them while the stream reads on after them.
        m_streamFlags |= kPrefetch;
        const ZKRESULT parsed = ParseHeader(prefetch, prefetchSize);
        if (parsed != ZK_Success)
            return parsed;
        if (ProcessBuffer(prefetch, prefetchSize, true) != ZK_Success)
            return ZK_Fail;
        if ((m_streamFlags & kWrapped) == 0 && SetStreamPosition(prefetchSize) != ZK_Success)
            return ZK_Fail;
        Consume(m_dataOffset > m_filePosition ? m_dataOffset - m_filePosition : 0);
        m_streamFlags |= kHeaderRead;
        return m_stream->Start();
    }
    const ZKRESULT started = m_stream->Start();
    if (started != ZK_Success)
        return started;
    const ZKRESULT first = ReadFirstBuffer();
    if (first != ZK_Success)
        return first;
    return CheckBuffering();
}

ZKRESULT CZkSrcFileStream::ReadFirstBuffer()
{
    RefreshWaitBit();
    void* raw = nullptr;
    uint32_t size = 0;
    const ZKRESULT got = m_stream->GetBuffer(raw, size, WaitsForData());
    if (got == ZK_NoDataReady)
        return ZK_NotReadyYet;
    if (raw != nullptr)
        m_holdsStreamBuffer = true;
    if ((got != ZK_DataReady && got != ZK_NoMoreData) || raw == nullptr || size == 0)
    {
        DropHeldBuffer();
        return ZK_Fail;
    }
    const auto* data = static_cast<const uint8_t*>(raw);
    // The whole header must lie in this buffer: a longer one fails the start.
    const ZKRESULT parsed = ParseHeader(data, size);
    if (parsed != ZK_Success)
    {
        DropHeldBuffer();
        return parsed;
    }
    if ((m_instance->StopByte() & CZkPlayingInstance::kSeekMask) != 0)
    {
        const ZKRESULT sought = SeekToTarget();
        DropHeldBuffer();
        m_streamFlags |= kHeaderRead;
        return sought;
    }
    if (ProcessBuffer(data, size, false) != ZK_Success)
        return ZK_Fail;
    Consume(m_dataOffset > m_filePosition ? m_dataOffset - m_filePosition : 0);
    m_streamFlags |= kHeaderRead;
    return ZK_Success;
}

ZKRESULT CZkSrcFileStream::SetStreamPosition(uint32_t byte)
{
    int64_t reached = 0;
    const ZKRESULT moved = m_stream != nullptr ? m_stream->SetPosition(byte, ZK_MoveBegin, &reached) : ZK_Fail;
    if (moved != ZK_Success)
        return ZK_Fail;
    const uint32_t boundary = reached >= 0 && reached <= byte ? static_cast<uint32_t>(reached) : byte;
    m_streamPosition = boundary;
    m_skip = byte - boundary;
    return ZK_Success;
}

// Render path from here on: no allocation; the stream's calls take only its own lock.
ZKRESULT CZkSrcFileStream::ProcessBuffer(const uint8_t* data, uint32_t size, bool isPrefetch)
{
    m_streamFlags = static_cast<uint8_t>(isPrefetch ? (m_streamFlags | kFromPrefetch) : (m_streamFlags & ~kFromPrefetch));
    const uint32_t skip = std::min(m_skip, size);
    m_skip -= skip;
    m_data = data + skip;
    m_bytesLeft = size - skip;
    m_filePosition = m_streamPosition + skip;
    const uint64_t end = uint64_t{m_streamPosition} + size;
    m_streamPosition = static_cast<uint32_t>(end);
    const bool lastPass = m_streamLoops == 1;
    const uint32_t limit = lastPass ? DataEnd() : m_loopEndByte;
    if (end < limit)
        return ZK_Success;
    m_bytesLeft = limit > m_filePosition ? std::min(m_bytesLeft, limit - m_filePosition) : 0;
    if (lastPass)
    {
        m_streamFlags |= kLastBuffer;
        return ZK_Success;
    }
    // The stream reads the next pass from the loop start while these bytes are decoded.
    if (SetStreamPosition(m_loopStartByte) != ZK_Success)
        return ZK_Fail;
    m_streamFlags |= kWrapped;
    if (m_streamLoops > 1 && --m_streamLoops == 1)
        ApplyHeuristics();
    return ZK_Success;
}

ZKRESULT CZkSrcFileStream::FetchBuffer()
{
    void* raw = nullptr;
    uint32_t size = 0;
    const ZKRESULT got = m_stream != nullptr ? m_stream->GetBuffer(raw, size, WaitsForData()) : ZK_Fail;
    if (raw != nullptr)
        m_holdsStreamBuffer = true;
    if (got != ZK_DataReady && got != ZK_NoMoreData)
        return got;
    if (raw == nullptr || size == 0)
    {
        DropHeldBuffer();
        return ZK_Fail;
    }
    if (ProcessBuffer(static_cast<const uint8_t*>(raw), size, false) != ZK_Success)
        return ZK_Fail;
    return got;
}

void CZkSrcFileStream::Consume(uint32_t bytes)
{
    bytes = std::min(bytes, m_bytesLeft);
    m_data += bytes;
    m_bytesLeft -= bytes;
    m_filePosition += bytes;
}

void CZkSrcFileStream::DropHeldBuffer()
{
    if (m_holdsStreamBuffer && m_stream != nullptr)
        m_stream->ReleaseBuffer();
    m_holdsStreamBuffer = false;
    m_data = nullptr;
    m_bytesLeft = 0;
    m_streamFlags &= static_cast<uint8_t>(~(kFromPrefetch | kPrefetch));
}

ZKRESULT CZkSrcFileStream::ApplyHeuristics()
{
    if (m_stream == nullptr)
        return ZK_Fail;
    ZkAutomaticStreamHeuristics heuristics{m_bytesPerMs, 0, 0, 0, StreamPriority(m_instance->IntegerPriority())};
    if (m_streamLoops != 1)
    {
        heuristics.loopStart = m_loopStartByte;
        heuristics.loopEnd = m_loopEndByte;
    }
    return m_stream->SetHeuristics(heuristics);
}

void CZkSrcFileStream::PostBuffering()
{
    if (!ReportsBuffering())
        return;
    uint32_t buffered = 0;
    const ZKRESULT status = m_stream != nullptr ? m_stream->QueryBufferingStatus(buffered) : ZK_Fail;
    ZKRESULT posted = ZK_Success;
    if (status == ZK_Fail)
        posted = ZK_Fail;
    else if (status == ZK_NoMoreData || buffered >= m_stream->GetNominalBuffering())
        posted = ZK_NoMoreData;
    PostStreamBuffering(m_bytesLeft + buffered, m_bytesPerMs, posted);
}

ZKRESULT CZkSrcFileStream::CheckBuffering()
{
    ZKRESULT result = ZK_Success;
    if ((m_flags & kFlagWaitForBuffering) != 0 && !IsOfflineRendering() && m_stream != nullptr)
    {
        uint32_t buffered = 0;
        const ZKRESULT status = m_stream->QueryBufferingStatus(buffered);
        if (status == ZK_DataReady || status == ZK_NoDataReady)
            result = uint64_t{m_bytesLeft} + buffered < m_stream->GetNominalBuffering() ? ZK_NotReadyYet : ZK_Success;
        else if (status != ZK_NoMoreData)
            result = status;
    }
    PostBuffering();
    return result;
}

ZKRESULT CZkSrcFileStream::BufferingGate()
{
    if ((m_flags & kFlagWaitForBuffering) == 0)
        return ZK_Success;
    if (IsOfflineRendering() || m_stream == nullptr)
    {
        m_flags &= static_cast<uint8_t>(~kFlagWaitForBuffering);
        return ZK_Success;
    }
    uint32_t buffered = 0;
    const ZKRESULT status = m_stream->QueryBufferingStatus(buffered);
    if (status == ZK_DataReady || status == ZK_NoDataReady)
    {
        if (uint64_t{m_bytesLeft} + buffered < m_stream->GetNominalBuffering())
            return ZK_NoDataReady;
    }
    else if (status != ZK_NoMoreData)
        return status;
    m_flags &= static_cast<uint8_t>(~kFlagWaitForBuffering);
    return ZK_Success;
}

void CZkSrcFileStream::ReleaseStream()
{
    DropHeldBuffer();
    if (m_stream != nullptr)
        m_stream->Destroy();
    m_stream = nullptr;
}

void CZkSrcFileStream::StopStream()
{
    ReleaseStream();
    CZkSrcFileBase::StopStream();
}
} // namespace ZK::SoundEngine
