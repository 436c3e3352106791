// The output-device messages, read as the engine tick reads them, carried out by the output device
// manager: volume, panning rule, speaker angles (their copy freed), device effect, adding and
// removing outputs, suspension (a device change), and replacing the main output.
#include "SDK/source/SoundEngine/ZkAudiolib/Common/Output/OutputTestSupport.h"

#include "ZkAudiolib/Common/FrontEnd/EngineLock.h"
#include "ZkAudiolib/Common/FrontEnd/EventManager.h"

using namespace ZkOutputTest;

namespace
{
class OutputMessageDispatch : public OutputTest
{
protected:
    void SetUp() override
    {
        OutputTest::SetUp();
        ASSERT_EQ(m_events.Init(CZkMessageRing::kMinimumCapacityBytes * 16), ZK_Success);
        g_pEventMgr = &m_events;
    }
    void TearDown() override
    {
        g_pEventMgr = nullptr;
        m_events.Term();
        OutputTest::TearDown();
    }
    template <typename Body>
    bool Read(uint16_t type, const Body& body)
    {
        EXPECT_TRUE(m_events.Ring().Post(type, body));
        m_events.Ring().EndFrame(nullptr);
        ZK::Platform::ZkScopedLock guard(g_EngineLock);
        bool deviceChanged = false;
        m_events.ProcessMessages(deviceChanged);
        return deviceChanged;
    }
    EventManager m_events;
};
} // namespace

TEST_F(OutputMessageDispatch, DeviceSettingsReachTheDevice)
{
    EXPECT_TRUE(Read(ZkMessage_ReplaceMainOutput, ZkReplaceMainOutputMessage{Settings(0)})) << "a device change";
    CZkOutputDevice* main = CZkOutputDeviceMgr::GetMainDevice();
    ASSERT_NE(main, nullptr);
    EXPECT_FALSE(Read(ZkMessage_SetOutputVolume, ZkOutputVolumeMessage{0, 0.5f}));
    EXPECT_EQ(main->Volume(), 0.5f);
    Read(ZkMessage_SetPanningRule, ZkPanningRuleMessage{0, 1});
    EXPECT_EQ(main->panningRule, 1u);

    auto* angles = static_cast<float*>(ZK::MemoryMgr::Malloc(ZkMemID_Default, 2 * sizeof(float)));
    angles[0] = 30.0f;
    angles[1] = 110.0f;
    Read(ZkMessage_SetSpeakerAngles, ZkSpeakerAnglesMessage{angles, 2, 30.0f, 0});
    float read[2] = {};
    uint32_t count = 2;
    float height = 0.0f;
    ASSERT_EQ(main->GetSpeakerAngles(read, count, height), ZK_Success);
    EXPECT_NEAR(read[0], 30.0f, 1e-3f);
    EXPECT_NEAR(height, 30.0f, 1e-3f); // the copy of the angles was freed (the leak checker watches)

    Read(ZkMessage_SetOutputDeviceEffect, ZkOutputDeviceEffectMessage{0, 1, 0x1234u});
    EXPECT_EQ(main->Effects().RequestedID(1), 0x1234u);
}

TEST_F(OutputMessageDispatch, OutputsComeAndGoAndSuspensionIsADeviceChange)
{
    CZkOutputDevice* main = StartMainOutput();
    ASSERT_NE(main, nullptr);
    Read(ZkMessage_RemoveOutput, ZkOutputIDMessage{main->OutputID()});
    EXPECT_EQ(CZkOutputDeviceMgr::DeviceCount(), 0u);
    struct AddOutputWithoutListeners
    {
        ZkAddOutputMessage head;
        uint8_t tail[8];
    };
    Read(ZkMessage_AddOutput, AddOutputWithoutListeners{{Settings(0), 0, 0}, {}});
    EXPECT_EQ(CZkOutputDeviceMgr::DeviceCount(), 1u);

    EXPECT_FALSE(Read(ZkMessage_Suspend, ZkSuspendMessage{0, 1, 0})) << "the suspension completes over updates";
    EXPECT_EQ(CZkOutputDeviceMgr::GetRenderState(), CZkOutputDeviceMgr::Render_Suspending);
}
