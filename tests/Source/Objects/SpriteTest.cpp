// The Sprite component: a frame of a sprite sheet and two lines of text drawn through the renderer
// and read back from the window, the cases that draw nothing, the reader and cloning.
#include "Objects/Sprite.h"

#include "Engine/EngineGlobals.h"
#include "Engine/Mesh.h"
#include "Engine/MeshManager.h"
#include "Engine/Renderer.h"
#include "Engine/SpriteSource.h"
#include "Engine/SpriteSourceManager.h"
#include "ObjectFileText.h"
#include "Objects/GameObject.h"
#include "Objects/Transform.h"
#include "Source/Engine/AssetFolder.h"
#include "Source/Engine/RendererForTest.h"
#include "support/FramebufferPng.h"
#include "support/GlContext.h"

#include <array>
#include <glad/gl.h>
#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <vector>

namespace
{
using kp::test::AssetFolder;
using kp::test::ObjectFile;
using kp::test::WorkingFolder;
using Colour = std::array<unsigned char, 3>;

// Frames of the 4 x 2 sheet, and glyphs of the 16 x 6 font sheet (frame g is character g + 32):
// every one a colour of its own, none of them near the grey the draw pass clears to.
Colour SheetColour(int frame)
{
    return {static_cast<unsigned char>(30 * frame + 20), static_cast<unsigned char>(200 - 20 * frame),
            static_cast<unsigned char>(frame % 2 == 0 ? 40 : 220)};
}
Colour GlyphColour(int glyph)
{
    return {static_cast<unsigned char>(2 * glyph + 40), static_cast<unsigned char>(255 - 2 * glyph),
            static_cast<unsigned char>((glyph % 3) * 100 + 20)};
}

// The window's pixels, bottom row first, as the renderer presented them.
class Image
{
public:
    Image(int width, int height) : m_width(width), m_pixels(static_cast<size_t>(width * height * 4))
    {
        glPixelStorei(GL_PACK_ALIGNMENT, 1);
        glReadPixels(0, 0, width, height, GL_RGBA, GL_UNSIGNED_BYTE, m_pixels.data());
    }
    Colour At(int x, int y) const
    {
        const size_t at = static_cast<size_t>((y * m_width + x) * 4);
        return {m_pixels[at], m_pixels[at + 1], m_pixels[at + 2]};
    }

private:
    int m_width;
    std::vector<unsigned char> m_pixels;
};

bool Near(Colour a, Colour b, int tolerance = 2)
{
    for (size_t channel = 0; channel < 3; ++channel)
    {
        if (std::abs(static_cast<int>(a[channel]) - static_cast<int>(b[channel])) > tolerance)
        {
            return false;
        }
    }
    return true;
}

struct PixelRect
{
    int left, bottom, right, top; // inclusive, window pixels from the bottom left
    bool operator==(const PixelRect&) const = default;
};

std::ostream& operator<<(std::ostream& out, const PixelRect& rect)
{
    return out << "x " << rect.left << ".." << rect.right << ", y " << rect.bottom << ".." << rect.top;
}

class SpriteDrawTest : public ::testing::Test
{
protected:
    static constexpr int kWidth = 320;
    static constexpr int kHeight = 180;
    // The 1920 x 1080 reference screen fills the window: six world units to a pixel either way.
    static constexpr float kUnitsPerPixel = 1920.0f / kWidth;
    // The grey of the draw pass's clear colour (0.1 of 255).
    static constexpr Colour kBackground = {26, 26, 26};

    void SetUp() override
    {
        ASSERT_TRUE(m_context.IsReady()) << m_context.Error();
        m_folder.CopyShaders();
        m_folder.Write("Assets/Mesh/Quad.json", kp::test::RectangleMeshJson("Quad", 0.5f, 0.5f));
        // A glyph cell half as wide as the advance's scale and as high as a line: glyphs tile.
        m_folder.Write("Assets/Mesh/Glyph.json", kp::test::RectangleMeshJson("Glyph", 0.25f, 0.375f));
        m_folder.Write("Assets/Mesh/Bar_Mesh.json", kp::test::RectangleMeshJson("Bar_Mesh", 0.5f, 0.5f));
        m_folder.WriteSheet("Assets/Art/sheet.png", 4, 2, 8, SheetColour);
        m_folder.Write("Assets/Art/Sheet.json", kp::test::SpriteSourceJson("Sheet", "sheet.png", 4, 2));
        m_folder.WriteSheet("Assets/Art/font.png", 16, 6, 4, GlyphColour);
        m_folder.Write("Assets/Art/Font.json", kp::test::SpriteSourceJson("Font", "font.png", 16, 6));

        kp::test::StartRenderer(m_context.Window(), kWidth, kHeight);
        ASSERT_NE(Renderer::objects.spriteProgram, 0u);
        glEnable(GL_BLEND);
        glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    }
    void TearDown() override { kp::test::StopRenderer(); }

