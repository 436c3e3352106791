#include "SpriteSheets.h"

#include "AssetTree.h"
#include "Engine/PngImage.h"

#include <algorithm>
#include <climits>

namespace kp::assets
{
namespace
{
constexpr int kChannels = 4;
} // namespace

int SpriteSheet::FrameMaxAlpha(int frame) const
{
    if (width == 0 || numCols < 1 || numRows < 1 || frame < 0 || frame >= FrameCount())
    {
        return 255;
    }
    const int frameWidth = width / numCols;
    const int frameHeight = height / numRows;
    const int left = (frame % numCols) * frameWidth;
    const int top = (frame / numCols) * frameHeight;
    int highest = 0;
    for (int y = top; y < top + frameHeight; ++y)
    {
        for (int x = left; x < left + frameWidth; ++x)
        {
            highest = std::max<int>(highest, rgba[(static_cast<size_t>(y) * width + x) * kChannels + 3]);
        }
    }
    return highest;
}

bool SpriteSheet::FrameIsBlank(int frame) const
{
    return FrameMaxAlpha(frame) == 0;
}

std::optional<SpriteSheet> LoadSpriteSheet(const std::string& name)
{
    const fs::path jsonPath = SpriteSourcePath(name);
    if (!fs::exists(jsonPath))
    {
        return std::nullopt;
    }
    SpriteSheet sheet;
    const JsonFile file = LoadJson(jsonPath);
    const rapidjson::Value* root = file.ok ? Member(file.document, "SpriteSource") : nullptr;
    if (root == nullptr || !root->IsObject())
    {
        sheet.error = file.ok ? "has no object \"SpriteSource\"" : file.error;
        return sheet;
    }
    const auto fileName = StringMember(*root, "name");
    const auto path = StringMember(*root, "path");
    const auto cols = IntMember(*root, "numCols");
    const auto rows = IntMember(*root, "numRows");
    if (!fileName || !path || !cols || !rows)
    {
        sheet.error = "needs \"name\" and \"path\" (strings) and \"numCols\" and \"numRows\" (integers)";
        return sheet;
    }
    sheet.name = *fileName;
    sheet.path = *path;
    sheet.numCols = *cols;
    sheet.numRows = *rows;
    if (sheet.numCols < 1 || sheet.numRows < 1)
    {
        sheet.error = "has fewer than one column or row";
        return sheet;
    }
    const std::string imagePath = (AssetRoot() / "Art" / sheet.path).string();
    const TEResources::PngImage image = TEResources::PngImage::Read(imagePath, INT_MAX);
    if (image.Texels() == nullptr)
    {
        sheet.error = "names an image that does not decode: " + imagePath + " " + image.Error();
        return sheet;
    }
    sheet.width = image.Width();
    sheet.height = image.Height();
    sheet.rgba.assign(image.Texels(),
                      image.Texels() + static_cast<size_t>(sheet.width) * sheet.height * kChannels);
    if (sheet.width % sheet.numCols != 0 || sheet.height % sheet.numRows != 0)
    {
        sheet.error = "has an image whose size is not a whole number of frames";
    }
    return sheet;
}

const SpriteSheet* SpriteSheetCache::Get(const std::string& name)
{
    auto found = m_sheets.find(name);
    if (found == m_sheets.end())
    {
        found = m_sheets.emplace(name, LoadSpriteSheet(name)).first;
    }
    return found->second ? &*found->second : nullptr;
}
} // namespace kp::assets
