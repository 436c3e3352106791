// The engine's random generator against a big-integer reference in Python, and its derived draws.
#include "EngineMemoryFixture.h"

#include "ZkAudiolib/Common/Containers/ZkLcg64.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>

TEST(ZkLcg64, DrawsEqualThePythonReference)
{
    constexpr int kDraws = 2000;
    for (uint64_t seed : {0ull, 1ull, 0x123456789ABCDEF0ull, 0xFFFFFFFFFFFFFFFFull})
    {
        const std::string reference = ZkEngineTest::RunPythonOracle(
            "SDK/source/SoundEngine/ZkAudiolib/Common/Containers/lcg64_oracle.py",
            std::to_string(seed) + " " + std::to_string(kDraws));
        std::istringstream lines(reference);
        ZK::ZkLcg64 generator(seed);
        int compared = 0;
        uint64_t expected = 0;
        while (lines >> expected)
        {
            ASSERT_EQ(generator.Draw(), expected) << "seed " << seed << " draw " << compared;
            ++compared;
        }
        EXPECT_EQ(compared, kDraws) << "the oracle did not answer for seed " << seed;
    }
}

TEST(ZkLcg64, DerivedDrawsFollowTheRawDraw)
{
    ZK::ZkLcg64 raw(42);
    ZK::ZkLcg64 derived(42);
    for (int i = 0; i < 1000; ++i)
    {
        const uint32_t value = raw.Draw();
        switch (i % 3)
        {
        case 0:
            EXPECT_EQ(derived.RandomIndex(7), value % 7);
            break;
        case 1:
            EXPECT_DOUBLE_EQ(derived.RandomFraction(), value / 2147483647.0);
            break;
        default:
            EXPECT_EQ(derived.RandomIntInRange(-3, 5), -3 + static_cast<int32_t>(value / 2147483647.0 * 8 + 0.5));
            break;
        }
    }
    EXPECT_EQ(derived.State(), raw.State());
}

TEST(ZkLcg64, EmptyRangesDoNotDraw)
{
    ZK::ZkLcg64 generator(9);
    EXPECT_EQ(generator.RandomFloatInRange(2.5f, 2.5f), 2.5f);
    EXPECT_EQ(generator.RandomIntInRange(4, 4), 4);
    EXPECT_EQ(generator.State(), 9u);
    EXPECT_EQ(generator.RandomIndex(0), 0u) << "an empty index range answers 0";
    const float value = generator.RandomFloatInRange(-1.0f, 1.0f);
    EXPECT_GE(value, -1.0f);
    EXPECT_LE(value, 1.0f);
}
