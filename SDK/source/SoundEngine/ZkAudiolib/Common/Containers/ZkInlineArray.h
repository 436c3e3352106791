// ZkInlineArray: a growable array of plain items whose first N items live inside the object, so that
// the common small case (one listener, a few pending operations) allocates nothing. Beyond N items
// the array moves to one block from ZK::MemoryMgr and grows as ZkArray does (capacity c to
// c + (c + c/2)). A growth that fails drops the insertion and leaves the array as it was.
//
// The object may be moved by copying its bytes (it keeps no pointer into itself), so it can live
// inside records that are reallocated; it must not be copied while both copies are used.
// Threading: none of its own; the owner's lock (or thread) protects it.
// Ownership: the array owns its block; Term (or the destructor) frees it. Items are not destroyed.
#pragma once

#include "ZkAudiolib/Common/Containers/ZkArray.h"

#include <ZK/SoundEngine/Common/ZkMemoryMgr.h>
#include <ZK/SoundEngine/Common/ZkResult.h>

#include <cstdint>
#include <cstring>
#include <limits>
#include <type_traits>

namespace ZK
{
template <typename T, uint32_t N, ZkMemoryId Pool = ZkMemID_Default>
class ZkInlineArray
{
    static_assert(std::is_trivially_copyable_v<T>, "ZkInlineArray moves its items by copying bytes");
    static_assert(N > 0, "an inline array holds at least one item inside");

public:
    ZkInlineArray() = default;
    ~ZkInlineArray() { Term(); }
    ZkInlineArray(const ZkInlineArray&) = delete;
    ZkInlineArray& operator=(const ZkInlineArray&) = delete;

    uint32_t Length() const { return m_count; }
    uint32_t Capacity() const { return m_capacity; }
    bool IsEmpty() const { return m_count == 0; }
    bool IsInline() const { return m_heap == nullptr; }
    T* Data() { return m_heap != nullptr ? m_heap : m_inline; }
    const T* Data() const { return m_heap != nullptr ? m_heap : m_inline; }
    T& operator[](uint32_t index) { return Data()[index]; }
    const T& operator[](uint32_t index) const { return Data()[index]; }
    T* begin() { return Data(); }
    T* end() { return Data() + m_count; }
    const T* begin() const { return Data(); }
    const T* end() const { return Data() + m_count; }

    // Room for at least capacity items without growing. 1 or 52.
    ZKRESULT Reserve(uint32_t capacity)
    {
        if (capacity <= m_capacity)
            return ZK_Success;
        return Reallocate(capacity) ? ZK_Success : ZK_InsufficientMemory;
    }

    // Appends value; null (nothing appended) when the growth fails.
    T* AddLast(const T& value) { return Insert(m_count, value); }

    // Inserts before index (index == Length() appends); null when the growth fails or index is
    // beyond the end.
    T* Insert(uint32_t index, const T& value)
    {
        if (index > m_count || (m_count == m_capacity && !Reallocate(ZkArray<T>::GrownCapacity(m_capacity))))
            return nullptr;
        T* items = Data();
        std::memmove(items + index + 1, items + index, sizeof(T) * (m_count - index));
        items[index] = value;
        ++m_count;
        return items + index;
    }

    // Removes the item at index, keeping the order of the others.
    void Erase(uint32_t index)
    {
        if (index >= m_count)
            return;
        T* items = Data();
        std::memmove(items + index, items + index + 1, sizeof(T) * (m_count - index - 1));
        --m_count;
    }

    // Forgets the items; keeps the block.
    void RemoveAll() { m_count = 0; }

    // Frees the block; the array is empty and inline again.
    void Term()
    {
        if (m_heap != nullptr)
            ZK::MemoryMgr::Free(Pool, m_heap);
        m_heap = nullptr;
        m_count = 0;
        m_capacity = N;
    }

private:
    bool Reallocate(uint64_t capacity)
    {
        if (capacity > std::numeric_limits<uint32_t>::max() ||
            capacity > std::numeric_limits<size_t>::max() / sizeof(T))
            return false;
        const size_t bytes = static_cast<size_t>(capacity * sizeof(T));
        T* grown = nullptr;
        if (m_heap != nullptr)
        {
            grown = static_cast<T*>(ZK::MemoryMgr::Realloc(Pool, m_heap, bytes));
        }
        else
        {
            grown = static_cast<T*>(ZK::MemoryMgr::Malloc(Pool, bytes));
            if (grown != nullptr)
                std::memcpy(static_cast<void*>(grown), m_inline, sizeof(T) * m_count);
        }
        if (grown == nullptr)
            return false;
        m_heap = grown;
        m_capacity = static_cast<uint32_t>(capacity);
        return true;
    }

    T* m_heap = nullptr; // null while the items are inline
    uint32_t m_count = 0;
    uint32_t m_capacity = N;
    T m_inline[N] = {};
};
} // namespace ZK
