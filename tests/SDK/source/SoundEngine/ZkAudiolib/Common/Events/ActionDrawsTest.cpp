// The random draws of actions against a model of the engine's generator in Python's unbounded
// integers (action_draws_oracle.py, run with the system's own interpreter): the offsets drawn from
// the ranges of the delay and the fade (clamped at 0), and the play probability, from the same
// seeds, in the same interleaved order.
#include "EventsFixture.h"

#include "SDK/source/SoundEngine/ZkAudiolib/Common/Containers/EngineMemoryFixture.h"

#include "ZkAudiolib/Common/Events/CZkActionFactory.h"

#include <sstream>

namespace
{
using namespace ZkEventsTest;

class ActionDraws : public EventsTest
{
protected:
    static std::vector<int64_t> Oracle(uint64_t seed, const std::string& operations)
    {
        const std::string output = ZkEngineTest::RunCommand(
            "/usr/bin/python3 \"" + std::string(KP_SOURCE_DIR) +
            "/tests/SDK/source/SoundEngine/ZkAudiolib/Common/Events/action_draws_oracle.py\" " + std::to_string(seed) +
            " " + operations);
        std::istringstream lines(output);
        std::vector<int64_t> values;
        int64_t value = 0;
        while (lines >> value)
            values.push_back(value);
        return values;
    }
};

TEST_F(ActionDraws, DelaysFadesAndPlayProbabilityFollowThePythonModel)
{
    TestPlayableNode* node = AddPlayable(500);
    CZkRegisteredObj* object = Register(3);
    CZkEventAction* play = CZkActionFactory::Create(0x0403, 0);
    CZkEventAction* never = CZkActionFactory::Create(0x0403, 0);
    CZkEventAction* stop = CZkActionFactory::Create(0x0103, 0);
    ASSERT_TRUE(play != nullptr && never != nullptr && stop != nullptr);
    play->SetTarget(500, false);
    never->SetTarget(500, false);
    ASSERT_EQ(play->SetFloatProperty(ZkProp_PlayProbability, 37.5f, 0.0f, 0.0f), ZK_Success);
    ASSERT_EQ(never->SetFloatProperty(ZkProp_PlayProbability, 0.0f, 0.0f, 0.0f), ZK_Success);
    ASSERT_EQ(stop->SetIntProperty(ZkProp_ActionDelay, 2400, -4800, 4800), ZK_Success);
    ASSERT_EQ(stop->SetIntProperty(ZkProp_ActionFadeTime, 100, -300, 50), ZK_Success);

    for (const uint64_t seed : {1ull, 42ull, 0xDEADBEEFCAFEull, 0xFFFFFFFFFFFFFFFFull})
    {
        SCOPED_TRACE(seed);
        std::string operations;
        std::vector<int64_t> drawn;
        ZK::ZkLcg64::Engine().Seed(seed);
        for (int step = 0; step < 240; ++step)
        {
            switch (step % 4)
            {
            case 0:
                operations += " delay 2400 -4800 4800";
                drawn.push_back(stop->GetDelay());
                break;
            case 1:
                operations += " delay 100 -300 50";
                drawn.push_back(stop->GetFadeTime());
                break;
            default:
            {
                // Property 17 = 0 never plays and never draws; 37.5 % plays by the draw.
                CZkEventAction* action = step % 4 == 2 ? play : never;
                operations += step % 4 == 2 ? " chance 37.5" : " chance 0";
                const size_t before = node->launches.size();
                PendingAction pending(action, object);
                EXPECT_EQ(action->Execute(pending), ZK_Success);
                drawn.push_back(static_cast<int64_t>(node->launches.size() - before));
                break;
            }
            }
        }
        EXPECT_EQ(drawn, Oracle(seed, operations));
    }
    EXPECT_GT(node->launches.size(), 0u);
    play->Release();
    never->Release();
    stop->Release();
}

TEST_F(ActionDraws, AProbabilityOf100AlwaysPlays)
{
    TestPlayableNode* node = AddPlayable(500);
    CZkEventAction* play = CZkActionFactory::Create(0x0403, 0);
    play->SetTarget(500, false);
    ASSERT_EQ(play->SetFloatProperty(ZkProp_PlayProbability, 50.0f, 0.0f, 0.0f), ZK_Success);
    ASSERT_EQ(play->SetFloatProperty(ZkProp_PlayProbability, 100.0f, 0.0f, 0.0f), ZK_Success);
    // The largest draw scaled is exactly 100: never above.
    ZK::ZkLcg64::Engine().Seed(0);
    for (int run = 0; run < 1000; ++run)
    {
        PendingAction pending(play, nullptr);
        play->Execute(pending);
    }
    EXPECT_EQ(node->launches.size(), 1000u);
    play->Release();
}
} // namespace
