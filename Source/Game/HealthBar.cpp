#include "Game/HealthBar.h"

#include "Engine/Mesh.h"
#include "Objects/Sprite.h"
#include "Objects/Stats.h"

void HealthBar::Update(float dt)
{
    Behavior::Update(dt);
    const auto* stats = owner != nullptr ? ComponentOf<Stats>(owner->parent) : nullptr;
    auto* sprite = Own<Sprite>();
    if (stats == nullptr || sprite == nullptr || sprite->mesh == nullptr)
    {
        return;
    }
    const bool empty = stats->health <= 0 || stats->dead || stats->MaxHealth == 0;
    const float width =
        empty ? 0.0f : static_cast<float>(stats->health) / static_cast<float>(stats->MaxHealth) * kFullWidth;
    sprite->mesh->SetBarWidth(width);
}
