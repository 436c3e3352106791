// The well-formedness check of one object file: the layout every component reader expects (keys,
// JSON types, counts), references to meshes, sprite sources and child files that exist, frame
// indices inside their sheets, texts the font can draw, and no keys that nothing reads (a
// misspelt component key would otherwise silently create nothing).
//
// Threading: test thread only. Ownership: none kept.
#pragma once

#include "AssetTree.h"
#include "SpriteSheets.h"

#include <string>
#include <vector>

namespace kp::assets
{
// The problems of the object file `stem` (empty when it is well formed), each naming the key.
std::vector<std::string> CheckObjectFile(const std::string& stem, const JsonFile& file, const ObjectLibrary& library,
                                         SpriteSheetCache& sheets);
} // namespace kp::assets
