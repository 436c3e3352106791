// The screen flow, driven frame by frame through EngineUpdate with a fixed time step and scripted
// input: the splash sequence on its clock, skips, the 'B' restart, the Escape pause with the
// timers paused, dialog exclusivity, the tear-down of the play field and of idle screens, the
// scene stack operations, and the focus-lost pause.
#include "Objects/SceneManager.h"

#include "Engine/Engine.h"
#include "Engine/EngineGlobals.h"
#include "Engine/GameWindow.h"
#include "Engine/Input.h"
#include "Engine/Timer.h"
#include "ObjectAssets.h"
#include "Objects/GameObject.h"
#include "Objects/Scene.h"
#include "ProbeBehavior.h"
#include "Source/Engine/ScriptedInputDevice.h"
#include "ShownScenes.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace
{
using kp::test::AssetFolder;
using kp::test::AttachProbe;
using kp::test::TransformMember;
using kp::test::WorkingFolder;
using Log = std::vector<std::string>;
using Names = std::vector<std::string>;

// A time step that adds up exactly in float: 40 frames are exactly 5 s.
constexpr float kStep = 0.125f;
constexpr int kFramesToFiveSeconds = 40;
constexpr int kFramesToTenSeconds = 80;

constexpr int kEscape = SceneManager::kPauseKey;
constexpr int kEnter = SceneManager::kSkipEnterKey;
constexpr int kKeyB = SceneManager::kRestartSplashKey;

class SceneFlowTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        windowWidth = 1920;
        windowHeight = 1080;
        Input::ClearState();
        Input::SetDevice(&m_device);
        // Every scene of the game, each with one object named after it.
        for (const char* scene : {"SplashScreen", "OstrelSplash", "MenuUI", "Sandbox", "PauseMenu", "AreUSure",
                                  "AreUSureMain", "CreditMenu", "Tutorial", "GameWin", "GameLose", "Left", "Right"})
        {
            const std::string object = std::string(scene) + "Object";
            kp::test::WriteArchetype(m_folder, object, TransformMember(0, 0));
            m_folder.Write("Assets/Spaces/" + std::string(scene) + ".json", R"({"Objects": [")" + object + "\"]}");
        }
        for (const char* archetype : {"Korvane1", "Korvane2", "Korvane3"})
        {
            kp::test::WriteArchetype(m_folder, archetype, TransformMember(-2000, 0));
        }
    }
    void TearDown() override
    {
        SceneManager::DestroyAll();
        DeleteAllTimers();
        Input::SetDevice(nullptr);
        Input::ClearState();
        isMuted = false;
        windowWidth = 0;
        windowHeight = 0;
    }

    static void Frame() { EngineUpdate(kStep); }
    static void Frames(int count)
    {
        for (int frame = 0; frame < count; ++frame)
        {
            Frame();
        }
    }
    // Down in one frame, released (the edge the flow reacts to) in the next.
    void Tap(int code)
    {
        m_device.Press(code);
        Frame();
        m_device.Release(code);
        Frame();
    }
    // Starts as the game does, with the splash sequence already over.
    static void StartAfterTheSplash()
    {
        SceneManager::OpenFirstScene("SplashScreen");
        SceneManager::ostrelSplashShown = true;
        SceneManager::menuShown = true;
    }

    static Names Shown() { return kp::test::ShownScenes(); }
    static Names Stack()
    {
        Names names;
        for (const Scene* scene : SceneManager::scenes)
        {
            names.push_back(scene->name);
        }
        return names;
    }
    static std::string Current()
    {
        return SceneManager::currentScene != nullptr ? SceneManager::currentScene->name : "(none)";
    }
    // A probe on the first object of the scene, labelled with the scene's name.
    static void Watch(const std::string& sceneName, Log& log)
    {
        Scene* scene = SceneManager::Find(sceneName);
        ASSERT_NE(scene, nullptr) << sceneName;
        GameObject* object = scene->objects.entries.front();
        object->name = sceneName;
        AttachProbe(*object, log);
    }

    AssetFolder m_folder;
    WorkingFolder m_working{m_folder.Root()};
    kp::test::ScriptedInputDevice m_device;
};

