// CZkMixBus: the four effect slots. Each slot holds one effect instance per object of the list that
// feeds it (the bus's own objects, or the output of the last active slot before it); an effect
// that works out of place writes into the slot's own objects, which then feed the later slots.
// Bypass changes and rebuilds wait for the bus's pending-change step.
#include "ZkAudiolib/Common/MixGraph/CZkMixBus.h"

#include "ZkAudiolib/Common/MixGraph/ZkBusPluginLock.h"

#include "ZkAudiolib/Common/Containers/ZkNew.h"
#include "ZkAudiolib/Common/Hierarchy/CZkBus.h"
#include "ZkAudiolib/Common/Effects/CZkEffectContext.h"
#include "ZkAudiolib/Common/Effects/CZkEffectObject.h"
#include "ZkAudiolib/Common/Plugins/CZkBusPluginContext.h"
#include "ZkAudiolib/Common/Plugins/PluginRegistry.h"
#include "ZkAudiolib/Common/Voice/ZkAudioSettings.h"

#include <Plugins/Effects/Common/ZkPluginMemAlloc.h>
#include <ZK/SoundEngine/Common/IZkEffectPlugin.h>

#include <cstring>

namespace ZK::SoundEngine
{
struct ZkBusEffectInstance
{
    ZK::IZkEffectPlugin* plugin = nullptr;
    CZkBusPluginContext context;
    CZkIndexedObject* effect = nullptr; // a reference of the object index
    CZkEffectContext parameters;        // the plug-in's parameters, kept current by the effect object

