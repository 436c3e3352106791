// Every screen of the game drawn from the game's own data under Xvfb. The engine starts as the
// program starts it, in a window of the reference size (the menu also at 1280 x 720 and at
// 2560 x 1440, where the picture is scaled to the window), from the repository's working folder with
// the real "./Assets"; each screen is reached the way the game reaches it (the splash sequence on
// its clock, the Escape pause, the scene calls that the buttons make), drawn, written as a PNG
// into the build tree (tests/output/game_scene_<name>.png) so a person can look at it, and read
// back to check that it is a whole, readable screen: the backdrop covers the frame, the picture is
// not a flat colour, every visible button shows a label that stands out from its face, and on the
// play field the airships, the towers and the city each stand out from the field behind them.
//
// Each picture is taken once its screen has run for as long as its black square takes to fade out
// (2.5 s), so that one-shot animations such as the explosions that play on a fresh play field have
// ended; the squares are then shown as that fade leaves them (alpha 0), except on the loading
// screen, which the play button opens over a menu it has faded to black.
#include "Engine/Camera.h"
#include "Engine/Engine.h"
#include "Engine/EngineGlobals.h"
#include "Engine/Input.h"
#include "Engine/Mesh.h"
#include "Engine/MeshManager.h"
#include "Engine/Renderer.h"
#include "Objects/GameObject.h"
#include "Objects/GameObjectList.h"
#include "Objects/Scene.h"
#include "Objects/SceneManager.h"
#include "Objects/Sprite.h"
#include "Objects/Transform.h"
#include "Source/Engine/AssetFolder.h"
#include "Source/Engine/EngineForTest.h"
#include "Source/Engine/ScriptedInputDevice.h"
#include "support/FramebufferPng.h"
#include "support/GlContext.h"
#include "ShownScenes.h"

#include <algorithm>
#include <array>
#include <cstdlib>
#include <glad/gl.h>
#include <gtest/gtest.h>
#include <ostream>
#include <set>
#include <string>
#include <vector>

namespace
{
using kp::test::WorkingFolder;
using Names = std::vector<std::string>;

constexpr int kWidth = static_cast<int>(Camera::kReferenceWidth);
constexpr int kHeight = static_cast<int>(Camera::kReferenceHeight);

struct WindowSize
{
    int width;
    int height;
};
// The window of the test that runs: set by the fixture, read by the frame and its boxes.
WindowSize g_window{kWidth, kHeight};

// A time step that adds up exactly in float: 40 frames are exactly 5 s.
constexpr float kStep = 0.125f;
// The black square's fade-out, 2.5 s.
constexpr int kFadeFrames = 20;
// Frames from the end of a splash screen's fade to just past the splash sequence's next switch:
// the second splash after 5 s (frame 41 from the start), the menu after 10 s (40 frames later).
constexpr int kFramesPastTheSecondSplash = 41 - kFadeFrames;
constexpr int kFramesPastTheMenu = 40 - kFadeFrames;

// The off-screen clear colour, as 8-bit channels: what shows where no object is drawn.
constexpr std::array<int, 3> kClearGrey = {26, 26, 26};
// Distinct colours a drawn screen has at least (a flat or nearly flat frame has a handful).
constexpr size_t kMinimumScreenColours = 64;
// Share of an object's rectangle that changes when it is taken out of the picture, below which
// a player could not make it out.
constexpr double kMinimumVisibleShare = 0.25;
// The same share above which an object shows at its place at all: lettering and a line of text
// cover less of their rectangle than a picture does.
constexpr double kMinimumShownShare = 0.1;
// Luminance difference between the brightest and darkest tenth of a button's pixels below which
// its label cannot be told from its face.
constexpr int kMinimumLabelContrast = 60;
// The object that fades a screen in or out over the whole frame.
constexpr const char* kBlackSquare = "BlackSquare";

// Where the play field's airships are pictured: one of each type, a little way along its lane
// from the launch point.
struct AirshipInFlight
{
    int type;
    float x;
    float y;
};
constexpr std::array kAirshipsInFlight = {AirshipInFlight{1, -420.0f, 270.0f},
                                          AirshipInFlight{2, -330.0f, 150.0f},
                                          AirshipInFlight{3, -470.0f, 0.0f}};

// The frame read back from the window, rows bottom to top, RGBA.
class Frame
{
public:
    Frame() : m_width(g_window.width), m_height(g_window.height), m_pixels(static_cast<size_t>(m_width) * m_height * 4)
    {
        glPixelStorei(GL_PACK_ALIGNMENT, 1);
        glReadPixels(0, 0, m_width, m_height, GL_RGBA, GL_UNSIGNED_BYTE, m_pixels.data());
    }

