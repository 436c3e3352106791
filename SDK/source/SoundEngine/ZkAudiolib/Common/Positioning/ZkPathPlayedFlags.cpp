#include "ZkAudiolib/Common/Positioning/ZkPathPlayedFlags.h"

#include <cstring>

namespace ZK::SoundEngine
{
ZkPathPlayedFlags* ZkPathPlayedFlags::Create(uint32_t count)
{
    auto* flags = static_cast<ZkPathPlayedFlags*>(ZK::MemoryMgr::Malloc(kPool, sizeof(ZkPathPlayedFlags)));
    if (flags == nullptr)
        return nullptr;
    flags->bytes = nullptr;
    if (count != 0)
    {
        flags->bytes = static_cast<uint8_t*>(ZK::MemoryMgr::Malloc(kPool, count));
        if (flags->bytes == nullptr)
        {
            ZK::MemoryMgr::Free(kPool, flags);
            return nullptr;
        }
        std::memset(flags->bytes, 0, count);
    }
    flags->length = count;
    flags->capacity = count;
    flags->refCount = 1;
    return flags;
}

void ZkPathPlayedFlags::Release()
{
    if (refCount > 1)
    {
        --refCount;
        return;
    }
    if (bytes != nullptr)
        ZK::MemoryMgr::Free(kPool, bytes);
    ZK::MemoryMgr::Free(kPool, this);
}

bool ZkPathPlayedFlags::AllSet() const
{
    if (length == 0)
        return false;
    for (uint32_t index = 0; index < length; ++index)
    {
        if (bytes[index] == 0)
            return false;
    }
    return true;
}

void ZkPathPlayedFlags::ClearAll()
{
    if (bytes != nullptr)
        std::memset(bytes, 0, length);
}
} // namespace ZK::SoundEngine
