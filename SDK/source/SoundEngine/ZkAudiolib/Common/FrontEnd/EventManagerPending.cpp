// The event manager's pending actions: posting an event's actions, the delay rule (immediate under
// one frame, else the active list), the execution of due actions, and the end of the lists.
#include "ZkAudiolib/Common/FrontEnd/EventManager.h"

#include "ZkAudiolib/Common/Containers/ZkNew.h"
#include "ZkAudiolib/Common/Events/CZkEventAction.h"
#include "ZkAudiolib/Common/Events/CZkEventObject.h"
#include "ZkAudiolib/Common/FrontEnd/EngineSettings.h"
#include "ZkAudiolib/Common/FrontEnd/ProcessedItemCounter.h"
#include "ZkAudiolib/Common/GameObjects/CZkRegisteredObj.h"
#include "ZkAudiolib/Common/Playback/CZkPlayingMgr.h"
#include "ZkAudiolib/Common/Voice/ZkAudioSettings.h"

#include <algorithm>

namespace ZK::SoundEngine
{
namespace
{
void AddPlayingIDRef(ZkPlayingID playingID)
{
    if (playingID != 0 && g_pPlayingMgr != nullptr)
        g_pPlayingMgr->AddPlayingIDRef(playingID);
}

void RemovePlayingIDRef(ZkPlayingID playingID)
{
    if (playingID != 0 && g_pPlayingMgr != nullptr)
        g_pPlayingMgr->RemovePlayingIDRef(playingID);
}

// An action for the posting game object needs one that is still registered and can sound.
bool CanActFor(const CZkRegisteredObj* object)
{
    return object != nullptr && object->IsRegistered() && object->Emitter() != nullptr;
}
} // namespace

ZKRESULT EventManager::EnqueueEventActions(CZkIndexedObject* event, CZkRegisteredObj* gameObject, ZkGameObjectID,
                                           ZkPlayingID playingID, ZkPlayingID playingIDFilter,
                                           const ZkPlayRecord& play, uint32_t sampleOffset, bool force)
{
    if (event == nullptr)
        return ZK_Fail;
    // Every object of the event table is an event.
    for (CZkEventAction* action = static_cast<CZkEventObject*>(event)->FirstAction(); action != nullptr;
         action = action->pNextAction)
    {
        CZkRegisteredObj* object = nullptr;
        if (ActionTakesGameObject(action->Type()))
        {
            if (!CanActFor(gameObject))
                continue;
            object = gameObject;
        }
        auto* pending = ZK::ZkNew<PendingAction>(PendingAction::kPool, action, object);
        if (pending == nullptr)
            continue; // that action is lost; the others still run
        pending->playingID = playingID;
        pending->playingIDFilter = playingIDFilter;
        pending->SetPlayRecord(play);
        EnqueuePendingAction(pending, sampleOffset, force);
    }
    return ZK_Success;
}

ZKRESULT EventManager::EnqueuePendingAction(PendingAction* pending, uint32_t sampleOffset, bool force)
{
    AddPlayingIDRef(pending->playingID);
    CZkEventAction& action = *pending->action;
    action.AddRef();

    const uint64_t samplesPerFrame = std::max<uint64_t>(ZkAudioSettings::FramesPerBuffer(), 1);
    const uint64_t delay = uint64_t{action.GetDelay()} + sampleOffset;
    uint64_t frames = delay / samplesPerFrame;
    // A run-time play keeps up to the look-ahead's frames inside its sample offset: its voice
    // starts exactly where the container wants it, a frame or so ahead.
    if (action.Type() == kDynamicPlayActionType)
        frames -= std::min<uint64_t>(frames, GetEngineSettings().lookAheadFrames);
    pending->sampleOffset = static_cast<uint32_t>(delay - frames * samplesPerFrame);

    if (frames == 0 && !force)
    {
        const ZKRESULT result = action.Execute(*pending);
        DiscardPendingAction(pending);
        return result;
    }
    const uint64_t due = std::min<uint64_t>(uint64_t{frameCounter} + frames, UINT32_MAX);
    if (!InsertActive(pending, static_cast<uint32_t>(due)))
    {
        DiscardPendingAction(pending);
        return ZK_InsufficientMemory;
    }
    return ZK_Success;
}

bool EventManager::InsertActive(PendingAction* pending, uint32_t dueFrame)
{
    pending->dueFrame = dueFrame;
    pending->isPaused = false;
    return m_activeActions.Insert(dueFrame, pending);
}

bool EventManager::ExecuteDuePendingActions()
{
    bool ran = false;
    while (PendingAction* pending = m_activeActions.PopFirstDue(frameCounter))
    {
        pending->action->Execute(*pending);
        DiscardPendingAction(pending);
        ++g_ProcessedItemCount;
        ran = true;
    }
    return ran;
}

void EventManager::DiscardPendingAction(PendingAction* pending)
{
    RemovePlayingIDRef(pending->playingID);
    pending->action->Release();
    ZK::ZkDelete(PendingAction::kPool, pending);
}

void EventManager::DiscardChain(PendingAction* chain)
{
    while (chain != nullptr)
    {
        PendingAction* next = chain->pNextExtracted;
        DiscardPendingAction(chain);
        chain = next;
    }
}

void EventManager::TermPendingActions()
{
    const auto every = [](const PendingAction&) { return true; };
    DiscardChain(m_pausedActions.Extract(every));
    DiscardChain(m_activeActions.Extract(every));
    m_pausedActions.Term();
    m_activeActions.Term();
    m_nestedPostDepth = 0;
}
} // namespace ZK::SoundEngine
