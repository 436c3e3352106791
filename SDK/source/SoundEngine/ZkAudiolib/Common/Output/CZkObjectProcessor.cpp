#include "ZkAudiolib/Common/Output/CZkObjectProcessor.h"

#include "ZkAudiolib/Common/Panning/ZkSpeakerPan.h"

#include <ZK/SoundEngine/Common/ZkMixer.h>

namespace ZK::SoundEngine
{
namespace
{
constexpr uint32_t kObjectSpeakerMask = 0x63F;
constexpr uint32_t kChannelIdShift = 56;
constexpr ZkChannelConfig kMono = ZkChannelConfig::FromMask(0x4);
// The matrix of one object channel onto up to 64 device channels (rows padded to four).
constexpr uint32_t kMaxMatrixFloats = 64;
} // namespace

ZKRESULT CZkObjectProcessor::Init(uint32_t maxObjects)
{
    Term();
    if (maxObjects == 0)
        return ZK_Success;
    if (m_eligible.Reserve(maxObjects) != ZK_Success || m_others.Reserve(kInitialOtherRecords) != ZK_Success)
    {
        Term();
        return ZK_InsufficientMemory;
    }
    return ZK_Success;
}

void CZkObjectProcessor::Term()
{
    m_eligible.Term();
    m_others.Term();
    m_sinkObjects.Term();
    m_objectsInUse = 0;
    m_collected = ZkAudioObjects{};
}

bool CZkObjectProcessor::IsEligible(const ZkBusObject& object)
{
    const ZkObjectPositioning& positioning = object.record->positioning;
    const ZkChannelConfig config = object.buffer.channelConfig;
    return positioning.mode != 0 && positioning.spatialization >= 1 && config.Type() == ZkChannelConfigType_Standard &&
           (config.Mask() & ~kObjectSpeakerMask) == 0;
}

CZkObjectProcessor::Record* CZkObjectProcessor::FindIn(RecordList& list, uint64_t id)
{
    for (Record& record : list)
        if (record.id == id)
            return &record;
    return nullptr;
}

const CZkObjectProcessor::Record* CZkObjectProcessor::Find(uint64_t id) const
{
    auto& self = const_cast<CZkObjectProcessor&>(*this);
    if (const Record* record = self.FindIn(self.m_eligible, id))
        return record;
    return self.FindIn(self.m_others, id);
}

uint32_t CZkObjectProcessor::RouteObject(const ZkBusObject& object, const ZK::Zk3DAudioSinkCapabilities& capabilities)
{
    const bool eligible = IsEligible(object);
    const uint64_t id = object.ID();
    Record* known = eligible ? FindIn(m_eligible, id) : nullptr;
    if (known == nullptr)
        known = FindIn(m_others, id);
    if (known == nullptr && !eligible)
        known = FindIn(m_eligible, id);
    if (known != nullptr)
        return known->routing;
    const ZkChannelConfig config = object.buffer.channelConfig;
    if (eligible && capabilities.numSystemAudioObjectsAvailable >= config.NumNonLfeChannels() + m_objectsInUse)
        return kRoutingObject;
    if (!eligible && object.record->positioning.mode == 0 && config.Type() == ZkChannelConfigType_Standard &&
        config.NumChannels() <= 2 && capabilities.passthrough != 0)
        return kRoutingPassthrough;
    return kRoutingMain;
}

CZkObjectProcessor::Record* CZkObjectProcessor::AddRecord(RecordList& list, uint64_t id, uint32_t routing)
{
    if (Record* record = FindIn(list, id))
        return record;
    Record* record = list.AddLast(Record{});
    if (record == nullptr)
        return nullptr;
    record->id = id;
    record->routing = routing;
    if (routing == kRoutingObject)
        ++m_objectsInUse;
    return record;
}

bool CZkObjectProcessor::BuildObject(ZkBusObject& object, uint32_t routing)
{
    RecordList& list = IsEligible(object) ? m_eligible : m_others;
    const ZkAudioBuffer& block = object.buffer;
    const ZkChannelConfig config = block.channelConfig;
    auto fill = [&](Record& record, const ZkAudioBuffer& buffer) {
        record.buffer = buffer;
        record.status = object.buffer.status;
        record.positioning = object.record->positioning;
        record.volume = object.record->volume;
    };
    if (routing != kRoutingObject || config.NumChannels() == 1)
    {
        Record* record = AddRecord(list, object.ID(), routing);
        if (record == nullptr)
            return false;
        fill(*record, block);
        return true;
    }
    // One object per channel; the LFE (stored last) is not carried as an object.
    bool all = true;
    for (uint32_t channel = 0; channel < config.NumNonLfeChannels(); ++channel)
    {
        const uint64_t id = channel == 0 ? object.ID() : (uint64_t{channel} << kChannelIdShift) | object.ID();
        Record* record = AddRecord(list, id, routing);
        if (record == nullptr)
        {
            all = false;
            continue;
        }
        ZkAudioBuffer view;
        view.AttachData(block.GetChannel(channel), block.maxFrames, kMono);
        view.validFrames = block.validFrames;
        fill(*record, view);
    }
    return all;
}

ZkAudioObjects* CZkObjectProcessor::CollectObjects()
{
    m_sinkObjects.RemoveAll();
    for (RecordList* list : {&m_eligible, &m_others})
        for (Record& record : *list)
        {
            if (record.routing != kRoutingObject || record.status != ZK_DataReady)
                continue;
            ZkAudioObject* object = m_sinkObjects.AddLast(ZkAudioObject{});
            if (object == nullptr)
                break;
            object->buffer = record.buffer;
            object->key = record.id;
            object->gain = record.volume;
            object->position = ZkAudioObjectPosition{record.positioning.x, record.positioning.y, record.positioning.z};
        }
    if (m_sinkObjects.IsEmpty())
        return nullptr;
    m_collected.objects = m_sinkObjects.Data();
    m_collected.count = m_sinkObjects.Length();
    m_collected.capacity = m_sinkObjects.Capacity();
    return &m_collected;
}

void CZkObjectProcessor::EndFrameOf(RecordList& list)
{
    for (uint32_t i = list.Length(); i-- > 0;)
    {
        Record& record = list[i];
        if (record.status == ZK_DataReady)
        {
            record.status = ZK_NoMoreData;
            continue;
        }
        if (record.routing == kRoutingObject && m_objectsInUse != 0)
            --m_objectsInUse;
        list.EraseSwap(i);
    }
}

void CZkObjectProcessor::EndFrame()
{
    EndFrameOf(m_eligible);
    EndFrameOf(m_others);
}

ZKRESULT CZkObjectProcessor::MixObjectsInto(ZkAudioObjects* objects, ZkAudioBuffer& out)
{
    if (objects == nullptr)
        return ZK_Success;
    const uint32_t rowFloats = (out.NumChannels() + 3) / 4 * 4;
    for (uint32_t i = 0; i < objects->count; ++i)
    {
        ZkAudioObject& object = objects->objects[i];
        const uint32_t floats = rowFloats * object.buffer.NumChannels();
        if (floats > kMaxMatrixFloats)
            continue;
        alignas(16) float matrix[kMaxMatrixFloats] = {};
        CZkSpeakerPan::ComputeSpeakerVolumes(0.0f, 0.0f, 0.0f, 0.0f, ZkSpeakerPanning_Direct,
                                             object.buffer.channelConfig, out.channelConfig, matrix, nullptr);
        ZkRamp ramp = object.gain;
        const uint16_t frames = out.maxFrames;
        ZkMixer::MixNinNChannels(&object.buffer, &out, ramp, matrix, matrix, 1.0f / static_cast<float>(frames), frames);
    }
    return ZK_Success;
}
} // namespace ZK::SoundEngine
