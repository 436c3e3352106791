// CZkStateProperties: the owner's links, its property list, and applying the current states.
#include "ZkAudiolib/Common/StateProperties/CZkStateProperties.h"

#include "ZkAudiolib/Common/Containers/ZkNew.h"
#include "ZkAudiolib/Common/GameSyncs/CZkStateMgr.h"
#include "ZkAudiolib/Common/Parameters/CZkTransitionMgr.h"
#include "ZkAudiolib/Common/StateProperties/CZkState.h"
#include "ZkAudiolib/Common/StateProperties/CZkStateGroupLink.h"

namespace ZK::SoundEngine
{
const ZK::ZkArray<ZkStateProperty>* CZkStateProperties::StatePropertyList() const
{
    const ZkStateStorage* storage = StateStorage();
    return storage != nullptr ? &storage->properties : nullptr;
}

bool CZkStateProperties::HasStateProperty(uint16_t propertyID) const
{
    if (const ZK::ZkArray<ZkStateProperty>* list = StatePropertyList())
    {
        for (const ZkStateProperty& property : *list)
        {
            if (property.propertyID == propertyID)
                return true;
        }
    }
    return false;
}

bool CZkStateProperties::IsStateDriven(uint16_t propertyID) const
{
    const ZkStateStorage* storage = StateStorage();
    return storage != nullptr && storage->links != nullptr && HasStateProperty(propertyID);
}

CZkStateGroupLink* CZkStateProperties::FindLink(ZkUniqueID groupID) const
{
    const ZkStateStorage* storage = StateStorage();
    for (CZkStateGroupLink* link = storage != nullptr ? storage->links : nullptr; link != nullptr; link = link->nextInOwner)
    {
        if (link->groupID == groupID)
            return link;
    }
    return nullptr;
}

bool CZkStateProperties::ResizePropertyList(uint32_t count)
{
    ZK::ZkArray<ZkStateProperty>& list = StateStorage()->properties;
    if (list.Reserve(count) != ZK_Success)
        return false;
    while (list.Length() > count)
        list.Erase(list.Length() - 1);
    while (list.Length() < count)
        list.AddLast(ZkStateProperty{kStatePropertyUnusedID, kStatePropertyDefaultKind, 0});
    return true;
}

void CZkStateProperties::SetStateProperties(uint32_t count, const ZkStatePropertyInput* entries, bool apply)
{
    if (!EnsureStateStorage())
        return;
    OnStateUseChanged();
    ZK::ZkArray<ZkStateProperty>& list = StateStorage()->properties;
    bool same = list.Length() == count;
    for (uint32_t index = 0; same && index < count; ++index)
        same = list[index].propertyID == entries[index].propertyID &&
               list[index].kind == static_cast<uint8_t>(entries[index].kind);
    if (same)
        return;
    list.Term();
    if (!ResizePropertyList(count))
        return;
    for (uint32_t index = 0; index < count; ++index)
    {
        list[index].propertyID = entries[index].propertyID;
        list[index].kind = static_cast<uint8_t>(entries[index].kind);
        list[index].flags = entries[index].decibels != 0 ? kStatePropertyFlagDecibels : 0;
    }
    if (apply)
        ApplyCurrentStates();
}

CZkStateGroupLink* CZkStateProperties::AddStateGroup(ZkUniqueID groupID, bool apply)
{
    if (!EnsureStateStorage())
        return nullptr;
    if (CZkStateGroupLink* existing = FindLink(groupID))
        return existing;
    auto* link = ZK::ZkNew<CZkStateGroupLink>(CZkStateGroupLink::kPool, this, groupID);
    if (link == nullptr)
        return nullptr;
    if (g_pStateMgr == nullptr || g_pStateMgr->AddGroupLink(groupID, link) != ZK_Success)
    {
        ZK::ZkDelete(CZkStateGroupLink::kPool, link);
        return nullptr;
    }
    ZkStateStorage* storage = StateStorage();
    link->nextInOwner = storage->links;
    storage->links = link;
    link->currentState = g_pStateMgr->GetState(groupID);
    if (apply)
        ApplyCurrentStates();
    return link;
}

void CZkStateProperties::UnlinkAndDestroy(CZkStateGroupLink* link)
{
    ZkStateStorage* storage = StateStorage();
    for (CZkStateGroupLink** at = &storage->links; *at != nullptr; at = &(*at)->nextInOwner)
    {
        if (*at == link)
        {
            *at = link->nextInOwner;
            break;
        }
    }
    if (g_pStateMgr != nullptr)
        g_pStateMgr->RemoveGroupLink(link->groupID, link);
    // The destructor releases the states one by one, removes the transitions and frees the tables.
    ZK::ZkDelete(CZkStateGroupLink::kPool, link);
}

void CZkStateProperties::RemoveStateGroup(ZkUniqueID groupID, bool apply)
{
    CZkStateGroupLink* link = FindLink(groupID);
    if (link == nullptr)
        return;
    UnlinkAndDestroy(link);
    if (apply)
        ApplyCurrentStates();
}

void CZkStateProperties::RemoveAllStateGroups(bool apply)
{
    ZkStateStorage* storage = StateStorage();
    if (storage == nullptr)
        return;
    while (storage->links != nullptr)
        UnlinkAndDestroy(storage->links);
    if (apply)
        ApplyCurrentStates();
}

ZKRESULT CZkStateProperties::SetStateGroups(uint32_t count, const ZkStateGroupInput* groups, const ZkStateInput* states)
{
    if (!EnsureStateStorage())
        return ZK_InsufficientMemory;
    ZKRESULT result = ZK_Success;
    bool changed = false;
    const ZkStateInput* groupStates = states;
    for (uint32_t group = 0; group < count; ++group)
    {
        const ZkStateGroupInput& record = groups[group];
        CZkStateGroupLink* link = FindLink(record.groupID);
        if (link != nullptr)
        {
            changed = changed || link->syncType != record.syncType;
        }
        else
        {
            link = AddStateGroup(record.groupID, true);
            if (link == nullptr)
                return ZK_InsufficientMemory;
            changed = true;
        }
        link->syncType = record.syncType;
        for (uint32_t index = 0; index < record.stateCount; ++index)
        {
            const ZkStateInput& state = groupStates[index];
            const CZkState* held = link->FindState(state.stateID);
            if (held != nullptr && held->ID() == state.stateObjectID)
                continue;
            const ZKRESULT added = link->AddState(state.stateObjectID, state.stateID, false);
            if (added != ZK_Success)
                result = added;
            changed = true;
        }
        // States the record no longer names leave the link.
        for (uint32_t index = link->States().Length(); index-- > 0;)
        {
            const CZkStateGroupLink::StateEntry held = link->States()[index];
            bool named = false;
            for (uint32_t at = 0; at < record.stateCount && !named; ++at)
                named = groupStates[at].stateObjectID == held.state->ID();
            if (!named)
            {
                link->RemoveStateAt(index);
                changed = true;
            }
        }
        groupStates += record.stateCount;
    }
    // Groups the records no longer name leave the owner.
    for (CZkStateGroupLink* link = StateStorage()->links; link != nullptr;)
    {
        CZkStateGroupLink* next = link->nextInOwner;
        bool named = false;
        for (uint32_t group = 0; group < count && !named; ++group)
            named = groups[group].groupID == link->groupID;
        if (!named)
        {
            RemoveStateGroup(link->groupID, false);
            changed = true;
        }
        link = next;
    }
    if (changed)
        ApplyCurrentStates();
    return result;
}

void CZkStateProperties::ApplyCurrentStates()
{
    ZkStateStorage* storage = StateStorage();
    for (CZkStateGroupLink* link = storage != nullptr ? storage->links : nullptr; link != nullptr; link = link->nextInOwner)
    {
        const CZkState* state = link->FindState(link->currentState);
        if (state == nullptr)
        {
            link->RemoveTransitions();
            continue;
        }
        const CZkState::Bundle& bundle = state->Values();
        for (uint32_t index = 0; index < bundle.Length(); ++index)
        {
            const uint16_t propertyID = bundle.IdAt(index);
            const float target = bundle.EntryAt(index);
            if (CZkStateGroupLink::Value* entry = link->Values().Find(propertyID))
            {
                if (entry->transition != nullptr && g_pTransitionMgr != nullptr)
                    g_pTransitionMgr->ChangeParameter(entry->transition, propertyID, target, 0,
                                                      ZkCurveInterpolation_Linear, ZkValueMeaning_Absolute);
                else
                    entry->value = target;
            }
            else
            {
                link->Values().Append(propertyID, CZkStateGroupLink::Value{target, nullptr});
            }
        }
    }
    OnStatesApplied();
}

void CZkStateProperties::ClearTransitions()
{
    ZkStateStorage* storage = StateStorage();
    for (CZkStateGroupLink* link = storage != nullptr ? storage->links : nullptr; link != nullptr; link = link->nextInOwner)
        link->RemoveTransitions();
}

void CZkStateProperties::PauseTransitions(bool pause)
{
    ZkStateStorage* storage = StateStorage();
    for (CZkStateGroupLink* link = storage != nullptr ? storage->links : nullptr; link != nullptr; link = link->nextInOwner)
        link->PauseTransitions(pause);
}

void CZkStateProperties::CollectSyncType(ZkUniqueID groupID, ZK::ZkArray<uint32_t>& syncTypes) const
{
    const CZkStateGroupLink* link = FindLink(groupID);
    if (link == nullptr)
        return;
    if (link->syncType == 0)
    {
        syncTypes.RemoveAll();
        syncTypes.AddLast(0);
        return;
    }
    if (syncTypes.Find(link->syncType) == syncTypes.Length())
        syncTypes.AddLast(link->syncType);
}

void CZkStateProperties::SetStateEnabled(bool enabled)
{
    m_stateUse = enabled ? 1 : 0;
    OnStateUseChanged();
}
} // namespace ZK::SoundEngine
