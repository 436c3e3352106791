// The records an effect object keeps for its plug-in's parameters: the game-parameter subscriptions
// that drive them (each with its curve), their initial values with the kind that combines what
// drives them, and the parameter contributions each running context keeps.
//
// Driven kinds (the combine mode of a subscription, the kind of a state property):
//   1 the plug-in takes the raw value at once; 2 (and every other) contributions add from 0.0;
//   3 contributions multiply from 1.0; 4 contributions add, leaving the initial value out as soon
//   as another contribution exists.
//
// Threading and ownership: plain records; the curves belong to the effect object.
#pragma once

#include "ZkAudiolib/Common/Parameters/CZkCurve.h"

#include <ZK/SoundEngine/Common/ZkTypes.h>

#include <cstdint>

namespace ZK::SoundEngine
{
constexpr uint8_t kEffectKindNotDriven = 0;
constexpr uint8_t kEffectKindRaw = 1;
constexpr uint8_t kEffectKindAdd = 2;
constexpr uint8_t kEffectKindMultiply = 3;
constexpr uint8_t kEffectKindExclusive = 4;

// Key ids of a contribution: what gave it.
constexpr uint32_t kContributionInitial = 0;    // second key 0
constexpr uint32_t kContributionGameParam = 1;  // second key: the game parameter id
constexpr uint32_t kContributionStateGroup = 2; // second key: the state group id

// A subscription's parameter type that names a modulator instead of a game parameter.
constexpr uint8_t kEffectParamTypeModulator = 2;

struct ZkEffectSubscription
{
    ZkUniqueID gameParamID;
    uint8_t paramType;
    uint8_t kind;        // the driven kind (combine mode)
    uint16_t target;     // the plug-in parameter id
    uint32_t curveID;
    CZkCurve curve;      // the bank points between two sentinels, with the scaling
};

struct ZkEffectInitialValue
{
    uint16_t paramID;
    uint8_t drivenKind; // kEffectKindNotDriven when nothing drives it
    float value;
};

struct ZkEffectContribution
{
    uint32_t keyID;
    uint32_t secondKey;
    uint16_t paramID;
    float value;
};

// The neutral start of a total of kind k.
inline float EffectKindNeutral(uint8_t kind) { return kind == kEffectKindMultiply ? 1.0f : 0.0f; }
inline float EffectKindCombine(uint8_t kind, float total, float value)
{
    return kind == kEffectKindMultiply ? total * value : total + value;
}
} // namespace ZK::SoundEngine
