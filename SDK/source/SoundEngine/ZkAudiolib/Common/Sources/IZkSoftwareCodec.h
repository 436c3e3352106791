// IZkSoftwareCodec: the decoder a codec file source (CZkSrcFileCodec) drives: it reads the media's
// format chunk, then turns the bytes of the source's cursor into sample frames the voice can use
// (for the built-in PCM codec: whole frames handed out where they lie). The source keeps the
// position, the loop, the markers and the stream; the codec only decodes.
//
// Calling order: ParseFormat once the header is read, Start, then per buffer Decode and, after the
// voice consumed the frames, Release; DropState on entering virtual mode, Reset on leaving it,
// SeekToFrame then RestartAt for a seek, LoopsChanged when the loops stop, Stop before the codec
// is destroyed.
//
// Threading: the thread rendering the voice. Ownership: made by the source's codec creation
// function (memory pool 5) and destroyed by the source (Destroy).
#pragma once

#include "ZkAudiolib/Common/Media/MediaHeaderParser.h"

#include <ZK/SoundEngine/Common/ZkChannelConfig.h>
#include <ZK/SoundEngine/Common/ZkMemoryMgr.h>
#include <ZK/SoundEngine/Common/ZkResult.h>

#include <cstdint>

namespace ZK::SoundEngine
{
class ZkSourceCursor;

// Capability flags of a codec.
constexpr uint16_t kCodecPrefetchDecode = 0x1;  // decodes ahead (decode mode 1)
constexpr uint16_t kCodecMovableMedia = 0x2;    // its state may follow media that moves
constexpr uint16_t kCodecResamples = 0x4;       // applies the pitch itself
constexpr uint16_t kCodecHandsOver = 0x8;       // can hand its decoder state to the next source
constexpr uint16_t kCodecDecodesAhead = 0x10;   // decode mode 2

// Channel mapping kinds (the order in which a codec delivers its channels).
constexpr uint8_t kChannelMappingNone = 0;
constexpr uint8_t kChannelMappingIdentity = 1;
constexpr uint8_t kChannelMappingByMask = 2;
constexpr uint8_t kChannelMappingByTable = 3;

// What the media header told of the media.
struct ZkCodecHeader
{
    ZkMediaChunk format;
    uint32_t channelWord = 0; // the format's channel word as a configuration (a speaker mask rewritten)
    uint32_t dataOffset = 0;
    uint32_t dataSize = 0;
    uint32_t loopStart = 0;
    uint32_t loopEnd = 0; // 0: the header has no loop
};

// What ParseFormat answers: the format the voice plays and where the media's bytes lie (bytes
// from the start of the file; loopEndByte is the byte after the loop).
struct ZkCodecFormat
{
    uint32_t sampleRate = 0;
    ZkChannelConfig channelConfig;
    uint32_t formatWord = 0; // bits 0-5 bits per sample, 6-15 block align, 16-18 sample type
    uint32_t totalFrames = 0;
    uint32_t loopStartByte = 0;
    uint32_t loopEndByte = 0;
    float bytesPerMs = 0.0f;
    uint16_t blockAlign = 0;
};

// Frames a Decode delivers: where they lie, how many, and how many source frames they stand for.
struct ZkDecodedFrames
{
    const uint8_t* data = nullptr;
    uint32_t frames = 0;
    uint32_t framesRead = 0;
};

class IZkSoftwareCodec
{
public:
    static constexpr ZkMemoryId kPool = ZkMemID_Processing;

    virtual ~IZkSoftwareCodec() = default;

    // 1 with the format; 96 for a format the codec does not decode; 7 when it is malformed.
    virtual ZKRESULT ParseFormat(const ZkCodecHeader& header, ZkCodecFormat& format) = 0;
    virtual ZKRESULT Start(ZkSourceCursor& cursor) = 0;
    virtual void Stop() = 0;
    virtual ZKRESULT PrefetchDecode(ZkSourceCursor& cursor) = 0;
    // Up to framesWanted frames from the cursor: 45 with frames; 46 with none yet; 17 when the
    // cursor has no more; 2 on failure.
    virtual ZKRESULT Decode(ZkSourceCursor& cursor, uint32_t framesWanted, ZkDecodedFrames& out, bool wait) = 0;
    // The frames of the last Decode were used: the cursor moves past their bytes.
    virtual void Release(ZkSourceCursor& cursor) = 0;
    virtual void DropState() = 0;
    virtual ZKRESULT Reset() = 0;
    // Where decoding restarts for frame: the frame it restarts at and its byte offset in the data.
    virtual void SeekToFrame(uint32_t frame, uint32_t& restartFrame, uint32_t& byteOffset) = 0;
    virtual ZKRESULT RestartAt(ZkSourceCursor& cursor) = 0;
    virtual void LoopsChanged() = 0;
    virtual ZKRESULT HandOver(IZkSoftwareCodec& next) = 0;

    virtual uint16_t Flags() const = 0;
    virtual uint8_t MappingKind() const = 0;

    // The destructor, then the memory back to pool 5.
    static void Destroy(IZkSoftwareCodec* codec)
    {
        if (codec == nullptr)
            return;
        codec->~IZkSoftwareCodec();
        ZK::MemoryMgr::Free(kPool, codec);
    }
};

// A source's codec creation function.
using ZkCodecFactory = IZkSoftwareCodec* (*)();
} // namespace ZK::SoundEngine
