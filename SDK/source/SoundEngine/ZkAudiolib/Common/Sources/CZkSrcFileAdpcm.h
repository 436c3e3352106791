// CZkSrcFileAdpcm: the source of codec-2 media, 4-bit ADPCM in a RIFF/WAVE container (format tag 2,
// step-table blocks, or 0x8311, predictive blocks; see ZkAdpcmBlocks.h), streamed from a loose
// file or read from memory. Blocks of 64 frames are decoded straight from the stream's buffers
// into 16-bit interleaved PCM; a block that straddles two buffers is completed in a small buffer
// of its own before it is decoded.
//
// The header is checked before anything is decoded: a format whose block align is not 36 bytes
// per channel, no channels, a configuration word of more channels than the format has, a rate of
// 0, a "fmt " without its configuration word, loop points outside the data or a loop shorter than
// one block are malformed (7). A "data" size that is not a whole number of blocks counts as its
// whole blocks.
//
// Buffers: the decode buffer holds one engine buffer of frames (at least one block) and is kept
// from the first GetBuffer to StopStream; a buffer may hold more frames than the voice asked for.
//
// Threading: the thread rendering the voice. Ownership: memory pool 5 (the factory makes it); its
// decode and partial-block buffers are its own.
#pragma once

#include "ZkAudiolib/Common/Sources/CZkSrcFileStream.h"

namespace ZK::SoundEngine
{
class CZkSrcFileAdpcm final : public CZkSrcFileStream
{
public:
    static constexpr uint32_t kMinFormatBytes = 24; // the configuration word ends at 24

    using CZkSrcFileStream::CZkSrcFileStream;
    ~CZkSrcFileAdpcm() override;

    void StopStream() override;
    ZKRESULT GetBuffer(ZkPipelineBuffer& buffer) override;
    ZKRESULT ParseHeader(const uint8_t* data, uint32_t size) override;
    ZKRESULT FindBlock(uint32_t frame, uint32_t& restartFrame, uint32_t& byteOffset) override;

    uint16_t FormatTag() const { return m_formatTag; }
    uint32_t BlockAlign() const { return m_blockAlign; }
    uint16_t PartialBytes() const { return m_partialBytes; }
    // Frames the decode buffer holds (0 before the first GetBuffer).
    uint32_t DecodeCapacity() const { return m_capacity; }

protected:
    // Seeks and virtual periods that drop the stream data drop the partial block too.
    void DropDecodeState() override { m_partialBytes = 0; }

private:
    // Decodes one block of every channel into out (interleaved).
    void DecodeBlock(const uint8_t* block, int16_t* out) const;
    void FreeBuffers();

    int16_t* m_decode = nullptr;
    uint8_t* m_partial = nullptr;
    uint32_t m_capacity = 0;
    uint16_t m_partialBytes = 0;
    uint16_t m_framesPerBlock = 64;
    uint16_t m_formatTag = 0;
    uint16_t m_channels = 0;
    uint32_t m_blockAlign = 0;
};
} // namespace ZK::SoundEngine
