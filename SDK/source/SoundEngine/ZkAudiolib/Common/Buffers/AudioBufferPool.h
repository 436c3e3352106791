// AudioBufferPool: the sample memory of ZkAudioBuffer records for voices, buses and the output
// sink. Blocks of the engine's frame size (1 to 8 channels) are kept on one lock-free free list per
// channel count, so a block released during a frame is reused within the frame without the memory
// manager; the engine tick frees the lists (Flush) after each rendered frame. Blocks of any other
// size bypass the lists.
//
// A block (memory pool 5, 16-byte aligned) is a 32-byte header {next free block, claim flag}
// followed by channels x maxFrames 32-bit float samples; a buffer's data points just past the
// header. The claim flag keeps two takers from unlinking the same head block: a taker claims the
// head before unlinking it, and a released block becomes claimable only once it is linked.
//
// Threading: GetCachedBuffer and ReleaseCachedBuffer are lock-free and may run on any audio thread
// (render jobs, the output worker). Init, Flush and SetFramesPerBuffer run on the engine thread
// while no other thread takes or releases blocks (Flush: after the render pass).
// Ownership: a block belongs to the buffer between Get and Release, to the pool in between.
#pragma once

#include <ZK/SoundEngine/Common/ZkAudioBuffer.h>
#include <ZK/SoundEngine/Common/ZkMemoryMgr.h>
#include <ZK/SoundEngine/Common/ZkResult.h>

#include <cstdint>

namespace ZK::SoundEngine
{
class AudioBufferPool
{
public:
    static constexpr ZkMemoryId kPool = ZkMemID_Processing;
    static constexpr uint32_t kBlockAlignment = 16;
    static constexpr uint32_t kBlockHeaderBytes = 32;
    static constexpr uint32_t kCachedChannelCounts = 8; // lists for 1..8 channels
    static constexpr uint16_t kDefaultFramesPerBuffer = 1024;
    // Failed claims before a taker starts yielding the processor on each further one.
    static constexpr uint32_t kClaimSpinsBeforeYield = 1000;

    // Empties the lists (without freeing: call Flush first if they may hold blocks).
    static void Init();
    // Frees every cached block and empties the lists.
    static void Flush();

    // The engine's audio frame size; blocks of this many frames are cached. Set by the output
    // format when the frame size changes; blocks of the old size are freed as they are released.
    static void SetFramesPerBuffer(uint16_t frames);
    static uint16_t FramesPerBuffer();

    // Gives buffer sample memory for its channel count and at least the frame size (maxFrames is
    // raised to it), and sets validFrames to 0. 1; 52 when out of memory (the buffer keeps no
    // data); 31 for a channel count of 0 (nothing to hold).
    static ZKRESULT GetCachedBuffer(ZkAudioBuffer& buffer);
    // Gives the buffer's block back (cached or freed) and clears the buffer (data null,
    // maxFrames 0).
    static void ReleaseCachedBuffer(ZkAudioBuffer& buffer);

    // Blocks on the list of a channel count (tests and diagnostics; engine thread only).
    static uint32_t CachedBlocks(uint32_t channels);
};
} // namespace ZK::SoundEngine
