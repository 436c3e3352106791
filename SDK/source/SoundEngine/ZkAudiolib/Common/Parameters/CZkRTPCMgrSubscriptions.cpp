// CZkRTPCMgr: subscriptions, their activation and their current values.
#include "ZkAudiolib/Common/Parameters/CZkRTPCMgr.h"

#include "ZkAudiolib/Common/Containers/ZkNew.h"
#include "ZkAudiolib/Common/GameObjects/CZkRegisteredObj.h"
#include "ZkAudiolib/Common/GameSyncs/CZkSwitchMgr.h"
#include "ZkAudiolib/Common/Modulators/CZkModulator.h"
#include "ZkAudiolib/Common/Parameters/CZkModulatorMgr.h"
#include "ZkAudiolib/Common/Parameters/CZkParamTargetList.h"
#include "ZkAudiolib/Common/Parameters/CZkRTPCOverrideFilter.h"
#include "ZkAudiolib/Common/Effects/CZkEffectContext.h"
#include "ZkAudiolib/Common/Hierarchy/CZkContainerLayer.h"
#include "ZkAudiolib/Common/Playback/CZkNodeInstanceBase.h"

namespace ZK::SoundEngine
{
namespace
{
constexpr ZkMemoryId kSubscriptionPool = ZkMemID_Default;
// Bits whose modulators are applied by the voice itself, not through a subscription's value.
constexpr uint32_t kVoiceModulatedBitA = 0;
constexpr uint32_t kVoiceModulatedBitB = 7;

} // namespace

ZkRTPCSubscription* CZkRTPCMgr::FindSubscription(const void* target, uint32_t bit) const
{
    if (m_subscriptions.BucketCount() == 0)
        return nullptr;
    const uint32_t hash = ZkRTPCSubscription::HashOf(target, bit);
    for (ZkRTPCSubscription* item = m_subscriptions.Bucket(hash % m_subscriptions.BucketCount()); item != nullptr;
         item = item->pNextItem)
    {
        if (item->target == target && item->bit == bit)
            return item;
    }
    return nullptr;
}

void CZkRTPCMgr::AddSubscriberRef(const ZkRTPCSubscription& subscription)
{
    if (subscription.kind == ZkRTPCSubscriberKind_TargetList)
    {
        if (CZkIndexedObject* node = static_cast<CZkParamTargetList*>(subscription.target)->OwnerNode())
            node->AddRef();
    }
    else if (subscription.kind == ZkRTPCSubscriberKind_LayerA || subscription.kind == ZkRTPCSubscriberKind_LayerCrossfade)
    {
        static_cast<CZkContainerLayer*>(subscription.target)->AddRef();
    }
}

void CZkRTPCMgr::ReleaseSubscriberRef(const ZkRTPCSubscription& subscription)
{
    if (subscription.kind == ZkRTPCSubscriberKind_TargetList)
    {
        if (CZkIndexedObject* node = static_cast<CZkParamTargetList*>(subscription.target)->OwnerNode())
            node->Release();
    }
    else if (subscription.kind == ZkRTPCSubscriberKind_LayerA || subscription.kind == ZkRTPCSubscriberKind_LayerCrossfade)
    {
        static_cast<CZkContainerLayer*>(subscription.target)->Release();
    }
}

bool CZkRTPCMgr::DetachFromEntry(ZkRTPCParamEntry& entry, ZkRTPCSubscription* subscription)
{
    const bool wasActive = ZkRTPCParamEntry::RemoveFrom(entry.active, subscription);
    ZkRTPCParamEntry::RemoveFrom(entry.inactive, subscription);
    if (wasActive)
        ReleaseSubscriberRef(*subscription);
    return wasActive;
}

void CZkRTPCMgr::DetachFromAllEntries(ZkRTPCSubscription* subscription)
{
    bool held = false;
    for (const ZkRTPCCurveRef& curve : subscription->curves)
    {
        ZkRTPCParamEntry* entry = m_params.Find(curve.paramID);
        if (entry != nullptr && entry->Holds(subscription))
        {
            DetachFromEntry(*entry, subscription);
            held = true;
        }
    }
    if (held)
        return;
    for (uint32_t bucket = 0; bucket < m_params.BucketCount(); ++bucket)
    {
        for (ZkRTPCParamEntry* entry = m_params.Bucket(bucket); entry != nullptr; entry = entry->pNextItem)
            DetachFromEntry(*entry, subscription);
    }
}

void CZkRTPCMgr::DestroySubscription(ZkRTPCSubscription* subscription)
{
    m_subscriptions.Unlink(subscription);
    DetachFromAllEntries(subscription);
    // Without curves the subscription names no modulator any more: every modulator lets it go.
    subscription->FreeCurves();
    if (g_pModulatorMgr != nullptr)
        g_pModulatorMgr->RemoveSubscription(subscription, 0);
    ZK::ZkDelete(kSubscriptionPool, subscription);
}

ZKRESULT CZkRTPCMgr::SubscribeRTPC(void* target, ZkUniqueID paramID, uint32_t paramType, uint32_t combineMode,
                                   uint32_t bit, uint32_t curveID, uint32_t scaling, const ZkCurvePoint* points,
                                   uint32_t pointCount, const ZkRTPCKey& key, uint32_t kind, bool active)
{
    if (target == nullptr)
        return ZK_InvalidParameter;

    ZkRTPCSubscription* subscription = FindSubscription(target, bit);
    if (subscription != nullptr)
    {
        const uint32_t replaced = subscription->FindCurve(curveID);
        if (replaced != subscription->curves.Length())
        {
            const ZkUniqueID oldParam = subscription->curves[replaced].paramID;
            subscription->RemoveCurve(replaced);
            if (!subscription->NamesParam(oldParam))
            {
                if (ZkRTPCParamEntry* entry = m_params.Find(oldParam))
                    DetachFromEntry(*entry, subscription);
                if (g_pModulatorMgr != nullptr)
                    g_pModulatorMgr->RemoveSubscription(subscription, oldParam);
            }
        }
    }
    else
    {
        subscription = ZK::ZkNew<ZkRTPCSubscription>(kSubscriptionPool);
        if (subscription == nullptr)
            return ZK_InsufficientMemory;
        subscription->target = target;
        subscription->bit = bit;
        subscription->hashKey = ZkRTPCSubscription::HashOf(target, bit);
        subscription->key = key;
        subscription->kind = kind;
        subscription->combineMode = combineMode;
        if (m_subscriptions.Insert(subscription) != ZK_Success)
        {
            ZK::ZkDelete(kSubscriptionPool, subscription);
            return ZK_InsufficientMemory;
        }
    }

    ZKRESULT result = ZK_Success;
    const bool curveLess = bit == kRTPCCrossfadeBit && kind == ZkRTPCSubscriberKind_LayerCrossfade;
    bool curveAdded = false;
    if (points != nullptr && pointCount > 0)
    {
        ZkRTPCCurveRef* curve = subscription->curves.AddLast();
        if (curve == nullptr)
        {
            result = ZK_InsufficientMemory;
        }
        else
        {
            curve->curveID = curveID;
            curve->paramID = paramID;
            curve->cachedSegment = kCurveFirstSegment;
            result = curve->curve.Set(points, pointCount, scaling);
            if (result != ZK_Success)
                subscription->curves.Erase(subscription->curves.Length() - 1);
            curveAdded = result == ZK_Success;
        }
    }
    else if (!curveLess)
    {
        result = ZK_InvalidParameter;
    }

    if (result == ZK_Success)
    {
        if (paramType == kRTPCParamTypeModulator)
        {
            result = g_pModulatorMgr != nullptr ? g_pModulatorMgr->AddSubscription(paramID, subscription)
                                                : ZK_NotImplemented;
        }
        else
        {
            ZkRTPCParamEntry* entry = FindOrCreateEntry(paramID);
            if (entry == nullptr)
            {
                result = ZK_InsufficientMemory;
            }
            else if (!entry->Holds(subscription))
            {
                const uint32_t room = 2 * (entry->active.Length() + entry->inactive.Length() + 1);
                auto& list = active ? entry->active : entry->inactive;
                if (entry->active.Reserve(room) != ZK_Success || entry->inactive.Reserve(room) != ZK_Success ||
                    !ZkRTPCParamEntry::InsertSorted(list, subscription))
                    result = ZK_InsufficientMemory;
                else if (active)
                    AddSubscriberRef(*subscription);
            }
        }
        // A curve that could not be attached to its parameter is not kept half-made.
        if (result != ZK_Success && curveAdded)
            subscription->RemoveCurve(subscription->FindCurve(curveID));
    }

    if (result == ZK_Success)
        PushCurrentValue(subscription, paramID);
    if (subscription->curves.IsEmpty() && !curveLess)
        DestroySubscription(subscription);
    return result;
}

void CZkRTPCMgr::UnsubscribeRTPC(void* target, uint32_t bit)
{
    if (ZkRTPCSubscription* subscription = FindSubscription(target, bit))
        DestroySubscription(subscription);
}

void CZkRTPCMgr::UnsubscribeRTPCCurve(void* target, uint32_t bit, uint32_t curveID, bool& stillSubscribed)
{
    stillSubscribed = false;
    ZkRTPCSubscription* subscription = FindSubscription(target, bit);
    if (subscription == nullptr)
        return;
    const uint32_t index = subscription->FindCurve(curveID);
    if (index != subscription->curves.Length())
    {
        const ZkUniqueID paramID = subscription->curves[index].paramID;
        subscription->RemoveCurve(index);
        if (!subscription->NamesParam(paramID))
        {
            if (ZkRTPCParamEntry* entry = m_params.Find(paramID))
                DetachFromEntry(*entry, subscription);
            if (g_pModulatorMgr != nullptr)
                g_pModulatorMgr->RemoveSubscription(subscription, paramID);
        }
    }
    if (subscription->curves.IsEmpty())
    {
        DestroySubscription(subscription);
        return;
    }
    stillSubscribed = true;
}

void CZkRTPCMgr::UnsubscribeKey(ZkUniqueID id, const ZkRTPCKey& key)
{
    ZkRTPCParamEntry* entry = m_params.Find(id);
    if (entry == nullptr)
        return;

    // Subscriptions keyed exactly on key. Each one is taken out of every parameter it names before
    // it is freed, so that no other parameter keeps a pointer to it.
    for (auto* list : {&entry->active, &entry->inactive})
    {
        for (uint32_t index = list->Length(); index-- > 0;)
        {
            if (index < list->Length() && (*list)[index]->key == key)
                DestroySubscription((*list)[index]);
        }
    }

    for (ZkRTPCTransitionLink* link = entry->links; link != nullptr;)
    {
        ZkRTPCTransitionLink* next = link->next;
        if (key.Matches(link->key))
            entry->DropLink(link);
        link = next;
    }
    entry->tree.RemoveMatching(key);
}

void CZkRTPCMgr::MoveSubscription(ZkRTPCSubscription* subscription, ZkUniqueID paramID, bool toActive)
{
    ZkRTPCParamEntry* entry = m_params.Find(paramID);
    if (entry == nullptr)
        return;
    auto& from = toActive ? entry->inactive : entry->active;
    auto& to = toActive ? entry->active : entry->inactive;
    const uint32_t index = from.Find(subscription);
    if (index == from.Length() || !ZkRTPCParamEntry::InsertSorted(to, subscription))
        return; // not there, or no room: it stays where it was
    from.Erase(index);
    if (toActive)
        AddSubscriberRef(*subscription);
    else
        ReleaseSubscriberRef(*subscription);
}

void CZkRTPCMgr::ActivateSubscriptions(void* target, uint64_t bitMask)
{
    for (uint32_t bit = 0; bit < 64; ++bit)
    {
        if ((bitMask >> bit & 1u) == 0)
            continue;
        if (ZkRTPCSubscription* subscription = FindSubscription(target, bit))
        {
            for (uint32_t index = 0; index < subscription->curves.Length(); ++index)
                MoveSubscription(subscription, subscription->curves[index].paramID, true);
        }
    }
}

void CZkRTPCMgr::DeactivateSubscriptions(void* target, uint64_t bitMask)
{
    for (uint32_t bit = 0; bit < 64; ++bit)
    {
        if ((bitMask >> bit & 1u) == 0)
            continue;
        if (ZkRTPCSubscription* subscription = FindSubscription(target, bit))
        {
            for (uint32_t index = 0; index < subscription->curves.Length(); ++index)
                MoveSubscription(subscription, subscription->curves[index].paramID, false);
        }
    }
}

void CZkRTPCMgr::ActivateCrossfadeSubscription(void* target, ZkUniqueID id, bool active)
{
    if (ZkRTPCSubscription* subscription = FindSubscription(target, kRTPCCrossfadeBit))
        MoveSubscription(subscription, id, active);
}

ZKRESULT CZkRTPCMgr::SubscribeLayerCrossfade(void* layer, ZkUniqueID id, uint32_t paramType, bool active)
{
    return SubscribeRTPC(layer, id, paramType, 0, kRTPCCrossfadeBit, 0, ZkCurveScaling_None, nullptr, 0,
                         ZkRTPCKey::Global(), ZkRTPCSubscriberKind_LayerCrossfade, active);
}

ZKRESULT CZkRTPCMgr::SubscribeSwitchGroup(void* group, ZkUniqueID id, uint32_t paramType, const ZkCurvePoint* points,
                                          uint32_t pointCount, uint32_t scaling)
{
    return SubscribeRTPC(group, id, paramType, 0, kRTPCCrossfadeBit, 0, scaling, points, pointCount,
                         ZkRTPCKey::Global(), ZkRTPCSubscriberKind_SwitchGroup, true);
}

float CZkRTPCMgr::EvaluateTargetCurve(void* target, const ZkRTPCKey& key)
{
    ZkRTPCSubscription* subscription = FindSubscription(target, kRTPCCrossfadeBit);
    if (subscription == nullptr || subscription->curves.IsEmpty())
        return 0.0f;
    ZkRTPCCurveRef& curve = subscription->curves[0];
    ZkRTPCKey scope = key;
    float value = 0.0f;
    GetRTPCValue(curve.paramID, scope, value);
    return curve.curve.Evaluate(value, curve.cachedSegment);
}

float CZkRTPCMgr::CurrentValueFor(ZkUniqueID paramID, const ZkRTPCKey& key)
{
    ZkRTPCParamEntry* entry = m_params.Find(paramID);
    if (entry != nullptr)
    {
        // A built-in parameter read for a game object: the object brings its built-in values up
        // to date first (its geometry may not have been computed since it moved).
        if (entry->builtInRow != 0 && key.gameObject != nullptr)
            key.gameObject->UseBuiltInParam(entry->builtInRow);
        ZkRTPCKey scope = key;
        if (const float* slot = entry->tree.FindBestMatch(scope))
            return *slot;
        return entry->defaultValue;
    }
    float modulated = 0.0f;
    if (g_pModulatorMgr != nullptr && g_pModulatorMgr->GetValue(paramID, key, modulated))
        return modulated;
    return 0.0f;
}

float CZkRTPCMgr::GetModulatorValue(const void* subscriber, uint32_t bit, const ZkRTPCKey& key)
{
    ZkRTPCSubscription* subscription = FindSubscription(subscriber, bit);
    return subscription != nullptr ? EvaluateSubscriptionFor(subscription, key) : 0.0f;
}

float CZkRTPCMgr::EvaluateSubscription(ZkRTPCSubscription* subscription, ZkUniqueID paramID)
{
    return EvaluateSubscriptionFor(subscription, subscription->key, paramID);
}

float CZkRTPCMgr::EvaluateSubscriptionFor(ZkRTPCSubscription* subscription, const ZkRTPCKey& key, ZkUniqueID paramID)
{
    const bool multiply = subscription->combineMode == kRTPCCombineMultiply;
    float combined = multiply ? 1.0f : 0.0f;
    for (ZkRTPCCurveRef& curve : subscription->curves)
    {
        if (paramID != 0 && curve.paramID != paramID)
            continue;
        // A modulator on a bit that the voice modulates itself contributes nothing here, unless the
        // binding is the effect's own.
        const bool hasEntry = m_params.Find(curve.paramID) != nullptr;
        if (!hasEntry && subscription->kind != ZkRTPCSubscriberKind_Effect &&
            (subscription->bit == kVoiceModulatedBitA || subscription->bit == kVoiceModulatedBitB) &&
            g_pModulatorMgr != nullptr && g_pModulatorMgr->IsModulator(curve.paramID))
            continue;
        const float output = curve.curve.Evaluate(CurrentValueFor(curve.paramID, key), curve.cachedSegment);
        combined = multiply ? combined * output : combined + output;
    }
    return combined;
}

void CZkRTPCMgr::PushCurrentValue(ZkRTPCSubscription* subscription, ZkUniqueID paramID)
{
    switch (subscription->kind)
    {
    case ZkRTPCSubscriberKind_NodeInstance:
        static_cast<CZkNodeInstanceBase*>(subscription->target)
            ->SetBuiltInParamValue(static_cast<uint16_t>(subscription->bit), EvaluateSubscription(subscription),
                                   sizeof(float));
        break;
    case ZkRTPCSubscriberKind_Effect:
    {
        // The effect context's contribution of this game parameter (key id 1).
        auto* context = static_cast<CZkEffectContext*>(subscription->target);
        const bool multiply = subscription->combineMode == kRTPCCombineMultiply;
        const float value =
            paramID != 0 ? EvaluateSubscription(subscription, paramID) : (multiply ? 1.0f : 0.0f);
        CZkEffectParams::SetParam(*context, kContributionGameParam, paramID, static_cast<uint16_t>(subscription->bit),
                                  static_cast<uint8_t>(subscription->combineMode), value);
        break;
    }
    case ZkRTPCSubscriberKind_TargetList:
        static_cast<CZkParamTargetList*>(subscription->target)->ForwardNotification(paramID != 0, subscription->bit);
        break;
    case ZkRTPCSubscriberKind_Modulator:
        static_cast<CZkModulator*>(subscription->target)
            ->SetParamForKey(subscription->bit, EvaluateSubscription(subscription), subscription->key);
        break;
    case ZkRTPCSubscriberKind_SwitchGroup:
        if (g_pSwitchMgr != nullptr)
        {
            // The switch manager truncates the curve's output (which may be NaN for a curve made
            // of unusual points) to the index of a switch state.
            const float switchValue = EvaluateSubscription(subscription);
            if (ZkRTPCParamEntry* entry = m_params.Find(paramID))
            {
                const CZkRTPCOverrideFilter filter(entry->tree, subscription->key);
                g_pSwitchMgr->ApplyRTPCSwitch(subscription->target, switchValue, subscription->key, &filter);
            }
            else
            {
                g_pSwitchMgr->ApplyRTPCSwitch(subscription->target, switchValue, subscription->key, nullptr);
            }
        }
        break;
    default: // container layers
        static_cast<CZkContainerLayer*>(subscription->target)->Refresh(paramID != 0);
        break;
    }
}
} // namespace ZK::SoundEngine
