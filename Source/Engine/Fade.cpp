#include "Engine/Fade.h"

std::deque<Fade*> fades;

Fade* CreateFade(float target, float duration, float start)
{
    Fade* fade = new Fade{};
    fade->target = target;
    fade->timer = CreateTimer(duration);
    fade->rate = target == 0.0f ? kFadeToZeroRatePerSecond : target / duration;
    fade->value = start;
    fade->mode = kFadeAdd;
    fade->rising = false;
    fade->start = start;
    fade->active = true;
    fades.push_back(fade);
    return fade;
}

namespace
{
void TickFade(Fade& fade, float dt)
{
    const float step = dt * fade.rate;
    if (fade.value < fade.target)
    {
        // Below the start the ping-pong turns upward; the other modes ignore the direction.
        if (fade.start > fade.value)
        {
            fade.rising = true;
        }
        switch (fade.mode)
        {
        case kFadeAdd:
            fade.value += step;
            break;
        case kFadeMultiply:
            fade.value *= step;
            break;
        case kFadePingPong:
            fade.value = fade.rising ? fade.value + step : fade.value - step;
            break;
        default:
            break;
        }
    }
    else if (fade.value >= fade.target)
    {
        switch (fade.mode)
        {
        case kFadeAdd:
            fade.value -= step;
            break;
        case kFadeMultiply:
            fade.value /= step;
            break;
        case kFadePingPong:
            fade.rising = false;
            fade.value -= step;
            break;
        default:
            break;
        }
    }
}
} // namespace

void TickFades(float dt)
{
    for (Fade* fade : fades)
    {
        if (fade->active)
        {
            TickFade(*fade, dt);
        }
    }
}

void DeleteAllFades()
{
    for (Fade* fade : fades)
    {
        delete fade;
    }
    fades.clear();
}
