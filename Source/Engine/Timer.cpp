#include "Engine/Timer.h"

std::deque<Timer*> timers;

Timer* CreateTimer(float seconds)
{
    Timer* timer = new Timer{seconds, true, false, false};
    timers.push_front(timer);
    return timer;
}

void TickTimers(float dt)
{
    for (Timer* timer : timers)
    {
        if (timer->running && !timer->paused)
        {
            timer->remaining -= dt;
        }
        if (timer->remaining <= 0.0f)
        {
            timer->done = true;
        }
    }
}

void SetTimersPaused(bool paused)
{
    for (Timer* timer : timers)
    {
        timer->paused = paused;
    }
}

void DeleteAllTimers()
{
    for (Timer* timer : timers)
    {
        delete timer;
    }
    timers.clear();
}
