#include "Game/Cannon.h"

#include "Game/GameObjectNames.h"
#include "Game/SpriteRows.h"
#include "Objects/Stats.h"
#include "Objects/Transform.h"

#include <cmath>
#include <optional>
#include <string>

namespace
{
enum CannonState
{
    kReady = 0,
    kFired = 1,
    kCarrierDown = 3,
};

enum class CarrierKind
{
    Tower,
    Airship,
    Other,
};

CarrierKind KindOf(const GameObject& carrier)
{
    if (carrier.name.find(ObjectNames::kTowerWord) != std::string::npos)
    {
        return CarrierKind::Tower;
    }
    return carrier.name.find(ObjectNames::kAirshipWord) != std::string::npos ? CarrierKind::Airship
                                                                              : CarrierKind::Other;
}

// The aim row for a target at `target` seen from `carrier`, or none.
std::optional<int> AimRow(CarrierKind kind, const glm::vec3& carrier, const glm::vec3& target, float targetWidth)
{
    if (kind == CarrierKind::Other || target.y == carrier.y)
    {
        return std::nullopt;
    }
    const bool above = target.y > carrier.y;
    const bool tower = kind == CarrierKind::Tower;
    if (target.x - targetWidth / 2.0f < carrier.x && carrier.x < target.x + targetWidth / 2.0f)
    {
        return above ? (tower ? 4 : 3) : (tower ? 0 : 6);
    }
    if (target.x > carrier.x)
    {
        return above ? (tower ? 3 : 2) : 1;
    }
    if (target.x < carrier.x)
    {
        return above ? (tower ? 5 : 4) : (tower ? 7 : 5);
    }
    return std::nullopt;
}
} // namespace

void Cannon::Update(float dt)
{
    Behavior::Update(dt);
    const auto* carrier = owner != nullptr ? ComponentOf<Stats>(owner->parent) : nullptr;
    if (carrier == nullptr)
    {
        return;
    }
    switch (currentState)
    {
    case kReady:
        if (static_cast<float>(carrier->ReloadTime) == carrier->reloadRemaining && !carrier->reloading)
        {
            nextState = kFired;
        }
        if (carrier->dead)
        {
            nextState = kCarrierDown;
        }
        break;
    case kFired:
        nextState = kReady;
        break;
    case kCarrierDown:
        if (std::trunc(carrier->respawnRemaining) <= 0.0f)
        {
            if (CurrentRow(owner) != RowCount(owner) - 1)
            {
                ShowRow(owner, 0);
            }
            SetAlpha(owner, 1.0f);
            nextState = kReady;
        }
        else if (carrier->dead)
        {
            SetAlpha(owner, 0.0f);
        }
        break;
    default:
        break;
    }
}

void Cannon::AimAt(const Transform& target)
{
    const GameObject* carrier = owner != nullptr ? owner->parent : nullptr;
    const auto* stats = ComponentOf<Stats>(carrier);
    const auto* carrierTransform = ComponentOf<Transform>(carrier);
    if (stats == nullptr || stats->reloading || carrierTransform == nullptr)
    {
        return;
    }
    const glm::vec3 from = carrierTransform->GetWorldTranslation();
    const CarrierKind kind = KindOf(*carrier);
    std::optional<int> row;
    if (kind == CarrierKind::Airship && from.x > kCityFacingX && target.owner != nullptr &&
        target.owner->name == ObjectNames::kCity)
    {
        row = 0;
    }
    else
    {
        row = AimRow(kind, from, target.GetWorldTranslation(), target.scale.x);
    }
    if (row && CurrentRow(owner) != *row)
    {
        ShowRow(owner, *row);
    }
}
