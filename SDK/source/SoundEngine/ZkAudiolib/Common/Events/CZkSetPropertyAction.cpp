#include "ZkAudiolib/Common/Events/CZkSetPropertyAction.h"

#include "ZkAudiolib/Common/GameObjects/CZkRegisteredObj.h"
#include "ZkAudiolib/Common/Hierarchy/CZkHierarchyNode.h"
#include "ZkAudiolib/Common/Hierarchy/CZkModifiedProps.h"

namespace ZK::SoundEngine
{
namespace
{
uint8_t PropertyOfKind(uint8_t kind)
{
    switch (kind)
    {
    case ZkActionKind_SetGain:
    case ZkActionKind_ResetGain: return ZkProp_Gain;
    case 0x08:
    case 0x09: return 2;
    case 0x0A:
    case 0x0B: return 0;
    case 0x0C:
    case 0x0D: return 5;
    case 0x0E:
    case 0x0F: return 3;
    default: return 4; // 0x20 and 0x30
    }
}
} // namespace

CZkSetPropertyAction::CZkSetPropertyAction(uint16_t type, ZkUniqueID id)
    : CZkPropertyActionBase(type, id), m_propertyID(PropertyOfKind(ActionKindOf(type)))
{
}

bool CZkSetPropertyAction::IsGainKind() const
{
    return Kind() == ZkActionKind_SetGain || Kind() == ZkActionKind_ResetGain;
}

ZKRESULT CZkSetPropertyAction::ReadExtraParams(ZK::ZkByteCursor& cursor)
{
    if (IsGainKind())
        return ZK_Success;
    return m_value.ReadWithMeaning(cursor) ? ZK_Success : ZK_InvalidFile;
}

void CZkSetPropertyAction::ApplyForObject(CZkHierarchyNode* node, CZkRegisteredObj* object)
{
    float value;
    if (IsGainKind())
    {
        value = GetProperty(ZkProp_Gain).AsFloat() + RandomFloatOffset(ZkProp_Gain);
    }
    else
    {
        value = m_value.Draw();
        if (m_value.meaning == ZkValueMeaning_Offset)
        {
            CZkModifiedProps* record = node->FindModifiedProps(object);
            value += record != nullptr ? record->Value(m_propertyID) : CZkModifiedProps::NeutralValue(m_propertyID);
        }
    }
    node->SetModifiedProperty(object, m_propertyID, value, GetFadeTime(), Curve());
}

void CZkSetPropertyAction::ResetForObject(CZkHierarchyNode* node, CZkRegisteredObj* object)
{
    node->ResetModifiedProperty(object, m_propertyID, GetFadeTime(), Curve());
}

void CZkSetPropertyAction::ResetGlobal(CZkHierarchyNode* node)
{
    const ZkTimeMs fade = GetFadeTime();
    node->ResetModifiedProperty(nullptr, m_propertyID, fade, Curve());
    node->ResetAllModifiedProperties(m_propertyID, fade, Curve());
}
} // namespace ZK::SoundEngine