TEST_F(SceneFlowTest, TheSplashScreensFollowTheirClock)
{
    SceneManager::OpenFirstScene("SplashScreen");
    EXPECT_EQ(Shown(), Names{"SplashScreen"});
    EXPECT_EQ(Current(), "SplashScreen");

    Frames(kFramesToFiveSeconds);
    EXPECT_EQ(SceneManager::splashClock, 5.0f);
    EXPECT_EQ(Shown(), Names{"SplashScreen"}) << "at exactly 5 s the splash stays";
    Frame();
    EXPECT_EQ(Shown(), Names{"OstrelSplash"});
    EXPECT_EQ(Current(), "OstrelSplash");

    Frames(kFramesToTenSeconds - kFramesToFiveSeconds - 1);
    EXPECT_EQ(SceneManager::splashClock, 10.0f);
    EXPECT_EQ(Shown(), Names{"OstrelSplash"});
    Frame();
    EXPECT_EQ(Shown(), Names{"MenuUI"});
    EXPECT_EQ(Current(), "MenuUI");
    EXPECT_EQ(Stack(), (Names{"SplashScreen", "OstrelSplash", "MenuUI"}));

    Frames(100);
    EXPECT_EQ(Shown(), Names{"MenuUI"}) << "the sequence runs once";
}

TEST_F(SceneFlowTest, OneSkipInputShowsTheMenuInTheSameFrame)
{
    for (int skip : {SceneManager::kSkipMouseLeft, SceneManager::kSkipMouseRight, SceneManager::kSkipSpaceKey,
                     kEscape, kEnter})
    {
        SCOPED_TRACE(skip);
        SceneManager::OpenFirstScene("SplashScreen");
        m_device.Press(skip);
        Frame();
        EXPECT_EQ(Shown(), Names{"SplashScreen"}) << "pressing is not enough: the release skips";
        m_device.Release(skip);
        Frame();
        EXPECT_EQ(Shown(), Names{"MenuUI"});
        // The second splash was switched to and left in the same frame; Escape did not pause.
        EXPECT_EQ(Stack(), (Names{"SplashScreen", "OstrelSplash", "MenuUI"}));
        EXPECT_TRUE(SceneManager::ostrelSplashShown);
        EXPECT_TRUE(SceneManager::menuShown);
        SceneManager::DestroyAll();
    }
}

TEST_F(SceneFlowTest, ReleasingBRestartsTheSplashSequence)
{
    SceneManager::OpenFirstScene("SplashScreen");
    Frames(kFramesToTenSeconds + 1);
    ASSERT_EQ(Shown(), Names{"MenuUI"});

    Tap(kKeyB);
    EXPECT_EQ(SceneManager::splashClock, 0.0f);
    EXPECT_EQ(Shown(), Names{"SplashScreen"});
    EXPECT_EQ(Stack(), (Names{"SplashScreen", "OstrelSplash"})) << "the hidden menu was torn down";

    Frames(kFramesToFiveSeconds);
    EXPECT_EQ(Shown(), Names{"SplashScreen"});
    Frame();
    EXPECT_EQ(Shown(), Names{"OstrelSplash"});
    Frames(kFramesToTenSeconds - kFramesToFiveSeconds);
    EXPECT_EQ(Shown(), Names{"MenuUI"});
    EXPECT_NE(SceneManager::Find("MenuUI"), nullptr);
}

TEST_F(SceneFlowTest, EscapePausesThePlayFieldAndItsTimersAndEscapeResumes)
{
    StartAfterTheSplash();
    SceneManager::SwitchTo("Sandbox");
    Log log;
    Watch("Sandbox", log);
    Timer* timer = CreateTimer(10.0f);
    Frame();
    EXPECT_EQ(timer->remaining, 9.875f);
    EXPECT_EQ(log, Log{"update Sandbox"});

    log.clear();
    Tap(kEscape);
    // The timers ticked in both frames of the tap; the pause came after the second tick, and the
    // play field was not updated in the frame that paused it.
    EXPECT_EQ(timer->remaining, 9.625f);
    EXPECT_TRUE(timer->paused);
    EXPECT_EQ(log, Log{"update Sandbox"});
    EXPECT_EQ(Shown(), Names{"PauseMenu"});
    EXPECT_EQ(Stack().back(), "PauseMenu");
    EXPECT_EQ(Current(), "Sandbox");
    Watch("PauseMenu", log);

    log.clear();
    Frames(4);
    EXPECT_EQ(timer->remaining, 9.625f) << "paused timers stand still";
    EXPECT_EQ(log, Log(4, "update PauseMenu")) << "the pause menu runs; the play field does not";

    log.clear();
    Tap(kEscape);
    EXPECT_EQ(Shown(), Names{"Sandbox"});
    EXPECT_FALSE(timer->paused);
    EXPECT_EQ(timer->remaining, 9.625f);
    EXPECT_EQ(log, Log{"update PauseMenu"}) << "the resuming frame updates nothing";
    EXPECT_NE(SceneManager::Find("PauseMenu"), nullptr) << "the pause menu stays, hidden";

    log.clear();
    Frame();
    EXPECT_EQ(timer->remaining, 9.5f);
    EXPECT_EQ(log, Log{"update Sandbox"});
}