    // The pixel at (x, y) from the bottom left.
    std::array<int, 3> At(int x, int y) const
    {
        const size_t index = (static_cast<size_t>(y) * m_width + static_cast<size_t>(x)) * 4;
        return {m_pixels[index], m_pixels[index + 1], m_pixels[index + 2]};
    }
    static int Luminance(const std::array<int, 3>& rgb)
    {
        return (299 * rgb[0] + 587 * rgb[1] + 114 * rgb[2]) / 1000;
    }

    size_t DistinctColours() const
    {
        std::set<int> colours;
        for (size_t index = 0; index < m_pixels.size(); index += 4)
        {
            colours.insert(m_pixels[index] << 16 | m_pixels[index + 1] << 8 | m_pixels[index + 2]);
        }
        return colours.size();
    }

    // The share of the pixels inside the rectangle of world centre (cx, cy) and size (w, h) that
    // differ from `other` by more than a trace in some channel.
    double ShareDifferentFrom(const Frame& other, float cx, float cy, float w, float h) const
    {
        constexpr int kTrace = 8;
        const Box box = BoxOf(cx, cy, w, h);
        int different = 0;
        int all = 0;
        for (int y = box.bottom; y <= box.top; ++y)
        {
            for (int x = box.left; x <= box.right; ++x)
            {
                const std::array<int, 3> mine = At(x, y);
                const std::array<int, 3> theirs = other.At(x, y);
                bool differs = false;
                for (size_t channel = 0; channel < 3; ++channel)
                {
                    differs = differs || std::abs(mine[channel] - theirs[channel]) > kTrace;
                }
                different += differs ? 1 : 0;
                ++all;
            }
        }
        return all == 0 ? 0.0 : static_cast<double>(different) / all;
    }

    // Pixels of a sparse grid over the whole frame that show the clear colour: nothing drawn there.
    int UncoveredGridPoints() const
    {
        constexpr int kGrid = 24;
        int uncovered = 0;
        for (int y = 0; y < m_height; y += kGrid)
        {
            for (int x = 0; x < m_width; x += kGrid)
            {
                uncovered += At(x, y) == kClearGrey ? 1 : 0;
            }
        }
        return uncovered;
    }

    // The spread between the brightest and the darkest tenth of the luminances inside the
    // rectangle of world centre (cx, cy) and size (w, h), the origin at the frame's centre, y up.
    int Contrast(float cx, float cy, float w, float h) const
    {
        const Box box = BoxOf(cx, cy, w, h);
        std::vector<int> luminances;
        for (int y = box.bottom; y <= box.top; ++y)
        {
            for (int x = box.left; x <= box.right; ++x)
            {
                luminances.push_back(Luminance(At(x, y)));
            }
        }
        if (luminances.size() < 10)
        {
            return 0;
        }
        std::sort(luminances.begin(), luminances.end());
        const size_t tenth = luminances.size() / 10;
        return luminances[luminances.size() - 1 - tenth] - luminances[tenth];
    }

private:
    // A rectangle of world units as pixel bounds, inclusive, clamped to the frame: the picture is
    // the reference screen scaled to the window.
    struct Box
    {
        int left, right, bottom, top;
    };
    Box BoxOf(float cx, float cy, float w, float h) const
    {
        const float sx = static_cast<float>(m_width) / Camera::kReferenceWidth;
        const float sy = static_cast<float>(m_height) / Camera::kReferenceHeight;
        return {std::clamp(static_cast<int>((cx - w / 2) * sx + m_width / 2.0f), 0, m_width - 1),
                std::clamp(static_cast<int>((cx + w / 2) * sx + m_width / 2.0f), 0, m_width - 1),
                std::clamp(static_cast<int>((cy - h / 2) * sy + m_height / 2.0f), 0, m_height - 1),
                std::clamp(static_cast<int>((cy + h / 2) * sy + m_height / 2.0f), 0, m_height - 1)};
    }

