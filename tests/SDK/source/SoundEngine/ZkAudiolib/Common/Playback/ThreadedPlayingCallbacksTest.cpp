// The playing manager between the game's thread and the engine's: a cancel made while a callback
// runs on the engine thread returns only after that callback has returned (the game may then free
// its cookie), for every cancel and for a notification as for the end of an event; and posts,
// cancels and queries of the game thread racing the engine thread's notifications and ends. The
// threads meet through the platform's events and a semaphore, never through sleeps; ThreadSanitizer
// sees the cookie's memory written by the game after its cancel and by the callback.
#include "PlayingMgrFixture.h"

#include "Platform/PlatformEvent.h"

#include <ZK/SoundEngine/Common/ZkMemoryMgr.h>

#include <semaphore>
#include <thread>

using namespace ZkPlayingTest;

namespace
{
using ZK::Platform::EventReset;
using ZK::Platform::ZkEvent;

constexpr ZkPlayingID kPlayingID = 77;

// A thread that allocates and frees through the memory manager, as the engine's threads do.
template <typename Body>
std::thread MemoryThread(Body body)
{
    return std::thread([body] {
        ZK::MemoryMgr::InitForThread();
        body();
        ZK::MemoryMgr::TermForThread();
    });
}

// What the game keeps behind its cookie: the callback writes it, the game frees it (here: writes it)
// once its cancel has returned.
struct GameCookie
{
    CallbackLog log;
    int state = 0;
};

struct CancelRound
{
    const char* name;
    bool endOfEvent; // the running callback is the end of the event, else a marker
    std::function<void(CZkPlayingMgr&, GameCookie&)> cancel;
    bool nested = false; // the marker's callback first leads to another callback, which returns
};

class ThreadedPlayingCallbacks : public PlayingMgrTest
{
};

TEST_F(ThreadedPlayingCallbacks, ACancelReturnsOnlyAfterTheCallbackRunningOnTheEngineThreadHasReturned)
{
    const std::function<void(CZkPlayingMgr&, GameCookie&)> byPlayingID = [](CZkPlayingMgr& m, GameCookie&) {
        m.CancelCallbacksByPlayingID(kPlayingID);
    };
    const std::function<void(CZkPlayingMgr&, GameCookie&)> byCookie = [](CZkPlayingMgr& m, GameCookie& cookie) {
        m.CancelCallbacksByCookie(&cookie.log);
    };
    const std::function<void(CZkPlayingMgr&, GameCookie&)> byObject = [](CZkPlayingMgr& m, GameCookie&) {
        m.CancelCallbacksByGameObject(kObjectID);
    };
    const CancelRound rounds[] = {
        {"marker, by playing id", false, byPlayingID}, {"marker, by cookie", false, byCookie},
        {"marker, by game object", false, byObject},   {"end of event, by playing id", true, byPlayingID},
        {"end of event, by cookie", true, byCookie},   {"end of event, by game object", true, byObject},
        {"marker after a nested callback, by cookie", false, byCookie, true},
    };
    for (const CancelRound& round : rounds)
    {
        SCOPED_TRACE(round.name);
        GameCookie cookie;
        ASSERT_EQ(AddRecorded(kPlayingID, cookie.log,
                              ZkCallbackType_EndOfEvent | ZkCallbackType_Marker | ZkCallbackType_Starvation),
                  ZK_Success);
        ZkEvent entered;
        ZkEvent cancelling;
        ASSERT_TRUE(entered.Init(EventReset::Manual));
        ASSERT_TRUE(cancelling.Init(EventReset::Manual));
        bool finishedWhenCancelReturned = false;
        bool callbackFinished = false; // written by the callback, read by the game after its cancel
        cookie.log.during = [&](ZkCallbackType type, ZkCallbackInfo*) {
            if (type == ZkCallbackType_Starvation)
                return;
            if (round.nested)
                Manager().NotifyStarvation(kPlayingID);
            entered.Set();
            cancelling.Wait();
            cookie.state = 1;
            callbackFinished = true;
        };

        std::thread engine = MemoryThread([&] {
            if (round.endOfEvent)
                Manager().RemovePlayingIDRef(kPlayingID);
            else
                Manager().NotifyMarker({5, 480, nullptr, kPlayingID});
        });
        std::thread game = MemoryThread([&] {
            entered.Wait();
            cancelling.Set(); // the callback goes on while the cancel runs
            round.cancel(Manager(), cookie);
            finishedWhenCancelReturned = callbackFinished;
            cookie.state = 2; // the game frees what its cookie points to
        });
        engine.join();
        game.join();

        EXPECT_TRUE(finishedWhenCancelReturned);
        EXPECT_EQ(cookie.state, 2);
        const size_t calls = round.nested ? 2u : 1u;
        EXPECT_EQ(cookie.log.calls.size(), calls);
        EXPECT_FALSE(Manager().NotifyMarker({6, 960, nullptr, kPlayingID})) << "silenced";
        Manager().RemovePlayingIDRef(kPlayingID); // ends the marker rounds' playing id, quietly
        EXPECT_EQ(cookie.log.calls.size(), calls);
        EXPECT_EQ(Manager().PlayingIDCount(), 0u);
    }
}

TEST_F(ThreadedPlayingCallbacks, ACallbackOnTheEngineThreadCancelsItsOwnCookieWithoutWaitingForItself)
{
    GameCookie cookie;
    ASSERT_EQ(AddRecorded(kPlayingID, cookie.log, ZkCallbackType_AllTypes), ZK_Success);
    cookie.log.during = [&](ZkCallbackType, ZkCallbackInfo* info) { Manager().CancelCallbacksByCookie(info->cookie); };
    std::thread engine = MemoryThread([&] {
        Manager().NotifyStarvation(kPlayingID);
        Manager().NotifyStarvation(kPlayingID);
        Manager().RemovePlayingIDRef(kPlayingID);
    });
    engine.join();
    EXPECT_EQ(cookie.log.calls.size(), 1u);
    EXPECT_EQ(Manager().PlayingIDCount(), 0u);
}

TEST_F(ThreadedPlayingCallbacks, PostsCancelsAndQueriesOfTheGameRaceTheEnginesNotificationsAndEnds)
{
    constexpr ZkPlayingID kCount = 300;
    std::vector<CallbackLog> logs(kCount + 1);
    std::counting_semaphore<kCount> registered(0);

    std::thread engine = MemoryThread([&] {
        for (ZkPlayingID id = 1; id <= kCount; ++id)
        {
            registered.acquire();
            Manager().NotifyStarvation(id);
            Manager().NotifyMarker({1, 2, nullptr, id});
            Manager().RemovePlayingIDRef(id);
        }
    });
    std::thread game = MemoryThread([&] {
        for (ZkPlayingID id = 1; id <= kCount; ++id)
        {
            EXPECT_EQ(AddRecorded(id, logs[id], ZkCallbackType_AllTypes, id % 4), ZK_Success);
            registered.release();
            if (id % 3 == 0)
                Manager().CancelCallbacksByPlayingID(id);
            if (id % 5 == 0)
                Manager().CancelCallbacksByGameObject(id % 4);
            uint32_t count = 0;
            Manager().GetPlayingIDsFromGameObject(id % 4, count, nullptr);
            Manager().GetEventIDFromPlayingID(id - 1);
        }
    });
    game.join();
    engine.join();

    EXPECT_EQ(Manager().PlayingIDCount(), 0u);
    for (ZkPlayingID id = 1; id <= kCount; ++id)
    {
        const CallbackLog& log = logs[id];
        EXPECT_LE(log.Count(ZkCallbackType_EndOfEvent), 1u) << id;
        EXPECT_LE(log.calls.size(), 3u) << id;
        if (log.Count(ZkCallbackType_EndOfEvent) == 1)
        {
            EXPECT_EQ(log.calls.back().type, ZkCallbackType_EndOfEvent) << "the end is the last thing heard";
        }
    }
}
} // namespace
