#include "Game/StarResult.h"

#include "Game/Background.h"
#include "Game/GameObjectNames.h"
#include "Game/SceneObjects.h"
#include "Game/SpriteRows.h"
#include "Objects/SceneManager.h"

#include <array>
#include <string>

namespace
{
// The result stars, each lost when no more than its index of stars were kept.
constexpr std::array<const char*, 3> kResultStars = {"StarTest_Results", "StarTest_Results1", "StarTest_Results2"};
} // namespace

void StarResult::Init()
{
    SetStateZero();
    const auto* result =
        ComponentOf<Background>(FindSceneObject(SceneManager::kPlayField, ObjectNames::kGameBackground));
    if (result == nullptr || owner == nullptr)
    {
        return;
    }
    for (size_t index = 0; index < kResultStars.size(); ++index)
    {
        if (owner->name == kResultStars[index] && result->starCount <= static_cast<int>(index))
        {
            ShowNextRow(owner);
        }
    }
}
