// The sound engine's memory manager: every allocation of the sound engine goes through the free
// functions of ZK::MemoryMgr and names a memory id (ZkMemoryId). The manager holds no memory of its
// own: Init keeps a copy of the caller's ZkMemSettings and every call is forwarded to the hooks of
// that copy. When the caller leaves the allocation hooks empty, Init installs the built-in span
// allocator, which takes its pages through the page hooks of the settings.
//
// Threading: Init and Term run on one thread while no other sound-engine thread exists. Between
// them the allocation functions may be called from any thread; the built-in allocator gives each
// thread a heap of its own. Every sound-engine thread calls InitForThread when it starts and
// TermForThread before it ends, so that its heap is handed over to a later thread.
//
// Ownership: a block belongs to the caller until it is given back with Free (or moved by Realloc),
// naming the same instance bit (0x40000000) it was allocated with. The allocation functions must not
// be called before a successful Init or after Term; callers check IsInitialized at their start-up.
// A null result from an allocation function means out of memory (the caller reports
// ZK_InsufficientMemory, 52) or, with the built-in allocator, an alignment it refuses.
#pragma once

#include <ZK/SoundEngine/Common/ZkResult.h>

#include <cstddef>
#include <cstdint>

// Memory id: bits 0-28 are the category (pool id), passed unchanged to caller-supplied hooks and
// ignored by the built-in allocator; bit 29 takes the block from the shared heap; bit 30 chooses the
// built-in allocator's second instance; bit 31 is not examined.
typedef int32_t ZkMemoryId;

constexpr ZkMemoryId ZkMemID_CategoryMask = 0x1FFFFFFF;
// Allocate from the instance's shared heap instead of the calling thread's heap. Ignored by Free.
constexpr ZkMemoryId ZkMemID_SharedHeap = 0x20000000;
// Use instance 1 of the built-in allocator. A block must be freed with the bit it was allocated with.
constexpr ZkMemoryId ZkMemID_SecondInstance = 0x40000000;

// Pool ids the sound engine passes (bits 29 and 30 clear).
constexpr ZkMemoryId ZkMemID_Default = 0;          // engine objects, growable arrays, hash tables
constexpr ZkMemoryId ZkMemID_BankData = 1;         // decision trees, dialogue events, event actions
constexpr ZkMemoryId ZkMemID_BankObjects = 2;      // hierarchy nodes, buses, state/switch tables
constexpr ZkMemoryId ZkMemID_GameObjects = 4;      // game objects, listeners, emitters, positions
constexpr ZkMemoryId ZkMemID_Processing = 5;       // sample buffers, codec objects, output devices
constexpr ZkMemoryId ZkMemID_ProcessingPlugins = 6; // plug-in instances, filters, base sinks
constexpr ZkMemoryId ZkMemID_StreamMgr = 7;        // stream manager, devices, streams, I/O views
constexpr ZkMemoryId ZkMemID_DeviceIOFlag = 8;     // OR-ed into a device's memory id for its I/O region
constexpr ZkMemoryId ZkMemID_VoicePipeline = 9;    // voice pipeline list, tracked node sets
constexpr ZkMemoryId ZkMemID_MixGraph = 14;        // mix-graph contexts of the render pass, bus meters
constexpr ZkMemoryId ZkMemID_FilePackage = 15;     // file-package headers and look-up tables
constexpr ZkMemoryId ZkMemID_EngineSingletons = 16; // singletons created by the engine's Init

// Hooks of ZkMemSettings.
typedef void (*ZkMemInitForThreadHook)();
typedef void (*ZkMemTermForThreadHook)();
typedef void* (*ZkMemMallocHook)(ZkMemoryId memId, size_t size);
typedef void* (*ZkMemMalignHook)(ZkMemoryId memId, size_t size, uint32_t alignment);
typedef void* (*ZkMemReallocHook)(ZkMemoryId memId, void* block, size_t size);
typedef void* (*ZkMemReallocAlignedHook)(ZkMemoryId memId, void* block, size_t size, uint32_t alignment);
typedef void (*ZkMemFreeHook)(ZkMemoryId memId, void* block);
typedef size_t (*ZkMemMappedBytesHook)();
typedef size_t (*ZkMemBlockSizeHook)(ZkMemoryId memId, void* block);
// Gets fresh read-write pages for the built-in allocator. *outCookie is null on entry; whatever the
// hook stores there is handed back to the page-free hook with the same pages. Null on failure.
typedef void* (*ZkMemPageAllocHook)(size_t size, void** outCookie);
// Gives pages back: releaseSize non-zero releases the whole mapping that starts at address;
// releaseSize zero decommits size bytes at address (the range stays mapped).
typedef void (*ZkMemPageFreeHook)(void* address, size_t size, void* cookie, size_t releaseSize);

