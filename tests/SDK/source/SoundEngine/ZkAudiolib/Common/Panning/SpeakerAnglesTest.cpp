// Speaker-angle validation and the device's speaker-angle handler with its layout cache.
#include "PanningTestSupport.h"

#include <MemoryMgr/ZkMemoryFaultInjection.h>
#include <ZkAudiolib/Common/Output/CZkOutputDevice.h>

#include <gtest/gtest.h>

namespace
{
using namespace PanningTest;
using ZK::MemoryMgr::FaultInjection::ScopedAllocationFailure;

struct AngleCase
{
    std::vector<float> degrees;
    ZKRESULT result;
    float smallestGap;
};

TEST(SpeakerAngleValidation, Table)
{
    const AngleCase cases[] = {
        {{45, 90, 135}, ZK_Success, 45},
        {{30, 32, 150}, ZK_InvalidParameter, 0},   // gap of 2 below 5
        {{100, 120, 150}, ZK_Fail, 0},             // first not below 90
        {{45, 45, 135}, ZK_Fail, 0},               // zero gap
        {{45, 90, 178}, ZK_InvalidParameter, 0},   // 360 - 356 = 4 across the back
        {{45, 90, 180}, ZK_Fail, 0},               // not below 180
        {{60, 40, 150}, ZK_Fail, 0},               // decreasing
        {{20, 110, 150}, ZK_Success, 20},          // the first angle counts as a gap
        {{30, 100, 175}, ZK_Success, 10},          // 360 - 350
        {{std::nanf(""), 90, 135}, ZK_Fail, 0},
        {{}, ZK_Fail, 0},
    };
    for (const AngleCase& c : cases)
    {
        float gap = -1.0f;
        EXPECT_EQ(CZkSpeakerPan::ValidateSpeakerAngles(c.degrees.data(), static_cast<uint32_t>(c.degrees.size()), gap),
                  c.result)
            << testing::PrintToString(c.degrees);
        if (c.result == ZK_Success)
        {
            EXPECT_FLOAT_EQ(gap, c.smallestGap);
            std::vector<float> radians(c.degrees.size());
            float gapRad = 0.0f;
            EXPECT_EQ(CZkSpeakerPan::ValidateAndConvertSpeakerAngles(
                          c.degrees.data(), static_cast<uint32_t>(c.degrees.size()), radians.data(), gapRad),
                      ZK_Success);
            EXPECT_FLOAT_EQ(gapRad, c.smallestGap * 0.017453294f);
            std::vector<float> back(c.degrees.size());
            CZkSpeakerPan::RadiansToDegrees(radians.data(), static_cast<uint32_t>(radians.size()), back.data());
            for (size_t i = 0; i < back.size(); ++i)
                EXPECT_NEAR(back[i], c.degrees[i], 1e-4f);
        }
    }
}

class DeviceSpeakerAngles : public PanningFixture
{
protected:
    static float FrontLeftPowerAt(const ZkSpeakerLayout* layout, float azimuthRad)
    {
        float gains[7] = {};
        CZkSpeakerPan::PanPairwise(layout->ring.pairs, layout->ring.positionCount, -std::sin(azimuthRad),
                                   std::cos(azimuthRad), 1.0f, layout->ring.channels, gains);
        return gains[0];
    }
    CZkOutputDevice device;
};

TEST_F(DeviceSpeakerAngles, NewAnglesRebuildCachedLayoutsInPlace)
{
    const float defaults[] = {45, 90, 135};
    ASSERT_EQ(device.SetSpeakerAngles(defaults, 3, 54.7f), ZK_Success);
    EXPECT_NEAR(device.GetInverseMinSpeakerGap(), 1.0f / (45.0f * 0.017453294f), 1e-5f);
    const ZkSpeakerLayout* layout = device.GetSpeakerLayout(Speakers(0x607));
    ASSERT_NE(layout, nullptr);
    EXPECT_EQ(device.GetSpeakerLayout(Speakers(0x60F)), layout) << "LFE is not part of the layout key";
    // At 45 degrees the front-left speaker takes it all; after moving it to 30, 45 lies behind it.
    EXPECT_GT(FrontLeftPowerAt(layout, 45.0f * 0.017453294f), 0.999f);
    const float narrow[] = {30};
    ASSERT_EQ(device.SetSpeakerAngles(narrow, 1, 30.0f), ZK_Success);
    EXPECT_EQ(device.GetSpeakerAngleCount(), 3u) << "the rest of the table is kept";
    EXPECT_NEAR(device.GetSpeakerAnglesRad()[1], 90.0f * 0.017453294f, 1e-5f);
    layout = device.GetSpeakerLayout(Speakers(0x607));
    ASSERT_NE(layout, nullptr);
    EXPECT_GT(FrontLeftPowerAt(layout, 30.0f * 0.017453294f), 0.999f);
    EXPECT_LT(FrontLeftPowerAt(layout, 45.0f * 0.017453294f), 0.999f);
    EXPECT_NEAR(device.GetHeightAngleRad(), 30.0f * 0.017453294f, 1e-6f);
}

TEST_F(DeviceSpeakerAngles, RefusedAnglesLeaveTheTable)
{
    const float defaults[] = {45, 90, 135};
    ASSERT_EQ(device.SetSpeakerAngles(defaults, 3, 54.7f), ZK_Success);
    const float height = device.GetHeightAngleRad();
    EXPECT_EQ(device.SetSpeakerAngles(defaults, 3, 90.5f), ZK_InvalidParameter);
    EXPECT_EQ(device.SetSpeakerAngles(defaults, 3, -91.0f), ZK_InvalidParameter);
    const float tooClose[] = {45, 47, 135};
    EXPECT_EQ(device.SetSpeakerAngles(tooClose, 3, 10.0f), ZK_InvalidParameter);
    const float backwards[] = {95};
    EXPECT_EQ(device.SetSpeakerAngles(backwards, 1, 10.0f), ZK_Fail);
    EXPECT_EQ(device.GetHeightAngleRad(), height);
    EXPECT_NEAR(device.GetSpeakerAnglesRad()[0], 45.0f * 0.017453294f, 1e-6f);
    {
        ScopedAllocationFailure fail(ZkMemID_Default, 1);
        EXPECT_EQ(device.SetSpeakerAngles(defaults, 3, 20.0f), ZK_Fail);
    }
    EXPECT_EQ(device.GetHeightAngleRad(), height);
}

TEST_F(DeviceSpeakerAngles, LayoutsWithoutMemoryAreNotCachedAndRetried)
{
    // 7.0: cache array, layout record, ring, ring without centre.
    for (uint32_t n = 1; n <= 4; ++n)
    {
        CZkOutputDevice fresh;
        {
            ScopedAllocationFailure fail(ZkMemID_Default, n);
            EXPECT_EQ(fresh.GetSpeakerLayout(Speakers(0x637)), nullptr) << "allocation " << n;
        }
        EXPECT_EQ(fresh.GetCachedLayoutCount(), 0u);
        EXPECT_NE(fresh.GetSpeakerLayout(Speakers(0x637)), nullptr);
    }
    EXPECT_NE(device.GetSpeakerLayout(Speakers(0x637)), nullptr);
    // VBAP layouts: every allocation of the speaker set, in each of its pools, fails cleanly.
    for (ZkMemoryId pool : {ZkMemID_Default, ZkMemID_BankObjects, ZkMemID_Processing})
        for (uint32_t n = 1; n <= 3; ++n)
        {
            CZkOutputDevice fresh;
            ScopedAllocationFailure fail(pool, n);
            const ZkSpeakerLayout* layout = fresh.GetSpeakerLayout(Speakers(0x2D637));
            if (layout != nullptr)
            {
                EXPECT_NE(layout->vbap, nullptr);
            }
        }
    EXPECT_EQ(device.GetSpeakerLayout(Speakers(0x5)), nullptr) << "FL FC forms no ring";
    EXPECT_EQ(device.GetSpeakerLayout(ZkChannelConfig::Anonymous(2)), nullptr);
}
// A VBAP speaker set takes its vectors and projections from the global plug-in allocator (pool 2)
// and its four triangle lists from pool 5; nothing from the plug-in instances' pool 6.
TEST_F(DeviceSpeakerAngles, VbapSpeakerSetsTakeTheirMemoryFromPoolsTwoAndFive)
{
    struct Case
    {
        ZkMemoryId pool;
        uint32_t allocations;
    };
    for (const Case& c : {Case{ZkMemID_BankObjects, 3}, Case{ZkMemID_Processing, 4}, Case{ZkMemID_ProcessingPlugins, 0}})
    {
        CZkOutputDevice fresh;
        ZK::MemoryMgr::FaultInjection::CountOnly(c.pool);
        const ZkSpeakerLayout* layout = fresh.GetSpeakerLayout(Speakers(0x2D637));
        const uint32_t counted = ZK::MemoryMgr::FaultInjection::CountedAllocations();
        ZK::MemoryMgr::FaultInjection::Disarm();
        ASSERT_NE(layout, nullptr);
        ASSERT_NE(layout->vbap, nullptr);
        EXPECT_EQ(counted, c.allocations) << "pool " << c.pool;
    }
}
} // namespace
