// CZkStateMgr::SetStateInternal: a new current state for a group, and the state-driven values that
// follow it on every link of the group.
#include "ZkAudiolib/Common/GameSyncs/CZkStateMgr.h"

#include "ZkAudiolib/Common/FrontEnd/EngineHooks.h"
#include "ZkAudiolib/Common/GameSyncs/CZkGroupSubscriber.h"
#include "ZkAudiolib/Common/Parameters/CZkTransitionMgr.h"
#include "ZkAudiolib/Common/StateProperties/CZkState.h"
#include "ZkAudiolib/Common/StateProperties/CZkStateGroupLink.h"
#include "ZkAudiolib/Common/StateProperties/CZkStateProperties.h"

#include <cmath>

namespace ZK::SoundEngine
{
void CZkStateMgr::SetStateInternal(ZkUniqueID groupID, ZkUniqueID stateID, bool immediate, bool skipNotification)
{
    ZkStateGroup* group = FindGroup(groupID);
    if (group == nullptr)
        return;
    if (!skipNotification)
    {
        if (stateID != group->currentState)
            NotifySubscribers(groupID, stateID);
        // The music engine may take a change over to apply it in time with the music.
        const EngineHooks::StateChangeHandler hook = EngineHooks::GetStateChangeHandler();
        if (hook != nullptr && !immediate && hook(groupID, stateID))
            return;
    }

    uint32_t timeMs = 0;
    if (!immediate)
    {
        if (stateID == group->currentState)
            return;
        const ZkStateTransitionTime* custom = group->FindTransition(group->currentState, stateID);
        timeMs = custom != nullptr ? custom->timeMs : group->defaultTransitionMs;
    }
    for (CZkStateGroupLink* link = group->links; link != nullptr; link = link->nextInGroup)
        ApplyStateToLink(*link, stateID, timeMs);
    group->currentState = stateID;
}

void CZkStateMgr::NotifySubscribers(ZkUniqueID groupID, ZkUniqueID stateID)
{
    // A subscriber may unregister itself (or another) while it is called: its node is only emptied
    // during the walk and purged afterwards. Nodes registered during the walk came after this change
    // and are not told of it (a subscriber that registers again from its notification would
    // otherwise be called without end).
    m_walking = true;
    StateAwareNode* const last = m_stateAware.Last();
    for (StateAwareNode* node = m_stateAware.First(); node != nullptr; node = node->next)
    {
        if (node->groupID == groupID && node->subscriber != nullptr)
            node->subscriber->OnGroupValueChanged(stateID, ZkRTPCKey::Global(), nullptr);
        if (node == last)
            break;
    }
    if (m_purgePending)
    {
        m_stateAware.RemoveIf([](const StateAwareNode& emptied) { return emptied.subscriber == nullptr; });
        m_purgePending = false;
    }
    m_walking = false;
}

void CZkStateMgr::ApplyStateToLink(CZkStateGroupLink& link, ZkUniqueID stateID, uint32_t timeMs)
{
    link.currentState = stateID;
    const CZkState* state = link.FindState(stateID);
    const CZkState::Bundle* bundle = state != nullptr && state->Values().Length() != 0 ? &state->Values() : nullptr;
    CZkStateProperties* owner = link.owner;
    const ZK::ZkArray<ZkStateProperty>* list = owner->StatePropertyList();
    if (list == nullptr)
        return;

    for (const ZkStateProperty& property : *list)
    {
        const uint32_t key = StateTransitionKey(property);
        const auto propertyTimeMs = static_cast<ZkTimeMs>(property.kind == kStatePropertyKindImmediate ? 0 : timeMs);
        const float* bundled = bundle != nullptr ? bundle->Find(property.propertyID) : nullptr;
        const float target = bundled != nullptr ? *bundled : NeutralStateValue(property.kind);

        CZkStateGroupLink::Value* entry = link.Values().Find(property.propertyID);
        if (entry != nullptr && entry->transition != nullptr)
        {
            g_pTransitionMgr->ChangeParameter(entry->transition, key, target, propertyTimeMs,
                                              ZkCurveInterpolation_Linear, ZkValueMeaning_Absolute);
            continue;
        }
        const float current = entry != nullptr ? entry->value : NeutralStateValue(property.kind);
        if (target == current || std::isnan(target) || std::isnan(current))
            continue;
        if (entry == nullptr)
            entry = link.Values().Append(property.propertyID, CZkStateGroupLink::Value{0.0f, nullptr});

        if (propertyTimeMs == 0 || g_pTransitionMgr == nullptr)
        {
            link.SetValue(key, target, true);
            continue;
        }
        ZkTransitionParams params;
        params.firstUser = &link;
        params.kind = key;
        params.startValue = current;
        params.targetValue = target;
        params.timeMs = propertyTimeMs;
        params.curve = ZkCurveInterpolation_Linear;
        params.tag = kTransitionTagState;
        params.dBMode = (property.flags & kStatePropertyFlagDecibels) != 0;
        params.mirrorWhenFalling = true;
        params.filterMode = false;
        CZkTransition* transition = g_pTransitionMgr->AddTransition(params, CZkTransitionMgr::kStateList);
        if (entry == nullptr)
        {
            // No entry to follow it: the value cannot be tracked, the transition is let go.
            if (transition != nullptr)
                g_pTransitionMgr->RemoveTransitionUser(transition, &link);
            continue;
        }
        entry->transition = transition;
        if (transition == nullptr)
        {
            entry->value = target;
            link.SetValue(key, target, true);
        }
        else if (!owner->OnStateTransitionStarted(property.propertyID))
        {
            // The owner does not take the transition: the value jumps (which clears the entry's
            // transition) and the link leaves the transition.
            link.SetValue(key, target, true);
            g_pTransitionMgr->RemoveTransitionUser(transition, &link);
        }
    }
}
} // namespace ZK::SoundEngine
