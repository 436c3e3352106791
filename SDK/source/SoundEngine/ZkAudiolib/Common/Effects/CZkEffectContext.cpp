#include "ZkAudiolib/Common/Effects/CZkEffectContext.h"

#include "ZkAudiolib/Common/Effects/CZkEffectObject.h"
#include "ZkAudiolib/Common/Parameters/CZkRTPCMgr.h"
#include "ZkAudiolib/Common/Parameters/ZkRTPCTypes.h"
#include "ZkAudiolib/Common/Plugins/CZkPluginContextBase.h"

#include <Plugins/Effects/Common/ZkPluginMemAlloc.h>

namespace ZK::SoundEngine
{
void CZkEffectContext::Bind(CZkPluginContextBase& pluginContext, CZkMixContext* owner, uint32_t slot) const
{
    pluginContext.Bind(owner, slot, m_effect);
}

ZKRESULT CZkEffectContext::InitPlugin(ZK::IZkInPlaceEffectPlugin& plugin, ZK::IZkPluginMemAlloc* allocator,
                                      ZK::IZkEffectPluginContext* pluginContext,
                                      ZK::ZkEffectFormat& format) const
{
    return plugin.Init(allocator, pluginContext, m_params, format);
}

bool CZkEffectContext::SubscribeOne(const ZkEffectSubscription& subscription)
{
    if (g_pRTPCMgr == nullptr)
        return true; // no game parameters to follow
    const uint32_t pointCount = subscription.curve.PointCount();
    if (pointCount < 2)
        return false;
    const ZKRESULT result = g_pRTPCMgr->SubscribeRTPC(
        this, subscription.gameParamID, subscription.paramType, subscription.kind, subscription.target,
        subscription.curveID, subscription.curve.Scaling(), &subscription.curve.Point(1), pointCount - 2, m_key,
        ZkRTPCSubscriberKind_Effect, true);
    // Modulators drive nothing until their manager takes subscriptions for keys.
    return result == ZK_Success ||
           (subscription.paramType == kEffectParamTypeModulator && result == ZK_NotImplemented);
}

void CZkEffectContext::Unsubscribe()
{
    if (m_effect != nullptr && g_pRTPCMgr != nullptr)
    {
        for (const ZkEffectSubscription& subscription : m_effect->Subscriptions())
            g_pRTPCMgr->UnsubscribeRTPC(this, subscription.target);
    }
    m_key = ZkRTPCKey::Global();
    if (m_params != nullptr)
        m_params->Term(&CZkPluginMemAlloc::ForParameters());
    m_params = nullptr;
    if (m_effect != nullptr)
    {
        CZkEffectObject* effect = m_effect;
        effect->UnlinkContext(*this);
        m_effect = nullptr;
        effect->Release();
    }
    m_contributions.Term();
}

float CZkEffectContext::Total(uint16_t paramID, uint8_t kind) const
{
    float total = EffectKindNeutral(kind);
    bool hasOther = false;
    for (const ZkEffectContribution& contribution : m_contributions)
        hasOther |= contribution.paramID == paramID && contribution.keyID != kContributionInitial;
    for (const ZkEffectContribution& contribution : m_contributions)
    {
        if (contribution.paramID != paramID)
            continue;
        if (kind == kEffectKindExclusive && contribution.keyID == kContributionInitial && hasOther)
            continue;
        total = EffectKindCombine(kind, total, contribution.value);
    }
    return total;
}

void CZkEffectContext::RemoveContributions(uint16_t paramID)
{
    for (uint32_t index = m_contributions.Length(); index-- > 0;)
    {
        if (m_contributions[index].paramID == paramID)
            m_contributions.Erase(index);
    }
}

void CZkEffectContext::Send(uint16_t paramID, float value) const
{
    if (m_params != nullptr)
        m_params->SetParam(paramID, &value, sizeof(value));
}

void CZkEffectContext::SendInitial(const ZkEffectInitialValue& initial)
{
    const CZkEffectStateProperties& states = m_effect->StateProperties();
    const ZkStateProperty* property = states.FindProperty(initial.paramID);
    const uint8_t kind = property != nullptr ? property->kind : initial.drivenKind;
    float total = EffectKindNeutral(kind);
    bool hasOther = false;
    for (const ZkEffectContribution& contribution : m_contributions)
    {
        if (contribution.paramID != initial.paramID)
            continue;
        total = EffectKindCombine(kind, total, contribution.value);
        hasOther |= contribution.keyID != kContributionInitial;
    }
    if (property != nullptr)
    {
        hasOther |= kind == kEffectKindMultiply ? states.MultiplyStateContributions(*this, initial.paramID, total)
                                                : states.AddStateContributions(*this, initial.paramID, total);
    }
    if (kind == kEffectKindExclusive && hasOther)
        total -= initial.value;
    Send(initial.paramID, total);
}

void CZkEffectParams::SetParam(CZkEffectContext& context, uint32_t keyID, uint32_t secondKey, uint16_t paramID,
                               uint8_t type, float value)
{
    if (type == kEffectKindRaw)
    {
        context.Send(paramID, value);
        return;
    }
    ZK::ZkArray<ZkEffectContribution, CZkEffectContext::kContributionPool>& contributions = context.Contributions();
    bool stored = false;
    for (ZkEffectContribution& contribution : contributions)
    {
        if (contribution.keyID == keyID && contribution.secondKey == secondKey && contribution.paramID == paramID)
        {
            contribution.value = value;
            stored = true;
            break;
        }
    }
    if (!stored)
        contributions.AddLast({keyID, secondKey, paramID, value}); // a full array that cannot grow drops it
    context.Send(paramID, context.Total(paramID, type));
}
} // namespace ZK::SoundEngine
