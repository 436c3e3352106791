// ZkByteCursor: reads the little-endian fields of a file format (bank sections, item bodies, media
// headers) out of a block of memory, never past its end. Every read checks the bytes left first
// and, when they are too few, reads nothing and answers false, so a count or size taken from a file
// can never steer a read outside the block.
//
// Threading and ownership: a value type over the caller's bytes, which must outlive it.
#pragma once

#include "ZkAudiolib/Common/Containers/ZkVarUint.h"

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <type_traits>

namespace ZK
{
// The little-endian value at p (the engine runs on little-endian processors only).
template <typename T>
T LoadLittleEndian(const uint8_t* p)
{
    static_assert(std::is_trivially_copyable_v<T>);
    T value;
    std::memcpy(&value, p, sizeof(T));
    return value;
}

// Writes value at p in little-endian order.
template <typename T>
void StoreLittleEndian(uint8_t* p, T value)
{
    static_assert(std::is_trivially_copyable_v<T>);
    std::memcpy(p, &value, sizeof(T));
}

class ZkByteCursor
{
public:
    ZkByteCursor() = default;
    ZkByteCursor(const uint8_t* data, size_t size) : m_cursor(data), m_end(data + size) {}

    size_t Remaining() const { return static_cast<size_t>(m_end - m_cursor); }
    const uint8_t* Current() const { return m_cursor; }

    template <typename T>
    bool Read(T& value)
    {
        if (Remaining() < sizeof(T))
            return false;
        value = LoadLittleEndian<T>(m_cursor);
        m_cursor += sizeof(T);
        return true;
    }

    bool ReadVarUint(uint32_t& value) { return ZK::ReadVarUint(m_cursor, m_end, value); }

    // A pointer to the next n bytes, moving past them; null (nothing moved) when fewer are left.
    const uint8_t* Take(size_t n)
    {
        if (Remaining() < n)
            return nullptr;
        const uint8_t* taken = m_cursor;
        m_cursor += n;
        return taken;
    }

    bool Skip(size_t n) { return Take(n) != nullptr; }

    // Room for count records of recordSize bytes, tested without overflow.
    bool Holds(uint64_t count, size_t recordSize) const
    {
        return recordSize == 0 || count <= Remaining() / recordSize;
    }

private:
    const uint8_t* m_cursor = nullptr;
    const uint8_t* m_end = nullptr;
};
} // namespace ZK
