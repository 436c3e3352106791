#include "MusicEngine/Contexts/MusicPlays.h"

#include "MusicEngine/CZkMusicNode.h"
#include "MusicEngine/CZkSegmentInfoTable.h"
#include "MusicEngine/Contexts/CZkMusicTimelineContext.h"
#include "MusicEngine/MusicEngineState.h"
#include "ZkAudiolib/Common/Playback/CZkContainerPlayContext.h"
#include "ZkAudiolib/Common/GameObjects/CZkRegisteredObj.h"
#include "ZkAudiolib/Common/Hierarchy/ZkActivityRecord.h"
#include "ZkAudiolib/Common/Playback/CZkActiveInstances.h"
#include "ZkAudiolib/Common/Playback/CZkPlayingMgr.h"

namespace ZK::MusicEngine
{
using SoundEngine::CZkContainerPlayContext;
using SoundEngine::g_pPlayingMgr;

namespace
{
// The playing manager keeps the members of a playing id by address: it compares them and never
// calls them. A music play is listed under the address of its root context.
SoundEngine::CZkPlayingInstance* MemberAddress(CZkMusicTimelineContext& root)
{
    return reinterpret_cast<SoundEngine::CZkPlayingInstance*>(&root);
}

bool WantsSegmentInfo(const CZkMusicTimelineContext& root)
{
    return (root.callbackFlags & ZkPostFlag_RecordSegmentInfo) != 0;
}
} // namespace

ZKRESULT StartPlay(CZkMusicTimelineContext& root, const ZkMusicPlayInfo& playInfo, CZkRegisteredObj* gameObject,
                   uint8_t option)
{
    CZkMusicPlayRecord* record = CZkMusicPlayRecord::Create(root, playInfo, gameObject, option);
    if (record == nullptr)
        return ZK_Fail;
    CZkMusicNode* node = root.GetNode();
    if (node != nullptr)
    {
        // A music play counts at its node without limits; only the lack of activity records
        // refuses it (nothing is counted then).
        SoundEngine::ZkPlayCount play;
        play.gameObject = gameObject;
        play.checkLimits = false;
        if (node->PlayCountUp(play) == ZK_InsufficientMemory)
        {
            record->Destroy();
            return ZK_Fail;
        }
        CZkContainerPlayContext::RegisterForUpdates(node);
    }
    MusicEngineState::Get().PushPlaying(&root);
    root.SetPlayRecord(record);
    SoundEngine::CZkActiveInstances::AddPlayContext(record);

    const ZkPlayingID playingID = playInfo.playingID;
    if (playingID == 0)
        return ZK_Fail;
    uint32_t flags = 0;
    ZKRESULT result = ZK_Success;
    if (g_pPlayingMgr != nullptr)
        result = g_pPlayingMgr->AddInstanceToPlayingID(playingID, MemberAddress(root), gameObject, flags);
    root.SetCallbackFlags(flags);
    if (WantsSegmentInfo(root) && CZkSegmentInfoTable::ProcessTable().Add(playingID) != ZK_Success)
        root.SetCallbackFlags(flags & ~ZkPostFlag_RecordSegmentInfo);
    if (g_pPlayingMgr != nullptr)
        g_pPlayingMgr->NotifyMusicPlaybackEvent(playingID);
    return result;
}

void EndPlay(CZkMusicTimelineContext& root)
{
    MusicEngineState::Get().RemovePlaying(&root);
    CZkMusicPlayRecord* record = root.playRecord;
    if (record == nullptr)
        return;
    root.SetPlayRecord(nullptr);
    SoundEngine::CZkActiveInstances::RemovePlayContext(record);
    const ZkPlayingID playingID = record->PlayingID();
    if (playingID != 0)
    {
        if (WantsSegmentInfo(root))
            CZkSegmentInfoTable::ProcessTable().Remove(playingID);
        if (g_pPlayingMgr != nullptr)
            g_pPlayingMgr->RemoveInstanceFromPlayingID(playingID, MemberAddress(root));
    }
    // The node counted the play whatever the playing id: it is counted down whenever the play had
    // a record (a play refused for playing id 0 would otherwise keep its node playing for good).
    if (CZkMusicNode* node = root.GetNode(); node != nullptr)
    {
        node->PlayCountDown(record->gameObject, true);
        CZkContainerPlayContext::UnregisterFromUpdates(node);
    }
    record->Destroy();
}
} // namespace ZK::MusicEngine
