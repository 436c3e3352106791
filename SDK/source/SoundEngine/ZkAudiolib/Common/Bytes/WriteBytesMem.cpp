// The growable writer. Sizes are worked out in 64 bits so that no count or rounding can overflow
// the 32-bit fields; a size beyond them is refused like an allocation that failed.
#include <ZK/SoundEngine/Common/ZkBytes.h>

#include <cstring>
#include <limits>

namespace ZK
{
namespace
{
constexpr int64_t kLargestCapacity = std::numeric_limits<int32_t>::max() & ~int64_t{WriteBytesMem::kGrowthStepBytes - 1};
}

WriteBytesMem::~WriteBytesMem()
{
    if (m_buffer != nullptr)
        ZK::MemoryMgr::Free(m_pool, m_buffer);
}

void WriteBytesMem::SetMemPool(ZkMemoryId pool)
{
    if (m_pool != kNoPool && m_buffer != nullptr)
        ZK::MemoryMgr::Free(m_pool, m_buffer);
    // The buffer is gone with the old pool: nothing may point at it any more.
    m_buffer = nullptr;
    m_capacity = 0;
    m_count = 0;
    m_pool = pool;
}

bool WriteBytesMem::Grow(int64_t neededBytes)
{
    if (neededBytes <= m_capacity)
        return true;
    if (m_pool == kNoPool)
        return false;
    const int64_t rounded = (neededBytes + kGrowthStepBytes - 1) & ~int64_t{kGrowthStepBytes - 1};
    if (rounded > kLargestCapacity)
        return false;
    void* grown = ZK::MemoryMgr::Realloc(m_pool, m_buffer, static_cast<size_t>(rounded));
    if (grown == nullptr)
        return false;
    m_buffer = static_cast<uint8_t*>(grown);
    m_capacity = static_cast<int32_t>(rounded);
    return true;
}

bool WriteBytesMem::WriteBytes(const void* source, int32_t length, int32_t& written)
{
    written = 0;
    if (length < 0 || (length > 0 && source == nullptr))
        return false;
    const int64_t needed = int64_t{m_count} + length;
    if (!Grow(needed))
        return false;
    if (length > 0)
        std::memcpy(m_buffer + m_count, source, static_cast<size_t>(length));
    m_count = static_cast<int32_t>(needed);
    written = length;
    return true;
}

bool WriteBytesMem::Reserve(int32_t bytes)
{
    if (bytes < 0)
        return false;
    return Grow(bytes);
}

void WriteBytesMem::SetCount(int32_t count)
{
    if (count < 0 || !Grow(count))
        return;
    m_count = count;
}

uint8_t* WriteBytesMem::Detach()
{
    uint8_t* detached = m_buffer;
    m_buffer = nullptr;
    m_capacity = 0;
    m_count = 0;
    return detached;
}
} // namespace ZK
