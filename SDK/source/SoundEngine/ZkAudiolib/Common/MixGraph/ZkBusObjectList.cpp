#include "ZkAudiolib/Common/MixGraph/ZkBusObjectList.h"

#include "ZkAudiolib/Common/Containers/ZkNew.h"
#include "ZkAudiolib/Common/Metering/ZkBusMeter.h"
#include "ZkAudiolib/Common/Voice/ZkAudioSettings.h"

#include <atomic>
#include <cstring>

namespace ZK::SoundEngine
{
namespace
{
constexpr uint64_t kObjectIDMask = (uint64_t{1} << 56) - 1;
constexpr uint32_t kBlockAlignment = 16;

std::atomic<uint64_t> g_objectCounter{0};
} // namespace

uint64_t NextAudioObjectID() { return (g_objectCounter.fetch_add(1, std::memory_order_relaxed) + 1) & kObjectIDMask; }

ZkBusObject* ZkBusObjectList::Add(uint64_t id, ZkChannelConfig config, uint32_t maxCount)
{
    if (m_objects.Length() >= maxCount)
        return nullptr;
    const uint16_t frames = ZkAudioSettings::FramesPerBuffer();
    const size_t bytes = static_cast<size_t>(config.NumChannels()) * frames * sizeof(float);
    void* samples = ZK::MemoryMgr::Malign(kBufferPool, bytes != 0 ? bytes : kBlockAlignment, kBlockAlignment);
    if (samples == nullptr)
        return nullptr;
    auto* record = ZK::ZkNew<ZkBusObjectRecord>(kRecordPool);
    ZkBusObject* object = record != nullptr ? m_objects.AddLast() : nullptr;
    if (object == nullptr)
    {
        ZK::ZkDelete(kRecordPool, record);
        ZK::MemoryMgr::Free(kBufferPool, samples);
        return nullptr;
    }
    std::memset(samples, 0, bytes);
    record->id = id;
    object->buffer.AttachData(samples, frames, config);
    object->buffer.validFrames = 0;
    object->buffer.status = ZK_NoMoreData;
    object->buffer.state = ZK_NoMoreData;
    object->channels = config.NumChannels();
    object->record = record;
    object->config = config;
    return object;
}

void ZkBusObjectList::Free(ZkBusObject& object)
{
    ZK::MemoryMgr::Free(kBufferPool, object.buffer.data);
    ZK::ZkDelete(kRecordPool, object.record);
    ZkBusMeter::Destroy(object.meter);
    object = ZkBusObject{};
}

void ZkBusObjectList::RemoveAt(uint32_t index)
{
    if (index >= m_objects.Length())
        return;
    Free(m_objects[index]);
    m_objects.EraseSwap(index);
}

void ZkBusObjectList::Clear()
{
    for (ZkBusObject& object : m_objects)
        Free(object);
    m_objects.Term();
}

ZkBusObject* ZkBusObjectList::Find(uint64_t id)
{
    for (ZkBusObject& object : m_objects)
        if (object.record->id == id)
            return &object;
    return nullptr;
}
} // namespace ZK::SoundEngine
