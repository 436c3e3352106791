// Events: auto-reset (one wait consumes a set) and manual-reset (stays set until Reset). A Set with
// no waiter stays signalled for the next wait. Waits take a time-out in milliseconds
// (kWaitInfinite to wait forever), and WaitForAnyEvent waits on several events at once.
//
// Thread safety: Set, Reset and the waits may be called from any thread on a live event. Init and
// Term are called by the owner while no other thread uses the event.
#pragma once

#include <cstddef>
#include <cstdint>

namespace ZK::Platform
{
constexpr uint32_t kWaitInfinite = 0xFFFFFFFFu;
constexpr int kWaitTimedOut = -1;
constexpr int kWaitFailed = -2;           // WaitForAnyEvent with no events, too many, or one not initialised
constexpr size_t kMaximumWaitEvents = 64; // events one WaitForAnyEvent may wait on

enum class EventReset
{
    Auto,
    Manual
};

class ZkEvent
{
public:
    ZkEvent();
    ~ZkEvent();
    ZkEvent(const ZkEvent&) = delete;
    ZkEvent& operator=(const ZkEvent&) = delete;

    // Prepares the event, not signalled. Returns false when the system refuses.
    bool Init(EventReset reset);
    void Term();
    bool IsInitialized() const;

    void Set();
    void Reset();

    // True when the event was signalled within the time-out, false when the wait timed out (or the
    // event is not initialised).
    bool Wait(uint32_t timeoutMilliseconds = kWaitInfinite);

private:
    friend int WaitForAnyEvent(ZkEvent* const* events, size_t count, uint32_t timeoutMilliseconds);
    struct State;
    State* m_state = nullptr;
};

// Waits until at least one of the events is signalled. Returns the lowest index of a signalled
// event (consuming it when it is auto-reset; the others are left as they are), kWaitTimedOut, or
// kWaitFailed for 0 or more than kMaximumWaitEvents events or an event that is not initialised.
int WaitForAnyEvent(ZkEvent* const* events, size_t count, uint32_t timeoutMilliseconds);
} // namespace ZK::Platform
