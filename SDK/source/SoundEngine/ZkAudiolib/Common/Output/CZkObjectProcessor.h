// CZkObjectProcessor: the device-side records of the audio objects of a device whose main mix is
// an object configuration (a sink that takes 3-D audio). Each frame it decides, object by object,
// whether a root bus's object becomes an object the sink renders itself (routing 3), goes to the
// main mix (1) or to the pass-through mix (2); an object keeps the routing it once got for as long
// as it is fed. The records of the sink's objects are what the sink receives (CollectObjects).
//
// Records live in two lists: A for objects eligible as 3-D objects (room for the sink's maximum
// object count at Init), B for the others (room for 100). An object that is not fed in a frame
// loses its record at the end of that frame (EndFrame).
//
// Threading: engine thread (the render pass and the device's frame end). Ownership: the device's
// (memory pool 0); the lists and the sink's object array are the processor's (pool 0); the
// records only point at the buses' sample blocks.
#pragma once

#include "ZkAudiolib/Common/Containers/ZkArray.h"
#include "ZkAudiolib/Common/MixGraph/ZkBusObjectList.h"
#include "ZkAudiolib/Common/Voice/Neighbours/ZkAudioObjects.h"

#include <ZK/SoundEngine/Common/IZkSinkPlugin.h>
#include <ZK/SoundEngine/Common/ZkAudioBuffer.h>
#include <ZK/SoundEngine/Common/ZkMemoryMgr.h>
#include <ZK/SoundEngine/Common/ZkResult.h>

#include <cstdint>

class CZkOutputDevice;

namespace ZK::SoundEngine
{
class CZkObjectProcessor
{
public:
    static constexpr ZkMemoryId kPool = ZkMemID_Default;
    static constexpr uint32_t kRoutingMain = 1;
    static constexpr uint32_t kRoutingPassthrough = 2;
    static constexpr uint32_t kRoutingObject = 3;
    static constexpr uint32_t kInitialOtherRecords = 100;
    static constexpr uint64_t kNoObject = ~uint64_t{0};

    struct Record
    {
        uint64_t id = kNoObject;
        uint32_t routing = kRoutingMain;
        ZkAudioBuffer buffer;        // the bus object's block, or one of its channels (routing 3)
        ZKRESULT status = ZK_DataNeeded;
        ZkObjectPositioning positioning;
        ZkRamp volume;
    };

    CZkObjectProcessor() = default;
    ~CZkObjectProcessor() { Term(); }
    CZkObjectProcessor(const CZkObjectProcessor&) = delete;
    CZkObjectProcessor& operator=(const CZkObjectProcessor&) = delete;

    // Room for the sink's maximum object count (nothing at all for 0). 1 or 52.
    ZKRESULT Init(uint32_t maxObjects);
    void Term();

    // Whether the object may become an object of the sink: positioned, spatialised, a speaker
    // configuration whose channels all lie within 0x63F.
    static bool IsEligible(const ZkBusObject& object);
    // The routing of the object this frame (the one it already has, when it is known).
    uint32_t RouteObject(const ZkBusObject& object, const ZK::Zk3DAudioSinkCapabilities& capabilities);
    // The records of the object for its routing: one for the main or pass-through mix; for routing
    // 3 one per channel but the LFE (channel i > 0 with id (i << 56) | id). A record that cannot be
    // added drops the object for the frame (false).
    bool BuildObject(ZkBusObject& object, uint32_t routing);
    // The sink's objects of this frame (null when there are none).
    ZkAudioObjects* CollectObjects();
    // Records fed this frame (status 45) wait for the next one as 17; the others are removed.
    void EndFrame();
    // Mixes every object of the list into out (direct assignment of its channels, its own ramp).
    ZKRESULT MixObjectsInto(ZkAudioObjects* objects, ZkAudioBuffer& out);

    uint32_t ObjectsInUse() const { return m_objectsInUse; }
    uint32_t RecordCount() const { return m_eligible.Length() + m_others.Length(); }
    const Record* Find(uint64_t id) const;

private:
    using RecordList = ZK::ZkArray<Record, kPool>;
    Record* FindIn(RecordList& list, uint64_t id);
    Record* AddRecord(RecordList& list, uint64_t id, uint32_t routing);
    void EndFrameOf(RecordList& list);

    RecordList m_eligible;   // list A
    RecordList m_others;     // list B
    uint32_t m_objectsInUse = 0;
    ZK::ZkArray<ZkAudioObject, kPool> m_sinkObjects;
    ZkAudioObjects m_collected;
};
} // namespace ZK::SoundEngine
