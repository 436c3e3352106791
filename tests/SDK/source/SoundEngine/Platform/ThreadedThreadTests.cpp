// Starting threads: the kernel sees the name (cut to 15 characters), the priority and affinity
// are applied or, for a priority that needs privilege the process lacks, left unchanged while the
// thread still starts; a setting the system refuses otherwise fails the start without running
// the routine.
#include "Platform/PlatformEvent.h"
#include "Platform/PlatformThread.h"

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <grp.h>
#include <gtest/gtest.h>
#include <initializer_list>
#include <pthread.h>
#include <sched.h>
#include <string>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <unistd.h>
#include <vector>

namespace
{
using namespace ZK::Platform;

// What a started thread sees of itself. The thread records it, reports, and stays alive until
// released, so the test can look at it from outside as well.
struct ThreadObservation
{
    ZkEvent started;
    ZkEvent release;
    std::atomic<int> runs{0};
    uint32_t threadId = 0;
    int nice = 0;
    int policy = -1;
    size_t stackSizeBytes = 0;
    cpu_set_t affinity{};

    ThreadObservation()
    {
        started.Init(EventReset::Manual);
        release.Init(EventReset::Manual);
    }

    static void Routine(void* raw)
    {
        auto& self = *static_cast<ThreadObservation*>(raw);
        self.runs.fetch_add(1);
        self.threadId = CurrentThreadId();
        errno = 0;
        self.nice = getpriority(PRIO_PROCESS, static_cast<id_t>(gettid()));
        sched_param parameters{};
        pthread_getschedparam(pthread_self(), &self.policy, &parameters);
        pthread_attr_t attributes;
        if (pthread_getattr_np(pthread_self(), &attributes) == 0)
        {
            pthread_attr_getstacksize(&attributes, &self.stackSizeBytes);
            pthread_attr_destroy(&attributes);
        }
        sched_getaffinity(0, sizeof(self.affinity), &self.affinity);
        self.started.Set();
        self.release.Wait();
    }
};

// Starts an observed thread; when it started, waits until it has recorded what it sees.
ThreadStartResult StartObserved(ZkThreadHandle& handle, ThreadObservation& observation,
                                const ThreadProperties& properties)
{
    const ThreadStartResult result =
        StartThread(handle, ThreadObservation::Routine, &observation, properties);
    if (result.status == ThreadStartStatus::Started)
    {
        observation.started.Wait();
    }
    return result;
}

void Finish(ZkThreadHandle& handle, ThreadObservation& observation)
{
    observation.release.Set();
    JoinThread(handle);
}

int ProcessNice()
{
    return getpriority(PRIO_PROCESS, static_cast<id_t>(getpid()));
}

// The name of every thread of the process, by thread id, as the kernel shows it.
std::vector<std::pair<uint32_t, std::string>> KernelThreadNames()
{
    std::vector<std::pair<uint32_t, std::string>> names;
    for (const auto& task : std::filesystem::directory_iterator("/proc/self/task"))
    {
        std::ifstream comm(task.path() / "comm");
        std::string name;
        std::getline(comm, name);
        names.emplace_back(static_cast<uint32_t>(std::stoul(task.path().filename().string())), name);
    }
    return names;
}

TEST(ThreadedThread, NameAppearsInProcCutToFifteenCharacters)
{
    struct Case
    {
        const char* name;
        const char* kernelName;
    };
    const Case cases[] = {
        {"ZK::EventManager", "ZK::EventManage"},
        {"ZK::BankManagerThread", "ZK::BankManager"},
        {"ABCDEFGHIJKLMNO", "ABCDEFGHIJKLMNO"},
        {"IO", "IO"},
        // Cutting at 15 bytes would split the two-byte e-acute; the whole character goes.
        {"ABCDEFGHIJKLMN\xC3\xA9", "ABCDEFGHIJKLMN"},
    };
    for (const Case& testCase : cases)
    {
        SCOPED_TRACE(testCase.name);
        ThreadObservation observation;
        ZkThreadHandle handle;
        ThreadProperties properties;
        properties.name = testCase.name;
        ASSERT_EQ(StartObserved(handle, observation, properties).status, ThreadStartStatus::Started);

        bool found = false;
        for (const auto& [threadId, name] : KernelThreadNames())
        {
            if (threadId == observation.threadId)
            {
                found = true;
                EXPECT_EQ(name, testCase.kernelName);
            }
        }
        EXPECT_TRUE(found) << "no /proc/self/task entry for thread " << observation.threadId;
        Finish(handle, observation);
        EXPECT_FALSE(handle.IsValid());
        EXPECT_EQ(observation.runs.load(), 1);
    }
}

TEST(ThreadedThread, PrioritiesApplyOrAreLeftUnchangedForLackOfPrivilege)
{
    const int base = ProcessNice();
    struct Case
    {
        const char* what;
        int32_t priority;
        bool needsPrivilege;
        bool realTime;
        int expectedNice; // when applied
    };
    const Case cases[] = {
        {"idle", -15, false, false, 19},
        {"lowest", -2, false, false, std::min(base + 10, 19)},
        {"below normal", -1, false, false, std::min(base + 5, 19)},
        {"normal", 0, false, false, base},
        {"above normal", 1, true, false, std::max(base - 5, -20)},
        {"highest", 2, true, false, std::max(base - 10, -20)},
        {"time-critical", 15, true, true, base},
    };
    for (const Case& testCase : cases)
    {
        SCOPED_TRACE(testCase.what);
        ThreadObservation observation;
        ZkThreadHandle handle;
        ThreadProperties properties;
        properties.priority = testCase.priority;
        const ThreadStartResult result = StartObserved(handle, observation, properties);
        ASSERT_EQ(result.status, ThreadStartStatus::Started);
        EXPECT_EQ(observation.runs.load(), 1);
        if (result.priorityApplied)
        {
            EXPECT_EQ(observation.policy, testCase.realTime ? SCHED_RR : SCHED_OTHER);
            EXPECT_EQ(observation.nice, testCase.expectedNice);
        }
        else
        {
            EXPECT_TRUE(testCase.needsPrivilege) << "only a raise may be refused";
            EXPECT_EQ(observation.policy, SCHED_OTHER);
            EXPECT_EQ(observation.nice, base) << "a refused priority leaves the thread unchanged";
        }
        Finish(handle, observation);
    }
}

TEST(ThreadedThread, UnchangedPriorityIsNotApplied)
{
    ThreadObservation observation;
    ZkThreadHandle handle;
    const ThreadStartResult result = StartObserved(handle, observation, ThreadProperties{});
    EXPECT_EQ(result.status, ThreadStartStatus::Started);
    EXPECT_FALSE(result.priorityApplied);
    EXPECT_EQ(observation.nice, ProcessNice());
    Finish(handle, observation);
}

// Runs in a child process that has given up its privilege: as root it becomes "nobody"; in every
// case it may no longer raise a nice value or take a real-time policy.
[[noreturn]] void StartRaisedPrioritiesWithoutPrivilege()
{
    constexpr uid_t kNobody = 65534;
    if (geteuid() == 0 && (setgroups(0, nullptr) != 0 || setgid(kNobody) != 0 || setuid(kNobody) != 0))
    {
        std::fprintf(stderr, "could not drop root\n");
        _exit(2);
    }
    prctl(PR_SET_DUMPABLE, 1); // keep /proc/self readable for the sanitizers
    const rlimit none{0, 0};
    if (setrlimit(RLIMIT_NICE, &none) != 0 || setrlimit(RLIMIT_RTPRIO, &none) != 0)
    {
        std::fprintf(stderr, "could not lower the limits\n");
        _exit(2);
    }
    const int base = ProcessNice();
    for (const int32_t priority : {1, 2, 15})
    {
        ThreadObservation observation;
        ZkThreadHandle handle;
        ThreadProperties properties;
        properties.priority = priority;
        const ThreadStartResult result = StartObserved(handle, observation, properties);
        if (result.status != ThreadStartStatus::Started)
        {
            std::fprintf(stderr, "priority %d: the thread did not start\n", priority);
            _exit(3);
        }
        Finish(handle, observation);
        if (result.priorityApplied || observation.runs.load() != 1 || observation.nice != base ||
            observation.policy != SCHED_OTHER)
        {
            std::fprintf(stderr, "priority %d: applied %d runs %d nice %d policy %d\n", priority,
                         result.priorityApplied, observation.runs.load(), observation.nice,
                         observation.policy);
            _exit(4);
        }
    }
    std::fprintf(stderr, "refused priorities left unchanged\n");
    _exit(0);
}

TEST(ThreadedThread, PriorityRefusedForLackOfPrivilegeStillStartsTheThread)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(StartRaisedPrioritiesWithoutPrivilege(), testing::ExitedWithCode(0),
                "refused priorities left unchanged");
}

