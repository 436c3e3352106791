// The interface calls that play a source plug-in on its own and stop it: message 40, command 0 with
// a new playing id, or command 1 with the caller's.
#include "ZkAudiolib/Common/FrontEnd/EngineMessageBodies.h"
#include "ZkAudiolib/Common/FrontEnd/EventLookup.h"
#include "ZkAudiolib/Common/FrontEnd/MessagePosting.h"

#include <ZK/SoundEngine/Common/ZkEventCalls.h>

namespace ZK::SoundEngine
{
namespace
{
constexpr uint32_t kCommandPlay = 0;
constexpr uint32_t kCommandStop = 1;

ZKRESULT PostSourcePlugin(uint32_t command, uint32_t pluginID, uint32_t companyID, ZkGameObjectID gameObject,
                          ZkPlayingID playingID)
{
    ZkSourcePluginMessage body{};
    body.gameObject = gameObject;
    body.playingID = playingID;
    body.pluginID = pluginID;
    body.companyID = companyID;
    body.command = command;
    return MessagePosting::PostFixed(ZkMessage_SourcePlugin, body);
}
} // namespace

ZkPlayingID PlaySourcePlugin(uint32_t pluginID, uint32_t companyID, ZkGameObjectID gameObject)
{
    const ZkPlayingID playingID = NewPlayingID();
    return PostSourcePlugin(kCommandPlay, pluginID, companyID, gameObject, playingID) == ZK_Success
               ? playingID
               : ZK_INVALID_PLAYING_ID;
}

ZKRESULT StopSourcePlugin(uint32_t pluginID, uint32_t companyID, ZkPlayingID playingID)
{
    PostSourcePlugin(kCommandStop, pluginID, companyID, ZK_ALL_GAME_OBJECTS, playingID);
    return ZK_Success;
}
} // namespace ZK::SoundEngine
