// CZkActiveInstances: the active list, the deferred-command queue, the per-frame pass and the
// array of active limiters. The limit decisions are in CZkActiveInstancesLimits.cpp, the queries and
// stop passes in CZkActiveInstancesQueries.cpp.
#include "ZkAudiolib/Common/Playback/CZkActiveInstances.h"

#include "Platform/PlatformLock.h"
#include "ZkAudiolib/Common/Containers/ZkArray.h"
#include "ZkAudiolib/Common/Containers/ZkFixedNodeStore.h"
#include "ZkAudiolib/Common/FrontEnd/EngineLock.h"
#include "ZkAudiolib/Common/Hierarchy/CZkHierarchyNode.h"
#include "ZkAudiolib/Common/Hierarchy/CZkInstanceLimiter.h"
#include "ZkAudiolib/Common/Output/ZkPlatformAudio.h"
#include "ZkAudiolib/Common/Playback/CZkActiveInstancesState.h"
#include "ZkAudiolib/Common/Playback/CZkEnvCurves.h"
#include "ZkAudiolib/Common/Playback/CZkPlayingInstance.h"
#include "ZkAudiolib/Common/Playback/ZkVoiceLists.h"

namespace ZK::SoundEngine
{
namespace
{
struct DeferredCommand
{
    DeferredCommand* next;
    CZkPlayingInstance* instance;
    uint32_t type;
    int32_t value;
    float floatValue;
};

struct CommandQueue
{
    ZK::Platform::ZkCriticalSection lock;
    ZK::ZkFixedNodeStore<DeferredCommand> nodes;
    DeferredCommand* head = nullptr;
    DeferredCommand* tail = nullptr;
    uint32_t count = 0;
};

CommandQueue g_commands;
CZkEnvCurves g_envCurves;

// The engine-wide limiter: set up before the program runs, for its whole life.
CZkInstanceLimiter g_globalLimiter(CZkActiveInstances::kDefaultMaxVoices, true, true, 0, kEngineLimitReason);

DeferredCommand* TakeHead()
{
    DeferredCommand* command = g_commands.head;
    g_commands.head = command->next;
    if (g_commands.head == nullptr)
        g_commands.tail = nullptr;
    --g_commands.count;
    return command;
}

// Under the queue's lock.
void FlushLocked()
{
    while (g_commands.count != 0)
    {
        DeferredCommand* command = TakeHead();
        CZkPlayingInstance* instance = command->instance;
        const uint32_t type = command->type;
        instance->ApplyDeferredCommand(type, command->value, command->floatValue);
        g_commands.nodes.Destroy(command);
        if (type == CZkPlayingInstance::kCommandVoiceEnded)
        {
            g_activeInstances.Unlink(instance);
            ZkVoiceLists::RemoveInstance(instance);
            CZkPlayingInstance::Free(instance);
        }
    }
}

uint64_t KeyOf(const CZkInstanceLimiter* limiter)
{
    return limiter->OrderKey();
}
} // namespace

ZkActiveInstanceState g_activeInstances;

void ZkActiveInstanceState::Unlink(CZkPlayingInstance* instance)
{
    CZkPlayingInstance* previous = nullptr;
    for (CZkPlayingInstance* at = head; at != nullptr; previous = at, at = at->pNextActive)
    {
        if (at != instance)
            continue;
        (previous != nullptr ? previous->pNextActive : head) = at->pNextActive;
        if (tail == at)
            tail = previous;
        at->pNextActive = nullptr;
        --count;
        return;
    }
}

ZKRESULT CZkActiveInstances::Init()
{
    g_activeInstances.excluded = 0;
    g_activeInstances.rebuildPending = false;
    g_activeInstances.rebuildBlocked = false;
    if (g_commands.nodes.Init(kBlockCommands) != ZK_Success)
        return ZK_InsufficientMemory;
    g_pEnvCurves = &g_envCurves;
    return InitPlatformAudio();
}

void CZkActiveInstances::Term()
{
    // Freed under the global engine lock, as the tick frees them: an instance's release can be its
    // node's last, and a bus that goes then leaves the top-level list under the engine lock while
    // the node table's lock is held. The engine lock is always the one taken first.
    ZK::Platform::ZkScopedLock engineLock(g_EngineLock);
    while (g_activeInstances.head != nullptr)
    {
        CZkPlayingInstance* instance = g_activeInstances.head;
        g_activeInstances.Unlink(instance);
        instance->Kill(CZkPlayingInstance::kKillStop);
        ZkVoiceLists::RemoveInstance(instance);
        CZkPlayingInstance::Free(instance);
    }
    {
        ZK::Platform::ZkScopedLock lock(g_commands.lock);
        while (g_commands.count != 0)
            g_commands.nodes.Destroy(TakeHead()); // discarded without being applied
        g_commands.nodes.Term();
    }
    g_activeInstances.limiters.Term();
    g_globalLimiter.FreeStorage();
    g_activeInstances.excluded = 0;
    g_activeInstances.rebuildPending = false;
    g_activeInstances.rebuildBlocked = false;
    g_envCurves.Term();
    g_pEnvCurves = nullptr;
}

void CZkActiveInstances::Add(CZkPlayingInstance* instance)
{
    instance->pNextActive = nullptr;
    (g_activeInstances.tail != nullptr ? g_activeInstances.tail->pNextActive : g_activeInstances.head) =
        instance;
    g_activeInstances.tail = instance;
    ++g_activeInstances.count;
}

void CZkActiveInstances::PostCommand(CZkPlayingInstance* instance, uint32_t type, int32_t value,
                                     float floatValue)
{
    ZK::Platform::ZkScopedLock lock(g_commands.lock);
    DeferredCommand* command = g_commands.nodes.Create();
    if (command == nullptr)
    {
        // Out of memory: applying what is queued gives the block's nodes back.
        FlushLocked();
        command = g_commands.nodes.Create();
        if (command == nullptr)
            return;
    }
    *command = DeferredCommand{nullptr, instance, type, value, floatValue};
    (g_commands.tail != nullptr ? g_commands.tail->next : g_commands.head) = command;
    g_commands.tail = command;
    ++g_commands.count;
}

void CZkActiveInstances::FlushCommands()
{
    ZK::Platform::ZkScopedLock lock(g_commands.lock);
    FlushLocked();
}

void CZkActiveInstances::RequestLimiterRebuild()
{
    g_activeInstances.rebuildPending = true;
}

void CZkActiveInstances::SetLimiterRebuildBlocked(bool blocked)
{
    g_activeInstances.rebuildBlocked = blocked;
}

void CZkActiveInstances::FrameUpdate()
{
    const bool rebuild = g_activeInstances.rebuildPending && !g_activeInstances.rebuildBlocked;
    for (CZkPlayingInstance* instance = g_activeInstances.head; instance != nullptr;
         instance = instance->pNextActive)
    {
        if (rebuild && instance->Limiters().IsEmpty() && !instance->IsDetached())
            instance->RegisterInLimiters();
        instance->SetStartsVirtual(false);
    }
    if (rebuild)
        g_activeInstances.rebuildPending = false;
    // A limiter may leave the array while it enforces (its last instance stopped at once).
    for (uint32_t index = 0; index < g_activeInstances.limiters.Length();)
    {
        CZkInstanceLimiter* limiter = g_activeInstances.limiters[index];
        limiter->Enforce();
        if (index < g_activeInstances.limiters.Length() && g_activeInstances.limiters[index] == limiter)
            ++index;
    }
}

ZKRESULT CZkActiveInstances::RegisterLimiter(CZkInstanceLimiter* limiter)
{
    ZK::ZkArray<CZkInstanceLimiter*>& limiters = g_activeInstances.limiters;
    uint32_t low = 0;
    uint32_t high = limiters.Length();
    while (low < high)
    {
        const uint32_t middle = low + (high - low) / 2;
        if (KeyOf(limiters[middle]) < KeyOf(limiter))
            low = middle + 1;
        else
            high = middle;
    }
    for (uint32_t at = low; at < limiters.Length() && KeyOf(limiters[at]) == KeyOf(limiter); ++at)
    {
        if (limiters[at] == limiter)
            return ZK_Success;
    }
    return limiters.Insert(low, limiter) != nullptr ? ZK_Success : ZK_InsufficientMemory;
}

ZKRESULT CZkActiveInstances::UnregisterLimiter(CZkInstanceLimiter* limiter)
{
    const uint32_t index = g_activeInstances.limiters.Find(limiter);
    if (index == g_activeInstances.limiters.Length())
        return ZK_Fail;
    g_activeInstances.limiters.Erase(index);
    // Arrays are given back whenever nothing plays, so an idle engine holds none (the engine-wide
    // limiter outlives the engine).
    if (g_activeInstances.limiters.IsEmpty())
        g_activeInstances.limiters.Term();
    if (limiter == &g_globalLimiter)
        g_globalLimiter.FreeStorage();
    return ZK_Success;
}

CZkInstanceLimiter& CZkActiveInstances::GlobalLimiter()
{
    return g_globalLimiter;
}

void CZkActiveInstances::AddExcluded(int32_t delta)
{
    g_activeInstances.excluded = static_cast<uint32_t>(g_activeInstances.excluded + delta);
}

CZkPlayingInstance* CZkActiveInstances::First()
{
    return g_activeInstances.head;
}
uint32_t CZkActiveInstances::ActiveCount()
{
    return g_activeInstances.count;
}
uint32_t CZkActiveInstances::ExcludedCount()
{
    return g_activeInstances.excluded;
}

uint32_t CZkActiveInstances::QueuedCommands()
{
    ZK::Platform::ZkScopedLock lock(g_commands.lock);
    return g_commands.count;
}

uint32_t CZkActiveInstances::LimiterCount()
{
    return g_activeInstances.limiters.Length();
}
CZkInstanceLimiter* CZkActiveInstances::LimiterAt(uint32_t index)
{
    return g_activeInstances.limiters[index];
}
} // namespace ZK::SoundEngine