    int m_width;
    int m_height;
    std::vector<unsigned char> m_pixels;
};

class GameScenesTest : public ::testing::Test
{
protected:
    GameScenesTest() : GameScenesTest(WindowSize{kWidth, kHeight}) {}
    explicit GameScenesTest(WindowSize size) : m_context(size.width, size.height) { g_window = size; }

    void SetUp() override
    {
        ASSERT_TRUE(m_context.IsReady()) << m_context.Error();
        kp::test::StartEngine(m_context.Window(), g_window.width, g_window.height, m_device);
    }
    void TearDown() override { kp::test::StopEngine(); }

    static void Frames(int count)
    {
        for (int frame = 0; frame < count; ++frame)
        {
            EngineUpdate(kStep);
        }
    }
    // Down in one frame, released (the edge the flow reacts to) in the next.
    void Tap(int code)
    {
        m_device.Press(code);
        Frames(1);
        m_device.Release(code);
        Frames(1);
    }

    static Names Shown() { return kp::test::ShownScenes(); }

    // The black squares of the shown scenes as they stand once their fade-out is over.
    static void FinishFades()
    {
        for (Scene* scene : SceneManager::scenes)
        {
            if (GameObject* square = scene->objects.Find(kBlackSquare); scene->active && square != nullptr)
            {
                square->GetComponent<Sprite>()->alpha = 0.0f;
            }
        }
    }

    // Draws the shown scenes, writes the picture and checks it is a whole, readable screen.
    static void ExpectAWholeScreen(const std::string& picture)
    {
        SCOPED_TRACE(picture);
        RenderFrame();
        glFinish();
        ASSERT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
        EXPECT_FALSE(
            kp::test::WriteFramebufferPng("game_scene_" + picture, g_window.width, g_window.height).empty());
        const Frame frame;
        EXPECT_EQ(frame.UncoveredGridPoints(), 0) << "the backdrop leaves parts of the frame undrawn";
        EXPECT_GE(frame.DistinctColours(), kMinimumScreenColours) << "a flat picture";
        // Only the top screen's buttons show: it covers the screens behind it.
        const auto top = std::find_if(SceneManager::scenes.rbegin(), SceneManager::scenes.rend(),
                                      [](const Scene* scene) { return scene->active; });
        ASSERT_NE(top, SceneManager::scenes.rend());
        ExpectReadableButtons(**top, frame);
    }

    // Every visible button of `scene` (an object named "...Button..." whose sprite shows) has a
    // label that stands out from its face.
    static void ExpectReadableButtons(const Scene& scene, const Frame& frame)
    {
        for (const GameObject* object : scene.objects.entries)
        {
            const auto* sprite = object->GetComponent<Sprite>();
            const auto* transform = object->GetComponent<Transform>();
            if (object->name.find("Button") == std::string::npos || sprite == nullptr ||
                transform == nullptr || sprite->alpha <= 0.0f)
            {
                continue;
            }
            const int contrast = frame.Contrast(transform->translation.x, transform->translation.y,
                                                transform->scale.x, transform->scale.y);
            EXPECT_GE(contrast, kMinimumLabelContrast)
                << scene.name << ": the label of " << object->name << " does not stand out from its face";
        }
    }

    // The share of `object`'s rectangle that it changes in the picture: the frame drawn with it,
    // against the frame drawn with it taken out of its scene's list for a moment.
    static double VisibleShare(Scene& scene, GameObject* object)
    {
        RenderFrame();
        const Frame with;
        const auto held = std::find(scene.objects.entries.begin(), scene.objects.entries.end(), object);
        EXPECT_NE(held, scene.objects.entries.end()) << object->name;
        if (held == scene.objects.entries.end())
        {
            return 0.0;
        }
        const auto position = held - scene.objects.entries.begin();
        scene.objects.entries.erase(held);
        RenderFrame();
        const Frame without;
        scene.objects.entries.insert(scene.objects.entries.begin() + position, object);
        const auto* transform = object->GetComponent<Transform>();
        return with.ShareDifferentFrom(without, transform->translation.x, transform->translation.y,
                                       transform->scale.x, transform->scale.y);
    }

    // The game as it stands once the splash sequence is over, showing `screen` alone, after it
    // has run through its fade.
    static void ShowAlone(const char* screen)
    {
        SceneManager::ostrelSplashShown = true;
        SceneManager::menuShown = true;
        SceneManager::SwitchTo(screen);
        Frames(kFadeFrames);
    }

