#include "ZkAudiolib/Common/Output/ZkDeviceEffects.h"

#include "ZkAudiolib/Common/ObjectIndex/ObjectIndex.h"
#include "ZkAudiolib/Common/Effects/CZkEffectObject.h"
#include "ZkAudiolib/Common/Plugins/PluginRegistry.h"

#include <Plugins/Effects/Common/ZkPluginMemAlloc.h>

namespace ZK::SoundEngine
{
namespace
{
uint8_t SlotBits(uint32_t slot)
{
    return static_cast<uint8_t>((1u << slot) | ZkDeviceEffects::kBypassAllBit);
}

CZkEffectObject* FindEffect(uint32_t effectShareSetID)
{
    if (g_pObjectIndex == nullptr)
        return nullptr;
    return static_cast<CZkEffectObject*>(g_pObjectIndex->GetPtrAndAddRef(ZkIndexKind::SharedEffects, effectShareSetID));
}
} // namespace

void ZkDeviceEffects::SetRequestedID(uint32_t slot, uint32_t effectShareSetID)
{
    if (slot < kSlots)
        m_requested[slot] = effectShareSetID;
}

ZKRESULT ZkDeviceEffects::Rebuild(uint32_t slot, const CZkEffectObject* shareSetObject, ZK::ZkEffectFormat format,
                                  ZK::IZkEffectPluginContext* context)
{
    if (slot >= kSlots)
        return ZK_InvalidParameter;
    TermSlot(slot);
    uint32_t effectID = m_requested[slot];
    if (effectID == 0 && shareSetObject != nullptr)
        effectID = shareSetObject->DeviceEffectID(slot);
    if (effectID == 0)
        return ZK_Success;
    for (uint32_t other = 0; other < kSlots; ++other)
    {
        if (other != slot && m_slots[other].plugin != nullptr && m_slots[other].effectID == effectID)
            return ZK_EffectInOtherSlot;
    }
    CZkEffectObject* effect = FindEffect(effectID);
    if (effect == nullptr)
        return ZK_PluginNotRegistered;

    CZkPluginMemAlloc& allocator = CZkPluginMemAlloc::ForInstances();
    ZK::IZkPlugin* instance = nullptr;
    ZK::ZkPluginInfo info;
    const ZKRESULT created = PluginRegistry::CreatePlugin(effect->pluginID, instance, &allocator, info);
    if (created != ZK_Success || instance == nullptr)
    {
        effect->Release();
        return created == ZK_PluginNotRegistered ? created : ZK_InsufficientMemory;
    }
    ZKRESULT result = PluginRegistry::CheckPluginInfo(ZK::ZkPluginTypeEffect, info);
    auto* plugin = dynamic_cast<ZK::IZkInPlaceEffectPlugin*>(instance);
    if (result == ZK_NothingToReport && (plugin == nullptr || info.processesInPlace == 0))
        result = ZK_NotImplemented;
    if (result == ZK_NothingToReport && !effect->CreatePluginInstance(m_parameters[slot], ZkRTPCKey::Global()))
        result = ZK_InsufficientMemory;
    if (result == ZK_NothingToReport)
        result = m_parameters[slot].InitPlugin(*plugin, &allocator, context, format) == ZK_Success ? ZK_Success : ZK_Fail;
    if (result != ZK_Success)
    {
        instance->Term(&allocator);
        m_parameters[slot].Term();
        effect->Release();
        return result;
    }
    m_slots[slot] = Slot{plugin, effect, effectID};
    // A new effect that starts out bypassed is not reset for that bypass.
    previousBypass = static_cast<uint8_t>((bypass | previousBypass) & (1u << slot));
    return ZK_Success;
}

void ZkDeviceEffects::TermSlot(uint32_t slot)
{
    Slot& entry = m_slots[slot];
    if (entry.plugin != nullptr)
        entry.plugin->Term(&CZkPluginMemAlloc::ForInstances());
    m_parameters[slot].Term();
    if (entry.effect != nullptr)
        entry.effect->Release();
    entry = Slot{};
}

void ZkDeviceEffects::TermAll()
{
    for (uint32_t slot = 0; slot < kSlots; ++slot)
        TermSlot(slot);
}

void ZkDeviceEffects::Process(ZkAudioBuffer* buffer)
{
    for (uint32_t slot = 0; slot < kSlots; ++slot)
    {
        ZK::IZkInPlaceEffectPlugin* plugin = m_slots[slot].plugin;
        if (plugin == nullptr)
            continue;
        const uint8_t bits = SlotBits(slot);
        if ((bypass & bits) == 0)
            plugin->Execute(buffer);
        else if ((previousBypass & bits) == 0)
            plugin->Reset();
    }
    previousBypass = bypass;
}
} // namespace ZK::SoundEngine
