// A growable array of plain records in the sound engine's memory. When full it grows to
// capacity + (capacity + capacity / 2), or to 1 when empty: capacities 1, 2, 5, 12, 30, ...
//
// Threading: none of its own; the owner guards it. Ownership: the array owns its storage (allocated
// and freed with the memory id it was given); elements are copied bitwise.
#pragma once

#include <ZK/SoundEngine/Common/ZkMemoryMgr.h>

#include <cstdint>
#include <cstring>
#include <type_traits>

namespace ZK::StreamMgr
{
template <typename T>
class ZkGrowableArray
{
    static_assert(std::is_trivially_copyable_v<T>, "elements are moved bitwise");

public:
    explicit ZkGrowableArray(ZkMemoryId memId) : m_memId(memId) {}
    ~ZkGrowableArray() { Term(); }
    ZkGrowableArray(const ZkGrowableArray&) = delete;
    ZkGrowableArray& operator=(const ZkGrowableArray&) = delete;

    static uint32_t NextCapacity(uint32_t capacity) { return capacity ? capacity + (capacity + capacity / 2) : 1; }

    // False, with nothing changed, when the array is full and cannot grow.
    bool Append(const T& value)
    {
        if (m_count == m_capacity && !Grow())
            return false;
        m_items[m_count++] = value;
        return true;
    }

    // Removes the element at index and moves the later ones down one place.
    void RemoveAt(uint32_t index)
    {
        if (index >= m_count)
            return;
        std::memmove(static_cast<void*>(m_items + index), m_items + index + 1, (m_count - index - 1) * sizeof(T));
        --m_count;
    }

    // Removes the element at index; the last element takes its place.
    void RemoveSwap(uint32_t index)
    {
        if (index >= m_count)
            return;
        m_items[index] = m_items[m_count - 1];
        --m_count;
    }

    void Term()
    {
        if (m_items)
            ZK::MemoryMgr::Free(m_memId, m_items);
        m_items = nullptr;
        m_count = 0;
        m_capacity = 0;
    }

    T& operator[](uint32_t index) { return m_items[index]; }
    const T& operator[](uint32_t index) const { return m_items[index]; }
    uint32_t Count() const { return m_count; }
    uint32_t Capacity() const { return m_capacity; }

private:
    bool Grow()
    {
        const uint32_t capacity = NextCapacity(m_capacity);
        void* grown = ZK::MemoryMgr::Realloc(m_memId, m_items, static_cast<size_t>(capacity) * sizeof(T));
        if (!grown)
            return false;
        m_items = static_cast<T*>(grown);
        m_capacity = capacity;
        return true;
    }

    T* m_items = nullptr;
    uint32_t m_count = 0;
    uint32_t m_capacity = 0;
    ZkMemoryId m_memId;
};
} // namespace ZK::StreamMgr
