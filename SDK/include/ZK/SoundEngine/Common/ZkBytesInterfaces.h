// The two byte-stream interfaces that plug-ins and engine code read and write plain bytes through
// (serialised plug-in parameters, container histories, capture data). ZkBytes.h has the engine's
// implementations.
//
// Threading: an instance is used by one thread at a time.
// Ownership: a stream never owns the memory it reads; writers say in their own header what they own.
#pragma once

#include <cstdint>

class ReadBytesInterface
{
public:
    // Copies (or skips) up to requested bytes, reports the bytes moved in read, and returns true
    // only when all requested bytes were moved. A read never passes the end of the stream.
    virtual bool ReadBytes(void* destination, int32_t requested, int32_t& read) = 0;
    virtual ~ReadBytesInterface() = default;
};

class WriteBytesInterface
{
public:
    // Writes length bytes and reports them in written; false (with nothing written) when they do
    // not all fit.
    virtual bool WriteBytes(const void* source, int32_t length, int32_t& written) = 0;
    virtual ~WriteBytesInterface() = default;
};

// A writer that keeps (or counts) everything written so far and can be asked about it.
class WriteBytesStoreInterface : public WriteBytesInterface
{
public:
    virtual int32_t Count() const = 0;
    virtual uint8_t* Bytes() const = 0;
    virtual void SetCount(int32_t count) = 0;
    // Makes room for at least bytes in total; false when that is impossible.
    virtual bool Reserve(int32_t bytes) = 0;
    // Forgets what was written; memory is kept.
    virtual void Clear() = 0;
    // Hands the memory to the caller and leaves the writer empty.
    virtual uint8_t* Detach() = 0;
};
