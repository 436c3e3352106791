// CZkHierarchyNode: runtime property changes and the node's game-parameter subscriptions.
//
// A float property change depends on what the property drives:
//   ids 0-6, 19-26, 60-69, 72 (summed into voices): live instances move by the delta;
//   ids 12, 13, 73 and 14, 71 (positioning values): live instances take the new positioning value;
//   any other id: the node's settings are refreshed.
// Setting a property to the value it has changes nothing and tells nobody.
#include "ZkAudiolib/Common/Hierarchy/CZkHierarchyNode.h"

#include "ZkAudiolib/Common/Parameters/CZkRTPCMgr.h"

namespace ZK::SoundEngine
{
namespace
{
enum class FloatGroup
{
    Delta,
    Positioning,
    Other,
};

FloatGroup GroupOf(uint32_t id)
{
    if (id <= 6 || (id >= 19 && id <= 26) || (id >= 60 && id <= 69) || id == 72)
        return FloatGroup::Delta;
    if (id == 12 || id == 13 || id == 73 || id == 14 || id == 71)
        return FloatGroup::Positioning;
    return FloatGroup::Other;
}

// The positioning property a positioning parameter pushes back when its game parameter goes.
int32_t PositioningPropertyOf(uint32_t bit)
{
    switch (bit)
    {
    case 18: return ZkProp_PositioningValue1;
    case 19: return ZkProp_PositioningValue2;
    case 58: return ZkProp_PositioningValue3;
    default: return -1;
    }
}
} // namespace

ZKRESULT CZkHierarchyNode::StoreProperty(uint32_t id, ZkPropertyValue value)
{
    if (id >= kPropertyCount)
        return ZK_InvalidParameter;
    return m_props.Set(static_cast<uint8_t>(id), &value.bits);
}

ZKRESULT CZkHierarchyNode::SetIntProperty(uint32_t id, int32_t value)
{
    if (GetProperty(id).AsInt() == value)
        return ZK_Success;
    const ZKRESULT result = StoreProperty(id, ZkPropertyValue::FromInt(value));
    if (result == ZK_Success)
        Refresh();
    return result;
}

ZKRESULT CZkHierarchyNode::SetFloatProperty(uint32_t id, float value)
{
    const float current = GetProperty(id).AsFloat();
    if (current == value)
        return ZK_Success;
    const uint8_t parameter = PropertyParameter(id);
    switch (GroupOf(id))
    {
    case FloatGroup::Delta:
        PropagateParamDelta(parameter, value - current);
        return StoreProperty(id, ZkPropertyValue::FromFloat(value));
    case FloatGroup::Positioning:
        RefreshPositioningParam(parameter, value);
        return StoreProperty(id, ZkPropertyValue::FromFloat(value));
    case FloatGroup::Other:
    default:
    {
        const ZKRESULT result = StoreProperty(id, ZkPropertyValue::FromFloat(value));
        if (result == ZK_Success)
            Refresh();
        return result;
    }
    }
}

ZKRESULT CZkHierarchyNode::SubscribeRTPC(ZkUniqueID paramID, uint32_t paramType, uint32_t combineMode, uint32_t bit,
                                         uint32_t curveID, uint32_t scaling, const ZkCurvePoint* points,
                                         uint32_t pointCount)
{
    const ZKRESULT result = m_params.SubscribeRTPC(paramID, paramType, combineMode, bit, curveID, scaling, points, pointCount);
    if (result == ZK_Success)
        Refresh();
    return result;
}

void CZkHierarchyNode::UnsubscribeRTPC(uint32_t bit, uint32_t curveID)
{
    m_params.RemoveParamBit(bit, curveID);
    Refresh();
    const int32_t property = PositioningPropertyOf(bit);
    if (property >= 0)
        RefreshPositioningParam(bit, GetFloatProperty(static_cast<uint32_t>(property)));
    else if (bit >= 20 && bit <= 22)
        RefreshPositioning();
}
} // namespace ZK::SoundEngine
