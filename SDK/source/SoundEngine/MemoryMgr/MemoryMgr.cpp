// ZK::MemoryMgr: the settings copy and the forwarding of every call to its hooks.
#include <ZK/SoundEngine/Common/ZkMemoryMgr.h>

#include "MemoryMgr/BuiltInHooks.h"
#include "MemoryMgr/CZkSpanAllocator.h"
#include "MemoryMgr/DefaultPageHooks.h"
#include "MemoryMgr/ZkMemoryFaultInjection.h"

#include <cstring>

namespace ZK::MemoryMgr
{
namespace
{
// Written by Init and Term only, while no other sound-engine thread exists; read by every call.
ZkMemSettings g_settings = {};
bool g_initialized = false;
bool g_builtInActive = false;

bool AllocationHooksAllNull(const ZkMemSettings& settings)
{
    return !settings.malignHook && !settings.reallocHook && !settings.reallocAlignedHook && !settings.freeHook &&
           !settings.blockSizeHook;
}

bool AllocationHooksComplete(const ZkMemSettings& settings)
{
    return settings.malignHook && settings.reallocHook && settings.reallocAlignedHook && settings.freeHook;
}

void InstallBuiltInHooks()
{
    g_settings.initForThreadHook = BuiltIn::InitForThread;
    g_settings.termForThreadHook = BuiltIn::TermForThread;
    g_settings.mallocHook = BuiltIn::Malloc;
    g_settings.malignHook = BuiltIn::Malign;
    g_settings.reallocHook = BuiltIn::Realloc;
    g_settings.reallocAlignedHook = BuiltIn::ReallocAligned;
    g_settings.freeHook = BuiltIn::Free;
    g_settings.mappedBytesHook = BuiltIn::MappedBytes;
    g_settings.blockSizeHook = BuiltIn::BlockSize;
}

// Test hook: true when failure injection wants this allocation to fail (one load and a branch when
// off).
inline bool InjectedFailure(ZkMemoryId memId)
{
    return FaultInjection::ShouldFail(memId);
}
} // namespace

void GetDefaultSettings(ZkMemSettings& settings)
{
    std::memset(&settings, 0, sizeof(settings));
    settings.pageAllocHook = DefaultPageAlloc;
    settings.pageFreeHook = DefaultPageFree;
}

ZKRESULT Init(ZkMemSettings* settings)
{
    if (g_initialized)
        return ZK_Success;
    if (!settings)
        return ZK_Fail;
    if (settings->mallocHook ? !AllocationHooksComplete(*settings) : !AllocationHooksAllNull(*settings))
        return ZK_Fail;

    g_settings.lastSetting = settings->lastSetting;
    g_settings.pageAllocHook = settings->pageAllocHook;
    g_settings.pageFreeHook = settings->pageFreeHook;
    g_settings.pageSize = settings->pageSize;

    if (settings->mallocHook)
    {
        g_settings.initForThreadHook = settings->initForThreadHook;
        g_settings.termForThreadHook = settings->termForThreadHook;
        g_settings.mallocHook = settings->mallocHook;
        g_settings.malignHook = settings->malignHook;
        g_settings.reallocHook = settings->reallocHook;
        g_settings.reallocAlignedHook = settings->reallocAlignedHook;
        g_settings.freeHook = settings->freeHook;
        g_settings.mappedBytesHook = settings->mappedBytesHook;
        g_settings.blockSizeHook = settings->blockSizeHook;
    }
    else
    {
        InstallBuiltInHooks();
        SpanAlloc::ZkSpanAllocatorConfig config;
        config.pageAllocHook = settings->pageAllocHook;
        config.pageFreeHook = settings->pageFreeHook;
        config.pageSize = settings->pageSize;
        config.mappedBytesCap = settings->mappedBytesCap;
        auto& allocator = SpanAlloc::CZkSpanAllocator::Instance(0);
        allocator.Initialise(config);
        // May be null when the cap leaves no room for a heap: calls naming the shared heap then
        // answer null instead of failing Init.
        SpanAlloc::ZkSpanHeap* shared = allocator.AcquireHeap(true);
        if (shared)
            shared->owner.store(SpanAlloc::kSharedHeapOwner, std::memory_order_relaxed);
        BuiltIn::SetSharedHeap(0, shared);
        g_builtInActive = true;
    }
    g_settings.mappedBytesCap = settings->mappedBytesCap;
    g_initialized = true;
    return ZK_Success;
}

bool IsInitialized() { return g_initialized; }

void Term()
{
    if (g_builtInActive)
    {
        auto& allocator = SpanAlloc::CZkSpanAllocator::Instance(0);
        if (SpanAlloc::ZkSpanHeap* shared = BuiltIn::SharedHeap(0))
            allocator.ReleaseHeap(shared, true, true);
        BuiltIn::SetSharedHeap(0, nullptr);
        allocator.Finalise();
        g_builtInActive = false;
    }
    if (g_initialized)
    {
        std::memset(&g_settings, 0, sizeof(g_settings));
        g_initialized = false;
    }
}

void InitForThread()
{
    if (g_settings.initForThreadHook)
        g_settings.initForThreadHook();
}

void TermForThread()
{
    if (g_settings.termForThreadHook)
        g_settings.termForThreadHook();
}

// The hooks are null before Init and after Term: those calls answer null (or do nothing) instead of
// jumping through a null pointer.
// With the built-in allocator the hooks of the copy are the built-in ones: Malloc and Free take
// their inline routes instead of calling through the copy.
namespace
{
[[gnu::noinline]] void* MallocThroughChecks(ZkMemoryId memId, size_t size)
{
    if (g_builtInActive)
        return InjectedFailure(memId) ? nullptr : BuiltIn::MallocInline(memId, size);
    if (!g_settings.mallocHook || InjectedFailure(memId))
        return nullptr;
    return g_settings.mallocHook(memId, size);
}
} // namespace

void* Malloc(ZkMemoryId memId, size_t size)
{
    // The common case has no call on its way (and so no stack frame): the built-in allocator with
    // nothing armed. Everything else takes the checks above.
    if (g_builtInActive && !FaultInjection::AnyArmed()) [[likely]]
        return BuiltIn::MallocInline(memId, size);
    return MallocThroughChecks(memId, size);
}

void* Malign(ZkMemoryId memId, size_t size, uint32_t alignment)
{
    if (!g_settings.malignHook || InjectedFailure(memId))
        return nullptr;
    return g_settings.malignHook(memId, size, alignment);
}

void* Realloc(ZkMemoryId memId, void* block, size_t size)
{
    if (!g_settings.reallocHook || InjectedFailure(memId))
        return nullptr;
    return g_settings.reallocHook(memId, block, size);
}

void* ReallocAligned(ZkMemoryId memId, void* block, size_t size, uint32_t alignment)
{
    if (!g_settings.reallocAlignedHook || InjectedFailure(memId))
        return nullptr;
    return g_settings.reallocAlignedHook(memId, block, size, alignment);
}

void Free(ZkMemoryId memId, void* block)
{
    if (g_builtInActive) [[likely]]
        BuiltIn::FreeInline(memId, block);
    else if (g_settings.freeHook)
        g_settings.freeHook(memId, block);
}

size_t GetMappedBytes() { return g_settings.mappedBytesHook ? g_settings.mappedBytesHook() : 0; }

size_t GetBlockSize(ZkMemoryId memId, void* block)
{
    return g_settings.blockSizeHook ? g_settings.blockSizeHook(memId, block) : 0;
}

void GetGlobalStats(GlobalStats& stats) { std::memset(&stats, 0, sizeof(stats)); }
void GetCategoryStats(ZkMemoryId, CategoryStats&) {}
void DumpToFile(const wchar_t*) {}
void StartProfileThreadUsage() {}
uint64_t StopProfileThreadUsage() { return 0; }
} // namespace ZK::MemoryMgr
