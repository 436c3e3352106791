// ZkBusObjectList: the audio objects a mix bus (or one of its effect slots) carries in a frame. A
// channel-based bus has one object holding its mix; an object bus keeps one per input object. An
// object is its sample block (frames per buffer of its configuration, with the block's status), its
// record (id from the engine-wide 56-bit counter, positioning metadata, volume ramp), its metering
// flags and its meter.
//
// Objects leave the list by moving the last one into their place.
//
// Threading: the thread processing the bus; additions under the plug-in lock when jobs are used.
// Ownership: the list owns its objects: the slot array (pool 0), sample blocks (pool 5, 16-byte
// aligned), records (pool 0) and meters (pool 14).
#pragma once

#include "ZkAudiolib/Common/Containers/ZkArray.h"
#include "ZkAudiolib/Common/Voice/ZkPipelineBuffer.h"

#include <ZK/SoundEngine/Common/ZkChannelConfig.h>
#include <ZK/SoundEngine/Common/ZkRamp.h>

#include <cstdint>

namespace ZK::SoundEngine
{
class ZkBusMeter;

// Where an object is heard from.
struct ZkObjectPositioning
{
    float x = 0.0f;
    float y = 0.0f;
    float z = 0.0f;
    float spread = 0.0f;
    float focus = 0.0f;
    uint8_t mode = 0;            // positioning mode of the object's input (0: not positioned)
    uint8_t spatialization = 0;  // 0 none, 1 position only, 2 position and orientation
};

struct ZkBusObjectRecord
{
    uint64_t id = 0;
    ZkObjectPositioning positioning;
    ZkRamp volume;     // applied by the next effect that does not take ramps, or by the parent
};

struct ZkBusObject
{
    ZkPipelineBuffer buffer;
    uint32_t channels = 0;
    ZkBusObjectRecord* record = nullptr;
    uint32_t meteringFlags = 0;
    ZkChannelConfig config;
    ZkBusMeter* meter = nullptr;

    uint64_t ID() const { return record->id; }
};

// The next audio-object id: the engine-wide counter's new value, low 56 bits.
uint64_t NextAudioObjectID();

class ZkBusObjectList
{
public:
    static constexpr ZkMemoryId kBufferPool = ZkMemID_Processing;
    static constexpr ZkMemoryId kRecordPool = ZkMemID_Default;

    ZkBusObjectList() = default;
    ~ZkBusObjectList() { Clear(); }
    ZkBusObjectList(const ZkBusObjectList&) = delete;
    ZkBusObjectList& operator=(const ZkBusObjectList&) = delete;

    // A new object of the id and configuration: a zeroed block of frames per buffer with status 17
    // and no valid frames, volume ramp (1, 1). Null when the list is at maxCount or memory runs out
    // (nothing is left behind).
    ZkBusObject* Add(uint64_t id, ZkChannelConfig config, uint32_t maxCount);
    // Frees the object at index; the last object takes its place.
    void RemoveAt(uint32_t index);
    void Clear();
    ZkBusObject* Find(uint64_t id);
    uint32_t Count() const { return m_objects.Length(); }
    bool IsEmpty() const { return m_objects.IsEmpty(); }
    ZkBusObject& operator[](uint32_t index) { return m_objects[index]; }
    const ZkBusObject& operator[](uint32_t index) const { return m_objects[index]; }
    ZkBusObject* begin() { return m_objects.begin(); }
    ZkBusObject* end() { return m_objects.end(); }

private:
    static void Free(ZkBusObject& object);

    ZK::ZkArray<ZkBusObject> m_objects;
};
} // namespace ZK::SoundEngine
