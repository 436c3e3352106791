// CZkBus: the node operations that a bus passes on. A bus has no instances of its own: what reaches
// it goes to the children that play (their activity records count plays), to its child buses (the
// voices routed through them gather this bus too), and to the mix stages of the render side that
// are this bus's.
//
//   actions                      every child, last to first: non-bus children, then child buses
//                                (nothing while the bus is idle, nor when an all-objects action
//                                excepts the bus or a parent bus)
//   gain, deltas, refresh        child buses that play or are virtual, then non-bus children that
//                                play
//   positioning values           non-bus children that play and do not override positioning
//   positioning refresh          child buses, then non-bus children, playing or virtual
//   prepare / unprepare media    every non-bus child
#include "ZkAudiolib/Common/Hierarchy/CZkBus.h"

#include "ZkAudiolib/Common/Renderer/CZkAudioRenderer.h"

namespace ZK::SoundEngine
{
namespace
{
// Parameters of properties 0, 2, 3 and 4 reach the voices; the bus's mix stage applies the others.
bool IsVoiceParameter(uint32_t parameter)
{
    const uint32_t property = ParameterProperty(parameter);
    return property == 0 || (property >= 2 && property <= 4);
}

// Receiver flags of parameters 34 to 36.
uint64_t ReceiverFlagOf(uint32_t parameter)
{
    switch (parameter)
    {
    case 35: return 1ull << 16;
    case 34:
    case 36: return 1ull << 32;
    default: return 0;
    }
}
} // namespace

template <typename Visit>
void CZkBus::ForEachActiveChild(bool withBuses, bool withVirtual, Visit visit)
{
    // A child may leave while it is visited: walk by index over lengths read each time.
    if (withBuses)
    {
        for (uint32_t index = 0; index < m_childBuses.Length(); ++index)
        {
            CZkBus* bus = m_childBuses[index];
            if (bus->PlayCount() > 0 || bus->VirtualCount() > 0)
                visit(*static_cast<CZkHierarchyNode*>(bus));
        }
    }
    for (uint32_t index = 0; index < m_children.Length(); ++index)
    {
        CZkHierarchyNode* child = m_children[index];
        if (child->PlayCount() > 0 || (withVirtual && child->VirtualCount() > 0))
            visit(*child);
    }
}

ZKRESULT CZkBus::ExecuteAction(const ZkActionParams& params)
{
    if (IsExcepted(params))
        return ZK_Success; // nothing routed through an excepted bus is touched
    FollowStateTransitions(params);
    if (PlayCount() <= 0 && VirtualCount() <= 0)
        return ZK_Success;
    ZkActionParams passed = params;
    passed.throughBuses = true;
    for (uint32_t index = m_children.Length(); index-- > 0;)
    {
        if (index < m_children.Length())
            m_children[index]->ExecuteAction(passed);
    }
    for (uint32_t index = m_childBuses.Length(); index-- > 0;)
    {
        if (index < m_childBuses.Length())
            m_childBuses[index]->ExecuteAction(passed);
    }
    return ZK_Success;
}

void CZkBus::PropagateParamDelta(uint32_t parameter, float delta)
{
    if (NeedsProcessing())
    {
        if (const uint64_t flag = ReceiverFlagOf(parameter))
        {
            m_receiverFlags |= flag;
            return;
        }
        if (!IsVoiceParameter(parameter))
        {
            const uint32_t property = ParameterProperty(parameter);
            CZkAudioRenderer::PropagateBusPropertyChange(ID(), parameter, GetFloatProperty(property) + delta, delta);
            return;
        }
    }
    ForEachActiveChild(true, false, [&](CZkHierarchyNode& child) { child.PropagateParamDelta(parameter, delta); });
}

void CZkBus::UpdateContribution(CZkGameObject* object)
{
    ForEachActiveChild(true, false, [&](CZkHierarchyNode& child) { child.UpdateContribution(object); });
}

void CZkBus::RefreshPositioningParam(uint32_t parameter, float value)
{
    ForEachActiveChild(false, false, [&](CZkHierarchyNode& child) {
        if ((child.OverrideMask() & kOverridePositioning) == 0)
            child.RefreshPositioningParam(parameter, value);
    });
}

void CZkBus::Refresh()
{
    if (NeedsProcessing())
    {
        m_busFlags |= kFlagNotified;
        CZkAudioRenderer::NotifyBusInstances(ID());
    }
    ForEachActiveChild(true, false, [](CZkHierarchyNode& child) { child.Refresh(); });
}

void CZkBus::RefreshPositioning()
{
    ForEachActiveChild(true, true, [](CZkHierarchyNode& child) { child.RefreshPositioning(); });
}

ZKRESULT CZkBus::PrepareMedia()
{
    for (uint32_t index = 0; index < m_children.Length(); ++index)
    {
        const ZKRESULT result = m_children[index]->PrepareMedia();
        if (result != ZK_Success)
            return result;
    }
    return ZK_Success;
}

void CZkBus::UnprepareMedia()
{
    for (uint32_t index = 0; index < m_children.Length();)
    {
        if (UnprepareHeld(*m_children[index]))
            ++index;
    }
}

ZKRESULT CZkBus::SetFloatProperty(uint32_t id, float value)
{
    constexpr uint32_t kLastPushedProperty = 5;
    if (id > kLastPushedProperty)
        return CZkHierarchyNode::SetFloatProperty(id, value);
    const uint8_t* stored = m_props.Find(static_cast<uint8_t>(id));
    const float current = GetFloatProperty(id);
    if (stored != nullptr && current == value)
        return ZK_Success;
    const ZKRESULT result = StoreProperty(id, ZkPropertyValue::FromFloat(value));
    if (result == ZK_Success && value != current)
        PropagateParamDelta(PropertyParameter(id), value - current);
    return result;
}

ZKRESULT CZkBus::SubscribeRTPC(ZkUniqueID paramID, uint32_t paramType, uint32_t combineMode, uint32_t bit,
                               uint32_t curveID, uint32_t scaling, const ZkCurvePoint* points, uint32_t pointCount)
{
    return WithProcessingCheck([&] {
        return CZkHierarchyNode::SubscribeRTPC(paramID, paramType, combineMode, bit, curveID, scaling, points,
                                               pointCount);
    });
}

void CZkBus::UnsubscribeRTPC(uint32_t bit, uint32_t curveID)
{
    WithProcessingCheck([&] { CZkHierarchyNode::UnsubscribeRTPC(bit, curveID); });
}

void CZkBus::OnEffectSlotIndexChanged(uint32_t slotIndex)
{
    CZkAudioRenderer::MarkBusInstancesDirty(ID(), slotIndex);
    // The slot has already changed, so the answer before cannot be asked: a playing bus whose
    // effects changed lets the graph look again whether it needs its own mix stage.
    if (IsPlaying())
        CZkAudioRenderer::SetGraphDirty(0);
    Refresh();
}

void CZkBus::GatherVoiceParams(ZkVoiceParams& params, const ZkGatherRequest& request)
{
    CZkHierarchyNode::GatherVoiceParams(params, request);
    constexpr uint8_t kVolumeProperty = 0;
    params.Add(kVolumeProperty, DuckValue(kVolumeProperty));
    if (IsBackgroundMusic() && IsBackgroundMusicMuted())
        params.SetGain(this, true, 0.0f);
}

void CZkBus::NotifyEffectBypass(uint8_t, uint8_t)
{
    // A bus's effects run in its mix stages, which read the bits again when told of the change.
    Refresh();
}

void CZkBus::SetInstanceValue(float value, uint32_t id)
{
    if (Parent() != nullptr)
        CZkAudioRenderer::SetBusInstanceValue(ID(), value, id);
}

void CZkBus::ForwardBusNotification(uint32_t flags, uint32_t moreFlags)
{
    CZkAudioRenderer::ForwardBusNotification(ID(), flags, moreFlags);
}
} // namespace ZK::SoundEngine
