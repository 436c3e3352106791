#include "ZkAudiolib/Common/Effects/CZkEffectStateProperties.h"

#include "ZkAudiolib/Common/Containers/ZkNew.h"
#include "ZkAudiolib/Common/Effects/CZkEffectContext.h"
#include "ZkAudiolib/Common/Effects/CZkEffectObject.h"
#include "ZkAudiolib/Common/Parameters/CZkRTPCMgr.h"
#include "ZkAudiolib/Common/StateProperties/CZkStateGroupLink.h"

namespace ZK::SoundEngine
{
CZkEffectStateProperties::~CZkEffectStateProperties()
{
    if (m_storage == nullptr)
        return;
    if (m_storage->links != nullptr)
    {
        ClearTransitions();
        RemoveAllStateGroups(false);
    }
    m_storage->links = nullptr;
    m_storage->properties.Term();
    ZK::ZkDelete(kStoragePool, m_storage);
    m_storage = nullptr;
}

bool CZkEffectStateProperties::EnsureStateStorage()
{
    if (m_storage == nullptr)
        m_storage = ZK::ZkNew<ZkStateStorage>(kStoragePool);
    return m_storage != nullptr;
}

const ZkStateProperty* CZkEffectStateProperties::FindProperty(uint16_t paramID) const
{
    if (m_storage == nullptr)
        return nullptr;
    for (const ZkStateProperty& property : m_storage->properties)
    {
        if (property.propertyID == paramID)
            return &property;
    }
    return nullptr;
}

bool CZkEffectStateProperties::StateContributions(CZkEffectContext& context, uint16_t paramID, float& total,
                                                  bool multiply) const
{
    const ZkStateStorage* storage = StateStorage();
    if (storage == nullptr || storage->links == nullptr)
        return false;
    const float neutral = multiply ? 1.0f : 0.0f;
    for (const CZkStateGroupLink* link = storage->links; link != nullptr; link = link->nextInOwner)
    {
        const CZkStateGroupLink::Value* value = link->Values().Find(paramID);
        const float x = value != nullptr && IsStateUseEnabled() ? value->value : neutral;
        // A full array that cannot grow drops the contribution; its value still counts.
        context.Contributions().AddLast({kContributionStateGroup, link->groupID, paramID, x});
        total = multiply ? total * x : total + x;
    }
    return true;
}

bool CZkEffectStateProperties::AddStateContributions(CZkEffectContext& context, uint16_t paramID, float& total) const
{
    return StateContributions(context, paramID, total, false);
}

bool CZkEffectStateProperties::MultiplyStateContributions(CZkEffectContext& context, uint16_t paramID,
                                                          float& total) const
{
    return StateContributions(context, paramID, total, true);
}

void CZkEffectStateProperties::OnStateValueChanged(uint16_t propertyID, uint8_t kind, ZkUniqueID groupID, float,
                                                   float newValue, bool)
{
    for (CZkEffectContext* context = m_owner.FirstContext(); context != nullptr; context = context->NextOfEffect())
        CZkEffectParams::SetParam(*context, kContributionStateGroup, groupID, propertyID, kind, newValue);
}

void CZkEffectStateProperties::RebuildParameter(CZkEffectContext& context, const ZkEffectInitialValue& initial) const
{
    const uint16_t paramID = initial.paramID;
    float total = initial.value;
    uint8_t kind = 0;
    if (const ZkStateProperty* property = FindProperty(paramID))
    {
        const bool found = property->kind == kEffectKindMultiply ? MultiplyStateContributions(context, paramID, total)
                                                                 : AddStateContributions(context, paramID, total);
        if (found)
            kind = property->kind;
    }
    for (const ZkEffectSubscription& subscription : m_owner.Subscriptions())
    {
        if (subscription.target != paramID)
            continue;
        kind = subscription.kind;
        const float value =
            g_pRTPCMgr != nullptr ? g_pRTPCMgr->GetModulatorValue(&context, paramID, context.Key()) : 0.0f;
        if (context.Contributions().AddLast({kContributionGameParam, subscription.gameParamID, paramID, value}) !=
            nullptr)
            total = EffectKindCombine(kind, total, value);
    }
    if (kind == kEffectKindExclusive)
        total -= initial.value;
    else
        context.Contributions().AddLast({kContributionInitial, 0, paramID, initial.value});
    context.Send(paramID, total);
}

void CZkEffectStateProperties::RebuildContext(CZkEffectContext& context) const
{
    context.Contributions().RemoveAll();
    for (const ZkEffectInitialValue& initial : m_owner.InitialValues())
    {
        if (initial.drivenKind != kEffectKindNotDriven)
            RebuildParameter(context, initial);
    }
}

void CZkEffectStateProperties::RebuildContexts() const
{
    for (CZkEffectContext* context = m_owner.FirstContext(); context != nullptr; context = context->NextOfEffect())
        RebuildContext(*context);
}

void CZkEffectStateProperties::SetStateProperties(uint32_t count, const ZkStatePropertyInput* entries, bool apply)
{
    CZkStateProperties::SetStateProperties(count, entries, false);
    if (m_storage == nullptr)
        return;
    ZK::ZkArray<ZkEffectInitialValue>& initialValues = m_owner.InitialValues();
    for (const ZkStateProperty& property : m_storage->properties)
    {
        for (ZkEffectInitialValue& initial : initialValues)
        {
            if (initial.paramID == property.propertyID)
            {
                initial.drivenKind = property.kind;
                break;
            }
        }
    }
    if (apply)
        ApplyCurrentStates();
}
} // namespace ZK::SoundEngine
