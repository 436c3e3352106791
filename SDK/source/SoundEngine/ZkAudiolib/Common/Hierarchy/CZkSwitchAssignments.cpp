#include "ZkAudiolib/Common/Hierarchy/CZkSwitchAssignments.h"

#include "ZkAudiolib/Common/Containers/ZkNew.h"

#include <algorithm>
#include <new>

namespace ZK::SoundEngine
{
namespace
{
constexpr ZkMemoryId kEntryPool = ZkMemID_Default;

// A block of entries starts with the link to the next block, padded to keep the entries aligned.
struct alignas(alignof(CZkSwitchValueEntry)) BlockHeader
{
    void* next;
};
} // namespace

ZKRESULT CZkSwitchValueList::Reserve(uint32_t count)
{
    if (count <= m_spareCount)
        return ZK_Success;
    const uint32_t more = count - m_spareCount;
    void* memory = ZK::MemoryMgr::Malloc(kEntryPool, sizeof(BlockHeader) + sizeof(CZkSwitchValueEntry) * size_t{more});
    if (memory == nullptr)
        return ZK_Fail;
    auto* header = ::new (memory) BlockHeader{m_blocks};
    m_blocks = header;
    auto* entries = reinterpret_cast<CZkSwitchValueEntry*>(header + 1);
    for (uint32_t index = 0; index < more; ++index)
    {
        auto* entry = ::new (entries + index) CZkSwitchValueEntry;
        entry->fromBlock = true;
        entry->next = m_spare;
        m_spare = entry;
    }
    m_spareCount += more;
    return ZK_Success;
}

CZkSwitchValueEntry* CZkSwitchValueList::NewEntry()
{
    if (m_spare != nullptr)
    {
        CZkSwitchValueEntry* entry = m_spare;
        m_spare = entry->next;
        --m_spareCount;
        entry->next = nullptr;
        return entry;
    }
    return ZK::ZkNew<CZkSwitchValueEntry>(kEntryPool);
}

ZKRESULT CZkSwitchValueList::Assign(ZkUniqueID value, ZkUniqueID child)
{
    auto* entry = const_cast<CZkSwitchValueEntry*>(Find(value));
    if (entry == nullptr)
    {
        if ((entry = NewEntry()) == nullptr)
            return ZK_Fail;
        entry->value = value;
        (m_tail != nullptr ? m_tail->next : m_head) = entry;
        m_tail = entry;
    }
    if (entry->Contains(child))
        return ZK_IDAlreadyListed;
    return entry->children.AddLast(child) != nullptr ? ZK_Success : ZK_Fail;
}

const CZkSwitchValueEntry* CZkSwitchValueList::Find(ZkUniqueID value) const
{
    for (const CZkSwitchValueEntry* entry = m_head; entry != nullptr; entry = entry->next)
    {
        if (entry->value == value)
            return entry;
    }
    return nullptr;
}

void CZkSwitchValueList::Clear()
{
    auto release = [](CZkSwitchValueEntry* entry) {
        while (entry != nullptr)
        {
            CZkSwitchValueEntry* next = entry->next;
            if (entry->fromBlock)
                entry->~CZkSwitchValueEntry();
            else
                ZK::ZkDelete(kEntryPool, entry);
            entry = next;
        }
    };
    release(m_head);
    release(m_spare);
    m_head = m_tail = m_spare = nullptr;
    m_spareCount = 0;
    while (m_blocks != nullptr)
    {
        void* next = static_cast<BlockHeader*>(m_blocks)->next;
        ZK::MemoryMgr::Free(kEntryPool, m_blocks);
        m_blocks = next;
    }
}

uint32_t CZkSwitchChildSettingsTable::LowerBound(ZkUniqueID child, bool& found) const
{
    const CZkSwitchChildSettings* at =
        std::lower_bound(m_settings.begin(), m_settings.end(), child,
                         [](const CZkSwitchChildSettings& entry, ZkUniqueID key) { return entry.childID < key; });
    found = at != m_settings.end() && at->childID == child;
    return static_cast<uint32_t>(at - m_settings.begin());
}

ZKRESULT CZkSwitchChildSettingsTable::Set(const CZkSwitchChildSettings& settings)
{
    bool found = false;
    const uint32_t index = LowerBound(settings.childID, found);
    if (found)
    {
        m_settings[index] = settings;
        return ZK_Success;
    }
    return m_settings.Insert(index, settings) != nullptr ? ZK_Success : ZK_Fail;
}

void CZkSwitchChildSettingsTable::Remove(ZkUniqueID child)
{
    bool found = false;
    const uint32_t index = LowerBound(child, found);
    if (found)
        m_settings.Erase(index);
}

CZkSwitchChildSettings CZkSwitchChildSettingsTable::For(ZkUniqueID child) const
{
    bool found = false;
    const uint32_t index = LowerBound(child, found);
    if (found)
        return m_settings[index];
    CZkSwitchChildSettings defaults;
    defaults.childID = child;
    return defaults;
}
} // namespace ZK::SoundEngine
