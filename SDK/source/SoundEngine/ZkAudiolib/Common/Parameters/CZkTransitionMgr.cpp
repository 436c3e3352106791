#include "ZkAudiolib/Common/Parameters/CZkTransitionMgr.h"

#include "ZkAudiolib/Common/Containers/ZkNew.h"

namespace ZK::SoundEngine
{
CZkTransitionMgr* g_pTransitionMgr = nullptr;

namespace
{
constexpr ZkMemoryId kTransitionPool = ZkMemID_Default;
} // namespace

void CZkTransitionMgr::Free(CZkTransition* transition) { ZK::ZkDelete(kTransitionPool, transition); }

CZkTransition* CZkTransitionMgr::AddTransition(const ZkTransitionParams& params, uint32_t list)
{
    auto* transition = ZK::ZkNew<CZkTransition>(kTransitionPool);
    if (transition == nullptr)
        return nullptr;
    if (transition->Init(params, m_now, m_clock) != ZK_Success ||
        m_lists[list == kStateList ? 1 : 0].AddLast(transition) == nullptr)
    {
        Free(transition);
        return nullptr;
    }
    return transition;
}

uint32_t CZkTransitionMgr::ChangeParameter(CZkTransition* transition, uint32_t kind, float target, ZkTimeMs timeMs,
                                           uint32_t curve, ZkValueMeaning meaning)
{
    return transition->Retarget(kind, target, timeMs, curve, meaning, m_now, m_clock);
}

ZKRESULT CZkTransitionMgr::AddTransitionUser(CZkTransition* transition, ZkTransitionUser* user)
{
    return transition->AddUser(user);
}

ZKRESULT CZkTransitionMgr::RemoveTransitionUser(CZkTransition* transition, ZkTransitionUser* user)
{
    return transition->RemoveUser(user);
}

void CZkTransitionMgr::Pause(CZkTransition* transition)
{
    if (transition->m_pauseState == ZkTransitionPause::Running)
        transition->m_pauseState = ZkTransitionPause::PauseRequested;
    else if (transition->m_pauseState == ZkTransitionPause::ResumeRequested)
        transition->m_pauseState = ZkTransitionPause::Paused;
}

ZkTransitionPause CZkTransitionMgr::Resume(CZkTransition* transition)
{
    const ZkTransitionPause previous = transition->m_pauseState;
    if (previous == ZkTransitionPause::Paused)
        transition->m_pauseState = ZkTransitionPause::ResumeRequested;
    else if (previous == ZkTransitionPause::PauseRequested)
        transition->m_pauseState = ZkTransitionPause::Running;
    return previous;
}

void CZkTransitionMgr::PauseAll()
{
    for (CZkTransition* transition : m_lists[1])
        Pause(transition);
}

void CZkTransitionMgr::ResumeAll()
{
    for (CZkTransition* transition : m_lists[1])
        Resume(transition);
}

void CZkTransitionMgr::ProcessTransitions(uint32_t frame)
{
    m_now = frame;
    ProcessList(m_lists[0], frame);
    ProcessList(m_lists[1], frame);
}

void CZkTransitionMgr::ProcessList(TransitionList& list, uint32_t frame)
{
    // Indexes, not iterators: users called by Step may append transitions to this list.
    uint32_t index = 0;
    while (index < list.Length())
    {
        CZkTransition* transition = list[index];
        if (transition->UserCount() == 0)
        {
            list.Erase(index);
            Free(transition);
            continue;
        }
        switch (transition->m_pauseState)
        {
        case ZkTransitionPause::PauseRequested:
            transition->m_pauseFrame = frame;
            transition->m_pauseState = ZkTransitionPause::Paused;
            ++index;
            continue;
        case ZkTransitionPause::Paused: ++index; continue;
        case ZkTransitionPause::ResumeRequested:
            transition->m_pauseState = ZkTransitionPause::Running;
            transition->ShiftStart(frame - transition->m_pauseFrame);
            break;
        case ZkTransitionPause::Running: break;
        }
        if (transition->Step(frame))
        {
            // Step's users may have changed the list: find the transition again before removing it.
            const uint32_t at = list[index] == transition ? index : list.Find(transition);
            list.Erase(at);
            Free(transition);
        }
        else
        {
            ++index;
        }
    }
}

void CZkTransitionMgr::TermList(TransitionList& list)
{
    while (!list.IsEmpty())
    {
        CZkTransition* transition = list[0];
        list.Erase(0);
        transition->Finish();
        Free(transition);
    }
    list.Term();
}

void CZkTransitionMgr::Term()
{
    TermList(m_lists[0]);
    TermList(m_lists[1]);
}

bool CZkTransitionMgr::Contains(const CZkTransition* transition) const
{
    for (const TransitionList& list : m_lists)
    {
        for (const CZkTransition* present : list)
        {
            if (present == transition)
                return true;
        }
    }
    return false;
}
} // namespace ZK::SoundEngine
