// CZkEffectObject: filling the contexts of the places where its plug-in runs.
//
// A context gets its own parameter object (a clone of the parameter block; none without a block),
// links itself at the head of the object's context list and references the object; its
// contributions are sized for the initial values, the subscriptions that combine (kind other than
// 1) and the state contributions (properties x groups), and start with one initial contribution
// per initial value. Each driven parameter is sent (its state contributions included), then every
// subscription is subscribed with the context as target and the context's key, which sends the
// game parameters' current values combined with the rest.
#include "ZkAudiolib/Common/Effects/CZkEffectObject.h"

#include "ZkAudiolib/Common/Effects/CZkEffectContext.h"
#include "ZkAudiolib/Common/GameObjects/CZkRegisteredObj.h"
#include "ZkAudiolib/Common/Parameters/CZkRTPCMgr.h"
#include "ZkAudiolib/Common/StateProperties/CZkStateGroupLink.h"

#include <Plugins/Effects/Common/ZkPluginMemAlloc.h>

namespace ZK::SoundEngine
{
namespace
{
uint32_t StateGroupCount(const ZkStateStorage* storage)
{
    uint32_t count = 0;
    for (const CZkStateGroupLink* link = storage != nullptr ? storage->links : nullptr; link != nullptr;
         link = link->nextInOwner)
        ++count;
    return count;
}
} // namespace

bool CZkEffectObject::CreateInstancePlugin(CZkEffectContext& context, uint32_t, CZkGameObject* gameObject)
{
    return CreatePluginInstance(context, ZkRTPCKey::ForObject(static_cast<CZkRegisteredObj*>(gameObject)));
}

bool CZkEffectObject::CreatePluginInstance(CZkEffectContext& context, const ZkRTPCKey& key)
{
    context.Unsubscribe();
    if (pluginParams != nullptr)
    {
        context.m_params = pluginParams->Clone(&CZkPluginMemAlloc::ForParameters());
        if (context.m_params == nullptr)
            return false;
    }
    const ZkStateStorage* storage = m_stateProperties.StateStorage();
    uint32_t combining = 0;
    for (const ZkEffectSubscription& subscription : m_subscriptions)
        combining += subscription.kind != kEffectKindRaw ? 1u : 0u;
    const uint64_t stateContributions =
        uint64_t{storage != nullptr ? storage->properties.Length() : 0u} * StateGroupCount(storage);
    const uint64_t capacity = uint64_t{m_initialValues.Length()} + combining + stateContributions;
    if (capacity > 0xFFFFFFFFu || context.m_contributions.Reserve(static_cast<uint32_t>(capacity)) != ZK_Success)
    {
        context.Unsubscribe();
        return false;
    }
    for (const ZkEffectInitialValue& initial : m_initialValues)
        context.m_contributions.AddLast({kContributionInitial, 0, initial.paramID, initial.value});
    context.m_key = key;
    AddRef();
    context.m_effect = this;
    LinkContext(context);

    // Every driven parameter reaches the plug-in with its state contributions; the subscriptions
    // then combine their game parameters' current values with them (a raw one replaces it).
    for (const ZkEffectInitialValue& initial : m_initialValues)
    {
        if (initial.drivenKind != kEffectKindNotDriven)
            context.SendInitial(initial);
    }
    for (const ZkEffectSubscription& subscription : m_subscriptions)
    {
        if (!context.SubscribeOne(subscription))
        {
            context.Unsubscribe();
            return false;
        }
    }
    return true;
}
} // namespace ZK::SoundEngine
