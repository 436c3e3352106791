#include "ZkAudiolib/Common/Hierarchy/ZkDuckRecord.h"

#include "ZkAudiolib/Common/Hierarchy/CZkBus.h"
#include "ZkAudiolib/Common/Parameters/CZkTransitionMgr.h"

namespace ZK::SoundEngine
{
namespace
{
constexpr uint32_t kHoldCurve = 4;
} // namespace

void ZkDuckRecord::Init(CZkBus* ownerBus)
{
    owner = ownerBus;
    transition = nullptr;
    value = 0.0f;
    releasing = 0;
}

void ZkDuckRecord::TransitionUpdate(float newValue, bool done)
{
    const float before = owner->DuckValue(property);
    value = newValue;
    if (done)
    {
        transition = nullptr;
        if (releasing != 0)
            value = 0.0f;
        releasing = 0;
    }
    const float after = owner->DuckValue(property);
    if (after - before != 0.0f)
        owner->OnDuckValueChanged(property, before, after);
}

void ZkDuckRecord::MoveTo(float target, ZkTimeMs timeMs, uint32_t curve, bool release)
{
    releasing = release ? 1 : 0;
    if (transition != nullptr && g_pTransitionMgr != nullptr)
    {
        g_pTransitionMgr->ChangeParameter(transition, property, target, timeMs, curve, ZkValueMeaning_Absolute);
        return;
    }
    if (target != value && timeMs != 0 && g_pTransitionMgr != nullptr)
    {
        ZkTransitionParams params;
        params.firstUser = this;
        params.kind = property;
        params.startValue = value;
        params.targetValue = target;
        params.timeMs = timeMs;
        params.curve = curve;
        transition = g_pTransitionMgr->AddTransition(params);
        if (transition != nullptr)
            return;
    }
    TransitionUpdate(target, true);
}

void ZkDuckRecord::Hold()
{
    releasing = 0;
    if (transition != nullptr && g_pTransitionMgr != nullptr)
        g_pTransitionMgr->ChangeParameter(transition, property, value, 0, kHoldCurve, ZkValueMeaning_Absolute);
}

void ZkDuckRecord::LeaveTransition()
{
    if (transition != nullptr && g_pTransitionMgr != nullptr)
        g_pTransitionMgr->RemoveTransitionUser(transition, this);
    transition = nullptr;
}
} // namespace ZK::SoundEngine
