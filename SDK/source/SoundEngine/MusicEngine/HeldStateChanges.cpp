#include "MusicEngine/HeldStateChanges.h"

#include "MusicEngine/Contexts/CZkMusicTimelineContext.h"
#include "MusicEngine/MusicEngineState.h"
#include "ZkAudiolib/Common/FrontEnd/GameSyncMessages.h"
#include "ZkAudiolib/Common/Voice/ZkAudioSettings.h"

namespace ZK::MusicEngine
{
namespace
{
// A context whose sync point a state change may wait for: playing and not paused.
bool TakesPartInSyncSearch(const CZkMusicTimelineContext& context)
{
    return (context.StateByte() & CZkMusicContext::kPlaying) != 0 && !context.IsPaused() &&
           context.playRecord != nullptr;
}

// Posts the change as a state message that skips the pre-change notice and the hook (it has been
// through both) and keeps the group's transition; older requests of the group are overtaken.
void PostNow(MusicEngineState& music, PendingStateChange& record)
{
    record.flags |= PendingStateChange::kDone;
    record.flags &= ~PendingStateChange::kWaiting;
    SoundEngine::SetStateInternal(record.stateGroup, record.state, false, true);
    music.MarkOlderOfGroupDone(record);
}
} // namespace

SyncPointChoice FindEarliestSyncPoint(ZkUniqueID stateGroup)
{
    SyncPointChoice best;
    for (CZkMusicTimelineContext* context = MusicEngineState::Get().FirstPlaying(); context != nullptr;
         context = context->nextRoot)
    {
        if (!TakesPartInSyncSearch(*context))
            continue;
        SyncPointAnswer answer;
        if (context->playRecord->GetNextSyncPoint(stateGroup, answer) != ZK_Success || !answer.found)
            continue;
        if (best.context == nullptr || answer.samplesFromNow < best.answer.samplesFromNow)
            best = SyncPointChoice{context, answer};
    }
    return best;
}

bool IsWorthHolding(const SyncPointChoice& choice)
{
    const int64_t frame = SoundEngine::ZkAudioSettings::FramesPerBuffer();
    return choice.context != nullptr && choice.answer.samplesFromNow - frame > 0;
}

void ApplyHeldStateChange(PendingStateChange& record)
{
    MusicEngineState& music = MusicEngineState::Get();
    if (!music.IsRunning())
        return;
    record.flags &= ~PendingStateChange::kWaiting;
    if ((record.flags & PendingStateChange::kDone) == 0)
        PostNow(music, record);
    music.Purge();
}

void RescheduleStateChange(PendingStateChange& record)
{
    MusicEngineState& music = MusicEngineState::Get();
    if (!music.IsRunning())
        return;
    if ((record.flags & PendingStateChange::kDone) == 0)
    {
        const SyncPointChoice choice = FindEarliestSyncPoint(record.stateGroup);
        if (IsWorthHolding(choice) &&
            choice.context->playRecord->QueueStateChange(&record, choice.answer.steps, choice.answer.scheduleTime) ==
                ZK_Success)
        {
            record.flags |= PendingStateChange::kWaiting;
            return;
        }
        PostNow(music, record);
    }
    record.flags &= ~PendingStateChange::kWaiting;
    music.Purge();
}
} // namespace ZK::MusicEngine