    ~ZkBusEffectInstance()
    {
        if (plugin != nullptr)
            plugin->Term(&CZkPluginMemAlloc::ForInstances());
        context.ReleaseAllMedia();
        parameters.Term();
        if (effect != nullptr)
            effect->Release();
    }
};

namespace
{
constexpr ZkMemoryId kInstancePool = ZkMemID_Processing;
// The slot id of a node whose effects owner has no effect chain.
constexpr ZkUniqueID kNoEffectSlots = 0xFFFFFFFFu;

// Applies the object's pending volume ramp to its block and leaves the ramp at unity.
void ApplyRamp(ZkBusObject& object)
{
    ZkRamp& ramp = object.record->volume;
    if (ramp.previous == 1.0f && ramp.next == 1.0f)
        return;
    const uint32_t frames = object.buffer.maxFrames;
    const float step = frames != 0 ? (ramp.next - ramp.previous) / static_cast<float>(frames) : 0.0f;
    for (uint32_t c = 0; c < object.buffer.NumChannels(); ++c)
    {
        float* samples = object.buffer.GetChannel(c);
        for (uint32_t i = 0; i < frames; ++i)
            samples[i] *= ramp.previous + step * static_cast<float>(i);
    }
    ramp = ZkRamp(1.0f, 1.0f);
}
} // namespace

bool CZkMixBus::IsSlotActive(uint32_t slot) const
{
    const ZkBusEffectSlot& s = m_slots[slot];
    return s.HasEffect() && s.inPlace == 0 && s.bypass == 0 && m_bypassAll == 0;
}

bool CZkMixBus::NamesAnEffect() const
{
    const CZkHierarchyNode* node = m_key.Node();
    for (uint32_t slot = 0; node != nullptr && slot < kEffectSlots; ++slot)
    {
        const ZkUniqueID id = node->ResolvedEffectSlotID(slot);
        if (id != 0 && id != kNoEffectSlots)
            return true;
    }
    return false;
}

ZkBusObjectList* CZkMixBus::InputListOf(uint32_t slot)
{
    for (uint32_t before = slot; before-- > 0;)
        if (IsSlotActive(before))
            return &m_slots[before].output;
    return &m_objects;
}

void CZkMixBus::ClearSlot(uint32_t slot)
{
    ZkBusEffectSlot& s = m_slots[slot];
    for (ZkBusEffectInstance*& instance : s.instances)
        ZK::ZkDelete(kInstancePool, instance);
    s.instances.RemoveAll();
    s.output.Clear();
    s.inPlace = 1;
    s.acceptsRamps = 0;
}

ZKRESULT CZkMixBus::BuildInstance(uint32_t slot, ZkBusObject& object, bool allowOutOfPlace)
{
    CZkHierarchyNode* node = m_key.Node();
    CZkIndexedObject* found = node != nullptr ? node->ResolvedEffectSlotObject(slot) : nullptr;
    if (found == nullptr)
        return ZK_Success; // no effect: the slot stays empty
    auto* effect = static_cast<CZkEffectObject*>(found);
    auto* instance = ZK::ZkNew<ZkBusEffectInstance>(kInstancePool);
    if (instance == nullptr)
    {
        found->Release();
        return ZK_InsufficientMemory;
    }
    instance->effect = found;
    ZK::IZkPlugin* plugin = nullptr;
    ZK::ZkPluginInfo info;
    if (PluginRegistry::CreatePlugin(effect->pluginID, plugin, &CZkPluginMemAlloc::ForInstances(), info) != ZK_Success)
    {
        ZK::ZkDelete(kInstancePool, instance);
        return ZK_Fail;
    }
    auto* asEffect = dynamic_cast<ZK::IZkEffectPlugin*>(plugin);
    const bool inPlace = info.processesInPlace != 0;
    const bool runnable = inPlace ? dynamic_cast<ZK::IZkInPlaceEffectPlugin*>(plugin) != nullptr
                                  : dynamic_cast<ZK::IZkOutOfPlaceEffectPlugin*>(plugin) != nullptr;
    if (PluginRegistry::CheckPluginInfo(ZK::ZkPluginTypeEffect, info) != 0 || asEffect == nullptr || !runnable)
    {
        plugin->Term(&CZkPluginMemAlloc::ForInstances());
        ZK::ZkDelete(kInstancePool, instance);
        return ZK_Fail;
    }
    instance->plugin = asEffect;
    if (!inPlace && !allowOutOfPlace)
    {
        ZK::ZkDelete(kInstancePool, instance);
        return ZK_NotImplemented;
    }
    instance->context.BindBus(this, slot, effect->pluginID, effect);
    if (!effect->CreatePluginInstance(instance->parameters, ZkRTPCKey::Global()))
    {
        ZK::ZkDelete(kInstancePool, instance);
        return ZK_Fail;
    }
    ZK::ZkEffectFormat format;
    format.sampleRate = ZkAudioSettings::SampleRate();
    format.channelConfig = object.config;
    ZKRESULT result =
        asEffect->Init(&CZkPluginMemAlloc::ForInstances(), &instance->context, instance->parameters.Params(), format);
    if (result == ZK_Success && inPlace && !(format.channelConfig == object.config))
        result = ZK_Fail; // an in-place effect keeps the format
    ZkBusEffectSlot& s = m_slots[slot];
    if (result == ZK_Success && !inPlace && s.output.Add(NextAudioObjectID(), format.channelConfig, kMaxObjects) == nullptr)
        result = ZK_InsufficientMemory;
    if (result == ZK_Success && s.instances.AddLast(instance) == nullptr)
    {
        if (!inPlace)
            s.output.RemoveAt(s.output.Count() - 1);
        result = ZK_InsufficientMemory;
    }
    if (result != ZK_Success)
    {
        ZK::ZkDelete(kInstancePool, instance);
        return result != ZK_InsufficientMemory ? ZK_Fail : result;
    }
    s.inPlace = inPlace ? 1 : 0;
    s.acceptsRamps = 0;
    return asEffect->Reset();
}

void CZkMixBus::RebuildChainFrom(uint32_t first)
{
    for (uint32_t slot = first; slot < kEffectSlots; ++slot)
        ClearSlot(slot);
    // The effects are set up before the frame's inputs are mixed: a bus whose node names an effect
    // makes its main object now, so that the slot has an object to build its instance for.
    if (m_objects.IsEmpty() && NamesAnEffect())
        EnsureFirstObject();
    for (uint32_t slot = first; slot < kEffectSlots; ++slot)
    {
        ZkBusObjectList* input = InputListOf(slot);
        for (ZkBusObject& object : *input)
        {
            if (BuildInstance(slot, object, true) != ZK_Success)
            {
                // A slot whose instance cannot be built is left empty: the audio passes through.
                ClearSlot(slot);
                break;
            }
        }
    }
}

void CZkMixBus::SetBypass(uint32_t bits, uint32_t which)
{
    for (uint32_t slot = 0; slot < kEffectSlots; ++slot)
    {
        const uint32_t bit = 1u << slot;
        if ((which & bit) == 0)
            continue;
        const uint8_t value = (bits & bit) != 0 ? 1 : 0;
        if (value != m_slots[slot].bypass)
        {
            m_slots[slot].bypass = value;
            m_busFlags |= kFlagEffectChangePending;
        }
    }
    if ((which & kBypassAll) != 0)
    {
        const uint16_t value = (bits & kBypassAll) != 0 ? 1 : 0;
        if (value != m_bypassAll)
        {
            m_bypassAll = value;
            m_busFlags |= kFlagEffectChangePending;
        }
    }
}

ZK::Platform::ZkCriticalSection& BusPluginLock()
{
    static ZK::Platform::ZkCriticalSection lock;
    return lock;
}

void CZkMixBus::ApplyPendingEffectChanges(uint32_t slotMask)
{
    const ZkBusPluginGuard guard;
    if (m_key.Node() != nullptr && (m_busFlags & kFlagEffectsSetUp) == 0)
        ReadBypassAll();
    uint32_t first = kEffectSlots;
    for (uint32_t slot = 0; slot < kEffectSlots; ++slot)
        if ((slotMask & (1u << slot)) != 0)
        {
            first = slot;
            break;
        }
    // An out-of-place slot that started or stopped passing its own objects re-links the slots
    // after it.
    for (uint32_t slot = 0; slot < first; ++slot)
    {
        const ZkBusEffectSlot& s = m_slots[slot];
        const bool was = s.HasEffect() && s.inPlace == 0 && s.previousBypass == 0 && m_previousBypassAll == 0;
        if (was != IsSlotActive(slot))
        {
            first = slot + 1;
            break;
        }
    }
    if (first < kEffectSlots)
        RebuildChainFrom(first);
    m_previousBypassAll = m_bypassAll;
    m_busFlags = static_cast<uint8_t>((m_busFlags | kFlagEffectsSetUp) & ~kFlagEffectChangePending);
    RefreshObjectMetering();
}

void CZkMixBus::RebuildEffects()
{
    for (uint32_t slot = 0; slot < kEffectSlots; ++slot)
        ClearSlot(slot);
    m_busFlags = static_cast<uint8_t>(m_busFlags & ~(kFlagEffectsSetUp | kFlagEffectChangePending));
}

void CZkMixBus::RunSlot(uint32_t slot, ZkBusObjectList*& current)
{
    ZkBusEffectSlot& s = m_slots[slot];
    if (!s.HasEffect())
        return;
    const uint8_t bypassed = (s.bypass != 0 || m_bypassAll != 0) ? 1 : 0;
    if (bypassed != 0)
    {
        // Reset once, in the first bypassed frame; the objects pass unchanged.
        if (s.previousBypass == 0)
            for (ZkBusEffectInstance* instance : s.instances)
                instance->plugin->Reset();
        s.previousBypass = 1;
        return;
    }
    s.previousBypass = 0;
    const uint32_t count = std::min(current->Count(), s.instances.Length());
    for (uint32_t i = 0; i < count; ++i)
    {
        ZkBusObject& object = (*current)[i];
        if (s.acceptsRamps == 0)
            ApplyRamp(object);
        if (s.inPlace != 0)
        {
            static_cast<ZK::IZkInPlaceEffectPlugin*>(s.instances[i]->plugin)->Execute(&object.buffer);
            continue;
        }
        ZkBusObject& out = s.output[i];
        out.buffer.validFrames = 0;
        static_cast<ZK::IZkOutOfPlaceEffectPlugin*>(s.instances[i]->plugin)->Execute(&object.buffer, 0, &out.buffer);
        for (uint32_t c = 0; c < out.buffer.NumChannels(); ++c)
            std::memset(out.buffer.GetChannel(c) + out.buffer.validFrames, 0,
                        sizeof(float) * (out.buffer.maxFrames - out.buffer.validFrames));
        out.buffer.validFrames = out.buffer.maxFrames;
        out.buffer.status = object.buffer.status;
        out.record->positioning = object.record->positioning;
    }
    if (s.inPlace == 0)
        current = &s.output;
}

bool CZkMixBus::UsesEffectObject(const CZkIndexedObject* effect) const
{
    for (const ZkBusEffectSlot& slot : m_slots)
        for (const ZkBusEffectInstance* instance : slot.instances)
            if (instance->effect == effect)
                return true;
    return MixerUsesEffect(effect);
}
} // namespace ZK::SoundEngine
