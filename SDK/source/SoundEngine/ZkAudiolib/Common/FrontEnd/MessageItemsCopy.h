// MessageItemsCopy: the items of an array message copied out of the ring into memory aligned for
// their type. Ring messages are only 4-byte aligned, so items with 64-bit fields (listener ids, aux
// sends) are copied before a handler reads them as objects. Up to InlineCount items stay on the
// stack; more take a block of memory pool 0 for the handler's call.
//
// Threading: the ring's reader. Ownership: the copy lives as long as this object.
#pragma once

#include <ZK/SoundEngine/Common/ZkMemoryMgr.h>

#include <cstdint>
#include <cstring>
#include <type_traits>

namespace ZK::SoundEngine
{
template <typename T, uint32_t InlineCount = 16>
class MessageItemsCopy
{
    static_assert(std::is_trivially_copyable_v<T>, "message items are plain bytes");

public:
    MessageItemsCopy(const uint8_t* items, uint32_t count) : m_count(count)
    {
        // A block for a longer list; null when it cannot be had (IsValid).
        if (count > InlineCount)
            m_items = static_cast<T*>(ZK::MemoryMgr::Malloc(ZkMemID_Default, sizeof(T) * size_t{count}));
        if (m_items != nullptr && count > 0)
            std::memcpy(static_cast<void*>(m_items), items, sizeof(T) * size_t{count});
    }
    ~MessageItemsCopy()
    {
        if (m_items != nullptr && m_items != m_inline)
            ZK::MemoryMgr::Free(ZkMemID_Default, m_items);
    }
    MessageItemsCopy(const MessageItemsCopy&) = delete;
    MessageItemsCopy& operator=(const MessageItemsCopy&) = delete;

    // False when the block for more than InlineCount items could not be had.
    bool IsValid() const { return m_items != nullptr; }
    const T* Data() const { return m_items; }
    uint32_t Count() const { return m_count; }

private:
    T m_inline[InlineCount] = {};
    T* m_items = m_inline;
    uint32_t m_count;
};
} // namespace ZK::SoundEngine
