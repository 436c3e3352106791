// Event semantics seen from one thread: what a Set leaves behind for the next waits, which event a
// wait for several answers, and time-outs.
#include "Platform/PlatformClock.h"
#include "Platform/PlatformEvent.h"

#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <vector>

namespace
{
using namespace ZK::Platform;

// Operations: 'S' Set, 'R' Reset, '+' a zero-time-out wait that must succeed, '-' one that must
// time out.
struct SequenceCase
{
    const char* what;
    EventReset reset;
    const char* operations;
};

TEST(Event, SetAndResetSequences)
{
    const SequenceCase cases[] = {
        {"auto: a Set before the wait is consumed by exactly one wait", EventReset::Auto, "S+-"},
        {"auto: two Sets still wake one wait", EventReset::Auto, "SS+-"},
        {"auto: Reset takes a pending Set back", EventReset::Auto, "SR-"},
        {"auto: starts not signalled", EventReset::Auto, "-S+"},
        {"manual: stays signalled for every wait until Reset", EventReset::Manual, "S+++R-"},
        {"manual: Set again after Reset", EventReset::Manual, "S+R-S+"},
        {"manual: starts not signalled", EventReset::Manual, "-"},
    };
    for (const SequenceCase& testCase : cases)
    {
        SCOPED_TRACE(testCase.what);
        ZkEvent event;
        ASSERT_TRUE(event.Init(testCase.reset));
        for (const char* operation = testCase.operations; *operation != '\0'; ++operation)
        {
            SCOPED_TRACE(std::string("at ") + operation);
            switch (*operation)
            {
            case 'S':
                event.Set();
                break;
            case 'R':
                event.Reset();
                break;
            case '+':
                EXPECT_TRUE(event.Wait(0));
                break;
            case '-':
                EXPECT_FALSE(event.Wait(0));
                break;
            }
        }
    }
}

struct AnyCase
{
    const char* what;
    std::vector<EventReset> resets;
    std::vector<size_t> signalled;
    int expectedIndex;
    std::vector<bool> signalledAfter; // tested with zero-time-out waits after the wait for any
};

TEST(Event, WaitForAnyReturnsLowestSignalledIndex)
{
    constexpr EventReset A = EventReset::Auto;
    constexpr EventReset M = EventReset::Manual;
    const AnyCase cases[] = {
        {"one of three", {A, A, A}, {2}, 2, {false, false, false}},
        {"lowest of two, the other left signalled", {A, A, A}, {2, 1}, 1, {false, false, true}},
        {"a manual event stays signalled", {M, A}, {0, 1}, 0, {true, true}},
        {"first index", {A, M, A}, {0}, 0, {false, false, false}},
        {"nothing signalled", {A, M}, {}, kWaitTimedOut, {false, false}},
    };
    for (const AnyCase& testCase : cases)
    {
        SCOPED_TRACE(testCase.what);
        std::vector<std::unique_ptr<ZkEvent>> events;
        std::vector<ZkEvent*> pointers;
        for (const EventReset reset : testCase.resets)
        {
            events.push_back(std::make_unique<ZkEvent>());
            ASSERT_TRUE(events.back()->Init(reset));
            pointers.push_back(events.back().get());
        }
        for (const size_t index : testCase.signalled)
        {
            events[index]->Set();
        }
        EXPECT_EQ(WaitForAnyEvent(pointers.data(), pointers.size(), 0), testCase.expectedIndex);
        for (size_t index = 0; index < events.size(); ++index)
        {
            EXPECT_EQ(events[index]->Wait(0), testCase.signalledAfter[index]) << "event " << index;
        }
    }
}

TEST(Event, WaitsTimeOutWhenNothingIsSignalled)
{
    const uint32_t timeoutsMilliseconds[] = {0, 1, 20};
    for (const uint32_t timeout : timeoutsMilliseconds)
    {
        SCOPED_TRACE(timeout);
        ZkEvent autoEvent;
        ZkEvent manualEvent;
        ASSERT_TRUE(autoEvent.Init(EventReset::Auto));
        ASSERT_TRUE(manualEvent.Init(EventReset::Manual));
        ZkEvent* both[] = {&autoEvent, &manualEvent};

        const int64_t start = PerformanceCounter();
        EXPECT_FALSE(autoEvent.Wait(timeout));
        EXPECT_EQ(WaitForAnyEvent(both, 2, timeout), kWaitTimedOut);
        const int64_t elapsedNanoseconds = PerformanceCounter() - start;
        // Not a speed check: a timed-out wait must not have given up before its time-out.
        EXPECT_GE(elapsedNanoseconds, 2 * int64_t{timeout} * 1'000'000);
    }
}

TEST(Event, WaitForAnyRefusesWhatItCannotWaitOn)
{
    ZkEvent ready;
    ZkEvent notInitialised;
    ASSERT_TRUE(ready.Init(EventReset::Manual));
    ready.Set();
    ZkEvent* withUninitialised[] = {&ready, &notInitialised};
    ZkEvent* withNull[] = {&ready, nullptr};
    std::vector<ZkEvent*> tooMany(kMaximumWaitEvents + 1, &ready);

    EXPECT_EQ(WaitForAnyEvent(withUninitialised, 2, 0), kWaitFailed);
    EXPECT_EQ(WaitForAnyEvent(withNull, 2, 0), kWaitFailed);
    EXPECT_EQ(WaitForAnyEvent(withNull, 0, 0), kWaitFailed);
    EXPECT_EQ(WaitForAnyEvent(tooMany.data(), tooMany.size(), 0), kWaitFailed);
    EXPECT_EQ(WaitForAnyEvent(tooMany.data(), kMaximumWaitEvents, 0), 0);
    EXPECT_FALSE(notInitialised.Wait(0));
}
} // namespace
