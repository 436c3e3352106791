// BankReader: the byte source of the bank parser. It reads a bank either from a file, through a
// standard stream of the stream manager, or straight from a block of memory, and hands out
// pointers to whole item bodies without copying whenever the bytes lie in one piece.
//
// Files are read with two buffers of one block: while the parser consumes one, the next is being
// read in the background on the stream device's I/O thread. A read of at least one buffer goes
// straight into the caller's destination, so a large media block is not copied twice. Every count
// handed out is of bytes actually read: a file shorter than it was when opened ends the data early
// instead of handing out stale buffer bytes, and nothing is skipped past the end of the file.
//
// Life cycle: Init, then per bank: OpenByID / OpenByName / SetMemory, Read / ReadExact / Skip /
// GetData (+ ReleaseData before the next call), Close; Term at the end. The buffer block survives
// from one bank to the next and only grows.
//
// Threading: no lock; one thread at a time (the bank thread, or the caller's without one).
// Ownership: the reader owns its buffer block and temporary copies (memory pool 0) and the stream it
// opened; a memory bank belongs to the caller and must outlive the reading.
#pragma once

#include <ZK/SoundEngine/Common/IZkStandardStream.h>
#include <ZK/SoundEngine/Common/ZkMemoryMgr.h>
#include <ZK/SoundEngine/Common/ZkResult.h>

#include <cstdint>

namespace ZK::SoundEngine
{
class BankReader
{
public:
    static constexpr ZkMemoryId kPool = ZkMemID_Default;
    static constexpr uint32_t kBufferAlignment = 32;
    static constexpr float kDefaultThroughput = 1048.576f; // bytes per millisecond
    static constexpr uint8_t kDefaultPriority = 50;
    static constexpr uint32_t kMaxNameChars = 1024;        // wide characters, terminator included

    BankReader() = default;
    ~BankReader() { Term(); }
    BankReader(const BankReader&) = delete;
    BankReader& operator=(const BankReader&) = delete;

    // 2 when already initialised; else the default throughput and priority, 1.
    ZKRESULT Init();
    // Closes what is open and frees the buffer block.
    void Term();
    void SetIOSettings(float throughput, uint8_t priority);

    // Opens the file as a standard stream (read, synchronous open) and starts reading it at
    // startOffset. A language-specific open that fails is tried again without the language. The
    // stream manager's result when the file cannot be opened (66 not found, 75 no stream manager);
    // 2 for a block size of 0 or a start offset past the end; 52 when the buffers cannot be
    // allocated; 31 for a name too long for kMaxNameChars.
    ZKRESULT OpenByID(uint32_t fileID, uint64_t startOffset, uint32_t fileType, void* customParam,
                      bool languageSpecific);
    ZKRESULT OpenByName(const char* name, uint64_t startOffset, void* customParam);
    // Reads the bank from memory. 1.
    ZKRESULT SetMemory(const void* memory, uint32_t size);
    // Cancels and destroys the stream, forgets the memory and the buffered bytes. 1.
    ZKRESULT Close();

    // Up to n bytes into destination; bytesRead tells how many (fewer at the end of the bank, with
    // result 1). 56 when a stream read fails.
    ZKRESULT Read(void* destination, uint32_t n, uint32_t& bytesRead);
    // Read, with fewer than n bytes turned into 56.
    ZKRESULT ReadExact(void* destination, uint32_t n);
    // Moves past up to n bytes (fewer at the end of the bank). 56 when the stream fails.
    ZKRESULT Skip(uint32_t n, uint32_t& bytesSkipped);
    // The next n bytes, in place when they lie in one piece (always for a memory bank), else as a
    // temporary copy that the caller gives back with ReleaseData before asking for more. Null when
    // the bank ends before n bytes, a read fails, or the copy cannot be allocated.
    const uint8_t* GetData(uint32_t n);
    void ReleaseData();

    // The bank's bytes not yet consumed: exact for a memory bank, the file's remaining length for a
    // stream (0 when nothing is open).
    uint64_t BytesLeft() const;
    uint32_t BufferSize() const { return m_bufferSize; }
    bool IsInitialized() const { return m_initialized; }

private:
    ZKRESULT OpenStream(uint32_t fileID, const wchar_t* name, uint32_t fileType, void* customParam,
                        bool languageSpecific);
    ZKRESULT StartStream(uint64_t startOffset);
    // Moves past count bytes of the current buffer (or memory).
    void Consume(uint32_t count);
    // Waits for the read issued into the other buffer and makes it the current one. False on a
    // stream error.
    bool SwitchToOtherBuffer();
    // Issues a read of a whole buffer into the buffer that is not current, without waiting.
    bool IssueRead();
    void Clear();

    uint8_t* m_buffers[2] = {nullptr, nullptr};
    uint8_t* m_cursor = nullptr;
    uint32_t m_remaining[2] = {0, 0};
    uint32_t m_current = 0;
    uint32_t m_bufferSize = 0;
    uint8_t* m_block = nullptr;
    uint32_t m_blockSize = 0;
    uint8_t* m_temporary = nullptr;
    IZkStandardStream* m_stream = nullptr;
    float m_throughput = kDefaultThroughput;
    uint8_t m_priority = kDefaultPriority;
    bool m_initialized = false;
    const uint8_t* m_memory = nullptr;
    // Stream bookkeeping: the stream position where the read in flight started, the file's bytes
    // after the start offset and the bytes consumed since.
    uint64_t m_issuePosition = 0;
    uint64_t m_streamBytes = 0;
    uint64_t m_consumed = 0;
    // A read moved fewer bytes than the file had when it was opened: the file is shorter now, and
    // nothing beyond the bytes already buffered is read.
    bool m_fileEnded = false;
};
} // namespace ZK::SoundEngine
