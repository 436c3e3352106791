// ZkSwitchValues: the values of one switch group: a global value and one value per game object. A
// look-up for a game object falls back to the global value (the two levels of a scoped value tree;
// switch values are 32-bit ids, so they are kept as such rather than in a float tree).
//
// Threading: none of its own; the switch manager's callers hold the global engine lock.
// Ownership: owns its per-object array (memory pool 0); the objects are only named.
#pragma once

#include "ZkAudiolib/Common/Containers/ZkArray.h"

#include <ZK/SoundEngine/Common/ZkTypes.h>

#include <algorithm>
#include <functional>
#include <cstdint>

namespace ZK::SoundEngine
{
class CZkRegisteredObj;

class ZkSwitchValues
{
public:
    // Stores value for the object (null: the global value). False when the object's value cannot be
    // stored (nothing changes).
    bool Set(const CZkRegisteredObj* object, ZkUniqueID value)
    {
        if (object == nullptr)
        {
            m_global = value;
            m_hasGlobal = true;
            return true;
        }
        const uint32_t index = LowerBound(object);
        if (index < m_objects.Length() && m_objects[index].object == object)
        {
            m_objects[index].value = value;
            return true;
        }
        return m_objects.Insert(index, ObjectValue{object, value}) != nullptr;
    }
    // The object's value, else the global value; false when neither is set.
    bool FindBestMatch(const CZkRegisteredObj* object, ZkUniqueID& value) const
    {
        if (object != nullptr)
        {
            const uint32_t index = LowerBound(object);
            if (index < m_objects.Length() && m_objects[index].object == object)
            {
                value = m_objects[index].value;
                return true;
            }
        }
        value = m_hasGlobal ? m_global : 0;
        return m_hasGlobal;
    }
    // Drops the object's value.
    void Remove(const CZkRegisteredObj* object)
    {
        const uint32_t index = LowerBound(object);
        if (index < m_objects.Length() && m_objects[index].object == object)
            m_objects.Erase(index);
    }
    uint32_t ObjectCount() const { return m_objects.Length(); }
    void Term()
    {
        m_objects.Term();
        m_hasGlobal = false;
        m_global = 0;
    }

private:
    struct ObjectValue
    {
        const CZkRegisteredObj* object;
        ZkUniqueID value;
    };
    uint32_t LowerBound(const CZkRegisteredObj* object) const
    {
        const auto at = std::lower_bound(m_objects.begin(), m_objects.end(), object,
                                         [](const ObjectValue& entry, const CZkRegisteredObj* key) {
                                             return std::less<const CZkRegisteredObj*>()(entry.object, key);
                                         });
        return static_cast<uint32_t>(at - m_objects.begin());
    }

    ZK::ZkArray<ObjectValue> m_objects; // ascending by object address
    ZkUniqueID m_global = 0;
    bool m_hasGlobal = false;
};
} // namespace ZK::SoundEngine
