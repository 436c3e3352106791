// Whole rounds of the real game under Xvfb: the engine started as the program starts it, from the
// repository's own data, run with a fixed time step and the mouse clicking where the buttons are
// drawn, every sound call recorded. The way from the menu to the play field (also in windows of
// 1280 x 720 and 2560 x 1440, where the picture is scaled), a winning round played from a script
// beside this test, a round without launches running out into a loss, and a pause of 50 s. PNGs
// of the play field in flight, of an airship's death, and of the win and lose screens are written
// into the build tree (tests/output/round_*.png).
#include "Engine/Camera.h"
#include "Engine/Engine.h"
#include "Engine/EngineGlobals.h"
#include "Engine/Fade.h"
#include "Engine/Input.h"
#include "Engine/Mesh.h"
#include "Engine/Renderer.h"
#include "Engine/SpriteSource.h"
#include "Engine/SoundGameObjects.h"
#include "Engine/Timer.h"
#include "Game/GameGlobals.h"
#include "Game/Korvane.h"
#include "Game/RoundTimer.h"
#include "Game/Star.h"
#include "Game/TimerResult.h"
#include "Objects/Animation.h"
#include "Objects/Audio.h"
#include "Objects/Emitter.h"
#include "Objects/GameObject.h"
#include "Objects/ParticleSystem.h"
#include "Objects/Scene.h"
#include "Objects/SceneManager.h"
#include "Objects/Sprite.h"
#include "Objects/Stats.h"
#include "Objects/Transform.h"
#include "SDK/source/SoundEngine/ZkAudiolib/Common/Containers/EngineMemoryFixture.h"
#include "Source/Engine/AssetFolder.h"
#include "Source/Engine/EngineForTest.h"
#include "Source/Engine/RecordingGameSound.h"
#include "Source/Engine/ScriptedInputDevice.h"
#include "support/FramebufferPng.h"
#include "support/GlContext.h"
#include "Source/Objects/ShownScenes.h"

