// CZkEffectObject (declaration only): an effect plug-in's bank object, found by id in the object
// index (share sets of effects, custom effects, audio-device share sets). Game parameters reach its
// plug-in parameters (subscriber kind 1) through SetRTPC. Output devices read its plug-in id and
// parameters (an audio-device share set names the device's sink), and, for an audio-device share
// set, the effect of each device slot and their bypass bits.
//
// No bank item creates one yet: the object index never holds one, so look-ups find nothing, and it
// creates no instance parameters, so no voice effect slot is ever filled.
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
class CZkEffectContext;
class CZkGameObject;

class CZkEffectObject : public CZkIndexedObject
{
public:
    static constexpr uint32_t kNoPlugin = 0xFFFFFFFFu;
    static constexpr uint32_t kDeviceEffectSlots = 4;
    static constexpr ZkUniqueID kNoMedia = 0xFFFFFFFFu;

    explicit CZkEffectObject(ZkUniqueID id) : CZkIndexedObject(id) {}

    // (parameter bit, game parameter id, combine mode, value, value is a neutral default).
    // Not built yet: 4.
    ZKRESULT SetRTPC(uint32_t, ZkUniqueID, uint32_t, float, bool) { return ZK_NotImplemented; }
    // Creates the parameters of the instance's plug-in in effect slot slotIndex for the game object
    // and subscribes context to them. Not built yet: false, nothing created.
    virtual bool CreateInstancePlugin(CZkEffectContext&, uint32_t, CZkGameObject*) { return false; }
    // The media id of the effect's media index (-1 when the index has no media). Not built yet: -1.
    virtual ZkUniqueID GetMediaID(uint32_t) const { return kNoMedia; }

    uint32_t pluginID = kNoPlugin;                  // plug-in key of the effect (or the sink)
    ZK::IZkPluginParam* pluginParams = nullptr;     // owned by the object
    // Audio-device share sets: the effect share set of each device slot (0 = none) and the bypass
    // bits of the slots (bit n bypasses slot n, bit 4 all of them).
    uint32_t deviceEffectIDs[kDeviceEffectSlots] = {};
    uint8_t deviceBypassMask = 0;
};
} // namespace ZK::SoundEngine
