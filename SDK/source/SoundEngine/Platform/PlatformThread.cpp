// Threads over pthreads. The new thread names itself and applies its own priority and affinity
// before it runs the routine, then reports to the starting thread; when a setting fails the routine
// is never called and the starting thread joins it. Priorities are per-thread nice values on Linux
// (setpriority on the thread id), so they can only be set from the thread or with its id.
#include "Platform/PlatformThread.h"

#include <algorithm>
#include <cerrno>
#include <condition_variable>
#include <cstring>
#include <ctime>
#include <mutex>
#include <pthread.h>
#include <sched.h>
#include <sys/resource.h>
#include <unistd.h>

namespace ZK::Platform
{
namespace
{
// The engine's priority scale.
constexpr int32_t kPriorityIdle = -15;
constexpr int32_t kPriorityLowest = -2;
constexpr int32_t kPriorityHighest = 2;
constexpr int32_t kPriorityTimeCritical = 15;

// Each step of the engine's scale moves a thread this many nice levels from the process's own.
constexpr int kNiceLevelsPerPriorityStep = 5;
constexpr int kNiceLowest = 19;
constexpr int kNiceHighest = -20;
// Time-critical threads run round-robin real-time at this (modest) level: above every ordinary
// thread, below the kernel's own real-time work and the usual audio servers.
constexpr int kTimeCriticalRealtimePriority = 10;

// Smaller stacks leave no room for the thread's static TLS and the sanitizers' shadow frames.
constexpr size_t kMinimumStackSizeBytes = 64 * 1024;

enum class PriorityOutcome
{
    Applied,
    Unchanged, // left as it was: by request or for lack of privilege
    Refused,
};

bool IsPrivilegeRefusal(int error)
{
    return error == EPERM || error == EACCES;
}

int ProcessNice()
{
    // Nice values are per thread on Linux; the main thread's value is the process's base.
    errno = 0;
    const int nice = getpriority(PRIO_PROCESS, static_cast<id_t>(getpid()));
    return errno == 0 ? nice : 0;
}

PriorityOutcome SetOwnNice(int nice)
{
    // A real-time policy inherited from the starting thread would make the nice value meaningless.
    int policy = SCHED_OTHER;
    sched_param parameters{};
    if (pthread_getschedparam(pthread_self(), &policy, &parameters) == 0 && policy != SCHED_OTHER)
    {
        parameters.sched_priority = 0;
        const int error = pthread_setschedparam(pthread_self(), SCHED_OTHER, &parameters);
        if (error != 0)
        {
            return IsPrivilegeRefusal(error) ? PriorityOutcome::Unchanged : PriorityOutcome::Refused;
        }
    }
    if (setpriority(PRIO_PROCESS, static_cast<id_t>(gettid()), nice) != 0)
    {
        return IsPrivilegeRefusal(errno) ? PriorityOutcome::Unchanged : PriorityOutcome::Refused;
    }
    return PriorityOutcome::Applied;
}

PriorityOutcome ApplyOwnPriority(int32_t priority)
{
    if (priority == kThreadPriorityUnchanged)
    {
        return PriorityOutcome::Unchanged;
    }
    if (priority == kPriorityTimeCritical)
    {
        sched_param parameters{};
        parameters.sched_priority = kTimeCriticalRealtimePriority;
        const int error = pthread_setschedparam(pthread_self(), SCHED_RR, &parameters);
        if (error != 0)
        {
            return IsPrivilegeRefusal(error) ? PriorityOutcome::Unchanged : PriorityOutcome::Refused;
        }
        return PriorityOutcome::Applied;
    }
    if (priority == kPriorityIdle)
    {
        return SetOwnNice(kNiceLowest);
    }
    if (priority >= kPriorityLowest && priority <= kPriorityHighest)
    {
        const int nice = ProcessNice() - priority * kNiceLevelsPerPriorityStep;
        return SetOwnNice(std::clamp(nice, kNiceHighest, kNiceLowest));
    }
    return PriorityOutcome::Refused; // not a value of the scale
}

bool ApplyOwnAffinity(uint64_t affinityMask)
{
    if (affinityMask == 0)
    {
        return true;
    }
    cpu_set_t processors;
    CPU_ZERO(&processors);
    for (int processor = 0; processor < 64; ++processor)
    {
        if ((affinityMask >> processor) & 1u)
        {
            CPU_SET(processor, &processors);
        }
    }
    return pthread_setaffinity_np(pthread_self(), sizeof(processors), &processors) == 0;
}

// Lives on the starting thread's stack until the new thread has reported.
struct StartHandshake
{
    ThreadRoutine routine = nullptr;
    void* argument = nullptr;
    const ThreadProperties* properties = nullptr;

