// Layout of the span allocator's memory: the constants that size it, the span header that starts
// every span, and the heap record that a thread allocates from. Spans are span-aligned runs of
// span-size units; a block's span header is found by masking the block's address with the span
// mask, which is why every mapping is aligned to the span size (see SpanMapping).
//
// Threading: a heap's fields are touched by its owner thread only, except the atomic ones (owner,
// deferred span list), which other threads use to hand back blocks and spans. A span's fields are
// the owner heap's, except its deferred free list and count (other threads' frees) and the
// master's remaining-span count (any thread giving spans back).
#pragma once

#include <ZK/SoundEngine/Common/ZkMemoryMgr.h>

#include <atomic>
#include <cstddef>
#include <cstdint>

namespace ZK::SpanAlloc
{
// Spans.
constexpr uint32_t kSpanHeaderBytes = 128;          // blocks start this far into a span
constexpr uint32_t kDefaultSpanBytes = 65536;
constexpr uint32_t kMinSpanBytes = 4096;
constexpr uint32_t kMaxSpanBytes = 262144;
constexpr uint32_t kDefaultSpanMapCount = 16;       // spans requested from the system at once
constexpr uint32_t kMaxReserveSpans = 16;
constexpr uint32_t kMaxLargeSpans = 32;             // larger requests are mapped directly (huge)

// Pages.
constexpr uint64_t kMinPageBytes = 256;
constexpr uint64_t kMaxPageBytes = 0x100000000ull;  // 4 GiB

// Size classes.
constexpr uint32_t kSmallGranularityBytes = 16;
constexpr uint32_t kSmallLimitBytes = 1024;
constexpr uint32_t kSmallClassCount = 65;           // classes 0-64; class 0 is 16 bytes like class 1
constexpr uint32_t kMediumGranularityBytes = 512;
constexpr uint32_t kFirstMediumBlockBytes = 1536;
constexpr uint32_t kMediumLimitMaxBytes = 32256;
constexpr uint32_t kSizeClassCount = 126;           // classes 0-125 are small or medium
constexpr uint32_t kLargeClass = 126;               // runs of whole spans
constexpr uint32_t kHugeClass = 0xFFFFFFFFu;        // direct page mappings (also specially aligned)
constexpr uint32_t kHeapRunClass = 0xFFFFFFFEu;     // spans that hold heap records
constexpr uint32_t kFullListCount = 127;            // one per class, and one for large and huge

// Span caches of a heap.
constexpr uint32_t kSingleSpanCacheCapacity = 400;
constexpr uint32_t kSingleSpanCacheTrimCount = 64;  // given back when the cache is full
constexpr uint32_t kMultiSpanCacheCount = kMaxLargeSpans - 1; // caches for 2..32 spans
constexpr uint32_t kMultiSpanCacheMaxCapacity = 99;
constexpr uint32_t kMultiSpanCacheTrimCount = 6;
constexpr uint32_t MultiSpanCacheCapacity(uint32_t spanCount) { return 100 - spanCount / 2; }

// Heaps: sixteen to a mapping, the first right after the span header.
constexpr uint32_t kHeapsPerMapping = 16;
constexpr uint32_t kMaxHeapsPerPage = 256;
constexpr uint32_t kFirstHeapOffsetBytes = 96;
constexpr uint32_t kHeapStrideBytes = 32384;
constexpr uint32_t kHeapClearBytes = 32376;
constexpr uint32_t kHeapHashBuckets = 47;
constexpr uint32_t kFirstHeapId = 2;

// Heap owners other than a thread.
constexpr uintptr_t kSharedHeapOwner = 0;
constexpr uintptr_t kReleasedHeapOwner = ~uintptr_t(0);

// Span flags.
constexpr uint32_t kSpanMaster = 1;
constexpr uint32_t kSpanSubspan = 2;
constexpr uint32_t kSpanAlignedBlocks = 4;
constexpr uint32_t kSpanMasterGivenBack = 8;

// Marks a span's deferred free list as locked by the thread that is changing it.
inline void* const kDeferredListLocked = reinterpret_cast<void*>(~uintptr_t(0));

struct ZkSpanHeap;

struct ZkSizeClass
{
    uint32_t blockSize;
    uint16_t blocksPerSpan;
    uint16_t classIndex;
};

// The first bytes of every span. A span's free list field doubles as the link of a heap's deferred
// span list: a span is only put there once none of its blocks is on a free list.
struct ZkSpan
{
    void* freeList;
    uint32_t blockCount;
    uint32_t sizeClass;
    uint32_t freeListLimit;   // blocks ever handed out into free lists
    uint32_t usedCount;       // blocks outside the span's own free list
    std::atomic<void*> deferredFreeList;
    std::atomic<uint32_t> deferredCount;
    uint32_t blockSize;
    uint32_t flags;
    uint32_t spanCount;       // spans in this run (pages for huge spans)
    uint32_t totalSpans;      // master only: spans in the whole mapping
    uint32_t offsetFromMaster; // subspan only: distance to the master in spans
    std::atomic<int32_t> remainingSpans; // master only: spans not yet given back
    uint32_t alignmentOffset; // in units of 8 bytes: skipped after the mapped address
    ZkSpanHeap* heap;
    ZkSpan* next;
    ZkSpan* previous;
    void* mappingCookie;
};
static_assert(sizeof(ZkSpan) <= kFirstHeapOffsetBytes, "the first heap follows the span header");

struct ZkSizeClassSlot
{
    void* freeList;
    ZkSpan* partialSpans;
    ZkSpan* cachedSpan;
};

struct ZkSpanHeap
{
    std::atomic<uintptr_t> owner;
    ZkSizeClassSlot classes[kSizeClassCount];
    uint32_t singleSpanCount;
    ZkSpan* singleSpanCache[kSingleSpanCacheCapacity];
    std::atomic<ZkSpan*> deferredSpans;
    uint32_t fullSpanCount;
    ZkSpan* reserve;
    ZkSpan* reserveMaster;
    uint32_t reserveCount;
    uint32_t childCount;
    ZkSpanHeap* nextInBucket;
    ZkSpanHeap* nextOrphan;
    uint32_t id;
    int32_t finalising;       // non-zero while the instance finalises this heap
    ZkSpanHeap* masterHeap;
    uint32_t multiSpanCount[kMultiSpanCacheCount];
    ZkSpan* multiSpanCache[kMultiSpanCacheCount][kMultiSpanCacheMaxCapacity];
    ZkSpan* fullLists[kFullListCount];
};
static_assert(sizeof(ZkSpanHeap) <= kHeapClearBytes, "a heap record fits its place in the mapping");
static_assert(alignof(ZkSpanHeap) <= 8 && kHeapStrideBytes % 8 == 0 && kFirstHeapOffsetBytes % 8 == 0);

// Configuration given to an instance at initialisation (zero fields take the defaults).
struct ZkSpanAllocatorConfig
{
    ZkMemPageAllocHook pageAllocHook = nullptr;
    ZkMemPageFreeHook pageFreeHook = nullptr;
    uint64_t pageSize = 0;        // 0 = the system's
    uint32_t spanSize = 0;        // 0 = kDefaultSpanBytes
    uint32_t spanMapCount = 0;    // 0 = kDefaultSpanMapCount
    uint64_t mappedBytesCap = 0;  // instance 0 only; 0 = no cap
};
} // namespace ZK::SpanAlloc
