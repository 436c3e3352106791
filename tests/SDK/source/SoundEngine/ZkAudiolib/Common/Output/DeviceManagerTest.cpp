// The output device manager driven directly: output ids and their default resolution, creation
// with the sink fallbacks (a table by the sink's Init result), listener sets on one share set, the
// main-output status, removal and replacement, and the status reports.
#include "OutputTestSupport.h"

#include "ZkAudiolib/Common/Output/ZkSinkBase.h"

#include <ZK/SoundEngine/Common/ZkIdFromName.h>

#include <vector>

using namespace ZkOutputTest;

namespace
{
constexpr uint32_t kCustomShareSet = 0x1234;
constexpr uint32_t kBaseSinkID = 0xB50007;

class DeviceManager : public OutputTest
{
protected:
    // A share set of the banks that names the tests' second sink.
    void DefineCustomShareSet()
    {
        m_shareSet = CreateEffectObject(ZkIndexKind::AudioDevices, kCustomShareSet,
                                              SinkKey(kOtherSinkNumber, kTestCompany));
    }
    void TearDown() override
    {
        CZkOutputDeviceMgr::TermDevices();
        if (m_shareSet != nullptr)
            m_shareSet->Release();
        OutputTest::TearDown();
    }

    CZkEffectObject* m_shareSet = nullptr;
};

TEST_F(DeviceManager, TheSystemShareSetHasItsOwnIdAndZeroHalvesAreResolved)
{
    EXPECT_EQ(CZkOutputDeviceMgr::kSystemShareSetID, GetIDFromString("System"));
    uint32_t shareSet = 0;
    uint32_t device = 0;
    CZkOutputDeviceMgr::ResolveDefaultOutput(shareSet, device);
    EXPECT_EQ(shareSet, CZkOutputDeviceMgr::kSystemShareSetID);
    EXPECT_EQ(device, 0u) << "no endpoint: the default endpoint stays 0";
    shareSet = 0;
    device = 77;
    CZkOutputDeviceMgr::ResolveDefaultOutput(shareSet, device);
    EXPECT_EQ(device, 77u) << "a device given is kept";
}

TEST_F(DeviceManager, AddOutputWithZeroIdsMakesASystemDeviceReportedAsTheDefaultEndpoint)
{
    ASSERT_EQ(CZkOutputDeviceMgr::AddOutput(Settings(0), nullptr, 0), ZK_Success);
    CZkOutputDevice* device = CZkOutputDeviceMgr::FirstDevice();
    ASSERT_NE(device, nullptr);
    EXPECT_EQ(device->ShareSetID(), CZkOutputDeviceMgr::kSystemShareSetID);
    uint32_t shareSet = 0;
    uint32_t deviceID = 99;
    EXPECT_EQ(device->GetOutputIDs(shareSet, deviceID), ZK_Success);
    EXPECT_EQ(deviceID, 0u);
    EXPECT_EQ(device->GetState(), CZkOutputDevice::State_Running);
    EXPECT_TRUE(device->RunsRealSink());
    EXPECT_EQ(device->SinkPluginID(), SinkKey(kSystemSinkNumber));
    EXPECT_EQ(g_sinkLog.deviceID, 0u) << "the sink opens the default endpoint";
    ASSERT_EQ(g_statusEvents.size(), 1u);
    EXPECT_EQ(g_statusEvents[0].event, ZkAudioDeviceEvent_Initialization);
    EXPECT_EQ(g_statusEvents[0].result, ZK_Success);
    EXPECT_EQ(g_statusEvents[0].shareSet, CZkOutputDeviceMgr::kSystemShareSetID);
    EXPECT_EQ(g_statusEvents[0].device, 0u);
    EXPECT_NE(device->GetSpeakerAngleCount(), 0u) << "default speaker angles";
    EXPECT_EQ(CZkAudioRenderer::GraphDirty(), CZkAudioRenderer::kGraphRefresh);
    EXPECT_EQ(CZkOutputDeviceMgr::AddOutput(Settings(0), nullptr, 0), ZK_Success) << "the same output again";
    EXPECT_EQ(CZkOutputDeviceMgr::DeviceCount(), 1u);
}

// Each result of a sink's Init and where the device ends up. The share set is one the banks define;
// its own sink fails, and "System" starts (or, in the last rows, is not registered at all).
TEST_F(DeviceManager, EachInitResultTakesItsFallback)
{
    struct Case
    {
        ZKRESULT initResult;
        bool systemRegistered;
        ZKRESULT expected;
        bool exists;
        uint32_t shareSet;
        uint32_t pluginID;
        int32_t state;
    };
    const uint32_t system = CZkOutputDeviceMgr::kSystemShareSetID;
    const Case cases[] = {
        {ZK_Success, true, ZK_Success, true, kCustomShareSet, SinkKey(kOtherSinkNumber, kTestCompany), 1},
        {ZK_NotImplemented, true, ZK_Success, true, system, SinkKey(kSystemSinkNumber), 1},
        {ZK_InvalidID, true, ZK_Success, true, system, SinkKey(kSystemSinkNumber), 1},
        {ZK_PluginNotRegistered, true, ZK_Success, true, system, SinkKey(kSystemSinkNumber), 1},
        {ZK_InsufficientMemory, true, ZK_InsufficientMemory, false, 0, 0, 0},
        {ZK_SinkAsksForBaseSink, true, ZK_Success, true, kCustomShareSet, kBaseSinkID, 1},
        {ZK_Fail, true, ZK_Success, true, kCustomShareSet, kBaseSinkID, 0},
        {ZK_InvalidFile, true, ZK_Success, true, kCustomShareSet, kBaseSinkID, 0},
        {ZK_NotImplemented, false, ZK_Success, true, system, kBaseSinkID, 0},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(testing::Message() << "Init answers " << c.initResult);
        if (!c.systemRegistered)
        {
            PluginRegistry::Term();
            ASSERT_EQ(PluginRegistry::RegisterPlugin(ZK::ZkPluginTypeSink, kTestCompany, kOtherSinkNumber,
                                                     &ScriptedSink::Create, nullptr, nullptr),
                      ZK_Success);
        }
        DefineCustomShareSet();
        g_otherSinkScript.initResult = c.initResult;
        g_statusEvents.clear();
        const ZKRESULT result = CZkOutputDeviceMgr::AddOutput(Settings(kCustomShareSet), nullptr, 0);
        EXPECT_EQ(result, c.expected);
        CZkOutputDevice* device = CZkOutputDeviceMgr::FirstDevice();
        EXPECT_EQ(device != nullptr, c.exists);
        if (device != nullptr)
        {
            EXPECT_EQ(device->ShareSetID(), c.shareSet);
            EXPECT_EQ(device->SinkPluginID(), c.pluginID);
            EXPECT_EQ(device->GetState(), c.state);
            EXPECT_NE(device->Sink(), nullptr);
            EXPECT_EQ(device->MainMixConfig(), kStereo);
        }
        CZkOutputDeviceMgr::TermDevices();
        m_shareSet->Release();
        m_shareSet = nullptr;
        if (!c.systemRegistered)
        {
            ASSERT_EQ(PluginRegistry::RegisterPlugin(ZK::ZkPluginTypeSink, 0, kSystemSinkNumber, &ScriptedSink::Create,
                                                     nullptr, nullptr),
                      ZK_Success);
        }
        g_otherSinkScript = SinkScript{};
    }
}

TEST_F(DeviceManager, AnUndefinedShareSetFallsBackToAnExistingSystemDeviceWhichTakesTheListeners)
{
    const ZkGameObjectID first[] = {10, 20};
    ASSERT_EQ(CZkOutputDeviceMgr::AddOutput(Settings(0), first, 2), ZK_Success);
    CZkOutputDevice* system = CZkOutputDeviceMgr::FirstDevice();
    const ZkGameObjectID second[] = {30};
    EXPECT_EQ(CZkOutputDeviceMgr::AddOutput(Settings(0xBADBAD), second, 1), ZK_Success);
    EXPECT_EQ(CZkOutputDeviceMgr::DeviceCount(), 1u) << "no device is added";
    ASSERT_EQ(system->Listeners().Length(), 1u) << "the request's listeners replace the device's";
    EXPECT_EQ(system->Listeners()[0], 30u);
    EXPECT_TRUE(CZkOutputDeviceMgr::ListenerUnion().Contains(30));
    EXPECT_FALSE(CZkOutputDeviceMgr::ListenerUnion().Contains(10));
}

// Two devices of one share set must each name listeners, and none of them twice.
TEST_F(DeviceManager, ListenerSetsOnOneShareSetMustBeDisjointAndNonEmpty)
{
    struct Case
    {
        std::vector<ZkGameObjectID> first;
        std::vector<ZkGameObjectID> second;
        ZKRESULT expected;
    };
    const Case cases[] = {
        {{1, 2}, {3}, ZK_Success},
        {{1, 2}, {2, 3}, ZK_ListenerSetConflict},
        {{1, 2}, {}, ZK_ListenerSetConflict},
        {{}, {3}, ZK_ListenerSetConflict},
    };
    for (const Case& c : cases)
    {
        DefineCustomShareSet();
        g_statusEvents.clear();
        ASSERT_EQ(CZkOutputDeviceMgr::AddOutput(Settings(kCustomShareSet, 1), c.first.data(),
                                                static_cast<uint32_t>(c.first.size())),
                  ZK_Success);
        EXPECT_EQ(CZkOutputDeviceMgr::AddOutput(Settings(kCustomShareSet, 2), c.second.data(),
                                                static_cast<uint32_t>(c.second.size())),
                  c.expected);
        const bool added = c.expected == ZK_Success;
        EXPECT_EQ(CZkOutputDeviceMgr::DeviceCount(), added ? 2u : 1u);
        ASSERT_EQ(g_statusEvents.size(), 2u);
        EXPECT_EQ(g_statusEvents[1].event, ZkAudioDeviceEvent_Initialization);
        EXPECT_EQ(g_statusEvents[1].result, c.expected);
        if (added)
        {
            EXPECT_TRUE(CZkOutputDeviceMgr::FirstDevice()->IsSplit());
            EXPECT_TRUE(CZkOutputDeviceMgr::FirstDevice()->next->IsSplit());
            CZkOutputDevice* forThree = CZkOutputDeviceMgr::FindDeviceForBus(nullptr, 3, ZkMakeOutputID(kCustomShareSet, 2));
            EXPECT_EQ(forThree, CZkOutputDeviceMgr::FirstDevice()->next);
        }
        CZkOutputDeviceMgr::TermDevices();
        m_shareSet->Release();
        m_shareSet = nullptr;
    }
}

TEST_F(DeviceManager, TheMainOutputStatusTellsWhetherTheMainDeviceGotItsShareSet)
{
    EXPECT_EQ(CZkOutputDeviceMgr::GetMainOutputStatus(), CZkOutputDeviceMgr::MainOutput_Unknown);
    ASSERT_NE(StartMainOutput(), nullptr);
    EXPECT_EQ(CZkOutputDeviceMgr::GetMainOutputStatus(), CZkOutputDeviceMgr::MainOutput_Ready);
    CZkOutputDeviceMgr::TermDevices();

    g_sinkScript.initResult = ZK_Fail;
    ASSERT_NE(StartMainOutput(), nullptr);
    EXPECT_EQ(CZkOutputDeviceMgr::GetMainDevice()->SinkPluginID(), kBaseSinkID);
    EXPECT_EQ(CZkOutputDeviceMgr::GetMainOutputStatus(), CZkOutputDeviceMgr::MainOutput_Ready)
        << "on the base sink, but on the share set it asked for";
    CZkOutputDeviceMgr::TermDevices();
    g_sinkScript.initResult = ZK_Success;

    EXPECT_EQ(CZkOutputDeviceMgr::ReplaceMainOutput(Settings(0xBADBAD)), ZK_Success);
    EXPECT_EQ(CZkOutputDeviceMgr::GetMainDevice()->ShareSetID(), CZkOutputDeviceMgr::kSystemShareSetID);
    EXPECT_EQ(CZkOutputDeviceMgr::GetMainOutputStatus(), CZkOutputDeviceMgr::MainOutput_Failed)
        << "it fell back to another share set";
    CZkOutputDeviceMgr::TermDevices();

    g_sinkScript.initResult = ZK_InsufficientMemory;
    EXPECT_EQ(CZkOutputDeviceMgr::ReplaceMainOutput(Settings(0)), ZK_InsufficientMemory);
    EXPECT_EQ(CZkOutputDeviceMgr::GetMainDevice(), nullptr);
    EXPECT_EQ(CZkOutputDeviceMgr::GetMainOutputStatus(), CZkOutputDeviceMgr::MainOutput_Failed);
}

TEST_F(DeviceManager, ReplaceMainOutputKeepsARunningMainDeviceAndReplacesAnyOther)
{
    CZkOutputDevice* main = StartMainOutput();
    ASSERT_NE(main, nullptr);
    EXPECT_EQ(main->CarriedValue(), 1u) << "its bus is assigned";
    EXPECT_EQ(CZkOutputDeviceMgr::ReplaceMainOutput(Settings(0)), ZK_Success);
    EXPECT_EQ(CZkOutputDeviceMgr::GetMainDevice(), main) << "the running main device stays";
    EXPECT_EQ(g_sinkLog.created, 1u);

    main->SetDeviceLost();
    g_statusEvents.clear();
    EXPECT_EQ(CZkOutputDeviceMgr::ReplaceMainOutput(Settings(0)), ZK_Success);
    CZkOutputDevice* replaced = CZkOutputDeviceMgr::GetMainDevice();
    ASSERT_NE(replaced, nullptr);
    EXPECT_TRUE(replaced->RunsRealSink());
    ASSERT_EQ(g_statusEvents.size(), 1u) << "same ids, base sink: the removal is not reported";
    EXPECT_EQ(g_statusEvents[0].event, ZkAudioDeviceEvent_Initialization);
    EXPECT_EQ(CZkOutputDeviceMgr::DeviceCount(), 1u);
}

TEST_F(DeviceManager, LookUpsResolveTheMainDeviceAndZeroHalves)
{
    CZkOutputDevice* main = StartMainOutput();
    EXPECT_EQ(CZkOutputDeviceMgr::AddOutput(Settings(0, 42), nullptr, 0), ZK_ListenerSetConflict)
        << "System's main device hears every listener";
    EXPECT_EQ(CZkOutputDeviceMgr::GetDevice(0), main);
    EXPECT_EQ(CZkOutputDeviceMgr::GetDevice(ZkMakeOutputID(CZkOutputDeviceMgr::kSystemShareSetID, 0)), main);
    EXPECT_EQ(CZkOutputDeviceMgr::GetDevice(ZkMakeOutputID(0, 0)), main);
    EXPECT_EQ(CZkOutputDeviceMgr::FindDevice(0, 5), main) << "share set 0 is the main device";
    EXPECT_EQ(CZkOutputDeviceMgr::FindDevice(CZkOutputDeviceMgr::kSystemShareSetID, 0), main);
    EXPECT_EQ(CZkOutputDeviceMgr::GetDevice(ZkMakeOutputID(CZkOutputDeviceMgr::kSystemShareSetID, 9)), nullptr);
    EXPECT_EQ(CZkOutputDeviceMgr::FindDeviceForBus(nullptr, 1, ZkMakeOutputID(7, 7)), main) << "no match: main";
}

TEST_F(DeviceManager, RemovalReportsOnlyRealSinksAndFreesTheDevice)
{
    DefineCustomShareSet();
    const ZkGameObjectID listeners[] = {5};
    ASSERT_EQ(CZkOutputDeviceMgr::AddOutput(Settings(kCustomShareSet, 3), listeners, 1), ZK_Success);
    g_otherSinkScript.initResult = ZK_Fail;
    ASSERT_EQ(CZkOutputDeviceMgr::AddOutput(Settings(kCustomShareSet, 4), nullptr, 0), ZK_ListenerSetConflict);
    const ZkGameObjectID more[] = {6};
    ASSERT_EQ(CZkOutputDeviceMgr::AddOutput(Settings(kCustomShareSet, 4), more, 1), ZK_Success);
    EXPECT_FALSE(CZkOutputDeviceMgr::GetDevice(ZkMakeOutputID(kCustomShareSet, 4))->RunsRealSink());
    g_statusEvents.clear();

    EXPECT_EQ(CZkOutputDeviceMgr::RemoveOutput(ZkMakeOutputID(kCustomShareSet, 9), true), ZK_Fail);
    EXPECT_EQ(CZkOutputDeviceMgr::RemoveOutput(ZkMakeOutputID(kCustomShareSet, 4), true), ZK_Success);
    EXPECT_TRUE(g_statusEvents.empty()) << "a base sink's removal is not reported";
    EXPECT_FALSE(CZkOutputDeviceMgr::ListenerUnion().Contains(6));
    EXPECT_EQ(CZkOutputDeviceMgr::RemoveOutput(ZkMakeOutputID(kCustomShareSet, 3), true), ZK_Success);
    ASSERT_EQ(g_statusEvents.size(), 1u);
    EXPECT_EQ(g_statusEvents[0].event, ZkAudioDeviceEvent_Removal);
    EXPECT_EQ(g_statusEvents[0].device, 3u);
    EXPECT_EQ(CZkOutputDeviceMgr::DeviceCount(), 0u);
    EXPECT_EQ(g_sinkLog.terms, g_sinkLog.created) << "every sink was terminated";
}

TEST_F(DeviceManager, ReplaceOutputCarriesTheListenersMainFlagAndValue)
{
    DefineCustomShareSet();
    const ZkGameObjectID listeners[] = {11, 12};
    ASSERT_EQ(CZkOutputDeviceMgr::AddOutput(Settings(kCustomShareSet, 3), listeners, 2), ZK_Success);
    ZkOutputSettings next = Settings(0, 8);
    EXPECT_EQ(CZkOutputDeviceMgr::ReplaceOutput(next, ZkMakeOutputID(7, 7)), ZK_Fail) << "no such device";
    ASSERT_EQ(CZkOutputDeviceMgr::ReplaceOutput(next, ZkMakeOutputID(kCustomShareSet, 3)), ZK_Success);
    CZkOutputDevice* device = CZkOutputDeviceMgr::FirstDevice();
    ASSERT_NE(device, nullptr);
    EXPECT_EQ(CZkOutputDeviceMgr::DeviceCount(), 1u);
    EXPECT_EQ(device->OutputID(), ZkMakeOutputID(kCustomShareSet, 8)) << "a zero share set keeps the old one";
    EXPECT_EQ(device->Listeners().Length(), 2u);
    EXPECT_FALSE(device->IsMain());
    EXPECT_FALSE(device->IsDeviceIDDefaulted());
}

TEST_F(DeviceManager, OfflineRenderingPutsNewDevicesOnTheBaseSinkRunning)
{
    g_offlineRendering = 1;
    CZkOutputDevice* main = StartMainOutput();
    ASSERT_NE(main, nullptr);
    EXPECT_EQ(main->SinkPluginID(), kBaseSinkID);
    EXPECT_EQ(main->GetState(), CZkOutputDevice::State_Running);
    EXPECT_EQ(g_sinkLog.created, 0u);
}

TEST_F(DeviceManager, PanningRuleAndSpeakerAnglesOfADevice)
{
    CZkOutputDevice* main = StartMainOutput();
    EXPECT_EQ(CZkOutputDeviceMgr::SetPanningRule(0, 1), ZK_Success);
    EXPECT_EQ(main->panningRule, 1u);
    EXPECT_EQ(CZkOutputDeviceMgr::SetPanningRule(ZkMakeOutputID(5, 5), 1), ZK_Fail);
    float angles[3] = {};
    uint32_t count = 2;
    float height = 0.0f;
    ASSERT_EQ(main->GetSpeakerAngles(angles, count, height), ZK_Success);
    EXPECT_EQ(count, 3u);
    EXPECT_NEAR(angles[0], 45.0f, 1e-3f);
    EXPECT_NEAR(angles[1], 90.0f, 1e-3f);
    EXPECT_EQ(angles[2], 0.0f) << "only the caller's count is copied";
    EXPECT_NEAR(height, 54.7f, 1e-3f);
    const float wide[] = {30, 100, 150};
    EXPECT_EQ(main->SetSpeakerAngles(wide, 3, 90.5f), ZK_InvalidParameter);
    count = 3;
    ASSERT_EQ(main->GetSpeakerAngles(angles, count, height), ZK_Success);
    EXPECT_NEAR(angles[0], 45.0f, 1e-3f) << "unchanged";
    CZkOutputDevice bare;
    EXPECT_EQ(bare.GetSpeakerAngles(angles, count, height), ZK_Fail) << "no sink";
}

// Every allocation of a device's creation failing in turn: the creation answers 52 and leaves
// nothing behind, or it succeeds whole (a failure the device copes with, such as a layout cache).
TEST_F(DeviceManager, OutOfMemoryDuringACreationLeavesNothingHalfMade)
{
    const ZkGameObjectID listeners[] = {1, 2, 3};
    for (const ZkMemoryId pool : {ZkMemID_Default, ZkMemID_GameObjects, ZkMemID_Processing, ZkMemID_ProcessingPlugins})
    {
        for (uint32_t nth = 1; nth <= 6; ++nth)
        {
            SCOPED_TRACE(testing::Message() << "pool " << pool << " allocation " << nth);
            ZKRESULT result;
            {
                ZK::MemoryMgr::FaultInjection::ScopedAllocationFailure failure(pool, nth);
                result = CZkOutputDeviceMgr::AddOutput(Settings(0), listeners, 3);
            }
            ASSERT_TRUE(result == ZK_Success || result == ZK_InsufficientMemory) << result;
            EXPECT_EQ(CZkOutputDeviceMgr::DeviceCount(), result == ZK_Success ? 1u : 0u);
            if (result == ZK_Success)
            {
                EXPECT_NE(CZkOutputDeviceMgr::FirstDevice()->Sink(), nullptr);
                EXPECT_EQ(CZkOutputDeviceMgr::FirstDevice()->Listeners().Length(), 3u);
            }
            CZkOutputDeviceMgr::TermDevices();
            EXPECT_EQ(g_sinkLog.terms, g_sinkLog.created);
        }
    }
}

// The clouds of virtual points of 3-D panning: per channel count, planar or 3-D, sized by the
// device's smallest speaker gap, cached until the angles change.
TEST_F(DeviceManager, VirtualPointSetsAreCachedAndEmptiedByNewAngles)
{
    CZkOutputDevice* main = StartMainOutput();
    const float* points = nullptr;
    uint32_t count = 0;
    EXPECT_FALSE(main->GetVirtualPoints(0, false, points, count));
    // Default angles: the smallest gap is 45 degrees, so the density is 1 / (pi / 4).
    ASSERT_TRUE(main->GetVirtualPoints(2, false, points, count));
    EXPECT_EQ(count, 4u) << "int(pi / 2 x 4 / pi + 1.01) = 3, rounded up to 4";
    const float* planar = points;
    for (uint32_t k = 0; k < count; ++k)
    {
        EXPECT_NEAR(points[4 * k] * points[4 * k] + points[4 * k + 2] * points[4 * k + 2], 1.0f, 1e-6f);
        EXPECT_EQ(points[4 * k + 1], 0.0f);
    }
    EXPECT_NEAR(points[0], -points[4 * (count - 1)], 1e-6f) << "the arc is symmetric";
    ASSERT_TRUE(main->GetVirtualPoints(2, true, points, count));
    EXPECT_EQ(count, 4u * 8u) << "3 rings rounded up to 4, of 8 points";
    for (uint32_t k = 0; k < count; ++k)
    {
        const float* p = points + 4 * k;
        EXPECT_NEAR(p[0] * p[0] + p[1] * p[1] + p[2] * p[2], 1.0f, 1e-5f);
        EXPECT_GT(p[2], 0.0f) << "inside the cap of half-angle pi / 2";
    }
    EXPECT_EQ(reinterpret_cast<uintptr_t>(points) % 16, 0u);
    ASSERT_TRUE(main->GetVirtualPoints(2, false, points, count));
    EXPECT_EQ(points, planar) << "cached";
    EXPECT_EQ(main->GetCachedVirtualPointSetCount(), 2u);
    const float narrow[] = {10, 60, 120};
    ASSERT_EQ(main->SetSpeakerAngles(narrow, 3, 30.0f), ZK_Success);
    EXPECT_EQ(main->GetCachedVirtualPointSetCount(), 0u);
    ASSERT_TRUE(main->GetVirtualPoints(2, false, points, count));
    EXPECT_EQ(count, 12u) << "a 10-degree gap: int(pi / 2 x 18 / pi + 1.01) = 10, rounded up to 12";
}
} // namespace
