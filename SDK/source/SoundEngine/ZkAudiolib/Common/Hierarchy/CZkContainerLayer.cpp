#include "ZkAudiolib/Common/Hierarchy/CZkContainerLayer.h"

#include "ZkAudiolib/Common/Bytes/ZkByteCursor.h"
#include "ZkAudiolib/Common/Containers/ZkNew.h"
#include "ZkAudiolib/Common/Hierarchy/CZkLayeredContainerNode.h"
#include "ZkAudiolib/Common/Hierarchy/CZkPlayableNode.h"
#include "ZkAudiolib/Common/ObjectIndex/ObjectIndex.h"
#include "ZkAudiolib/Common/Parameters/CZkRTPCMgr.h"
#include "ZkAudiolib/Common/Parameters/ZkBankRTPCEntry.h"
#include "ZkAudiolib/Common/Parameters/ZkRTPCTypes.h"

#include <cstring>

namespace ZK::SoundEngine
{
namespace
{
ZkIndexTable& LayerTable() { return g_pObjectIndex->Table(ZkIndexKind::Layers); }

constexpr size_t kPointBytes = sizeof(ZkCurvePoint);
constexpr size_t kAssociationHeaderBytes = sizeof(uint32_t) * 2;

// An association of the record: its child and its (unaligned) points.
struct BankAssociation
{
    ZkUniqueID childID = 0;
    uint32_t pointCount = 0;
    const uint8_t* points = nullptr;

