// Pages and spans to and from the system: mapping with span alignment, carving runs of spans out of
// a mapping, and giving spans back until a whole mapping can be released.
#include "MemoryMgr/CZkSpanAllocator.h"

#include "MemoryMgr/SpanMappedBytes.h"

#include <cerrno>
#include <cstring>

namespace ZK::SpanAlloc
{
ZkSpan* CZkSpanAllocator::SpanAt(ZkSpan* base, uint32_t spans) const
{
    return reinterpret_cast<ZkSpan*>(reinterpret_cast<char*>(base) + (uint64_t(spans) << m_spanShift));
}

ZkSpan* CZkSpanAllocator::MasterOf(ZkSpan* span) const
{
    if (span->flags & kSpanMaster)
        return span;
    return reinterpret_cast<ZkSpan*>(reinterpret_cast<char*>(span) -
                                     (uint64_t(span->offsetFromMaster) << m_spanShift));
}

// Block headers are found by masking a block's address, so every mapping must start its spans on a
// span boundary. When the system maps at a finer granularity than the span size, one span of slack
// is mapped and the start moves to the next boundary; the advance is recorded so the release can
// hand back the exact range. This applies to every mapping, small ones included: a mapping of a few
// pages (aligned blocks) that is not span-aligned would put its header out of reach of the mask.
void* CZkSpanAllocator::MapPages(size_t size, uint32_t& alignmentOffset, void*& cookie, bool alignedPath)
{
    uint64_t slack = m_mapGranularity < m_spanSize ? m_spanSize : 0;
    for (;;)
    {
        const uint64_t total = size + slack;
        if (!TryAddMappedBytes(total))
        {
            if (alignedPath)
                errno = ENOMEM;
            return nullptr;
        }
        void* mappingCookie = nullptr;
        auto* address = static_cast<char*>(m_pageAllocHook(total, &mappingCookie));
        if (!address)
        {
            SubtractMappedBytes(total);
            if (alignedPath)
                errno = ENOMEM;
            return nullptr;
        }
        const uintptr_t misalignment = reinterpret_cast<uintptr_t>(address) & (m_spanSize - 1);
        if (slack != 0)
        {
            const uint64_t advance = m_spanSize - misalignment;
            alignmentOffset = static_cast<uint32_t>(advance / 8);
            cookie = mappingCookie;
            return address + advance;
        }
        if (misalignment == 0)
        {
            alignmentOffset = 0;
            cookie = mappingCookie;
            return address;
        }
        // The page hook promised pages of the configured size but gave a less aligned address:
        // give it back and map again with slack.
        m_pageFreeHook(address, total, mappingCookie, total);
        SubtractMappedBytes(total);
        slack = m_spanSize;
    }
}

void CZkSpanAllocator::UnmapPages(void* address, size_t size, size_t releaseSize, uint32_t alignmentOffset,
                                  void* cookie)
{
    if (releaseSize != 0 && alignmentOffset != 0)
    {
        releaseSize += m_spanSize;
        address = static_cast<char*>(address) - uint64_t(alignmentOffset) * 8;
    }
    m_pageFreeHook(address, size, cookie, releaseSize);
    if (releaseSize != 0)
        SubtractMappedBytes(releaseSize);
}

ZkSpan* CZkSpanAllocator::MapSpans(uint32_t spanCount)
{
    uint32_t alignmentOffset = 0;
    void* cookie = nullptr;
    auto* master = static_cast<ZkSpan*>(MapPages(uint64_t(spanCount) << m_spanShift, alignmentOffset, cookie, false));
    if (!master)
        return nullptr;
    std::memset(static_cast<void*>(master), 0, sizeof(ZkSpan));
    master->flags = kSpanMaster;
    master->spanCount = spanCount;
    master->totalSpans = spanCount;
    master->remainingSpans.store(static_cast<int32_t>(spanCount), std::memory_order_relaxed);
    master->alignmentOffset = alignmentOffset;
    master->mappingCookie = cookie;
    return master;
}

ZkSpan* CZkSpanAllocator::CarveRun(ZkSpan* at, ZkSpan* master, uint32_t spanCount)
{
    if (at != master)
    {
        at->flags = kSpanSubspan;
        at->offsetFromMaster = static_cast<uint32_t>(
            (reinterpret_cast<char*>(at) - reinterpret_cast<char*>(master)) >> m_spanShift);
    }
    at->spanCount = spanCount;
    at->next = nullptr;
    at->previous = nullptr;
    return at;
}

void CZkSpanAllocator::GiveBackSpan(ZkSpan* span)
{
    const uint32_t spanCount = span->spanCount;
    ZkSpan* master = span;
    if (span->flags & kSpanMaster)
    {
        // The master's header keeps the mapping's bookkeeping, so its pages stay until the end.
        span->flags |= kSpanSubspan | kSpanMasterGivenBack;
    }
    else
    {
        master = MasterOf(span);
        if (m_spanSize >= m_pageSize)
            m_pageFreeHook(span, uint64_t(spanCount) << m_spanShift, master->mappingCookie, 0);
    }
    const int32_t before = master->remainingSpans.fetch_sub(static_cast<int32_t>(spanCount), std::memory_order_acq_rel);
    if (before == static_cast<int32_t>(spanCount))
        ReleaseMasterMapping(master);
}

void CZkSpanAllocator::ReleaseMasterMapping(ZkSpan* master)
{
    const uint64_t releaseSize = uint64_t(master->totalSpans) << m_spanShift;
    const uint64_t decommitSize = m_spanSize < m_pageSize ? releaseSize : uint64_t(master->spanCount) << m_spanShift;
    UnmapPages(master, decommitSize, releaseSize, master->alignmentOffset, master->mappingCookie);
}

void CZkSpanAllocator::GiveBackHuge(ZkSpan* span)
{
    const uint64_t bytes = uint64_t(span->spanCount) << m_pageShift;
    UnmapPages(span, bytes, bytes, span->alignmentOffset, span->mappingCookie);
}
} // namespace ZK::SpanAlloc
