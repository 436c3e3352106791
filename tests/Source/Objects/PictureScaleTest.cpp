// The picture follows the window: at window sizes other than the 1920 x 1080 reference, an object is
// drawn exactly where its box collider, and so its mouse area, lies, and the reference screen's
// edges reach the window's edges, so nothing is cut off and no frame is left around the picture.
// Each object is drawn alone through the renderer's two passes and read back from the window; the
// first is also written as a PNG (tests/output/picture_scale_<size>.png).
#include "Engine/Renderer.h"
#include "ObjectAssets.h"
#include "Objects/Collider.h"
#include "Objects/GameObject.h"
#include "Source/Engine/RendererForTest.h"
#include "support/FramebufferPng.h"
#include "support/GlContext.h"

#include <algorithm>
#include <array>
#include <glad/gl.h>
#include <gtest/gtest.h>
#include <ostream>
#include <string>
#include <vector>

namespace
{
using kp::test::AssetFolder;
using kp::test::WorkingFolder;

struct WindowSize
{
    int width;
    int height;
};

std::ostream& operator<<(std::ostream& out, const WindowSize& size)
{
    return out << size.width << "x" << size.height;
}

// The window-pixel rectangle a collider or a drawing covers, edges measured from the bottom left.
struct PixelRect
{
    float left, right, bottom, top;
};

// A white box of the given reference position and size, with a box collider of its own size.
struct BoxObject
{
    const char* name;
    float x, y;
    float width, height;
};
// One in the middle, and one in each corner of the reference screen, touching its edges: a
// picture that is cut off or does not reach the window's edges moves them.
constexpr std::array kBoxes = {
    BoxObject{"Middle", 300, -120, 200, 100},
    BoxObject{"TopLeft", -860, 490, 200, 100},
    BoxObject{"BottomRight", 900, -510, 120, 60},
};

class PictureScaleTest : public ::testing::TestWithParam<WindowSize>
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_context.IsReady()) << m_context.Error();
        m_folder.CopyShaders();
        m_folder.Write("Assets/Mesh/Quad.json", kp::test::RectangleMeshJson("Quad", 0.5f, 0.5f));
        m_folder.WriteSheet("Assets/Art/White.png", 1, 1, 4,
                            [](int) { return std::array<unsigned char, 3>{255, 255, 255}; });
        m_folder.Write("Assets/Art/White.json", kp::test::SpriteSourceJson("White", "White.png", 1, 1));
        for (const BoxObject& box : kBoxes)
        {
            kp::test::WriteArchetype(
                m_folder, box.name,
                kp::test::TransformMember(box.x, box.y, box.width, box.height) +
                    R"(, "Sprite": {"frameIndex": 0, "alpha": 1, "Mesh": "Quad", "SpriteSource": "White"})"
                    R"(, "Collider": {"Type": "Box", "WidthMod": 1, "HeightMod": 1})");
        }
        kp::test::StartRenderer(m_context.Window(), Size().width, Size().height);
    }
    void TearDown() override { kp::test::StopRenderer(); }

    static WindowSize Size() { return GetParam(); }

    // Draws `object` alone and returns the rectangle of white pixels on the window.
    static PixelRect DrawnRect(GameObject& object)
    {
        Renderer::BeginDrawPass();
        object.Draw();
        Renderer::PresentOffscreenImage();
        glFinish();
        const int width = Size().width;
        const int height = Size().height;
        std::vector<unsigned char> pixels(static_cast<size_t>(width) * height * 4);
        glPixelStorei(GL_PACK_ALIGNMENT, 1);
        glReadPixels(0, 0, width, height, GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
        if (object.name == kBoxes.front().name)
        {
            kp::test::WriteFramebufferPng(
                "picture_scale_" + std::to_string(width) + "x" + std::to_string(height), width, height);
        }
        PixelRect rect{static_cast<float>(width), 0.0f, static_cast<float>(height), 0.0f};
        for (int y = 0; y < height; ++y)
        {
            for (int x = 0; x < width; ++x)
            {
                // More than half white: the pixel's centre is inside the drawn rectangle.
                if (pixels[(static_cast<size_t>(y) * width + x) * 4] > 200)
                {
                    rect.left = std::min(rect.left, static_cast<float>(x));
                    rect.right = std::max(rect.right, static_cast<float>(x + 1));
                    rect.bottom = std::min(rect.bottom, static_cast<float>(y));
                    rect.top = std::max(rect.top, static_cast<float>(y + 1));
                }
            }
        }
        return rect;
    }

    // The collider's bounds (window pixels from the window's centre, y up) from the bottom left.
    static PixelRect ColliderRect(const Collider& collider)
    {
        const float centreX = static_cast<float>(Size().width) * 0.5f;
        const float centreY = static_cast<float>(Size().height) * 0.5f;
        return PixelRect{centreX + collider.cornerA.x, centreX + collider.cornerB.x, centreY + collider.cornerB.y,
                         centreY + collider.cornerA.y};
    }

    AssetFolder m_folder;
    WorkingFolder m_working{m_folder.Root()};
    kp::test::GlContext m_context{GetParam().width, GetParam().height};
};

TEST_P(PictureScaleTest, EachObjectIsDrawnWhereItsColliderIs)
{
    for (const BoxObject& box : kBoxes)
    {
        SCOPED_TRACE(box.name);
        GameObject object;
        object.ReadFromFile(("./Assets/GameObjects/" + std::string(box.name) + ".json").c_str());
        object.Update(0.0f);
        const auto* collider = object.GetComponent<Collider>();
        ASSERT_NE(collider, nullptr);

        const PixelRect drawn = DrawnRect(object);
        const PixelRect expected = ColliderRect(*collider);
        // Within a pixel: a drawn edge is a whole pixel, the collider's edge falls anywhere.
        EXPECT_NEAR(drawn.left, expected.left, 1.0f);
        EXPECT_NEAR(drawn.right, expected.right, 1.0f);
        EXPECT_NEAR(drawn.bottom, expected.bottom, 1.0f);
        EXPECT_NEAR(drawn.top, expected.top, 1.0f);
    }
}

INSTANTIATE_TEST_SUITE_P(Windows, PictureScaleTest,
                         ::testing::Values(WindowSize{1280, 720}, WindowSize{2560, 1440}, WindowSize{1920, 1080}),
                         [](const ::testing::TestParamInfo<WindowSize>& size)
                         { return std::to_string(size.param.width) + "x" + std::to_string(size.param.height); });
} // namespace
