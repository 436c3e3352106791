// Smoothly changing values (a black square fading in and out, a pulsing highlight). Each fade is a
// small heap record on the global list `fades`, ticked once per frame by EngineUpdate before the
// input poll; its owner keeps the pointer, reads `value`, and may set `mode` after creation.
//
// Modes: add climbs toward the target and then hovers within one step of it; multiply scales the
// value by the step; ping-pong first steps down from its start, turns upward below it, climbs to
// the target, turns down, and so swings between start and target. The fade's own timer only tells
// the owner when the nominal duration has passed; it does not stop the fade.
//
// Threading: main thread only.
// Ownership: the list holds the records until EngineShutdown deletes them (after the scenes whose
// behaviours point at them); an owner stops a fade by clearing `active`. The fade's timer is on the
// timer list and is deleted with it at shutdown.
#pragma once

#include "Engine/Timer.h"

#include <cstdint>
#include <deque>

constexpr std::int32_t kFadeAdd = 0;
constexpr std::int32_t kFadeMultiply = 1;
constexpr std::int32_t kFadePingPong = 2;

// Change per second of a fade whose target is exactly 0, whatever its duration.
constexpr float kFadeToZeroRatePerSecond = 0.4f;

struct Fade
{
    float target;      // the value the fade moves toward (the ceiling of a ping-pong)
    Timer* timer;      // a timer of the fade's duration, created with the fade
    float rate;        // change per second: target / duration, or 0.4 when target is 0
    float value;       // the current value, read by the owner
    std::int32_t mode; // kFadeAdd, kFadeMultiply or kFadePingPong
    bool rising;       // ping-pong direction; false at creation
    float start;       // the start value (the floor of a ping-pong)
    bool active;       // ticked only while true; true at creation
};

extern std::deque<Fade*> fades;

// A new add fade from `start` toward `target` over `duration` seconds, with its own timer,
// appended at the back of `fades`.
Fade* CreateFade(float target, float duration, float start);
// One frame: every active fade, in list order, moves by dt x rate as its mode says.
void TickFades(float dt);
// Deletes every fade record and empties the list (shutdown; tests).
void DeleteAllFades();
