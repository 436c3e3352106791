// A sprite source: one image used as a texture atlas of equal frames in rows and columns. Sprites
// and particles pick a frame by index, numbered row by row from 0 (frame f is at column
// f mod numCols of row f div numCols); text is drawn from a font sheet whose frames are the
// printable characters from code 32.
//
// Sprite-source file "./Assets/Art/<name>.json": {"SpriteSource": {"name", "path", "numCols",
// "numRows"}}, every key required; "path" names the image relative to "./Assets/Art/", a PNG.
//
// Threading: main thread, with the window's context current for Load and the destructor.
// Ownership: a source owns its texture and deletes it when it is destroyed; the registry of
// SpriteSourceManager.h owns the sources it holds.
#pragma once

#include <cstdint>
#include <string>

class SpriteSource
{
public:
    // The name of a source that has not been loaded yet.
    static constexpr const char* kUnloadedName = "nullptr";
    // Where sprite-source files and their images are found, relative to the working folder.
    static constexpr const char* kArtFolder = "./Assets/Art/";

    SpriteSource() = default;
    // Deletes the texture when there is one.
    ~SpriteSource();
    // Copies would share the texture.
    SpriteSource(const SpriteSource&) = delete;
    SpriteSource& operator=(const SpriteSource&) = delete;

    // Fills this source from the sprite-source file at `jsonPath` and loads its image into a new
    // texture. A malformed file stops the program (see ReadSpriteSourceFile); an image that cannot
    // be decoded is reported naming it and the source goes on with a one-texel magenta texture.
    void Load(const std::string& jsonPath);

    std::string name = kUnloadedName;
    std::string path;         // the image, "./Assets/Art/" + the file's "path"
    std::int32_t numRows = 1; // rows of frames
    std::int32_t numCols = 1; // columns of frames
    std::int32_t width = 0;   // image size in pixels
    std::int32_t height = 0;
    unsigned texture = 0; // GL texture, 0 when none
};

namespace TEResources
{
// Resets `source` to a new source's values and fills name, path (with the art folder prefixed),
// numRows and numCols from the file at `jsonPath`; creates no texture. A missing or malformed
// file, a missing key, a key of the wrong type, or a row or column count below 1 (which would
// leave a sheet without frames to divide by) stops the program with a message naming the file
// and key.
void ReadSpriteSourceFile(SpriteSource& source, const std::string& jsonPath);
// The same from the text of a sprite-source file; failures name the file that JsonFileScope set.
void ParseSpriteSourceFile(SpriteSource& source, const std::string& text);
} // namespace TEResources
