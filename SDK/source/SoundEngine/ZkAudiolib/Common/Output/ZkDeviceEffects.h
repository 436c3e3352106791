// The four effect slots of an output device: in-place effect plug-ins that process the device's
// final mix before capture and the sink. A slot's effect is the effect share set asked for that slot
// (SetRequestedID), or else the one the device's audio-device share set names for it. Bit n of the
// bypass mask bypasses slot n, bit 4 bypasses every slot; an effect is reset once when a bypass
// period begins.
//
// Threading: engine thread, under the global engine lock. Ownership: the slots own their plug-in
// instances (pool-6 plug-in allocator) and hold a reference on their effect objects.
#pragma once

#include "ZkAudiolib/Common/Effects/CZkEffectContext.h"

#include <ZK/SoundEngine/Common/IZkEffectPlugin.h>
#include <ZK/SoundEngine/Common/ZkAudioBuffer.h>
#include <ZK/SoundEngine/Common/ZkResult.h>

#include <cstdint>

namespace ZK::SoundEngine
{
class CZkEffectObject;

class ZkDeviceEffects
{
public:
    static constexpr uint32_t kSlots = 4;
    static constexpr uint8_t kBypassAllBit = 0x10;

    ZkDeviceEffects() = default;
    ~ZkDeviceEffects() { TermAll(); }
    ZkDeviceEffects(const ZkDeviceEffects&) = delete;
    ZkDeviceEffects& operator=(const ZkDeviceEffects&) = delete;

    void SetRequestedID(uint32_t slot, uint32_t effectShareSetID);
    uint32_t RequestedID(uint32_t slot) const { return m_requested[slot]; }
    uint32_t InstalledID(uint32_t slot) const { return m_slots[slot].effectID; }
    bool HasEffect(uint32_t slot) const { return m_slots[slot].plugin != nullptr; }

    // Terminates the slot's effect and makes the one the slot names now (shareSetObject may be
    // null). 1 (also for a slot that names none); 88 no such effect; 9 the effect already runs in
    // another slot; the registry's failure; 52 no instance; 46 or 10 a plug-in that is no effect of
    // this engine; 4 an effect that does not work in place; 2 its Init failed.
    ZKRESULT Rebuild(uint32_t slot, const CZkEffectObject* shareSetObject, ZK::ZkEffectFormat format,
                     ZK::IZkEffectPluginContext* context);
    void TermSlot(uint32_t slot);
    void TermAll();

    // Runs the effects that are not bypassed on the buffer in place, resets those whose bypass begins
    // this frame, then remembers the bypass mask for the next frame.
    void Process(ZkAudioBuffer* buffer);

    uint8_t bypass = 0;
    uint8_t previousBypass = 0;

private:
    struct Slot
    {
        ZK::IZkInPlaceEffectPlugin* plugin = nullptr;
        CZkEffectObject* effect = nullptr;
        uint32_t effectID = 0;
    };

    Slot m_slots[kSlots];
    // The parameters each slot's plug-in runs with, kept current by its effect object.
    CZkEffectContext m_parameters[kSlots];
    uint32_t m_requested[kSlots] = {};
};
} // namespace ZK::SoundEngine
