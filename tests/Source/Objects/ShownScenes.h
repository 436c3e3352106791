// The names of the scenes the game shows (the active ones), in stack order, front to back.
#pragma once

#include "Objects/Scene.h"
#include "Objects/SceneManager.h"

#include <string>
#include <vector>

namespace kp::test
{
inline std::vector<std::string> ShownScenes()
{
    std::vector<std::string> names;
    for (const Scene* scene : SceneManager::scenes)
    {
        if (scene->active)
        {
            names.push_back(scene->name);
        }
    }
    return names;
}
} // namespace kp::test
