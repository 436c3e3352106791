// ZkSourceCursor: a file source's read cursor over its media: an automatic stream of the stream
// manager (a loose file by id or by name, or a block in memory), optionally started on a prefetch
// block that holds the file's first bytes. It hands the source the bytes of the current stream
// buffer, moves past what the source consumed, and keeps the byte positions of the loop: when the
// source reaches the loop end (or the end of the data on the last pass) the bytes are cut there,
// and a loop brings the stream back to the loop start.
//
// Positions are bytes from the start of the media file. A stream moves only to its block
// boundaries: after a move the cursor skips the bytes between the boundary and the position it
// asked for. Until SetLayout gives the loop and the end of the data (known once the header is
// read) nothing is cut.
//
// Calling order: Open; per read GetData, then Advance by what was consumed (a buffer wholly
// consumed goes back to the stream); Seek, StopLooping and SetPriority at any time between reads;
// ReleaseStream at the end (also after a failed Open).
//
// Threading: the thread rendering the voice (the stream's device works on its own thread behind
// the stream's interface). Ownership: the cursor owns its stream (ReleaseStream destroys it); the
// prefetch block and the memory of a memory stream are the caller's and must outlive the cursor.
#pragma once

#include <ZK/SoundEngine/Common/IZkAutomaticStream.h>
#include <ZK/SoundEngine/Common/ZkResult.h>

#include <cstdint>

namespace ZK::SoundEngine
{
struct ZkMediaRef;

// Storage kinds of a source's media (bits 2-6 of the media reference's flags).
constexpr uint32_t kSourceKindNone = 0;
constexpr uint32_t kSourceKindStreamed = 1;
constexpr uint32_t kSourceKindPlugin = 2;
constexpr uint32_t kSourceKindInMemory = 3;

// What the cursor opens.
struct ZkSourceDescription
{
    const ZkMediaRef* media = nullptr;
    uint32_t kind = kSourceKindNone;
    uint32_t codecNumber = 0;        // the file type of a streamed media ("<id>.oxm" for a non-zero one)
    uint16_t loops = 1;              // 0 infinite, 1 once
    int8_t priority = 0;
    const uint8_t* memory = nullptr; // the media (in memory) or the prefetch block (streamed)
    uint32_t memorySize = 0;
};

// Where the media's sample data lies and how it is read, in bytes from the start of the file.
struct ZkCursorLayout
{
    float bytesPerMs = 1.0f;
    uint32_t loopStart = 0;
    uint32_t loopEnd = 0;            // the byte after the loop (0: no loop)
    uint32_t dataEnd = 0;            // the byte after the sample data
    uint32_t minBufferBytes = 0;
};

// The stream's buffering, as the source posts it.
struct ZkCursorBuffering
{
    uint32_t bytes = 0;              // held by the cursor and buffered by the stream
    ZKRESULT status = ZK_Success;    // 2 failure, 17 the stream ended or holds its nominal buffering, 1
};

class ZkSourceCursor
{
public:
    static constexpr uint32_t kUnknownEnd = 0xFFFFFFFFu;
    static constexpr float kOpenThroughput = 1.0f;

    ZkSourceCursor() = default;
    ~ZkSourceCursor() { ReleaseStream(); }
    ZkSourceCursor(const ZkSourceCursor&) = delete;
    ZkSourceCursor& operator=(const ZkSourceCursor&) = delete;

