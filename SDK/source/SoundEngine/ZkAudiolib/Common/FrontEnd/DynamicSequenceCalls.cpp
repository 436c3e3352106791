// The interface calls of ZK::SoundEngine::DynamicSequence: Open creates the sequence on the caller's
// thread and registers its playing id; the commands and the seek post messages 25 and 58, each
// holding the reference of the look-up; the playlist and the getters work on the sequence itself.
//
// The look-up treats a closing sequence as absent, except for LockPlaylist and UnlockPlaylist: a
// game that closes a sequence while it holds the playlist can still leave the lock.
#include "ZkAudiolib/Common/DynamicSequence/CZkDynamicSequence.h"
#include "ZkAudiolib/Common/FrontEnd/EngineMessageBodies.h"
#include "ZkAudiolib/Common/FrontEnd/EventLookup.h"
#include "ZkAudiolib/Common/FrontEnd/MessagePosting.h"
#include "ZkAudiolib/Common/Playback/CZkPlayingMgr.h"

#include <ZK/SoundEngine/Common/ZkDynamicSequence.h>

#include <cstring>

namespace ZK::SoundEngine::DynamicSequence
{
namespace
{
// Posts the command with the look-up's reference, which the message then holds. 1; 2 when the id
// is no open sequence or nothing could be posted.
ZKRESULT PostCommand(ZkPlayingID id, uint32_t command, ZkTimeMs transitionMs, uint32_t curve, bool closes = false)
{
    CZkDynamicSequence* sequence = CZkDynamicSequence::Find(id, false);
    if (sequence == nullptr)
        return ZK_Fail;
    if (closes)
        sequence->MarkClosing(); // later calls find nothing from now on
    const ZkDynamicSequenceCommandMessage body{sequence, command, transitionMs, curve};
    if (MessagePosting::PostFixed(ZkMessage_DynamicSequenceCommand, body) != ZK_Success)
    {
        sequence->Release();
        return ZK_Fail;
    }
    return ZK_Success;
}

ZKRESULT PostSeek(ZkPlayingID id, ZkSeekDynamicSequenceMessage body)
{
    CZkDynamicSequence* sequence = CZkDynamicSequence::Find(id, false);
    if (sequence == nullptr)
        return ZK_Fail;
    body.sequence = sequence;
    if (MessagePosting::PostFixed(ZkMessage_SeekDynamicSequence, body) != ZK_Success)
    {
        sequence->Release();
        return ZK_Fail;
    }
    return ZK_Success;
}
} // namespace

ZkPlayingID Open(ZkGameObjectID gameObject, uint32_t flags, ZkCallbackFunc callback, void* cookie,
                 DynamicSequenceType type)
{
    const ZkPlayingID playingID = NewPlayingID();
    CZkDynamicSequence* sequence = CZkDynamicSequence::Create(playingID, type);
    if (sequence == nullptr)
        return ZK_INVALID_PLAYING_ID;
    ZKRESULT reserved = ZK_Fail;
    uint8_t* message =
        MessagePosting::Reserve(ZkMessage_OpenDynamicSequence, MessageBytes<ZkOpenDynamicSequenceMessage>(), reserved);
    if (message == nullptr)
    {
        sequence->Release(); // out of the table again
        return ZK_INVALID_PLAYING_ID;
    }
    ZkOpenDynamicSequenceMessage body{};
    body.gameObject = gameObject;
    body.playingID = playingID;
    body.sequence = sequence;
    sequence->AddRef(); // the message's
    std::memcpy(message + kMessageHeaderBytes, &body, sizeof(body));
    // The registration's pending reference is the sequence's own, dropped when it closes.
    if (g_pPlayingMgr == nullptr ||
        g_pPlayingMgr->AddPlayingIDNoMessage(playingID, gameObject, callback, cookie, flags, 0) != ZK_Success)
    {
        sequence->Release();
        sequence->Release();
        MessagePosting::Abandon(message);
        return ZK_INVALID_PLAYING_ID;
    }
    MessagePosting::Finish();
    return playingID;
}

ZKRESULT Play(ZkPlayingID sequence, ZkTimeMs transitionMs, ZkCurveInterpolation curve)
{
    return PostCommand(sequence, CZkDynamicSequence::kCommandPlay, transitionMs, curve);
}

ZKRESULT Pause(ZkPlayingID sequence, ZkTimeMs transitionMs, ZkCurveInterpolation curve)
{
    return PostCommand(sequence, CZkDynamicSequence::kCommandPause, transitionMs, curve);
}

ZKRESULT Resume(ZkPlayingID sequence, ZkTimeMs transitionMs, ZkCurveInterpolation curve)
{
    return PostCommand(sequence, CZkDynamicSequence::kCommandResume, transitionMs, curve);
}

ZKRESULT Stop(ZkPlayingID sequence, ZkTimeMs transitionMs, ZkCurveInterpolation curve)
{
    return PostCommand(sequence, CZkDynamicSequence::kCommandStop, transitionMs, curve);
}

ZKRESULT Break(ZkPlayingID sequence)
{
    return PostCommand(sequence, CZkDynamicSequence::kCommandBreak, 0, ZkCurveInterpolation_Linear);
}

ZKRESULT Close(ZkPlayingID sequence)
{
    return PostCommand(sequence, CZkDynamicSequence::kCommandClose, 0, ZkCurveInterpolation_Linear, true);
}

ZKRESULT Seek(ZkPlayingID sequence, ZkTimeMs positionMs, bool snapToNearestMarker)
{
    ZkSeekDynamicSequenceMessage body{};
    body.position.milliseconds = positionMs;
    body.snapToNearestMarker = snapToNearestMarker ? 1 : 0;
    return PostSeek(sequence, body);
}

ZKRESULT Seek(ZkPlayingID sequence, float fraction, bool snapToNearestMarker)
{
    if (!MessagePosting::IsFinite(fraction))
        return ZK_NotFinite;
    ZkSeekDynamicSequenceMessage body{};
    body.position.fraction = fraction;
    body.isFraction = 1;
    body.snapToNearestMarker = snapToNearestMarker ? 1 : 0;
    return PostSeek(sequence, body);
}

Playlist* LockPlaylist(ZkPlayingID sequence)
{
    // The look-up's reference stays with the lock until UnlockPlaylist: a sequence closed while
    // the game edits its playlist is not freed under the game's hands.
    CZkDynamicSequence* found = CZkDynamicSequence::Find(sequence, true);
    return found != nullptr ? found->LockPlaylist() : nullptr;
}

ZKRESULT UnlockPlaylist(ZkPlayingID sequence)
{
    CZkDynamicSequence* found = CZkDynamicSequence::Find(sequence, true);
    if (found == nullptr)
        return ZK_Fail;
    const ZKRESULT result = found->UnlockPlaylist();
    found->Release();
    return result;
}

ZKRESULT GetPauseTimes(ZkPlayingID sequence, uint32_t& pauseStart, uint32_t& pausedFrames)
{
    CZkDynamicSequence* found = CZkDynamicSequence::Find(sequence, false);
    if (found == nullptr)
        return ZK_Fail;
    found->GetPauseTimes(pauseStart, pausedFrames);
    found->Release();
    return ZK_Success;
}

ZKRESULT GetPlayingItem(ZkPlayingID sequence, ZkUniqueID& audioNodeID, void*& customInfo)
{
    CZkDynamicSequence* found = CZkDynamicSequence::Find(sequence, false);
    if (found == nullptr)
        return ZK_Fail;
    found->GetPlayingItem(audioNodeID, customInfo);
    found->Release();
    return ZK_Success;
}
} // namespace ZK::SoundEngine::DynamicSequence
