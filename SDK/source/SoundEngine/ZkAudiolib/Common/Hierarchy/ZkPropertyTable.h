// The engine's property table: the 88 property ids (0 to 87) that nodes, actions and dialogue events
// keep in their packed property lists. Each id has a default (read when the id is absent from every
// list consulted), whether its value is a 32-bit integer or a float, the game parameter that drives
// it at run time (ids 0 to 73; kNoParameter when none) and its slot in the 32-float accumulator of
// the voice-parameter gathering (kNotAccumulated when the property is not summed).
//
// Threading and ownership: constant data.
#pragma once

#include <cstdint>
#include <cstring>

namespace ZK::SoundEngine
{
constexpr uint32_t kPropertyCount = 88;
constexpr uint8_t kNoParameter = 60;
constexpr uint8_t kNotAccumulated = 0xFF;

// Property ids the engine itself reads.
enum ZkPropertyID : uint8_t
{
    ZkProp_Priority = 7,
    ZkProp_PriorityDistanceOffset = 8,
    ZkProp_Gain = 11,
    ZkProp_PositioningValue1 = 12,
    ZkProp_PositioningValue2 = 13,
    ZkProp_PositioningCentre = 14,
    ZkProp_ActionDelay = 15,      // actions: samples once loaded (milliseconds in the bank)
    ZkProp_ActionFadeTime = 16,   // actions: milliseconds
    ZkProp_PlayProbability = 17,  // play actions: percent
    ZkProp_MidiRootNote = 45,
    ZkProp_MidiPlayMode = 46,
    ZkProp_MidiTranspose = 47,
    ZkProp_MidiVelocityOffset = 48,
    ZkProp_MidiKeyMin = 49,
    ZkProp_MidiKeyMax = 50,
    ZkProp_MidiVelocityMin = 51,
    ZkProp_MidiVelocityMax = 52,
    ZkProp_MidiChannelMask = 53,
    ZkProp_CustomEffect = 57,
    ZkProp_LoopCount = 58,
    ZkProp_InitialDelay = 59,
    ZkProp_Attenuation = 70,
    ZkProp_PositioningSpread = 71,
    ZkProp_PositioningValue3 = 73,
    ZkProp_FirstIdValued = 74, // 74 + index, index 0 to 11
};

// A property value as it is stored: four bytes, an integer or a float by the table.
struct ZkPropertyValue
{
    uint32_t bits = 0;

    static ZkPropertyValue FromFloat(float value)
    {
        ZkPropertyValue stored;
        std::memcpy(&stored.bits, &value, sizeof(value));
        return stored;
    }
    static ZkPropertyValue FromInt(int32_t value) { return ZkPropertyValue{static_cast<uint32_t>(value)}; }
    float AsFloat() const
    {
        float value;
        std::memcpy(&value, &bits, sizeof(value));
        return value;
    }
    int32_t AsInt() const { return static_cast<int32_t>(bits); }
    bool operator==(const ZkPropertyValue&) const = default;
};

struct ZkPropertyInfo
{
    ZkPropertyValue defaultValue;
    bool isInteger;
    uint8_t parameter;        // kNoParameter: no game parameter drives it
    uint8_t accumulationSlot; // kNotAccumulated: not summed by the gathering
};

// The table's entry of id; an id beyond the table reads as a float 0 driven by nothing.
const ZkPropertyInfo& PropertyInfo(uint32_t id);

// The id of id-valued property index (the game's custom properties): 74 + index, wrapping at 256
// as the one-byte ids of property lists do.
constexpr uint8_t IdValuedPropertyID(uint32_t index)
{
    return static_cast<uint8_t>(ZkProp_FirstIdValued + index);
}
inline ZkPropertyValue PropertyDefault(uint32_t id) { return PropertyInfo(id).defaultValue; }
inline uint8_t PropertyParameter(uint32_t id) { return PropertyInfo(id).parameter; }
// The property that game parameter parameter drives (ids 0 to 73), or kNoProperty.
constexpr uint32_t kNoProperty = 0xFF;
uint32_t ParameterProperty(uint32_t parameter);
} // namespace ZK::SoundEngine