TEST(ThreadedThread, PriorityOffTheScaleFailsTheStartWithoutRunning)
{
    for (const int32_t priority : {-16, -3, 3, 7, 14, 16, 0x10001})
    {
        SCOPED_TRACE(priority);
        ThreadObservation observation;
        ZkThreadHandle handle;
        ThreadProperties properties;
        properties.priority = priority;
        const ThreadStartResult result =
            StartThread(handle, ThreadObservation::Routine, &observation, properties);
        EXPECT_EQ(result.status, ThreadStartStatus::PriorityRefused);
        EXPECT_FALSE(result.priorityApplied);
        EXPECT_FALSE(handle.IsValid());
        EXPECT_EQ(observation.runs.load(), 0);
    }
}

TEST(ThreadedThread, AffinityPinsTheThreadOrFailsTheStart)
{
    cpu_set_t allowed;
    ASSERT_EQ(sched_getaffinity(0, sizeof(allowed), &allowed), 0);
    int firstAllowed = -1;
    for (int processor = 0; processor < 64 && firstAllowed < 0; ++processor)
    {
        if (CPU_ISSET(processor, &allowed))
        {
            firstAllowed = processor;
        }
    }
    ASSERT_GE(firstAllowed, 0);

    {
        ThreadObservation observation;
        ZkThreadHandle handle;
        ThreadProperties properties;
        properties.affinityMask = uint64_t{1} << firstAllowed;
        ASSERT_EQ(StartObserved(handle, observation, properties).status, ThreadStartStatus::Started);
        EXPECT_EQ(CPU_COUNT(&observation.affinity), 1);
        EXPECT_TRUE(CPU_ISSET(firstAllowed, &observation.affinity));
        Finish(handle, observation);
    }
    // A processor the system refuses is one it does not have: the first beyond the configured
    // ones. (One outside this process's own mask will not do: `taskset` narrows that mask, but a
    // thread may still be pinned to any processor the system has.) A mask of 64 bits has no such
    // processor on a machine of 64 or more.
    const long configured = sysconf(_SC_NPROCESSORS_CONF);
    ASSERT_GT(configured, 0);
    if (configured < 64)
    {
        ThreadObservation observation;
        ZkThreadHandle handle;
        ThreadProperties properties;
        properties.affinityMask = uint64_t{1} << configured;
        const ThreadStartResult result =
            StartThread(handle, ThreadObservation::Routine, &observation, properties);
        EXPECT_EQ(result.status, ThreadStartStatus::AffinityRefused);
        EXPECT_FALSE(handle.IsValid());
        EXPECT_EQ(observation.runs.load(), 0);
    }
}

TEST(ThreadedThread, StackSizeIsAtLeastTheRequest)
{
    for (const size_t requested : {size_t{4096}, size_t{0x20000}, size_t{1} << 20})
    {
        SCOPED_TRACE(requested);
        ThreadObservation observation;
        ZkThreadHandle handle;
        ThreadProperties properties;
        properties.stackSizeBytes = requested;
        ASSERT_EQ(StartObserved(handle, observation, properties).status, ThreadStartStatus::Started);
        EXPECT_GE(observation.stackSizeBytes, requested);
        Finish(handle, observation);
    }
}

TEST(ThreadedThread, CurrentThreadIdIsTheKernelThreadId)
{
    EXPECT_EQ(CurrentThreadId(), static_cast<uint32_t>(gettid()));
    ZkThreadHandle handle;
    EXPECT_EQ(StartThread(handle, nullptr, nullptr, ThreadProperties{}).status,
              ThreadStartStatus::CreateFailed);
    JoinThread(handle); // an invalid handle is ignored
}
} // namespace
