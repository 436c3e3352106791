// Shared by the playing manager's tests: the front end's fixture (memory, game parameters, registry,
// object index, an event manager) plus the play-position repository and a playing manager published
// as the engine's; a callback that records what it is told into the CallbackLog its cookie points
// to; and stand-ins for playing instances (the manager only keeps their addresses).
#pragma once

#include "SDK/source/SoundEngine/ZkAudiolib/Common/FrontEnd/FrontEndFixture.h"

#include "ZkAudiolib/Common/Containers/ZkNew.h"
#include "ZkAudiolib/Common/FrontEnd/PlayPositionRepository.h"
#include "ZkAudiolib/Common/Playback/CZkPlayingMgr.h"

#include <ZK/SoundEngine/Common/ZkCallbackTypes.h>

#include <functional>
#include <string>
#include <vector>

namespace ZkPlayingTest
{
using namespace ZK::SoundEngine;

// One call of the recording callback, with the fields of the record its type carries.
struct CallbackCall
{
    uint32_t type = 0;
    void* cookie = nullptr;
    ZkGameObjectID gameObject = 0;
    ZkPlayingID playingID = 0;
    ZkUniqueID eventID = 0;
    bool recordHadEventID = false;
};

struct CallbackLog
{
    std::vector<CallbackCall> calls;
    // Runs inside the callback, after the call is recorded (null: nothing).
    std::function<void(ZkCallbackType, ZkCallbackInfo*)> during;

    uint32_t Count(uint32_t type) const
    {
        uint32_t count = 0;
        for (const CallbackCall& call : calls)
            count += call.type == type ? 1u : 0u;
        return count;
    }
};

inline void RecordCallback(ZkCallbackType type, ZkCallbackInfo* info)
{
    auto* log = static_cast<CallbackLog*>(info->cookie);
    CallbackCall call;
    call.type = type;
    call.cookie = info->cookie;
    call.gameObject = info->gameObjID;
    switch (type)
    {
    case ZkCallbackType_SequenceItemEnd:
        call.playingID = static_cast<ZkSequenceItemCallbackInfo*>(info)->playingID;
        break;
    case ZkCallbackType_MusicBeat:
    case ZkCallbackType_MusicBar:
    case ZkCallbackType_MusicSegmentEntry:
    case ZkCallbackType_MusicSegmentExit:
    case ZkCallbackType_MusicGrid:
    case ZkCallbackType_MusicUserCue:
    case ZkCallbackType_MusicSwitchPoint:
        call.playingID = static_cast<ZkMusicPointCallbackInfo*>(info)->playingID;
        break;
    default:
        call.playingID = static_cast<ZkPlayingCallbackInfo*>(info)->playingID;
        call.eventID = static_cast<ZkPlayingCallbackInfo*>(info)->eventID;
        call.recordHadEventID = true;
        break;
    }
    log->calls.push_back(call);
    if (log->during)
        log->during(type, info);
}

// Addresses that stand for playing instances.
inline CZkPlayingInstance* Instance(int& slot)
{
    return reinterpret_cast<CZkPlayingInstance*>(&slot);
}

// The event and game object of the fixture's playing ids.
constexpr ZkUniqueID kEventID = 0x5EED;
constexpr ZkGameObjectID kObjectID = 42;

// The play-position repository and a playing manager published as the engine's.
inline void CreatePlayingManager()
{
    g_pPlayPositionRepository = ZK::ZkNew<PlayPositionRepository>(PlayPositionRepository::kPool);
    ASSERT_NE(g_pPlayPositionRepository, nullptr);
    ASSERT_EQ(g_pPlayPositionRepository->Init(), ZK_Success);
    g_pPlayingMgr = ZK::ZkNew<CZkPlayingMgr>(CZkPlayingMgr::kPool);
    ASSERT_NE(g_pPlayingMgr, nullptr);
    ASSERT_EQ(g_pPlayingMgr->CreateCallbackEvent(), ZK_Success);
}

inline void DestroyPlayingManager()
{
    if (g_pPlayingMgr != nullptr)
    {
        g_pPlayingMgr->TermPlayingIDs();
        g_pPlayingMgr->Term();
    }
    ZK::ZkDelete(CZkPlayingMgr::kPool, g_pPlayingMgr);
    g_pPlayingMgr = nullptr;
    ZK::ZkDelete(PlayPositionRepository::kPool, g_pPlayPositionRepository);
    g_pPlayPositionRepository = nullptr;
}

class PlayingMgrTest : public ZkFrontEndTest::FrontEndTest
{
protected:
    void SetUp() override
    {
        FrontEndTest::SetUp();
        CreatePlayingManager();
    }
    void TearDown() override
    {
        DestroyPlayingManager();
        FrontEndTest::TearDown();
    }

    CZkPlayingMgr& Manager() { return *g_pPlayingMgr; }

    // A playing id of kObjectID and kEventID whose callback records into log.
    ZKRESULT AddRecorded(ZkPlayingID playingID, CallbackLog& log, uint32_t flags,
                         ZkGameObjectID gameObject = kObjectID)
    {
        return Manager().AddPlayingIDNoMessage(playingID, gameObject, &RecordCallback, &log, flags, kEventID);
    }
    // The record's flags as a playing instance learns them.
    uint32_t FlagsOf(ZkPlayingID playingID)
    {
        int slot = 0;
        uint32_t flags = 0;
        EXPECT_EQ(Manager().AddInstanceToPlayingID(playingID, Instance(slot), nullptr, flags), ZK_Success);
        Manager().RemoveInstanceFromPlayingID(playingID, Instance(slot));
        return flags;
    }
    bool IsRegistered(ZkPlayingID playingID) { return Manager().GetEventIDFromPlayingID(playingID) != 0; }
};
} // namespace ZkPlayingTest
