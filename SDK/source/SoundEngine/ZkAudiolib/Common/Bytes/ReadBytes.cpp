// The two readers over a memory block (one copies, one only moves). Both clamp every request to the bytes left, so the
// position never passes the end, and refuse a negative request without moving.
#include <ZK/SoundEngine/Common/ZkBytes.h>

#include <algorithm>
#include <cstring>

namespace ZK
{
namespace
{
// Bytes a request may move from position in a block of size bytes (0 for bad sizes or requests).
int32_t MovableBytes(int32_t size, int32_t position, int32_t requested)
{
    if (requested <= 0)
        return 0;
    return std::clamp(size - position, 0, requested);
}
} // namespace

void ReadBytesMem::Attach(const void* data, int32_t size)
{
    m_data = static_cast<const uint8_t*>(data);
    m_size = std::max(size, 0);
    m_position = 0;
}

bool ReadBytesMem::Move(void* destination, int32_t requested, int32_t& read, bool copy)
{
    read = 0;
    if (m_data == nullptr || requested < 0)
        return false;
    const int32_t moved = MovableBytes(m_size, m_position, requested);
    if (copy && moved > 0)
    {
        if (destination == nullptr)
            return false;
        std::memcpy(destination, m_data + m_position, static_cast<size_t>(moved));
    }
    m_position += moved;
    read = moved;
    return moved == requested;
}

bool ReadBytesMem::ReadBytes(void* destination, int32_t requested, int32_t& read)
{
    return Move(destination, requested, read, true);
}

bool ReadBytesSkip::ReadBytes(void* destination, int32_t requested, int32_t& read)
{
    return Move(destination, requested, read, false);
}
} // namespace ZK
