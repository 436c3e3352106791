// The engine thread: it ticks by its time-out without being woken, carries the kernel name
// "ZK::EventManage" while it runs, and is gone after Stop.
#include "SDK/source/SoundEngine/ZkAudiolib/Common/Containers/EngineMemoryFixture.h"
#include "SDK/source/SoundEngine/ZkAudiolib/Common/ProcessThreads.h"

#include "ZkAudiolib/Common/FrontEnd/EngineSettings.h"
#include "ZkAudiolib/Common/FrontEnd/EngineThread.h"
#include "ZkAudiolib/Common/FrontEnd/EventManager.h"
#include "ZkAudiolib/Common/Output/CZkOutputDeviceMgr.h"
#include "ZkAudiolib/Common/Output/ZkEngineWakeEvent.h"
#include "ZkAudiolib/Common/Output/ZkPlatformAudio.h"
#include "ZkAudiolib/Common/Plugins/GlobalCallbacks.h"

#include "Platform/PlatformEvent.h"

namespace
{
using namespace ZK::SoundEngine;
using ZkProcessTest::HasThreadNamed;

constexpr uint32_t kGenerousWaitMs = 10000;

void SignalTickEnd(ZK::IZkGlobalPluginContext*, ZK::ZkGlobalCallbackLocation, void* cookie)
{
    static_cast<ZK::Platform::ZkEvent*>(cookie)->Set();
}

class ThreadedEngineThread : public ZkEngineTest::EngineMemoryTest
{
protected:
    void SetUp() override
    {
        EngineMemoryTest::SetUp();
        ZK::MemoryMgr::InitForThread();
        ASSERT_EQ(m_events.Init(4096), ZK_Success);
        g_pEventMgr = &m_events;
        ASSERT_TRUE(EngineWakeEvent::Create());
        ASSERT_TRUE(m_tickEnded.Init(ZK::Platform::EventReset::Auto));
    }
    void TearDown() override
    {
        EngineThread::Stop();
        GlobalCallbacks::Clear();
        g_pEventMgr = nullptr;
        m_events.Term();
        CZkOutputDeviceMgr::TermDevices();
        EngineWakeEvent::Destroy();
        m_tickEnded.Term();
        ZK::MemoryMgr::TermForThread();
        EngineMemoryTest::TearDown();
    }

    EventManager m_events;
    ZK::Platform::ZkEvent m_tickEnded;
};

TEST_F(ThreadedEngineThread, ItTicksByItsTimeOutAndCarriesItsNameWhileItRuns)
{
    ASSERT_EQ(GlobalCallbacks::Register(&SignalTickEnd, ZK::ZkGlobalCallbackLocation_End, &m_tickEnded, 0),
              ZK_Success);
    ASSERT_EQ(EngineThread::Start(m_events), ZK_Success);
    EXPECT_EQ(EngineThread::Start(m_events), ZK_Fail) << "one engine thread";
    ASSERT_TRUE(m_tickEnded.Wait(kGenerousWaitMs)) << "the first tick";
    // Nothing is queued, so nothing wakes the thread: its time-out brings the next tick.
    m_events.EndFrame(false);
    ASSERT_TRUE(m_tickEnded.Wait(kGenerousWaitMs)) << "a tick by time-out";
    EXPECT_TRUE(HasThreadNamed("ZK::EventManage"));
    EXPECT_NE(EngineThread::ThreadID(), 0u);
    EXPECT_FALSE(EngineThread::IsEngineThread());

    EngineThread::Stop();
    EXPECT_FALSE(HasThreadNamed("ZK::EventManage"));
    EXPECT_EQ(EngineThread::ThreadID(), 0u);
    EXPECT_FALSE(EngineThread::IsRunning());
}

TEST_F(ThreadedEngineThread, APriorityTheSystemRefusesForLackOfPrivilegeDoesNotFailTheStart)
{
    // 0x10000 keeps the system's priority; time-critical is refused to an ordinary user, which
    // leaves the thread as the system made it.
    for (const int32_t priority : {ZkThreadProperties::kPriorityUnchanged, 15, 1, -1})
    {
        ZkPlatformInitSettings platform;
        FillDefaultPlatformInitSettings(platform);
        platform.engineThread.priority = priority;
        StorePlatformInitSettings(&platform);
        EXPECT_EQ(EngineThread::Start(m_events), ZK_Success) << priority;
        EngineThread::Stop();
    }
    StorePlatformInitSettings(nullptr);
}
} // namespace
