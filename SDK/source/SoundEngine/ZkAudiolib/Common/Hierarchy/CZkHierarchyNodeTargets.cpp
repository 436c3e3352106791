// CZkHierarchyNode: the game-parameter subscription walks of keyed targets, and the node's
// state-driven parameters (its part of CZkStateProperties).
//
// Node side, from the node up its parents, while the mask holds a parameter that is unclaimed or
// always set: a level offers the always-set parameters, those its override bits name and, at the
// root, the root set; the target is subscribed there for what is offered and not yet claimed, in
// each of the level's lists for the parameters that list drives. The level then claims its
// override parameters (and the root set). The first output bus met (when asked) starts the bus side,
// which walks the bus chain the same way with the bus offers.
#include "ZkAudiolib/Common/Hierarchy/CZkHierarchyNode.h"

#include "ZkAudiolib/Common/Containers/ZkNew.h"
#include "ZkAudiolib/Common/Parameters/CZkKeyedParamTarget.h"
#include "ZkAudiolib/Common/StateProperties/CZkStateGroupLink.h"

namespace ZK::SoundEngine
{
namespace
{
constexpr uint32_t kParamBits = 64;

uint64_t OverrideParams(uint64_t overrideMask) { return overrideMask << kOverrideParamOffset; }
} // namespace

void CZkHierarchyNode::SetLevelTarget(CZkKeyedParamTarget* target, uint64_t bits)
{
    m_params.SetTarget(target, bits & m_params.UsedBits());
    SetStateSubscriber(target, bits & StateDrivenMask());
    m_modifiedParams.SetTarget(target, bits & m_modifiedParams.UsedBits());
}

void CZkHierarchyNode::SetStateSubscriber(CZkKeyedParamTarget* target, uint64_t bits)
{
    if (m_stateStorage == nullptr)
        return;
    ZK::ZkArray<ZkStateSubscriber>& subscribers = m_stateStorage->subscribers;
    for (uint32_t index = 0; index < subscribers.Length(); ++index)
    {
        if (subscribers[index].target != target)
            continue;
        if (bits == 0)
            subscribers.Erase(index);
        else
            subscribers[index].mask = bits;
        return;
    }
    if (bits != 0)
        subscribers.AddLast(ZkStateSubscriber{bits, target}); // out of memory: the target hears no state
}

ZKRESULT CZkHierarchyNode::GetInheritedProperties(CZkKeyedParamTarget* target, uint64_t mask, bool includeBus)
{
    WalkTargetChain(target, mask, includeBus, false);
    return ZK_Success;
}

ZKRESULT CZkHierarchyNode::ClearInheritedSubscriptions(CZkKeyedParamTarget* target, uint64_t mask, bool includeBus)
{
    WalkTargetChain(target, mask, includeBus, true);
    return ZK_Success;
}

void CZkHierarchyNode::WalkTargetChain(CZkKeyedParamTarget* target, uint64_t mask, bool includeBus, bool clear)
{
    // The node's last reference may be an active subscription that this walk deactivates: the node
    // (and through its links its parents and buses) is held until the walk is done. A node that is
    // being destroyed (count 0: its destructor unregisters its targets) is not held again.
    const bool hold = refCount != 0;
    if (hold)
        AddRef();
    if (IsBus())
        SubscribeBusSide(target, mask, 0, clear);
    else
        WalkNodeSide(target, mask, includeBus, clear);
    if (hold)
        Release();
}

void CZkHierarchyNode::WalkNodeSide(CZkKeyedParamTarget* target, uint64_t mask, bool includeBus, bool clear)
{
    uint64_t claimed = 0;
    CZkHierarchyNode* busStart = nullptr;
    for (CZkHierarchyNode* level = this; level != nullptr && (mask & (~claimed | kAlwaysSetParams)) != 0;
         level = level->m_parent)
    {
        const uint64_t rootSet = level->m_parent == nullptr ? kRootParams : 0;
        const uint64_t offered = kAlwaysSetParams | OverrideParams(level->m_overrideMask) | rootSet;
        level->SetLevelTarget(target, clear ? 0 : mask & offered & ~claimed);
        claimed |= OverrideParams(level->m_overrideMask) | rootSet;
        if (includeBus && busStart == nullptr && level->m_outputBus != nullptr)
        {
            busStart = level->m_outputBus;
            if (busStart->NeedsProcessing())
                claimed |= kProcessingParams;
        }
    }
    if (busStart != nullptr)
        busStart->SubscribeBusSide(target, mask, claimed, clear);
}

void CZkHierarchyNode::SubscribeBusSide(CZkKeyedParamTarget* target, uint64_t mask, uint64_t claimed, bool clear)
{
    bool processingMet = false;
    for (CZkHierarchyNode* bus = this; bus != nullptr; bus = bus->m_parent)
    {
        // Until a bus that processes its mix is met, its parameters stay unclaimed.
        const uint64_t counted = processingMet ? claimed : claimed & ~kProcessingParams;
        if ((mask & (~counted | kBusAlwaysParams)) == 0)
            break;
        const uint64_t offered = kBusParams | (bus->m_parent != nullptr ? OverrideParams(bus->m_overrideMask) : 0);
        const uint64_t bits = clear ? 0 : mask & offered & ~counted;
        bus->SetLevelTarget(target, bits);
        if (CZkParamTargetList* extra = bus->ExtraTargetList())
            extra->SetTarget(target, bits & extra->UsedBits());
        claimed |= OverrideParams(bus->m_overrideMask);
        if (bus->NeedsProcessing())
        {
            processingMet = true;
            claimed |= kProcessingParams;
        }
    }
}

bool CZkHierarchyNode::EnsureStateStorage()
{
    if (m_stateStorage == nullptr)
        m_stateStorage = ZK::ZkNew<ZkNodeStateStorage>(kPool);
    return m_stateStorage != nullptr;
}

uint64_t CZkHierarchyNode::StateDrivenMask() const { return m_stateStorage != nullptr ? m_stateStorage->drivenMask : 0; }

void CZkHierarchyNode::RebuildStateDrivenMask()
{
    if (m_stateStorage == nullptr)
        return;
    uint64_t mask = 0;
    for (const ZkStateProperty& property : m_stateStorage->properties)
        mask |= 1ull << (property.propertyID % kParamBits);
    m_stateStorage->drivenMask = mask;
}

void CZkHierarchyNode::SetStateProperties(uint32_t count, const ZkStatePropertyInput* entries, bool apply)
{
    CZkStateProperties::SetStateProperties(count, entries, apply);
    RebuildStateDrivenMask();
}

ZKRESULT CZkHierarchyNode::ReadStateChunk(ZK::ZkByteCursor& cursor)
{
    const ZKRESULT result = CZkStateProperties::ReadStateChunk(cursor);
    RebuildStateDrivenMask();
    return result;
}

void CZkHierarchyNode::OnStateValueChanged(uint16_t propertyID, uint8_t, ZkUniqueID, float oldValue, float newValue,
                                           bool)
{
    if (m_stateStorage == nullptr)
        return;
    const uint32_t bit = propertyID % kParamBits;
    // A subscriber may leave while it is told: walk by index over a length read each time.
    for (uint32_t index = 0; m_stateStorage != nullptr && index < m_stateStorage->subscribers.Length(); ++index)
    {
        const ZkStateSubscriber subscriber = m_stateStorage->subscribers[index];
        if ((subscriber.mask >> bit & 1u) != 0)
            subscriber.target->SetParamValue(ID(), bit, newValue, newValue - oldValue);
    }
}

float CZkHierarchyNode::StateValue(uint16_t parameter) const
{
    float sum = 0.0f;
    if (m_stateStorage == nullptr || !IsStateUseEnabled())
        return sum;
    for (const CZkStateGroupLink* link = m_stateStorage->links; link != nullptr; link = link->nextInOwner)
    {
        if (const CZkStateGroupLink::Value* value = link->Values().Find(parameter))
            sum += value->value;
    }
    return sum;
}
} // namespace ZK::SoundEngine
