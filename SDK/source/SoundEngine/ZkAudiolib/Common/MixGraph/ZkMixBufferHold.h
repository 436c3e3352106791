// ZkMixBufferHold: the two sample buffers a mixer input entry (or a mix record of a bus) may hold
// between frames: a first buffer that is always its own (allocated through the allocator kept
// beside it), and a second one that is either its own (owned byte set) or borrowed from whoever
// produced it. Release gives back what is owned and forgets what is borrowed.
//
// Threading: the thread rendering the entry's input or bus. Ownership: as the owned byte says.
#pragma once

#include <ZK/SoundEngine/Common/IZkPluginMemAlloc.h>

#include <cstdint>

namespace ZK::SoundEngine
{
struct ZkMixBufferHold
{
    ZK::IZkPluginMemAlloc* allocator = nullptr; // of the first buffer
    void* data = nullptr;
    uint32_t frames = 0;
    uint32_t validFrames = 0;
    uint32_t word = 0;
    ZK::IZkPluginMemAlloc* secondAllocator = nullptr;
    void* secondData = nullptr;
    uint8_t secondOwned = 0;

    // Frees the first buffer and an owned second buffer through their allocators; a borrowed
    // second buffer is dropped without being freed. Releasing twice frees nothing the second time.
    void Release();
};
} // namespace ZK::SoundEngine
