// CZkHierarchyNode: activity records, play and virtual counting through parents and output buses,
// the node's limit tests, its live-instance list, and the counts that move with an output bus.
#include "ZkAudiolib/Common/Hierarchy/CZkHierarchyNode.h"

#include "ZkAudiolib/Common/Containers/ZkNew.h"
#include "ZkAudiolib/Common/GameObjects/CZkRegisteredObj.h"
#include "ZkAudiolib/Common/Playback/CZkActiveInstances.h"
#include "ZkAudiolib/Common/Hierarchy/ZkActivitySlabs.h"
#include "ZkAudiolib/Common/Hierarchy/ZkUpdatedNodes.h"
#include "ZkAudiolib/Common/Parameters/CZkRTPCMgr.h"

namespace ZK::SoundEngine
{
namespace
{
// A result of one level kept for the whole count: the first failure (80 included) wins.
void Keep(ZKRESULT& result, ZKRESULT level)
{
    if (result == ZK_Success)
        result = level;
}
} // namespace

uint64_t CZkHierarchyNode::OwnLimiterKey() const { return LimiterKey(ID(), Depth(), IsBus()); }

float CZkHierarchyNode::ParamValueForKey(uint32_t bit, const ZkRTPCKey& key)
{
    return g_pRTPCMgr != nullptr ? g_pRTPCMgr->GetModulatorValue(&m_params, bit, key) : 0.0f;
}

uint16_t CZkHierarchyNode::MaxInstancesFor(CZkGameObject* object)
{
    const uint16_t bank = MaxInstances();
    if (bank == 0 || (m_params.UsedBits() >> kMaxInstancesParam & 1u) == 0)
        return bank;
    const ZkRTPCKey key =
        object != nullptr ? ZkRTPCKey::ForObject(static_cast<CZkRegisteredObj*>(object)) : ZkRTPCKey::Global();
    return CZkNodeLimiter::MaxFromValue(ParamValueForKey(kMaxInstancesParam, key));
}

bool CZkHierarchyNode::EnsureActivity()
{
    if (m_activity == nullptr)
    {
        m_activity = ZkActivitySlabs::Take(MaxInstancesFor(nullptr), (m_flagsA & kNodeFlagA_TieBreakReversed) != 0,
                                           (m_flagsA & kNodeFlagA_VirtualOnLimit) != 0, OwnLimiterKey(),
                                           (m_flagsA & kNodeFlagA_GlobalLimit) != 0);
        if (m_activity == nullptr)
            return false;
        m_activity->limiter.Subscribe(this);
    }
    const bool busReady = m_outputBus == nullptr || m_outputBus->EnsureActivity();
    const bool parentReady = busReady && (m_parent == nullptr || m_parent->EnsureActivity());
    if (busReady && parentReady)
        return true;
    FreeActivityIfIdle();
    return false;
}

void CZkHierarchyNode::FreeActivityIfIdle()
{
    if (m_activity != nullptr && m_activity->IsIdle())
        FreeActivity();
}

bool CZkHierarchyNode::JoinUpdatedNodes()
{
    if (m_activity == nullptr)
        return false;
    if (!IsUpdatedEachFrame())
    {
        ZkUpdatedNodes::Append(this);
        m_activity->flags |= ZkActivityRecord::kFlagPerFrameList;
    }
    return true;
}

void CZkHierarchyNode::LeaveUpdatedNodes()
{
    if (!IsUpdatedEachFrame())
        return;
    ZkUpdatedNodes::Remove(this);
    m_activity->flags &= static_cast<uint8_t>(~ZkActivityRecord::kFlagPerFrameList);
}

void CZkHierarchyNode::FreeActivity()
{
    // Membership lives in the record: the node leaves the list with it.
    LeaveUpdatedNodes();
    ZkActivityRecord* record = m_activity;
    m_activity = nullptr;
    if (m_parent != nullptr)
        m_parent->FreeActivityIfIdle();
    if (m_outputBus != nullptr)
        m_outputBus->FreeActivityIfIdle();
    for (const ZkObjectLimiter& entry : record->objectLimiters)
        ZK::ZkDelete(CZkNodeLimiter::kPool, entry.limiter);
    // The embedded limiter leaves its subscriptions when the record is destroyed.
    ZkActivitySlabs::Give(record);
}

ZKRESULT CZkHierarchyNode::AddLiveInstance(CZkLiveInstance* instance)
{
    if (!EnsureActivity())
        return ZK_InsufficientMemory;
    instance->pNextInNode = m_activity->instances;
    m_activity->instances = instance;
    return ZK_Success;
}

void CZkHierarchyNode::RemoveLiveInstance(CZkLiveInstance* instance)
{
    if (m_activity == nullptr)
        return;
    for (CZkLiveInstance** link = &m_activity->instances; *link != nullptr; link = &(*link)->pNextInNode)
    {
        if (*link == instance)
        {
            *link = instance->pNextInNode;
            instance->pNextInNode = nullptr;
            break;
        }
    }
    DropIdleObjectLimiter(instance->GameObject());
    FreeActivityIfIdle();
}

CZkNodeLimiter* CZkHierarchyNode::ObjectLimiter(CZkGameObject* object) const
{
    if (m_activity == nullptr)
        return nullptr;
    for (const ZkObjectLimiter& entry : m_activity->objectLimiters)
    {
        if (entry.object == object)
            return entry.limiter;
    }
    return nullptr;
}

void CZkHierarchyNode::DropIdleObjectLimiter(CZkGameObject* object)
{
    if (m_activity == nullptr)
        return;
    ZK::ZkArray<ZkObjectLimiter>& limiters = m_activity->objectLimiters;
    for (uint32_t index = 0; index < limiters.Length(); ++index)
    {
        if (limiters[index].object == object)
        {
            if (limiters[index].limiter->IsIdle())
            {
                ZK::ZkDelete(CZkNodeLimiter::kPool, limiters[index].limiter);
                limiters.Erase(index);
                if (limiters.IsEmpty())
                    limiters.Term();
            }
            return;
        }
    }
}

void CZkHierarchyNode::UpdateLimiterFlags()
{
    if (m_activity == nullptr)
        return;
    const bool olderFirst = (m_flagsA & kNodeFlagA_TieBreakReversed) != 0;
    const bool virtualOnLimit = (m_flagsA & kNodeFlagA_VirtualOnLimit) != 0;
    m_activity->limiter.SetTieBreak(olderFirst);
    m_activity->limiter.SetVirtualOnLimit(virtualOnLimit);
    for (const ZkObjectLimiter& entry : m_activity->objectLimiters)
    {
        entry.limiter->SetTieBreak(olderFirst);
        entry.limiter->SetVirtualOnLimit(virtualOnLimit);
    }
}

void CZkHierarchyNode::SetMaxInstances(uint16_t maxInstances)
{
    m_limitWord = static_cast<uint16_t>((m_limitWord & ~kMaxInstancesMask) | (maxInstances & kMaxInstancesMask));
    if (m_activity == nullptr)
        return;
    if (m_activity->IsGlobalLimit())
    {
        m_activity->limiter.SetMaxCount(MaxInstancesFor(nullptr));
        return;
    }
    for (const ZkObjectLimiter& entry : m_activity->objectLimiters)
        entry.limiter->SetMaxCount(MaxInstancesFor(entry.object));
}

ZKRESULT CZkHierarchyNode::TestLimit(ZkPlayCount& play)
{
    if (m_activity->IsGlobalLimit())
        return play.noGlobalCheck ? ZK_Success : TestGlobalLimit(play);
    return TestObjectLimit(play);
}

ZKRESULT CZkHierarchyNode::TestGlobalLimit(ZkPlayCount& play)
{
    const uint16_t max = MaxInstancesFor(nullptr);
    if (max == 0)
        return ZK_Success; // unlimited: no limiter takes the play
    CZkNodeLimiter& limiter = m_activity->limiter;
    if (play.limiters != nullptr && play.limiters->AddLast(&limiter) == nullptr)
        return ZK_InsufficientMemory;
    if (!play.checkLimits || play.checks != 0 || limiter.HeldCount() - limiter.VirtualCount() < max)
        return ZK_Success;
    ++play.checks;
    return CZkActiveInstances::CheckNodeLimit(&limiter, max, play.priority, nullptr, limiter.OlderFirst(),
                                              limiter.VirtualOnLimit(), play.stoppedNode, kNodeLimitReason);
}

ZKRESULT CZkHierarchyNode::TestObjectLimit(ZkPlayCount& play)
{
    CZkNodeLimiter* limiter = ObjectLimiter(play.gameObject);
    ZKRESULT result = ZK_Success;
    if (limiter == nullptr)
    {
        const ZkRTPCKey key = play.gameObject != nullptr
                                  ? ZkRTPCKey::ForObject(static_cast<CZkRegisteredObj*>(play.gameObject))
                                  : ZkRTPCKey::Global();
        limiter = ZK::ZkNew<CZkNodeLimiter>(CZkNodeLimiter::kPool, key, MaxInstancesFor(play.gameObject),
                                            (m_flagsA & kNodeFlagA_TieBreakReversed) != 0,
                                            (m_flagsA & kNodeFlagA_VirtualOnLimit) != 0, OwnLimiterKey());
        if (limiter == nullptr)
            return ZK_Fail;
        if (m_activity->objectLimiters.AddLast(ZkObjectLimiter{play.gameObject, limiter}) == nullptr)
        {
            ZK::ZkDelete(CZkNodeLimiter::kPool, limiter);
            return ZK_Fail;
        }
        limiter->Subscribe(this);
    }
    else
    {
        const uint16_t max = limiter->MaxCount();
        const int64_t counted = int64_t{limiter->HeldCount()} - play.checks - limiter->VirtualCount();
        if (play.checkLimits && max != 0 && counted >= max)
        {
            ++play.checks;
            result = CZkActiveInstances::CheckNodeLimit(limiter, max, play.priority, play.gameObject,
                                                        limiter->OlderFirst(), limiter->VirtualOnLimit(),
                                                        play.stoppedNode, kNodeLimitReason);
        }
    }
    if (limiter->MaxCount() != 0 && play.limiters != nullptr && play.limiters->AddLast(limiter) == nullptr)
        Keep(result, ZK_InsufficientMemory);
    return result;
}

ZKRESULT CZkHierarchyNode::PlayCountUp(ZkPlayCount& play)
{
    if (!EnsureActivity())
        return ZK_InsufficientMemory;
    if (play.countPlay)
    {
        ++m_activity->playCount;
        if (play.toBus)
            ++m_activity->busPathPlayCount;
    }
    ZKRESULT result = ZK_Success;
    if (!play.stopChecks && (play.checkLimits || play.limiters != nullptr))
        result = TestLimit(play);
    if ((m_flagsC & kNodeFlagC_LimitCheckStops) != 0)
        play.stopChecks = true;
    if (m_outputBus != nullptr && play.toBus)
    {
        play.toBus = false;
        Keep(result, m_outputBus->PlayCountUp(play));
    }
    if (m_parent != nullptr)
        Keep(result, m_parent->PlayCountUp(play));
    return result;
}

void CZkHierarchyNode::PlayCountDown(CZkGameObject* object, bool toBus)
{
    if (m_activity != nullptr)
    {
        --m_activity->playCount;
        if (toBus)
            --m_activity->busPathPlayCount;
        DropIdleObjectLimiter(object);
        FreeActivityIfIdle();
    }
    if (m_outputBus != nullptr && toBus)
    {
        m_outputBus->PlayCountDown(object, false);
        toBus = false;
    }
    if (m_parent != nullptr)
        m_parent->PlayCountDown(object, toBus);
}

ZKRESULT CZkHierarchyNode::VirtualCountUp(bool toBus)
{
    if (!EnsureActivity())
        return ZK_InsufficientMemory;
    ++m_activity->virtualCount;
    if (toBus)
        ++m_activity->busPathVirtualCount;
    if (m_outputBus != nullptr && toBus)
    {
        m_outputBus->VirtualCountUp(false);
        toBus = false;
    }
    if (m_parent != nullptr)
        m_parent->VirtualCountUp(toBus);
    return ZK_Success;
}

void CZkHierarchyNode::VirtualCountDown(bool toBus)
{
    if (m_activity != nullptr)
    {
        --m_activity->virtualCount;
        if (toBus)
            --m_activity->busPathVirtualCount;
        FreeActivityIfIdle();
    }
    if (m_outputBus != nullptr && toBus)
    {
        m_outputBus->VirtualCountDown(false);
        toBus = false;
    }
    if (m_parent != nullptr)
        m_parent->VirtualCountDown(toBus);
}

bool CZkHierarchyNode::MoveBusPathCounts(CZkHierarchyNode* bus, int32_t sign, int16_t plays, int16_t virtuals)
{
    if (bus == nullptr)
    {
        // The counts went (or go) to the bus of the first ancestor that has one, through every
        // ancestor up to it.
        for (CZkHierarchyNode* level = m_parent; level != nullptr; level = level->m_parent)
        {
            if (level->m_activity != nullptr)
            {
                level->m_activity->busPathPlayCount = static_cast<int16_t>(level->m_activity->busPathPlayCount + sign * plays);
                level->m_activity->busPathVirtualCount =
                    static_cast<int16_t>(level->m_activity->busPathVirtualCount + sign * virtuals);
            }
            if (level->m_outputBus != nullptr)
            {
                bus = level->m_outputBus;
                break;
            }
        }
        if (bus == nullptr)
            return true;
    }
    if (sign < 0)
    {
        for (int16_t count = 0; count < virtuals; ++count)
            bus->VirtualCountDown(false);
        for (int16_t count = 0; count < plays; ++count)
            bus->PlayCountDown(nullptr, false);
        return true;
    }
    int16_t virtualDone = 0;
    int16_t playsDone = 0;
    bool failed = false;
    for (; virtualDone < virtuals && !failed; ++virtualDone)
        failed = bus->VirtualCountUp(false) != ZK_Success;
    if (failed)
        --virtualDone;
    for (; playsDone < plays && !failed; ++playsDone)
    {
        ZkPlayCount count;
        count.checkLimits = false;
        count.toBus = false;
        failed = bus->PlayCountUp(count) == ZK_InsufficientMemory;
    }
    if (!failed)
        return true;
    if (playsDone > 0)
        --playsDone; // the call that failed counted nothing
    for (int16_t count = 0; count < playsDone; ++count)
        bus->PlayCountDown(nullptr, false);
    for (int16_t count = 0; count < virtualDone; ++count)
        bus->VirtualCountDown(false);
    return false;
}

bool CZkHierarchyNode::MoveActivityCounts(CZkHierarchyNode* bus)
{
    if (m_activity == nullptr || bus == m_outputBus)
        return true;
    for (CZkLiveInstance* instance = m_activity->instances; instance != nullptr; instance = instance->pNextInNode)
        instance->RefreshFromNode();
    const int16_t plays = m_activity->busPathPlayCount;
    const int16_t virtuals = m_activity->busPathVirtualCount;
    if (plays <= 0 && virtuals <= 0)
        return true;
    MoveBusPathCounts(m_outputBus, -1, plays, virtuals);
    if (bus != nullptr && MoveBusPathCounts(bus, +1, plays, virtuals))
        return true;
    MoveBusPathCounts(nullptr, +1, plays, virtuals);
    return bus == nullptr;
}
} // namespace ZK::SoundEngine
