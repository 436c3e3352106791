// The engine limits: the volume threshold's range and finiteness checks and its linear value (never
// below the exact power of ten, judged by Python), the voice limit, and the setting priorities that
// keep a value the game set from being overridden by a bank.
#include "SDK/source/SoundEngine/ZkAudiolib/Common/Containers/EngineMemoryFixture.h"

#include "ZkAudiolib/Common/FrontEnd/EngineLimits.h"
#include "ZkAudiolib/Common/Hierarchy/CZkInstanceLimiter.h"
#include "ZkAudiolib/Common/Parameters/ZkFastMath.h"
#include "ZkAudiolib/Common/Playback/CZkActiveInstances.h"

#include <ZK/SoundEngine/Common/ZkEngineControls.h>

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <sstream>
#include <string>
#include <vector>

namespace
{
using namespace ZK::SoundEngine;

class EngineLimitsTest : public ::testing::Test
{
protected:
    void SetUp() override { ResetEngineLimits(); }
    void TearDown() override { ResetEngineLimits(); }
};

TEST_F(EngineLimitsTest, TheThresholdTakesDecibelsFromMinus96Point3ToZero)
{
    const float inf = std::numeric_limits<float>::infinity();
    const struct
    {
        float decibels;
        ZKRESULT result;
    } cases[] = {
        {-96.3f, ZK_Success},   {0.0f, ZK_Success}, {-40.0f, ZK_Success}, {0.1f, ZK_InvalidParameter},
        {-96.4f, ZK_InvalidParameter}, {std::nanf(""), ZK_NotFinite}, {inf, ZK_NotFinite}, {-inf, ZK_NotFinite},
    };
    for (const auto& c : cases)
    {
        ResetEngineLimits();
        EXPECT_EQ(SetVolumeThreshold(c.decibels), c.result) << c.decibels;
        const float expected = c.result == ZK_Success ? c.decibels : kDefaultVolumeThresholdDB;
        EXPECT_EQ(GetVolumeThresholdDB(), expected) << c.decibels;
    }
}

TEST_F(EngineLimitsTest, TheLinearThresholdIsNeverBelowTheExactPowerOfTen)
{
    std::vector<float> thresholds;
    for (int step = 0; step <= 963; step += 7)
        thresholds.push_back(-static_cast<float>(step) * 0.1f);
    thresholds.push_back(kMinVolumeThresholdDB);
    thresholds.push_back(-0.0001f);
    std::string arguments;
    for (float decibels : thresholds)
    {
        char hex[64];
        std::snprintf(hex, sizeof(hex), "%a", static_cast<double>(decibels));
        arguments += std::string(" ") + hex;
    }
    std::istringstream exact(ZkEngineTest::RunPythonOracle("SDK/source/SoundEngine/ZkAudiolib/Common/FrontEnd/decibel_oracle.py",
                                                           arguments));
    for (float decibels : thresholds)
    {
        std::string line;
        ASSERT_TRUE(std::getline(exact, line)) << "the oracle answered every threshold";
        const double reference = std::strtod(line.c_str(), nullptr);
        ASSERT_EQ(SetVolumeThreshold(decibels), ZK_Success);
        const float linear = GetVolumeThresholdLinear();
        EXPECT_GE(static_cast<double>(linear), reference) << decibels;
        // The larger of the two forms: the fast power of ten where it is above the exact value.
        EXPECT_GE(linear, ZkFastPow10(decibels * kDecibelsToPow10)) << decibels;
        EXPECT_LT(static_cast<double>(linear), reference * 1.003) << decibels;
    }
}

TEST_F(EngineLimitsTest, AValueTheGameSetIsNotOverriddenByABank)
{
    // Before any interface call, a bank's settings apply (Init's priority 3 lets priority 2 write).
    EXPECT_EQ(SetVolumeThresholdFromBank(-50.0f, kBankSettingPriority), ZK_Success);
    EXPECT_EQ(GetVolumeThresholdDB(), -50.0f);
    EXPECT_EQ(SetVolumeThreshold(-30.0f), ZK_Success);
    EXPECT_EQ(GetVolumeThresholdDB(), -30.0f);
    for (int32_t priority : {1, 2, 3})
    {
        EXPECT_EQ(SetVolumeThresholdFromBank(-60.0f, priority), ZK_Success) << "a refused write is not an error";
        EXPECT_EQ(GetVolumeThresholdDB(), -30.0f) << priority;
    }
    EXPECT_EQ(SetVolumeThresholdFromBank(-60.0f, 0), ZK_Success) << "an equal priority still writes";
    EXPECT_EQ(GetVolumeThresholdDB(), -60.0f);

    EXPECT_EQ(SetMaxNumVoicesLimitFromBank(64, kBankSettingPriority), ZK_Success);
    EXPECT_EQ(GetMaxNumVoicesLimit(), 64u);
    EXPECT_EQ(SetMaxNumVoicesLimit(32), ZK_Success);
    EXPECT_EQ(SetMaxNumVoicesLimitFromBank(128, kBankSettingPriority), ZK_Success);
    EXPECT_EQ(GetMaxNumVoicesLimit(), 32u);
    EXPECT_EQ(CZkActiveInstances::GlobalLimiter().MaxCount(), 32u) << "the limit the active instances enforce";
    EXPECT_EQ(SetSecondVoiceLimitFromBank(7, kBankSettingPriority), ZK_Success);
    EXPECT_EQ(GetSecondVoiceLimit(), 7u);

    // The engine's next start gives the bank its say again (the values stay).
    ResetSettingPriorities();
    EXPECT_EQ(GetVolumeThresholdDB(), -60.0f);
    EXPECT_EQ(SetVolumeThresholdFromBank(-20.0f, kBankSettingPriority), ZK_Success);
    EXPECT_EQ(GetVolumeThresholdDB(), -20.0f);
}

TEST_F(EngineLimitsTest, BadLimitsAreRefusedWithoutChangingAnything)
{
    EXPECT_EQ(SetMaxNumVoicesLimit(0), ZK_InvalidParameter);
    EXPECT_EQ(SetMaxNumVoicesLimitFromBank(0, kBankSettingPriority), ZK_InvalidParameter);
    EXPECT_EQ(GetMaxNumVoicesLimit(), kDefaultMaxNumVoices);
    // A bank's threshold has no finiteness check of its own: its range check refuses NaN.
    EXPECT_EQ(SetVolumeThresholdFromBank(std::nanf(""), kBankSettingPriority), ZK_InvalidParameter);
    EXPECT_EQ(SetVolumeThresholdFromBank(0.5f, kBankSettingPriority), ZK_InvalidParameter);
    EXPECT_EQ(GetVolumeThresholdDB(), kDefaultVolumeThresholdDB);
    // A refused call takes no priority: a bank may still write.
    EXPECT_EQ(SetVolumeThresholdFromBank(-10.0f, kBankSettingPriority), ZK_Success);
    EXPECT_EQ(GetVolumeThresholdDB(), -10.0f);
}

TEST_F(EngineLimitsTest, TheEnginesEndRestoresTheDefaults)
{
    ASSERT_EQ(SetVolumeThreshold(-12.0f), ZK_Success);
    ASSERT_EQ(SetMaxNumVoicesLimit(9), ZK_Success);
    ResetEngineLimits();
    EXPECT_EQ(GetVolumeThresholdDB(), kDefaultVolumeThresholdDB);
    EXPECT_EQ(GetVolumeThresholdLinear(), VolumeThresholdToLinear(kDefaultVolumeThresholdDB));
    EXPECT_EQ(GetMaxNumVoicesLimit(), kDefaultMaxNumVoices);
    EXPECT_EQ(CZkActiveInstances::GlobalLimiter().MaxCount(), CZkActiveInstances::kDefaultMaxVoices);
    EXPECT_EQ(GetSecondVoiceLimit(), 0u);
    EXPECT_EQ(SetVolumeThresholdFromBank(-3.0f, kBankSettingPriority), ZK_Success);
    EXPECT_EQ(GetVolumeThresholdDB(), -3.0f) << "the priorities are Init's again";
}
} // namespace