    std::mutex mutex;
    std::condition_variable reported;
    bool hasReported = false;
    ThreadStartStatus status = ThreadStartStatus::CreateFailed;
    bool priorityApplied = false;
};

void* ThreadEntry(void* rawHandshake)
{
    auto* handshake = static_cast<StartHandshake*>(rawHandshake);
    const ThreadRoutine routine = handshake->routine;
    void* const argument = handshake->argument;
    const ThreadProperties& properties = *handshake->properties;

    SetCurrentThreadName(properties.name);
    const PriorityOutcome priority = ApplyOwnPriority(properties.priority);
    ThreadStartStatus status = ThreadStartStatus::Started;
    if (priority == PriorityOutcome::Refused)
    {
        status = ThreadStartStatus::PriorityRefused;
    }
    else if (!ApplyOwnAffinity(properties.affinityMask))
    {
        status = ThreadStartStatus::AffinityRefused;
    }

    {
        // Notified under the lock: the starting thread may destroy the handshake as soon as it sees
        // the report, so nothing of it is touched after the lock is released.
        std::lock_guard lock(handshake->mutex);
        handshake->status = status;
        handshake->priorityApplied = priority == PriorityOutcome::Applied;
        handshake->hasReported = true;
        handshake->reported.notify_one();
    }

    if (status == ThreadStartStatus::Started)
    {
        routine(argument);
    }
    return nullptr;
}

size_t EffectiveStackSize(size_t requestedBytes)
{
    const size_t pageSize = static_cast<size_t>(sysconf(_SC_PAGESIZE));
    const size_t atLeast = std::max(requestedBytes, kMinimumStackSizeBytes);
    return (atLeast + pageSize - 1) / pageSize * pageSize;
}
} // namespace

ThreadStartResult StartThread(ZkThreadHandle& handle, ThreadRoutine routine, void* argument,
                              const ThreadProperties& properties)
{
    handle.nativeHandle = 0;
    ThreadStartResult result;
    if (routine == nullptr)
    {
        return result;
    }

    pthread_attr_t attributes;
    if (pthread_attr_init(&attributes) != 0)
    {
        return result;
    }
    if (properties.stackSizeBytes != 0 &&
        pthread_attr_setstacksize(&attributes, EffectiveStackSize(properties.stackSizeBytes)) != 0)
    {
        pthread_attr_destroy(&attributes);
        return result;
    }

    StartHandshake handshake;
    handshake.routine = routine;
    handshake.argument = argument;
    handshake.properties = &properties;

    pthread_t thread{};
    const int createError = pthread_create(&thread, &attributes, ThreadEntry, &handshake);
    pthread_attr_destroy(&attributes);
    if (createError != 0)
    {
        return result;
    }

    {
        std::unique_lock lock(handshake.mutex);
        handshake.reported.wait(lock, [&] { return handshake.hasReported; });
    }
    result.status = handshake.status;
    result.priorityApplied = handshake.priorityApplied;
    if (result.status != ThreadStartStatus::Started)
    {
        pthread_join(thread, nullptr);
        result.priorityApplied = false;
        return result;
    }
    handle.nativeHandle = static_cast<uint64_t>(thread);
    return result;
}

void JoinThread(ZkThreadHandle& handle)
{
    if (!handle.IsValid())
    {
        return;
    }
    pthread_join(static_cast<pthread_t>(handle.nativeHandle), nullptr);
    handle.nativeHandle = 0;
}

void SetCurrentThreadName(const char* name)
{
    if (name == nullptr)
    {
        return;
    }
    // Cut at a whole UTF-8 character so the kernel never holds half of one.
    char kernelName[kKernelThreadNameMax + 1] = {};
    size_t length = strnlen(name, kKernelThreadNameMax + 1);
    if (length > kKernelThreadNameMax)
    {
        length = kKernelThreadNameMax;
        while (length > 0 && (static_cast<unsigned char>(name[length]) & 0xC0) == 0x80)
        {
            --length;
        }
    }
    std::memcpy(kernelName, name, length);
    pthread_setname_np(pthread_self(), kernelName);
}

void YieldProcessor()
{
    sched_yield();
}

void SleepMilliseconds(uint32_t milliseconds)
{
    timespec remaining{static_cast<time_t>(milliseconds / 1000),
                       static_cast<long>(milliseconds % 1000) * 1'000'000L};
    while (nanosleep(&remaining, &remaining) != 0 && errno == EINTR)
    {
    }
}

uint32_t CurrentThreadId()
{
    return static_cast<uint32_t>(gettid());
}
} // namespace ZK::Platform