TEST_F(SceneFlowTest, EscapeOnTheMenuDoesNothingAndElsewhereActsOnTheFrontmostScene)
{
    StartAfterTheSplash();
    SceneManager::SwitchTo("MenuUI");
    Timer* timer = CreateTimer(10.0f);
    Tap(kEscape);
    EXPECT_EQ(Shown(), Names{"MenuUI"});
    EXPECT_FALSE(SceneManager::Exists("PauseMenu"));
    EXPECT_FALSE(timer->paused);

    // Two active scenes: the one nearer the front takes the toggle, and neither is updated in
    // that frame.
    SceneManager::SwitchTo("Left");
    SceneManager::Open("Right");
    Log log;
    Watch("Left", log);
    Watch("Right", log);
    m_device.Press(kEscape);
    Frame();
    EXPECT_EQ(log, (Log{"update Left", "update Right"}));
    log.clear();
    m_device.Release(kEscape);
    Frame();
    EXPECT_TRUE(log.empty()) << log.front();
    EXPECT_EQ(Current(), "Left");
    EXPECT_TRUE(timer->paused);
    EXPECT_EQ(Shown(), (Names{"Left", "Right", "PauseMenu"})) << "only the play field is stopped by a pause";
}

TEST_F(SceneFlowTest, DialogsHideTheScenesTheyExclude)
{
    const struct
    {
        const char* label;
        std::vector<const char*> opened; // in this order
        Names shownAfter;
        const char* currentAfter;
    } cases[] = {
        {"a: quit dialog over the pause menu", {"PauseMenu", "AreUSure"}, {"AreUSure"}, "SplashScreen"},
        {"b: credits over the pause menu", {"PauseMenu", "CreditMenu"}, {"CreditMenu"}, "SplashScreen"},
        {"c: main-menu dialog over the pause menu", {"PauseMenu", "AreUSureMain"}, {"AreUSureMain"}, "SplashScreen"},
        {"d: quit dialog over the menu (which is then torn down)", {"MenuUI", "AreUSure"}, {"AreUSure"},
         "SplashScreen"},
        {"e: tutorial from the pause menu", {"Sandbox", "PauseMenu", "Tutorial"}, {"Tutorial"}, "PauseMenu"},
        {"f: main-menu dialog over the play field", {"Sandbox", "AreUSureMain"}, {"AreUSureMain"}, "SplashScreen"},
        {"no rule for the pause menu over the play field", {"Sandbox", "PauseMenu"}, {"Sandbox", "PauseMenu"},
         "SplashScreen"},
    };
    for (const auto& row : cases)
    {
        SCOPED_TRACE(row.label);
        StartAfterTheSplash();
        SceneManager::Find("SplashScreen")->active = false;
        for (const char* scene : row.opened)
        {
            SceneManager::Open(scene);
        }
        Frame();
        EXPECT_EQ(Shown(), row.shownAfter);
        EXPECT_EQ(Current(), row.currentAfter);
        SceneManager::DestroyAll();
    }
}

