// The calls that act at once: plug-ins and codecs reach the registry, media arrays are checked
// before the media index, and the monitoring entry points do nothing.
#include "SDK/source/SoundEngine/ZkAudiolib/Common/Containers/EngineMemoryFixture.h"

#include "ZkAudiolib/Common/Plugins/PluginRegistry.h"

#include <ZK/SoundEngine/Common/ZkSoundEngine.h>

#include <gtest/gtest.h>

using namespace ZK::SoundEngine;

namespace
{
class PluginMediaAndMonitoring : public ZkEngineTest::EngineMemoryTest
{
protected:
    void TearDown() override
    {
        PluginRegistry::Term();
        EngineMemoryTest::TearDown();
    }
};

ZK::IZkPlugin* NoPlugin(ZK::IZkPluginMemAlloc*)
{
    return nullptr;
}
void* NoSource(void*)
{
    return nullptr;
}
ZKRESULT NoDevices(uint32_t& count, ZkDeviceDescription*)
{
    count = 0;
    return ZK_Success;
}
} // namespace

TEST_F(PluginMediaAndMonitoring, PluginsAndCodecsReachTheRegistry)
{
    EXPECT_EQ(RegisterPlugin(ZK::ZkPluginTypeEffect, 64, 9, &NoPlugin, nullptr, &NoDevices), ZK_Success);
    ZK::IZkPluginParam* parameters = reinterpret_cast<ZK::IZkPluginParam*>(1);
    EXPECT_EQ(PluginRegistry::CreatePluginParam(nullptr, ZK::ZkMakePluginKey(ZK::ZkPluginTypeEffect, 64, 9), parameters),
              ZK_Success);
    EXPECT_EQ(parameters, nullptr) << "found, without parameters";
    EXPECT_EQ(RegisterPlugin(ZK::ZkPluginTypeEffect, 64, 9, &NoPlugin, nullptr), ZK_Success) << "the first one kept";
    EXPECT_EQ(RegisterCodec(64, 3, &NoSource, &NoSource), ZK_Success);
    EXPECT_EQ(RegisterCodec(64, 3, &NoSource, &NoSource), ZK_Fail) << "registered already";
    EXPECT_EQ(RegisterCodec(64, 4, nullptr, &NoSource), ZK_InvalidParameter);
}

TEST_F(PluginMediaAndMonitoring, MediaArraysAreCheckedFirst)
{
    ZkSourceSettings media[2] = {};
    ZKRESULT results[2] = {ZK_Success, ZK_Success};
    EXPECT_EQ(SetMedia(nullptr, 2), ZK_InvalidParameter);
    EXPECT_EQ(UnsetMedia(nullptr, 2), ZK_InvalidParameter);
    EXPECT_EQ(TryUnsetMedia(nullptr, 2, results), ZK_InvalidParameter);
    EXPECT_EQ(results[0], ZK_InvalidParameter);
    EXPECT_EQ(results[1], ZK_InvalidParameter);
    EXPECT_EQ(TryUnsetMedia(nullptr, 2, nullptr), ZK_InvalidParameter);
    EXPECT_EQ(SetMedia(media, 0), ZK_Success);
    EXPECT_EQ(UnsetMedia(media, 0), ZK_Success);
    EXPECT_EQ(TryUnsetMedia(media, 0, results), ZK_Success);
    EXPECT_EQ(SetMedia(media, 2), ZK_Fail) << "no media index before the engine's initialisation";
}

TEST_F(PluginMediaAndMonitoring, MonitoringDoesNothing)
{
    EXPECT_EQ(StartProfilerCapture(L"capture.prof"), ZK_NotImplemented);
    EXPECT_EQ(StopProfilerCapture(), ZK_NotImplemented);
    EXPECT_EQ(ZK::Monitor::PostCode(ZK_Fail, 1), ZK_NotImplemented);
    EXPECT_EQ(ZK::Monitor::PostString("text", 1), ZK_NotImplemented);
    EXPECT_EQ(ZK::Monitor::PostString(L"text", 1), ZK_NotImplemented);
    EXPECT_EQ(ZK::Monitor::SetLocalOutput(0xFF, nullptr), ZK_NotImplemented);
    EXPECT_EQ(RegisterResourceMonitorCallback(nullptr), ZK_Fail);
    EXPECT_EQ(UnregisterResourceMonitorCallback(nullptr), ZK_Fail);
}
