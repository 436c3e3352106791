// Byte readers and writers: the engine's implementations of ReadBytesInterface and
// WriteBytesInterface, exported for plug-ins.
//   ReadBytesMem     reads from a memory block
//   ReadBytesSkip    moves through a block like ReadBytesMem without copying (measures, skips)
//   WriteBytesMem    writes into a buffer from the memory manager that grows in steps of 1024 bytes
//   WriteBytesBuffer writes into a fixed buffer of the caller's; a write that does not fit writes
//                    nothing
//   WriteBytesCount  writes nothing and counts the bytes
// Sizes are 32-bit signed as in the interfaces; a negative length or size is refused (nothing moves).
//
// Threading: an instance is used by one thread at a time.
// Ownership: the readers and WriteBytesBuffer never own their memory. WriteBytesMem owns its buffer
// (freed in its memory pool) until Detach hands it to the caller, who frees it with
// ZK::MemoryMgr::Free in the same pool.
#pragma once

#include <ZK/SoundEngine/Common/ZkBytesInterfaces.h>
#include <ZK/SoundEngine/Common/ZkMemoryMgr.h>

#include <cstdint>

namespace ZK
{
class ReadBytesMem : public ReadBytesInterface
{
public:
    ReadBytesMem() = default;
    ReadBytesMem(const void* data, int32_t size) { Attach(data, size); }

    bool ReadBytes(void* destination, int32_t requested, int32_t& read) override;

    // Reads from data (size bytes) from its start.
    void Attach(const void* data, int32_t size);
    // Bytes read so far: the position.
    int32_t Count() const { return m_position; }

protected:
    // Moves the position by up to requested bytes, copying them to destination when copy is set.
    bool Move(void* destination, int32_t requested, int32_t& read, bool copy);

private:
    int32_t m_size = 0;
    const uint8_t* m_data = nullptr;
    int32_t m_position = 0;
};

class ReadBytesSkip : public ReadBytesMem
{
public:
    using ReadBytesMem::ReadBytesMem;

    // Moves the position like ReadBytesMem::ReadBytes; destination is not written (may be null).
    bool ReadBytes(void* destination, int32_t requested, int32_t& read) override;
};

class WriteBytesMem : public WriteBytesStoreInterface
{
public:
    static constexpr ZkMemoryId kNoPool = -1;
    static constexpr int32_t kGrowthStepBytes = 1024;

    WriteBytesMem() = default;
    ~WriteBytesMem() override;
    WriteBytesMem(const WriteBytesMem&) = delete;
    WriteBytesMem& operator=(const WriteBytesMem&) = delete;

    // Writing needs a pool: without one (kNoPool) every write and reservation is refused.
    // Out of memory: false, the content written so far is kept.
    bool WriteBytes(const void* source, int32_t length, int32_t& written) override;
    int32_t Count() const override { return m_count; }
    int32_t Size() const { return m_count; }
    uint8_t* Bytes() const override { return m_buffer; }
    // Sets the count of valid bytes (for bytes written directly into Bytes()). A count beyond the
    // capacity reserves room first; a negative count, or one that cannot be reserved, is ignored.
    void SetCount(int32_t count) override;
    bool Reserve(int32_t bytes) override;
    void Clear() override { m_count = 0; }
    uint8_t* Detach() override;

    // Frees the current buffer (the writer becomes empty) and takes the pool for later writes.
    void SetMemPool(ZkMemoryId pool);
    ZkMemoryId MemPool() const { return m_pool; }
    int32_t Capacity() const { return m_capacity; }

private:
    bool Grow(int64_t neededBytes);

    int32_t m_capacity = 0;
    uint8_t* m_buffer = nullptr;
    int32_t m_count = 0;
    ZkMemoryId m_pool = kNoPool;
};

class WriteBytesBuffer : public WriteBytesInterface
{
public:
    WriteBytesBuffer() = default;
    WriteBytesBuffer(void* buffer, int32_t size) { SetBuffer(buffer, size); }

    bool WriteBytes(const void* source, int32_t length, int32_t& written) override;

    // Writes into buffer (size bytes) from its start.
    void SetBuffer(void* buffer, int32_t size);
    void Clear() { m_position = 0; }
    int32_t GetPos() const { return m_position; }

private:
    uint8_t* m_buffer = nullptr;
    int32_t m_size = 0;
    int32_t m_position = 0;
};

class WriteBytesCount : public WriteBytesStoreInterface
{
public:
    // Adds length to the count (a negative length is refused).
    bool WriteBytes(const void* source, int32_t length, int32_t& written) override;
    int32_t Count() const override { return m_count; }
    uint8_t* Bytes() const override { return nullptr; }
    void SetCount(int32_t count) override { m_count = count; }
    bool Reserve(int32_t) override { return false; }
    void Clear() override { m_count = 0; }
    uint8_t* Detach() override { return nullptr; }

private:
    int32_t m_count = 0;
};
} // namespace ZK
