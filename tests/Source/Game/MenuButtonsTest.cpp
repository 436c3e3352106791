// Buttons in use: what the machine does with the mouse (a press outside then a release over it, a
// press over it then a release away, two quick clicks, a single-row sheet, objects without the
// parts the feedback uses), the menu and dialog buttons' actions on the scene stack, the play
// button's fade into the play field, and the credits' return by button or Escape.
#include "GameTestKit.h"
#include "Engine/Fade.h"
#include "Game/BehaviorBlackSquare.h"
#include "Game/Button.h"
#include "Game/CreditReturn.h"
#include "Game/PlayButton.h"
#include "Objects/ComponentFactory.h"
#include "support/GlContext.h"
#include "Source/Objects/ShownScenes.h"

#define GLFW_INCLUDE_NONE
#include <GLFW/glfw3.h>

namespace
{
using kp::test::ObjectBuilder;
using kp::test::SoundCall;
using Names = std::vector<std::string>;

constexpr float kStep = 0.05f;
constexpr int kEscape = 256;
constexpr ZkUniqueID kGameMusic = 557932600;

class MenuButtonsTest : public kp::test::GameFixture
{
protected:
    // A button of `kind` on a 4 x 2 sheet at (x, y), 100 x 50, with its Animation and Audio.
    std::unique_ptr<GameObject> MakeButton(BehaviorClass kind, float x = 0.0f, float y = 0.0f, int rows = 4)
    {
        ObjectBuilder builder(std::string("Button") + std::to_string(static_cast<int>(kind)));
        builder.At(x, y).Scaled(100, 50).Showing(Sheet(rows, 2)).Animated().Box().WithAudio().With(
            kp::test::MakeBehavior(kind));
        builder.Get()->GetComponent<Animation>()->playing = false;
        builder.Get()->GetComponent<Behavior>()->Init();
        return builder.Build();
    }

    // A standalone button kept by the test.
    Button* KeepButton(BehaviorClass kind, int rows = 4)
    {
        m_button = Keep(MakeButton(kind, 0, 0, rows));
        return m_button->GetComponent<Button>();
    }

    void Step(bool over, bool down)
    {
        over ? PointAt(0, 0) : PointAway();
        down ? m_input.Press(kMouse) : m_input.Release(kMouse);
        FrameOf({m_button}, kStep);
    }

    int ActionCues(ZkUniqueID cue) const { return static_cast<int>(m_sound.PostCount(cue)); }

    static Names Shown() { return kp::test::ShownScenes(); }

