// The Sprite component (kind 1): makes an object visible. It draws one frame of a sprite source on
// a mesh with the object's Transform, tinted by a colour and an alpha; or, in a text mode (any mode
// but "None"), draws its text glyph by glyph from a font sheet whose frame f is the character of
// code f + 32. Numeric displays set the text every frame; animations change the frame; fades and
// behaviours change the alpha.
//
// Text layout: the first glyph sits 0.5 x scale.x to the right of the object's position and each
// further glyph another 0.5 x scale.x to the right; a line break (code 10) starts the next line at
// the object's x, 0.75 x scale.y lower. The modes "Center" and "Right" lay text out the same way.
//
// Object-file member "Sprite": "frameIndex" (integer), "alpha" (number), "Mesh" and
// "SpriteSource" (names, strings) are required; "RGB" (up to three numbers, missing ones 0),
// "Text" and "TextMode" (strings) are optional.
//
// Threading: main thread; Draw with the window's context current, inside the draw pass.
// Ownership: the sprite source and the mesh belong to their registries and are shared, except a
// bar mesh ("Bar_Mesh"), which is made for this sprite alone and released with it.
#pragma once

#include "Objects/Component.h"

#include <glm/vec3.hpp>
#include <string>

class Mesh;
class SpriteSource;

class Sprite : public Component
{
public:
    static constexpr ComponentType kType = ComponentType::Sprite;

    // The text mode that draws the frame instead of the text.
    static constexpr const char* kNoTextMode = "None";
    // The character of glyph frame 0 in a font sheet.
    static constexpr unsigned kFirstGlyphCode = 32;
    static constexpr char kLineBreak = '\n';
    // Glyph advance and line height, as multiples of the transform's scale.
    static constexpr float kGlyphAdvance = 0.5f;
    static constexpr float kLineHeight = 0.75f;

    Sprite() : Component(kType) {}
    // Releases the sprite's bar mesh, when it has one.
    ~Sprite() override;
    Sprite& operator=(const Sprite&) = delete;
    // Every field copied, mesh and source shared; a sprite on a bar mesh gets a bar mesh of its own.
    Component* Clone() const override;
    // Nothing without a sprite source, a mesh or a Transform on the owner; else the frame or the
    // text. The transform's translation is the same after the draw as before.
    void Draw() override;

    // Reads the member "Sprite" of the object file text (JsonFileScope names the file) and fetches
    // the mesh and the sprite source from their registries.
    void Read(const std::string& fileText);

    void SetText(const std::string& newText) { text = newText; }

    int frameIndex = 0;
    float alpha = 1.0f;
    Mesh* mesh = nullptr;
    SpriteSource* spriteSource = nullptr;
    glm::vec3 colour{1.0f};
    std::string text;
    std::string textMode = kNoTextMode;

private:
    // Only Clone copies a sprite, and it gives the copy a bar mesh of its own.
    Sprite(const Sprite&) = default;
};
