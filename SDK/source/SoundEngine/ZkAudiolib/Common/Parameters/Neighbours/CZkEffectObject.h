// CZkEffectObject (declaration only): an effect plug-in's bank object, found by id in the object
// index (share sets of effects, custom effects, audio-device share sets). Game parameters reach its
// plug-in parameters (subscriber kind 1) through SetRTPC. Output devices read its plug-in id and
// parameters (an audio-device share set names the device's sink), and, for an audio-device share
// set, the effect of each device slot and their bypass bits.
//
// No bank item creates one yet: the object index never holds one, so look-ups find nothing.
//
// Threading: audio thread, under the global engine lock. Ownership: the object index's (references).
#pragma once

#include "ZkAudiolib/Common/ObjectIndex/CZkIndexedObject.h"

#include <ZK/SoundEngine/Common/IZkPlugin.h>
#include <ZK/SoundEngine/Common/ZkResult.h>
#include <ZK/SoundEngine/Common/ZkTypes.h>

#include <cstdint>

namespace ZK::SoundEngine
{
class CZkEffectObject : public CZkIndexedObject
{
public:
    static constexpr uint32_t kNoPlugin = 0xFFFFFFFFu;
    static constexpr uint32_t kDeviceEffectSlots = 4;

    explicit CZkEffectObject(ZkUniqueID id) : CZkIndexedObject(id) {}

    // (parameter bit, game parameter id, combine mode, value, value is a neutral default).
    // Not built yet: 4.
    ZKRESULT SetRTPC(uint32_t, ZkUniqueID, uint32_t, float, bool) { return ZK_NotImplemented; }

    uint32_t pluginID = kNoPlugin;                  // plug-in key of the effect (or the sink)
    ZK::IZkPluginParam* pluginParams = nullptr;     // owned by the object
    // Audio-device share sets: the effect share set of each device slot (0 = none) and the bypass
    // bits of the slots (bit n bypasses slot n, bit 4 all of them).
    uint32_t deviceEffectIDs[kDeviceEffectSlots] = {};
    uint8_t deviceBypassMask = 0;
};
} // namespace ZK::SoundEngine
