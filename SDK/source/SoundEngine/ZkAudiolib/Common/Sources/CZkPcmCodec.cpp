#include "ZkAudiolib/Common/Sources/CZkPcmCodec.h"

#include "ZkAudiolib/Common/Bytes/ZkByteCursor.h"
#include "ZkAudiolib/Common/Media/ZkSourceCursor.h"

#include <algorithm>
#include <cstring>
#include <new>

namespace ZK::SoundEngine
{
namespace
{
constexpr uint32_t kBitsPerSampleMask = 0x3F;
constexpr uint32_t kBlockAlignMask = 0x3FF;
constexpr uint32_t kBlockAlignShift = 6;
constexpr uint32_t kFloatBits = 32;
constexpr float kMillisecondsPerSecond = 1000.0f;
} // namespace

IZkSoftwareCodec* CZkPcmCodec::Create()
{
    void* memory = ZK::MemoryMgr::Malloc(kPool, sizeof(CZkPcmCodec));
    return memory != nullptr ? new (memory) CZkPcmCodec() : nullptr;
}

ZKRESULT CZkPcmCodec::ParseFormat(const ZkCodecHeader& header, ZkCodecFormat& format)
{
    const ZkMediaChunk& chunk = header.format;
    if (chunk.data == nullptr || chunk.size < sizeof(uint16_t))
        return ZK_InvalidFile;
    if (ZK::LoadLittleEndian<uint16_t>(chunk.data) != kFormatTagExtensible)
        return ZK_UnsupportedFormat;
    if (chunk.size < kFormatBytes)
        return ZK_InvalidFile;
    const uint32_t channels = ZK::LoadLittleEndian<uint16_t>(chunk.data + 2);
    const uint32_t rate = ZK::LoadLittleEndian<uint32_t>(chunk.data + 4);
    const uint32_t blockAlign = ZK::LoadLittleEndian<uint16_t>(chunk.data + 12);
    const uint32_t bits = ZK::LoadLittleEndian<uint16_t>(chunk.data + 14);
    const ZkChannelConfig config(header.channelWord);

    // The fields must agree: the resampler reads the configuration's channel count per frame from
    // blocks of this size, and takes 32-bit samples as planar.
    if (blockAlign == 0 || blockAlign != channels * bits / 8)
        return ZK_InvalidFile;
    if (config.NumChannels() > channels)
        return ZK_InvalidFile;
    if (bits == kFloatBits && channels > 1)
        return ZK_InvalidFile;

    const uint32_t totalFrames = header.dataSize / blockAlign;
    const uint64_t dataEnd = uint64_t{header.dataOffset} + header.dataSize;
    uint64_t loopStartByte = header.dataOffset;
    uint64_t loopEndByte = dataEnd;
    if (header.loopEnd != 0)
    {
        loopStartByte = header.dataOffset + uint64_t{blockAlign} * header.loopStart;
        loopEndByte = header.dataOffset + uint64_t{blockAlign} * (uint64_t{header.loopEnd} + 1);
    }
    const float bytesPerMs = static_cast<float>(blockAlign) * static_cast<float>(rate) / kMillisecondsPerSecond;
    if (totalFrames == 0 || dataEnd > UINT32_MAX || loopStartByte > dataEnd || loopEndByte > dataEnd ||
        !(bytesPerMs > 0.0f))
        return ZK_InvalidFile;

    format.sampleRate = rate;
    format.channelConfig = config;
    format.formatWord = (bits & kBitsPerSampleMask) | (blockAlign & kBlockAlignMask) << kBlockAlignShift;
    format.totalFrames = totalFrames;
    format.loopStartByte = static_cast<uint32_t>(loopStartByte);
    format.loopEndByte = static_cast<uint32_t>(loopEndByte);
    format.bytesPerMs = bytesPerMs;
    format.blockAlign = static_cast<uint16_t>(blockAlign);
    m_blockAlign = static_cast<uint16_t>(blockAlign);
    return ZK_Success;
}

ZKRESULT CZkPcmCodec::HoldTail(const uint8_t* data, uint32_t bytes)
{
    if (m_partial == nullptr)
    {
        m_partial = static_cast<uint8_t*>(ZK::MemoryMgr::Malloc(kPool, m_blockAlign));
        if (m_partial == nullptr)
            return ZK_Fail;
    }
    std::memcpy(m_partial + m_partialBytes, data, bytes);
    m_partialBytes = static_cast<uint16_t>(m_partialBytes + bytes);
    return ZK_Success;
}

// Render path: frames are handed out in place; the partial block is allocated once.
ZKRESULT CZkPcmCodec::Decode(ZkSourceCursor& cursor, uint32_t framesWanted, ZkDecodedFrames& out, bool wait)
{
    out = ZkDecodedFrames{};
    m_consumed = 0;
    if (m_blockAlign == 0 || m_partialDelivered)
        return ZK_Fail;
    for (;;)
    {
        const uint8_t* data = nullptr;
        uint32_t bytes = 0;
        const ZKRESULT got = cursor.GetData(data, bytes, wait);
        if (got != ZK_DataReady)
            return got;
        if (m_partialBytes != 0)
        {
            // The head of this buffer completes the frame the last one began.
            const uint32_t take = std::min<uint32_t>(m_blockAlign - m_partialBytes, bytes);
            if (HoldTail(data, take) != ZK_Success)
                return ZK_Fail;
            if (m_partialBytes < m_blockAlign)
            {
                cursor.Advance(take);
                continue;
            }
            m_consumed = take;
            m_partialDelivered = true;
            out = ZkDecodedFrames{m_partial, 1, 1};
            return ZK_DataReady;
        }
        const uint32_t whole = bytes / m_blockAlign;
        const uint32_t frames = std::min(framesWanted, whole);
        m_consumed = frames * m_blockAlign;
        const uint32_t tail = bytes - whole * m_blockAlign;
        if (frames == whole && tail != 0)
        {
            // The buffer ends inside a frame: its head waits in the partial block for the rest.
            if (HoldTail(data + m_consumed, tail) != ZK_Success)
                return ZK_Fail;
            m_consumed += tail;
        }
        if (frames == 0)
        {
            if (tail == 0)
                return ZK_NoDataReady;
            cursor.Advance(m_consumed);
            m_consumed = 0;
            continue;
        }
        out = ZkDecodedFrames{data, frames, frames};
        return ZK_DataReady;
    }
}

void CZkPcmCodec::Release(ZkSourceCursor& cursor)
{
    cursor.Advance(m_consumed);
    m_consumed = 0;
    if (m_partialDelivered)
    {
        m_partialDelivered = false;
        m_partialBytes = 0;
    }
}

void CZkPcmCodec::DropState()
{
    if (m_partial != nullptr)
        ZK::MemoryMgr::Free(kPool, m_partial);
    m_partial = nullptr;
    m_partialBytes = 0;
    m_partialDelivered = false;
    m_consumed = 0;
}

void CZkPcmCodec::SeekToFrame(uint32_t frame, uint32_t& restartFrame, uint32_t& byteOffset)
{
    restartFrame = frame;
    byteOffset = frame * m_blockAlign;
}
} // namespace ZK::SoundEngine
