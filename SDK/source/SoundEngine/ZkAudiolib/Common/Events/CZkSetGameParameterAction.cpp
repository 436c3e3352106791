#include "ZkAudiolib/Common/Events/CZkSetGameParameterAction.h"

#include "ZkAudiolib/Common/Parameters/CZkRTPCMgr.h"

namespace ZK::SoundEngine
{
ZKRESULT CZkSetGameParameterAction::ReadExtraParams(ZK::ZkByteCursor& cursor)
{
    uint8_t bypass = 0;
    if (!cursor.Read(bypass) || !m_value.ReadWithMeaning(cursor))
        return ZK_InvalidFile;
    m_bypassTransition = bypass != 0;
    return ZK_Success;
}

void CZkSetGameParameterAction::ApplyForObject(CZkHierarchyNode*, CZkRegisteredObj* object)
{
    if (g_pRTPCMgr == nullptr)
        return;
    TransParamsBase transition{GetFadeTime(), Curve(), m_bypassTransition};
    g_pRTPCMgr->SetRTPCInternal(TargetID(), m_value.Draw(), ZkRTPCKey::ForObject(object), transition, m_value.meaning,
                                false);
}

void CZkSetGameParameterAction::ResetForObject(CZkHierarchyNode*, CZkRegisteredObj* object)
{
    if (g_pRTPCMgr == nullptr)
        return;
    TransParamsBase transition{GetFadeTime(), Curve(), m_bypassTransition};
    g_pRTPCMgr->ResetRTPCValueForKey(TargetID(), ZkRTPCKey::ForObject(object), transition);
}
} // namespace ZK::SoundEngine
