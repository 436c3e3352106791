// The two writers that never allocate: into a caller's fixed buffer, and a plain counter.
#include <ZK/SoundEngine/Common/ZkBytes.h>

#include <cstring>
#include <limits>

namespace ZK
{
void WriteBytesBuffer::SetBuffer(void* buffer, int32_t size)
{
    m_buffer = static_cast<uint8_t*>(buffer);
    m_size = size < 0 ? 0 : size;
    m_position = 0;
}

bool WriteBytesBuffer::WriteBytes(const void* source, int32_t length, int32_t& written)
{
    written = 0;
    if (length < 0 || int64_t{m_position} + length > m_size)
        return false;
    if (length > 0)
    {
        if (source == nullptr || m_buffer == nullptr)
            return false;
        std::memcpy(m_buffer + m_position, source, static_cast<size_t>(length));
    }
    m_position += length;
    written = length;
    return true;
}

bool WriteBytesCount::WriteBytes(const void*, int32_t length, int32_t& written)
{
    written = 0;
    if (length < 0 || int64_t{m_count} + length > std::numeric_limits<int32_t>::max())
        return false;
    m_count += length;
    written = length;
    return true;
}
} // namespace ZK
