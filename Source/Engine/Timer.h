// Count-down timers (reload times, splash durations, the round clock). Each timer is a small heap
// record on the global list `timers`, ticked once per frame by EngineUpdate; its creator keeps the
// pointer and reads the record directly.
//
// Threading: main thread only.
// Ownership: the list owns the records. They stay on the list while the game runs (owners stop a
// timer by clearing `running` or setting `paused`); DeleteAllTimers deletes them at shutdown, after
// which every pointer handed out is dangling.
#pragma once

#include <deque>

struct Timer
{
    float remaining; // seconds left
    bool running;    // counting enabled; true at creation
    bool paused;     // counting suspended (the game's pause); false at creation
    bool done;       // set once remaining <= 0 and never cleared by the tick
};

extern std::deque<Timer*> timers;

// A new running timer of `seconds`, put at the front of `timers`.
Timer* CreateTimer(float seconds);
// One frame: every timer, in list order, counts down by dt while running and not paused; then any
// timer whose remaining time is <= 0 is marked done, stopped or not.
void TickTimers(float dt);
// Sets `paused` on every timer of the list (the game's pause and resume).
void SetTimersPaused(bool paused);
// Deletes every timer record and empties the list (shutdown).
void DeleteAllTimers();
