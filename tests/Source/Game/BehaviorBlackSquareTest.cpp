// The full-screen black square: fading out from opaque, darkening from clear, and handing its alpha
// over to whoever clears the fade's active flag.
#include "Engine/Fade.h"
#include "Engine/Timer.h"
#include "Game/BehaviorBlackSquare.h"
#include "Objects/GameObject.h"
#include "Objects/Sprite.h"

#include <gtest/gtest.h>

namespace
{
class BlackSquare : public ::testing::Test
{
protected:
    void TearDown() override
    {
        DeleteAllFades();
        DeleteAllTimers();
    }

    // A square with the given starting alpha, its behaviour initialised as a scene's build does.
    BehaviorBlackSquare* MakeSquare(float alpha)
    {
        m_sprite = new Sprite();
        m_sprite->alpha = alpha;
        m_object.AddComponent(m_sprite);
        auto* behavior = new BehaviorBlackSquare();
        m_object.AddComponent(behavior);
        behavior->Init();
        return behavior;
    }

    // Frames as the engine runs them: fades tick before objects update.
    void RunFrames(int frames, float dt)
    {
        for (int i = 0; i < frames; ++i)
        {
            TickFades(dt);
            m_object.Update(dt);
        }
    }

    GameObject m_object;
    Sprite* m_sprite = nullptr;
};
} // namespace

TEST_F(BlackSquare, OpaqueSquareFadesOutAtFourTenthsPerSecond)
{
    MakeSquare(1.0f);
    RunFrames(10, 0.125f); // 1.25 s
    EXPECT_NEAR(m_sprite->alpha, 0.5f, 1e-4f);
    RunFrames(10, 0.125f); // 2.5 s
    EXPECT_NEAR(m_sprite->alpha, 0.0f, 1e-4f);
}

TEST_F(BlackSquare, ClearSquareDarkensTheScreenOverOneSecond)
{
    MakeSquare(0.0f);
    RunFrames(4, 0.125f);
    EXPECT_NEAR(m_sprite->alpha, 0.5f, 1e-4f);
    RunFrames(4, 0.125f);
    EXPECT_NEAR(m_sprite->alpha, 1.0f, 1e-4f);
}

TEST_F(BlackSquare, AFadeMadeInactiveNoLongerDrivesTheAlpha)
{
    BehaviorBlackSquare* square = MakeSquare(1.0f);
    RunFrames(2, 0.125f);
    square->fade->active = false;
    m_sprite->alpha = 0.75f; // the play button drives it now
    RunFrames(4, 0.125f);
    EXPECT_EQ(m_sprite->alpha, 0.75f);
}

TEST_F(BlackSquare, CloneSharesTheFadeAndKeepsTheName)
{
    BehaviorBlackSquare* square = MakeSquare(1.0f);
    square->name = "Square";
    Component* copy = square->Clone();
    auto* clone = dynamic_cast<BehaviorBlackSquare*>(copy);
    ASSERT_NE(clone, nullptr);
    EXPECT_EQ(clone->fade, square->fade);
    EXPECT_EQ(clone->name, "Square");
    delete copy;
}