static_assert(sizeof(size_t) == sizeof(uint64_t), "sizes of the memory interface are 64-bit");

// Settings of the memory manager, filled by ZK::MemoryMgr::GetDefaultSettings and adjusted by the
// caller before Init. Either all of mallocHook, malignHook, reallocHook, reallocAlignedHook and
// freeHook are set (caller hooks), or none of them nor blockSizeHook (built-in allocator).
struct ZkMemSettings
{
    ZkMemInitForThreadHook initForThreadHook;
    ZkMemTermForThreadHook termForThreadHook;
    ZkMemMallocHook mallocHook;
    ZkMemMalignHook malignHook;
    ZkMemReallocHook reallocHook;
    ZkMemReallocAlignedHook reallocAlignedHook;
    ZkMemFreeHook freeHook;
    ZkMemMappedBytesHook mappedBytesHook;
    ZkMemBlockSizeHook blockSizeHook;
    uint64_t mappedBytesCap;       // bytes the built-in allocator may hold from the system; 0 = no cap
    ZkMemPageAllocHook pageAllocHook;
    ZkMemPageFreeHook pageFreeHook;
    uint64_t reserved64[2];        // not read
    uint32_t pageSize;             // page size of the built-in allocator; 0 = the system's
    uint32_t reserved32[3];        // not read
    uint32_t lastSetting;          // kept in the settings copy; nothing reads it
};

namespace ZK::MemoryMgr
{
// Statistics records. The manager keeps no statistics: GetGlobalStats zeroes its record and
// GetCategoryStats leaves its record as it was.
struct GlobalStats
{
    uint64_t usedBytes;
    uint64_t reservedBytes;
    uint64_t maxUsedBytes;
    uint32_t allocationCount;
    uint32_t freeCount;
};

struct CategoryStats
{
    uint64_t usedBytes;
    uint64_t peakUsedBytes;
    uint32_t allocationCount;
    uint32_t freeCount;
};

// Every field zero or null, except the page hooks, which get the system's virtual-memory wrappers.
void GetDefaultSettings(ZkMemSettings& settings);
// ZK_Success (also when already initialised: the first settings are kept); ZK_Fail for null
// settings or an incomplete or mixed set of allocation hooks.
ZKRESULT Init(ZkMemSettings* settings);
bool IsInitialized();
void Term();

void InitForThread();
void TermForThread();

void* Malloc(ZkMemoryId memId, size_t size);
void* Malign(ZkMemoryId memId, size_t size, uint32_t alignment);
void* Realloc(ZkMemoryId memId, void* block, size_t size);
void* ReallocAligned(ZkMemoryId memId, void* block, size_t size, uint32_t alignment);
void Free(ZkMemoryId memId, void* block);

// Bytes held from the system (0 when the hook is absent) and usable size of a block (0 for null or
// when the hook is absent).
size_t GetMappedBytes();
size_t GetBlockSize(ZkMemoryId memId, void* block);

void GetGlobalStats(GlobalStats& stats);
void GetCategoryStats(ZkMemoryId memId, CategoryStats& stats);
void DumpToFile(const wchar_t* fileName);
void StartProfileThreadUsage();
uint64_t StopProfileThreadUsage();
} // namespace ZK::MemoryMgr

// Thread-local storage for the built-in allocator's per-thread heaps, exported with C linkage.
extern "C"
{
// Stores the new slot index into *slot in every case; 0 on success, -1 when the system has no slot
// left (the stored index is then 0xFFFFFFFF).
int32_t ZkTlsAllocateSlot(uint32_t* slot);
void ZkTlsFreeSlot(uint32_t slot);
void* ZkTlsGetValue(uint32_t slot);
void ZkTlsSetValue(uint32_t slot, void* value);
}
