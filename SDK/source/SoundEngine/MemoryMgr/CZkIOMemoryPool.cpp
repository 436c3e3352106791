#include "MemoryMgr/CZkIOMemoryPool.h"

#include "Platform/PlatformEvent.h"

#include <cstring>

namespace ZK::MemoryMgr
{
namespace
{
constexpr ZkMemoryId kViewMemId = ZkMemID_StreamMgr;

// Index order: file key ascending, then position descending, then address ascending.
bool IndexLess(const ZkIOMemoryView* left, const ZkIOMemoryView* right)
{
    if (left->fileKey != right->fileKey)
        return left->fileKey < right->fileKey;
    if (left->position != right->position)
        return left->position > right->position;
    return left->address < right->address;
}

uint64_t RoundUp(uint64_t value, uint64_t unit) { return unit ? (value + unit - 1) / unit * unit : value; }

uint64_t PowerOfTwoAtLeast(uint64_t from, uint64_t atLeast)
{
    uint64_t value = from;
    while (value < atLeast)
        value <<= 1;
    return value;
}
} // namespace

ZKRESULT CZkIOMemoryPool::Setup(const ZkIOMemorySettings& settings, Platform::ZkEvent* memoryAvailable)
{
    Term();
    if (settings.granularity == 0)
        return ZK_InvalidParameter;
    const uint32_t blocks = settings.ioMemoryBytes / settings.granularity;
    const uint64_t bytes = uint64_t(blocks) * settings.granularity;
    if (bytes != 0)
    {
        const uint64_t smallest = PowerOfTwoAtLeast(kMinIOBlockBytes, settings.ioMemoryAlignment);
        const uint64_t largest = PowerOfTwoAtLeast(smallest, settings.granularity);
        if (!m_buddy.Setup(nullptr, 0, smallest, largest))
            return ZK_InvalidParameter;
        const uint64_t usable = bytes / largest * largest;
        if (usable == 0)
            return ZK_Fail;
        if (settings.ioMemoryBlock)
        {
            m_region = static_cast<char*>(settings.ioMemoryBlock);
            m_regionMemId = kRegionNotOwned;
        }
        else
        {
            const ZkMemoryId memId = static_cast<ZkMemoryId>(settings.ioMemoryId) | ZkMemID_DeviceIOFlag;
            m_region = static_cast<char*>(ZK::MemoryMgr::Malign(memId, bytes, static_cast<uint32_t>(smallest)));
            if (!m_region)
                return ZK_InsufficientMemory;
            m_regionMemId = static_cast<uint32_t>(memId);
        }
        m_buddy.Setup(m_region, usable, smallest, largest);
    }
    if (blocks != 0)
    {
        m_index = static_cast<ZkIOMemoryView**>(ZK::MemoryMgr::Malloc(kViewMemId, sizeof(ZkIOMemoryView*) * blocks));
        if (!m_index)
        {
            Term();
            return ZK_Fail;
        }
        m_indexCapacity = blocks;
    }
    m_useStreamCache = settings.useStreamCache;
    m_memoryAvailable = memoryAvailable;
    return ZK_Success;
}

void CZkIOMemoryPool::Term()
{
    const bool cacheOn = m_useStreamCache;
    m_useStreamCache = true; // flush everything that is indexed or released, whatever the setting
    FlushCache();
    m_useStreamCache = cacheOn;
    if (m_index)
        ZK::MemoryMgr::Free(kViewMemId, m_index);
    m_index = nullptr;
    m_indexCount = m_indexCapacity = 0;
    if (m_region && m_regionMemId != kRegionNotOwned)
        ZK::MemoryMgr::Free(static_cast<ZkMemoryId>(m_regionMemId), m_region);
    m_region = nullptr;
    m_regionMemId = kRegionNotOwned;
    m_buddy.Reset();
    m_bytesTaken = 0;
    m_memoryAvailable = nullptr;
}

void CZkIOMemoryPool::SetEvent()
{
    if (m_memoryAvailable)
        m_memoryAvailable->Set();
}

void CZkIOMemoryPool::ResetEvent()
{
    if (m_memoryAvailable)
        m_memoryAvailable->Reset();
}

void CZkIOMemoryPool::AppendReleased(ZkIOMemoryView* view)
{
    view->nextOrOwner = nullptr;
    if (m_releasedTail)
        m_releasedTail->nextOrOwner = view;
    else
        m_releasedHead = view;
    m_releasedTail = view;
    ++m_releasedCount;
    m_bytesHeld += view->dataSize;
}

bool CZkIOMemoryPool::UnlinkReleased(ZkIOMemoryView* view)
{
    ZkIOMemoryView* previous = nullptr;
    for (ZkIOMemoryView* current = m_releasedHead; current;
         previous = current, current = static_cast<ZkIOMemoryView*>(current->nextOrOwner))
    {
        if (current != view)
            continue;
        auto* next = static_cast<ZkIOMemoryView*>(current->nextOrOwner);
        if (previous)
            previous->nextOrOwner = next;
        else
            m_releasedHead = next;
        if (m_releasedTail == current)
            m_releasedTail = previous;
        current->nextOrOwner = nullptr;
        --m_releasedCount;
        m_bytesHeld -= current->dataSize;
        return true;
    }
    return false;
}

ZkIOMemoryView* CZkIOMemoryPool::PopOldestReleased()
{
    ZkIOMemoryView* view = m_releasedHead;
    if (view)
        UnlinkReleased(view);
    return view;
}

// Gives the view's block back and frees its record.
void CZkIOMemoryPool::DropView(ZkIOMemoryView* view)
{
    if (view->blockSize != 0)
    {
        m_buddy.GiveBack(view->address, view->blockSize);
        m_bytesTaken -= view->blockSize;
    }
    ZK::MemoryMgr::Free(kViewMemId, view);
}

ZkIOMemoryView* CZkIOMemoryPool::TakeView(uint32_t dataSize, uint32_t roundingUnit)
{
    // Requests are whole smallest blocks: a tail below the smallest block would not be tracked by
    // the buddy allocator and its memory would be lost until Term.
    uint64_t wanted = RoundUp(dataSize, roundingUnit);
    if (m_buddy.SmallestBlock() != 0)
        wanted = RoundUp(wanted, m_buddy.SmallestBlock());
    for (;;)
    {
        if (wanted != 0 && wanted <= m_buddy.LargestBlock())
        {
            if (char* address = m_buddy.Take(wanted))
            {
                auto* view = static_cast<ZkIOMemoryView*>(ZK::MemoryMgr::Malloc(kViewMemId, sizeof(ZkIOMemoryView)));
                if (view)
                {
                    view->position = 0;
                    view->address = address;
                    view->nextOrOwner = nullptr;
                    view->dataSize = dataSize;
                    view->blockSize = static_cast<uint32_t>(wanted);
                    view->fileKey = kViewNotIndexed;
                    view->refCount = 1;
                    m_bytesTaken += static_cast<uint32_t>(wanted);
                    return view;
                }
                m_buddy.GiveBack(address, wanted);
            }
        }
        ZkIOMemoryView* oldest = PopOldestReleased();
        if (!oldest)
        {
            ResetEvent();
            return nullptr;
        }
        if (oldest->blockSize == wanted)
        {
            ++oldest->refCount;
            return oldest;
        }
        RemoveFromIndex(oldest);
        DropView(oldest);
        SetEvent();
    }
}

uint32_t CZkIOMemoryPool::ReleaseView(ZkIOMemoryView* view)
{
    if (view->refCount != 0)
        --view->refCount;
    const uint32_t remaining = view->refCount;
    if (remaining == 0)
    {
        if (view->fileKey == kViewNotIndexed)
            DropView(view);
        else
            AppendReleased(view);
    }
    SetEvent();
    return remaining;
}

uint32_t CZkIOMemoryPool::IndexOf(const ZkIOMemoryView* view) const
{
    for (uint32_t index = 0; index < m_indexCount; ++index)
    {
        if (m_index[index] == view)
            return index;
    }
    return m_indexCount;
}

void CZkIOMemoryPool::RemoveFromIndex(ZkIOMemoryView* view)
{
    const uint32_t index = IndexOf(view);
    if (index < m_indexCount)
    {
        std::memmove(m_index + index, m_index + index + 1, sizeof(*m_index) * (m_indexCount - index - 1));
        --m_indexCount;
    }
    view->fileKey = kViewNotIndexed;
}

bool CZkIOMemoryPool::InsertIntoIndex(ZkIOMemoryView* view)
{
    if (m_indexCount == m_indexCapacity)
    {
        const uint32_t capacity = m_indexCapacity ? m_indexCapacity * 5 / 2 : 1;
        auto* grown = static_cast<ZkIOMemoryView**>(
            ZK::MemoryMgr::Realloc(kViewMemId, m_index, sizeof(ZkIOMemoryView*) * capacity));
        if (!grown)
            return false;
        m_index = grown;
        m_indexCapacity = capacity;
    }
    uint32_t place = 0;
    while (place < m_indexCount && IndexLess(m_index[place], view))
        ++place;
    std::memmove(m_index + place + 1, m_index + place, sizeof(*m_index) * (m_indexCount - place));
    m_index[place] = view;
    ++m_indexCount;
    return true;
}

uint32_t CZkIOMemoryPool::KeyView(ZkIOMemoryView* view, void* owner, uint32_t fileKey, uint64_t position,
                                  uint32_t dataSize)
{
    view->nextOrOwner = owner;
    view->position = position;
    view->dataSize = dataSize;
    if (!m_useStreamCache)
        return 1;
    const bool indexed = view->fileKey != kViewNotIndexed;
    if (indexed)
        RemoveFromIndex(view);
    if (fileKey == kViewNotIndexed)
        return 2;
    view->fileKey = fileKey;
    if (!InsertIntoIndex(view))
    {
        view->fileKey = kViewNotIndexed;
        return 2;
    }
    return 1;
}

// First index whose entry is not before (fileKey, position) in index order.
uint32_t CZkIOMemoryPool::LowerBound(uint32_t fileKey, uint64_t position) const
{
    uint32_t low = 0;
    uint32_t high = m_indexCount;
    while (low < high)
    {
        const uint32_t middle = low + (high - low) / 2;
        const ZkIOMemoryView* entry = m_index[middle];
        const bool before = entry->fileKey < fileKey || (entry->fileKey == fileKey && entry->position > position);
        if (before)
            low = middle + 1;
        else
            high = middle;
    }
    return low;
}

uint32_t CZkIOMemoryPool::FindCachedData(uint32_t fileKey, uint64_t position, uint32_t minimumBytes,
                                         uint32_t alignment, bool endOfFileAllowed, uint32_t& inOutBytes,
                                         ZkIOMemoryView*& outView)
{
    outView = nullptr;
    auto covers = [&](const ZkIOMemoryView* entry) {
        return entry->fileKey == fileKey && entry->position <= position && entry->dataSize >= minimumBytes &&
               position - entry->position <= entry->dataSize - minimumBytes;
    };
    const uint32_t found = LowerBound(fileKey, position);
    ZkIOMemoryView* view = nullptr;
    for (uint32_t candidate = found; candidate < m_indexCount && candidate <= found + 1 && !view; ++candidate)
    {
        if (covers(m_index[candidate]))
            view = m_index[candidate];
    }
    if (!view)
        return 0;
    const uint64_t offset = position - view->position;
    const uint64_t available = view->dataSize - offset;
    const uint64_t unit = alignment ? alignment : 1;
    const bool wholeRestAtEnd = endOfFileAllowed && available == inOutBytes;
    if (available > inOutBytes || (available % unit != 0 && !wholeRestAtEnd) ||
        reinterpret_cast<uintptr_t>(view->address + offset) % unit != 0 || available < minimumBytes)
        return 0;
    inOutBytes = static_cast<uint32_t>(available);
    if (view->refCount == 0)
        UnlinkReleased(view);
    ++view->refCount;
    outView = view;
    return static_cast<uint32_t>(offset);
}

ZkIOMemoryView* CZkIOMemoryPool::CopyView(const ZkIOMemoryView* view)
{
    auto* copy = static_cast<ZkIOMemoryView*>(ZK::MemoryMgr::Malloc(kViewMemId, sizeof(ZkIOMemoryView)));
    if (!copy)
        return nullptr;
    copy->position = view->position;
    copy->address = view->address;
    copy->nextOrOwner = nullptr;
    copy->dataSize = view->dataSize;
    copy->blockSize = 0;
    copy->fileKey = kViewNotIndexed;
    copy->refCount = 0;
    return copy;
}

void CZkIOMemoryPool::FlushCache()
{
    if (!m_useStreamCache)
        return;
    m_releasedHead = m_releasedTail = nullptr;
    m_releasedCount = 0;
    m_bytesHeld = 0;
    for (uint32_t index = 0; index < m_indexCount; ++index)
    {
        ZkIOMemoryView* view = m_index[index];
        view->fileKey = kViewNotIndexed;
        if (view->refCount == 0)
        {
            DropView(view);
            SetEvent();
        }
    }
    m_indexCount = 0;
}
} // namespace ZK::MemoryMgr
