// Transitions: frame counts, curve values per frame, mirroring, decibel mode, filter mode,
// retargets, pause and resume, user removal and termination.
#include "SDK/source/SoundEngine/ZkAudiolib/Common/Parameters/ParametersFixture.h"

#include "ZkAudiolib/Common/Parameters/ZkCurveShapes.h"
#include "ZkAudiolib/Common/Parameters/ZkFastMath.h"

#include <cmath>
#include <vector>

namespace
{
using namespace ZK::SoundEngine;
using ZkParamTest::ParametersTest;

struct RecordingUser : ZkTransitionUser
{
    struct Value
    {
        uint32_t kind;
        float value;
        bool done;
    };
    void TransUpdateValue(uint32_t kind, float value, bool done) override { values.push_back({kind, value, done}); }
    std::vector<Value> values;
};

class TransitionTest : public ParametersTest
{
protected:
    CZkTransition* Add(float start, float target, ZkTimeMs ms, uint32_t curve, bool dB = false, bool mirror = false,
                       uint32_t list = CZkTransitionMgr::kDefaultList, uint32_t kind = 0x100)
    {
        ZkTransitionParams params;
        params.firstUser = &m_user;
        params.kind = kind;
        params.startValue = start;
        params.targetValue = target;
        params.timeMs = ms;
        params.curve = curve;
        params.dBMode = dB;
        params.mirrorWhenFalling = mirror;
        return g_pTransitionMgr->AddTransition(params, list);
    }
    RecordingUser m_user;
};

TEST_F(TransitionTest, ZeroMillisecondsDeliverTheTargetAtTheFirstFrame)
{
    ASSERT_NE(Add(1.0f, 5.0f, 0, 4), nullptr);
    g_pTransitionMgr->ProcessTransitions(1);
    ASSERT_EQ(m_user.values.size(), 1u);
    EXPECT_EQ(m_user.values[0].value, 5.0f);
    EXPECT_TRUE(m_user.values[0].done);
    EXPECT_EQ(m_user.values[0].kind, 0x100u);
    EXPECT_EQ(g_pTransitionMgr->Count(0), 0u);
}

TEST_F(TransitionTest, HundredMillisecondsLastFiveFramesAndFollowTheCurve)
{
    for (uint32_t curve : {0u, 1u, 4u, 8u})
    {
        m_user.values.clear();
        g_pTransitionMgr->SetCurrentFrame(0);
        CZkTransition* transition = Add(0.0f, 10.0f, 100, curve);
        ASSERT_NE(transition, nullptr);
        EXPECT_EQ(transition->TimeInFrames(), 5u);
        RunFrames(1, 5);
        ASSERT_EQ(m_user.values.size(), 5u);
        for (uint32_t frame = 1; frame <= 4; ++frame)
        {
            const ZkCurveSegmentTerms terms = CurveSegmentTerms(curve, 1.0f, 10.0f);
            EXPECT_FLOAT_EQ(m_user.values[frame - 1].value, CurveShapeValue(curve, frame / 5.0f * terms.factor, 0.0f, terms.delta, 10.0f))
                << "curve " << curve << " frame " << frame;
            EXPECT_FALSE(m_user.values[frame - 1].done);
        }
        EXPECT_EQ(m_user.values[4].value, 10.0f);
        EXPECT_TRUE(m_user.values[4].done);
    }
}

TEST_F(TransitionTest, FallingMirroredCurves)
{
    struct Case
    {
        uint32_t curve;
        bool mirror;
        float start;
        float target;
        uint32_t expected;
    };
    const Case cases[] = {{1, true, 1.0f, 0.0f, 7}, {1, true, 0.0f, 1.0f, 1}, {1, false, 1.0f, 0.0f, 1},
                          {3, true, 1.0f, 0.0f, 3}, {5, true, 1.0f, 0.0f, 5}, {4, true, 1.0f, 0.0f, 4},
                          {0, true, 1.0f, 1.0f, 8}, {9, true, 1.0f, 0.0f, 0xFFFFFFFFu}};
    for (const Case& c : cases)
    {
        CZkTransition* transition = Add(c.start, c.target, 100, c.curve, false, c.mirror);
        ASSERT_NE(transition, nullptr);
        EXPECT_EQ(transition->Curve(), c.expected) << c.curve;
    }
    // A falling retarget with curve 1 runs with curve 7 too.
    CZkTransition* transition = Add(0.0f, 1.0f, 100, 1);
    g_pTransitionMgr->ChangeParameter(transition, 0x100, -1.0f, 100, 1, ZkValueMeaning_Absolute);
    EXPECT_EQ(transition->Curve(), 7u);
}

TEST_F(TransitionTest, CurvesOutsideTheFadeRangeGiveZeroUntilTheEnd)
{
    ASSERT_NE(Add(2.0f, 0.0f, 63, 9, false, true), nullptr);
    RunFrames(1, 3);
    ASSERT_EQ(m_user.values.size(), 3u);
    EXPECT_EQ(m_user.values[0].value, 0.0f);
    EXPECT_EQ(m_user.values[1].value, 0.0f);
    EXPECT_EQ(m_user.values[2].value, 0.0f);
    EXPECT_TRUE(m_user.values[2].done);
}

TEST_F(TransitionTest, DecibelModeInterpolatesLinearGain)
{
    ASSERT_NE(Add(-96.0f, 0.0f, 210, 4, true), nullptr); // 10 frames
    RunFrames(1, 5);
    EXPECT_NEAR(m_user.values[4].value, -6.02f, 0.05f);
    RunFrames(6, 10);
    EXPECT_EQ(m_user.values.back().value, 0.0f);
    EXPECT_TRUE(m_user.values.back().done);
}

TEST_F(TransitionTest, OffsetRetargetInDecibels)
{
    CZkTransition* transition = Add(-20.0f, 0.0f, 210, 4, true);
    RunFrames(1, 2);
    g_pTransitionMgr->ChangeParameter(transition, 0x100, 6.0f, 210, 4, ZkValueMeaning_Offset);
    // The fast conversions are each within 0.25 % of the exact gain.
    EXPECT_NEAR(transition->TargetValue(), 6.02f, 0.1f);
    EXPECT_NEAR(transition->InterpolationTarget(), 2.0f, 0.02f);
    RunFrames(3, 12);
    EXPECT_NEAR(m_user.values.back().value, 6.02f, 0.1f);
    EXPECT_TRUE(m_user.values.back().done);
}

TEST_F(TransitionTest, FadeRetargetIsNeverLengthened)
{
    CZkTransition* transition = Add(1.0f, 0.0f, 210, 4, false, false, 0, kTransitionKindFadeA);
    RunFrames(1, 4);
    EXPECT_EQ(g_pTransitionMgr->ChangeParameter(transition, kTransitionKindFadeA, 0.5f, 1000, 4, ZkValueMeaning_Absolute),
              48u);
    EXPECT_EQ(transition->TimeInFrames(), 6u);
    EXPECT_EQ(transition->StartFrame(), 4u);
    // Another kind: the new time holds.
    g_pTransitionMgr->ChangeParameter(transition, 0x100, 0.5f, 1000, 4, ZkValueMeaning_Absolute);
    EXPECT_EQ(transition->TimeInFrames(), 48u);
}

TEST_F(TransitionTest, FilterModeApproachesTheTarget)
{
    ZkTransitionParams params;
    params.firstUser = &m_user;
    params.startValue = 0.0f;
    params.targetValue = 1.0f;
    params.timeMs = 100;
    params.filterMode = true;
    CZkTransition* transition = g_pTransitionMgr->AddTransition(params);
    ASSERT_NE(transition, nullptr);
    const float coefficient = std::exp(-(0.104166664f / 100.0f) * 1024.0f);
    EXPECT_FLOAT_EQ(transition->FilterCoefficient(), coefficient);
    RunFrames(1, 2);
    EXPECT_FLOAT_EQ(m_user.values[0].value, 1.0f - coefficient);
    EXPECT_FLOAT_EQ(m_user.values[1].value, 1.0f - coefficient * coefficient);
}

// In dB mode the filter moves the linear gain towards the target's, and the value comes back in
// decibels, as the curves' values do: -40 dB to 0 dB over 500 ms.
TEST_F(TransitionTest, FilterModeInDecibelsFiltersTheLinearGain)
{
    ZkTransitionParams params;
    params.firstUser = &m_user;
    params.startValue = -40.0f;
    params.targetValue = 0.0f;
    params.timeMs = 500;
    params.filterMode = true;
    params.dBMode = true;
    ASSERT_NE(g_pTransitionMgr->AddTransition(params), nullptr);
    const double coefficient = std::exp(-(0.104166664 / 500.0) * 1024.0);
    RunFrames(1, 23);
    ASSERT_EQ(m_user.values.size(), 23u);
    for (size_t frame = 0; frame < m_user.values.size(); ++frame)
    {
        // Each step starts from the value delivered before, as the transition does.
        const double previous = frame == 0 ? -40.0 : m_user.values[frame - 1].value;
        const double gain = (std::pow(10.0, previous / 20.0) - 1.0) * coefficient + 1.0;
        // The fast conversions are each within 0.25 % of the exact gain (about 0.03 dB).
        EXPECT_NEAR(m_user.values[frame].value, 20.0 * std::log10(gain), 0.05) << "frame " << frame + 1;
    }
    EXPECT_GT(m_user.values[0].value, -15.0f) << "a first step of a fifth of the way in gain is -14 dB";
    RunFrames(24, 24);
    EXPECT_EQ(m_user.values.back().value, 0.0f);
    EXPECT_TRUE(m_user.values.back().done);
}

TEST_F(TransitionTest, PauseAndResumeShiftTheEnd)
{
    g_pTransitionMgr->SetCurrentFrame(0);
    CZkTransition* transition = Add(0.0f, 1.0f, 21 * 200, 4, false, false, CZkTransitionMgr::kStateList);
    RunFrames(1, 99);
    g_pTransitionMgr->PauseAll();
    EXPECT_EQ(transition->m_pauseState, ZkTransitionPause::PauseRequested);
    RunFrames(100, 159);
    EXPECT_EQ(transition->m_pauseState, ZkTransitionPause::Paused);
    EXPECT_EQ(m_user.values.size(), 99u) << "a paused transition is not stepped";
    EXPECT_EQ(g_pTransitionMgr->Resume(transition), ZkTransitionPause::Paused);
    RunFrames(160, 259);
    EXPECT_FALSE(m_user.values.back().done);
    RunFrames(260, 260);
    EXPECT_TRUE(m_user.values.back().done);
    EXPECT_EQ(m_user.values.size(), 200u);
}

TEST_F(TransitionTest, PauseStateMachine)
{
    CZkTransition* transition = Add(0.0f, 1.0f, 1000, 4);
    g_pTransitionMgr->Pause(transition);
    EXPECT_EQ(g_pTransitionMgr->Resume(transition), ZkTransitionPause::PauseRequested);
    EXPECT_EQ(transition->m_pauseState, ZkTransitionPause::Running);
    g_pTransitionMgr->Pause(transition);
    RunFrames(1, 1);
    g_pTransitionMgr->Resume(transition);
    g_pTransitionMgr->Pause(transition);
    EXPECT_EQ(transition->m_pauseState, ZkTransitionPause::Paused);
}

TEST_F(TransitionTest, UsersComeAndGo)
{
    CZkTransition* transition = Add(0.0f, 1.0f, 1000, 4);
    RecordingUser second;
    EXPECT_EQ(g_pTransitionMgr->AddTransitionUser(transition, &second), ZK_Success);
    EXPECT_EQ(g_pTransitionMgr->AddTransitionUser(transition, &second), ZK_Fail);
    RunFrames(1, 1);
    EXPECT_EQ(second.values.size(), 1u);
    EXPECT_EQ(g_pTransitionMgr->RemoveTransitionUser(transition, &m_user), ZK_Success);
    EXPECT_EQ(g_pTransitionMgr->RemoveTransitionUser(transition, &m_user), ZK_Fail);
    EXPECT_EQ(g_pTransitionMgr->RemoveTransitionUser(transition, &second), ZK_Success);
    RunFrames(2, 2);
    EXPECT_EQ(m_user.values.size(), 1u);
    EXPECT_EQ(second.values.size(), 1u) << "a transition without users goes without calling anyone";
    EXPECT_EQ(g_pTransitionMgr->Count(0), 0u);
}

TEST_F(TransitionTest, TermDeliversTheFinalValue)
{
    Add(0.0f, 3.0f, 1000, 4);
    Add(0.0f, 4.0f, 1000, 4, false, false, CZkTransitionMgr::kStateList);
    g_pTransitionMgr->Term();
    ASSERT_EQ(m_user.values.size(), 2u);
    EXPECT_EQ(m_user.values[0].value, 3.0f);
    EXPECT_EQ(m_user.values[1].value, 4.0f);
    EXPECT_TRUE(m_user.values[0].done && m_user.values[1].done);
}

TEST_F(TransitionTest, AllocationFailuresLeaveNothingBehind)
{
    for (uint32_t nth = 1; nth <= 3; ++nth)
    {
        ZK::MemoryMgr::FaultInjection::FailNth(ZkMemID_Default, nth);
        CZkTransition* transition = Add(0.0f, 1.0f, 100, 4);
        ZK::MemoryMgr::FaultInjection::Disarm();
        if (transition == nullptr)
            EXPECT_EQ(g_pTransitionMgr->Count(0), 0u);
        else
            g_pTransitionMgr->RemoveTransitionUser(transition, &m_user);
        RunFrames(nth, nth);
    }
    EXPECT_EQ(g_pTransitionMgr->Count(0), 0u);
}
} // namespace
