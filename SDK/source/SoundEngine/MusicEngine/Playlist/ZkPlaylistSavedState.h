// ZkPlaylistSavedState: a playlist iterator's saved bytes in a reference-counted block of pool 0.
// The block's first 32-bit word is its reference count; the bytes follow it.
//
// Threading: the engine thread. Ownership: each holder of the value owns one reference and gives
// it back with Release.
#pragma once

#include <ZK/SoundEngine/Common/ZkMemoryMgr.h>

#include <cstdint>

namespace ZK::MusicEngine
{
struct ZkPlaylistSavedState
{
    static constexpr ZkMemoryId kPool = ZkMemID_Default;

    uint32_t* block = nullptr;
    uint32_t size = 0;

    // A block for size bytes, holding one reference. False out of memory.
    bool Allocate(uint32_t byteCount);
    const uint8_t* Bytes() const { return reinterpret_cast<const uint8_t*>(block + 1); }
    uint8_t* Bytes() { return reinterpret_cast<uint8_t*>(block + 1); }
    void AddRef() const { ++*block; }
    // Gives back this holder's reference; the last one frees the block. The value becomes empty.
    void Release();
};
} // namespace ZK::MusicEngine
