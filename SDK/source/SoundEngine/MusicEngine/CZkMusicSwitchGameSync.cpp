// The switch container's preparation by game sync: with one argument, only the children of the
// default value (0) and of the values the game prepared for the argument's group are prepared;
// values prepared later reach the container through the group's node list (OnPreparedValue).
#include "MusicEngine/CZkMusicSwitchContainer.h"

#include "ZkAudiolib/Common/GameSyncs/CZkStateMgr.h"
#include "ZkAudiolib/Common/Hierarchy/CZkKeyValueList.h"

namespace ZK::MusicEngine
{
using namespace SoundEngine;

namespace
{
constexpr uint32_t kGroupTypeSwitch = 0;
constexpr uint32_t kGroupTypeState = 1;

bool IsPrepared(const ZK::ZkArray<ZkUniqueID>& values, ZkUniqueID value)
{
    return value == 0 || values.Find(value) != values.Length();
}

void UnprepareFirst(const ZK::ZkArray<ZkKeyValue>& pairs, uint32_t count, const ZK::ZkArray<ZkUniqueID>& values)
{
    for (uint32_t index = 0; index < count; ++index)
    {
        if (pairs[index].value != 0 && IsPrepared(values, pairs[index].key))
            CZkHierarchyNode::UnprepareByID(pairs[index].value);
    }
}
} // namespace

ZKRESULT CZkMusicSwitchContainer::PrepareByGameSync()
{
    if (m_preparations > 0)
    {
        ++m_preparations;
        return ZK_Success;
    }
    ZKRESULT result = PrepareOwnSegments();
    if (result != ZK_Success)
        return result;
    const uint32_t groupType = m_kinds[0] == kArgumentState ? kGroupTypeState : kGroupTypeSwitch;
    ZK::ZkArray<ZkUniqueID>* values = g_pStateMgr != nullptr ? g_pStateMgr->GetPreparedValues(m_groups[0], groupType) : nullptr;
    ZK::ZkArray<ZkKeyValue> pairs;
    if (values == nullptr || (m_tree.Nodes().count > 0 && !CZkKeyValueList::MergeInto(m_tree, pairs)))
    {
        pairs.Term();
        UnprepareOwnSegments();
        return ZK_InsufficientMemory;
    }
    // Every node of a value in force, in the tree's order; a failure takes back those before it
    // (the default value's as well, so that nothing stays prepared).
    for (uint32_t index = 0; index < pairs.Length(); ++index)
    {
        if (pairs[index].value == 0 || !IsPrepared(*values, pairs[index].key))
            continue;
        result = PrepareByID(pairs[index].value);
        if (result != ZK_Success)
        {
            UnprepareFirst(pairs, index, *values);
            break;
        }
    }
    if (result == ZK_Success)
    {
        // Later preparations of the group's values reach the container from now on.
        result = g_pStateMgr->AddGroupNode(this, groupType, m_groups[0]);
        if (result != ZK_Success)
            UnprepareFirst(pairs, pairs.Length(), *values);
    }
    pairs.Term();
    if (result != ZK_Success)
    {
        UnprepareOwnSegments();
        return result;
    }
    m_preparations = 1;
    return ZK_Success;
}

void CZkMusicSwitchContainer::UnprepareByGameSync()
{
    if (m_preparations == 0 || --m_preparations > 0)
        return;
    const uint32_t groupType = m_kinds[0] == kArgumentState ? kGroupTypeState : kGroupTypeSwitch;
    ZK::ZkArray<ZkUniqueID>* values = g_pStateMgr != nullptr ? g_pStateMgr->GetPreparedValues(m_groups[0], groupType) : nullptr;
    ZK::ZkArray<ZkKeyValue> pairs;
    if (values != nullptr && (m_tree.Nodes().count == 0 || CZkKeyValueList::MergeInto(m_tree, pairs)))
        UnprepareFirst(pairs, pairs.Length(), *values);
    pairs.Term();
    if (g_pStateMgr != nullptr)
        g_pStateMgr->RemoveGroupNode(this, groupType, m_groups[0]);
    UnprepareOwnSegments();
}
} // namespace ZK::MusicEngine
