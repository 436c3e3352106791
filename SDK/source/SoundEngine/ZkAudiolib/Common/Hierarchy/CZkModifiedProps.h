// CZkModifiedProps: a node's runtime changes of its properties made by actions and the game, for one
// game object (or for every game object: the node's global record). Each entry keeps the property's
// modified value and the transition that moves it, if one runs. Gain (property 11) is a factor (1.0
// = unchanged, multiplied in); other properties are offsets added by the gathering.
//
// The record receives its running transitions' values (the transition's kind is the property id)
// and tells its node, which hands the value to its live instances.
//
// Threading: audio thread, under the global engine lock.
// Ownership: its node's (memory pool 4); it owns its entry array (pool 0) and is the user of its
// running transitions, which it leaves when destroyed.
#pragma once

#include "ZkAudiolib/Common/Containers/ZkArray.h"
#include "ZkAudiolib/Common/Parameters/ZkTransitionUser.h"

#include <ZK/SoundEngine/Common/ZkMemoryMgr.h>

#include <cstdint>

namespace ZK::SoundEngine
{
class CZkGameObject;
class CZkHierarchyNode;
class CZkTransition;

class CZkModifiedProps final : public ZkTransitionUser
{
public:
    static constexpr ZkMemoryId kPool = ZkMemID_GameObjects;

    struct Entry
    {
        uint8_t propertyID;
        float value;
        CZkTransition* transition; // null when none runs
    };

    CZkModifiedProps(CZkHierarchyNode& node, CZkGameObject* gameObject, uint8_t bypassBits)
        : m_node(node), m_gameObject(gameObject), m_bypassBits(bypassBits)
    {
    }
    ~CZkModifiedProps();
    CZkModifiedProps(const CZkModifiedProps&) = delete;
    CZkModifiedProps& operator=(const CZkModifiedProps&) = delete;

    Entry* Find(uint8_t propertyID);
    // The entry of the property, added (value = the property's neutral value) when absent; null when
    // the array cannot grow.
    Entry* FindOrAdd(uint8_t propertyID);
    // The property's modified value, or its neutral value (1 for gain, 0 otherwise) when absent.
    float Value(uint8_t propertyID);

    void TransUpdateValue(uint32_t kind, float value, bool done) override;

    CZkGameObject* GameObject() const { return m_gameObject; }
    uint8_t BypassBits() const { return m_bypassBits; }
    void SetBypassBits(uint8_t bits) { m_bypassBits = bits; }
    const ZK::ZkArray<Entry>& Entries() const { return m_entries; }

    static float NeutralValue(uint8_t propertyID);

private:
    CZkHierarchyNode& m_node;
    CZkGameObject* m_gameObject;
    ZK::ZkArray<Entry> m_entries;
    uint8_t m_bypassBits;
};
} // namespace ZK::SoundEngine
