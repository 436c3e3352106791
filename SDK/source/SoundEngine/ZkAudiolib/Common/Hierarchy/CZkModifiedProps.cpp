#include "ZkAudiolib/Common/Hierarchy/CZkModifiedProps.h"

#include "ZkAudiolib/Common/Hierarchy/CZkHierarchyNode.h"
#include "ZkAudiolib/Common/Parameters/CZkTransitionMgr.h"

namespace ZK::SoundEngine
{
CZkModifiedProps::~CZkModifiedProps()
{
    for (Entry& entry : m_entries)
    {
        if (entry.transition != nullptr && g_pTransitionMgr != nullptr)
            g_pTransitionMgr->RemoveTransitionUser(entry.transition, this);
        entry.transition = nullptr;
    }
}

float CZkModifiedProps::NeutralValue(uint8_t propertyID) { return propertyID == ZkProp_Gain ? 1.0f : 0.0f; }

CZkModifiedProps::Entry* CZkModifiedProps::Find(uint8_t propertyID)
{
    for (Entry& entry : m_entries)
    {
        if (entry.propertyID == propertyID)
            return &entry;
    }
    return nullptr;
}

CZkModifiedProps::Entry* CZkModifiedProps::FindOrAdd(uint8_t propertyID)
{
    if (Entry* entry = Find(propertyID))
        return entry;
    return m_entries.AddLast(Entry{propertyID, NeutralValue(propertyID), nullptr});
}

float CZkModifiedProps::Value(uint8_t propertyID)
{
    const Entry* entry = Find(propertyID);
    return entry != nullptr ? entry->value : NeutralValue(propertyID);
}

void CZkModifiedProps::TransUpdateValue(uint32_t kind, float value, bool done)
{
    Entry* entry = Find(static_cast<uint8_t>(kind));
    if (entry == nullptr)
        return;
    const float old = entry->value;
    entry->value = value;
    if (done)
        entry->transition = nullptr;
    m_node.ApplyModifiedValue(*this, entry->propertyID, old, value);
}
} // namespace ZK::SoundEngine
