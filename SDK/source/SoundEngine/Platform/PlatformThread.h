// Threads of the sound engine: start with a name, stack size, priority and affinity; join; yield.
//
// Priorities use the engine's scale (the values its settings carry): -15 idle .. -2 lowest,
// -1 below normal, 0 normal, 1 above normal, 2 highest, 15 time-critical, and
// kThreadPriorityUnchanged (0x10000), which keeps whatever the system gives a new thread. Any other
// value is refused (PriorityRefused). On Linux, -2..2 set the thread's nice value 5 levels per step
// from the process's own (above normal = 5 lower), idle sets nice 19, time-critical takes the
// round-robin real-time policy.
// On Linux an ordinary user may lower a thread's priority but not raise it. A priority the system
// refuses for lack of privilege is accepted as "unchanged" (the thread still starts) and reported
// through ThreadStartResult::priorityApplied; any other refusal fails the start.
//
// Thread safety: every function may be called from any thread. A ZkThreadHandle is owned by the
// thread that started it, which must join it exactly once.
#pragma once

#include <cstddef>
#include <cstdint>

namespace ZK::Platform
{
constexpr int32_t kThreadPriorityUnchanged = 0x10000;
constexpr size_t kKernelThreadNameMax = 15; // Linux keeps 15 characters of a thread's name

using ThreadRoutine = void (*)(void* argument);

struct ThreadProperties
{
    const char* name = "ZK::Thread";
    size_t stackSizeBytes = 0; // 0 = the system default; else at least 64 KiB, in whole pages
    int32_t priority = kThreadPriorityUnchanged;
    uint64_t affinityMask = 0; // 0 = not applied; bit n = processor n
};

struct ZkThreadHandle
{
    uint64_t nativeHandle = 0;
    bool IsValid() const { return nativeHandle != 0; }
};

enum class ThreadStartStatus
{
    Started,
    CreateFailed,    // the system could not create the thread
    PriorityRefused, // the priority was refused for a reason other than privilege; thread joined
    AffinityRefused, // the affinity mask was refused; thread joined
};

struct ThreadStartResult
{
    ThreadStartStatus status = ThreadStartStatus::CreateFailed;
    bool priorityApplied = false; // false when unchanged by request or for lack of privilege
};

// Starts routine(argument) on a new thread with the given properties. On any status but Started the
// handle is left invalid and the routine has not run (or has been told nothing and was joined).
ThreadStartResult StartThread(ZkThreadHandle& handle, ThreadRoutine routine, void* argument,
                              const ThreadProperties& properties);

// Waits for the thread to end and invalidates the handle. Joining an invalid handle does nothing.
void JoinThread(ZkThreadHandle& handle);

// Names the calling thread (cut to kKernelThreadNameMax characters for the kernel).
void SetCurrentThreadName(const char* name);

// Gives up the rest of the calling thread's time slice.
void YieldProcessor();

// Sleeps the calling thread for the given number of milliseconds.
void SleepMilliseconds(uint32_t milliseconds);

// A small integer that identifies the calling thread for the life of the process (the kernel's
// thread id).
uint32_t CurrentThreadId();
} // namespace ZK::Platform
