// Shared by the front end's playback tests: the events fixture (object index, game parameters,
// registry, states, switches, banks from the bank writer, buses, the tests' playable nodes and
// recording actions, an event manager published as the engine's) with the engine's playing manager
// and play-position repository, and a registered game object. The test drives the tick's steps
// itself: the queued messages are read as the tick reads them, then the frame's due pending
// actions run; no engine thread.
#pragma once

#include "SDK/source/SoundEngine/ZkAudiolib/Common/Events/EventsFixture.h"
#include "SDK/source/SoundEngine/ZkAudiolib/Common/Playback/PlayingMgrFixture.h"

#include "ZkAudiolib/Common/FrontEnd/EngineLock.h"

#include <ZK/SoundEngine/Common/ZkSoundEngine.h>

namespace ZkPostedPlaybackTest
{
using namespace ZkEventsTest;
using ZkPlayingTest::CallbackLog;
using ZkPlayingTest::RecordCallback;

constexpr ZkGameObjectID kObject = 7;
constexpr ZkGameObjectID kOtherObject = 8;
constexpr ZkGameObjectID kUnregistered = 9;

class PlaybackTest : public EventsTest
{
protected:
    static constexpr uint32_t kRingBytes = 64 * 1024;

    void SetUp() override
    {
        EventsTest::SetUp();
        // A ring roomy enough that no test's posts fill it (a full ring is drained by the poster).
        m_events.Term();
        ASSERT_EQ(m_events.Init(kRingBytes), ZK_Success);
        ZkPlayingTest::CreatePlayingManager();
        g_PlayingID.store(0);
        m_object = Register(kObject);
        m_otherObject = Register(kOtherObject);
    }
    void TearDown() override
    {
        m_events.Term(); // the messages and pending actions give their references back first
        ZkPlayingTest::DestroyPlayingManager();
        EventsTest::TearDown();
    }

    // What the engine tick does first: the frame posted so far is closed and its messages applied.
    void ReadMessages()
    {
        m_events.Ring().EndFrame(nullptr);
        ZK::Platform::ZkScopedLock guard(g_EngineLock);
        bool deviceChanged = false;
        m_events.ProcessMessages(deviceChanged);
    }

    // Posts the event for the object with a recording end-of-event callback.
    ZkPlayingID PostLogged(ZkUniqueID eventID, ZkGameObjectID object = kObject, ZkPlayingID playingIDFilter = 0)
    {
        return PostEvent(eventID, object, ZkCallbackType_EndOfEvent, &RecordCallback, &m_log, 0, nullptr,
                         playingIDFilter);
    }
    uint32_t Ends() const { return m_log.Count(ZkCallbackType_EndOfEvent); }
    bool IsPlaying(ZkPlayingID playingID) const { return g_pPlayingMgr->GetEventIDFromPlayingID(playingID) != 0; }

    // A recording action delayed by frames whole frames (and extra samples).
    RecordingAction* AddDelayed(ZkUniqueID id, uint32_t frames, uint32_t extraSamples = 0, uint16_t type = 0x0103)
    {
        RecordingAction* action = AddRecording(id, type);
        if (action != nullptr)
            action->SetIntProperty(ZkProp_ActionDelay, static_cast<int32_t>(frames * kFrame + extraSamples), 0, 0);
        return action;
    }

    // Posts event 100 (made at the first call), whose delayed action keeps the playing id alive for
    // frames frames.
    ZkPlayingID PostLasting(ZkGameObjectID object, uint32_t frames = 10)
    {
        if (FindEvent(100) == nullptr)
        {
            AddDelayed(1, frames);
            AddEvent(100, {1});
        }
        return PostEvent(100u, object);
    }

    CZkRegisteredObj* m_object = nullptr;
    CZkRegisteredObj* m_otherObject = nullptr;
    CallbackLog m_log;
};
} // namespace ZkPostedPlaybackTest
