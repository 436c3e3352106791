#include "ZkAudiolib/Common/Hierarchy/CZkContainerNode.h"

#include "ZkAudiolib/Common/ObjectIndex/ObjectIndex.h"

#include <algorithm>
#include <cstring>

namespace ZK::SoundEngine
{
CZkContainerNode::~CZkContainerNode() { FreeChildren(); }

void CZkContainerNode::FreeChildren()
{
    if (!ChildrenInline())
        ZK::MemoryMgr::Free(kArrayPool, m_children);
    m_children = &m_inlineChild;
    m_childCapacity = 1;
    m_childCount = 0;
}

ZKRESULT CZkContainerNode::ReserveChildren(uint32_t count)
{
    if (count <= m_childCapacity)
        return ZK_Success;
    auto* grown = static_cast<CZkHierarchyNode**>(ZK::MemoryMgr::Malloc(kArrayPool, sizeof(CZkHierarchyNode*) * count));
    if (grown == nullptr)
        return ZK_InsufficientMemory;
    if (m_childCount > 0)
        std::memcpy(grown, m_children, sizeof(CZkHierarchyNode*) * m_childCount);
    if (!ChildrenInline())
        ZK::MemoryMgr::Free(kArrayPool, m_children);
    m_children = grown;
    m_childCapacity = count;
    return ZK_Success;
}

bool CZkContainerNode::GrowChildren()
{
    const uint64_t grown = uint64_t{m_childCapacity} + m_childCapacity + m_childCapacity / 2;
    return grown <= UINT32_MAX && ReserveChildren(static_cast<uint32_t>(grown)) == ZK_Success;
}

uint32_t CZkContainerNode::LowerBound(ZkUniqueID id, bool& found) const
{
    CZkHierarchyNode** end = m_children + m_childCount;
    CZkHierarchyNode** at =
        std::lower_bound(m_children, end, id, [](const CZkHierarchyNode* child, ZkUniqueID key) { return child->ID() < key; });
    found = at != end && (*at)->ID() == id;
    return static_cast<uint32_t>(at - m_children);
}

ZKRESULT CZkContainerNode::ReadCommonBody(CZkHierarchyNode* node, ZkNodeCategory category, ZK::ZkByteCursor& cursor,
                                          bool partial)
{
    if (node->Category() != category)
        return ZK_AlreadyExists; // the id is another class's node: it stays as it is
    if (!cursor.Skip(sizeof(ZkUniqueID)))
        return ZK_InvalidFile;
    const ZKRESULT base = node->SetBaseFromBank(cursor, partial);
    return base == ZK_Success && partial ? ZK_NothingToReport : base;
}

CZkHierarchyNode* CZkContainerNode::FindChild(ZkUniqueID id) const
{
    bool found = false;
    const uint32_t index = LowerBound(id, found);
    return found ? m_children[index] : nullptr;
}

ZKRESULT CZkContainerNode::CanLinkChild(const CZkHierarchyNode* child) const
{
    if (child->Parent() != nullptr)
        return ZK_ChildRoutedElsewhere;
    if (FindChild(child->ID()) == child)
        return ZK_AlreadyAChild;
    if (HasAncestor(child))
        return ZK_BusWouldBeOwnChild;
    return ZK_Success;
}

ZKRESULT CZkContainerNode::CanAddChild(const CZkHierarchyNode* child) const
{
    if (m_childCount == UINT32_MAX)
        return ZK_EffectInOtherSlot;
    const ZkNodeCategory category = child->Category();
    if (category < ZkNodeCategory_Playlist || category > ZkNodeCategory_Layered)
        return ZK_NotImplemented;
    return CanLinkChild(child);
}

ZKRESULT CZkContainerNode::AddChild(CZkHierarchyNode* child)
{
    const ZKRESULT valid = CanAddChild(child);
    if (valid != ZK_Success)
        return valid;
    if (m_childCount == m_childCapacity && !GrowChildren())
        return ZK_Fail;
    bool found = false;
    const uint32_t index = LowerBound(child->ID(), found);
    std::memmove(m_children + index + 1, m_children + index, sizeof(CZkHierarchyNode*) * (m_childCount - index));
    m_children[index] = child;
    ++m_childCount;
    child->SetParent(this);
    return ZK_Success;
}

ZKRESULT CZkContainerNode::AddChildByID(ZkUniqueID id)
{
    if (g_pObjectIndex == nullptr)
        return ZK_Fail;
    auto* child = static_cast<CZkHierarchyNode*>(g_pObjectIndex->GetNodePtrAndAddRef(id, false));
    if (child == nullptr)
        return ZK_InvalidID;
    const ZKRESULT result = AddChild(child);
    child->Release();
    return result;
}

void CZkContainerNode::RemoveChild(CZkHierarchyNode* child)
{
    if (child->Parent() != this)
        return;
    bool found = false;
    const uint32_t index = LowerBound(child->ID(), found);
    if (!found || m_children[index] != child)
        return;
    std::memmove(m_children + index, m_children + index + 1, sizeof(CZkHierarchyNode*) * (m_childCount - index - 1));
    --m_childCount;
}

void CZkContainerNode::RemoveChildByID(ZkUniqueID id)
{
    CZkHierarchyNode* child = FindChild(id);
    if (child == nullptr || child->Parent() != this)
        return;
    RemoveChild(child);
    child->SetParent(nullptr);
}

void CZkContainerNode::RemoveAllChildren()
{
    while (ChildCount() > 0)
    {
        const uint32_t before = ChildCount();
        RemoveChildByID(Child(before - 1)->ID());
        if (ChildCount() == before)
            break;
    }
}

ZKRESULT CZkContainerNode::ExecuteAction(const ZkActionParams& params)
{
    if (IsExcepted(params))
        return ZK_Success;
    FollowStateTransitions(params);
    if (PlayCount() <= 0 && VirtualCount() <= 0)
        return ZK_Success;
    for (uint32_t index = m_childCount; index-- > 0;)
    {
        if (index < m_childCount)
            m_children[index]->ExecuteAction(params);
    }
    return ZK_Success;
}

void CZkContainerNode::PropagateParamDelta(uint32_t parameter, float delta)
{
    ForEachActiveChild([&](CZkHierarchyNode& child) { child.PropagateParamDelta(parameter, delta); });
}

void CZkContainerNode::UpdateContribution(CZkGameObject* object)
{
    ForEachActiveChild([&](CZkHierarchyNode& child) { child.UpdateContribution(object); });
}

void CZkContainerNode::RefreshPositioningParam(uint32_t parameter, float value)
{
    ForEachActiveChild([&](CZkHierarchyNode& child) {
        if ((child.OverrideMask() & kOverridePositioning) == 0)
            child.RefreshPositioningParam(parameter, value);
    });
}

void CZkContainerNode::Refresh()
{
    ForEachActiveChild([](CZkHierarchyNode& child) { child.Refresh(); });
}

void CZkContainerNode::RefreshPositioning()
{
    ForEachActiveChild([](CZkHierarchyNode& child) { child.RefreshPositioning(); });
}

ZKRESULT CZkContainerNode::PrepareMedia()
{
    for (uint32_t index = 0; index < m_childCount; ++index)
    {
        const ZKRESULT result = m_children[index]->PrepareMedia();
        if (result != ZK_Success)
        {
            while (index-- > 0)
                UnprepareHeld(*m_children[index]);
            return result;
        }
    }
    return ZK_Success;
}

void CZkContainerNode::UnprepareMedia()
{
    for (uint32_t index = 0; index < m_childCount;)
    {
        if (UnprepareHeld(*m_children[index]))
            ++index;
    }
}

void CZkContainerNode::CollectStreamedMedia(const ZkStreamedMediaRequest& request, bool active) const
{
    for (uint32_t index = 0; index < m_childCount; ++index)
        m_children[index]->CollectStreamedMedia(request, active);
}

ZKRESULT CZkContainerNode::PlayChild(CZkHierarchyNode* child, PlayLaunchParams& params)
{
    auto* playable = dynamic_cast<CZkPlayableNode*>(child);
    return playable != nullptr ? playable->Launch(params) : ZK_NotImplemented;
}
} // namespace ZK::SoundEngine
