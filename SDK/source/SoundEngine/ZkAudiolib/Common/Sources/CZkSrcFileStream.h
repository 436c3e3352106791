// CZkSrcFileStream: a file source that reads its media through an automatic stream of the stream
// manager (a loose file by id or by name, or the media in memory) and walks it buffer by buffer:
// the prefetch block first when the bank holds the file's first bytes, then the stream's buffers.
//
// Loops are handled where the bytes are fetched: a buffer that reaches the loop end is cut there
// and the stream is sent back to the loop start at once, so that it reads the next pass ahead
// ("wrapped"); on the last pass the buffer is cut at the end of the data instead. The stream moves
// only to its block boundaries: the bytes between a boundary and the position asked for are
// skipped at the start of the next buffer.
//
// Buffering: with the instance's wait flag the source answers 63 from StartStream until the stream
// holds its nominal buffering; offline rendering never waits for buffering but waits for every
// stream buffer instead.
//
// Subclasses parse the header (ParseHeader), find blocks (FindBlock) and decode (GetBuffer), using
// the current data: Data()/BytesHeld(), Consume() and DropHeldBuffer().
//
// Threading: the thread rendering the voice; the stream's I/O runs on the stream manager's thread
// behind its interface. Ownership: the stream is its own (destroyed by StopStream); the prefetch
// block and the media memory belong to the bank.
#pragma once

#include "ZkAudiolib/Common/Sources/CZkSrcFileBase.h"

#include <ZK/SoundEngine/Common/IZkAutomaticStream.h>

namespace ZK::SoundEngine
{
class CZkSrcFileStream : public CZkSrcFileBase
{
public:
    // Flag byte values.
    static constexpr uint8_t kLastBuffer = 0x01;
    static constexpr uint8_t kPrefetch = 0x02;
    static constexpr uint8_t kHeaderRead = 0x04;
    static constexpr uint8_t kFromPrefetch = 0x08;
    static constexpr uint8_t kHeaderInMedia = 0x10;
    static constexpr uint8_t kMemoryStream = 0x20;
    static constexpr uint8_t kWrapped = 0x40;
    // The stream manager's buffer settings for media streams: {buffer size, minimal size, block}.
    static constexpr uint32_t kMinimalStreamBuffer = 2048;

    using CZkSrcFileBase::CZkSrcFileBase;
    ~CZkSrcFileStream() override { ReleaseStream(); }

    void EnterVirtual(uint32_t behaviour) override;
    ZKRESULT LeaveVirtual(uint32_t behaviour, bool fromElapsed) override;
    ZKRESULT StartStream(const uint8_t* prefetch, uint32_t prefetchSize) override;
    void StopStream() override;
    ZKRESULT StopLooping() override;
    ZKRESULT RelocateMedia(const uint8_t* newAddress, const uint8_t* oldAddress) override;
    bool UsesMediaMemory() override { return m_headerBlock != nullptr && (m_streamFlags & kHeaderInMedia) != 0; }
    ZKRESULT Seek() override;
    // The position starts the loop again: the data the stream read ahead is being played.
    ZKRESULT LoopDone(bool lastPass) override;

    // The buffer covering the next stream bytes becomes the current data (cut at the loop end, or
    // at the end of the data on the last pass; a cut at the loop end sends the stream back to the
    // loop start). 1, or 2 when the stream cannot move.
    ZKRESULT ProcessBuffer(const uint8_t* data, uint32_t size, bool isPrefetch);
    // Moves the stream to the block of frame (2 at or past the end): reached is where decoding
    // restarts.
    ZKRESULT SeekToFrame(uint32_t frame, uint32_t& reached);

    uint8_t StreamFlags() const { return m_streamFlags; }
    uint16_t StreamLoops() const { return m_streamLoops; }
    IZkAutomaticStream* Stream() const { return m_stream; }

protected:
    const uint8_t* Data() const { return m_data; }
    uint32_t BytesHeld() const { return m_bytesLeft; }
    void Consume(uint32_t bytes);
    // The current data goes: a stream buffer goes back to the stream, a prefetch block is only
    // forgotten.
    void DropHeldBuffer();
    // Fetches the next stream buffer (waiting only in offline rendering) and makes it the current
    // data: 45 or 17 as the stream answered; 2 when it had no data; its other results.
    ZKRESULT FetchBuffer();
    // Posts the stream's buffering when the playing id reads it.
    void PostBuffering();
    // The wait-for-buffering gate of GetBuffer: 1 to go on, else the result to answer.
    ZKRESULT BufferingGate();
    // The stream's heuristics for the current loops: throughput, loop bytes unless on the last
    // pass, priority.
    ZKRESULT ApplyHeuristics();
    // Called when a seek or a virtual period drops the current data.
    virtual void DropDecodeState() {}
    bool WaitsForData() const;
    bool IsMemoryStream() const { return (m_streamFlags & kMemoryStream) != 0; }

    float m_bytesPerMs = 1.0f;
    uint32_t m_loopStartByte = 0;
    uint32_t m_loopEndByte = 0;
    uint16_t m_streamLoops = 1;
    uint8_t m_streamFlags = 0;

private:
    ZKRESULT OpenStream(const uint8_t* prefetch, uint32_t prefetchSize);
    ZKRESULT ReadFirstBuffer();
    ZKRESULT CheckBuffering();
    ZKRESULT SetStreamPosition(uint32_t byte);
    ZKRESULT SeekToTarget();
    void RefreshWaitBit();
    void ReleaseStream();
    uint32_t DataEnd() const { return m_dataOffset + m_dataSize; }

    IZkAutomaticStream* m_stream = nullptr;
    const uint8_t* m_data = nullptr;
    uint32_t m_bytesLeft = 0;
    uint32_t m_filePosition = 0;
    uint32_t m_streamPosition = 0;
    uint32_t m_skip = 0;
    bool m_holdsStreamBuffer = false;
};
} // namespace ZK::SoundEngine