    bool Read(ZK::ZkByteCursor& cursor)
    {
        if (!cursor.Read(childID) || !cursor.Read(pointCount) || !cursor.Holds(pointCount, kPointBytes))
            return false;
        points = cursor.Take(size_t{pointCount} * kPointBytes);
        return true;
    }
};

// The fields of a record after its id, up to the associations: the bindings are walked (each
// within the bytes), then the crossfade parameter and the association count.
bool SkipBindings(ZK::ZkByteCursor& cursor)
{
    uint16_t count = 0;
    if (!cursor.Read(count))
        return false;
    for (uint32_t index = 0; index < count; ++index)
    {
        ZkBankRTPCEntry entry;
        if (!entry.Read(cursor))
            return false;
    }
    return true;
}
} // namespace

CZkContainerLayer* CZkContainerLayer::Create(ZkUniqueID id)
{
    if (g_pObjectIndex == nullptr)
        return nullptr;
    auto* layer = ZK::ZkNew<CZkContainerLayer>(kPool, id);
    if (layer != nullptr && LayerTable().Insert(layer) != ZK_Success)
    {
        ZK::ZkDelete(kPool, layer);
        return nullptr;
    }
    return layer;
}

CZkContainerLayer* CZkContainerLayer::Find(ZkUniqueID id)
{
    return g_pObjectIndex != nullptr ? static_cast<CZkContainerLayer*>(LayerTable().GetPtrAndAddRef(id)) : nullptr;
}

ZKRESULT CZkContainerLayer::SkipRecord(ZK::ZkByteCursor& cursor)
{
    ZkUniqueID id = 0;
    ZkUniqueID crossfade = 0;
    uint8_t type = 0;
    uint32_t count = 0;
    if (!cursor.Read(id) || !SkipBindings(cursor) || !cursor.Read(crossfade) || !cursor.Read(type) ||
        !cursor.Read(count) || !cursor.Holds(count, kAssociationHeaderBytes))
        return ZK_InvalidFile;
    for (uint32_t index = 0; index < count; ++index)
    {
        BankAssociation association;
        if (!association.Read(cursor))
            return ZK_InvalidFile;
    }
    return ZK_Success;
}

CZkContainerLayer::~CZkContainerLayer()
{
    if (g_pRTPCMgr != nullptr)
    {
        for (uint32_t bit = 0; bit < 64; ++bit)
        {
            if ((m_propertyMask >> bit & 1u) != 0)
                g_pRTPCMgr->UnsubscribeRTPC(this, bit);
        }
        if (m_crossfadeID != 0)
            g_pRTPCMgr->UnsubscribeRTPC(this, kCrossfadeBit);
    }
    UnlinkChildren();
    for (CZkLayerAssociation& association : m_associations)
        association.Term();
    m_associations.Term();
}

uint32_t CZkContainerLayer::AddRef() { return LayerTable().AddRef(this); }

uint32_t CZkContainerLayer::Release() { return LayerTable().Release(this); }

void CZkContainerLayer::Destroy() { ZK::ZkDelete(kPool, this); }

void CZkContainerLayer::SetOwner(CZkLayeredContainerNode* owner)
{
    if (owner == m_owner)
        return;
    UnlinkChildren();
    m_owner = owner;
    if (m_owner == nullptr)
        return;
    // A child that is not the new owner's stays unlinked (it links if it becomes the owner's).
    for (CZkLayerAssociation& association : m_associations)
        LinkAssociation(association);
}

ZKRESULT CZkContainerLayer::ReadFromBank(ZK::ZkByteCursor& cursor)
{
    if (!cursor.Skip(sizeof(ZkUniqueID)))
        return ZK_InvalidFile;
    ZKRESULT result = ReadBindings(cursor);
    if (result != ZK_Success)
        return result;
    ZkUniqueID crossfade = 0;
    uint8_t type = 0;
    if (!cursor.Read(crossfade) || !cursor.Read(type))
        return ZK_InvalidFile;
    if (crossfade != m_crossfadeID)
        SetCrossfade(crossfade, type);
    return ReadAssociations(cursor);
}

ZKRESULT CZkContainerLayer::ReadBindings(ZK::ZkByteCursor& cursor)
{
    uint16_t count = 0;
    if (!cursor.Read(count))
        return ZK_InvalidFile;
    for (uint32_t index = 0; index < count; ++index)
    {
        ZkBankRTPCEntry entry;
        if (!entry.Read(cursor))
            return ZK_InvalidFile;
        m_propertyMask |= uint64_t{1} << (entry.bit % 64);
        if (g_pRTPCMgr == nullptr)
            continue;
        const ZKRESULT result = entry.WithAlignedPoints([&](const ZkCurvePoint* points, uint32_t pointCount) {
            return g_pRTPCMgr->SubscribeRTPC(this, entry.paramID, entry.paramType, entry.combineMode, entry.bit,
                                             entry.curveID, entry.scaling, points, pointCount, ZkRTPCKey::Global(),
                                             ZkRTPCSubscriberKind_LayerA, IsOwnerPlaying());
        });
        if (result != ZK_Success)
            return result;
    }
    return ZK_Success;
}

void CZkContainerLayer::SetCrossfade(ZkUniqueID id, uint8_t type)
{
    if (g_pRTPCMgr != nullptr && m_crossfadeID != 0)
        g_pRTPCMgr->UnsubscribeRTPC(this, kCrossfadeBit);
    m_crossfadeID = id;
    m_crossfadeType = type;
    if (m_owner != nullptr && id != 0 &&
        (g_pRTPCMgr == nullptr ||
         g_pRTPCMgr->SubscribeLayerCrossfade(this, id, type, IsOwnerPlaying()) != ZK_Success))
        m_crossfadeID = 0;
    // The children's instances gather their gains again from the new parameter.
    ForEachActiveChild([](CZkHierarchyNode& child) { child.Refresh(); });
}

ZKRESULT CZkContainerLayer::ReadAssociations(ZK::ZkByteCursor& cursor)
{
    uint32_t count = 0;
    if (!cursor.Read(count) || !cursor.Holds(count, kAssociationHeaderBytes))
        return ZK_InvalidFile;
    if (m_associations.Reserve(m_associations.Length() + count) != ZK_Success)
        return ZK_InsufficientMemory;
    for (uint32_t index = 0; index < count; ++index)
    {
        BankAssociation association;
        if (!association.Read(cursor))
            return ZK_InvalidFile;
        ZkCurvePoint* points = nullptr;
        if (association.pointCount != 0)
        {
            // The bank's points may lie unaligned: the curve is set from an aligned copy.
            points = static_cast<ZkCurvePoint*>(
                ZK::MemoryMgr::Malloc(ZkMemID_Default, size_t{association.pointCount} * kPointBytes));
            if (points == nullptr)
                return ZK_InsufficientMemory;
            std::memcpy(points, association.points, size_t{association.pointCount} * kPointBytes);
        }
        const ZKRESULT result = SetChildCurve(association.childID, points, association.pointCount);
        if (points != nullptr)
            ZK::MemoryMgr::Free(ZkMemID_Default, points);
        if (result != ZK_Success)
            return result;
    }
    return ZK_Success;
}

CZkLayerAssociation* CZkContainerLayer::FindAssociation(ZkUniqueID childID)
{
    for (CZkLayerAssociation& association : m_associations)
    {
        if (association.childID == childID)
            return &association;
    }
    return nullptr;
}

ZKRESULT CZkContainerLayer::SetChildCurve(ZkUniqueID childID, const ZkCurvePoint* points, uint32_t count)
{
    CZkLayerAssociation* association = FindAssociation(childID);
    if (association == nullptr)
    {
        association = m_associations.AddLast();
        if (association == nullptr)
            return ZK_InsufficientMemory;
        *association = CZkLayerAssociation{};
        association->childID = childID;
        const ZKRESULT linked = LinkAssociation(*association);
        if (linked != ZK_Success)
        {
            RemoveAssociation(m_associations.Length() - 1);
            return linked;
        }
    }
    return association->SetCurve(points, count);
}

void CZkContainerLayer::RemoveAssociation(uint32_t index)
{
    UnlinkAssociation(m_associations[index]);
    m_associations[index].Term();
    m_associations.Erase(index);
}

ZKRESULT CZkContainerLayer::LinkAssociation(CZkLayerAssociation& association)
{
    if (association.child != nullptr || m_owner == nullptr || g_pObjectIndex == nullptr)
        return ZK_Success;
    auto* node = static_cast<CZkHierarchyNode*>(g_pObjectIndex->GetNodePtrAndAddRef(association.childID, false));
    if (node == nullptr)
        return ZK_Success; // linked when the child is added to the owner
    ZKRESULT result = ZK_Success;
    if (node->Parent() == m_owner)
    {
        auto* playable = dynamic_cast<CZkPlayableNode*>(node);
        if (playable != nullptr && playable->AddLayerLink(this) == ZK_Success)
            association.child = node;
        else
            result = ZK_InsufficientMemory;
    }
    else if (node->Parent() != nullptr)
    {
        result = ZK_Fail;
    }
    node->Release();
    return result;
}

void CZkContainerLayer::UnlinkAssociation(CZkLayerAssociation& association)
{
    if (association.child == nullptr)
        return;
    if (auto* playable = dynamic_cast<CZkPlayableNode*>(association.child))
        playable->RemoveLayerLink(this);
    association.child = nullptr;
    // Instances that play on are no longer under the owner: they leave with the link.
    while (association.InstanceCount() != 0)
        association.RemoveInstance(association.Instance(0));
}

void CZkContainerLayer::LinkChild(CZkHierarchyNode* child)
{
    if (CZkLayerAssociation* association = FindAssociation(child->ID()))
        LinkAssociation(*association);
}

void CZkContainerLayer::UnlinkChild(CZkHierarchyNode* child)
{
    for (CZkLayerAssociation& association : m_associations)
    {
        if (association.child == child)
            UnlinkAssociation(association);
    }
}

void CZkContainerLayer::UnlinkChildren()
{
    for (CZkLayerAssociation& association : m_associations)
        UnlinkAssociation(association);
}

template <typename Visit>
void CZkContainerLayer::ForEachActiveChild(Visit visit)
{
    for (uint32_t index = 0; index < m_associations.Length(); ++index)
    {
        CZkHierarchyNode* child = m_associations[index].child;
        if (child != nullptr && child->PlayCount() > 0)
            visit(*child);
    }
}

bool CZkContainerLayer::IsOwnerPlaying() const { return m_owner != nullptr && m_owner->IsActive(); }

float CZkContainerLayer::ParamValueFor(const ZkRTPCKey& key, bool& objectSpecific) const
{
    objectSpecific = false;
    float value = 0.0f;
    if (g_pRTPCMgr == nullptr || m_crossfadeID == 0)
        return value;
    ZkRTPCKey scope = key;
    if (g_pRTPCMgr->GetRTPCValue(m_crossfadeID, scope, value))
        objectSpecific = scope.gameObject != nullptr;
    return value;
}

bool CZkContainerLayer::IsChildSilent(ZkUniqueID childID, const ZkRTPCKey& key)
{
    const CZkLayerAssociation* association = FindAssociation(childID);
    if (association == nullptr || association->audibleRanges == nullptr)
        return false;
    bool objectSpecific = false;
    return association->IsSilentAt(ParamValueFor(key, objectSpecific));
}

void CZkContainerLayer::Subscribe(bool active)
{
    if (g_pRTPCMgr == nullptr)
        return;
    if (active)
        g_pRTPCMgr->ActivateSubscriptions(this, m_propertyMask);
    else
        g_pRTPCMgr->DeactivateSubscriptions(this, m_propertyMask);
    if (m_crossfadeID != 0)
        g_pRTPCMgr->ActivateCrossfadeSubscription(this, m_crossfadeID, active);
}

ZKRESULT CZkContainerLayer::Refresh(bool)
{
    ForEachActiveChild([](CZkHierarchyNode& child) { child.Refresh(); });
    return ZK_Success;
}

ZKRESULT CZkContainerLayer::ForwardPropertyChange(uint32_t bit, float newValue, float oldValue)
{
    const float delta = newValue - oldValue;
    ForEachActiveChild([&](CZkHierarchyNode& child) { child.PropagateParamDelta(bit, delta); });
    return ZK_Success;
}
} // namespace ZK::SoundEngine
