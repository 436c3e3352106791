// The sprite sources of the art folder as the asset checks see them: each sprite-source file read on
// its own, and its image decoded by the engine's own PNG decoder to check its size and
// the frames that must stay blank.
//
// Threading: test thread only. Ownership: the sheets own their decoded pixels.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <vector>

namespace kp::assets
{
struct SpriteSheet
{
    std::string name;  // the file's "name"
    std::string path;  // the file's "path", relative to the art folder
    int numCols = 0;
    int numRows = 0;
    std::string error; // empty when the file is well formed
    int width = 0;     // image size in pixels, 0 when it could not be decoded
    int height = 0;
    std::vector<unsigned char> rgba;

    int FrameCount() const { return numCols * numRows; }
    // True when every pixel of frame `frame` is fully transparent.
    bool FrameIsBlank(int frame) const;
    // The largest alpha of the frame's pixels.
    int FrameMaxAlpha(int frame) const;
};

// Reads "Assets/Art/<name>.json" and its image; nullopt when there is no such file.
std::optional<SpriteSheet> LoadSpriteSheet(const std::string& name);

// Sheets by name, loaded on first request.
class SpriteSheetCache
{
public:
    const SpriteSheet* Get(const std::string& name);

private:
    std::map<std::string, std::optional<SpriteSheet>> m_sheets;
};
} // namespace kp::assets
