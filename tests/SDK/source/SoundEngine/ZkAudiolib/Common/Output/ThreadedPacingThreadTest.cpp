// The pacing thread "ZK Suspended": it starts with the placeholder main device, sets the engine
// thread's event about once per buffer duration while no device drives the engine (counted over 20
// buffer durations with generous bounds), and ends with the devices.
#include "OutputTestSupport.h"

#include "ZkAudiolib/Common/Output/ZkEngineWakeEvent.h"

#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>

using namespace ZkOutputTest;

namespace
{
constexpr uint32_t kPeriods = 20;

bool ThreadNamed(const std::string& name)
{
    for (const auto& task : std::filesystem::directory_iterator("/proc/self/task"))
    {
        std::ifstream comm(task.path() / "comm");
        std::string line;
        std::getline(comm, line);
        if (line == name)
            return true;
    }
    return false;
}

class ThreadedPacingThread : public OutputTest
{
protected:
    void SetUp() override
    {
        OutputTest::SetUp();
        ASSERT_TRUE(EngineWakeEvent::Create());
    }
    void TearDown() override
    {
        OutputTest::TearDown();
        EngineWakeEvent::Destroy();
    }
};

TEST_F(ThreadedPacingThread, WakesTheEngineAboutOncePerBufferWhileIdleAndEndsWithTheDevices)
{
    ASSERT_EQ(CZkOutputDeviceMgr::StartPacingThread(), ZK_Success);
    EXPECT_TRUE(ThreadNamed("ZK Suspended"));
    CZkOutputDevice* placeholder = CZkOutputDeviceMgr::GetMainDevice();
    ASSERT_NE(placeholder, nullptr);
    EXPECT_EQ(placeholder->OutputID(), 0u);
    EXPECT_EQ(placeholder->GetState(), CZkOutputDevice::State_Running);
    EXPECT_FALSE(placeholder->RunsRealSink());
    EXPECT_EQ(placeholder->CarriedValue(), 0u) << "no bus assigned yet";
    EXPECT_TRUE(CZkOutputDeviceMgr::IsIdle());

    // Count the wake-ups during 20 buffer durations. Several sets between two waits count once, so
    // only a lower bound far under 20 and an upper bound far over it are meaningful.
    const auto window = std::chrono::milliseconds(kPeriods * ZkAudioSettings::BufferDurationMs());
    const auto end = std::chrono::steady_clock::now() + window;
    uint32_t wakes = 0;
    for (auto now = std::chrono::steady_clock::now(); now < end; now = std::chrono::steady_clock::now())
    {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - now).count();
        if (EngineWakeEvent::Get().Wait(static_cast<uint32_t>(left) + 1))
            ++wakes;
    }
    EXPECT_GE(wakes, kPeriods / 4);
    EXPECT_LE(wakes, 2 * kPeriods);

    CZkOutputDeviceMgr::TermDevices();
    EXPECT_EQ(CZkOutputDeviceMgr::DeviceCount(), 0u);
    EXPECT_FALSE(ThreadNamed("ZK Suspended"));
}

TEST_F(ThreadedPacingThread, AMainDeviceOnItsSinkTakesOverAndTheEngineIsLeftAloneWhileSuspended)
{
    ASSERT_EQ(CZkOutputDeviceMgr::StartPacingThread(), ZK_Success);
    ASSERT_NE(StartMainOutput(), nullptr);
    EXPECT_EQ(CZkOutputDeviceMgr::DeviceCount(), 1u) << "the placeholder was replaced";
    EXPECT_EQ(CZkOutputDeviceMgr::UpdateDeviceStates(false), 1u);
    EXPECT_FALSE(CZkOutputDeviceMgr::IsIdle());
    EXPECT_EQ(CZkOutputDeviceMgr::SetSuspended(true, false, 0), ZK_PartialSuccess);
    for (int update = 0; update < 3; ++update)
        CZkOutputDeviceMgr::UpdateDeviceStates(false);
    EXPECT_TRUE(CZkOutputDeviceMgr::IsIdle());
    EXPECT_FALSE(CZkOutputDeviceMgr::ShouldWakeEngine()) << "suspended without rendering";
    CZkOutputDeviceMgr::TermDevices();
}
} // namespace
