// The rays of a listener (with a path's gain) and the rays as the panner reads them: position in the
// listener's frame divided by the ray scaling, the emitter's orientation in mode 2, spread and
// focus from the attenuation's curves at that length (or the ray's own spread), the spread cap,
// the channel mask, and a listener without spatialization.
#include "SDK/source/SoundEngine/ZkAudiolib/Common/Banks/BankTestSupport.h"

#include "ZkAudiolib/Common/Attenuations/CZkAttenuation.h"
#include "ZkAudiolib/Common/Positioning/CZkPositioningMath.h"

#include <string>

namespace
{
using namespace ZK::SoundEngine;

class RayItems : public ZkBankTest::BankParseTest
{
protected:
    void SetUp() override
    {
        BankParseTest::SetUp();
        // Spread rises 0 -> 100 % over 10 units, focus falls 100 -> 0 %.
        ASSERT_EQ(ParseMemory(ZkBankTest::WriteBank(ZkBankTest::Bank(
                      R"({"tag": "BKHD"}, {"tag": "HIRC", "items": [{"type": "attenuation", "id": 1,
                          "map": [255, 255, 255, 255, 255, 0, 1],
                          "curves": [{"points": [[0, 0], [10, 100]]}, {"points": [[0, 100], [10, 0]]}]}]})"))),
                  ZK_Success);
    }
};

void ExpectVector(const ZkVector& actual, const ZkVector& expected, const std::string& what)
{
    EXPECT_NEAR(actual.x, expected.x, 1e-5f) << what;
    EXPECT_NEAR(actual.y, expected.y, 1e-5f) << what;
    EXPECT_NEAR(actual.z, expected.z, 1e-5f) << what;
}

TEST_F(RayItems, RaysInTheListenersFrame)
{
    ZkListenerFrame ahead; // at the origin, facing +z
    ZkListenerFrame east;  // facing +x: its right-hand side is -z
    east.front = {1.0f, 0.0f, 0.0f};
    east.side = {0.0f, 0.0f, -1.0f};
    ZkListenerFrame deaf;
    deaf.spatialized = false;
    ZkPositioningRay base;
    base.position = {9.0f, 9.0f, 9.0f};
    base.spread = 1.0f;
    base.focus = 0.5f;
    base.channelMask = 0x5;

    const struct
    {
        const char* what;
        const ZkListenerFrame* listener;
        bool attenuation;
        uint32_t mode;
        float scaling;
        float cap;
        ZkVector position;
        ZkVector front;
        float spread;
        float focus;
        uint32_t mask;
    } cases[] = {
        {"no curves: the ray's spread", &ahead, false, 1, 1.0f, 100.0f, {3, 0, 4}, {0, 0, 1}, 0.4f, 0.0f, 0x1},
        {"curves at length 5", &ahead, true, 1, 1.0f, 100.0f, {3, 0, 4}, {0, 0, 1}, 0.5f, 0.25f, 0x1},
        {"spread capped", &ahead, true, 1, 1.0f, 30.0f, {3, 0, 4}, {0, 0, 1}, 0.3f, 0.25f, 0x1},
        {"scaling 2 halves the length", &ahead, true, 1, 2.0f, 100.0f, {1.5f, 0, 2}, {0, 0, 1}, 0.25f, 0.375f, 0x1},
        {"turned listener", &east, true, 1, 1.0f, 100.0f, {-4, 0, 3}, {0, 0, 1}, 0.5f, 0.25f, 0x1},
        {"mode 2 turns the emitter's front", &east, true, 2, 1.0f, 100.0f, {-4, 0, 3}, {1, 0, 0}, 0.5f, 0.25f, 0x1},
        {"mode 0 keeps the base position", &ahead, true, 0, 1.0f, 100.0f, {9, 9, 9}, {0, 0, 1}, 0.5f, 0.25f, 0x1},
        {"no spatialization", &deaf, true, 1, 1.0f, 100.0f, {0, 0, 0}, {0, 0, 1}, 1.0f, 1.0f, kZkAllInputChannels},
    };
    for (const auto& c : cases)
    {
        ZkRay ray;
        ray.emitter.position = {3.0f, 0.0f, 4.0f};
        ray.emitter.front = {0.0f, 0.0f, -1.0f};
        ray.scaling = c.scaling;
        ray.spreadPercent = 40.0f;
        ray.spreadCapPercent = c.cap;
        ray.inputChannelMask = 0x3;
        const ZkRay* rays[1] = {&ray};
        CZkAttenuation* attenuation = c.attenuation ? CZkAttenuation::Find(1) : nullptr;
        ZkPositioningRay item;
        CZkPositioningMath::ComputeRays(*c.listener, attenuation, rays, 1, base, c.mode, &item);
        if (attenuation != nullptr)
            attenuation->Release();
        ExpectVector(item.position, c.position, c.what);
        if (c.mode == 2)
            ExpectVector(item.front, c.front, c.what);
        EXPECT_NEAR(item.spread, c.spread, 1e-5f) << c.what;
        EXPECT_NEAR(item.focus, c.focus, 1e-5f) << c.what;
        EXPECT_EQ(item.channelMask, c.mask) << c.what;
    }
}

TEST(ListenerRays, EachListenerTakesItsRaysWithThePathsGain)
{
    ZkRay rays[3];
    for (uint32_t index = 0; index < 3; ++index)
    {
        rays[index].listenerID = index == 1 ? 2 : 1;
        rays[index].dryGain = 0.1f * static_cast<float>(index + 1);
        rays[index].auxGain1 = 0.2f * static_cast<float>(index + 1);
        rays[index].auxGain2 = 0.3f * static_cast<float>(index + 1);
    }
    const ZkRay* collected[3] = {};
    float gains[3] = {};
    const struct
    {
        ZkGameObjectID listener;
        uint32_t path;
        uint32_t count;
        float first;
        float second;
    } cases[] = {{1, 0, 2, 0.1f, 0.3f}, {1, 1, 2, 0.2f, 0.6f}, {1, 2, 2, 0.3f, 0.9f}, {1, 3, 2, 1.0f, 1.0f},
                 {2, 0, 1, 0.2f, 0.0f}, {3, 0, 0, 0.0f, 0.0f}};
    for (const auto& c : cases)
    {
        ASSERT_EQ(CZkPositioningMath::CollectListenerRays(rays, 3, c.listener, c.path, collected, gains), c.count);
        if (c.count > 0)
        {
            EXPECT_FLOAT_EQ(gains[0], c.first) << c.listener << " path " << c.path;
        }
        if (c.count > 1)
        {
            EXPECT_EQ(collected[1], &rays[2]);
            EXPECT_FLOAT_EQ(gains[1], c.second) << c.listener << " path " << c.path;
        }
    }
}
} // namespace
