#include "ZkAudiolib/Common/Hierarchy/CZkLayerPlayContext.h"

#include "ZkAudiolib/Common/FrontEnd/ZkExternalSourceArray.h"
#include "ZkAudiolib/Common/GameObjects/CZkRegisteredObj.h"
#include "ZkAudiolib/Common/Hierarchy/CZkContainerLayer.h"
#include "ZkAudiolib/Common/Hierarchy/CZkLayeredContainerNode.h"
#include "ZkAudiolib/Common/Modulators/ZkModulatorTrigger.h"
#include "ZkAudiolib/Common/Parameters/CZkModulatorMgr.h"
#include "ZkAudiolib/Common/Hierarchy/ZkPlayContextBlocks.h"
#include "ZkAudiolib/Common/Playback/CZkPlayingMgr.h"

#include <algorithm>

namespace ZK::SoundEngine
{
using Blocks = ZkPlayContextBlocks<CZkLayerPlayContext>;

CZkLayerPlayContext* CZkLayerPlayContext::Take(CZkLayeredContainerNode& owner, const PlayLaunchParams& params)
{
    return Blocks::Take(owner, params);
}

void CZkLayerPlayContext::Give(CZkLayerPlayContext* context) { Blocks::Give(context); }

uint32_t CZkLayerPlayContext::PoolBlockCount() { return Blocks::BlockCount(); }

CZkLayerPlayContext::CZkLayerPlayContext(CZkLayeredContainerNode& container, const PlayLaunchParams& params)
    : owner(&container), gameObject(params.gameObject), playingID(params.playingID),
      externalSources(params.externalSources), midiChannel(params.midiEvent.channel),
      midiNote(params.midiEvent.HasNote() ? params.midiEvent.note : ZkMidiEvent::kAnyNote)
{
    modulatorLinks.Init();
    if (gameObject != nullptr)
        gameObject->AddRef();
    if (externalSources != nullptr)
        externalSources->AddRef();
    if (g_pPlayingMgr != nullptr)
        g_pPlayingMgr->AddPlayingIDRef(playingID);
}

CZkLayerPlayContext::~CZkLayerPlayContext()
{
    modulatorLinks.Release();
    children.Term();
    if (externalSources != nullptr)
        externalSources->Release();
    if (gameObject != nullptr)
        gameObject->Release();
    // Last: the playing id may end here, and its end is reported to the game.
    if (g_pPlayingMgr != nullptr)
        g_pPlayingMgr->RemovePlayingIDRef(playingID);
}

void CZkLayerPlayContext::ExecuteAction(const ZkActionParams& params) { owner->ApplyActionToContext(*this, params); }

ZkRTPCKey CZkLayerPlayContext::Key() const
{
    ZkRTPCKey key;
    key.gameObject = static_cast<CZkRegisteredObj*>(gameObject);
    key.playingID = playingID;
    key.midiChannel = midiChannel;
    key.midiNote = midiNote;
    return key;
}

bool CZkLayerPlayContext::Matches(const CZkGameObject* object, ZkPlayingID id) const
{
    return (object == nullptr || object == gameObject) && (id == 0 || id == playingID);
}

ZkLayerChildState* CZkLayerPlayContext::FindChild(ZkUniqueID childID)
{
    ZkLayerChildState* at = std::lower_bound(children.begin(), children.end(), childID,
                                             [](const ZkLayerChildState& state, ZkUniqueID id) { return state.childID < id; });
    return at != children.end() && at->childID == childID ? at : nullptr;
}

bool CZkLayerPlayContext::SetChild(ZkUniqueID childID, uint32_t silentLayers)
{
    ZkLayerChildState* at = std::lower_bound(children.begin(), children.end(), childID,
                                             [](const ZkLayerChildState& state, ZkUniqueID id) { return state.childID < id; });
    if (at != children.end() && at->childID == childID)
    {
        at->silentLayers = silentLayers;
        return true;
    }
    return children.Insert(static_cast<uint32_t>(at - children.begin()), ZkLayerChildState{childID, silentLayers}) !=
           nullptr;
}

void CZkLayerPlayContext::FillPlayParams(PlayLaunchParams& params) const
{
    params.Init();
    params.gameObject = gameObject;
    params.playingID = playingID;
    params.externalSources = externalSources;
    if (externalSources != nullptr)
        externalSources->AddRef();
    params.midiEvent.channel = midiChannel;
    params.launchFlags |= PlayLaunchParams::kFlagFirstItem;
}

ZKRESULT CZkLayerPlayContext::RunLayerModulators()
{
    if (g_pModulatorMgr == nullptr)
        return ZK_Success;
    ZkModulatorKeyList keys;
    for (uint32_t index = 0; index < owner->LayerCount(); ++index)
        owner->Layer(index)->AppendModulatorKeys(keys);
    if (keys.IsEmpty())
        return ZK_Success;
    ZkModulatorTrigger trigger;
    trigger.gameObject = static_cast<CZkRegisteredObj*>(gameObject);
    trigger.playingID = playingID;
    trigger.midi.channel = midiChannel;
    if (midiNote != ZkMidiEvent::kAnyNote)
    {
        // The context keeps a note only from a note event: the modulators' note scope is that note.
        trigger.midi.status = kMidiStatusNoteOn;
        trigger.midi.note = midiNote;
    }
    return g_pModulatorMgr->ProcessForKeyList(keys, trigger, &modulatorLinks);
}
} // namespace ZK::SoundEngine
