#include "ZkAudiolib/Common/Capture/CaptureFileWriter.h"

#include "ZkAudiolib/Common/Bytes/ZkByteCursor.h"
#include "ZkAudiolib/Common/Bytes/ZkFourCC.h"
#include "ZkAudiolib/Common/Containers/ZkNew.h"

#include <cstring>
#include <limits>

namespace ZK::SoundEngine
{
namespace
{
constexpr uint32_t kChunkHeaderBytes = 8;
constexpr uint32_t kCuePointBytes = 24;
constexpr uint32_t kLabelHeaderBytes = 12; // "labl", size, cue point id

char* CopyText(const char* first, const char* second)
{
    const size_t firstLength = first != nullptr ? std::strlen(first) : 0;
    const size_t secondLength = std::strlen(second);
    auto* copy = static_cast<char*>(ZK::MemoryMgr::Malloc(CaptureFileWriter::kPool, firstLength + secondLength + 1));
    if (copy == nullptr)
        return nullptr;
    if (firstLength != 0)
        std::memcpy(copy, first, firstLength);
    std::memcpy(copy + firstLength, second, secondLength + 1);
    return copy;
}

uint32_t LabelBytes(const char* label)
{
    return static_cast<uint32_t>(std::strlen(label)) + 1;
}
} // namespace

CZkStreamFileWriterFactory* CaptureFileWriter::GetDefaultWriterFactory()
{
    return CZkStreamFileWriterFactory::GetDefault();
}

CaptureFileWriter* CaptureFileWriter::Create(CZkStreamFileWriterFactory* factory, const wchar_t* fileName,
                                             uint32_t sampleRate, uint32_t sampleFormat, ZkChannelConfig config)
{
    if (factory == nullptr)
        factory = GetDefaultWriterFactory();
    CZkStreamFileWriter* stream = factory->CreateWriter(0, 0, nullptr);
    if (stream == nullptr)
        return nullptr;
    CaptureFileWriter* writer = ZK::ZkNew<CaptureFileWriter>(kPool);
    if (writer == nullptr)
    {
        stream->Destroy();
        return nullptr;
    }
    const uint32_t headerBytes = ZkWaveHeader::Build(sampleRate, sampleFormat, false, config, writer->m_header);
    writer->m_blockAlign = ZkWaveHeader::BlockAlign(sampleFormat, config);
    if (fileName == nullptr || stream->Open(fileName, writer->m_header, headerBytes) != ZK_Success)
    {
        stream->Destroy();
        ZK::ZkDelete(kPool, writer);
        return nullptr;
    }
    writer->m_stream = stream;
    return writer;
}

CaptureFileWriter::~CaptureFileWriter()
{
    FreeMarkers();
    if (m_stream != nullptr)
        m_stream->Destroy();
}

ZKRESULT CaptureFileWriter::PassSamples(const void* samples, uint32_t byteCount)
{
    if (m_stream == nullptr)
        return ZK_Fail;
    // The RIFF size (data + markers + 60) must stay a 32-bit number.
    const uint64_t limit = std::numeric_limits<uint32_t>::max() - uint64_t{ZkWaveHeader::kExtensibleRiffOverhead} -
                           uint64_t{std::numeric_limits<uint16_t>::max()};
    if (uint64_t{m_dataBytes} + byteCount > limit)
        return ZK_Fail;
    const ZKRESULT result = m_stream->WriteData(samples, byteCount);
    if (result == ZK_Success)
        m_dataBytes += byteCount;
    return result;
}

ZKRESULT CaptureFileWriter::AddMarker(const char* text)
{
    if (m_stream == nullptr)
        return ZK_Fail;
    if (text == nullptr)
        text = "";
    const uint32_t position = m_blockAlign != 0 ? m_dataBytes / m_blockAlign : 0;
    if (!m_markers.IsEmpty() && m_markers.Last().position == position)
    {
        char* joined = CopyText(m_markers.Last().label, text);
        if (joined == nullptr)
            return ZK_InsufficientMemory;
        ZK::MemoryMgr::Free(kPool, m_markers.Last().label);
        m_markers.Last().label = joined;
        return ZK_Success;
    }
    char* label = CopyText(nullptr, text);
    if (label == nullptr)
        return ZK_InsufficientMemory;
    if (m_markers.AddLast(Marker{m_markers.Length() + 1, position, label}) == nullptr)
    {
        ZK::MemoryMgr::Free(kPool, label);
        return ZK_InsufficientMemory;
    }
    return ZK_Success;
}

ZKRESULT CaptureFileWriter::WriteMarkerChunks(uint32_t& markerBytes)
{
    markerBytes = 0;
    const uint32_t count = m_markers.Length();
    uint8_t piece[kChunkHeaderBytes + kCuePointBytes];

    StoreLittleEndian(piece + 0, ZkFourCC("cue "));
    StoreLittleEndian(piece + 4, count * kCuePointBytes + 4);
    StoreLittleEndian(piece + 8, count);
    ZKRESULT result = m_stream->Write(piece, kChunkHeaderBytes + 4);
    for (uint32_t index = 0; index < count && result == ZK_Success; ++index)
    {
        const Marker& marker = m_markers[index];
        StoreLittleEndian(piece + 0, marker.id);
        StoreLittleEndian(piece + 4, marker.position);
        StoreLittleEndian(piece + 8, ZkFourCC("data"));
        StoreLittleEndian(piece + 12, uint32_t{0});
        StoreLittleEndian(piece + 16, uint32_t{0});
        StoreLittleEndian(piece + 20, marker.position);
        result = m_stream->Write(piece, kCuePointBytes);
    }
    if (result != ZK_Success)
        return result;
    markerBytes += kChunkHeaderBytes + 4 + count * kCuePointBytes;

    uint32_t listBytes = 4;
    for (const Marker& marker : m_markers)
    {
        const uint32_t labelBytes = LabelBytes(marker.label);
        listBytes += kLabelHeaderBytes + labelBytes + (labelBytes & 1u);
    }
    StoreLittleEndian(piece + 0, ZkFourCC("LIST"));
    StoreLittleEndian(piece + 4, listBytes);
    StoreLittleEndian(piece + 8, ZkFourCC("adtl"));
    result = m_stream->Write(piece, kChunkHeaderBytes + 4);
    for (uint32_t index = 0; index < count && result == ZK_Success; ++index)
    {
        const Marker& marker = m_markers[index];
        const uint32_t labelBytes = LabelBytes(marker.label);
        StoreLittleEndian(piece + 0, ZkFourCC("labl"));
        StoreLittleEndian(piece + 4, labelBytes + 4);
        StoreLittleEndian(piece + 8, marker.id);
        result = m_stream->Write(piece, kLabelHeaderBytes);
        if (result == ZK_Success)
            result = m_stream->Write(marker.label, labelBytes);
        if (result == ZK_Success && (labelBytes & 1u) != 0)
        {
            const uint8_t pad = 0;
            result = m_stream->Write(&pad, 1);
        }
    }
    if (result == ZK_Success)
        markerBytes += kChunkHeaderBytes + listBytes;
    return result;
}

ZKRESULT CaptureFileWriter::Close()
{
    ZKRESULT result = ZK_Success;
    if (m_stream != nullptr)
    {
        uint32_t markerBytes = 0;
        if (!m_markers.IsEmpty())
            WriteMarkerChunks(markerBytes); // a file whose markers cannot be written keeps its samples
        StoreLittleEndian(m_header + ZkWaveHeader::kExtensibleDataSizeOffset, m_dataBytes);
        StoreLittleEndian(m_header + ZkWaveHeader::kRiffSizeOffset,
                          markerBytes + m_dataBytes + ZkWaveHeader::kExtensibleRiffOverhead);
        result = m_stream->Close(m_header, ZkWaveHeader::kExtensibleHeaderBytes);
        m_stream->Destroy();
        m_stream = nullptr;
    }
    ZK::ZkDelete(kPool, this);
    return result;
}

void CaptureFileWriter::FreeMarkers()
{
    for (Marker& marker : m_markers)
        ZK::MemoryMgr::Free(kPool, marker.label);
    m_markers.Term();
}
} // namespace ZK::SoundEngine
