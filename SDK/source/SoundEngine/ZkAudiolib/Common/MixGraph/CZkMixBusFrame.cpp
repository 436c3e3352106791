// CZkMixBus: one frame of a bus: its inputs mixed into its objects, its processing (effects, mixer
// plug-in, the blocks its parents pull, the meters), and the end of its frame.
#include "ZkAudiolib/Common/MixGraph/CZkMixBus.h"

#include "ZkAudiolib/Common/Buffers/ZkBufferPadding.h"
#include "ZkAudiolib/Common/Metering/ZkBusMeter.h"
#include "ZkAudiolib/Common/MixGraph/CZkMixerInputContext.h"
#include "ZkAudiolib/Common/MixGraph/IZkMixerPlugin.h"
#include "ZkAudiolib/Common/MixGraph/ZkBusPluginLock.h"
#include "ZkAudiolib/Common/Playback/CZkPlayingMgr.h"

#include <ZK/SoundEngine/Common/ZkMixer.h>

#include <algorithm>
#include <cstring>

namespace ZK::SoundEngine
{
namespace
{
bool CarriesAudio(const ZkPipelineBuffer& block)
{
    return block.validFrames != 0 && (block.status == ZK_DataReady || block.status == ZK_NoMoreData);
}

// The larger of two block statuses (45 data ready over 17 no more data).
ZKRESULT Larger(ZKRESULT a, ZKRESULT b) { return a > b ? a : b; }
} // namespace

ZkBusObject* CZkMixBus::AddObject(uint64_t id, ZkChannelConfig config)
{
    const ZkBusPluginGuard guard;
    ZkBusObject* object = m_objects.Add(id, config, kMaxObjects);
    if (object == nullptr)
        return nullptr;
    object->meteringFlags = ObjectMeteringFlags();
    // The effect chain takes the new object at the next pending-change step.
    for (const ZkBusEffectSlot& slot : m_slots)
        if (slot.HasEffect())
            m_busFlags = static_cast<uint8_t>(m_busFlags & ~kFlagEffectsSetUp);
    return object;
}

ZkBusObject* CZkMixBus::EnsureFirstObject()
{
    if (!m_objects.IsEmpty())
        return &m_objects[0];
    return AddObject(NextAudioObjectID(), m_config);
}

void CZkMixBus::MixInput(CZkMixerInputContext& connection)
{
    if (m_mixer != nullptr && MixerPlugin() != nullptr)
    {
        MixThroughPlugin(connection);
        return;
    }
    const ZkRamp gains(connection.previousMixGain * connection.previousFactor,
                       connection.nextMixGain * connection.nextFactor);
    for (uint32_t i = 0; i < connection.EntryCount(); ++i)
    {
        ZkMixInputEntry& entry = connection.Entry(i);
        if (entry.buffer != nullptr)
            MixBuffer(*entry.buffer, entry, gains);
    }
}

void CZkMixBus::MixBuffer(ZkPipelineBuffer& buffer, ZkMixInputEntry& entry, ZkRamp gains)
{
    if (!CarriesAudio(buffer))
        return;
    m_activity = kActive;
    ZeroPadToFullLength(buffer);
    const uint16_t frames = buffer.maxFrames;

    if (m_config.Type() == ZkChannelConfigType_Objects)
    {
        ZkBusObject* object = m_objects.Find(entry.key);
        if (object == nullptr)
            object = AddObject(entry.key, buffer.channelConfig);
        if (object == nullptr || object->buffer.maxFrames != frames || object->channels != buffer.NumChannels())
            return;
        if (entry.object != nullptr)
        {
            object->record->positioning = entry.object->positioning;
        }
        else if (entry.placed != 0)
        {
            // A positioned input's ray, placed by the positioning step.
            ZkObjectPositioning& placed = object->record->positioning;
            placed.x = entry.placement.position.x;
            placed.y = entry.placement.position.y;
            placed.z = entry.placement.position.z;
            placed.spread = entry.placement.spread;
            placed.focus = entry.placement.focus;
            placed.mode = 1;
        }
        object->buffer.status = Larger(object->buffer.status, buffer.status);
        object->buffer.validFrames = frames;
        if (!entry.filter.IsBypassed())
            entry.filter.ProcessOutOfPlace(&buffer, &object->buffer);
        else
            for (uint32_t c = 0; c < buffer.NumChannels(); ++c)
                std::memcpy(object->buffer.GetChannel(c), buffer.GetChannel(c), sizeof(float) * frames);
        object->record->volume = ZkRamp(gains.previous * entry.previousGain, gains.next * entry.nextGain);
        return;
    }

    ZkBusObject* object = EnsureFirstObject();
    if (object == nullptr || !entry.matrices.IsAllocated() || object->buffer.maxFrames != frames)
        return;
    object->buffer.status = Larger(object->buffer.status, buffer.status);
    object->buffer.validFrames = frames;
    ZkRamp ramp = gains;
    const float oneOverFrames = 1.0f / static_cast<float>(frames);
    if (!entry.filter.IsBypassed())
        ZkMixer::MixFilterNinNChannels(&buffer, &object->buffer, ramp, entry.matrices.previous, entry.matrices.current,
                                       oneOverFrames, frames, &entry.filter);
    else
        ZkMixer::MixBypassNinNChannels(&buffer, &object->buffer, ramp, entry.matrices.previous, entry.matrices.current,
                                       oneOverFrames, frames, &entry.filter);
    object->record->volume = ZkRamp(1.0f, 1.0f);
}

ZkBusObjectList& CZkMixBus::OutputList()
{
    if (m_bypassAll == 0)
        for (uint32_t slot = kEffectSlots; slot-- > 0;)
            if (IsSlotActive(slot))
                return m_slots[slot].output;
    return m_objects;
}

void CZkMixBus::Process()
{
    if ((m_busFlags & kFlagEffectsSetUp) == 0 || (m_busFlags & kFlagEffectChangePending) != 0)
        ApplyPendingEffectChanges((m_busFlags & kFlagEffectsSetUp) == 0 ? 0xFu : 0u);
    IZkMixerPlugin* mixer = MixerPlugin();
    if (mixer != nullptr)
        if (ZkBusObject* first = EnsureFirstObject())
            mixer->OnInputsEnded(&first->buffer);

    if (m_activity == kActive)
    {
        ZkBusObjectList* current = &m_objects;
        for (uint32_t slot = 0; slot < kEffectSlots; ++slot)
            RunSlot(slot, current);
    }
    ZkBusObjectList& output = OutputList();
    PublishOutput(output);
    if (mixer != nullptr && !output.IsEmpty())
        mixer->OnOutputReady(&output[0].buffer);
    Meter(output);
    if (mixer != nullptr && !output.IsEmpty())
    {
        ZkBusObject& last = output[output.Count() - 1];
        mixer->OnFrameEnd(&last.buffer, last.meter);
    }
}

void CZkMixBus::PublishOutput(ZkBusObjectList& output)
{
    const bool perObject = GetOutputConfig().Type() == ZkChannelConfigType_Objects;
    for (CZkMixerInputContext* c = FirstOutput(); c != nullptr; c = c->nextOutput)
    {
        if (!perObject)
        {
            // One block: the connection's first entry carries it.
            if (c->EntryCount() != 0)
                c->Entry(0).buffer = output.IsEmpty() ? nullptr : &output[0].buffer;
            continue;
        }
        for (ZkBusObject& object : output)
        {
            ZkMixInputEntry* entry = c->FindEntry(object.ID(), 0);
            if (entry == nullptr && c->EntryCount() == 1 && c->Entry(0).buffer == nullptr && c->Entry(0).key == 0)
            {
                entry = &c->Entry(0);
                entry->key = object.ID();
            }
            if (entry == nullptr)
                entry = c->AddEntry(object.ID(), 0);
            if (entry == nullptr)
                continue;
            entry->buffer = &object.buffer;
            entry->object = object.record;
        }
    }
}

void CZkMixBus::Meter(ZkBusObjectList& output)
{
    const uint32_t flags = ObjectMeteringFlags();
    for (ZkBusObject& object : output)
    {
        object.meteringFlags = flags;
        ZkBusMeter* meter = ZkBusMeter::Refresh(object.meter, flags, object.config);
        if (meter == nullptr)
            continue;
        ZkBusMeter::Measure(m_outputGain * object.record->volume.next, object.buffer, *meter);
        if (m_meteringFlags != 0 && g_pPlayingMgr != nullptr)
            g_pPlayingMgr->NotifyBusMetering(m_key.NodeID(), object.config, static_cast<const IZkBusMeter*>(meter),
                                             m_key.GameObjectID());
    }
}

void CZkMixBus::EndFrame()
{
    bool removed = false;
    for (uint32_t i = m_objects.Count(); i-- > 0;)
    {
        if (m_objects[i].buffer.status == ZK_NoMoreData)
        {
            m_objects.RemoveAt(i);
            removed = true;
        }
    }
    for (ZkBusEffectSlot& slot : m_slots)
        for (uint32_t i = slot.output.Count(); i-- > 0;)
            if (slot.output[i].buffer.status == ZK_NoMoreData)
            {
                slot.output.RemoveAt(i);
                removed = true;
            }
    // Effect instances follow their objects: the chain is built again for what is left.
    if (removed)
        for (const ZkBusEffectSlot& slot : m_slots)
            if (slot.HasEffect())
                m_busFlags = static_cast<uint8_t>(m_busFlags & ~kFlagEffectsSetUp);

    auto restart = [](ZkBusObjectList& list) {
        for (ZkBusObject& object : list)
        {
            for (uint32_t c = 0; c < object.buffer.NumChannels(); ++c)
                std::memset(object.buffer.GetChannel(c), 0, sizeof(float) * object.buffer.maxFrames);
            object.buffer.status = ZK_NoMoreData;
            object.buffer.validFrames = 0;
        }
    };
    restart(m_objects);
    if (m_bypassAll == 0)
        for (uint32_t slot = 0; slot < kEffectSlots; ++slot)
            if (!m_slots[slot].inPlace && m_slots[slot].bypass == 0)
                restart(m_slots[slot].output);
    m_activity = m_objects.IsEmpty() ? kIdle : kActive;
    ClearConnectionBuffers();
}
} // namespace ZK::SoundEngine