TEST_F(SceneFlowTest, ThePlayFieldIsTornDownBehindTheMenuAndTheEndScreens)
{
    for (const char* ender : {"MenuUI", "GameLose", "GameWin"})
    {
        SCOPED_TRACE(ender);
        StartAfterTheSplash();
        SceneManager::SwitchTo("Sandbox");
        Scene* playField = SceneManager::Find("Sandbox");
        EXPECT_EQ(playField->objects.entries.size(), 4u) << "its object and the three airship archetypes";
        playField->objects.CreateFromFile("Korvane1");

        // Shown over a running play field, the end screen leaves it alone.
        SceneManager::Open(ender);
        Frame();
        EXPECT_EQ(SceneManager::Find("Sandbox"), playField);

        SceneManager::SwitchTo(ender);
        EXPECT_EQ(Stack(), (Names{"SplashScreen", "Sandbox", ender}));
        Frame();
        EXPECT_EQ(Stack(), (Names{"SplashScreen", ender})) << "destroyed at the end of that frame";
        EXPECT_EQ(Shown(), Names{ender});

        // Back to the play field: a new one from its file, and the hidden screen goes too.
        SceneManager::SwitchTo("Sandbox");
        EXPECT_EQ(SceneManager::Find("Sandbox")->objects.entries.size(), 4u);
        Frame();
        EXPECT_EQ(Stack(), (Names{"SplashScreen", "Sandbox"}));
        SceneManager::DestroyAll();
    }
}

TEST_F(SceneFlowTest, IdleScreensAreRebuiltFromTheirFilesWhenShownAgain)
{
    StartAfterTheSplash();
    SceneManager::SwitchTo("MenuUI");
    Frame();
    SceneManager::SwitchTo("Sandbox");
    Frame();
    EXPECT_FALSE(SceneManager::Exists("MenuUI"));

    kp::test::WriteArchetype(m_folder, "NewMenuObject");
    kp::test::WriteScene(m_folder, "MenuUI", {"NewMenuObject", "NewMenuObject"});
    SceneManager::SwitchTo("MenuUI");
    Frame();
    const Scene* menu = SceneManager::Find("MenuUI");
    ASSERT_NE(menu, nullptr);
    ASSERT_EQ(menu->objects.entries.size(), 2u);
    EXPECT_EQ(menu->objects.entries[0]->name, "NewMenuObject");
    EXPECT_FALSE(SceneManager::Exists("Sandbox"));

    // Inactive scenes other than the menu and the end screens are kept.
    EXPECT_EQ(Stack(), (Names{"SplashScreen", "MenuUI"}));
}

TEST_F(SceneFlowTest, TheStackOperations)
{
    StartAfterTheSplash();
    SceneManager::Open("Left");
    SceneManager::Open("Right");
    SceneManager::Open("PauseMenu");
    EXPECT_EQ(Stack(), (Names{"SplashScreen", "Left", "Right", "PauseMenu"}));

    // Opening a scene that exists does not move it.
    SceneManager::Open("Left");
    EXPECT_EQ(Stack(), (Names{"SplashScreen", "Left", "Right", "PauseMenu"}));
    SceneManager::BringToFront("Left");
    EXPECT_EQ(Stack(), (Names{"SplashScreen", "Right", "PauseMenu", "Left"}));
    SceneManager::BringToFront("Nowhere");
    EXPECT_EQ(Stack().size(), 4u);

    // Switching to a scene that is not at the back leaves currentScene on the back one.
    SceneManager::SwitchTo("Right");
    EXPECT_EQ(Shown(), Names{"Right"});
    EXPECT_EQ(Current(), "Left");
    EXPECT_EQ(Stack(), (Names{"SplashScreen", "Right", "PauseMenu", "Left"}));

    EXPECT_TRUE(SceneManager::Exists("PauseMenu"));
    EXPECT_FALSE(SceneManager::Exists("pausemenu"));
    EXPECT_TRUE(SceneManager::IsObjectActive(SceneManager::Find("Right")->objects.entries.front()));
    EXPECT_FALSE(SceneManager::IsObjectActive(SceneManager::Find("Left")->objects.entries.front()));
    EXPECT_FALSE(SceneManager::IsObjectActive(nullptr));

    // Remove takes the scene off the stack; currentScene no longer names it after the frame.
    SceneManager::Remove("Left");
    EXPECT_EQ(Stack(), (Names{"SplashScreen", "Right", "PauseMenu"}));
    Frame();
    EXPECT_EQ(Current(), "(none)");
    SceneManager::Remove("Nowhere");
    EXPECT_EQ(Stack(), (Names{"SplashScreen", "Right"})) << "a name not on the stack takes the back one";
    SceneManager::DestroyAll();
    SceneManager::Remove("Right");
    EXPECT_TRUE(SceneManager::scenes.empty()) << "with an empty stack nothing happens";
}