    // A top-level object with a Transform and a Sprite on `mesh` and `source`.
    static std::unique_ptr<GameObject> MakeSpriteObject(glm::vec3 position, glm::vec3 scale, const char* mesh,
                                                        const char* source)
    {
        auto object = std::make_unique<GameObject>();
        auto* transform = new Transform();
        transform->translation = position;
        transform->scale = scale;
        object->AddComponent(transform);
        auto* sprite = new Sprite();
        sprite->mesh = MeshManager::Get(mesh);
        sprite->spriteSource = SpriteSourceManager::Get(source);
        object->AddComponent(sprite);
        return object;
    }

    // Draws `object` through the two passes and reads the window back; `png` names the picture
    // written into the build tree.
    Image DrawAndRead(GameObject* object, const std::string& png)
    {
        Renderer::BeginDrawPass();
        if (object != nullptr)
        {
            object->Draw();
        }
        Renderer::PresentOffscreenImage();
        glFinish();
        EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
        if (!png.empty())
        {
            EXPECT_FALSE(kp::test::WriteFramebufferPng(png, kWidth, kHeight).empty());
        }
        return Image(kWidth, kHeight);
    }

    // The smallest rectangle holding every pixel that is not background, and how many there are.
    static PixelRect DrawnBounds(const Image& image, int& drawnCount)
    {
        PixelRect bounds{kWidth, kHeight, -1, -1};
        drawnCount = 0;
        for (int y = 0; y < kHeight; ++y)
        {
            for (int x = 0; x < kWidth; ++x)
            {
                if (!Near(image.At(x, y), kBackground, 3))
                {
                    ++drawnCount;
                    bounds = {std::min(bounds.left, x), std::min(bounds.bottom, y), std::max(bounds.right, x),
                              std::max(bounds.top, y)};
                }
            }
        }
        return bounds;
    }

    // Every pixel of `rect` shrunk by `margin` has `colour`.
    static void ExpectFilled(const Image& image, PixelRect rect, int margin, Colour colour, const char* what)
    {
        SCOPED_TRACE(what);
        int wrong = 0;
        for (int y = rect.bottom + margin; y <= rect.top - margin; ++y)
        {
            for (int x = rect.left + margin; x <= rect.right - margin; ++x)
            {
                wrong += Near(image.At(x, y), colour) ? 0 : 1;
            }
        }
        EXPECT_EQ(wrong, 0);
    }

