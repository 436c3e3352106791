// A switch container's media preparation (every child, or in game-sync preparation mode the
// children of the group's prepared values) and its answer to streamed-media collection.
#include "ZkAudiolib/Common/FrontEnd/EngineSettings.h"
#include "ZkAudiolib/Common/GameObjects/CZkRegisteredObj.h"
#include "ZkAudiolib/Common/GameSyncs/CZkStateMgr.h"
#include "ZkAudiolib/Common/Hierarchy/CZkSwitchContainerNode.h"
#include "ZkAudiolib/Common/Hierarchy/ZkStreamedMediaRequest.h"

namespace ZK::SoundEngine
{
namespace
{
bool Lists(const ZK::ZkArray<ZkUniqueID>& values, ZkUniqueID value) { return values.Find(value) < values.Length(); }
} // namespace

bool CZkSwitchContainerNode::PreparesByGameSync() const { return GetEngineSettings().gameSyncPreparation != 0; }

ZKRESULT CZkSwitchContainerNode::PrepareEntry(const CZkSwitchValueEntry& entry)
{
    for (uint32_t index = 0; index < entry.children.Length(); ++index)
    {
        const ZKRESULT result = PrepareByID(entry.children[index]);
        if (result != ZK_Success)
        {
            UnprepareEntry(entry, index);
            return result;
        }
    }
    return ZK_Success;
}

void CZkSwitchContainerNode::UnprepareEntry(const CZkSwitchValueEntry& entry, uint32_t count)
{
    for (uint32_t index = 0; index < count; ++index)
        UnprepareByID(entry.children[index]);
}

ZKRESULT CZkSwitchContainerNode::PrepareMedia()
{
    if (!PreparesByGameSync())
        return CZkChildContextContainer::PrepareMedia();
    if (m_preparedCount > 0)
    {
        ++m_preparedCount;
        return ZK_Success;
    }
    if (g_pStateMgr == nullptr)
        return ZK_Fail;
    const ZK::ZkArray<ZkUniqueID>* values = g_pStateMgr->GetPreparedValues(m_groupID, m_groupType);
    if (values == nullptr)
        return ZK_InsufficientMemory;
    ZKRESULT result = ZK_Success;
    const CZkSwitchValueEntry* failed = nullptr;
    for (const CZkSwitchValueEntry* entry = m_values.First(); entry != nullptr && result == ZK_Success;
         entry = entry->next)
    {
        if (Lists(*values, entry->value) && (result = PrepareEntry(*entry)) != ZK_Success)
            failed = entry;
    }
    if (result == ZK_Success)
    {
        // Values prepared and unprepared from now on reach the container.
        result = g_pStateMgr->AddGroupNode(this, m_groupType, m_groupID);
    }
    if (result != ZK_Success)
    {
        for (const CZkSwitchValueEntry* entry = m_values.First(); entry != failed; entry = entry->next)
        {
            if (Lists(*values, entry->value))
                UnprepareEntry(*entry, entry->children.Length());
        }
        return result;
    }
    m_preparedGroupType = m_groupType;
    m_preparedGroupID = m_groupID;
    m_preparedCount = 1;
    return ZK_Success;
}

void CZkSwitchContainerNode::UnprepareMedia()
{
    if (!PreparesByGameSync())
    {
        CZkChildContextContainer::UnprepareMedia();
        return;
    }
    if (m_preparedCount == 0 || --m_preparedCount > 0 || g_pStateMgr == nullptr)
        return;
    if (const ZK::ZkArray<ZkUniqueID>* values = g_pStateMgr->GetPreparedValues(m_preparedGroupID, m_preparedGroupType))
    {
        for (const CZkSwitchValueEntry* entry = m_values.First(); entry != nullptr; entry = entry->next)
        {
            if (Lists(*values, entry->value))
                UnprepareEntry(*entry, entry->children.Length());
        }
    }
    g_pStateMgr->RemoveGroupNode(this, m_preparedGroupType, m_preparedGroupID);
}

ZKRESULT CZkSwitchContainerNode::OnPreparedValue(ZkUniqueID value, bool prepare)
{
    const CZkSwitchValueEntry* entry = m_preparedCount > 0 ? m_values.Find(value) : nullptr;
    if (entry == nullptr)
        return ZK_Success;
    if (prepare)
        return PrepareEntry(*entry);
    UnprepareEntry(*entry, entry->children.Length());
    return ZK_Success;
}

void CZkSwitchContainerNode::CollectStreamedMedia(const ZkStreamedMediaRequest& request, bool active) const
{
    request.groups.AddLast(ZkStreamedMediaRequest::GroupEntry(m_groupID, m_groupType));
    const ZkUniqueID value = request.overrideGroupID != 0 && request.overrideGroupID == m_groupID
                                 ? request.overrideValue
                                 : CZkGroupSubscriber::GetGroupValue(request.gameObject, m_groupID, m_groupType);
    const CZkSwitchValueEntry* chosen = m_values.Find(value);
    if (chosen == nullptr)
        chosen = m_values.Find(m_defaultValue);
    for (uint32_t index = 0; index < ChildCount(); ++index)
    {
        const CZkHierarchyNode* child = Child(index);
        child->CollectStreamedMedia(request, active && chosen != nullptr && chosen->Contains(child->ID()));
    }
}
} // namespace ZK::SoundEngine
