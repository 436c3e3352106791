// What each message carries that someone must give back: the references posters took (events,
// dynamic sequences, external sources, a bank, the playing id's pending reference) and the copies
// they made (names, marker texts, volume offsets, speaker angles, plug-in data).
#include "ZkAudiolib/Common/Banks/LoadedBank.h"
#include "ZkAudiolib/Common/FrontEnd/EngineMessageBodies.h"
#include "ZkAudiolib/Common/FrontEnd/EngineMessageHandlers.h"
#include "ZkAudiolib/Common/FrontEnd/ZkExternalSourceArray.h"
#include "ZkAudiolib/Common/ObjectIndex/CZkIndexedObject.h"
#include "ZkAudiolib/Common/Playback/CZkPlayingMgr.h"

#include <ZK/SoundEngine/Common/ZkMemoryMgr.h>

namespace ZK::SoundEngine
{
namespace
{
constexpr ZkMemoryId kCopiesPool = ZkMemID_Default;
constexpr ZkMemoryId kPluginDataPool = ZkMemID_Processing;

void Release(CZkIndexedObject* object)
{
    if (object != nullptr)
        object->Release();
}

void DropPendingReference(ZkPlayingID playingID)
{
    if (g_pPlayingMgr != nullptr)
        g_pPlayingMgr->RemovePlayingIDRef(playingID);
}

void FreeCopy(ZkMemoryId pool, void* copy)
{
    if (copy != nullptr)
        ZK::MemoryMgr::Free(pool, copy);
}
} // namespace

void ReleaseMessageHoldings(const uint8_t* message)
{
    switch (ReadMessageHeader(message).type)
    {
    case ZkMessage_PostEvent:
    {
        const auto body = ReadMessageBody<ZkPostEventMessage>(message);
        DropPendingReference(body.playingID);
        Release(body.event);
        if (body.externalSources != nullptr)
            body.externalSources->Release();
        break;
    }
    case ZkMessage_SetListenerSpatialization:
        FreeCopy(kCopiesPool, ReadMessageBody<ZkListenerSpatializationMessage>(message).volumeOffsets);
        break;
    case ZkMessage_OpenDynamicSequence:
        Release(ReadMessageBody<ZkOpenDynamicSequenceMessage>(message).sequence);
        break;
    case ZkMessage_DynamicSequenceCommand:
        Release(ReadMessageBody<ZkDynamicSequenceCommandMessage>(message).sequence);
        break;
    case ZkMessage_SeekDynamicSequence:
        Release(ReadMessageBody<ZkSeekDynamicSequenceMessage>(message).sequence);
        break;
    case ZkMessage_UnloadBank:
        LoadedBank::Release(ReadMessageBody<ZkUnloadBankMessage>(message).bank, false);
        break;
    case ZkMessage_ExecuteActionOnEvent:
        Release(ReadMessageBody<ZkActionOnEventMessage>(message).event);
        break;
    case ZkMessage_PostMIDIOnEvent:
    {
        const auto body = ReadMessageBody<ZkPostMIDIMessage>(message);
        Release(body.event);
        DropPendingReference(body.playingID);
        break;
    }
    case ZkMessage_StopMIDIOnEvent:
        Release(ReadMessageBody<ZkStopMIDIMessage>(message).event);
        break;
    case ZkMessage_PinEventInStreamCache:
        Release(ReadMessageBody<ZkPinEventMessage>(message).event);
        break;
    case ZkMessage_SeekOnEvent:
        Release(ReadMessageBody<ZkSeekOnEventMessage>(message).event);
        break;
    case ZkMessage_OutputCapture:
        FreeCopy(kCopiesPool, ReadMessageBody<ZkOutputCaptureMessage>(message).fileName);
        break;
    case ZkMessage_OutputCaptureMarker:
        FreeCopy(kCopiesPool, ReadMessageBody<ZkCaptureMarkerMessage>(message).text);
        break;
    case ZkMessage_SetSpeakerAngles:
        FreeCopy(kCopiesPool, ReadMessageBody<ZkSpeakerAnglesMessage>(message).angles);
        break;
    case ZkMessage_PluginCustomGameData:
        FreeCopy(kPluginDataPool, ReadMessageBody<ZkPluginCustomDataMessage>(message).data);
        break;
    default:
        break;
    }
}
} // namespace ZK::SoundEngine
