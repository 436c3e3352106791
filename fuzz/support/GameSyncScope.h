// For the fuzz entries of the game-sync readers: for each input the engine parts those readers reach
// (object index, transitions, game parameters, states, switches), created and destroyed in the
// engine's order so that every input starts clean. The memory manager is SoundMemory.h's.
#pragma once

#include "ZkAudiolib/Common/Containers/ZkNew.h"
#include "ZkAudiolib/Common/GameSyncs/CZkStateMgr.h"
#include "ZkAudiolib/Common/GameSyncs/CZkSwitchMgr.h"
#include "ZkAudiolib/Common/ObjectIndex/ObjectIndex.h"
#include "ZkAudiolib/Common/Parameters/CZkRTPCMgr.h"
#include "ZkAudiolib/Common/Parameters/CZkTransitionMgr.h"

#include "support/SoundMemory.h"

namespace kp::fuzz
{

class GameSyncScope
{
public:
    GameSyncScope()
    {
        using namespace ZK::SoundEngine;
        g_pObjectIndex = ZK::ZkNew<ObjectIndex>(ZkMemID_EngineSingletons);
        g_pTransitionMgr = ZK::ZkNew<CZkTransitionMgr>(ZkMemID_EngineSingletons);
        g_pRTPCMgr = ZK::ZkNew<CZkRTPCMgr>(ZkMemID_EngineSingletons);
        g_pStateMgr = ZK::ZkNew<CZkStateMgr>(ZkMemID_EngineSingletons);
        g_pSwitchMgr = ZK::ZkNew<CZkSwitchMgr>(ZkMemID_EngineSingletons);
        Check(g_pObjectIndex != nullptr && g_pObjectIndex->InitTables() && g_pTransitionMgr != nullptr &&
              g_pRTPCMgr != nullptr && g_pRTPCMgr->Init() == ZK_Success && g_pStateMgr != nullptr &&
              g_pStateMgr->Init() == ZK_Success && g_pSwitchMgr != nullptr && g_pSwitchMgr->Init() == ZK_Success);
    }
    ~GameSyncScope()
    {
        using namespace ZK::SoundEngine;
        g_pSwitchMgr->Term();
        g_pStateMgr->Term();
        g_pRTPCMgr->Term();
        g_pTransitionMgr->Term();
        g_pObjectIndex->FreeTables();
        ZK::ZkDelete(ZkMemID_EngineSingletons, g_pSwitchMgr);
        ZK::ZkDelete(ZkMemID_EngineSingletons, g_pStateMgr);
        ZK::ZkDelete(ZkMemID_EngineSingletons, g_pRTPCMgr);
        ZK::ZkDelete(ZkMemID_EngineSingletons, g_pTransitionMgr);
        ZK::ZkDelete(ZkMemID_EngineSingletons, g_pObjectIndex);
        g_pSwitchMgr = nullptr;
        g_pStateMgr = nullptr;
        g_pRTPCMgr = nullptr;
        g_pTransitionMgr = nullptr;
        g_pObjectIndex = nullptr;
    }
    GameSyncScope(const GameSyncScope&) = delete;
    GameSyncScope& operator=(const GameSyncScope&) = delete;
};
} // namespace kp::fuzz
