#include "MusicEngine/MusicEngineHooks.h"

#include "MusicEngine/CZkSegmentInfoTable.h"
#include "MusicEngine/HeldStateChanges.h"
#include "MusicEngine/MusicEngineState.h"
#include "ZkAudiolib/Common/FrontEnd/EventManager.h"
#include "ZkAudiolib/Common/Playback/ZkVoiceLists.h"
#include "ZkAudiolib/Common/Voice/ZkAudioSettings.h"

#include <ZK/SoundEngine/Common/ZkCurveTypes.h>

namespace ZK::MusicEngine
{
void ZkMusicFrameCallback(ZK::IZkGlobalPluginContext*, ZK::ZkGlobalCallbackLocation, void*)
{
    MusicEngineState& music = MusicEngineState::Get();
    uint8_t refreshValue = 0;
    if (music.TakeSpeedRefresh(refreshValue))
    {
        for (CZkMusicTimelineContext* context = music.FirstPlaying(); context != nullptr; context = context->nextRoot)
        {
            if (context->playRecord == nullptr)
                continue;
            context->playRecord->speedEvaluated = false;
            context->playRecord->refreshValue = refreshValue;
        }
    }
    const uint32_t frames = SoundEngine::ZkAudioSettings::FramesPerBuffer();
    CZkSegmentInfoTable& segments = CZkSegmentInfoTable::ProcessTable();
    for (CZkMusicTimelineContext* context = music.FirstPlaying(); context != nullptr;)
    {
        // Read before the context advances: advancing may end it and take it off the list.
        CZkMusicTimelineContext* next = context->nextRoot;
        CZkMusicPlayRecord* play = context->playRecord;
        if (play != nullptr)
        {
            ZkSegmentInfo info;
            if ((context->callbackFlags & ZkPostFlag_RecordSegmentInfo) != 0 && context->GetSegmentInfo(info) == ZK_Success)
                segments.Write(play->PlayingID(), info);
            play->Advance(frames);
        }
        context = next;
    }
    // The clips started in this frame are one launch: the voice queue starts them together once
    // their voices are ready (a streamed clip waits for its first data). Closing it here keeps a
    // sound posted in a later frame out of it, so that it never waits for the music's streams.
    SoundEngine::ZkVoiceLists::IncrementLaunchCounter();
    if (SoundEngine::g_pEventMgr != nullptr)
        SoundEngine::g_pEventMgr->ExecuteDuePendingActions();
}

void ZkMusicTermCallback(ZK::IZkGlobalPluginContext*, ZK::ZkGlobalCallbackLocation, void*)
{
    MusicEngineState& music = MusicEngineState::Get();
    for (CZkMusicTimelineContext* context = music.FirstPlaying(); context != nullptr;)
    {
        CZkMusicTimelineContext* next = context->nextRoot;
        context->StopWithFade(ZkMusicFadeParams{0, ZkCurveInterpolation_Linear, 0}, 0);
        context = next;
    }
    // The default transition rule's id lists come with the music objects; none exists yet.
    CZkSegmentInfoTable::ProcessTable().Release();
    music.Release();
}

bool ZkMusicStateChangeHook(ZkUniqueID stateGroup, ZkUniqueID state)
{
    MusicEngineState& music = MusicEngineState::Get();
    const SyncPointChoice best = FindEarliestSyncPoint(stateGroup);
    if (!IsWorthHolding(best))
        return false;

    PendingStateChange* record = music.TakeRecord();
    if (record == nullptr)
    {
        // Without a record the change is applied now, and older held changes of the group would
        // otherwise override it later.
        music.MarkGroupDone(stateGroup);
        return false;
    }
    record->stateGroup = stateGroup;
    record->state = state;
    music.PushPending(record);
    if (best.context->playRecord->QueueStateChange(record, best.answer.steps, best.answer.scheduleTime) != ZK_Success)
    {
        // Applied now, as without a record: the group's older held changes must not follow it.
        music.DropPending(record);
        music.MarkGroupDone(stateGroup);
        return false;
    }
    record->flags = PendingStateChange::kWaiting;
    return true;
}

void ZkMusicBankUnloadHook(SoundEngine::LoadedBank* bank)
{
    for (CZkMusicTimelineContext* context = MusicEngineState::Get().FirstPlaying(); context != nullptr;
         context = context->nextRoot)
    {
        if (context->playRecord != nullptr)
            context->playRecord->OnBankUnload(bank);
    }
}
} // namespace ZK::MusicEngine
