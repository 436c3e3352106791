// The records of state-driven properties: which properties of a node or effect object follow its
// state groups (with their kind and flags), what an owner keeps for its links, and the input records
// of SetStateProperties and SetStateGroups.
//
// Threading and ownership: plain values; ZkStateStorage belongs to its owner.
#pragma once

#include "ZkAudiolib/Common/Containers/ZkArray.h"

#include <ZK/SoundEngine/Common/ZkTypes.h>

#include <cstdint>

namespace ZK::SoundEngine
{
class CZkStateGroupLink;

// Kinds with their own rules (others are plain additive values with neutral 0.0).
constexpr uint8_t kStatePropertyKindFactor = 3;      // neutral value 1.0
constexpr uint8_t kStatePropertyKindImmediate = 4;   // never transitions
// A new entry made by resizing a property list.
constexpr uint16_t kStatePropertyUnusedID = 0xFFFF;
constexpr uint8_t kStatePropertyDefaultKind = 2;
// Flags bit 0: the value is in decibels (transitions interpolate it as a linear gain).
constexpr uint8_t kStatePropertyFlagDecibels = 0x1;

struct ZkStateProperty
{
    uint16_t propertyID;
    uint8_t kind;
    uint8_t flags;
};

inline float NeutralStateValue(uint8_t kind) { return kind == kStatePropertyKindFactor ? 1.0f : 0.0f; }

// The transition key of a state-driven property: id in bits 0-15, kind in bits 16-23, the decibel
// flag in bit 24.
inline uint32_t StateTransitionKey(const ZkStateProperty& property)
{
    const uint32_t decibels = (property.flags & kStatePropertyFlagDecibels) != 0 ? 1u : 0u;
    return uint32_t{property.propertyID} | uint32_t{property.kind} << 16 | decibels << 24;
}

// What every owner keeps on demand (nodes and effect objects add fields of their own).
struct ZkStateStorage
{
    CZkStateGroupLink* links = nullptr; // newest first, chained through the links' owner link
    ZK::ZkArray<ZkStateProperty> properties;
};

// Input of SetStateProperties: {property id, kind (low byte used), decibel flag}.
struct ZkStatePropertyInput
{
    uint16_t propertyID;
    uint32_t kind;
    uint8_t decibels;
};

// Input of SetStateGroups: one record per group; the states of all groups follow each other in one
// array of ZkStateInput.
struct ZkStateGroupInput
{
    ZkUniqueID groupID;
    uint32_t stateCount;
    uint8_t syncType;
};
struct ZkStateInput
{
    ZkUniqueID stateObjectID;
    ZkUniqueID stateID;
};
} // namespace ZK::SoundEngine
