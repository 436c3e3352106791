// A round's economy and clocks on a play field read from object files (real sprites, meshes and
// the object reader's behaviours), under a GL context for the bars: the gold tick and its lost
// overshoot, the round clock running out into a loss (its bar at width 0 with 300 s left, the lose
// screen 6 s after the end), the city's fall into the win screen with 3 - n stars and the time left
// frozen, and a pause that stops every clock while the pause menu's buttons go on.
#include "GameTestKit.h"
#include "Source/Objects/ObjectAssets.h"
#include "Engine/Mesh.h"
#include "Engine/MeshManager.h"
#include "Engine/SpriteSourceManager.h"
#include "Game/Background.h"
#include "Game/Button.h"
#include "Game/City.h"
#include "Game/GoldCounter.h"
#include "Game/RoundTimer.h"
#include "Game/Star.h"
#include "Game/TimerResult.h"
#include "support/GlContext.h"
#include "Source/Objects/ShownScenes.h"

#include <array>

namespace
{
using kp::test::ObjectBuilder;
using Names = std::vector<std::string>;

constexpr int kEscape = 256;

std::string SpriteMember(const char* mesh, const char* sheet, const char* extra = "")
{
    return std::string(R"("Sprite": {"frameIndex": 0, "alpha": 1.0, "Mesh": ")") + mesh + R"(", "SpriteSource": ")" +
           sheet + "\"" + extra + "}";
}
std::string AnimationMember(int frameCount = 1)
{
    return R"("Animation": {"FrameCount": )" + std::to_string(frameCount) +
           R"(, "FrameDuration": 0.1, "IsLooping": false, "DiffAnimations": true})";
}

class RoundTest : public kp::test::GameFixture
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_context.IsReady()) << m_context.Error();
        window = m_context.Window();
        m_folder.Write("Assets/Mesh/Quad.json", kp::test::RectangleMeshJson("Quad", 0.5f, 0.5f));
        m_folder.Write("Assets/Mesh/Bar_Mesh.json", kp::test::RectangleMeshJson("Bar_Mesh", 0.5f, 0.5f));
        const auto plain = [](int frame) { return std::array<unsigned char, 3>{static_cast<unsigned char>(40 * frame), 90, 90}; };
        for (const auto& [name, rows, columns] : {std::tuple{"Star", 2, 1}, std::tuple{"Font", 6, 16},
                                                  std::tuple{"City", 3, 1}, std::tuple{"Button", 3, 1}})
        {
            const std::string image = std::string(name) + ".png";
            m_folder.WriteSheet("Assets/Art/" + image, columns, rows, 2, plain);
            m_folder.Write(std::string("Assets/Art/") + name + ".json",
                           kp::test::SpriteSourceJson(name, image, columns, rows));
        }
        const std::string text = SpriteMember("Quad", "Font", R"(, "Text": "0", "TextMode": "Left")");
        kp::test::WriteArchetype(m_folder, "GameBackground",
                                 SpriteMember("Quad", "Button") + R"(, "Audio": {}, "Behavior": {"Name": "GameBackground"})");
        kp::test::WriteArchetype(m_folder, "FuelGaugeFill",
                                 SpriteMember("Bar_Mesh", "Button") + R"(, "Behavior": {"Name": "NewUITimer"})");
        kp::test::WriteArchetype(m_folder, "GoldCount", text + R"(, "Behavior": {"Name": "GoldCount"})");
        const int starSeconds[] = {10, 20, 30};
        const char* stars[] = {"StarTest", "StarTest1", "StarTest2"};
        for (int star = 0; star < 3; ++star)
        {
            kp::test::WriteArchetype(m_folder, stars[star],
                                     SpriteMember("Quad", "Star") + ", " + AnimationMember() +
                                         R"(, "Behavior": {"Name": "StarTest"}, "Time": )" +
                                         std::to_string(starSeconds[star]));
            kp::test::WriteArchetype(m_folder, std::string("StarTest_Results") + (star == 0 ? "" : std::to_string(star)),
                                     SpriteMember("Quad", "Star") + ", " + AnimationMember() +
                                         R"(, "Behavior": {"Name": "Star_Programer_Results"})");
        }
        kp::test::WriteArchetype(m_folder, "DwarfCity",
                                 SpriteMember("Quad", "City") + ", " + AnimationMember() +
                                     R"(, "Stats": [{"ListCount": 1, "MaxHealth": 100, "AttackDamage": 15, "ReloadTime": 2}],
                                     "Audio": {}, "Behavior": {"Name": "DwarfCity"})");
        kp::test::WriteArchetype(m_folder, "TimerResultText", text + R"(, "Behavior": {"Name": "TimerResult"})");
        kp::test::WriteArchetype(m_folder, "ResumeButton",
                                 kp::test::TransformMember(0, 0, 200, 100) + ", " + SpriteMember("Quad", "Button") +
                                     ", " + AnimationMember() + R"(, "Collider": {"Type": "Box", "WidthMod": 1, "HeightMod": 1},
                                     "Audio": {}, "Behavior": {"Name": "ResumeButton"})");
        kp::test::WriteScene(m_folder, "Sandbox",
                             {"GameBackground", "FuelGaugeFill", "GoldCount", "StarTest", "StarTest1", "StarTest2", "DwarfCity"});
        kp::test::WriteScene(m_folder, "GameWin",
                             {"StarTest_Results", "StarTest_Results1", "StarTest_Results2", "TimerResultText"});
        kp::test::WriteScene(m_folder, "PauseMenu", {"ResumeButton"});
        SceneManager::SwitchTo("Sandbox");
    }
    void TearDown() override
    {
        ClearScenes();
        SpriteSourceManager::DestroyAll();
        MeshManager::DestroyAll();
        window = nullptr;
    }

    static GameObject* PlayFieldObject(const char* name) { return SceneManager::Find("Sandbox")->objects.Find(name); }
    static RoundTimer& Clock() { return *PlayFieldObject("FuelGaugeFill")->GetComponent<RoundTimer>(); }
    static float BarWidth()
    {
        return PlayFieldObject("FuelGaugeFill")->GetComponent<Sprite>()->mesh->vertices[0].x;
    }
    static Names Shown() { return kp::test::ShownScenes(); }
    // Runs whole frames of dt until `seconds` have passed.
    void Run(float seconds, float dt)
    {
        const int frames = static_cast<int>(seconds / dt + 0.5f);
        for (int frame = 0; frame < frames; ++frame)
        {
            Frame(dt);
        }
    }

    kp::test::GlContext m_context{64, 64};
};

