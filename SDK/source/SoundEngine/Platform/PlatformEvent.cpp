// Events over one process-wide mutex and one condition variable per waiting thread.
//
// Every event's state is guarded by the same mutex, so a wait for several events can test and
// consume them atomically without lock ordering. A waiting thread links a node into the waiter list
// of each event it waits on; Set wakes exactly the threads waiting on that event. The critical
// sections are a few instructions long, so the shared mutex is not a point of contention at the
// engine's handful of threads.
#include "Platform/PlatformEvent.h"

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <new>

namespace ZK::Platform
{
namespace
{
std::mutex g_eventsMutex;

struct Waiter
{
    std::condition_variable wake;
};

struct WaiterLink
{
    Waiter* waiter = nullptr;
    WaiterLink* previous = nullptr;
    WaiterLink* next = nullptr;
};
} // namespace

struct ZkEvent::State
{
    EventReset reset = EventReset::Auto;
    bool signalled = false;
    WaiterLink* waiters = nullptr;

    void Link(WaiterLink& link)
    {
        link.previous = nullptr;
        link.next = waiters;
        if (waiters != nullptr)
        {
            waiters->previous = &link;
        }
        waiters = &link;
    }

    void Unlink(WaiterLink& link)
    {
        if (link.previous != nullptr)
        {
            link.previous->next = link.next;
        }
        else
        {
            waiters = link.next;
        }
        if (link.next != nullptr)
        {
            link.next->previous = link.previous;
        }
    }
};

ZkEvent::ZkEvent() = default;

ZkEvent::~ZkEvent()
{
    Term();
}

bool ZkEvent::Init(EventReset reset)
{
    Term();
    m_state = new (std::nothrow) State;
    if (m_state == nullptr)
    {
        return false;
    }
    m_state->reset = reset;
    return true;
}

void ZkEvent::Term()
{
    delete m_state;
    m_state = nullptr;
}

bool ZkEvent::IsInitialized() const
{
    return m_state != nullptr;
}

void ZkEvent::Set()
{
    if (m_state == nullptr)
    {
        return;
    }
    std::lock_guard lock(g_eventsMutex);
    m_state->signalled = true;
    // Every thread waiting on this event re-checks; for an auto-reset event the first one to take
    // the mutex consumes it and the others wait on.
    for (WaiterLink* link = m_state->waiters; link != nullptr; link = link->next)
    {
        link->waiter->wake.notify_one();
    }
}

void ZkEvent::Reset()
{
    if (m_state == nullptr)
    {
        return;
    }
    std::lock_guard lock(g_eventsMutex);
    m_state->signalled = false;
}

bool ZkEvent::Wait(uint32_t timeoutMilliseconds)
{
    ZkEvent* self = this;
    return WaitForAnyEvent(&self, 1, timeoutMilliseconds) == 0;
}

int WaitForAnyEvent(ZkEvent* const* events, size_t count, uint32_t timeoutMilliseconds)
{
    if (events == nullptr || count == 0 || count > kMaximumWaitEvents)
    {
        return kWaitFailed;
    }
    for (size_t index = 0; index < count; ++index)
    {
        if (events[index] == nullptr || events[index]->m_state == nullptr)
        {
            return kWaitFailed;
        }
    }

    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMilliseconds);
    std::unique_lock lock(g_eventsMutex);

    auto takeSignalled = [&]() -> int
    {
        for (size_t index = 0; index < count; ++index)
        {
            ZkEvent::State& state = *events[index]->m_state;
            if (state.signalled)
            {
                if (state.reset == EventReset::Auto)
                {
                    state.signalled = false;
                }
                return static_cast<int>(index);
            }
        }
        return kWaitTimedOut;
    };

    int result = takeSignalled();
    if (result != kWaitTimedOut || timeoutMilliseconds == 0)
    {
        return result;
    }

    Waiter waiter;
    WaiterLink links[kMaximumWaitEvents];
    for (size_t index = 0; index < count; ++index)
    {
        links[index].waiter = &waiter;
        events[index]->m_state->Link(links[index]);
    }

    for (;;)
    {
        if (timeoutMilliseconds == kWaitInfinite)
        {
            waiter.wake.wait(lock);
        }
        else if (waiter.wake.wait_until(lock, deadline) == std::cv_status::timeout)
        {
            result = takeSignalled(); // a Set that raced with the time-out still counts
            break;
        }
        result = takeSignalled();
        if (result != kWaitTimedOut)
        {
            break;
        }
    }

    for (size_t index = 0; index < count; ++index)
    {
        events[index]->m_state->Unlink(links[index]);
    }
    return result;
}
} // namespace ZK::Platform