    kp::test::GlContext m_context{kWidth, kHeight};
    AssetFolder m_folder;
    WorkingFolder m_here{m_folder.Root()};
};

TEST_F(SpriteDrawTest, AFrameOfASheetFillsItsScreenRectangle)
{
    // 64 x 48 window pixels centred at (60, 25) pixels from the window's centre, pixel (160, 90).
    auto object =
        MakeSpriteObject(glm::vec3(60, 25, 0) * kUnitsPerPixel, {64 * kUnitsPerPixel, 48 * kUnitsPerPixel, 1},
                         "Quad", "Sheet");
    object->GetComponent<Sprite>()->frameIndex = 5;
    const Image image = DrawAndRead(object.get(), "sprite_frame5_of_4x2");

    int drawn = 0;
    const PixelRect expected{160 + 60 - 32, 90 + 25 - 24, 160 + 60 + 32 - 1, 90 + 25 + 24 - 1};
    EXPECT_EQ(DrawnBounds(image, drawn), expected);
    EXPECT_EQ(drawn, 64 * 48);
    // Frame 5 (column 1 of row 1) is 8 texels across 64 pixels: 8 pixels per texel. Away from the
    // frame's edge, where filtering reaches into the neighbouring frames, every pixel is its colour.
    ExpectFilled(image, expected, 4, SheetColour(5), "frame 5");
}

TEST_F(SpriteDrawTest, TwoLinesOfTextLandOnTheirGlyphPositions)
{
    // Scale 32 pixels: each glyph advances 16 pixels and each line is 24 pixels lower; a glyph
    // cell is 16 x 24 pixels. "Center" draws like every other text mode: to the right of the
    // position.
    const glm::vec3 start = glm::vec3(-100, 40, 0) * kUnitsPerPixel;
    auto object = MakeSpriteObject(start, {32 * kUnitsPerPixel, 32 * kUnitsPerPixel, 1}, "Glyph", "Font");
    auto* sprite = object->GetComponent<Sprite>();
    sprite->textMode = "Center";
    sprite->SetText("AB\nC");
    const Image image = DrawAndRead(object.get(), "sprite_text_two_lines");

    // Glyph centres: A at (start x + 16, start y), B 16 further right, C under A one line lower.
    auto cell = [](float centreX, float centreY)
    {
        const int left = 160 + static_cast<int>(centreX) - 8;
        const int bottom = 90 + static_cast<int>(centreY) - 12;
        return PixelRect{left, bottom, left + 15, bottom + 23};
    };
    const PixelRect a = cell(-84, 40);
    const PixelRect b = cell(-68, 40);
    const PixelRect c = cell(-84, 16);
    // A glyph of 4 x 4 texels on a 16 x 24 pixel cell: half a texel (3 pixels at most) from the
    // cell's edge, the colour is the glyph's own.
    ExpectFilled(image, a, 3, GlyphColour('A' - 32), "A");
    ExpectFilled(image, b, 3, GlyphColour('B' - 32), "B");
    ExpectFilled(image, c, 3, GlyphColour('C' - 32), "C");
    int drawn = 0;
    EXPECT_EQ(DrawnBounds(image, drawn), (PixelRect{a.left, c.bottom, b.right, a.top}));
    EXPECT_EQ(drawn, 3 * 16 * 24); // nothing beside the three glyphs: the line break draws nothing
    EXPECT_EQ(object->GetComponent<Transform>()->translation, start);
}

TEST_F(SpriteDrawTest, CasesThatDrawNothing)
{
    auto object = MakeSpriteObject({0, 0, 0}, {64, 64, 1}, "Quad", "Sheet");
    auto* sprite = object->GetComponent<Sprite>();
    auto* transform = object->GetComponent<Transform>();
    int drawn = 0;

    sprite->textMode = "Right";
    sprite->SetText("");
    transform->GetMatrix();
    DrawnBounds(DrawAndRead(object.get(), ""), drawn);
    EXPECT_EQ(drawn, 0) << "empty text";
    EXPECT_EQ(transform->translation, glm::vec3(0, 0, 0));

    for (const char* mode : {"None", "Right"})
    {
        sprite->textMode = mode;
        sprite->SetText("Hi");
        sprite->spriteSource = nullptr;
        DrawnBounds(DrawAndRead(object.get(), ""), drawn);
        EXPECT_EQ(drawn, 0) << "no sprite source, mode " << mode;
    }

    // A sprite on an object without a Transform has nowhere to be drawn.
    GameObject bare;
    auto* loose = new Sprite();
    loose->mesh = MeshManager::Get("Quad");
    loose->spriteSource = SpriteSourceManager::Get("Sheet");
    bare.AddComponent(loose);
    DrawnBounds(DrawAndRead(&bare, ""), drawn);
    EXPECT_EQ(drawn, 0) << "no transform";
}

TEST_F(SpriteDrawTest, ReadAppliesTheKeysAndSharesMeshesAndSources)
{
    trindle::JsonFileScope scope(kp::test::kInlineObjectFile);
    struct ReadCase
    {
        std::string members;
        int frameIndex;
        float alpha;
        glm::vec3 colour;
        std::string text;
        std::string textMode;
    };
    const ReadCase cases[] = {
        {R"("Sprite": {"frameIndex": 3, "alpha": 0.5, "Mesh": "Quad", "SpriteSource": "Sheet"})",
         3,
         0.5f,
         {1, 1, 1},
         "",
         "None"},
        {R"("Sprite": {"frameIndex": 0, "alpha": 1, "RGB": [0.5], "Mesh": "Quad", "SpriteSource": "Sheet"})",
         0,
         1,
         {0.5f, 0, 0},
         "",
         "None"},
        {R"("Sprite": {"frameIndex": 1, "alpha": 0.25, "RGB": [0.1, 0.2, 0.3], "Mesh": "Glyph",
            "SpriteSource": "Font", "Text": "Gold: 10", "TextMode": "Right"})",
         1,
         0.25f,
         {0.1f, 0.2f, 0.3f},
         "Gold: 10",
         "Right"},
        {R"("Sprite": {"frameIndex": 2, "alpha": 1, "RGB": [], "Mesh": "Quad", "SpriteSource": "Sheet",
            "TextMode": "None"})",
         2,
         1,
         {0, 0, 0},
         "",
         "None"},
    };
    for (const ReadCase& row : cases)
    {
        SCOPED_TRACE(row.members);
        Sprite sprite;
        sprite.Read(ObjectFile(row.members));
        EXPECT_EQ(sprite.frameIndex, row.frameIndex);
        EXPECT_EQ(sprite.alpha, row.alpha);
        EXPECT_EQ(sprite.colour, row.colour);
        EXPECT_EQ(sprite.text, row.text);
        EXPECT_EQ(sprite.textMode, row.textMode);
        ASSERT_NE(sprite.mesh, nullptr);
        ASSERT_NE(sprite.spriteSource, nullptr);
        EXPECT_EQ(sprite.mesh, MeshManager::Find(sprite.mesh->name));
        EXPECT_EQ(sprite.spriteSource, SpriteSourceManager::Find(sprite.spriteSource->name));
    }
    EXPECT_EQ(MeshManager::Entries().size(), 2u);         // Quad and Glyph, each loaded once
    EXPECT_EQ(SpriteSourceManager::Entries().size(), 2u); // Sheet and Font

    // "TextMode": "None" read from a file draws the frame, as the default does.
    GameObject object;
    auto* transform = new Transform();
    transform->scale = {64 * kUnitsPerPixel, 48 * kUnitsPerPixel, 1};
    object.AddComponent(transform);
    auto* sprite = new Sprite();
    object.AddComponent(sprite);
    sprite->Read(ObjectFile(
        R"("Sprite": {"frameIndex": 5, "alpha": 1, "Mesh": "Quad", "SpriteSource": "Sheet", "TextMode": "None",
            "Text": "ignored"})"));
    int drawn = 0;
    DrawnBounds(DrawAndRead(&object, ""), drawn);
    EXPECT_EQ(drawn, 64 * 48);
}

