// CZkHierarchyNode: construction and destruction, reference counting and the index, parent and
// output-bus links, preparation by id, actions, and the chain queries.
#include "ZkAudiolib/Common/Hierarchy/CZkHierarchyNode.h"

#include "ZkAudiolib/Common/Containers/ZkNew.h"
#include "ZkAudiolib/Common/Positioning/ZkPathData.h"
#include "ZkAudiolib/Common/Parameters/CZkParamTargetRegistry.h"
#include "ZkAudiolib/Common/Playback/CZkActiveInstances.h"

namespace ZK::SoundEngine
{
CZkHierarchyNode::CZkHierarchyNode(ZkUniqueID id)
    : CZkIndexedObject(id), m_params(id, this), m_modifiedParams(id, this)
{
}

CZkHierarchyNode::~CZkHierarchyNode()
{
    // No instance is left (each holds the node); limiters still held by the record go with it.
    if (m_activity != nullptr)
        FreeActivity();
    // Targets are registered under the node's own address; none may outlive it.
    CZkParamTargetRegistry::Instance().UnregisterAll(this);
    ClearTransitions();
    RemoveAllStateGroups(false);
    FreeModifiedProps();
    ReleaseLinks();
    ZK::ZkDelete(kPool, m_stateStorage);
    m_stateStorage = nullptr;
    if (m_attachments != nullptr)
        ZK::MemoryMgr::Free(kPool, m_attachments);
    if (m_auxBusIDs != nullptr)
        ZK::MemoryMgr::Free(kPool, m_auxBusIDs);
    if (m_pathData != nullptr)
    {
        m_pathData->Term();
        ZK::ZkDelete(kPool, m_pathData);
    }
}

void CZkHierarchyNode::SetBusFlag(bool isBus)
{
    m_flagsA = static_cast<uint8_t>(isBus ? m_flagsA | kNodeFlagA_IsBus : m_flagsA & ~kNodeFlagA_IsBus);
}

ZkIndexTable& CZkHierarchyNode::Table() const { return g_pObjectIndex->GetNodeTable(IsBus()); }

ZKRESULT CZkHierarchyNode::AddToIndex()
{
    if (g_pObjectIndex == nullptr)
        return ZK_Fail;
    return Table().Insert(this);
}

uint32_t CZkHierarchyNode::AddRef()
{
    if (g_pObjectIndex == nullptr)
        return ++refCount;
    return Table().AddRef(this);
}

uint32_t CZkHierarchyNode::Release()
{
    if (g_pObjectIndex == nullptr)
    {
        // No index: the node was never in one (or the engine is gone); count on the node alone.
        const uint32_t count = --refCount;
        if (count == 0)
            Destroy();
        return count;
    }
    ZkIndexTable& table = Table();
    ZK::Platform::ZkScopedLock guard(table.Lock());
    const uint32_t count = --refCount;
    if (count == 0)
    {
        table.Remove(this);
        OnDetached();
        if (m_parent != nullptr)
            m_parent->FreeActivityIfIdle();
        if (m_outputBus != nullptr)
            m_outputBus->FreeActivityIfIdle();
        // The parent's and the bus's child lists drop the node before it goes (their locks are
        // recursive; a bus lives in the bus table, taken after this one).
        if (m_parent != nullptr)
            m_parent->RemoveChild(this);
        if (m_outputBus != nullptr)
            m_outputBus->RemoveChild(this);
        ReleaseLinks();
        Destroy();
    }
    return count;
}

void CZkHierarchyNode::Destroy() { ZK::ZkDelete(kPool, this); }

void CZkHierarchyNode::ReleaseLinks()
{
    ReplaceLink(m_parent, nullptr);
    ReplaceLink(m_outputBus, nullptr);
}

void CZkHierarchyNode::ReplaceLink(CZkHierarchyNode*& link, CZkHierarchyNode* node)
{
    if (node != nullptr)
        node->AddRef();
    CZkHierarchyNode* old = link;
    link = node;
    if (old != nullptr)
        old->Release();
}

void CZkHierarchyNode::SetParent(CZkHierarchyNode* parent)
{
    if (parent == m_parent)
        return;
    ReplaceLink(m_parent, parent);
    CZkActiveInstances::RequestLimiterRebuild(); // the limiters of plays below may differ now
}

void CZkHierarchyNode::SetOutputBus(CZkHierarchyNode* bus)
{
    if (bus == m_outputBus)
        return;
    if (!MoveActivityCounts(bus))
        bus = nullptr; // the new bus could not count the node's plays: the node takes none
    if (bus == m_outputBus)
        return;
    SetOverrideBits(kOverrideBusBits, bus != nullptr);
    ReplaceLink(m_outputBus, bus);
    CZkActiveInstances::RequestLimiterRebuild();
    CZkActiveInstances::SetLimiterRebuildBlocked(bus == nullptr);
    Refresh();
}

ZKRESULT CZkHierarchyNode::AddChild(CZkHierarchyNode*) { return ZK_Fail; }

void CZkHierarchyNode::RemoveChild(CZkHierarchyNode*) {}

void CZkHierarchyNode::PropagateParamDelta(uint32_t, float) {}

void CZkHierarchyNode::UpdateContribution(CZkGameObject*) {}

void CZkHierarchyNode::RefreshPositioningParam(uint32_t, float) {}

void CZkHierarchyNode::Refresh() {}

void CZkHierarchyNode::RefreshPositioning() {}

ZkUniqueID CZkHierarchyNode::EffectSlotID(uint32_t slotIndex) const
{
    const ZkEffectSlotBlock* block = m_effects.Block();
    return block != nullptr && slotIndex < kEffectSlotCount ? block->slots[slotIndex].effectID : 0;
}

ZKRESULT CZkHierarchyNode::PrepareByID(ZkUniqueID id)
{
    if (g_pObjectIndex == nullptr)
        return ZK_Fail;
    auto* node = static_cast<CZkHierarchyNode*>(g_pObjectIndex->GetNodePtrAndAddRef(id, false));
    if (node == nullptr)
        return ZK_Fail;
    const ZKRESULT result = node->PrepareMedia();
    if (result != ZK_Success)
        node->Release();
    return result; // on success the look-up's reference keeps the prepared node alive
}

void CZkHierarchyNode::UnprepareByID(ZkUniqueID id)
{
    if (g_pObjectIndex == nullptr)
        return;
    auto* node = static_cast<CZkHierarchyNode*>(g_pObjectIndex->GetNodePtrAndAddRef(id, false));
    if (node == nullptr)
        return;
    node->UnprepareMedia();
    node->Release(); // the look-up's
    node->Release(); // the one PrepareByID kept
}

ZKRESULT CZkHierarchyNode::ExecuteAction(ZkActionCode code, CZkGameObject* object, ZkTimeMs transitionTime,
                                         uint32_t curve, ZkPlayingID playingID)
{
    ZkActionParams params;
    params.code = code;
    params.gameObject = object;
    params.transitionTime = transitionTime;
    params.curve = curve;
    params.playingID = playingID;
    params.target = this;
    return ExecuteAction(params);
}

void CZkHierarchyNode::FollowStateTransitions(const ZkActionParams& params)
{
    if (!params.pausesStateTransitions || !params.resumesStateTransitions)
        return;
    if (params.code == ZkActionCode_Pause)
        PauseTransitions(true);
    else if (params.code == ZkActionCode_Stop || params.code == ZkActionCode_Resume)
        PauseTransitions(false);
}

bool CZkHierarchyNode::HasAncestor(const CZkHierarchyNode* ancestor) const
{
    for (const CZkHierarchyNode* level = this; level != nullptr; level = level->m_parent)
    {
        if (level == ancestor)
            return true;
    }
    return false;
}

bool CZkHierarchyNode::IsInList(const ZkNodeKey* keys, uint32_t count) const
{
    for (uint32_t index = 0; index < count; ++index)
    {
        if (keys[index].id == ID() && (keys[index].isBus != 0) == IsBus())
            return true;
    }
    return false;
}

bool CZkHierarchyNode::IsExcepted(const ZkActionParams& params) const
{
    if (params.exceptionCount == 0)
        return false;
    for (const CZkHierarchyNode* level = this; level != nullptr; level = level->m_parent)
    {
        if (level->IsInList(params.exceptions, params.exceptionCount))
            return true;
    }
    return false;
}

uint32_t CZkHierarchyNode::Depth() const
{
    uint32_t depth = 0;
    for (const CZkHierarchyNode* level = m_parent; level != nullptr; level = level->m_parent)
        ++depth;
    return depth;
}

bool CZkHierarchyNode::IsDescendantOf(const CZkHierarchyNode* node) const
{
    bool busChecked = false;
    for (const CZkHierarchyNode* level = this; level != nullptr; level = level->m_parent)
    {
        if (level == node)
            return true;
        if (!busChecked && level->m_outputBus != nullptr)
        {
            busChecked = true;
            if (level->m_outputBus->HasAncestor(node))
                return true;
        }
    }
    return false;
}

bool CZkHierarchyNode::HasSubscriptionInChain(ZkUniqueID groupID, bool busDone) const
{
    for (const CZkHierarchyNode* level = this; level != nullptr; level = level->m_parent)
    {
        if (level->FindLink(groupID) != nullptr)
            return true;
        if (!busDone && level->m_outputBus != nullptr)
        {
            busDone = true;
            if (level->m_outputBus->HasSubscriptionInChain(groupID, true))
                return true;
        }
    }
    return false;
}

ZkPropertyValue CZkHierarchyNode::GetProperty(uint32_t id) const
{
    if (id < kPropertyCount)
    {
        if (const uint8_t* stored = m_props.Find(static_cast<uint8_t>(id)))
            return ZkPropertyValue{ZK::LoadLittleEndian<uint32_t>(stored)};
    }
    return PropertyDefault(id);
}

bool CZkHierarchyNode::FindIdValuedProperty(uint32_t index, ZkPropertyValue& value) const
{
    const uint8_t* stored = m_props.Find(IdValuedPropertyID(index));
    if (stored == nullptr)
        return false;
    value = ZkPropertyValue{ZK::LoadLittleEndian<uint32_t>(stored)};
    return true;
}
} // namespace ZK::SoundEngine
