// The queries of game-parameter values, states and switches, under the global engine lock.
#include "ZkAudiolib/Common/FrontEnd/EngineLock.h"
#include "ZkAudiolib/Common/GameObjects/CZkRegistryMgr.h"
#include "ZkAudiolib/Common/GameSyncs/CZkStateMgr.h"
#include "ZkAudiolib/Common/GameSyncs/CZkSwitchMgr.h"
#include "ZkAudiolib/Common/Parameters/CZkModulatorMgr.h"
#include "ZkAudiolib/Common/Parameters/CZkRTPCMgr.h"
#include "ZkAudiolib/Common/Playback/CZkPlayingMgr.h"

#include <ZK/SoundEngine/Common/ZkIdFromName.h>
#include <ZK/SoundEngine/Common/ZkQueryParameters.h>

namespace ZK::SoundEngine::Query
{
namespace
{
CZkRegisteredObj* RegisteredObject(ZkGameObjectID id)
{
    return g_pRegistryMgr != nullptr && id != ZK_ALL_GAME_OBJECTS ? g_pRegistryMgr->GetObj(id) : nullptr;
}

// The scope of the match: the deepest part the best match kept.
RTPCValue_type TypeOfMatch(const ZkRTPCKey& key)
{
    if (key.playingID != 0)
        return RTPCValue_PlayingID;
    return key.gameObject != nullptr ? RTPCValue_GameObject : RTPCValue_Global;
}

// The best-matching stored value of the parameter for the scope (key narrowed to the match).
bool FindScopedValue(ZkUniqueID parameterID, ZkRTPCKey& key, float& value)
{
    if (ZkRTPCParamEntry* entry = g_pRTPCMgr->FindEntry(parameterID))
    {
        // A built-in parameter read for an object: the object brings its built-in values up to date.
        if (entry->builtInRow != 0 && key.gameObject != nullptr)
            key.gameObject->UseBuiltInParam(entry->builtInRow);
        if (const float* slot = entry->tree.FindBestMatch(key))
        {
            value = *slot;
            return true;
        }
        return false;
    }
    return g_pModulatorMgr != nullptr && g_pModulatorMgr->GetValue(parameterID, key, value);
}
} // namespace

ZKRESULT GetRTPCValue(ZkUniqueID parameterID, ZkGameObjectID gameObject, ZkPlayingID playingID, float& value,
                      RTPCValue_type& type)
{
    bool scoped = true;
    switch (type)
    {
    case RTPCValue_Global:
        gameObject = ZK_ALL_GAME_OBJECTS;
        playingID = 0;
        break;
    case RTPCValue_GameObject: playingID = 0; break;
    case RTPCValue_PlayingID:
        if (playingID != 0 && gameObject == ZK_ALL_GAME_OBJECTS && g_pPlayingMgr != nullptr)
            gameObject = g_pPlayingMgr->GetGameObjectFromPlayingID(playingID);
        break;
    default: scoped = false; break;
    }

    ZK::Platform::ZkScopedLock engineLock(g_EngineLock);
    if (g_pRTPCMgr == nullptr)
        return ZK_Fail;
    if (scoped)
    {
        ZkRTPCKey key = ZkRTPCKey::ForObject(RegisteredObject(gameObject), playingID);
        if (FindScopedValue(parameterID, key, value))
        {
            type = TypeOfMatch(key);
            return ZK_Success;
        }
    }
    bool found = false;
    const float defaultValue = g_pRTPCMgr->GetDefaultValue(parameterID, found);
    if (!found)
    {
        type = RTPCValue_Unavailable;
        return ZK_InvalidID;
    }
    value = defaultValue;
    type = RTPCValue_Default;
    return ZK_Success;
}

ZKRESULT GetRTPCValue(const char* parameterName, ZkGameObjectID gameObject, ZkPlayingID playingID, float& value,
                      RTPCValue_type& type)
{
    return GetRTPCValue(GetIDFromString(parameterName), gameObject, playingID, value, type);
}

ZKRESULT GetRTPCValue(const wchar_t* parameterName, ZkGameObjectID gameObject, ZkPlayingID playingID, float& value,
                      RTPCValue_type& type)
{
    return GetRTPCValue(GetIDFromString(parameterName), gameObject, playingID, value, type);
}

ZKRESULT GetState(ZkUniqueID stateGroup, ZkUniqueID& state)
{
    ZK::Platform::ZkScopedLock engineLock(g_EngineLock);
    if (g_pStateMgr == nullptr)
        return ZK_Fail;
    return g_pStateMgr->QueryState(stateGroup, state) ? ZK_Success : ZK_InvalidID;
}

ZKRESULT GetState(const char* stateGroupName, ZkUniqueID& state)
{
    return GetState(GetIDFromString(stateGroupName), state);
}

ZKRESULT GetState(const wchar_t* stateGroupName, ZkUniqueID& state)
{
    return GetState(GetIDFromString(stateGroupName), state);
}

ZKRESULT GetSwitch(ZkUniqueID switchGroup, ZkGameObjectID gameObject, ZkUniqueID& switchState)
{
    ZK::Platform::ZkScopedLock engineLock(g_EngineLock);
    if (g_pSwitchMgr == nullptr || g_pRegistryMgr == nullptr)
        return ZK_Fail;
    CZkRegisteredObj* object = g_pRegistryMgr->GetObj(gameObject);
    if (object == nullptr)
        return ZK_InvalidID;
    return g_pSwitchMgr->QuerySwitch(switchGroup, ZkRTPCKey::ForObject(object), switchState) ? ZK_Success
                                                                                             : ZK_InvalidID;
}

ZKRESULT GetSwitch(const char* switchGroupName, ZkGameObjectID gameObject, ZkUniqueID& switchState)
{
    return GetSwitch(GetIDFromString(switchGroupName), gameObject, switchState);
}

ZKRESULT GetSwitch(const wchar_t* switchGroupName, ZkGameObjectID gameObject, ZkUniqueID& switchState)
{
    return GetSwitch(GetIDFromString(switchGroupName), gameObject, switchState);
}
} // namespace ZK::SoundEngine::Query