TEST_F(RoundTest, TheRoundClockRunsOutIntoALossSixSecondsLater)
{
    Frame(0.5f);
    EXPECT_NEAR(BarWidth(), 0.5f, 1e-3f) << "the whole bar at the start";
    Run(299.5f, 0.5f);
    EXPECT_NEAR(Clock().SecondsLeft(), 300.0f, 1e-2f);
    Frame(0.5f);
    EXPECT_NEAR(BarWidth(), 0.0f, 1e-3f) << "half the bar with 300 s left";
    float time = 300.5f;
    while (!Clock().IsOver() && time < 700.0f)
    {
        Frame(0.5f);
        time += 0.5f;
    }
    EXPECT_EQ(time, 600.0f) << "the round lasts 600 s";
    EXPECT_NEAR(BarWidth(), -0.5f, 2e-3f);
    EXPECT_NE(Clock().loseTimer, nullptr);
    EXPECT_FALSE(Clock().roundTimer->running);
    Run(5.5f, 0.5f);
    EXPECT_EQ(Shown(), Names{"Sandbox"});
    Frame(0.5f);
    EXPECT_EQ(Shown(), Names{"GameLose"}) << "6 s after the time ran out";
}

TEST_F(RoundTest, GoldComesOneSecondAfterTheStartThenFivePerSecondLosingEachFramesOvershoot)
{
    const struct
    {
        float dt;
        int fewest, most; // gold after 10 s
    } cases[] = {
        // Short frames: the first at 1 s, then about five a second.
        {0.01f, 43, 46},
        // 0.25 s frames: the 0.2 s tick is seen done only a frame later every time: four a second.
        {0.25f, 37, 37},
    };
    for (const auto& row : cases)
    {
        SCOPED_TRACE(row.dt);
        SceneManager::SwitchTo("MenuUI");
        Frame(row.dt);
        gGold = 0;
        SceneManager::SwitchTo("Sandbox");
        const float firstSecond = 1.0f - row.dt;
        Run(firstSecond, row.dt);
        EXPECT_EQ(gGold, 0) << "nothing in the first second";
        Run(10.0f - firstSecond, row.dt);
        EXPECT_GE(gGold, row.fewest);
        EXPECT_LE(gGold, row.most);
        // The display shows the gold as it was before this frame's tick.
        const int shown = std::stoi(PlayFieldObject("GoldCount")->GetComponent<Sprite>()->text);
        EXPECT_GE(shown, gGold - 1);
        EXPECT_LE(shown, gGold);
    }
}

