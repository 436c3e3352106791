#include "ZkAudiolib/Common/Parameters/ZkRTPCParamEntry.h"

#include "ZkAudiolib/Common/Containers/ZkNew.h"
#include "ZkAudiolib/Common/Parameters/CZkTransitionMgr.h"

#include <cmath>
#include <limits>

namespace ZK::SoundEngine
{
namespace
{
constexpr ZkMemoryId kLinkPool = ZkMemID_Default;
constexpr float kMillisecondsPerSecond = 1000.0f;

ZkTimeMs SecondsToMilliseconds(float seconds)
{
    const float milliseconds = seconds * kMillisecondsPerSecond;
    if (!(milliseconds > 0.0f))
        return 0;
    if (milliseconds >= static_cast<float>(std::numeric_limits<ZkTimeMs>::max()))
        return std::numeric_limits<ZkTimeMs>::max();
    return static_cast<ZkTimeMs>(milliseconds);
}
} // namespace

ZkRTPCParamEntry::~ZkRTPCParamEntry()
{
    DropAllLinks();
    tree.Term();
}

ZkRTPCTransitionLink* ZkRTPCParamEntry::FindLink(const ZkRTPCKey& key) const
{
    for (ZkRTPCTransitionLink* link = links; link != nullptr; link = link->next)
    {
        if (link->key == key)
            return link;
    }
    return nullptr;
}

ZkRTPCTransitionLink* ZkRTPCParamEntry::FindObjectLink(const CZkRegisteredObj* object) const
{
    // A null object names the global key: a global ramp is the global value's running transition.
    ZkRTPCKey objectOnly;
    objectOnly.gameObject = const_cast<CZkRegisteredObj*>(object);
    return FindLink(objectOnly);
}

void ZkRTPCParamEntry::DropLink(ZkRTPCTransitionLink* link)
{
    for (ZkRTPCTransitionLink** at = &links; *at != nullptr; at = &(*at)->next)
    {
        if (*at == link)
        {
            *at = link->next;
            break;
        }
    }
    // The transition, left without users, is freed by the next frame pass.
    if (link->transition != nullptr)
        link->transition->RemoveUser(link);
    ZK::ZkDelete(kLinkPool, link);
}

void ZkRTPCParamEntry::DropLink(const ZkRTPCKey& key)
{
    if (ZkRTPCTransitionLink* link = FindLink(key))
        DropLink(link);
}

void ZkRTPCParamEntry::DropAllLinks()
{
    while (links != nullptr)
        DropLink(links);
}

ZkTimeMs ZkRTPCParamEntry::ApplyRampTime(TransParamsBase& transition, float current, float target) const
{
    if (transition.bypassRampSettings)
        return transition.timeMs;
    const float ramp = target > current ? rampUp : rampDown;
    ZkTimeMs rampMs = 0;
    if (rampMode == ZkRTPCRampMode_SlewRate)
        rampMs = ramp != 0.0f ? SecondsToMilliseconds(std::fabs(target - current) / ramp) : 0;
    else if (rampMode == ZkRTPCRampMode_FilterOverTime)
        rampMs = SecondsToMilliseconds(ramp);
    if (rampMs > transition.timeMs)
        transition.timeMs = rampMs;
    return transition.timeMs;
}

bool ZkRTPCParamEntry::StartOrRetargetTransition(const ZkRTPCKey& key, float start, float target,
                                                 const TransParamsBase& transition, uint32_t resetFlag)
{
    ZkRTPCTransitionLink* link = FindLink(key);
    if (link != nullptr)
    {
        if (start == target)
        {
            DropLink(link);
            return false;
        }
        g_pTransitionMgr->ChangeParameter(link->transition, kTransitionKindGameParameter, target, transition.timeMs,
                                          transition.curve, ZkValueMeaning_Absolute);
        link->resetFlag = resetFlag;
        return true;
    }
    if (start == target || g_pTransitionMgr == nullptr)
        return false;

    link = ZK::ZkNew<ZkRTPCTransitionLink>(kLinkPool, this, key);
    if (link == nullptr)
        return false;
    ZkTransitionParams params;
    params.firstUser = link;
    params.kind = kTransitionKindGameParameter;
    params.startValue = start;
    params.targetValue = target;
    params.timeMs = transition.timeMs;
    params.curve = transition.curve;
    params.tag = kTransitionTagGameParameter;
    if (rampMode == ZkRTPCRampMode_FilterOverTime && !transition.bypassRampSettings)
    {
        params.filterMode = true;
        params.timeMs = SecondsToMilliseconds(target < start ? rampDown : rampUp);
    }
    link->transition = g_pTransitionMgr->AddTransition(params);
    if (link->transition == nullptr)
    {
        ZK::ZkDelete(kLinkPool, link);
        return false;
    }
    link->resetFlag = resetFlag;
    link->next = links;
    links = link;
    return true;
}

bool ZkRTPCParamEntry::InsertSorted(ZK::ZkArray<ZkRTPCSubscription*>& list, ZkRTPCSubscription* subscription)
{
    uint32_t low = 0;
    uint32_t high = list.Length();
    while (low < high)
    {
        const uint32_t middle = low + (high - low) / 2;
        if (ZkRTPCSubscription::Before(list[middle], subscription))
            low = middle + 1;
        else
            high = middle;
    }
    return list.Insert(low, subscription) != nullptr;
}

bool ZkRTPCParamEntry::RemoveFrom(ZK::ZkArray<ZkRTPCSubscription*>& list, ZkRTPCSubscription* subscription)
{
    const uint32_t index = list.Find(subscription);
    if (index == list.Length())
        return false;
    list.Erase(index);
    return true;
}

bool ZkRTPCParamEntry::Holds(const ZkRTPCSubscription* subscription) const
{
    auto* target = const_cast<ZkRTPCSubscription*>(subscription);
    return active.Find(target) != active.Length() || inactive.Find(target) != inactive.Length();
}
} // namespace ZK::SoundEngine
