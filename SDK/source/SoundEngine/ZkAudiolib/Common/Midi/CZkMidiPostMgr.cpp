#include "ZkAudiolib/Common/Midi/CZkMidiPostMgr.h"

#include "ZkAudiolib/Common/Containers/ZkNew.h"
#include "ZkAudiolib/Common/FrontEnd/EventManager.h"
#include "ZkAudiolib/Common/GameObjects/CZkRegisteredObj.h"
#include "ZkAudiolib/Common/Midi/ZkMidiDispatchOrder.h"
#include "ZkAudiolib/Common/GameObjects/CZkRegistryMgr.h"
#include "ZkAudiolib/Common/Midi/CZkMidiPostTarget.h"
#include "ZkAudiolib/Common/Plugins/GlobalCallbacks.h"
#include "ZkAudiolib/Common/Voice/ZkAudioSettings.h"

#include <cstring>

namespace ZK::SoundEngine
{
CZkMidiPostMgr* g_pMidiPostMgr = nullptr;

namespace
{
bool IsDispatchedType(uint8_t type)
{
    return (type >= ZkMidiEventType_NoteOff && type < 0xF0) || type == ZkMidiEventType_Command;
}
} // namespace

CZkMidiPostMgr* CZkMidiPostMgr::Create()
{
    if (g_pMidiPostMgr != nullptr)
        return g_pMidiPostMgr;
    CZkMidiPostMgr* manager = ZK::ZkNew<CZkMidiPostMgr>(kPool);
    if (manager == nullptr)
        return nullptr;
    if (GlobalCallbacks::Register(&OnFrame, ZK::ZkGlobalCallbackLocation_BeginRender, manager, 0) != ZK_Success)
    {
        ZK::ZkDelete(kPool, manager);
        return nullptr;
    }
    g_pMidiPostMgr = manager;
    return manager;
}

void CZkMidiPostMgr::Destroy()
{
    CZkMidiPostMgr* manager = g_pMidiPostMgr;
    if (manager == nullptr)
        return;
    GlobalCallbacks::Unregister(&OnFrame, ZK::ZkGlobalCallbackLocation_BeginRender);
    g_pMidiPostMgr = nullptr;
    ZK::ZkDelete(kPool, manager);
}

CZkMidiPostMgr::~CZkMidiPostMgr()
{
    EndTargets([](const CZkMidiPostTarget&) { return true; });
    m_dispatch.Term();
    Term();
}

void CZkMidiPostMgr::OnFrame(ZK::IZkGlobalPluginContext*, ZK::ZkGlobalCallbackLocation, void* cookie)
{
    auto* manager = static_cast<CZkMidiPostMgr*>(cookie);
    const uint64_t frame = g_pEventMgr != nullptr ? uint64_t{g_pEventMgr->frameCounter} + 1 : 1;
    const uint32_t frames = ZkAudioSettings::FramesPerBuffer();
    manager->m_frameSampleTime = frame * frames;
    manager->AdvanceFrame(frames);
}

uint32_t CZkMidiPostMgr::TargetCount() const
{
    uint32_t count = 0;
    for (const CZkMidiPostTarget* target = m_targets; target != nullptr;
         target = static_cast<const CZkMidiPostTarget*>(target->pNextTarget))
        ++count;
    return count;
}

CZkMidiPostTarget* CZkMidiPostMgr::FindTarget(ZkUniqueID nodeID, ZkPlayingID playingID,
                                              const CZkRegisteredObj* object) const
{
    for (CZkMidiPostTarget* target = m_targets; target != nullptr;
         target = static_cast<CZkMidiPostTarget*>(target->pNextTarget))
    {
        if (target->NodeID() == nodeID && target->GameObject() == object &&
            (playingID == 0 || target->PlayingID() == playingID))
            return target;
    }
    return nullptr;
}

void CZkMidiPostMgr::PostMidiEvents(ZkUniqueID nodeID, ZkGameObjectID gameObject, ZkPlayingID playingID,
                                    const ZkMIDIPost* posts, uint32_t count, bool absolute)
{
    if (nodeID == 0 || gameObject == ZK_ALL_GAME_OBJECTS || g_pRegistryMgr == nullptr || posts == nullptr)
        return;
    CZkRegisteredObj* object = g_pRegistryMgr->GetObj(gameObject);
    if (object == nullptr)
        return;
    CZkMidiPostTarget* target = FindTarget(nodeID, playingID, object);
    if (target == nullptr)
    {
        if (playingID == 0)
            return;
        target = CZkMidiPostTarget::Create(*this, object, nodeID, playingID);
        if (target == nullptr)
            return;
        if (target->Init() != ZK_Success)
        {
            target->Release();
            return;
        }
        target->pNextTarget = m_targets;
        m_targets = target;
    }
    if (target->IsStopped())
        return;
    const uint64_t longestWait = uint64_t{ZkAudioSettings::SampleRate()} * kLongestWaitSeconds;
    for (uint32_t i = 0; i < count; ++i)
    {
        ZkMIDIPost post;
        std::memcpy(&post, reinterpret_cast<const uint8_t*>(posts) + i * sizeof(ZkMIDIPost), sizeof(post));
        uint64_t offset = post.offset & UINT32_MAX;
        if (absolute)
        {
            offset = post.offset - m_frameSampleTime; // an offset already past wraps far ahead
            if (offset > longestWait)
                offset = 0;
        }
        (void)target->Enqueue(post.event, static_cast<uint32_t>(offset)); // out of memory: this post is dropped
    }
}

void CZkMidiPostMgr::AddToDispatch(CZkMidiPostTarget& target, const ZkMIDIEvent& event, uint32_t offset, uint32_t order)
{
    const uint32_t at = ZkMidiDispatchOrder::Position(m_dispatch, offset, order);
    if (m_dispatch.Insert(at, DispatchEntry{&target, event, offset, order}) != nullptr)
        target.AddRef(); // else the event is dropped: the list cannot grow
}

void CZkMidiPostMgr::AdvanceFrame(uint32_t frames)
{
    for (CZkMidiPostTarget* target = m_targets; target != nullptr;
         target = static_cast<CZkMidiPostTarget*>(target->pNextTarget))
    {
        if (target->IsPaused())
            continue;
        target->TakeFrame(frames, [&](const ZkMIDIEvent& event, uint32_t offset) {
            if (IsDispatchedType(event.type) && !target->IsStopped())
                AddToDispatch(*target, event, offset, 0);
        });
    }

    CZkMidiPostTarget* before = nullptr;
    for (CZkMidiPostTarget* target = m_targets; target != nullptr;)
    {
        auto* next = static_cast<CZkMidiPostTarget*>(target->pNextTarget);
        const bool finished = (target->TargetFlags() & CZkMidiPostTarget::kKeepAlive) == 0 &&
                              target->RefCount() == 1 && !target->HasQueuedEvents();
        if (finished)
            EndTarget(target, before);
        else
            before = target;
        target = next;
    }

    for (uint32_t i = 0; i < m_dispatch.Length(); ++i)
    {
        DispatchEntry& entry = m_dispatch[i];
        ProcessEvent(*entry.target, entry.event, entry.offset, false);
        entry.target->Release();
    }
    m_dispatch.RemoveAll();
    ProcessNotes(frames);
}

void CZkMidiPostMgr::EndTarget(CZkMidiPostTarget* target, CZkMidiPostTarget* before)
{
    StopTarget(*target);
    if (before != nullptr)
        before->pNextTarget = target->pNextTarget;
    else
        m_targets = static_cast<CZkMidiPostTarget*>(target->pNextTarget);
    target->pNextTarget = nullptr;
    target->MarkStopped();
    target->ClearQueue();
    ForgetRecordOf(*target);
    target->Release();
}

template <typename Match>
void CZkMidiPostMgr::EndTargets(Match match)
{
    CZkMidiPostTarget* before = nullptr;
    for (CZkMidiPostTarget* target = m_targets; target != nullptr;)
    {
        auto* next = static_cast<CZkMidiPostTarget*>(target->pNextTarget);
        if (match(*target))
            EndTarget(target, before);
        else
            before = target;
        target = next;
    }
}

bool CZkMidiPostMgr::HasOtherTargetFor(const ZkMidiChannelState& record, const CZkMidiTarget& except) const
{
    for (const CZkMidiPostTarget* target = m_targets; target != nullptr;
         target = static_cast<const CZkMidiPostTarget*>(target->pNextTarget))
    {
        if (target != &except && record.IsFor(target->Node(), target->GameObject(), target->PlayingID()))
            return true;
    }
    return false;
}

ZKRESULT CZkMidiPostMgr::StopMidiOnEvent(ZkUniqueID nodeID, ZkGameObjectID gameObject, ZkPlayingID playingID)
{
    EndTargets([&](const CZkMidiPostTarget& target) {
        return (nodeID == 0 || target.NodeID() == nodeID) &&
               (gameObject == ZK_ALL_GAME_OBJECTS ||
                (target.GameObject() != nullptr && target.GameObject()->ID() == gameObject)) &&
               (playingID == 0 || target.PlayingID() == playingID);
    });
    return ZK_Success;
}

ZKRESULT CZkMidiPostMgr::ExecuteActionOnPlayingID(uint32_t action, ZkPlayingID playingID)
{
    if (action == kActionStop)
        return StopMidiOnEvent(0, ZK_ALL_GAME_OBJECTS, playingID);
    if (action != kActionPause && action != kActionResume)
        return ZK_Success;
    for (CZkMidiPostTarget* target = m_targets; target != nullptr;
         target = static_cast<CZkMidiPostTarget*>(target->pNextTarget))
    {
        if (playingID != 0 && target->PlayingID() != playingID)
            continue;
        target->SetPaused(action == kActionPause);
        if (action == kActionPause)
            PauseTarget(*target);
        else
            ResumeTarget(*target);
    }
    return ZK_Success;
}
} // namespace ZK::SoundEngine
