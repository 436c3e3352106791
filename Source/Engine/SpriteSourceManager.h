// The sprite-source registry: every sprite source the game uses, found by exact, case-sensitive
// name and loaded from "./Assets/Art/<name>.json" on first use, so that all sprites of a sheet
// share one texture. A source is registered under the "name" its file gives: a file whose "name"
// differs from its file name is loaded again at every request.
//
// Threading: main thread, with the window's context current (loading creates textures).
// Ownership: the registry owns its sources until DestroyAll (shutdown), which deletes their
// textures; sprites and particles only borrow them.
#pragma once

#include <string>
#include <vector>

class SpriteSource;

namespace SpriteSourceManager
{
// The registered source named `name`, else a new one loaded from its file and registered.
SpriteSource* Get(const std::string& name);
// The first registered source whose name equals `name` exactly, or null.
SpriteSource* Find(const std::string& name);
// Inserts `source` at the front of the registry, which takes ownership of it.
void Add(SpriteSource* source);
// Deletes every source (and so its texture) and empties the registry (shutdown).
void DestroyAll();
// The registry, front first.
const std::vector<SpriteSource*>& Entries();
} // namespace SpriteSourceManager