TEST_F(RoundTest, TheCitysFallShowsTheStarsKeptAndTheTimeLeftFiveSecondsLater)
{
    const struct
    {
        float fallsAt;
        int stars; // star clocks of 10, 20 and 30 s, counted at the switch 5 s after the fall
    } cases[] = {{2.0f, 3}, {12.0f, 2}, {22.0f, 1}, {40.0f, 0}};
    constexpr float kStep = 0.125f; // adds up exactly
    for (const auto& row : cases)
    {
        SCOPED_TRACE(row.fallsAt);
        SceneManager::SwitchTo("MenuUI");
        Frame(kStep);
        SceneManager::SwitchTo("Sandbox");
        Frame(kStep);
        gGold = 300;
        Run(row.fallsAt - kStep, kStep);
        // The airship's killing shot, as Korvane::DamageCity leaves the city.
        GameObject* city = PlayFieldObject("DwarfCity");
        city->GetComponent<Stats>()->health = 0;
        city->GetComponent<Stats>()->dead = true;
        city->GetComponent<City>()->nextState = City::kFallen;
        city->GetComponent<City>()->winPending = 1;
        const float left = Clock().SecondsLeft();
        Frame(kStep);
        EXPECT_EQ(gGold, 0);
        EXPECT_FALSE(Clock().roundTimer->running) << "the round clock stops";
        EXPECT_EQ(m_sound.PostCount(3873832695u), 1u);
        Run(5.0f - kStep, kStep);
        EXPECT_EQ(Shown(), Names{"Sandbox"});
        Frame(kStep);
        ASSERT_EQ(Shown(), Names{"GameWin"}) << "5 s after the fall";
        Scene* win = SceneManager::Find("GameWin");
        int lit = 0;
        for (const char* star : {"StarTest_Results", "StarTest_Results1", "StarTest_Results2"})
        {
            const bool isLit = win->objects.Find(star)->GetComponent<Sprite>()->frameIndex == 0;
            lit += isLit ? 1 : 0;
            if (!isLit)
            {
                EXPECT_EQ(lit, row.stars) << "the kept stars are the first ones";
            }
        }
        EXPECT_EQ(lit, row.stars);
        const auto* timeLeft = win->objects.Find("TimerResultText")->GetComponent<TimerResult>();
        EXPECT_NEAR(timeLeft->seconds, left - kStep, 1e-3f) << "frozen at the fall";
        Frame(kStep);
        char expected[32];
        std::snprintf(expected, sizeof expected, "%f", static_cast<double>(timeLeft->seconds));
        EXPECT_EQ(win->objects.Find("TimerResultText")->GetComponent<Sprite>()->text, expected);
        m_sound.ForgetCalls();
    }
}

TEST_F(RoundTest, APausedRoundStandsStillWhileThePauseMenuGoesOn)
{
    Run(5.0f, 0.1f);
    m_input.Press(kEscape);
    Frame(0.1f);
    m_input.Release(kEscape);
    Frame(0.1f);
    ASSERT_EQ(Shown(), Names{"PauseMenu"});
    const float left = Clock().SecondsLeft();
    const int gold = gGold;
    const float starLeft = PlayFieldObject("StarTest")->GetComponent<Star>()->timer->remaining;
    PointAt(0, 0);
    Run(50.0f, 0.1f);
    EXPECT_EQ(Clock().SecondsLeft(), left);
    EXPECT_EQ(gGold, gold);
    EXPECT_EQ(PlayFieldObject("StarTest")->GetComponent<Star>()->timer->remaining, starLeft);
    const auto* resume = SceneManager::Find("PauseMenu")->objects.Find("ResumeButton")->GetComponent<Button>();
    EXPECT_EQ(resume->currentState, Button::kHovered) << "the pause menu's buttons go on";
    m_input.Press(kEscape);
    Frame(0.1f);
    m_input.Release(kEscape);
    Frame(0.1f);
    ASSERT_EQ(Shown(), Names{"Sandbox"});
    Frame(0.1f);
    EXPECT_LT(Clock().SecondsLeft(), left);
}
} // namespace
