#include "MusicEngine/Playlist/ZkPlaylistSavedState.h"

namespace ZK::MusicEngine
{
bool ZkPlaylistSavedState::Allocate(uint32_t byteCount)
{
    block = static_cast<uint32_t*>(ZK::MemoryMgr::Malloc(kPool, sizeof(uint32_t) + byteCount));
    if (block == nullptr)
        return false;
    *block = 1;
    size = byteCount;
    return true;
}

void ZkPlaylistSavedState::Release()
{
    if (block != nullptr && --*block == 0)
        ZK::MemoryMgr::Free(kPool, block);
    block = nullptr;
    size = 0;
}
} // namespace ZK::MusicEngine
