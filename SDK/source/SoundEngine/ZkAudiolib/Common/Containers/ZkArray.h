// ZkArray: the engine's growable array of plain items (items, count, capacity), in one block from
// ZK::MemoryMgr. When full it grows from capacity c to c + (c + c/2), and from 0 to 1, by
// reallocation. A growth that fails (out of memory, or a size beyond 32 bits) drops the insertion:
// the array keeps its items and capacity and the caller gets null or ZK_InsufficientMemory (52).
//
// Items are moved with the block (reallocation), so they must be trivially copyable.
// Threading: none of its own; the owner's lock (or thread) protects it.
// Ownership: the array owns its block; Term (or the destructor) frees it. Items are not destroyed.
#pragma once

#include <ZK/SoundEngine/Common/ZkMemoryMgr.h>
#include <ZK/SoundEngine/Common/ZkResult.h>

#include <cstdint>
#include <cstring>
#include <limits>
#include <type_traits>

namespace ZK
{
template <typename T, ZkMemoryId Pool = ZkMemID_Default>
class ZkArray
{
    static_assert(std::is_trivially_copyable_v<T>, "ZkArray moves its items by reallocation");

public:
    ZkArray() = default;
    ~ZkArray() { Term(); }
    ZkArray(const ZkArray&) = delete;
    ZkArray& operator=(const ZkArray&) = delete;

    // The capacity the array grows to from capacity when it is full.
    static constexpr uint64_t GrownCapacity(uint32_t capacity)
    {
        return capacity == 0 ? 1u : uint64_t{capacity} + capacity + capacity / 2;
    }

    uint32_t Length() const { return m_count; }
    uint32_t Capacity() const { return m_capacity; }
    bool IsEmpty() const { return m_count == 0; }
    T* Data() { return m_items; }
    const T* Data() const { return m_items; }
    T& operator[](uint32_t index) { return m_items[index]; }
    const T& operator[](uint32_t index) const { return m_items[index]; }
    T& Last() { return m_items[m_count - 1]; }
    T* begin() { return m_items; }
    T* end() { return m_items + m_count; }
    const T* begin() const { return m_items; }
    const T* end() const { return m_items + m_count; }

    // Room for at least capacity items without growing. 1 or 52.
    ZKRESULT Reserve(uint32_t capacity)
    {
        if (capacity <= m_capacity)
            return ZK_Success;
        return Reallocate(capacity) ? ZK_Success : ZK_InsufficientMemory;
    }

    // Appends a value-initialised item; null (nothing appended) when the growth fails.
    T* AddLast()
    {
        if (m_count == m_capacity && !Grow())
            return nullptr;
        T* item = m_items + m_count++;
        *item = T{};
        return item;
    }

    T* AddLast(const T& value)
    {
        if (m_count == m_capacity && !Grow())
            return nullptr;
        T* item = m_items + m_count++;
        *item = value;
        return item;
    }

    // Inserts before index (index == Length() appends). Null when the growth fails or index is
    // beyond the end.
    T* Insert(uint32_t index, const T& value)
    {
        if (index > m_count || (m_count == m_capacity && !Grow()))
            return nullptr;
        std::memmove(m_items + index + 1, m_items + index, sizeof(T) * (m_count - index));
        m_items[index] = value;
        ++m_count;
        return m_items + index;
    }

    // Removes the item at index, keeping the order of the others.
    void Erase(uint32_t index)
    {
        if (index >= m_count)
            return;
        std::memmove(m_items + index, m_items + index + 1, sizeof(T) * (m_count - index - 1));
        --m_count;
    }

    // Removes the item at index by moving the last item into its place.
    void EraseSwap(uint32_t index)
    {
        if (index >= m_count)
            return;
        m_items[index] = m_items[m_count - 1];
        --m_count;
    }

    // Index of the first item equal to value, or Length() when there is none.
    uint32_t Find(const T& value) const
    {
        for (uint32_t index = 0; index < m_count; ++index)
        {
            if (m_items[index] == value)
                return index;
        }
        return m_count;
    }

    // Exchanges the contents (items, count, capacity) of two arrays of the same pool.
    void Swap(ZkArray& other)
    {
        T* items = m_items;
        const uint32_t count = m_count, capacity = m_capacity;
        m_items = other.m_items;
        m_count = other.m_count;
        m_capacity = other.m_capacity;
        other.m_items = items;
        other.m_count = count;
        other.m_capacity = capacity;
    }

    // Forgets the items; keeps the block.
    void RemoveAll() { m_count = 0; }

    // Frees the block; the array is empty with capacity 0.
    void Term()
    {
        if (m_items != nullptr)
            ZK::MemoryMgr::Free(Pool, m_items);
        m_items = nullptr;
        m_count = 0;
        m_capacity = 0;
    }

private:
    bool Grow() { return Reallocate(GrownCapacity(m_capacity)); }

    bool Reallocate(uint64_t capacity)
    {
        if (capacity > std::numeric_limits<uint32_t>::max() ||
            capacity > std::numeric_limits<size_t>::max() / sizeof(T))
            return false;
        void* grown = ZK::MemoryMgr::Realloc(Pool, m_items, static_cast<size_t>(capacity * sizeof(T)));
        if (grown == nullptr)
            return false;
        m_items = static_cast<T*>(grown);
        m_capacity = static_cast<uint32_t>(capacity);
        return true;
    }

    T* m_items = nullptr;
    uint32_t m_count = 0;
    uint32_t m_capacity = 0;
};
} // namespace ZK
