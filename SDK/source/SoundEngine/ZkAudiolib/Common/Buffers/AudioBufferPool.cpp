#include "ZkAudiolib/Common/Buffers/AudioBufferPool.h"

#include "Platform/PlatformThread.h"

#include <atomic>
#include <cstddef>
#include <new>

namespace ZK::SoundEngine
{
namespace
{
struct SampleBlock
{
    std::atomic<SampleBlock*> next;
    std::atomic<uint32_t> claimed;
    // The shape the block was allocated for. A release goes by these, not by the buffer's fields,
    // so a buffer whose channel configuration changed in between can never put a block on the list
    // of a larger shape.
    uint32_t channels;
    uint16_t frames;
};
static_assert(sizeof(SampleBlock) <= AudioBufferPool::kBlockHeaderBytes, "block header fits its 32 bytes");

std::atomic<SampleBlock*> g_freeLists[AudioBufferPool::kCachedChannelCounts];
std::atomic<uint16_t> g_framesPerBuffer{AudioBufferPool::kDefaultFramesPerBuffer};

SampleBlock* BlockOf(void* data)
{
    return reinterpret_cast<SampleBlock*>(static_cast<uint8_t*>(data) - AudioBufferPool::kBlockHeaderBytes);
}

void* DataOf(SampleBlock* block)
{
    return reinterpret_cast<uint8_t*>(block) + AudioBufferPool::kBlockHeaderBytes;
}

bool IsCachedShape(uint32_t channels, uint16_t maxFrames)
{
    return channels >= 1 && channels <= AudioBufferPool::kCachedChannelCounts &&
           maxFrames == g_framesPerBuffer.load(std::memory_order_relaxed);
}

SampleBlock* TakeFromList(std::atomic<SampleBlock*>& head)
{
    uint32_t failedClaims = 0;
    SampleBlock* block = head.load(std::memory_order_acquire);
    while (block != nullptr)
    {
        uint32_t unclaimed = 0;
        if (!block->claimed.compare_exchange_strong(unclaimed, 1, std::memory_order_acquire))
        {
            // Another taker holds it, or its releaser has not finished linking it.
            if (++failedClaims > AudioBufferPool::kClaimSpinsBeforeYield)
                ZK::Platform::YieldProcessor();
            block = head.load(std::memory_order_acquire);
            continue;
        }
        SampleBlock* expected = block;
        if (head.compare_exchange_strong(expected, block->next.load(std::memory_order_relaxed), std::memory_order_acq_rel))
            return block; // stays claimed while it is in use
        block->claimed.store(0, std::memory_order_release);
        block = head.load(std::memory_order_acquire);
    }
    return nullptr;
}

void PushOnList(std::atomic<SampleBlock*>& head, SampleBlock* block)
{
    SampleBlock* first = head.load(std::memory_order_relaxed);
    do
    {
        block->next.store(first, std::memory_order_relaxed);
    } while (!head.compare_exchange_weak(first, block, std::memory_order_release, std::memory_order_relaxed));
    block->claimed.store(0, std::memory_order_release);
}
} // namespace

void AudioBufferPool::Init()
{
    for (auto& head : g_freeLists)
        head.store(nullptr, std::memory_order_relaxed);
}

void AudioBufferPool::Flush()
{
    for (auto& head : g_freeLists)
    {
        SampleBlock* block = head.exchange(nullptr, std::memory_order_acquire);
        while (block != nullptr)
        {
            SampleBlock* next = block->next.load(std::memory_order_relaxed);
            block->~SampleBlock();
            ZK::MemoryMgr::Free(kPool, block);
            block = next;
        }
    }
}

void AudioBufferPool::SetFramesPerBuffer(uint16_t frames)
{
    g_framesPerBuffer.store(frames, std::memory_order_relaxed);
}

uint16_t AudioBufferPool::FramesPerBuffer()
{
    return g_framesPerBuffer.load(std::memory_order_relaxed);
}

ZKRESULT AudioBufferPool::GetCachedBuffer(ZkAudioBuffer& buffer)
{
    const uint32_t channels = buffer.NumChannels();
    if (channels == 0)
        return ZK_InvalidParameter;
    const uint16_t frameSize = FramesPerBuffer();
    if (buffer.maxFrames < frameSize)
        buffer.maxFrames = frameSize;

    SampleBlock* block = nullptr;
    if (IsCachedShape(channels, buffer.maxFrames))
        block = TakeFromList(g_freeLists[channels - 1]);
    if (block == nullptr)
    {
        const size_t bytes = size_t{channels} * buffer.maxFrames * sizeof(float) + kBlockHeaderBytes;
        void* memory = ZK::MemoryMgr::Malign(kPool, bytes, kBlockAlignment);
        if (memory == nullptr)
        {
            buffer.data = nullptr;
            return ZK_InsufficientMemory;
        }
        block = new (memory) SampleBlock{};
        block->next.store(nullptr, std::memory_order_relaxed);
        block->claimed.store(1, std::memory_order_relaxed);
        block->channels = channels;
        block->frames = buffer.maxFrames;
    }
    buffer.validFrames = 0;
    buffer.data = DataOf(block);
    return ZK_Success;
}

void AudioBufferPool::ReleaseCachedBuffer(ZkAudioBuffer& buffer)
{
    if (buffer.data != nullptr)
    {
        SampleBlock* block = BlockOf(buffer.data);
        if (IsCachedShape(block->channels, block->frames))
        {
            PushOnList(g_freeLists[block->channels - 1], block);
        }
        else
        {
            block->~SampleBlock();
            ZK::MemoryMgr::Free(kPool, block);
        }
    }
    buffer.data = nullptr;
    buffer.maxFrames = 0;
}

uint32_t AudioBufferPool::CachedBlocks(uint32_t channels)
{
    if (channels == 0 || channels > kCachedChannelCounts)
        return 0;
    uint32_t count = 0;
    for (SampleBlock* block = g_freeLists[channels - 1].load(std::memory_order_acquire); block != nullptr;
         block = block->next.load(std::memory_order_relaxed))
        ++count;
    return count;
}
} // namespace ZK::SoundEngine
