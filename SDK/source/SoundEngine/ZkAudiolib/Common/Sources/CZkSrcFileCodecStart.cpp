// CZkSrcFileCodec: opening the stream, reading the media header and the format, stopping.
#include "ZkAudiolib/Common/Sources/CZkSrcFileCodec.h"

#include "ZkAudiolib/Common/Bytes/ZkByteCursor.h"
#include "ZkAudiolib/Common/FrontEnd/EngineSettings.h"
#include "ZkAudiolib/Common/Hierarchy/ZkMediaRef.h"
#include "ZkAudiolib/Common/Media/MediaHeaderParser.h"

#include <cstring>

namespace ZK::SoundEngine
{
namespace
{
constexpr uint32_t kCodecNumberShift = 16;
} // namespace

bool CZkSrcFileCodec::WaitForData() const
{
    // Offline rendering waits for the stream rather than starve.
    return IsOfflineRendering();
}

ZKRESULT CZkSrcFileCodec::OpenCursor(const uint8_t* prefetch, uint32_t prefetchSize)
{
    const ZkMediaRef* media = m_instance->Media();
    ZkSourceDescription description;
    description.media = media;
    description.kind = m_kind;
    description.codecNumber = m_instance->CodecKey() >> kCodecNumberShift;
    description.loops = m_instance->LoopCount();
    description.priority = static_cast<int8_t>(m_instance->IntegerPriority());
    const bool prefetched = media != nullptr && (media->flags & kMediaFlagPrefetch) != 0;
    if (m_kind == kSourceKindInMemory || prefetched)
    {
        description.memory = prefetch;
        description.memorySize = prefetchSize;
    }
    return m_cursor.Open(description);
}

void CZkSrcFileCodec::FreeAccumulation()
{
    if (m_accumulation != nullptr)
        ZK::MemoryMgr::Free(kPool, m_accumulation);
    m_accumulation = nullptr;
    m_accumulated = 0;
}

ZKRESULT CZkSrcFileCodec::AccumulateHeader(const uint8_t* data, uint32_t size)
{
    void* grown = ZK::MemoryMgr::Realloc(kPool, m_accumulation, size_t{m_accumulated} + size);
    if (grown == nullptr)
        return ZK_InsufficientMemory;
    m_accumulation = static_cast<uint8_t*>(grown);
    std::memcpy(m_accumulation + m_accumulated, data, size);
    m_accumulated += size;
    return ZK_Success;
}

ZKRESULT CZkSrcFileCodec::KeepHeaderBlock(const ZkMediaChunk& engineChunk)
{
    FreeHeaderBlock();
    if (engineChunk.data == nullptr || engineChunk.size == 0)
        return ZK_Success;
    if (m_cursor.InMemory() && m_accumulation == nullptr)
    {
        // The header lies in the media's own memory, which outlives the source.
        m_headerBlock = engineChunk.data;
        m_headerBlockSize = engineChunk.size;
    }
    else
    {
        m_headerBlock = static_cast<uint8_t*>(ZK::MemoryMgr::Malloc(kPool, engineChunk.size));
        if (m_headerBlock == nullptr)
            return ZK_InsufficientMemory;
        std::memcpy(m_headerBlock, engineChunk.data, engineChunk.size);
        m_headerBlockSize = engineChunk.size;
        m_ownsHeaderBlock = true;
    }
    m_envelope = ZkEnvelopeTable::FromBytes(m_headerBlock, m_headerBlockSize);
    m_envelopeIndex = 0;
    return ZK_Success;
}

void CZkSrcFileCodec::TakeFormat(const ZkCodecFormat& format, uint32_t loopStart, uint32_t loopEnd)
{
    m_instance->SetMediaFormat(ZkAudioFormat{format.sampleRate, format.channelConfig, format.formatWord});
    m_loops = m_instance->LoopCount();
    if (loopEnd == 0)
    {
        loopStart = 0;
        loopEnd = format.totalFrames - 1;
    }
    const uint32_t dataEnd = m_dataOffset + format.totalFrames * format.blockAlign;
    m_cursor.SetLayout(
        ZkCursorLayout{format.bytesPerMs, format.loopStartByte, format.loopEndByte, dataEnd, format.blockAlign});
    m_position.Init(loopStart, loopEnd, format.sampleRate, format.totalFrames, m_loops);
    m_codecFlags = m_codec->Flags();
    m_mappingKind = m_codec->MappingKind();
    m_decodeMode = (m_codecFlags & kCodecDecodesAhead) != 0 ? 2 : (m_codecFlags & kCodecPrefetchDecode);
}

ZKRESULT CZkSrcFileCodec::ReadHeader()
{
    for (;;)
    {
        const uint8_t* data = nullptr;
        uint32_t size = 0;
        const ZKRESULT got = m_cursor.GetData(data, size, WaitForData());
        if (got == ZK_NoDataReady)
            return ZK_NotReadyYet;
        if (got != ZK_DataReady)
            return ZK_Fail;
        if (m_accumulation != nullptr)
        {
            const ZKRESULT grown = AccumulateHeader(data, size);
            if (grown != ZK_Success)
                return grown;
        }
        // The channel word is read as it stands (the media's bytes are never written) and made a
        // configuration here.
        uint8_t* bytes = m_accumulation != nullptr ? m_accumulation : const_cast<uint8_t*>(data);
        const uint32_t available = m_accumulation != nullptr ? m_accumulated : size;
        ZkCodecHeader header;
        ZkMediaChunk engineChunk;
        const ZKRESULT parsed =
            MediaHeaderParser::Parse(bytes, available, header.format, &m_markers, header.loopStart, header.loopEnd,
                                     header.dataSize, header.dataOffset, &engineChunk, nullptr, true);
        if (parsed == ZK_HeaderIncomplete)
        {
            // Keep these bytes and read the next buffer.
            if (m_accumulation == nullptr)
            {
                const ZKRESULT kept = AccumulateHeader(data, size);
                if (kept != ZK_Success)
                    return kept;
            }
            m_cursor.Advance(size);
            m_markers.Term();
            continue;
        }
        if (parsed != ZK_Success)
            return parsed;
        if (header.loopEnd != 0 && header.loopStart >= header.loopEnd)
            return ZK_InvalidFile;
        header.channelWord = MediaHeaderParser::ChannelWordOf(header.format);
        const ZKRESULT kept = KeepHeaderBlock(engineChunk);
        if (kept != ZK_Success)
            return kept;
        m_codec = m_codecFactory != nullptr ? m_codecFactory() : nullptr;
        if (m_codec == nullptr)
            return ZK_InsufficientMemory;
        ZkCodecFormat format;
        const ZKRESULT understood = m_codec->ParseFormat(header, format);
        if (understood != ZK_Success)
            return understood;
        m_dataOffset = header.dataOffset;
        TakeFormat(format, header.loopStart, header.loopEnd);
        FreeAccumulation();
        const ZKRESULT moved = m_cursor.Seek(m_dataOffset, m_loops);
        return moved == ZK_PartialSuccess ? ZK_Success : moved;
    }
}

ZKRESULT CZkSrcFileCodec::StartStream(const uint8_t* prefetch, uint32_t prefetchSize)
{
    if (m_instance == nullptr)
        return ZK_Fail;
    if (m_instance->WaitsForBuffering())
        m_flags |= kFlagWaitForBuffering;
    else
        m_flags &= static_cast<uint8_t>(~kFlagWaitForBuffering);
    m_instance->RefreshCallbackFlags();
    if (!m_cursor.IsOpen())
    {
        const ZKRESULT opened = OpenCursor(prefetch, prefetchSize);
        if (opened != ZK_Success)
            return opened;
    }
    if (m_codec == nullptr)
    {
        const ZKRESULT read = ReadHeader();
        if (read != ZK_Success)
            return read;
    }
    const ZKRESULT started = m_codec->Start(m_cursor);
    if (started != ZK_Success)
        return started;
    const ZKRESULT buffering = PostBuffering();
    if ((m_instance->StopByte() & CZkPlayingInstance::kSeekMask) != 0)
    {
        uint16_t loops = m_loops;
        const uint32_t target = SeekTarget(loops);
        const ZKRESULT sought = SeekTo(target, loops);
        if (sought != ZK_Success)
            return sought;
    }
    if (m_decodeMode == 1)
    {
        const ZKRESULT decoded = m_codec->PrefetchDecode(m_cursor);
        if (decoded == ZK_Fail || decoded == ZK_InsufficientMemory)
            m_ownFlags |= kCodecFailed;
        else if (decoded == ZK_NoMoreData)
            m_flags |= kFlagEndOfData;
    }
    // The buffering gate: a stream asked to fill up first starts once it holds its nominal
    // buffering (offline rendering waits for data anyway).
    if ((m_flags & kFlagWaitForBuffering) != 0 && !WaitForData() && buffering == ZK_Success)
        return ZK_NotReadyYet;
    return ZK_Success;
}

void CZkSrcFileCodec::StopStream()
{
    if (m_codec != nullptr)
    {
        m_codec->Stop();
        IZkSoftwareCodec::Destroy(m_codec);
    }
    m_codec = nullptr;
    FreeHeaderBlock();
    m_envelope = ZkEnvelopeTable{};
    FreeAccumulation();
    m_markers.Term();
    m_cursor.ReleaseStream();
}
} // namespace ZK::SoundEngine
