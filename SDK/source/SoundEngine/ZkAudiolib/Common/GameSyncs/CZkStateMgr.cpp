// CZkStateMgr: life cycle, state groups and their transition times.
#include "ZkAudiolib/Common/GameSyncs/CZkStateMgr.h"

#include "ZkAudiolib/Common/Containers/ZkNew.h"
#include "ZkAudiolib/Common/FrontEnd/EngineLock.h"
#include "ZkAudiolib/Common/StateProperties/CZkStateGroupLink.h"

namespace ZK::SoundEngine
{
CZkStateMgr* g_pStateMgr = nullptr;

const ZkStateTransitionTime* ZkStateGroup::FindTransition(ZkUniqueID from, ZkUniqueID to) const
{
    for (const ZkStateTransitionTime& transition : customTransitions)
    {
        if (transition.from == from && transition.to == to)
            return &transition;
    }
    return nullptr;
}

ZKRESULT CZkStateMgr::Init()
{
    if (m_stateAware.Init(kBlockNodes) != ZK_Success || m_triggers.Init(kBlockNodes) != ZK_Success)
    {
        m_stateAware.Term();
        m_triggers.Term();
        return ZK_InsufficientMemory;
    }
    return ZK_Success;
}

void CZkStateMgr::DestroyGroup(ZkStateGroup* group) { ZK::ZkDelete(kRecordPool, group); }

void CZkStateMgr::Term()
{
    for (GroupEntry& entry : m_groups)
        DestroyGroup(entry.group);
    m_groups.Term();
    m_stateAware.Term();
    m_triggers.Term();
    m_walking = false;
    m_purgePending = false;
    ZK::Platform::ZkScopedLock guard(m_preparedLock);
    FreePreparedList(m_preparedStates);
    FreePreparedList(m_preparedSwitches);
}

ZkStateGroup* CZkStateMgr::FindGroup(ZkUniqueID groupID) const
{
    for (const GroupEntry& entry : m_groups)
    {
        if (entry.id == groupID)
            return entry.group;
    }
    return nullptr;
}

ZKRESULT CZkStateMgr::AddStateGroup(ZkUniqueID groupID)
{
    if (FindGroup(groupID) != nullptr)
        return ZK_Success;
    auto* group = ZK::ZkNew<ZkStateGroup>(kRecordPool);
    if (group == nullptr)
        return ZK_Fail;
    if (m_groups.AddLast(GroupEntry{groupID, group}) == nullptr)
    {
        DestroyGroup(group);
        return ZK_Fail;
    }
    return ZK_Success;
}

ZKRESULT CZkStateMgr::SetDefaultTransitionTime(ZkUniqueID groupID, uint32_t timeMs)
{
    ZkStateGroup* group = FindGroup(groupID);
    if (group == nullptr)
        return ZK_UnknownStateGroup;
    group->defaultTransitionMs = timeMs;
    return ZK_Success;
}

ZKRESULT CZkStateMgr::AddStateTransition(ZkUniqueID groupID, ZkUniqueID from, ZkUniqueID to, uint32_t timeMs,
                                         bool bothDirections)
{
    ZkStateGroup* group = FindGroup(groupID);
    if (group == nullptr)
        return ZK_UnknownStateGroup;
    const auto set = [group, timeMs](ZkUniqueID a, ZkUniqueID b) {
        if (auto* existing = const_cast<ZkStateTransitionTime*>(group->FindTransition(a, b)))
        {
            existing->timeMs = timeMs;
            return true;
        }
        return group->customTransitions.AddLast(ZkStateTransitionTime{a, b, timeMs}) != nullptr;
    };
    if (!set(from, to) || (bothDirections && !set(to, from)))
        return ZK_Fail;
    return ZK_Success;
}

ZKRESULT CZkStateMgr::RemoveAllStateGroups(bool onlyUnused)
{
    for (uint32_t index = m_groups.Length(); index-- > 0;)
    {
        if (onlyUnused && m_groups[index].group->links != nullptr)
            continue;
        DestroyGroup(m_groups[index].group);
        m_groups.EraseSwap(index);
    }
    return ZK_Success;
}

ZkUniqueID CZkStateMgr::GetState(ZkUniqueID groupID) const
{
    const ZkStateGroup* group = FindGroup(groupID);
    return group != nullptr ? group->currentState : 0;
}

bool CZkStateMgr::QueryState(ZkUniqueID groupID, ZkUniqueID& state) const
{
    const ZkStateGroup* group = FindGroup(groupID);
    state = group != nullptr ? group->currentState : kZkStateNone;
    return group != nullptr;
}

ZKRESULT CZkStateMgr::AddGroupLink(ZkUniqueID groupID, CZkStateGroupLink* link)
{
    ZkStateGroup* group = FindGroup(groupID);
    if (group == nullptr)
        return ZK_UnknownStateGroup;
    link->nextInGroup = group->links;
    group->links = link;
    return ZK_Success;
}

ZKRESULT CZkStateMgr::RemoveGroupLink(ZkUniqueID groupID, CZkStateGroupLink* link)
{
    ZkStateGroup* group = FindGroup(groupID);
    if (group == nullptr)
        return ZK_UnknownStateGroup;
    for (CZkStateGroupLink** at = &group->links; *at != nullptr; at = &(*at)->nextInGroup)
    {
        if (*at == link)
        {
            *at = link->nextInGroup;
            link->nextInGroup = nullptr;
            break;
        }
    }
    return ZK_Success;
}

namespace StateMgr
{
void PurgeUnusedGroupsLocked()
{
    ZK::Platform::ZkScopedLock guard(g_EngineLock);
    if (g_pStateMgr != nullptr)
        g_pStateMgr->RemoveAllStateGroups(true);
}
} // namespace StateMgr
} // namespace ZK::SoundEngine
