// CZkBus: creation and destruction, the child arrays, and the tree queries.
#include "ZkAudiolib/Common/Hierarchy/CZkBus.h"

#include "ZkAudiolib/Common/Containers/ZkNew.h"

namespace ZK::SoundEngine
{
namespace
{
template <typename Bus>
CZkBus* CreateBus(ZkUniqueID id)
{
    auto* bus = ZK::ZkNew<Bus>(CZkHierarchyNode::kPool, id);
    if (bus == nullptr)
        return nullptr;
    if (bus->AddToIndex() != ZK_Success)
    {
        ZK::ZkDelete(CZkHierarchyNode::kPool, bus);
        return nullptr;
    }
    return bus;
}
} // namespace

CZkBus::CZkBus(ZkUniqueID id) : CZkHierarchyNode(id), m_duckTargets(id, this) { SetBusFlag(true); }

CZkBus* CZkBus::Create(ZkUniqueID id) { return CreateBus<CZkBus>(id); }

CZkBus* CZkBusType18::Create(ZkUniqueID id) { return CreateBus<CZkBusType18>(id); }

CZkBus::~CZkBus()
{
    // The record's limiters leave their subscriptions while the bus is whole.
    if (Activity() != nullptr)
        FreeActivityIfIdle();
    LeaveBackgroundMusic();
    StopDucking();
    FreeDuckRecords();
    m_ducks.Term();
    LeaveTopLevelList();
    m_children.Term();
    m_childBuses.Term();
    if (m_mixer != nullptr)
        ZK::MemoryMgr::Free(kPool, m_mixer);
    m_mixer = nullptr;
}

template <typename Array>
uint32_t CZkBus::LowerBound(const Array& array, ZkUniqueID id)
{
    uint32_t low = 0;
    uint32_t high = array.Length();
    while (low < high)
    {
        const uint32_t middle = low + (high - low) / 2;
        if (array[middle]->ID() < id)
            low = middle + 1;
        else
            high = middle;
    }
    return low;
}

CZkHierarchyNode* CZkBus::FindChild(ZkUniqueID id) const
{
    const uint32_t at = LowerBound(m_children, id);
    return at < m_children.Length() && m_children[at]->ID() == id ? m_children[at] : nullptr;
}

CZkBus* CZkBus::FindChildBus(ZkUniqueID id) const
{
    const uint32_t at = LowerBound(m_childBuses, id);
    return at < m_childBuses.Length() && m_childBuses[at]->ID() == id ? m_childBuses[at] : nullptr;
}

ZKRESULT CZkBus::AddChild(CZkHierarchyNode* child)
{
    const bool childIsBus = child->IsBus();
    // A child routed to another bus leaves it first.
    CZkHierarchyNode* current = childIsBus ? child->Parent() : child->OutputBus();
    if (current == this)
        return ZK_AlreadyAChild;
    if (current != nullptr)
        current->RemoveChild(child);
    if ((childIsBus ? child->Parent() : child->OutputBus()) != nullptr)
        return ZK_ChildRoutedElsewhere;
    if (childIsBus ? FindChildBus(child->ID()) != nullptr : FindChild(child->ID()) != nullptr)
        return ZK_AlreadyAChild;
    if (childIsBus && HasAncestor(child))
        return ZK_BusWouldBeOwnChild;
    if (childIsBus)
    {
        auto* bus = static_cast<CZkBus*>(child);
        if (m_childBuses.Insert(LowerBound(m_childBuses, bus->ID()), bus) == nullptr)
            return ZK_Fail;
        child->SetParent(this);
        return ZK_Success;
    }
    const uint32_t at = LowerBound(m_children, child->ID());
    if (m_children.Insert(at, child) == nullptr)
        return ZK_Fail;
    child->SetOutputBus(this);
    if (child->OutputBus() == this)
        return ZK_Success;
    // The child's plays could not be counted here: it stays without a bus.
    m_children.Erase(at);
    return ZK_InsufficientMemory;
}

void CZkBus::RemoveChild(CZkHierarchyNode* child)
{
    if (child->IsBus())
    {
        const uint32_t at = LowerBound(m_childBuses, child->ID());
        if (at < m_childBuses.Length() && m_childBuses[at] == child)
            m_childBuses.Erase(at);
        if (child->Parent() == this)
            child->SetParent(nullptr);
        return;
    }
    const uint32_t at = LowerBound(m_children, child->ID());
    if (at < m_children.Length() && m_children[at] == child)
        m_children.Erase(at);
    if (child->OutputBus() == this)
        child->SetOutputBus(nullptr);
}

uint32_t CZkBus::EnumerateTree(ZkBusTreeEntry* entries, uint32_t capacity) const
{
    uint32_t written = 0;
    // Depth first with an explicit walk: each level's children, then the child buses' trees.
    struct Walker
    {
        ZkBusTreeEntry* entries;
        uint32_t capacity;
        uint32_t& written;
        void Visit(const CZkBus& bus, uint32_t depth)
        {
            for (const CZkHierarchyNode* child : bus.m_children)
            {
                if (written == capacity)
                    return;
                entries[written++] = ZkBusTreeEntry{child->ID(), bus.ID(), depth};
            }
            for (const CZkBus* child : bus.m_childBuses)
            {
                if (written == capacity)
                    return;
                entries[written++] = ZkBusTreeEntry{child->ID(), bus.ID(), depth};
                Visit(*child, depth + 1);
            }
        }
    };
    Walker{entries, capacity, written}.Visit(*this, 1);
    return written;
}

CZkBus* CZkBus::MixStageBus()
{
    for (CZkHierarchyNode* level = this; level != nullptr; level = level->Parent())
    {
        auto* bus = static_cast<CZkBus*>(level);
        if (bus->NeedsProcessing())
            return bus;
    }
    return nullptr;
}
} // namespace ZK::SoundEngine