    GameObject* m_button = nullptr;
};

// The quit button's action cue tells when it acted.
constexpr ZkUniqueID kActed = 1713356579;

TEST_F(MenuButtonsTest, APressOutsideReleasedOverTheButtonActs)
{
    KeepButton(BehaviorClass::QuitButton);
    Step(false, true);
    Step(true, true);  // idle, hover noticed
    Step(true, true);  // hovered, held
    Step(true, false); // released over it
    Step(true, false); // acts
    EXPECT_EQ(ActionCues(kActed), 1);
    EXPECT_TRUE(SceneManager::Exists("AreUSure"));
}

TEST_F(MenuButtonsTest, APressOverTheButtonReleasedElsewhereDoesNothing)
{
    KeepButton(BehaviorClass::QuitButton);
    Step(true, false);
    Step(true, false);
    Step(true, true);   // pressed over it
    Step(false, true);  // dragged off: back to idle
    Step(false, false); // released away
    Step(false, false);
    Step(true, false);
    Step(true, false);
    EXPECT_EQ(ActionCues(kActed), 0);
    EXPECT_FALSE(SceneManager::Exists("AreUSure"));
}

TEST_F(MenuButtonsTest, ASecondClickWithinTheCooldownIsIgnored)
{
    for (const auto& [kind, busyRow] : {std::pair{BehaviorClass::QuitButton, 2}, std::pair{BehaviorClass::MenuButton, 0},
                                        std::pair{BehaviorClass::CreditReturn, 0}})
    {
        SCOPED_TRACE(static_cast<int>(kind));
        Button* button = KeepButton(kind);
        auto click = [this]
        {
            Step(true, true);
            Step(true, false);
            Step(true, false);
        };
        Step(true, false);
        Step(true, false);
        click(); // acts on the last step
        ASSERT_NE(button->cooldown, nullptr);
        const Timer* first = button->cooldown;
        click(); // 0.15 s later: busy, shows its busy row, ignores the click
        EXPECT_EQ(button->cooldown, first);
        EXPECT_EQ(m_button->GetComponent<Sprite>()->frameIndex, busyRow * 2);
        for (int rest = 0; rest < 3; ++rest)
        {
            Step(true, false);
        }
        click(); // 0.3 s after the first: acts again
        EXPECT_NE(button->cooldown, first);
    }
}

TEST_F(MenuButtonsTest, ASingleRowSheetKeepsFrameZeroInEveryState)
{
    KeepButton(BehaviorClass::BackButton, 1);
    for (const auto& [over, down] : {std::pair{true, false}, {true, false}, {true, true}, {true, false}, {true, false},
                                     {true, false}})
    {
        Step(over, down);
        EXPECT_EQ(m_button->GetComponent<Sprite>()->frameIndex, 0);
    }
}

TEST_F(MenuButtonsTest, WithoutABoxColliderAButtonNeverReacts)
{
    for (const bool circle : {false, true})
    {
        ObjectBuilder builder("Quit");
        builder.Scaled(100, 50).WithAudio().With(kp::test::MakeBehavior(BehaviorClass::QuitButton));
        if (circle)
        {
            builder.Circle(10.0f);
        }
        m_button = Keep(builder.Build());
        m_button->GetComponent<Behavior>()->Init();
        for (const bool down : {false, false, true, false, false})
        {
            Step(true, down);
        }
        EXPECT_EQ(m_button->GetComponent<Button>()->currentState, Button::kIdle);
    }
    EXPECT_EQ(ActionCues(kActed), 0);
}

TEST_F(MenuButtonsTest, WithoutSpriteAnimationOrAudioAButtonStillActs)
{
    ObjectBuilder builder("Quit");
    builder.Scaled(100, 50).Box().With(kp::test::MakeBehavior(BehaviorClass::QuitButton));
    m_button = Keep(builder.Build());
    m_button->GetComponent<Behavior>()->Init();
    for (const bool down : {false, false, true, false, false})
    {
        Step(true, down);
    }
    EXPECT_TRUE(SceneManager::Exists("AreUSure"));
    EXPECT_TRUE(m_sound.Posted().empty()) << "nothing to play the cues on";
}

// Clicks the button placed in a scene, updating through the scene manager.
class SceneButtonsTest : public MenuButtonsTest
{
protected:
    void Click(float x, float y)
    {
        PointAt(x, y);
        for (const bool down : {false, false, true, false, false})
        {
            down ? m_input.Press(kMouse) : m_input.Release(kMouse);
            Frame(kStep);
        }
    }
    void Tap(int key)
    {
        m_input.Press(key);
        Frame(kStep);
        m_input.Release(key);
        Frame(kStep);
    }
};

TEST_F(SceneButtonsTest, NoClosesTheQuitDialogFirstAndShowsThePauseMenu)
{
    AddScene("PauseMenu", false);
    Scene& quit = AddScene("AreUSure");
    AddScene("AreUSureMain");
    Place(quit, MakeButton(BehaviorClass::NoButton));
    Click(0, 0);
    EXPECT_EQ(Shown(), (Names{"PauseMenu", "AreUSureMain"}));
}

TEST_F(SceneButtonsTest, NoWithoutDialogsShowsTheMenuOrBuildsIt)
{
    Scene& menu = AddScene("MenuUI");
    Place(menu, MakeButton(BehaviorClass::NoButton));
    Click(0, 0);
    EXPECT_EQ(Shown(), Names{"MenuUI"}) << "the menu itself was the dialog, and is shown again";
}

TEST_F(SceneButtonsTest, RetryAndPlayStartFromNoGoldWhileResumeKeepsIt)
{
    for (const BehaviorClass kind : {BehaviorClass::RetryButton, BehaviorClass::ResumeButton})
    {
        ClearScenes();
        Scene& screen = AddScene("GameLose");
        Place(screen, MakeButton(kind));
        gGold = 77;
        SetTimersPaused(true);
        Click(0, 0);
        EXPECT_EQ(Shown(), Names{"Sandbox"});
        EXPECT_EQ(gGold, kind == BehaviorClass::RetryButton ? 0 : 77);
        for (const Timer* timer : timers)
        {
            EXPECT_FALSE(timer->paused) << "every timer runs again";
        }
    }
}

TEST_F(SceneButtonsTest, ThePlayButtonFadesToBlackThenLoadsThePlayFieldFromNoGold)
{
    Scene& menu = AddScene("MenuUI");
    const ZkGameObjectID music =
        Place(menu, ObjectBuilder("MainMenuBackground").WithAudio().Build())->GetComponent<Audio>()->emitterId;
    ObjectBuilder square("BlackSquare");
    square.Showing(Sheet(1, 1)).With(new BehaviorBlackSquare());
    square.Get()->GetComponent<Sprite>()->alpha = 1.0f;
    GameObject* black = Place(menu, square.Build());
    black->GetComponent<Behavior>()->Init();
    Place(menu, MakeButton(BehaviorClass::PlayButton, 0, -200));
    gGold = 40;
    for (int frame = 0; frame < 60; ++frame) // the square's own fade-out has ended
    {
        Frame(kStep);
    }
    ASSERT_NEAR(black->GetComponent<Sprite>()->alpha, 0.0f, 1e-3f);
    Click(0, -200);
    ASSERT_FALSE(black->GetComponent<BehaviorBlackSquare>()->fade->active) << "the button drives the alpha";
    const Sprite* blackSprite = black->GetComponent<Sprite>();

    // The square darkens over one second, then the loading screen shows over the menu.
    int frames = 0;
    while (!SceneManager::Exists("Loading1") && frames < 40)
    {
        Frame(kStep);
        ++frames;
    }
    EXPECT_NEAR(frames * kStep, 1.0f, 2 * kStep);
    EXPECT_EQ(Shown(), (Names{"MenuUI", "Loading1"}));
    EXPECT_GE(blackSprite->alpha, 1.0f);
    m_sound.ForgetCalls();

    // Next update: the menu music stops, the gold is 0 and the play field replaces the menu.
    Frame(kStep);
    const std::vector<SoundCall> stops = m_sound.Calls(SoundCall::Kind::StopAll);
    ASSERT_EQ(stops.size(), 1u);
    EXPECT_EQ(stops[0].gameObject, music);
    EXPECT_EQ(gGold, 0);
    EXPECT_EQ(Shown(), Names{"Sandbox"}) << "the loading screen does not stay under the play field";
    EXPECT_FALSE(SceneManager::Exists("MenuUI")) << "the menu is taken down at the end of the frame";

    // So the pause key pauses, and the pause key resumes.
    Tap(kEscape);
    EXPECT_EQ(Shown(), Names{"PauseMenu"});
    Tap(kEscape);
    EXPECT_EQ(Shown(), Names{"Sandbox"});
}

TEST_F(MenuButtonsTest, TheCoinButtonActsOnEveryReleaseWithoutARest)
{
    KeepButton(BehaviorClass::CoinButton);
    Step(true, false);
    Step(true, false);
    int switches = 0;
    for (int click = 0; click < 3; ++click)
    {
        Step(true, true);
        Step(true, false);
        Step(true, false); // acts, 0.1 s after the last click's action
        Scene* playField = SceneManager::Find("Sandbox");
        switches += playField != nullptr && playField->active ? 1 : 0;
        if (playField != nullptr)
        {
            playField->active = false;
        }
    }
    EXPECT_EQ(switches, 3);
}

TEST_F(SceneButtonsTest, TheCreditsOpenFromThePauseMenuAndReturnByButtonOrEscape)
{
    for (const bool byEscape : {false, true})
    {
        SCOPED_TRACE(byEscape ? "Escape" : "button");
        ClearScenes();
        Scene& playField = AddScene("Sandbox", false);
        GameObject* gameMusic = Place(playField, ObjectBuilder("GameBackground").WithAudio().Build());
        Scene& pause = AddScene("PauseMenu");
        Place(pause, MakeButton(BehaviorClass::CreditButton, 0, 100));
        Click(0, 100);
        const ZkGameObjectID gameMusicId = gameMusic->GetComponent<Audio>()->emitterId;
        ASSERT_EQ(m_sound.Calls(SoundCall::Kind::StopAll).size(), 1u);
        EXPECT_EQ(m_sound.Calls(SoundCall::Kind::StopAll)[0].gameObject, gameMusicId);
        Frame(kStep);
        EXPECT_EQ(Shown(), Names{"CreditMenu"}) << "the pause menu goes while the credits show";

        Scene* credits = SceneManager::Find("CreditMenu");
        const ZkGameObjectID creditMusic =
            Place(*credits, ObjectBuilder("creditMenuBackground").WithAudio().Build())->GetComponent<Audio>()->emitterId;
        Place(*credits, MakeButton(BehaviorClass::CreditReturn, 0, -300));
        m_sound.ForgetCalls();
        if (byEscape)
        {
            PointAway();
            m_input.Press(kEscape);
            Frame(kStep);
            m_input.Release(kEscape);
        }
        else
        {
            Click(0, -300);
        }
        // The credits' music stops, then the play field's starts again.
        const std::vector<SoundCall> stops = m_sound.Calls(SoundCall::Kind::StopAll);
        ASSERT_EQ(stops.size(), 1u);
        EXPECT_EQ(stops[0].gameObject, creditMusic);
        EXPECT_EQ(m_sound.Posted(gameMusicId), std::vector<ZkUniqueID>{kGameMusic});
        const auto stopAt = std::find_if(m_sound.calls.begin(), m_sound.calls.end(),
                                         [](const SoundCall& call) { return call.kind == SoundCall::Kind::StopAll; });
        const auto postAt = std::find_if(m_sound.calls.begin(), m_sound.calls.end(), [gameMusicId](const SoundCall& call)
                                         { return call.kind == SoundCall::Kind::PostEvent && call.gameObject == gameMusicId; });
        EXPECT_LT(stopAt, postAt);
        EXPECT_FALSE(SceneManager::Exists("CreditMenu"));
        EXPECT_TRUE(SceneManager::Find("PauseMenu")->active);
        m_input.Release(kEscape);
        m_sound.ForgetCalls();
    }
}

// A release over the return button and Escape's press in the same update return twice: the second
// return finds no credits to take off, and must not take off the pause menu at the back instead.
TEST_F(SceneButtonsTest, ReturningFromTheCreditsTwiceInOneUpdateKeepsThePauseMenu)
{
    AddScene("PauseMenu", false);
    Scene& credits = AddScene("CreditMenu");
    Place(credits, MakeButton(BehaviorClass::CreditReturn));
    PointAt(0, 0);
    Frame(kStep);
    Frame(kStep);
    m_input.Press(kMouse);
    Frame(kStep);
    m_input.Release(kMouse);
    Frame(kStep); // the release edge: the button acts on the next update
    m_input.Press(kEscape);
    Frame(kStep); // acts, and Escape's press edge returns again
    EXPECT_FALSE(SceneManager::Exists("CreditMenu"));
    ASSERT_TRUE(SceneManager::Exists("PauseMenu"));
    EXPECT_TRUE(SceneManager::Find("PauseMenu")->active);
    m_input.Release(kEscape);
}

TEST_F(SceneButtonsTest, QuitAndMainConfirmOpenTheirDialogsOnTop)
{
    Scene& pause = AddScene("PauseMenu");
    AddScene("AreUSure", false);
    Place(pause, MakeButton(BehaviorClass::QuitButton, -300, 0));
    Place(pause, MakeButton(BehaviorClass::MainConfirm, 300, 0));
    Click(-300, 0);
    EXPECT_EQ(SceneManager::scenes.back()->name, "AreUSure");
    EXPECT_TRUE(SceneManager::scenes.back()->active);
    SceneManager::Find("AreUSure")->active = false;
    pause.active = true;
    Click(300, 0);
    EXPECT_EQ(SceneManager::scenes.back()->name, "AreUSureMain");
    EXPECT_TRUE(SceneManager::scenes.back()->active);
}

TEST_F(SceneButtonsTest, BackShowsTheRememberedScreenAgainAlone)
{
    // The tutorial opened over the menu, which the last switch remembered.
    AddScene("MenuUI");
    SceneManager::currentScene = SceneManager::Find("MenuUI");
    Scene& tutorial = AddScene("Tutorial");
    Place(tutorial, MakeButton(BehaviorClass::BackButton));
    Click(0, 0);
    EXPECT_EQ(Shown(), Names{"MenuUI"});
}

TEST_F(SceneButtonsTest, ButtonsWhoseScenesAndObjectsAreMissingSkipThoseSteps)
{
    // No play field for the credits button's music, no credits for its return, no menu for the
    // play button's fade: each acts on what is there.
    Scene& pause = AddScene("PauseMenu");
    Place(pause, MakeButton(BehaviorClass::CreditButton, -300, 0));
    Place(pause, MakeButton(BehaviorClass::CreditReturn, 300, 0));
    Place(pause, MakeButton(BehaviorClass::PlayButton, 0, 300));
    Click(-300, 0);
    EXPECT_TRUE(SceneManager::Exists("CreditMenu"));
    SceneManager::Remove("CreditMenu");
    pause.active = true;
    Frame(kStep);
    Click(300, 0);
    EXPECT_TRUE(pause.active);
    Click(0, 300);
    for (int frame = 0; frame < 40; ++frame)
    {
        Frame(kStep);
    }
    EXPECT_FALSE(SceneManager::Exists("Loading1"));
    EXPECT_TRUE(m_sound.Calls(SoundCall::Kind::StopAll).empty());
}

class YesButtonTest : public SceneButtonsTest
{
protected:
    kp::test::GlContext m_context{64, 64};
};

TEST_F(YesButtonTest, YesAsksTheWindowToClose)
{
    ASSERT_TRUE(m_context.IsReady()) << m_context.Error();
    window = m_context.Window();
    Scene& dialog = AddScene("AreUSure");
    Place(dialog, MakeButton(BehaviorClass::YesButton));
    Click(0, 0);
    EXPECT_EQ(glfwWindowShouldClose(window), GLFW_TRUE);
    window = nullptr;
}
} // namespace
