#include "Game/VolumeSlider.h"

#include "Engine/EngineGlobals.h"
#include "Engine/GameSound.h"
#include "Engine/Input.h"
#include "Objects/Transform.h"

void VolumeSlider::Update(float dt)
{
    Behavior::Update(dt);
    switch (currentState)
    {
    case kIdle:
        nextState = IsMouseOver() ? kHovered : kIdle;
        break;
    case kHovered:
        if (Held())
        {
            Drag();
        }
        LeaveHover(false);
        break;
    default:
        break;
    }
}

void VolumeSlider::Drag()
{
    auto* knob = Own<Transform>();
    if (knob == nullptr)
    {
        return;
    }
    if (const auto* track = ComponentOf<Transform>(owner->parent))
    {
        const float centre = track->GetWorldTranslation().y;
        const float height = track->scale.y;
        const float y = Input::GetCursorY();
        if (y < centre + kBandAbove * height && y > centre - height / kBandBelowDivisor)
        {
            knob->translation = glm::vec3(knob->translation.x, y, 0.0f);
            knob->dirty = true;
        }
    }
    const float level = knob->translation.y / kFullVolumeHeight * kFullVolumeLevel;
    volumeLevel1 = level;
    volumeLevel2 = level;
    WriteVolumeLevels(level, level);
}