#include <fstream>
#include <functional>
#include <glad/gl.h>
#include <gtest/gtest.h>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace
{
using kp::test::SoundCall;
using Names = std::vector<std::string>;

// A time step that adds up exactly: 16 frames a second.
constexpr float kStep = 0.0625f;
constexpr int kFramesPerSecond = 16;
constexpr int kMouse = 0;
constexpr int kEscape = 256;

// Every sound event the game's rules name.
const std::set<ZkUniqueID> kKnownEvents = {
    66789758,   1713356576, 1713356579, 1697518767, 1843752364, 1713356578, 2983009038, 2043821631,
    1177687250, 2228153899, 557932600,  51240863,   2339013412, 2097415741, 1029053404, 3643286168,
    1168262086, 2917290866, 2152679746, 97727228,   2383607268, 2688475861, 4273342723, 3951251861,
    3826206711, 2023560711, 914471075,  300927168,  2842146700, 737768043,  1205173799, 2816493517,
    2592254617, 853173628,  844605027,  3873832695,
};

struct WindowSize
{
    int width;
    int height;
};

class RoundsTest : public ::testing::Test
{
protected:
    explicit RoundsTest(WindowSize size = {1920, 1080}) : m_size(size), m_context(size.width, size.height) {}

    void SetUp() override
    {
        ASSERT_TRUE(m_context.IsReady()) << m_context.Error();
        // As at start-up: the default listener and emitter hold id 1.
        listenerIds.assign(1, 1);
        emitterIds.assign(1, 1);
        gGold = 0;
        gSelectedType = 1;
        kp::test::StartEngine(m_context.Window(), m_size.width, m_size.height, m_input);
    }
    void TearDown() override
    {
        kp::test::StopEngine();
        listenerIds.clear();
        emitterIds.clear();
        gGold = 0;
        gSelectedType = 1;
        gSelectedArchetype = nullptr;
    }

    void Frames(int count)
    {
        for (int frame = 0; frame < count; ++frame)
        {
            EngineUpdate(kStep);
            ++m_frames;
        }
    }
    void Seconds(float seconds) { Frames(static_cast<int>(seconds * kFramesPerSecond + 0.5f)); }
    float Clock() const { return static_cast<float>(m_frames) / kFramesPerSecond; }

    static Names Shown() { return kp::test::ShownScenes(); }
    static bool IsShown(const std::string& name)
    {
        const Scene* scene = SceneManager::Find(name);
        return scene != nullptr && scene->active;
    }
    // The object named `name` in the object list of a shown scene, the top one first.
    static GameObject* Shown(const std::string& scene, const std::string& name)
    {
        const Scene* found = SceneManager::Find(scene);
        return found != nullptr ? found->objects.Find(name) : nullptr;
    }
    static GameObject* InShownScenes(const std::string& name)
    {
        for (auto scene = SceneManager::scenes.rbegin(); scene != SceneManager::scenes.rend(); ++scene)
        {
            if ((*scene)->active)
            {
                if (GameObject* object = (*scene)->objects.Find(name))
                {
                    return object;
                }
            }
        }
        return nullptr;
    }

    // Frames until `done` holds or `limit` seconds have passed; whether it held.
    bool RunUntil(const std::function<bool()>& done, float limit)
    {
        const int last = m_frames + static_cast<int>(limit * kFramesPerSecond);
        while (!done() && m_frames < last)
        {
            Frames(1);
        }
        return done();
    }

    // The cursor over the world point (x, y): the reference screen is scaled to the window.
    void PointAt(float x, float y)
    {
        const double sx = m_size.width / static_cast<double>(Camera::kReferenceWidth);
        const double sy = m_size.height / static_cast<double>(Camera::kReferenceHeight);
        m_input.SetCursor(x * sx + m_size.width / 2.0, m_size.height / 2.0 - y * sy);
    }
    // A click where the shown object `name` is drawn: over it, pressed, released, and the update
    // in which it acts.
    void Click(const std::string& name)
    {
        GameObject* target = InShownScenes(name);
        ASSERT_NE(target, nullptr) << name << " is not shown";
        const glm::vec3 at = target->GetComponent<Transform>()->GetWorldTranslation();
        PointAt(at.x, at.y);
        Frames(2);
        m_input.Press(kMouse);
        Frames(1);
        m_input.Release(kMouse);
        Frames(2);
        PointAt(5000.0f, 5000.0f);
    }
    void Tap(int key)
    {
        m_input.Press(key);
        Frames(1);
        m_input.Release(key);
        Frames(1);
    }

    // Writes the picture of the shown scenes into the build tree.
    void Picture(const std::string& name)
    {
        RenderFrame();
        glFinish();
        EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
        EXPECT_FALSE(kp::test::WriteFramebufferPng("round_" + name, m_size.width, m_size.height).empty());
    }

    // From the start of the program to the play field: the splash skipped, the menu's play button
    // clicked where it is drawn, its fade, the loading screen, and the play field with its music.
    void PlayFromTheMenu()
    {
        Tap(kMouse); // a skip goes straight to the menu
        ASSERT_EQ(Shown(), Names{"MenuUI"});
        Seconds(0.5f);
        const ZkGameObjectID menuMusic = Shown("MenuUI", "MainMenuBackground")->GetComponent<Audio>()->emitterId;
        EXPECT_EQ(m_sound.Posted(menuMusic), std::vector<ZkUniqueID>{2228153899u}) << "the menu's music";
        Click("StartButton");
        ASSERT_TRUE(RunUntil([] { return SceneManager::Exists("Loading1"); }, 3.0f)) << "the loading screen";
        EXPECT_GE(Shown("MenuUI", "BlackSquare")->GetComponent<Sprite>()->alpha, 1.0f) << "faded to black";
        ASSERT_TRUE(RunUntil([] { return IsShown("Sandbox"); }, 1.0f));
        ASSERT_EQ(Shown(), Names{"Sandbox"});
        const std::vector<SoundCall> stops = m_sound.Calls(SoundCall::Kind::StopAll);
        ASSERT_EQ(stops.size(), 1u);
        EXPECT_EQ(stops[0].gameObject, menuMusic) << "the menu music stops";
        const ZkGameObjectID gameMusic = Shown("Sandbox", "GameBackground")->GetComponent<Audio>()->emitterId;
        EXPECT_EQ(m_sound.Posted(gameMusic), std::vector<ZkUniqueID>{557932600u}) << "the play field's music";
        EXPECT_EQ(gGold, 0);
        m_roundStart = m_frames;
    }
    float RoundClock() const { return static_cast<float>(m_frames - m_roundStart) / kFramesPerSecond; }

    static RoundTimer& RoundClockOf() { return *Shown("Sandbox", "FuelGaugeFill")->GetComponent<RoundTimer>(); }

    // Every event posted is one the game's rules name, and an event of the shipped Main.bnk (as
    // Python reads its description).
    void ExpectOnlyKnownEvents() const
    {
        std::set<ZkUniqueID> unknown;
        std::string posted;
        const std::vector<ZkUniqueID> events = m_sound.Posted();
        for (const ZkUniqueID event : std::set<ZkUniqueID>(events.begin(), events.end()))
        {
            posted += " " + std::to_string(event);
            if (kKnownEvents.count(event) == 0)
            {
                unknown.insert(event);
            }
        }
        EXPECT_TRUE(unknown.empty()) << "unknown event " << *unknown.begin();
        const std::string notInBank = ZkEngineTest::RunCommand(
            "/usr/bin/python3 " KP_SOURCE_DIR "/tests/Source/Game/posted_events_in_bank.py " KP_SOURCE_DIR
            "/SoundProject/Main.json" + posted);
        EXPECT_EQ(notInBank, "\n") << "posted, yet not events of Main.bnk:" << notInBank;
    }

    WindowSize m_size;
    kp::test::GlContext m_context;
    kp::test::WorkingFolder m_here{KP_SOURCE_DIR};
    kp::test::ScriptedInputDevice m_input;
    kp::test::RecordingGameSound m_sound;
    int m_frames = 0;
    int m_roundStart = 0;
};

// One step of a round's script: at `at` seconds of the round, click the object or tap the key.
struct ScriptStep
{
    float at;
    std::string action;
    std::string argument;
};

std::vector<ScriptStep> ReadScript(const std::string& name)
{
    std::ifstream file(std::string(KP_SOURCE_DIR) + "/tests/Source/Game/rounds/" + name);
    EXPECT_TRUE(file) << name;
    std::vector<ScriptStep> steps;
    std::string line;
    while (std::getline(file, line))
    {
        if (line.empty() || line[0] == '#')
        {
            continue;
        }
        std::istringstream fields(line);
        ScriptStep step;
        fields >> step.at >> step.action >> step.argument;
        EXPECT_FALSE(fields.fail()) << "script line: " << line;
        steps.push_back(step);
    }
    return steps;
}
} // namespace

