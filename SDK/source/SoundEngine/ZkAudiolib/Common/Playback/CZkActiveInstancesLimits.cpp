// The limit decisions: what a new play does when the engine-wide voice limit, or a node's limiter,
// is full; and the priority a new play gets.
//
// The walk over a limiter counts the instances that hold a place (not stopping, not virtual, not
// exempt, not about to start virtual). Among those at or below the new priority, the last one
// (the lowest ranked) that would stop or go virtual below the threshold is the candidate to make
// room; one that would keep playing opens the window: while such an instance lies within the
// maximum, the new play is let in, since the limiter's own enforcement will settle the order.
#include "ZkAudiolib/Common/GameObjects/CZkEmitter.h"
#include "ZkAudiolib/Common/GameObjects/CZkGameObject.h"
#include "ZkAudiolib/Common/GameObjects/CZkListener.h"
#include "ZkAudiolib/Common/GameObjects/CZkRegisteredObj.h"
#include "ZkAudiolib/Common/GameObjects/CZkRegistryMgr.h"
#include "ZkAudiolib/Common/GameObjects/ZkSortedIdArray.h"
#include "ZkAudiolib/Common/Hierarchy/CZkHierarchyNode.h"
#include "ZkAudiolib/Common/Hierarchy/CZkInstanceLimiter.h"
#include "ZkAudiolib/Common/Playback/CZkActiveInstances.h"
#include "ZkAudiolib/Common/Playback/CZkActiveInstancesState.h"
#include "ZkAudiolib/Common/Playback/CZkPlayingInstance.h"

#include <algorithm>
#include <cmath>

namespace ZK::SoundEngine
{
namespace
{
constexpr float kNoDistance = 1.0e10f;

struct Candidate
{
    CZkLiveInstance* instance = nullptr;
    float priority = 0.0f;
    uint8_t behaviour = 0;
};

struct LimitWalk
{
    uint32_t counted = 0;
    Candidate candidate;
    bool window = false;
};

// Walks the limiter's instances of the object (null: all) as the decisions count them. With
// useBehaviour the instance's behaviour below the threshold chooses the candidate; without it every
// counted instance at or below the priority may be displaced.
LimitWalk Walk(const CZkInstanceLimiter& limiter, uint32_t maxCount, float priority,
               const CZkGameObject* object, bool useBehaviour)
{
    LimitWalk walk;
    for (CZkLiveInstance* instance : limiter.Instances())
    {
        if (object != nullptr && instance->GameObject() != object)
            continue;
        if (instance->LimitStanding() != ZkLimitStanding::HoldsPlace)
            continue;
        ++walk.counted;
        const float ranked = RankedPriority(instance->priority.priority);
        if (ranked > priority)
            continue;
        uint8_t queue = 0;
        const uint8_t behaviour = useBehaviour ? instance->GetVirtualBehaviour(queue) : 2;
        if (behaviour != ZkBelowThreshold_Continue)
            walk.candidate = Candidate{instance, ranked, behaviour};
        else if (walk.counted <= maxCount)
            walk.window = true;
    }
    return walk;
}

float PointDistance(const ZkVector& a, const ZkVector& b)
{
    const float x = a.x - b.x;
    const float y = a.y - b.y;
    const float z = a.z - b.z;
    return std::sqrt(x * x + y * y + z * z);
}

// The smallest distance from the object's emitter positions to its listeners, each divided by
// the listener's scaling (10^10 without any).
float NearestListenerDistance(const CZkGameObject* object)
{
    float nearest = kNoDistance;
    const CZkEmitter* emitter = object->Emitter();
    if (emitter == nullptr || g_pRegistryMgr == nullptr)
        return nearest;
    for (ZkGameObjectID listenerID : object->GetListenerSet())
    {
        const CZkRegisteredObj* listenerObject = g_pRegistryMgr->GetObj(listenerID);
        const CZkListener* listener = listenerObject != nullptr ? listenerObject->Listener() : nullptr;
        if (listener == nullptr)
            continue;
        for (uint32_t index = 0; index < emitter->PositionCount(); ++index)
        {
            const float distance = PointDistance(listener->Transform().position,
                                                 emitter->Positions()[index].transform.position) /
                                   listener->ScalingFactor();
            nearest = std::min(nearest, distance);
        }
    }
    return nearest;
}
} // namespace

ZKRESULT CZkActiveInstances::CheckInstanceLimit(float priority, uint32_t& reason)
{
    reason = kReasonInstanceLimit;
    const CZkInstanceLimiter& limiter = GlobalLimiter();
    const uint32_t maxCount = limiter.MaxCount();
    if (int64_t{g_activeInstances.count} - g_activeInstances.excluded + 1 <= maxCount)
        return ZK_Success;
    const LimitWalk walk = Walk(limiter, maxCount, priority, nullptr, true);
    if (walk.counted + 1 <= maxCount)
        return ZK_Success;
    // Only an existing candidate of lower priority makes room (without one, the decision falls to
    // the window).
    if (walk.candidate.instance != nullptr && priority > walk.candidate.priority)
    {
        // A candidate that goes virtual below the threshold is left to the limiter's enforcement.
        if (walk.candidate.behaviour == ZkBelowThreshold_Stop)
            walk.candidate.instance->OnOverLimit(false, kEngineLimitReason);
        return ZK_Success;
    }
    return walk.window ? ZK_Success : ZK_InstanceLimitReached;
}

ZKRESULT CZkActiveInstances::CheckNodeLimit(CZkInstanceLimiter* limiter, uint16_t maxCount, float priority,
                                            CZkGameObject* object, bool equalFlag, bool useBehaviour,
                                            CZkHierarchyNode*& stoppedNode, uint8_t stopReason)
{
    if (limiter == nullptr)
        return ZK_Success;
    const LimitWalk walk = Walk(*limiter, maxCount, priority, object, useBehaviour);
    if (maxCount >= walk.counted + 1)
        return ZK_Success;
    const Candidate& candidate = walk.candidate;
    const bool displaces = candidate.instance != nullptr &&
                           (equalFlag ? priority > candidate.priority : priority >= candidate.priority);
    if (displaces)
    {
        stoppedNode = candidate.instance->PlayedNode();
        if (!useBehaviour || candidate.behaviour == ZkBelowThreshold_Stop)
            candidate.instance->OnOverLimit(false, stopReason);
        return ZK_Success;
    }
    if (walk.window)
        return ZK_Success;
    return useBehaviour ? ZK_InstanceLimitReached : ZK_Fail;
}

void CZkHierarchyNode::ComputePlayPriority(ZkPriorityRecord& record, CZkHierarchyNode* node,
                                           CZkGameObject* object, float& maxRadius)
{
    record = ZkPriorityRecord{};
    maxRadius = 0.0f;
    float nodePriority = kDefaultPriority;
    float offset = 0.0f;
    node->GetPriority(object, nodePriority, offset);
    if (std::isfinite(nodePriority))
        record.priority = ClampPriority(nodePriority);
    record.basePriority = nodePriority;
    record.distanceOffset = offset;
    float radius = 0.0f;
    if (!node->GetMaxAttenuationDistance(radius))
        return;
    const CZkEmitter* emitter = object != nullptr ? object->Emitter() : nullptr;
    maxRadius = radius * (emitter != nullptr ? emitter->ScalingFactor() : 1.0f);
    if (offset == 0.0f || object == nullptr)
        return;
    const float distance = NearestListenerDistance(object);
    const float part = distance >= maxRadius ? offset : offset * distance / maxRadius;
    record.priority = ClampPriority(nodePriority + part);
}
} // namespace ZK::SoundEngine
