// ZkVoiceParams: what the hierarchy gathers for one voice (CZkHierarchyNode::GatherVoiceParams),
// as far as the nodes fill it: the summed properties in 32 accumulation slots (for the property
// ids the voice wants), the gain factors of modified-property records, and the setting groups that
// the first node overriding them resolves (effect bypass, flag byte D, property 33, user and
// game-defined aux sends, output routing, extra aux bus), plus the random offsets of the
// randomised properties 0, 6, 2, 3 and 4.
//
// ZkGatherRequest: what one gathering is for: the game object whose modified-property records and
// game-parameter values count, whether the random offsets are drawn, where the modulator-driven
// levels are listed, whether the output-bus chain is gathered, the node the walk stops below, and
// the MIDI note the play carries (key tracking).
//
// Threading: audio thread (a voice starting or refreshing, queries under the global engine lock).
// Ownership: the playing instance's; the gain array is the record's (memory pool 0), its nodes are
// the hierarchy's.
#pragma once

#include "ZkAudiolib/Common/Containers/ZkArray.h"
#include "ZkAudiolib/Common/Hierarchy/ZkPropertyTable.h"
#include "ZkAudiolib/Common/Modulators/ZkModulatorTargets.h"

#include <ZK/SoundEngine/Common/ZkRTPCKey.h>
#include <ZK/SoundEngine/Common/ZkTypes.h>

#include <cstdint>

namespace ZK::SoundEngine
{
class CZkGameObject;
class CZkHierarchyNode;

constexpr uint32_t kAccumulatorSlots = 32;
constexpr uint32_t kRandomisedProperties = 5;
constexpr uint8_t kRandomisedPropertyIDs[kRandomisedProperties] = {0, 6, 2, 3, 4};
constexpr uint8_t kNoMidiNote = 255;

// A gain factor from a node's modified-property record (global or for the game object), or from
// a layer of a layered container (its crossfade): the owner is the node or the layer.
struct ZkGainEntry
{
    const void* node;
    uint8_t isGlobal;
    float gain;
};

struct ZkVoiceParams
{
    // The groups already resolved by a level below.
    static constexpr uint8_t kEffectBypass = 0x01;
    static constexpr uint8_t kFlagD = 0x02;
    static constexpr uint8_t kUserAux = 0x04;
    static constexpr uint8_t kGameAux = 0x08;
    static constexpr uint8_t kRouting = 0x10;
    static constexpr uint8_t kExtraAux = 0x20;
    static constexpr uint8_t kProperty33 = 0x40;
    static constexpr uint32_t kUserAuxSends = 4;

    void Want(uint32_t id) { wanted[id / 32] |= 1u << (id % 32); }
    bool Wants(uint32_t id) const { return id < 96 && (wanted[id / 32] >> (id % 32) & 1u) != 0; }
    // The accumulated value of a property (0 for a property that is not accumulated).
    float Sum(uint32_t id) const
    {
        const uint8_t slot = PropertyInfo(id).accumulationSlot;
        return slot < kAccumulatorSlots ? accumulator[slot] : 0.0f;
    }
    // Adds value to the property's slot when the voice wants it and it is accumulated.
    void Add(uint32_t id, float value)
    {
        const uint8_t slot = PropertyInfo(id).accumulationSlot;
        if (slot < kAccumulatorSlots && Wants(id))
            accumulator[slot] += value;
    }
    // Sets the gain entry of (node, global), appending it when absent (dropped out of memory).
    void SetGain(const void* node, bool isGlobal, float gain)
    {
        for (ZkGainEntry& entry : gains)
        {
            if (entry.node == node && (entry.isGlobal != 0) == isGlobal)
            {
                entry.gain = gain;
                return;
            }
        }
        gains.AddLast(ZkGainEntry{node, static_cast<uint8_t>(isGlobal ? 1 : 0), gain});
    }
    // The product of every gain entry.
    float GainProduct() const
    {
        float product = 1.0f;
        for (const ZkGainEntry& entry : gains)
            product *= entry.gain;
        return product;
    }

    float accumulator[kAccumulatorSlots] = {};
    uint32_t wanted[3] = {};
    ZK::ZkArray<ZkGainEntry> gains;
    uint8_t resolved = 0;
    // Property 33 is gathered only when asked.
    bool wantsProperty33 = false;

    // Resolved values.
    bool bypassAll = false;
    bool flagD = false;
    float property33 = 12.0f;
    bool property33Flag = false;
    ZkUniqueID userAuxBuses[kUserAuxSends] = {};
    float userAuxLevels[kUserAuxSends] = {};
    uint8_t userAuxMask = 0; // bit n: send n named by the resolving level
    bool useGameAux = false;
    float gameAuxLevels[kUserAuxSends] = {};
    const CZkHierarchyNode* outputBus = nullptr;
    ZkUniqueID extraAuxBus = 0;
    // Added to properties 0, 6, 2, 3, 4 (in that order).
    float randomOffsets[kRandomisedProperties] = {};
};

struct ZkGatherRequest
{
    CZkGameObject* gameObject = nullptr;
    // The play's own key (game object, playing id, MIDI parts, instance), under which the values
    // are looked up: values of wider scopes apply where it has none, and the instances of
    // modulators scoped to the play are found. Null: the game object's key.
    const ZkRTPCKey* playKey = nullptr;
    bool drawRandomOffsets = false;
    // Levels whose parameters are modulator-driven register their modulator keys here (null: not
    // asked).
    ZkModulatorKeyList* modulatorKeys = nullptr;
    bool includeBusChain = true;
    // The walk stops below this node (it is not gathered); null: up to the root.
    const CZkHierarchyNode* stopAt = nullptr;
    uint8_t midiNote = kNoMidiNote;
};
} // namespace ZK::SoundEngine