namespace
{
// Airships launched so far, by the object each launch made.
struct Launches
{
    std::set<const GameObject*> seen;
    std::set<float> lanes; // the heights they flew at
    std::set<int> types;

    void Look()
    {
        const Scene* playField = SceneManager::Find("Sandbox");
        for (const GameObject* object : playField != nullptr ? playField->objects.entries : std::deque<GameObject*>{})
        {
            if (const auto* airship = object->GetComponent<Korvane>(); airship != nullptr && seen.insert(object).second)
            {
                lanes.insert(object->GetComponent<Transform>()->translation.y);
                types.insert(airship->type);
            }
        }
    }
};

std::vector<GameObject*> Airships(const char* state = nullptr)
{
    std::vector<GameObject*> airships;
    const Scene* playField = SceneManager::Find("Sandbox");
    for (GameObject* object : playField != nullptr ? playField->objects.entries : std::deque<GameObject*>{})
    {
        const auto* airship = object->GetComponent<Korvane>();
        if (airship != nullptr &&
            (state == nullptr || (std::string(state) == "dying") == (airship->currentState == Korvane::kDying)))
        {
            airships.push_back(object);
        }
    }
    return airships;
}

class ScriptedRoundTest : public RoundsTest
{
protected:
    // One scripted click, checked for its effect: a type chosen, an airship launched, a level bought.
    void Perform(const ScriptStep& step)
    {
        SCOPED_TRACE(testing::Message() << step.at << " s: " << step.action << " " << step.argument);
        ASSERT_EQ(step.action, "click");
        const size_t airships = Airships().size();
        const int gold = gGold;
        Click(step.argument);
        if (step.argument.starts_with("Select"))
        {
            const int type = step.argument.ends_with("Sm") ? 1 : step.argument.ends_with("Med") ? 2 : 3;
            EXPECT_EQ(gSelectedType, type);
        }
        else if (step.argument.starts_with("Spawn"))
        {
            EXPECT_EQ(Airships().size(), airships + 1) << "launched";
        }
        else if (step.argument.starts_with("Upgrade"))
        {
            const int paid = gold - gGold;
            EXPECT_TRUE(paid >= 58 && paid <= 75) << "paid " << paid;
        }
    }
};

TEST_F(ScriptedRoundTest, AScriptedRoundWinsWithTheStarsKeptAndTheTimeLeftFrozen)
{
    PlayFromTheMenu();
    const std::vector<ScriptStep> script = ReadScript("WinningRound.txt");
    ASSERT_FALSE(script.empty());
    size_t next = 0;
    Launches launches;
    float fallAt = -1.0f;
    float leftAtFall = 0.0f;
    bool pictured = false;
    bool deathPictured = false;
    while (IsShown("Sandbox") && RoundClock() < 600.0f)
    {
        if (next < script.size() && RoundClock() >= script[next].at)
        {
            Perform(script[next++]);
            continue;
        }
        Frames(1);
        if (!IsShown("Sandbox"))
        {
            break;
        }
        launches.Look();
        if (fallAt < 0.0f && Shown("Sandbox", "DwarfCity")->GetComponent<Stats>()->dead)
        {
            fallAt = RoundClock();
            leftAtFall = RoundClockOf().SecondsLeft();
        }
        if (!pictured && Airships().size() >= 3 && Airships("dying").empty())
        {
            Picture("play_field_in_flight");
            pictured = true;
        }
        for (GameObject* wreck : Airships("dying"))
        {
            const Timer* death = wreck->GetComponent<Korvane>()->deathTimer;
            if (!deathPictured && death != nullptr && death->remaining < 2.2f)
            {
                EXPECT_TRUE(wreck->FindChild("KorvaneExplosion")->GetComponent<Animation>()->playing);
                EXPECT_EQ(wreck->GetComponent<Sprite>()->alpha, 0.0f);
                Picture("airship_death");
                deathPictured = true;
            }
        }
    }
    EXPECT_EQ(next, script.size()) << "the whole script was played";
    ASSERT_GT(fallAt, 0.0f) << "the city fell";
    ASSERT_EQ(Shown(), Names{"GameWin"});
    EXPECT_NEAR(RoundClock() - fallAt, 5.0f, kStep / 2) << "the win screen 5 s after the fall";
    EXPECT_TRUE(pictured && deathPictured);

    // The stars kept: 3 less the star clocks (120, 240 and 360 s) run out at the switch.
    int lost = 0;
    for (const float starSeconds : {120.0f, 240.0f, 360.0f})
    {
        ASSERT_GT(std::abs(RoundClock() - starSeconds), 1.0f) << "a switch clear of a star's time";
        lost += RoundClock() > starSeconds ? 1 : 0;
    }
    const Scene* win = SceneManager::Find("GameWin");
    int lit = 0;
    for (const char* star : {"StarTest_Results", "StarTest_Results1", "StarTest_Results2"})
    {
        const Sprite* sprite = win->objects.Find(star)->GetComponent<Sprite>();
        lit += sprite->frameIndex < sprite->spriteSource->numCols ? 1 : 0;
    }
    EXPECT_EQ(lit, 3 - lost);
    // The time left, frozen at the fall.
    EXPECT_NEAR(win->objects.Find("TimerResultText")->GetComponent<TimerResult>()->seconds, leftAtFall, kStep);
    EXPECT_NEAR(leftAtFall, 600.0f - fallAt, 2 * kStep);

    // Airships of both types in all three lanes; the towers and the city fought back.
    EXPECT_EQ(launches.lanes, (std::set<float>{0.0f, 150.0f, 270.0f}));
    EXPECT_EQ(launches.types, (std::set<int>{1, 3}));
    EXPECT_GT(m_sound.PostCount(2023560711u), 0u) << "airships were hit";
    EXPECT_GT(m_sound.PostCount(737768043u) + m_sound.PostCount(1205173799u), 0u) << "towers and the city fired";
    EXPECT_GT(m_sound.PostCount(844605027u), 0u) << "the city was hit";
    EXPECT_GT(m_sound.PostCount(914471075u), 0u) << "airships died";
    EXPECT_GT(m_sound.PostCount(853173628u), 0u) << "towers were destroyed";
    ExpectOnlyKnownEvents();

    Seconds(2.5f); // the win screen's black square fades out
    Picture("win_screen");
}

TEST_F(RoundsTest, ARoundWithoutLaunchesRunsOutIntoALossSixSecondsLater)
{
    PlayFromTheMenu();
    ASSERT_TRUE(RunUntil([this] { return RoundClock() >= 300.0f; }, 301.0f));
    const Mesh* bar = Shown("Sandbox", "FuelGaugeFill")->GetComponent<Sprite>()->mesh;
    EXPECT_NEAR(bar->vertices[0].x, 0.0f, 2e-3f) << "the fuel bar half gone with 300 s left";
    ASSERT_TRUE(RunUntil([] { return RoundClockOf().IsOver(); }, 301.0f));
    const float over = RoundClock();
    EXPECT_NEAR(over, 600.0f, 2 * kStep);
    ASSERT_TRUE(RunUntil([] { return IsShown("GameLose"); }, 10.0f));
    EXPECT_NEAR(RoundClock() - over, 6.0f, kStep / 2);
    EXPECT_EQ(Shown(), Names{"GameLose"});
    ExpectOnlyKnownEvents();
    Seconds(2.5f);
    Picture("lose_screen");
}

TEST_F(RoundsTest, APauseOfFiftySecondsMovesNeitherTheRoundClockNorTheStarClocks)
{
    PlayFromTheMenu();
    Seconds(30.0f);
    Tap(kEscape);
    ASSERT_EQ(Shown(), Names{"PauseMenu"});
    auto clocks = []
    {
        std::vector<float> left = {RoundClockOf().SecondsLeft()};
        for (const char* star : {"StarTest", "StarTest1", "StarTest2"})
        {
            left.push_back(Shown("Sandbox", star)->GetComponent<Star>()->timer->remaining);
        }
        return left;
    };
    const std::vector<float> paused = clocks();
    const int gold = gGold;
    Seconds(50.0f);
    EXPECT_EQ(clocks(), paused);
    EXPECT_EQ(gGold, gold);
    Tap(kEscape);
    ASSERT_EQ(Shown(), Names{"Sandbox"});
    Frames(1);
    EXPECT_NEAR(clocks()[0], paused[0] - kStep, 1e-3f) << "running again";
    ExpectOnlyKnownEvents();
}

// The way from the menu into a round and its first launch, clicking where the buttons are drawn,
// in windows smaller and larger than the reference screen.
class RoundsInWindowsTest : public RoundsTest, public ::testing::WithParamInterface<WindowSize>
{
protected:
    RoundsInWindowsTest() : RoundsTest(GetParam()) {}
};

TEST_P(RoundsInWindowsTest, TheMenuLeadsIntoARoundAndTheControlsAnswerWhereTheyAreDrawn)
{
    PlayFromTheMenu();
    Click("SelectButtonMed");
    EXPECT_EQ(gSelectedType, 2);
    Seconds(15.0f);
    Click("SpawnButtonBot");
    const std::vector<GameObject*> launched = Airships();
    ASSERT_EQ(launched.size(), 1u);
    EXPECT_EQ(launched[0]->GetComponent<Korvane>()->type, 2);
    EXPECT_EQ(launched[0]->GetComponent<Transform>()->translation.y, 0.0f) << "the bottom lane";
    Seconds(3.0f);
    Picture("play_field_" + std::to_string(GetParam().width) + "x" + std::to_string(GetParam().height));
    ExpectOnlyKnownEvents();
}

INSTANTIATE_TEST_SUITE_P(Windows, RoundsInWindowsTest,
                         ::testing::Values(WindowSize{1280, 720}, WindowSize{1920, 1080}, WindowSize{2560, 1440}),
                         [](const ::testing::TestParamInfo<WindowSize>& size)
                         { return std::to_string(size.param.width) + "x" + std::to_string(size.param.height); });
} // namespace
