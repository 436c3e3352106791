// The engine thread's side of the spatial stream: the main mix into the bed ring, the engine's
// audio objects into the dynamic objects' rings, and the silent frame that ends every object.
//
// Audio thread: no allocation but a dynamic object's ring when an engine object first takes its
// record (pool 0, the size of the bed in frames, reused while it fits); no lock but the sink's own.
#include "ZkAudiolib/Win32/ZkSinkCoreAudio.h"

#include "ZkAudiolib/Common/Voice/Neighbours/ZkAudioObjects.h"
#include "ZkAudiolib/Common/Voice/ZkAudioSettings.h"

#include <ZK/SoundEngine/Common/ZkMemoryMgr.h>
#include <ZK/SoundEngine/Common/ZkMixer.h>

#include <algorithm>
#include <cstring>

namespace ZK::SoundEngine
{
namespace
{
constexpr ZkMemoryId kRingPool = ZkMemID_Default;
constexpr const char* kNoObjectRing =
    "Microsoft Spatial Sound: Failed to allocate memory for dynamic object. Some sounds may not play.";

// The gain of frame k of a ramp spread over frames, as the interleave kernels compute it.
struct RampWalk
{
    float gain;
    float step;
    RampWalk(ZkRamp ramp, uint32_t frames)
        : gain(ramp.previous), step(frames != 0 ? (ramp.next - ramp.previous) / static_cast<float>(frames) : 0.0f)
    {
    }
    float Next()
    {
        const float current = gain;
        gain += step;
        return current;
    }
};
} // namespace

uint32_t CZkSinkCoreAudio::WriteBed(ZkAudioBuffer* main, ZkRamp ramp)
{
    ZkAudioBuffer* source = main;
    if (m_mixMatrix != nullptr)
    {
        // The main mix of another layout goes through the matrix into a 7.1.4 buffer first.
        std::memset(m_temp.data, 0, sizeof(float) * m_temp.NumChannels() * m_temp.maxFrames);
        ZkRamp unit(1.0f, 1.0f);
        ZkMixer::MixNinNChannels(main, &m_temp, unit, m_mixMatrix, m_mixMatrix,
                                 1.0f / static_cast<float>(m_temp.maxFrames), m_temp.maxFrames);
        m_temp.validFrames = main->validFrames;
        source = &m_temp;
    }
    const uint32_t frames = std::min<uint32_t>(source->validFrames, m_bed.Free() / kBedChannels);
    if (frames == 0)
        return 0;
    const uint32_t samples = frames * kBedChannels;
    const uint32_t start = m_bed.writeIndex;
    if (start + samples <= m_bed.capacity && frames == source->maxFrames)
    {
        // A whole buffer that fits before the end: the interleave kernel writes it in place.
        ZkAudioBuffer target;
        target.AttachData(m_bed.data + start, source->maxFrames, ZkChannelConfig(kBedConfigWord));
        ZkMixer::ApplyGainAndInterleave(source, &target, ramp, false);
        m_bed.writeIndex = start + samples == m_bed.capacity ? 0 : start + samples;
    }
    else
    {
        const ZkChannelConfig config = source->channelConfig;
        RampWalk walk(ramp, source->maxFrames);
        for (uint32_t frame = 0; frame < frames; ++frame)
        {
            const float gain = walk.Next();
            for (uint32_t position = 0; position < kBedChannels; ++position)
                m_bed.Put(gain * source->GetChannel(config.InterleavedToPipeline(position))[frame]);
        }
    }
    m_bed.AddFill(static_cast<int32_t>(samples));
    return start + samples >= m_bed.capacity ? 1 : 0;
}

ZkSpatialObjectRecord* CZkSinkCoreAudio::TakeRecord(const ZkAudioObject& object)
{
    ZkSpatialObjectRecord* free = nullptr;
    for (uint32_t i = 0; i < m_recordCount; ++i)
    {
        ZkSpatialObjectRecord& record = m_records[i];
        if (record.key == object.key && record.state == ZK_DataReady)
            return &record;
        if (free == nullptr && record.IsFree() && record.state == ZK_NoMoreData)
            free = &record;
    }
    if (free == nullptr)
        return nullptr;

    const uint32_t frames = ZkAudioSettings::FramesPerBuffer();
    const uint32_t capacity = frames * m_context->NumRefillBuffers();
    if (free->ring.capacity != capacity)
    {
        if (free->ring.data != nullptr)
            ZK::MemoryMgr::Free(kRingPool, free->ring.data);
        free->ring = ZkSampleRing{};
        free->ring.data = static_cast<float*>(ZK::MemoryMgr::Malloc(kRingPool, sizeof(float) * capacity));
        if (free->ring.data == nullptr)
        {
            PostError(kNoObjectRing);
            return nullptr;
        }
        free->ring.capacity = capacity;
    }
    std::memset(free->ring.data, 0, sizeof(float) * capacity);
    // The object starts as late as the bed's frame written just before it: ahead of its first
    // sample lie as many silent samples as the bed holds frames before this frame.
    const uint32_t skipped = std::min(capacity, frames + BedFreeFrames());
    free->ring.writeIndex = 0;
    free->ring.readIndex = skipped % capacity;
    free->ring.SetFill(static_cast<int32_t>(capacity - skipped));
    free->key = object.key;
    free->state = ZK_DataReady;
    return free;
}

void CZkSinkCoreAudio::WriteObjects(ZkAudioObjects* objects, ZkRamp ramp)
{
    for (uint32_t i = 0; i < objects->count; ++i)
    {
        const ZkAudioObject& object = objects->objects[i];
        ZkSpatialObjectRecord* record = TakeRecord(object);
        if (record == nullptr)
            continue;
        if (object.buffer.state == ZK_NoMoreData)
        {
            record->state = ZK_NoMoreData;
            ++m_drainingObjects;
        }
        record->x = object.position.x;
        record->y = object.position.y;
        record->z = object.position.z;
        const uint32_t frames = std::min<uint32_t>(object.buffer.validFrames, record->ring.Free());
        if (frames == 0 || object.buffer.data == nullptr)
            continue;
        const float* samples = object.buffer.GetChannel(0);
        RampWalk walk(ZkRamp(ramp.previous * object.gain.previous, ramp.next * object.gain.next), object.buffer.maxFrames);
        // At most two runs: up to the ring's end, then from its start.
        ZkSampleRing& ring = record->ring;
        uint32_t written = 0;
        while (written < frames)
        {
            const uint32_t run = std::min(frames - written, ring.capacity - ring.writeIndex);
            float* out = ring.data + ring.writeIndex;
            if (walk.step == 0.0f)
            {
                for (uint32_t k = 0; k < run; ++k)
                    out[k] = samples[written + k] * walk.gain;
            }
            else
            {
                for (uint32_t k = 0; k < run; ++k)
                    out[k] = samples[written + k] * walk.Next();
            }
            written += run;
            ring.writeIndex = (ring.writeIndex + run) % ring.capacity;
        }
        ring.AddFill(static_cast<int32_t>(frames));
    }
}

void CZkSinkCoreAudio::WriteSilentFrame()
{
    const bool locks = m_recordCount != 0;
    if (locks)
        m_lock.Enter();
    const uint32_t frames = ZkAudioSettings::FramesPerBuffer();
    if (BedFreeFrames() >= frames)
    {
        for (uint32_t sample = 0; sample < frames * kBedChannels; ++sample)
            m_bed.Put(0.0f);
        m_bed.AddFill(static_cast<int32_t>(frames * kBedChannels));
    }
    for (uint32_t i = 0; i < m_recordCount; ++i)
    {
        ZkSpatialObjectRecord& record = m_records[i];
        if (!record.IsFree() && record.state != ZK_NoMoreData)
        {
            record.state = ZK_NoMoreData;
            ++m_drainingObjects;
        }
    }
    if (locks)
        m_lock.Leave();
}
} // namespace ZK::SoundEngine