TEST_F(SpriteDrawTest, ACloneSharesItsMeshUnlessItIsABar)
{
    auto object = MakeSpriteObject({0, 0, 0}, {1, 1, 1}, "Quad", "Sheet");
    auto* sprite = object->GetComponent<Sprite>();
    sprite->frameIndex = 6;
    sprite->alpha = 0.3f;
    sprite->colour = {0.1f, 0.2f, 0.3f};
    sprite->text = "12";
    sprite->textMode = "Right";
    std::unique_ptr<Sprite> copy(static_cast<Sprite*>(sprite->Clone()));
    EXPECT_EQ(copy->type, ComponentType::Sprite);
    EXPECT_EQ(copy->owner, nullptr);
    EXPECT_EQ(copy->frameIndex, 6);
    EXPECT_EQ(copy->alpha, 0.3f);
    EXPECT_EQ(copy->colour, glm::vec3(0.1f, 0.2f, 0.3f));
    EXPECT_EQ(copy->text, "12");
    EXPECT_EQ(copy->textMode, "Right");
    EXPECT_EQ(copy->mesh, sprite->mesh);
    EXPECT_EQ(copy->spriteSource, sprite->spriteSource);

    sprite->mesh = MeshManager::Get("Bar_Mesh");
    std::unique_ptr<Sprite> bar(static_cast<Sprite*>(sprite->Clone()));
    ASSERT_NE(bar->mesh, nullptr);
    EXPECT_NE(bar->mesh, sprite->mesh);
    EXPECT_EQ(bar->mesh->name, "Bar_Mesh");
    EXPECT_EQ(bar->spriteSource, sprite->spriteSource);
}

TEST(SpriteReadDeathTest, MalformedMembersStopBeforeAnythingIsLoaded)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    trindle::JsonFileScope scope(kp::test::kInlineObjectFile);
    const struct
    {
        const char* members;
        const char* expected;
    } cases[] = {
        {R"("Sprite": {"frameIndex": 1.5, "alpha": 1, "Mesh": "Quad", "SpriteSource": "Sheet"})",
         "\"frameIndex\" is a 32-bit integer"},
        {R"("Sprite": {"frameIndex": 1, "alpha": 1, "SpriteSource": "Sheet"})", "\"Mesh\" is present"},
        {R"("Sprite": {"frameIndex": 1, "alpha": 1, "Mesh": "Quad", "SpriteSource": 4})",
         "\"SpriteSource\" is a string"},
        {R"("Sprite": {"frameIndex": 1, "alpha": 1, "RGB": [1, 1, 1, 1], "Mesh": "Quad", "SpriteSource": "Sheet"})",
         "\"RGB\" holds at most three"},
        {R"("Sprite": {"frameIndex": 1, "alpha": 1, "RGB": ["red"], "Mesh": "Quad", "SpriteSource": "Sheet"})",
         "\"RGB\\[0\\]\" is a number"},
        {R"("Sprite": {"frameIndex": 1, "alpha": 1, "Mesh": "Quad", "SpriteSource": "Sheet", "Text": 5})",
         "\"Text\" is a string"},
    };
    for (const auto& broken : cases)
    {
        SCOPED_TRACE(broken.members);
        Sprite sprite;
        EXPECT_DEATH(sprite.Read(ObjectFile(broken.members)),
                     std::string("Inline\\.json.*") + broken.expected);
    }
}
} // namespace
