// The engine's scene calls under Xvfb: start-up opens the first scene, the frame draws every active
// scene in stack order (the back one on top) and nothing of inactive scenes or of stashed objects,
// and shutdown takes every scene down. The pixels are read back from the window.
#include "Engine/Engine.h"

#include "Engine/EngineGlobals.h"
#include "Engine/Renderer.h"
#include "ObjectAssets.h"
#include "Objects/GameObject.h"
#include "Objects/Scene.h"
#include "Objects/SceneManager.h"
#include "support/FramebufferPng.h"
#include "support/GlContext.h"

#include <array>
#include <glad/gl.h>
#include <Platform/Audio/VirtualAudioSystem.h>
#include <gtest/gtest.h>
#include <string>

namespace
{
using kp::test::AssetFolder;
using kp::test::WorkingFolder;
using Colour = std::array<int, 3>;

constexpr int kWidth = 320;
constexpr int kHeight = 180;
constexpr Colour kClearGrey = {26, 26, 26};
constexpr Colour kRed = {220, 30, 30};
constexpr Colour kBlue = {30, 40, 210};

class EngineScenesTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_context.IsReady()) << m_context.Error();
        m_folder.CopyShaders();
        m_folder.Write("Assets/Mesh/Quad.json", kp::test::RectangleMeshJson("Quad", 0.5f, 0.5f));
        m_folder.WriteSheet("Assets/Art/tiles.png", 2, 1, 4,
                            [](int frame)
                            {
                                const Colour colour = frame == 0 ? kRed : kBlue;
                                return std::array<unsigned char, 3>{static_cast<unsigned char>(colour[0]),
                                                                    static_cast<unsigned char>(colour[1]),
                                                                    static_cast<unsigned char>(colour[2])};
                            });
        m_folder.Write("Assets/Art/Tiles.json", kp::test::SpriteSourceJson("Tiles", "tiles.png", 2, 1));
        // A red backdrop larger than the window, and a blue patch in its middle.
        kp::test::WriteArchetype(m_folder, "Backdrop", kp::test::TransformMember(0, 0, 1920, 1080) + ", " + Sprite(0));
        kp::test::WriteArchetype(m_folder, "Patch", kp::test::TransformMember(0, 0, 100, 60) + ", " + Sprite(1));
        kp::test::WriteScene(m_folder, "SplashScreen", {"Backdrop"});
        kp::test::WriteScene(m_folder, "Patchwork", {"Patch"});

        window = m_context.Window();
        windowWidth = kWidth;
        windowHeight = kHeight;
        glViewport(0, 0, kWidth, kHeight);
        glEnable(GL_BLEND);
        glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    }
    void TearDown() override
    {
        Renderer::objects = Renderer::Objects{};
        window = nullptr;
        windowWidth = 0;
        windowHeight = 0;
    }

    static std::string Sprite(int frame)
    {
        return R"("Sprite": {"frameIndex": )" + std::to_string(frame) +
               R"(, "alpha": 1, "Mesh": "Quad", "SpriteSource": "Tiles"})";
    }

    // The pixel at (x, y) from the bottom left after a whole frame; `png` names a picture of it.
    static Colour PixelAfterAFrame(int x, int y, const std::string& png = "")
    {
        RenderFrame();
        glFinish();
        if (!png.empty())
        {
            EXPECT_FALSE(kp::test::WriteFramebufferPng(png, kWidth, kHeight).empty());
        }
        std::array<unsigned char, 4> pixel{};
        glReadPixels(x, y, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, pixel.data());
        return {pixel[0], pixel[1], pixel[2]};
    }
    static void ExpectNear(Colour actual, Colour expected, const char* where)
    {
        for (size_t channel = 0; channel < 3; ++channel)
        {
            EXPECT_NEAR(actual[channel], expected[channel], 3) << where << " channel " << channel;
        }
    }

    kp::test::GlContext m_context{kWidth, kHeight};
    AssetFolder m_folder;
    WorkingFolder m_here{m_folder.Root()};
    // The sound engine starts with the engine: into no sound card (the folder holds no banks).
    ZK::Platform::ScopedVirtualAudioSystem m_noSoundCard;
};

TEST_F(EngineScenesTest, StartUpDrawsTheFirstSceneAndFramesDrawOnlyWhatIsShown)
{
    EngineInit();
    ASSERT_EQ(SceneManager::scenes.size(), 1u);
    const Scene* splash = SceneManager::scenes.front();
    EXPECT_EQ(splash->name, "SplashScreen");
    EXPECT_TRUE(splash->active);
    EXPECT_EQ(SceneManager::currentScene, splash);

    constexpr int kCentreX = kWidth / 2;
    constexpr int kCentreY = kHeight / 2;
    ExpectNear(PixelAfterAFrame(kCentreX, kCentreY, "engine_scenes_splash"), kRed, "centre");
    ExpectNear(PixelAfterAFrame(2, 2), kRed, "corner");

    // A second active scene is drawn over the first.
    SceneManager::Open("Patchwork");
    ExpectNear(PixelAfterAFrame(kCentreX, kCentreY, "engine_scenes_two_scenes"), kBlue, "centre");
    ExpectNear(PixelAfterAFrame(2, 2), kRed, "corner");

    // An inactive scene is not drawn.
    SceneManager::SwitchTo("Patchwork");
    ExpectNear(PixelAfterAFrame(kCentreX, kCentreY), kBlue, "centre");
    ExpectNear(PixelAfterAFrame(2, 2), kClearGrey, "corner");

    // Nor is a stashed object.
    Scene* patchwork = SceneManager::Find("Patchwork");
    GameObject* patch = patchwork->objects.entries.front();
    patchwork->objects.Remove(patch);
    patchwork->stash.entries.push_back(patch);
    ExpectNear(PixelAfterAFrame(kCentreX, kCentreY), kClearGrey, "centre");
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));

    EngineShutdown();
    EXPECT_TRUE(SceneManager::scenes.empty());
    EXPECT_EQ(SceneManager::currentScene, nullptr);
    EXPECT_EQ(Renderer::objects.offscreenFramebuffer, 0u);
}
} // namespace
