// CZkStateMgr: prepared game syncs. The bank manager's thread prepares and unprepares values of
// state and switch groups; the records are found or created under the manager's own lock.
#include "ZkAudiolib/Common/GameSyncs/CZkStateMgr.h"

#include "ZkAudiolib/Common/Containers/ZkNew.h"

namespace ZK::SoundEngine
{
void CZkStateMgr::FreePreparedList(PreparedList& list)
{
    while (list.head != nullptr)
    {
        ZkPreparedGroup* next = list.head->next;
        // The group nodes belong to their objects: they are only let go.
        ZK::ZkDelete(kRecordPool, list.head);
        list.head = next;
    }
    list.tail = nullptr;
}

ZkPreparedGroup* CZkStateMgr::FindPreparedGroup(ZkUniqueID groupID, uint32_t groupType)
{
    PreparedList& list = groupType == ZkGroupType_State ? m_preparedStates : m_preparedSwitches;
    for (ZkPreparedGroup* record = list.head; record != nullptr; record = record->next)
    {
        if (record->groupID == groupID)
            return record;
    }
    return nullptr;
}

ZkPreparedGroup* CZkStateMgr::GetPreparedGroup(ZkUniqueID groupID, uint32_t groupType)
{
    ZK::Platform::ZkScopedLock guard(m_preparedLock);
    if (ZkPreparedGroup* found = FindPreparedGroup(groupID, groupType))
        return found;
    PreparedList& list = groupType == ZkGroupType_State ? m_preparedStates : m_preparedSwitches;
    auto* record = ZK::ZkNew<ZkPreparedGroup>(kRecordPool);
    if (record == nullptr)
        return nullptr;
    record->groupID = groupID;
    record->next = list.head;
    list.head = record;
    if (list.tail == nullptr)
        list.tail = record;
    return record;
}

ZK::ZkArray<ZkUniqueID>* CZkStateMgr::GetPreparedValues(ZkUniqueID groupID, uint32_t groupType)
{
    ZkPreparedGroup* record = GetPreparedGroup(groupID, groupType);
    return record != nullptr ? &record->values : nullptr;
}

ZkPreparedGroup* CZkStateMgr::GetGroupNodes(uint32_t groupType, ZkUniqueID groupID)
{
    ZK::Platform::ZkScopedLock guard(m_preparedLock);
    return FindPreparedGroup(groupID, groupType);
}

ZKRESULT CZkStateMgr::AddGroupNode(IZkPreparedGroupNode* node, uint32_t groupType, ZkUniqueID groupID)
{
    ZK::Platform::ZkScopedLock guard(m_preparedLock);
    ZkPreparedGroup* record = FindPreparedGroup(groupID, groupType);
    if (record == nullptr)
        return ZK_Fail;
    node->nextGroupNode = record->head;
    record->head = node;
    if (record->tail == nullptr)
        record->tail = node;
    return ZK_Success;
}

void CZkStateMgr::RemoveGroupNode(IZkPreparedGroupNode* node, uint32_t groupType, ZkUniqueID groupID)
{
    ZK::Platform::ZkScopedLock guard(m_preparedLock);
    ZkPreparedGroup* record = FindPreparedGroup(groupID, groupType);
    if (record == nullptr)
        return;
    IZkPreparedGroupNode* previous = nullptr;
    for (IZkPreparedGroupNode* current = record->head; current != nullptr; previous = current, current = current->nextGroupNode)
    {
        if (current != node)
            continue;
        (previous != nullptr ? previous->nextGroupNode : record->head) = current->nextGroupNode;
        if (record->tail == current)
            record->tail = previous;
        current->nextGroupNode = nullptr;
        return;
    }
}

ZKRESULT CZkStateMgr::PrepareGameSync(uint32_t groupType, ZkUniqueID groupID, ZkUniqueID value, bool prepare)
{
    ZkPreparedGroup* record = GetPreparedGroup(groupID, groupType);
    if (record == nullptr)
        return prepare ? ZK_InsufficientMemory : ZK_Success;

    const uint32_t at = record->values.Find(value);
    const bool present = at != record->values.Length();
    if (prepare == present)
        return ZK_Success;
    bool recorded = false;
    if (prepare)
        recorded = record->values.AddLast(value) != nullptr;
    else
        record->values.EraseSwap(at);

    for (IZkPreparedGroupNode* node = record->head; node != nullptr; node = node->nextGroupNode)
    {
        const ZKRESULT result = node->OnPreparedValue(value, prepare);
        if (result == ZK_Success)
            continue;
        if (prepare)
        {
            // Undo what the nodes before the failing one prepared.
            for (IZkPreparedGroupNode* done = record->head; done != node; done = done->nextGroupNode)
                done->OnPreparedValue(value, false);
            if (recorded)
                record->values.EraseSwap(record->values.Find(value));
        }
        return result;
    }
    return ZK_Success;
}
} // namespace ZK::SoundEngine
