// Shared by the front end's tests: the game-sync fixture (memory, object index, game parameters,
// registry, states, switches) and an event manager published as the engine's, whose ring either
// dispatches to the real handlers (UseEngine) or records each message's bytes (UseRecorder); the
// test reads the queued frame as the engine tick would, without the engine thread. Also test events
// in the object index's event table.
#pragma once

#include "SDK/source/SoundEngine/ZkAudiolib/Common/GameSyncs/GameSyncFixture.h"

#include "ZkAudiolib/Common/Events/CZkEventObject.h"
#include "ZkAudiolib/Common/FrontEnd/EngineLock.h"
#include "ZkAudiolib/Common/FrontEnd/EventManager.h"
#include "ZkAudiolib/Common/FrontEnd/GameSyncMessages.h"
#include "ZkAudiolib/Common/FrontEnd/MessagePosting.h"
#include "ZkAudiolib/Common/Playback/CZkPlayingMgr.h"

#include <ZK/SoundEngine/Common/ZkSoundEngine.h>

#include <cstring>
#include <vector>

namespace ZkFrontEndTest
{
using namespace ZK::SoundEngine;

using Bytes = std::vector<uint8_t>;

constexpr ZkGameObjectID kEmitter = 100;
constexpr ZkGameObjectID kListener = 200;

// Records every message the ring hands out, as bytes.
class RecordingDispatcher : public IZkMessageDispatcher
{
public:
    void Dispatch(const uint8_t* message, bool&) override
    {
        messages.emplace_back(message, message + ReadMessageHeader(message).size);
    }
    void Discard(const uint8_t* message) override
    {
        discarded.emplace_back(message, message + ReadMessageHeader(message).size);
    }
    std::vector<Bytes> messages;
    std::vector<Bytes> discarded;
};

template <typename T>
T ReadAt(const Bytes& message, size_t offset)
{
    T value{};
    std::memcpy(&value, message.data() + offset, sizeof(T));
    return value;
}
inline uint16_t SizeOf(const Bytes& message) { return ReadAt<uint16_t>(message, 0); }
inline uint16_t TypeOf(const Bytes& message) { return ReadAt<uint16_t>(message, 2); }

class FrontEndTest : public ZkGameSyncTest::GameSyncTest
{
protected:
    static constexpr uint32_t kRingBytes = 64 * 1024;

    void SetUp() override
    {
        ZkGameSyncTest::GameSyncTest::SetUp();
        g_PlayingID.store(0);
    }
    void TearDown() override
    {
        g_pEventMgr = nullptr;
        m_events.Term();
        for (CZkEventObject* event : m_eventObjects)
            event->Release();
        m_eventObjects.clear();
        g_pPlayingMgr = nullptr;
        ZkGameSyncTest::GameSyncTest::TearDown();
    }

    void UseEngine(uint32_t ringBytes = kRingBytes)
    {
        ASSERT_EQ(m_events.Init(ringBytes), ZK_Success);
        g_pEventMgr = &m_events;
    }
    void UseRecorder(uint32_t ringBytes = kRingBytes)
    {
        ASSERT_EQ(m_events.Ring().Init(ringBytes, &recorder), ZK_Success);
        g_pEventMgr = &m_events;
    }

    // The engine's event manager with an emitter and a listener registered.
    void UseEngineWithObjects()
    {
        UseEngine();
        ASSERT_EQ(RegisterGameObj(kEmitter), ZK_Success);
        ASSERT_EQ(RegisterGameObj(kListener), ZK_Success);
        ReadMessages();
    }

    // What RenderAudio and the engine tick do with the queued messages.
    bool ReadMessages()
    {
        m_events.Ring().EndFrame(nullptr);
        ZK::Platform::ZkScopedLock guard(g_EngineLock);
        bool deviceChanged = false;
        m_events.ProcessMessages(deviceChanged);
        return deviceChanged;
    }
    // The one message posted since the last read, as bytes.
    Bytes ReadOne()
    {
        recorder.messages.clear();
        ReadMessages();
        EXPECT_EQ(recorder.messages.size(), 1u);
        return recorder.messages.empty() ? Bytes{} : recorder.messages.front();
    }

    // An event without actions in the event table, with one reference kept by the fixture.
    CZkEventObject* AddEvent(ZkUniqueID id)
    {
        CZkEventObject* event = CZkEventObject::Create(id);
        EXPECT_NE(event, nullptr);
        if (event == nullptr)
            return nullptr;
        EXPECT_EQ(event->AddToIndex(), ZK_Success);
        m_eventObjects.push_back(event);
        return event;
    }

    EventManager m_events;
    RecordingDispatcher recorder;
    std::vector<CZkEventObject*> m_eventObjects;
};
} // namespace ZkFrontEndTest
