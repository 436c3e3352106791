// The paths of the game's object and scene files, relative to the working folder (the repository
// root when the game runs): an archetype N is "./Assets/GameObjects/N.json", a child C is
// "./Assets/GameObjects/Children/C.json", the airship archetype of type T is
// "./Assets/GameObjects/KorvaneT.json" and a scene S is "./Assets/Spaces/S.json".
//
// Object paths are formatted into a buffer of kObjectPathCapacity characters. A name too long for
// it is a broken asset: the program stops, naming the file in progress and `what` (the key that
// held the name), instead of reading a cut-off path.
//
// Threading: main thread (the stop names the JSON file in progress). Ownership: values.
#pragma once

#include <cstddef>
#include <string>

namespace trindle
{
// Characters of an object path, its terminating NUL included.
constexpr std::size_t kObjectPathCapacity = 260;

std::string ArchetypePath(const std::string& name, const std::string& what);
std::string ChildPath(const std::string& name, const std::string& what);
std::string AirshipArchetypePath(int type);
std::string ScenePath(const std::string& name);
} // namespace trindle