TEST_F(SceneFlowTest, AButtonCanRemoveItsOwnSceneDuringItsUpdate)
{
    StartAfterTheSplash();
    SceneManager::SwitchTo("PauseMenu");
    SceneManager::Open("CreditMenu");
    Log log;
    Watch("CreditMenu", log);
    SceneManager::Find("CreditMenu")->objects.entries.front()->GetComponent<kp::test::ProbeBehavior>()->SetOnUpdate(
        []
        {
            // What the credits' return button does.
            SceneManager::Remove("CreditMenu");
            SceneManager::Find("PauseMenu")->active = true;
        });
    Frame();
    EXPECT_EQ(log, Log{"update CreditMenu"});
    EXPECT_FALSE(SceneManager::Exists("CreditMenu"));
    EXPECT_EQ(Shown(), Names{"PauseMenu"});
    Frame();
    EXPECT_EQ(log.size(), 1u);
}

TEST_F(SceneFlowTest, AButtonCanSwitchToTheCreditsDuringItsUpdate)
{
    StartAfterTheSplash();
    SceneManager::SwitchTo("PauseMenu");
    Log log;
    Watch("PauseMenu", log);
    // What the credits button does: every scene is rebuilt while the button's own update runs,
    // so its object, its scene and the rest of the frame must outlive the call.
    SceneManager::Find("PauseMenu")->objects.entries.front()->GetComponent<kp::test::ProbeBehavior>()->SetOnUpdate(
        [] { SceneManager::SwitchTo("CreditMenu"); });
    Frame();
    EXPECT_EQ(log, Log{"update PauseMenu"});
    EXPECT_EQ(Stack(), (Names{"SplashScreen", "PauseMenu", "CreditMenu"}));
    EXPECT_EQ(Shown(), Names{"CreditMenu"});
    EXPECT_EQ(Current(), "CreditMenu");
    EXPECT_EQ(SceneManager::Find("PauseMenu")->objects.entries.front()->name, "PauseMenuObject")
        << "built again from its file";
    Frame();
    EXPECT_EQ(log.size(), 1u) << "the old scene is gone";
}

TEST_F(SceneFlowTest, SwitchingToTheCreditsRebuildsEveryScene)
{
    StartAfterTheSplash();
    SceneManager::SwitchTo("Sandbox");
    SceneManager::Open("PauseMenu");
    Scene* oldPlayField = SceneManager::Find("Sandbox");
    oldPlayField->objects.CreateFromFile("Korvane2");
    ASSERT_EQ(oldPlayField->objects.entries.size(), 5u);

    SceneManager::SwitchTo("CreditMenu");
    EXPECT_EQ(Stack(), (Names{"SplashScreen", "Sandbox", "PauseMenu", "CreditMenu"}));
    EXPECT_EQ(Shown(), Names{"CreditMenu"});
    EXPECT_EQ(Current(), "CreditMenu");
    EXPECT_EQ(SceneManager::Find("Sandbox")->objects.entries.size(), 4u) << "built again from its file";
    Frame();
    EXPECT_EQ(Shown(), Names{"CreditMenu"});
}

TEST_F(SceneFlowTest, LosingFocusDuringAGameBringsUpThePauseMenu)
{
    StartAfterTheSplash();
    SceneManager::SwitchTo("MenuUI");
    OnWindowFocus(nullptr, 0);
    EXPECT_TRUE(isMuted);
    EXPECT_FALSE(SceneManager::Exists("PauseMenu")) << "no play field, no pause menu";

    SceneManager::SwitchTo("Sandbox");
    SceneManager::Open("PauseMenu");
    SceneManager::Find("PauseMenu")->active = false;
    SceneManager::BringToFront("Sandbox");
    Log log;
    Watch("Sandbox", log);
    Timer* timer = CreateTimer(1.0f);
    OnWindowFocus(nullptr, 0);
    EXPECT_EQ(Stack().back(), "PauseMenu") << "opened and brought to the front";
    EXPECT_EQ(Shown(), (Names{"Sandbox", "PauseMenu"}));
    Frame();
    EXPECT_TRUE(log.empty()) << "the play field waits while the pause menu is shown";
    EXPECT_FALSE(timer->paused) << "only the Escape pause stops the timers";
    OnWindowFocus(nullptr, 1);
    EXPECT_FALSE(isMuted);
}
} // namespace