    // Opens the stream of the media: 1; 2 when the media is unavailable (a streamed media without a
    // name nor a file id, no stream manager); 46 for media in memory without its memory; else the
    // stream manager's failure.
    ZKRESULT Open(const ZkSourceDescription& description);
    // The loop, the end of the data, the stream's throughput and its smallest buffer.
    void SetLayout(const ZkCursorLayout& layout);
    // The bytes from the position to the end of the current buffer (cut at the loop end, or the
    // end of the data on the last pass), taking the next stream buffer when none are held: 45 with
    // bytes; 17 when there are no more; 46 when the stream has none ready (wait: waits for it);
    // 2 when the stream failed.
    ZKRESULT GetData(const uint8_t*& data, uint32_t& size, bool wait);
    // The source consumed bytes (at most those held); a buffer used up goes back to the stream. At
    // the loop end the stream moves back to the loop start (the loops left drop); at the end of the
    // data on the last pass the cursor has reached its end.
    void Advance(uint32_t bytes);
    // Moves to position with loops left: 3 when the position lies in the buffer held (loops
    // unchanged, not looped yet: only the offset moves); 1 otherwise; the stream's failure.
    ZKRESULT Seek(uint32_t position, uint16_t loops);
    // The current pass becomes the last: the cursor reads on to the end of the data. 1, or 2
    // without a stream.
    ZKRESULT StopLooping();
    // Back to the first byte of the file and its first data: 45, 2 when there is none, or the
    // stream's result.
    ZKRESULT Reset();
    void SetPriority(int8_t priority);
    ZkCursorBuffering QueryBuffering();
    // Virtual periods: the stream stops (dropBuffer: the buffer held goes back too), and starts
    // again (its result).
    void Pause(bool dropBuffer);
    ZKRESULT Resume();
    // The media in memory moved (by delta bytes): the cursor and the memory stream follow.
    void RelocateMemory(const uint8_t* newMemory, const uint8_t* oldMemory);
    // Destroys the stream (a buffer held goes back first).
    void ReleaseStream();

    bool IsOpen() const { return m_stream != nullptr; }
    bool InMemory() const { return (m_flags & kFlagInMemory) != 0; }
    bool AtEnd() const { return (m_flags & kFlagEnd) != 0; }
    bool HasLooped() const { return (m_flags & kFlagLooped) != 0; }
    uint32_t BytesHeld() const { return m_bytesLeft; }
    uint32_t Position() const { return m_position; }
    uint16_t LoopsLeft() const { return m_loopsLeft; }
    float BytesPerMs() const { return m_bytesPerMs; }
    IZkAutomaticStream* Stream() const { return m_stream; }

private:
    static constexpr uint8_t kFlagEnd = 0x01;
    static constexpr uint8_t kFlagInMemory = 0x02;
    static constexpr uint8_t kFlagLooped = 0x04;
    static constexpr uint8_t kFlagPrefetchInUse = 0x08;
    static constexpr uint8_t kFlagPrefetchDone = 0x10;
    static constexpr uint8_t kFlagHoldsStreamBuffer = 0x40;
    static constexpr uint8_t kFlagStreamEnded = 0x80; // the stream handed out its last buffer

    // Every field as a new cursor has it (the stream is released first).
    void Clear();
    bool Looping() const { return m_loopsLeft != 1 && m_loopEnd != 0; }
    uint32_t EndPosition() const { return Looping() ? m_loopEnd : m_dataEnd; }
    // Bytes of the current buffer from the offset, cut at the end position.
    void CutAtEnd();
    void ReleaseBuffer();
    // Moves the stream to position (its block boundary; the difference is skipped later).
    ZKRESULT PositionStream(uint32_t position);
    ZKRESULT ApplyHeuristics();
    ZKRESULT TakeStreamBuffer(bool wait);

    IZkAutomaticStream* m_stream = nullptr;
    const uint8_t* m_prefetch = nullptr;
    const uint8_t* m_buffer = nullptr;
    uint32_t m_bufferSize = 0;
    uint32_t m_bufferPosition = 0; // file position of the buffer's first byte
    uint32_t m_offset = 0;         // bytes of the buffer consumed
    uint32_t m_bytesLeft = 0;
    uint32_t m_prefetchSize = 0;
    uint32_t m_position = 0;
    uint32_t m_skip = 0;           // bytes between the stream's block boundary and the position
    uint32_t m_loopStart = 0;
    uint32_t m_loopEnd = 0;
    uint32_t m_dataEnd = kUnknownEnd;
    float m_bytesPerMs = kOpenThroughput;
    uint16_t m_loopsLeft = 1;
    int8_t m_priority = 0;
    uint8_t m_flags = 0;
};
} // namespace ZK::SoundEngine
