#include "Game/Button.h"

#include "Engine/Input.h"
#include "Engine/Timer.h"
#include "Game/SpriteRows.h"
#include "Objects/Audio.h"
#include "Objects/Collider.h"

void Button::Init()
{
    StartAtStateZero();
    snapshot = TransformSnapshot::Of(owner);
    audio = Own<Audio>();
}

bool Button::IsMouseOver() const
{
    const auto* collider = Own<Collider>();
    if (collider == nullptr || collider->shape != Collider::kShapeBox)
    {
        return false;
    }
    const float x = Input::GetCursorX();
    const float y = Input::GetCursorY();
    return collider->cornerA.x <= x && x <= collider->cornerB.x && collider->cornerB.y <= y &&
           y <= collider->cornerA.y;
}

bool Button::CoolingDown() const
{
    return cooldown != nullptr && !cooldown->done;
}

float Button::CooldownSeconds() const
{
    switch (Style().cooldown)
    {
    case ButtonCooldown::Full:
        return delay;
    case ButtonCooldown::Short:
        return delay - kShortCooldownReduction;
    case ButtonCooldown::None:
        break;
    }
    return 0.0f;
}

void Button::StartCooldown()
{
    if (Style().cooldown != ButtonCooldown::None)
    {
        cooldown = CreateTimer(CooldownSeconds());
    }
}

void Button::ShowButtonRow(int row)
{
    if (row != kKeepRow)
    {
        ShowRow(owner, row);
    }
}

void Button::PlayCue(ZkUniqueID cue)
{
    if (cue != 0 && audio != nullptr)
    {
        audio->PlayEvent(cue);
    }
}

void Button::TestHover()
{
    if (IsMouseOver())
    {
        hoverPending = true;
        nextState = kHovered;
    }
    else
    {
        nextState = kIdle;
    }
}

void Button::LeaveHover(bool acts)
{
    nextState = acts ? kActing : (IsMouseOver() ? kHovered : kIdle);
}

void Button::ScaleHovered(float raise)
{
    ScaleFromSnapshot(Held() ? raise * Style().scaling.pressIn : raise);
}

void Button::PlayHoverCueOnce()
{
    if (hoverPending)
    {
        PlayCue(Style().hoverCue);
        hoverPending = false;
    }
}

bool Button::PressEdge()
{
    return Input::WentDown(kMouseButton);
}

bool Button::ReleaseEdge()
{
    return Input::WentUp(kMouseButton);
}

bool Button::Held()
{
    return Input::StaysDown(kMouseButton);
}

void Button::ShowIdleLook()
{
    ShowButtonRow(Style().rows.idle);
}

void Button::Update(float dt)
{
    Behavior::Update(dt);
    if (CoolingDown())
    {
        currentState = kActing;
        ShowButtonRow(Style().rows.busy);
        return;
    }
    switch (currentState)
    {
    case kIdle:
        RunIdle();
        break;
    case kHovered:
        RunHovered();
        break;
    case kActing:
        RunActing();
        break;
    default:
        break;
    }
}

void Button::RunIdle()
{
    ShowIdleLook();
    if (Style().scaling.restores)
    {
        ScaleFromSnapshot(1.0f);
    }
    TestHover();
}

void Button::RunHovered()
{
    const ButtonStyle& style = Style();
    if (!style.hoverRowOnRelease)
    {
        ShowButtonRow(style.rows.hover);
    }
    PlayHoverCueOnce();
    if (style.scaling.hover != 1.0f)
    {
        ScaleHovered(style.scaling.hover);
    }
    if (PressEdge())
    {
        PlayCue(style.pressCue);
    }
    if (ReleaseEdge() && style.hoverRowOnRelease)
    {
        ShowButtonRow(kHovered);
    }
    LeaveHover(style.trigger == ButtonTrigger::Press ? PressEdge() : ReleaseEdge());
}

void Button::RunActing()
{
    const ButtonStyle& style = Style();
    ShowButtonRow(style.rows.act);
    StartCooldown();
    PlayCue(style.actionCue);
    Act();
    nextState = kIdle;
}
