// CZkPcmCodec: the built-in codec of uncompressed media (WAVE extensible, 16-bit integer samples,
// or 32-bit float samples in one channel). Its frames are handed out where they lie in the stream
// buffer or the media's memory; only a frame split between two stream buffers is copied (into the
// partial block, completed from the next buffer and delivered as one frame).
//
// ParseFormat accepts only a format whose fields agree with each other: a block align of channels
// x bits / 8 (never 0), a channel configuration that does not name more channels than the media
// holds (the resampler reads configuration-many channels per frame), and no multichannel 32-bit
// media (the resampler takes 32-bit media as planar, the codec hands out interleaved frames).
//
// Threading: the thread rendering the voice. Ownership: memory pool 5 (Create); it owns its
// partial block (pool 5).
#pragma once

#include "ZkAudiolib/Common/Sources/IZkSoftwareCodec.h"

namespace ZK::SoundEngine
{
class CZkPcmCodec final : public IZkSoftwareCodec
{
public:
    static constexpr uint16_t kFormatTagExtensible = 0xFFFE;
    // Bytes of the format chunk read: tag, channels, rate, byte rate, block align, bits, extension
    // size, valid bits, channel word.
    static constexpr uint32_t kFormatBytes = 24;

    // A codec in pool 5, or null.
    static IZkSoftwareCodec* Create();

    ~CZkPcmCodec() override { DropState(); }

    ZKRESULT ParseFormat(const ZkCodecHeader& header, ZkCodecFormat& format) override;
    ZKRESULT Start(ZkSourceCursor&) override { return ZK_Success; }
    void Stop() override { DropState(); }
    ZKRESULT PrefetchDecode(ZkSourceCursor&) override { return ZK_Success; }
    ZKRESULT Decode(ZkSourceCursor& cursor, uint32_t framesWanted, ZkDecodedFrames& out, bool wait) override;
    void Release(ZkSourceCursor& cursor) override;
    void DropState() override;
    ZKRESULT Reset() override { return ZK_Success; }
    void SeekToFrame(uint32_t frame, uint32_t& restartFrame, uint32_t& byteOffset) override;
    ZKRESULT RestartAt(ZkSourceCursor&) override
    {
        DropState();
        return ZK_Success;
    }
    void LoopsChanged() override {}
    ZKRESULT HandOver(IZkSoftwareCodec&) override { return ZK_Success; }
    uint16_t Flags() const override { return 0; }
    uint8_t MappingKind() const override { return kChannelMappingNone; }

    uint16_t PartialBytes() const { return m_partialBytes; }

private:
    // Copies what the cursor holds into the partial block (allocated on first use). 2 when it
    // cannot be allocated.
    ZKRESULT HoldTail(const uint8_t* data, uint32_t bytes);

    uint8_t* m_partial = nullptr;
    uint16_t m_partialBytes = 0;   // bytes of the partial block held
    uint32_t m_consumed = 0;       // cursor bytes the last Decode used
    uint16_t m_blockAlign = 0;
    bool m_partialDelivered = false;
};
} // namespace ZK::SoundEngine
