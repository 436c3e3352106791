// CZkRTPCMgr: setting, ramping and resetting scoped values, and notifying subscribers.
#include "ZkAudiolib/Common/Parameters/CZkRTPCMgr.h"

#include "ZkAudiolib/Common/Containers/ZkNew.h"
#include "ZkAudiolib/Common/Parameters/CZkParamTargetList.h"
#include "ZkAudiolib/Common/Parameters/CZkRTPCOverrideFilter.h"
#include "ZkAudiolib/Common/Effects/CZkEffectContext.h"
#include "ZkAudiolib/Common/Hierarchy/CZkContainerLayer.h"
#include "ZkAudiolib/Common/Playback/CZkNodeInstanceBase.h"
#include "ZkAudiolib/Common/GameSyncs/CZkSwitchMgr.h"
#include "ZkAudiolib/Common/Modulators/CZkModulator.h"

#include <cmath>

namespace ZK::SoundEngine
{
namespace
{
constexpr ZkMemoryId kLinkPool = ZkMemID_Default;
// Subscribers notified without a heap copy of the active list.
constexpr uint32_t kInlineNotifyCount = 32;

float ValueOr(const float* exact, const float* parent, float fallback)
{
    return exact != nullptr ? *exact : parent != nullptr ? *parent : fallback;
}
} // namespace

void ZkRTPCTransitionLink::TransUpdateValue(uint32_t, float value, bool done)
{
    if (g_pRTPCMgr != nullptr)
        g_pRTPCMgr->DeliverTransitionValue(this, value, done);
}

ZKRESULT CZkRTPCMgr::SetRTPCInternal(ZkUniqueID id, float value, const ZkRTPCKey& key, TransParamsBase& transition,
                                     ZkValueMeaning meaning, bool firstValueImmediate)
{
    if (!std::isfinite(value))
        return ZK_NotFinite;
    ZkRTPCParamEntry* entry = FindOrCreateEntry(id);
    if (entry == nullptr)
        return ZK_Fail;

    const ZkRTPCKeyPath path = entry->tree.FindPath(key);
    if (path.exact == nullptr && firstValueImmediate)
        transition.bypassRampSettings = true;

    if (meaning == ZkValueMeaning_Offset)
    {
        if (path.exact != nullptr)
        {
            const ZkRTPCTransitionLink* link = entry->FindObjectLink(key.gameObject);
            value += link != nullptr ? link->transition->TargetValue() : *path.exact;
        }
        else
        {
            value += ValueOr(nullptr, path.parent, entry->defaultValue);
        }
    }

    const float current = ValueOr(path.exact, path.parent, entry->defaultValue);
    if (path.exact != nullptr && *path.exact == value)
    {
        entry->DropLink(key);
        return ZK_Success;
    }

    const ZkTimeMs time = entry->ApplyRampTime(transition, current, value);
    if (time <= 0)
        entry->DropLink(key);
    else if ((path.exact != nullptr || ScopeAccepts(key, id)) &&
             entry->StartOrRetargetTransition(key, current, value, transition, 0))
        return ZK_Success;

    // Immediate store.
    if (path.exact != nullptr)
    {
        *path.exact = value;
    }
    else if (!ScopeAccepts(key, id) || !entry->tree.SetValue(key, value))
    {
        return ZK_Success; // the scope is gone or memory ran out: the value is dropped
    }
    if (value != current)
        NotifySubscribers(*entry, current, value, key, path.hasChildren);
    return ZK_Success;
}

ZKRESULT CZkRTPCMgr::SetRTPCInternal(ZkUniqueID id, float value, CZkRegisteredObj* object, ZkPlayingID playingID,
                                     TransParamsBase& transition, ZkValueMeaning meaning)
{
    return SetRTPCInternal(id, value, ZkRTPCKey::ForObject(object, playingID), transition, meaning, false);
}

ZKRESULT CZkRTPCMgr::SetRTPCImmediate(ZkUniqueID id, float value, const ZkRTPCKey& key)
{
    TransParamsBase immediate;
    return SetRTPCInternal(id, value, key, immediate, ZkValueMeaning_Absolute, false);
}

void CZkRTPCMgr::SetBuiltInValue(uint32_t row, const ZkRTPCKey& key, float value)
{
    if (row == 0 || row >= kRTPCBuiltInRows)
        return;
    const ZK::ZkArray<ZkUniqueID>& ids = m_builtInRows[row];
    for (uint32_t index = 0; index < ids.Length(); ++index)
    {
        TransParamsBase immediate;
        SetRTPCInternal(ids[index], value, key, immediate, ZkValueMeaning_Absolute, true);
    }
}

void CZkRTPCMgr::ResetRTPCValueForKey(ZkUniqueID id, const ZkRTPCKey& key, TransParamsBase& transition)
{
    ZkRTPCParamEntry* entry = m_params.Find(id);
    if (entry == nullptr)
        return;
    ZkRTPCTransitionLink* link = entry->FindLink(key);
    const ZkRTPCKeyPath path = entry->tree.FindPath(key);
    if (path.exact == nullptr && link == nullptr)
        return;

    const float target = ValueOr(nullptr, path.parent, entry->defaultValue);
    const float current = ValueOr(path.exact, path.parent, entry->defaultValue);
    if (path.exact != nullptr && *path.exact == target)
    {
        // Already at the value it falls back to: no ramp, but the key stops overriding the wider
        // scopes (left in place, it would hide their later changes).
        entry->DropLink(key);
        entry->tree.Remove(key);
        return;
    }

    const ZkTimeMs time = entry->ApplyRampTime(transition, current, target);
    if (time <= 0)
        entry->DropLink(key);
    else if (entry->StartOrRetargetTransition(key, current, target, transition, 1))
        return;

    if (path.exact == nullptr)
        return; // nothing stored under the key
    entry->tree.Remove(key);
    if (target != current)
        NotifySubscribers(*entry, current, target, key, path.hasChildren);
}

void CZkRTPCMgr::ResetRTPCValueForObject(ZkUniqueID id, CZkRegisteredObj* object, ZkPlayingID playingID,
                                         TransParamsBase& transition)
{
    ResetRTPCValueForKey(id, ZkRTPCKey::ForObject(object, playingID), transition);
}

void CZkRTPCMgr::DeliverTransitionValue(ZkRTPCTransitionLink* link, float value, bool done)
{
    ZkRTPCParamEntry& entry = *link->entry;
    const ZkRTPCKey key = link->key;
    const ZkRTPCKeyPath path = entry.tree.FindPath(key);
    const float previous = ValueOr(path.exact, path.parent, entry.defaultValue);
    bool changed = false;
    if (link->resetFlag != 0 && done)
    {
        entry.tree.Remove(key);
        changed = previous != value;
    }
    else if (path.exact != nullptr)
    {
        *path.exact = value;
        changed = previous != value;
    }
    else if (ScopeAccepts(key, entry.id) && entry.tree.SetValue(key, value))
    {
        changed = previous != value;
    }

    if (done)
        entry.DropLink(link);
    if (changed)
        NotifySubscribers(entry, previous, value, key, path.hasChildren);
}

void CZkRTPCMgr::NotifySubscribers(ZkRTPCParamEntry& entry, float oldValue, float newValue, const ZkRTPCKey& key,
                                   bool withFilter)
{
    const uint32_t count = entry.active.Length();
    if (count == 0)
        return;
    const CZkRTPCOverrideFilter filter(entry.tree, key);
    const CZkRTPCOverrideFilter* filterOrNull = withFilter ? &filter : nullptr;

    // A subscriber may change the lists while it is called: walk a copy.
    ZkRTPCSubscription* inlineCopy[kInlineNotifyCount];
    ZK::ZkArray<ZkRTPCSubscription*> heapCopy;
    ZkRTPCSubscription** copy = inlineCopy;
    if (count > kInlineNotifyCount)
    {
        if (heapCopy.Reserve(count) != ZK_Success)
            return; // out of memory: this change reaches no subscriber
        copy = heapCopy.Data();
    }
    for (uint32_t index = 0; index < count; ++index)
        copy[index] = entry.active[index];

    for (uint32_t index = 0; index < count; ++index)
        NotifyOne(entry.id, *copy[index], oldValue, newValue, key, filterOrNull);
}

void CZkRTPCMgr::NotifyOne(ZkUniqueID id, ZkRTPCSubscription& subscription, float oldValue, float newValue,
                           const ZkRTPCKey& key, const CZkRTPCOverrideFilter* filter)
{
    const bool concerned = key.Matches(subscription.key) && (filter == nullptr || !filter->IsOverridden(subscription.key));
    switch (subscription.kind)
    {
    case ZkRTPCSubscriberKind_NodeInstance:
        if (concerned)
            static_cast<CZkNodeInstanceBase*>(subscription.target)
                ->SetBuiltInParamValue(static_cast<uint16_t>(subscription.bit), subscription.SumCurvesAt(id, newValue),
                                       sizeof(float));
        break;
    case ZkRTPCSubscriberKind_Effect:
        if (concerned)
            CZkEffectParams::SetParam(*static_cast<CZkEffectContext*>(subscription.target), kContributionGameParam, id,
                                      static_cast<uint16_t>(subscription.bit),
                                      static_cast<uint8_t>(subscription.combineMode),
                                      subscription.CombineCurvesAt(id, newValue));
        break;
    case ZkRTPCSubscriberKind_TargetList:
    {
        const float newOutput = subscription.CombineCurvesAt(id, newValue);
        const float oldOutput = subscription.CombineCurvesAt(id, oldValue);
        static_cast<CZkParamTargetList*>(subscription.target)
            ->SetParamValue(subscription.bit, key, newOutput, newOutput - oldOutput, filter);
        break;
    }
    case ZkRTPCSubscriberKind_Modulator:
        static_cast<CZkModulator*>(subscription.target)
            ->SetParamForKey(subscription.bit, subscription.SumCurvesAt(id, newValue), key);
        break;
    case ZkRTPCSubscriberKind_SwitchGroup:
    {
        if (subscription.curves.IsEmpty() || g_pSwitchMgr == nullptr)
            break;
        ZkRTPCCurveRef& curve = subscription.curves[0];
        const float newSwitch = curve.curve.Evaluate(newValue, curve.cachedSegment);
        const float oldSwitch = curve.curve.Evaluate(oldValue, curve.cachedSegment);
        if (newSwitch != oldSwitch)
            g_pSwitchMgr->ApplyRTPCSwitch(subscription.target, newSwitch, key, filter);
        break;
    }
    default:
    {
        auto* layer = static_cast<CZkContainerLayer*>(subscription.target);
        if (!layer->IsOwnerPlaying())
            break;
        if (subscription.bit == kRTPCCrossfadeBit)
            layer->OnParameterChanged(key, oldValue, newValue, filter);
        else
            layer->ForwardPropertyChange(subscription.bit, subscription.SumCurvesAt(id, newValue),
                                         subscription.SumCurvesAt(id, oldValue));
        break;
    }
    }
}
} // namespace ZK::SoundEngine
