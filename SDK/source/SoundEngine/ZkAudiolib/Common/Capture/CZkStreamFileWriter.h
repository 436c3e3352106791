// CZkStreamFileWriter: writes one file by name through a standard stream of the stream manager. The
// output capture writes every WAVE capture through it: Open with the provisional header, the samples
// and marker chunks with WriteData and Write, then Close, which rewrites the final header at the
// start of the file, and Destroy. CZkStreamFileWriterFactory hands out writers; GetDefault is the
// one process-wide factory.
//
// Calling order: factory CreateWriter, Open (a second Open on an open writer does nothing and
// answers 1), WriteData / Write any number of times, Close, Destroy. Every write waits for its
// completion; the header at Open is written with priority 100, everything else with priority 0.
//
// Threading: a writer is used by one thread at a time (the audio thread running the capture).
// Ownership: the writer (memory pool 0) owns its stream from Open to Close; Destroy destroys a
// stream still open and frees the writer. The default factory lives for the whole process.
#pragma once

#include <ZK/SoundEngine/Common/IZkStandardStream.h>
#include <ZK/SoundEngine/Common/ZkMemoryMgr.h>
#include <ZK/SoundEngine/Common/ZkResult.h>

#include <cstdint>

namespace ZK::SoundEngine
{
class CZkStreamFileWriter
{
public:
    static constexpr ZkMemoryId kPool = ZkMemID_Default;
    static constexpr uint8_t kHeaderPriority = 100;
    static constexpr uint8_t kDataPriority = 0;

    CZkStreamFileWriter() = default;
    virtual ~CZkStreamFileWriter() = default;
    CZkStreamFileWriter(const CZkStreamFileWriter&) = delete;
    CZkStreamFileWriter& operator=(const CZkStreamFileWriter&) = delete;

    // Creates (or truncates) the file by name and writes the header. 1 (also when already open);
    // the stream manager's result when the file cannot be created; the write's result when the
    // header cannot be written (the writer is then closed again, so Open can be retried).
    virtual ZKRESULT Open(const wchar_t* fileName, const void* header, uint32_t headerSize);
    // Rewrites the header at the start of the file and closes it. 2 without an open file; the
    // positioning's or the write's result otherwise (the stream is closed in every case).
    virtual ZKRESULT Close(const void* header, uint32_t headerSize);
    // Both write at the current position and wait; 2 without an open file.
    virtual ZKRESULT WriteData(const void* buffer, uint32_t size);
    virtual ZKRESULT Write(const void* buffer, uint32_t size);
    // Destroys a stream still open and frees the writer.
    virtual void Destroy();

    bool IsOpen() const { return m_stream != nullptr; }

private:
    void DestroyStream();

    IZkStandardStream* m_stream = nullptr;
};

class CZkStreamFileWriterFactory
{
public:
    virtual ~CZkStreamFileWriterFactory() = default;
    // A new writer without a stream, or null when out of memory. The three values are not used.
    virtual CZkStreamFileWriter* CreateWriter(uint32_t unusedA, uint32_t unusedB, void* unusedC);

    static CZkStreamFileWriterFactory* GetDefault();
};
} // namespace ZK::SoundEngine