    kp::test::GlContext m_context;
    // The program runs from the repository root, where "./Assets" holds the game's data.
    WorkingFolder m_here{KP_SOURCE_DIR};
    kp::test::ScriptedInputDevice m_device;
};

TEST_F(GameScenesTest, TheSplashSequenceShowsBothSplashScreensAndTheMenu)
{
    Frames(kFadeFrames);
    ASSERT_EQ(Shown(), Names{"SplashScreen"});
    FinishFades();
    ExpectAWholeScreen("SplashScreen");

    Frames(kFramesPastTheSecondSplash);
    ASSERT_EQ(Shown(), Names{"OstrelSplash"});
    Frames(kFadeFrames);
    FinishFades();
    ExpectAWholeScreen("OstrelSplash");

    Frames(kFramesPastTheMenu);
    ASSERT_EQ(Shown(), Names{"MenuUI"});
    Frames(kFadeFrames);
    FinishFades();
    ExpectAWholeScreen("MenuUI");
}

TEST_F(GameScenesTest, ThePlayFieldShowsTowersCityAndAirshipsAndPausesIntoThePauseMenu)
{
    ShowAlone(SceneManager::kPlayField);
    Scene* playField = SceneManager::Find(SceneManager::kPlayField);
    ASSERT_NE(playField, nullptr);
    std::vector<GameObject*> pictured;
    for (const AirshipInFlight& airship : kAirshipsInFlight)
    {
        GameObject* launched =
            playField->objects.SpawnKorvane(glm::vec3(airship.x, airship.y, 1.0f), airship.type);
        ASSERT_NE(launched, nullptr);
        pictured.push_back(launched);
    }
    Frames(1);
    FinishFades();
    ExpectAWholeScreen("Sandbox");

    // The airships, the towers and the city each stand out from the field behind them.
    for (const char* name :
         {"WoodTower1", "StoneTower1", "WoodTower2", "StoneTower2", "WoodTower3", "DwarfCity"})
    {
        pictured.push_back(playField->objects.Find(name));
        ASSERT_NE(pictured.back(), nullptr) << name;
    }
    for (GameObject* object : pictured)
    {
        EXPECT_GE(VisibleShare(*playField, object), kMinimumVisibleShare) << object->name;
    }

    // Escape stops the play field and shows the pause menu.
    Tap(SceneManager::kPauseKey);
    ASSERT_EQ(Shown(), Names{"PauseMenu"});
    ExpectAWholeScreen("PauseMenu");
}

TEST_F(GameScenesTest, ThePlayFieldsBarMeshesGoWithIt)
{
    auto barMeshes = []
    {
        return std::count_if(MeshManager::Entries().begin(), MeshManager::Entries().end(),
                             [](const Mesh* mesh) { return mesh->name == MeshManager::kBarMeshName; });
    };
    ShowAlone(SceneManager::kMainMenu);
    const auto before = barMeshes();
    ShowAlone(SceneManager::kPlayField);
    const auto withPlayField = barMeshes();
    EXPECT_GT(withPlayField, before) << "the play field's bars have meshes of their own";
    for (int round = 0; round < 2; ++round)
    {
        // Back to the menu: the play field is torn down at the end of the frame, its bars with it.
        ShowAlone(SceneManager::kMainMenu);
        EXPECT_FALSE(SceneManager::Exists(SceneManager::kPlayField));
        EXPECT_EQ(barMeshes(), before) << "round " << round;
        ShowAlone(SceneManager::kPlayField);
        EXPECT_EQ(barMeshes(), withPlayField) << "round " << round;
    }
}

// The screens the buttons open, each reached by the scene calls its button makes, and drawn with
// whatever the game still shows behind it.
struct ButtonScreen
{
    const char* picture;
    const char* from;   // the screen the button sits on
    const char* opened; // the screen its action opens and brings to the front
    Names shown;        // what the game then shows, back to front
};

// Names the case in test listings.
void PrintTo(const ButtonScreen& screen, std::ostream* out)
{
    *out << screen.opened << " from " << screen.from;
}

class GameScenesFromButtonsTest : public GameScenesTest, public ::testing::WithParamInterface<ButtonScreen>
{
};

TEST_P(GameScenesFromButtonsTest, TheOpenedScreenIsWholeAndReadable)
{
    const ButtonScreen& screen = GetParam();
    ShowAlone(screen.from);
    if (std::string(screen.from) == SceneManager::kPlayField)
    {
        // The dialogs of the play field are reached from its pause menu.
        Tap(SceneManager::kPauseKey);
    }
    SceneManager::Open(screen.opened);
    SceneManager::BringToFront(screen.opened);
    Frames(1);
    ASSERT_EQ(Shown(), screen.shown);
    FinishFades();
    ExpectAWholeScreen(screen.picture);
}

INSTANTIATE_TEST_SUITE_P(
    Dialogs, GameScenesFromButtonsTest,
    ::testing::Values(ButtonScreen{"AreUSure", "MenuUI", "AreUSure", {"AreUSure"}},
                      ButtonScreen{"AreUSure_Pause", "Sandbox", "AreUSure", {"AreUSure"}},
                      ButtonScreen{"AreUSureMain", "Sandbox", "AreUSureMain", {"AreUSureMain"}},
                      ButtonScreen{"CreditMenu", "Sandbox", "CreditMenu", {"CreditMenu"}},
                      ButtonScreen{"Tutorial", "MenuUI", "Tutorial", {"MenuUI", "Tutorial"}},
                      ButtonScreen{"Tutorial_Pause", "Sandbox", "Tutorial", {"Tutorial"}}),
    [](const ::testing::TestParamInfo<ButtonScreen>& info) { return std::string(info.param.picture); });

TEST_F(GameScenesTest, TheEndScreensReplaceThePlayField)
{
    for (const char* screen : {SceneManager::kWinScreen, SceneManager::kLoseScreen})
    {
        ShowAlone(SceneManager::kPlayField);
        SceneManager::SwitchTo(screen);
        Frames(1);
        ASSERT_EQ(Shown(), Names{screen});
        EXPECT_FALSE(SceneManager::Exists(SceneManager::kPlayField));
        FinishFades();
        ExpectAWholeScreen(screen);
    }
}

// The menu in windows smaller and larger than the reference screen: the picture is scaled to the
// window, so the backdrop covers it all, and the title, the buttons and the key line each show
// where they belong, nothing cut off.
class GameScenesAtOtherSizesTest : public GameScenesTest, public ::testing::WithParamInterface<WindowSize>
{
protected:
    GameScenesAtOtherSizesTest() : GameScenesTest(GetParam()) {}
};

TEST_P(GameScenesAtOtherSizesTest, TheMenuIsWholeAndScaledToTheWindow)
{
    ShowAlone(SceneManager::kMainMenu);
    FinishFades();
    ExpectAWholeScreen("MenuUI_" + std::to_string(GetParam().width) + "x" + std::to_string(GetParam().height));
    Scene* menu = SceneManager::Find(SceneManager::kMainMenu);
    ASSERT_NE(menu, nullptr);
    for (const char* name : {"GameTitle", "StartButton", "TutorialButton", "QuitButton", "MenuHint"})
    {
        GameObject* object = menu->objects.Find(name);
        ASSERT_NE(object, nullptr) << name;
        EXPECT_GE(VisibleShare(*menu, object), kMinimumShownShare) << name;
    }
}

INSTANTIATE_TEST_SUITE_P(Windows, GameScenesAtOtherSizesTest,
                         ::testing::Values(WindowSize{1280, 720}, WindowSize{2560, 1440}),
                         [](const ::testing::TestParamInfo<WindowSize>& size)
                         { return std::to_string(size.param.width) + "x" + std::to_string(size.param.height); });

TEST_F(GameScenesTest, TheLoadingScreenShowsOverTheMenuFadedToBlack)
{
    ShowAlone(SceneManager::kMainMenu);
    // The play button fades the menu's black square in fully before it opens the loading screen.
    Scene* menu = SceneManager::Find(SceneManager::kMainMenu);
    ASSERT_NE(menu, nullptr);
    GameObject* square = menu->objects.Find(kBlackSquare);
    ASSERT_NE(square, nullptr);
    square->GetComponent<Sprite>()->alpha = 1.0f;
    SceneManager::Open("Loading1");
    Frames(1);
    ASSERT_EQ(Shown(), (Names{"MenuUI", "Loading1"}));
    ExpectAWholeScreen("Loading1");
}
} // namespace
