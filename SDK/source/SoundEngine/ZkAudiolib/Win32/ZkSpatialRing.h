// ZkSampleRing: a ring of float samples between one writer (the engine thread) and one reader (the
// spatial worker). Each side owns its own index; the fill is the only shared word and is changed
// with atomic adds: the writer publishes samples by raising it after they are written (release),
// the reader frees them by lowering it after they are read, so neither side ever waits on the
// other.
//
// ZkSpatialObjectRecord: a dynamic audio object of the spatial stream (56 bytes): the engine
// object it plays (a key; free when kFree), its ring, position and state (45 playing, 17 ended).
//
// Threading: WriteFrom/Push on the writer's thread, ReadInto on the reader's; Fill and Free from
// either. Ownership: the memory is the sink's (memory pool 0 for samples), handed in and taken back
// by its owner; the record's object holds one reference.
#pragma once

#include <Platform/Audio/SpatialInterfaces.h>
#include <ZK/SoundEngine/Common/ZkResult.h>

#include <atomic>
#include <cstdint>

namespace ZK::SoundEngine
{
struct ZkSampleRing
{
    float* data = nullptr;
    uint32_t capacity = 0;   // samples
    uint32_t readIndex = 0;  // the reader's
    uint32_t writeIndex = 0; // the writer's
    int32_t fill = 0;        // samples written and not yet read; atomic

    int32_t Fill() const { return std::atomic_ref<int32_t>(const_cast<int32_t&>(fill)).load(std::memory_order_acquire); }
    uint32_t Free() const
    {
        const int32_t held = Fill();
        return held >= static_cast<int32_t>(capacity) ? 0 : capacity - static_cast<uint32_t>(held < 0 ? 0 : held);
    }
    void AddFill(int32_t samples) { std::atomic_ref<int32_t>(fill).fetch_add(samples, std::memory_order_acq_rel); }
    void SetFill(int32_t samples) { std::atomic_ref<int32_t>(fill).store(samples, std::memory_order_release); }
    void Reset()
    {
        readIndex = 0;
        writeIndex = 0;
        SetFill(0);
    }
    // Writer: one sample at the write index, then the index moves on (the fill is raised apart).
    void Put(float sample)
    {
        data[writeIndex] = sample;
        writeIndex = writeIndex + 1 == capacity ? 0 : writeIndex + 1;
    }
    // Reader: count samples from the read index into out, across the wrap, and frees them.
    void ReadInto(float* out, uint32_t count);
    // Reader: count samples de-interleaved from the read index, channel stride apart: sample k of
    // channel c goes to outs[c][k].
    void ReadFramesInto(float* const* outs, uint32_t channels, uint32_t frames);
};

struct ZkSpatialObjectRecord
{
    static constexpr uint64_t kFree = ~uint64_t{0};

    uint64_t key = kFree;
    ZkSampleRing ring;
    float x = 0.0f;
    float y = 0.0f;
    float z = 0.0f;
    uint32_t state = ZK_NoMoreData;
    ZK::Platform::ISpatialAudioObject* object = nullptr;

    bool IsFree() const { return key == kFree; }
};
static_assert(sizeof(ZkSpatialObjectRecord) == 56, "a dynamic-object record is 56 bytes");
} // namespace ZK::SoundEngine
