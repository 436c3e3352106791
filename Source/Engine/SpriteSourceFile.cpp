// The sprite-source file reader of TEResources.
#include "Engine/JsonAsset.h"
#include "Engine/SpriteSource.h"
#include "Engine/TEResources.h"

namespace TEResources
{
void ReadSpriteSourceFile(SpriteSource& source, const std::string& jsonPath)
{
    trindle::JsonFileScope scope(jsonPath);
    ParseSpriteSourceFile(source, ReadTextFile(jsonPath));
}

void ParseSpriteSourceFile(SpriteSource& source, const std::string& text)
{
    source.name = SpriteSource::kUnloadedName;
    source.path.clear();
    source.numRows = 1;
    source.numCols = 1;
    source.width = 0;
    source.height = 0;

    const rapidjson::Document document = trindle::ParseJsonAsset(text);
    const rapidjson::Value& root = trindle::JsonObject(document, "SpriteSource");
    source.name = trindle::JsonString(root, "name");
    source.path = SpriteSource::kArtFolder + trindle::JsonString(root, "path");
    source.numCols = trindle::JsonInt(root, "numCols");
    source.numRows = trindle::JsonInt(root, "numRows");
    if (source.numCols < 1)
    {
        trindle::JsonKeyCheckFailed("numCols", "is at least 1");
    }
    if (source.numRows < 1)
    {
        trindle::JsonKeyCheckFailed("numRows", "is at least 1");
    }
}
} // namespace TEResources
