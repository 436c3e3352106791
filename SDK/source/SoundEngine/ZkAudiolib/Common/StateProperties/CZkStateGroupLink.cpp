#include "ZkAudiolib/Common/StateProperties/CZkStateGroupLink.h"

#include "ZkAudiolib/Common/ObjectIndex/ObjectIndex.h"
#include "ZkAudiolib/Common/Parameters/CZkTransitionMgr.h"
#include "ZkAudiolib/Common/StateProperties/CZkState.h"
#include "ZkAudiolib/Common/StateProperties/CZkStateProperties.h"

namespace ZK::SoundEngine
{
CZkStateGroupLink::~CZkStateGroupLink()
{
    RemoveTransitions();
    while (!m_states.IsEmpty())
        RemoveStateAt(m_states.Length() - 1);
    m_states.Term();
    m_values.Term();
}

void CZkStateGroupLink::SetValue(uint32_t key, float value, bool transitionEnded)
{
    const auto propertyID = static_cast<uint16_t>(key & 0xFFFFu);
    const auto kind = static_cast<uint8_t>((key >> 16) & 0xFFu);
    float oldValue = NeutralStateValue(kind);
    bool ended = false;
    if (Value* entry = m_values.Find(propertyID))
    {
        oldValue = entry->value;
        entry->value = value;
        if (transitionEnded && entry->transition != nullptr)
        {
            entry->transition = nullptr;
            ended = true;
        }
    }
    if (owner->IsStateUseEnabled())
        owner->OnStateValueChanged(propertyID, kind, groupID, oldValue, value, ended);
    if (ended)
        owner->OnStateTransitionEnded();
}

CZkState* CZkStateGroupLink::FindState(ZkUniqueID stateID) const
{
    for (const StateEntry& entry : m_states)
    {
        if (entry.stateID == stateID)
            return entry.state;
    }
    return nullptr;
}

ZKRESULT CZkStateGroupLink::AddState(ZkUniqueID stateObjectID, ZkUniqueID stateID, bool apply)
{
    auto* state = g_pObjectIndex != nullptr
                      ? static_cast<CZkState*>(g_pObjectIndex->GetPtrAndAddRef(ZkIndexKind::States, stateObjectID))
                      : nullptr;
    for (uint32_t index = 0; index < m_states.Length(); ++index)
    {
        if (m_states[index].stateID != stateID)
            continue;
        if (m_states[index].state == state)
        {
            state->Release();
            return ZK_Success;
        }
        RemoveStateAt(index);
        break;
    }
    if (state == nullptr)
        return ZK_StateObjectNotLoaded;
    if (m_states.AddLast(StateEntry{stateID, state}) == nullptr)
    {
        state->Release();
        return ZK_InsufficientMemory;
    }
    state->owner = owner;
    if (apply)
        owner->ApplyCurrentStates();
    return ZK_Success;
}

void CZkStateGroupLink::RemoveStateAt(uint32_t index)
{
    CZkState* state = m_states[index].state;
    m_states.Erase(index);
    state->owner = nullptr;
    state->Release();
}

void CZkStateGroupLink::RemoveState(ZkUniqueID stateID)
{
    for (uint32_t index = 0; index < m_states.Length(); ++index)
    {
        if (m_states[index].stateID == stateID)
        {
            RemoveStateAt(index);
            return;
        }
    }
}

void CZkStateGroupLink::RemoveTransitions()
{
    for (uint32_t index = 0; index < m_values.Length(); ++index)
    {
        Value& entry = m_values.EntryAt(index);
        if (entry.transition == nullptr)
            continue;
        if (g_pTransitionMgr != nullptr)
            g_pTransitionMgr->RemoveTransitionUser(entry.transition, this);
        entry.transition = nullptr;
        owner->OnStateTransitionEnded();
    }
}

void CZkStateGroupLink::PauseTransitions(bool pause)
{
    if (g_pTransitionMgr == nullptr)
        return;
    for (uint32_t index = 0; index < m_values.Length(); ++index)
    {
        CZkTransition* transition = m_values.EntryAt(index).transition;
        if (transition == nullptr)
            continue;
        if (pause)
            g_pTransitionMgr->Pause(transition);
        else
            g_pTransitionMgr->Resume(transition);
    }
}
} // namespace ZK::SoundEngine
