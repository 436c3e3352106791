#include "ZkAudiolib/Common/Sources/CZkSrcFileAdpcm.h"

#include "ZkAudiolib/Common/Bytes/ZkByteCursor.h"
#include "ZkAudiolib/Common/Media/MediaHeaderParser.h"
#include "ZkAudiolib/Common/Sources/ZkAdpcmBlocks.h"
#include "ZkAudiolib/Common/Voice/ZkAudioSettings.h"

#include <algorithm>
#include <cstring>

namespace ZK::SoundEngine
{
namespace
{
constexpr uint32_t kChannelsOffset = 2;
constexpr uint32_t kRateOffset = 4;
constexpr uint32_t kBlockAlignOffset = 12;
constexpr uint32_t kOutputBits = 16;
constexpr uint32_t kBlockAlignShift = 6;
constexpr uint32_t kBlockAlignMask = 0x3FF;
constexpr uint32_t kDecodeAlignment = 16;
constexpr double kMillisecondsPerSecond = 1000.0;
} // namespace

CZkSrcFileAdpcm::~CZkSrcFileAdpcm()
{
    FreeBuffers();
}

void CZkSrcFileAdpcm::FreeBuffers()
{
    if (m_decode != nullptr)
        ZK::MemoryMgr::Free(kPool, m_decode);
    if (m_partial != nullptr)
        ZK::MemoryMgr::Free(kPool, m_partial);
    m_decode = nullptr;
    m_partial = nullptr;
    m_capacity = 0;
    m_partialBytes = 0;
}

void CZkSrcFileAdpcm::StopStream()
{
    FreeBuffers();
    CZkSrcFileStream::StopStream();
}

ZKRESULT CZkSrcFileAdpcm::ParseHeader(const uint8_t* data, uint32_t size)
{
    ZkMediaChunk format;
    ZkMediaChunk engineChunk;
    uint32_t loopStart = 0;
    uint32_t loopEnd = 0;
    uint32_t dataSize = 0;
    uint32_t dataOffset = 0;
    // The bytes are read as they stand (media memory is never written).
    const ZKRESULT parsed = MediaHeaderParser::Parse(const_cast<uint8_t*>(data), size, format, &m_markers, loopStart,
                                                     loopEnd, dataSize, dataOffset, &engineChunk, nullptr, true);
    if (parsed != ZK_Success)
        return parsed;
    if (format.data == nullptr || format.size < kBlockAlignOffset + sizeof(uint16_t))
        return ZK_InvalidFile;
    const uint16_t tag = LoadLittleEndian<uint16_t>(format.data);
    if (tag != ZkAdpcmBlocks::kTagStepTable && tag != ZkAdpcmBlocks::kTagPredictive)
        return ZK_InvalidFile;
    // The decoder trusts these: each channel decodes 36 bytes of every block, the resampler reads
    // the configuration's channels from frames of this format, and the rate divides durations.
    const uint32_t channels = LoadLittleEndian<uint16_t>(format.data + kChannelsOffset);
    const uint32_t rate = LoadLittleEndian<uint32_t>(format.data + kRateOffset);
    const uint32_t blockAlign = LoadLittleEndian<uint16_t>(format.data + kBlockAlignOffset);
    if (format.size < kMinFormatBytes || channels == 0 || rate == 0 ||
        blockAlign != ZkAdpcmBlocks::kChannelBlockBytes * channels)
        return ZK_InvalidFile;
    const ZkChannelConfig config(MediaHeaderParser::ChannelWordOf(format));
    if (config.NumChannels() > channels)
        return ZK_InvalidFile;

    m_instance->SetMediaFormat(
        ZkAudioFormat{rate, config, kOutputBits | ((2 * channels) & kBlockAlignMask) << kBlockAlignShift});
    const ZKRESULT kept = KeepHeaderBlock(engineChunk.data, engineChunk.size, IsMemoryStream());
    if (kept != ZK_Success)
        return kept;
    if (IsMemoryStream())
        m_streamFlags |= kHeaderInMedia;

    m_formatTag = tag;
    m_channels = static_cast<uint16_t>(channels);
    m_blockAlign = blockAlign;
    m_framesPerBlock = ZkAdpcmBlocks::kFramesPerBlock;
    // Whole blocks only: a half block at the end is never decoded (it would be spliced onto the
    // next pass's first block).
    const uint32_t blocks = dataSize / blockAlign;
    const uint64_t totalFrames = uint64_t{blocks} * m_framesPerBlock;
    if (totalFrames == 0 || totalFrames > UINT32_MAX)
        return ZK_InvalidFile;
    m_totalFrames = static_cast<uint32_t>(totalFrames);
    m_dataOffset = dataOffset;
    m_dataSize = blocks * blockAlign;
    const uint64_t dataEnd = uint64_t{dataOffset} + m_dataSize;
    if (dataEnd > UINT32_MAX)
        return ZK_InvalidFile;

    if (loopEnd != 0 && m_loopsLeft != 1)
    {
        // The stream loops whole blocks; the frame positions keep the exact loop.
        const uint64_t startByte = dataOffset + uint64_t{blockAlign} * (loopStart / m_framesPerBlock);
        const uint64_t endByte = dataOffset + uint64_t{blockAlign} * ((uint64_t{loopEnd} + 1) / m_framesPerBlock);
        if (endByte <= startByte || startByte > dataEnd || endByte > dataEnd)
            return ZK_InvalidFile;
        m_loopStartByte = static_cast<uint32_t>(startByte);
        m_loopEndByte = static_cast<uint32_t>(endByte);
        m_loopStart = loopStart;
        m_loopEnd = loopEnd;
    }
    else
    {
        m_loopStartByte = dataOffset;
        m_loopEndByte = static_cast<uint32_t>(dataEnd);
        m_loopStart = 0;
        m_loopEnd = m_totalFrames - 1;
    }
    if (m_loopStart >= m_loopEnd || m_loopStart >= m_totalFrames || m_loopEnd >= m_totalFrames)
        return ZK_Fail;

    m_bytesPerMs = static_cast<float>(static_cast<double>(rate) * blockAlign / m_framesPerBlock / kMillisecondsPerSecond);
    m_streamLoops = m_loopsLeft;
    const ZKRESULT applied = ApplyHeuristics();
    if (applied != ZK_Success)
        return applied;
    return Stream()->SetMinimalBufferSize(blockAlign);
}

ZKRESULT CZkSrcFileAdpcm::FindBlock(uint32_t frame, uint32_t& restartFrame, uint32_t& byteOffset)
{
    const uint32_t block = frame / m_framesPerBlock;
    restartFrame = block * m_framesPerBlock;
    byteOffset = m_dataOffset + block * m_blockAlign;
    return ZK_Success;
}

void CZkSrcFileAdpcm::DecodeBlock(const uint8_t* block, int16_t* out) const
{
    for (uint32_t c = 0; c < m_channels; ++c)
    {
        const uint8_t* channel = block + c * ZkAdpcmBlocks::kChannelBlockBytes;
        if (m_formatTag == ZkAdpcmBlocks::kTagStepTable)
            ZkAdpcmBlocks::DecodeStepTable(channel, out + c, m_channels);
        else
            ZkAdpcmBlocks::DecodePredictive(channel, out + c, m_channels);
    }
}

// Render path: the decode buffer is allocated once (pool 5), then nothing is.
ZKRESULT CZkSrcFileAdpcm::GetBuffer(ZkPipelineBuffer& buffer)
{
    const auto finish = [&buffer](ZKRESULT result) {
        if (result != ZK_DataReady && result != ZK_NoMoreData)
            buffer.validFrames = 0;
        buffer.state = result;
        buffer.status = result;
        return result;
    };
    if (m_blockAlign == 0)
        return finish(ZK_Fail);
    const ZKRESULT gate = BufferingGate();
    if (gate != ZK_Success)
        return finish(gate);
    PostBuffering();
    if (BytesHeld() == 0)
    {
        if ((m_streamFlags & kLastBuffer) != 0 && m_partialBytes == 0)
        {
            buffer.validFrames = 0;
            return finish(ZK_NoMoreData);
        }
        const ZKRESULT fetched = FetchBuffer();
        if (fetched != ZK_DataReady && fetched != ZK_NoMoreData)
            return finish(fetched);
    }
    if (m_decode == nullptr)
    {
        // At least one block, whatever the engine's buffer: a smaller buffer would never decode one.
        const uint32_t frames = std::max<uint32_t>(ZkAudioSettings::FramesPerBuffer(), m_framesPerBlock);
        m_decode = static_cast<int16_t*>(
            ZK::MemoryMgr::Malign(kPool, size_t{frames} * m_channels * sizeof(int16_t), kDecodeAlignment));
        if (m_decode == nullptr)
            return finish(ZK_Fail);
        m_capacity = frames;
    }
    uint32_t blocks = 0;
    uint32_t room = m_capacity;
    if (m_partialBytes != 0)
    {
        const uint32_t need = m_blockAlign - m_partialBytes;
        if (BytesHeld() < need)
            return finish(ZK_Fail); // the file ends inside the block
        std::memcpy(m_partial + m_partialBytes, Data(), need);
        DecodeBlock(m_partial, m_decode);
        Consume(need);
        m_partialBytes = 0;
        ++blocks;
        room -= m_framesPerBlock;
    }
    const uint32_t whole = std::min(BytesHeld() / m_blockAlign, room / m_framesPerBlock);
    for (uint32_t i = 0; i < whole; ++i, ++blocks)
    {
        DecodeBlock(Data(), m_decode + size_t{blocks} * m_framesPerBlock * m_channels);
        Consume(m_blockAlign);
    }
    if (BytesHeld() < m_blockAlign)
    {
        if (BytesHeld() != 0)
        {
            if (m_partial == nullptr)
                m_partial = static_cast<uint8_t*>(ZK::MemoryMgr::Malloc(kPool, m_blockAlign));
            if (m_partial == nullptr)
                return finish(ZK_Fail);
            m_partialBytes = static_cast<uint16_t>(BytesHeld());
            std::memcpy(m_partial, Data(), m_partialBytes);
        }
        DropHeldBuffer();
    }
    const ZkAudioFormat& format = Format();
    return finish(FillBuffer(reinterpret_cast<const uint8_t*>(m_decode), blocks * m_framesPerBlock,
                             format.sampleRate, format.channelConfig, buffer));
}
} // namespace ZK::SoundEngine
