#include "ZkAudiolib/Common/Parameters/CZkParamTargetRegistry.h"

#include "ZkAudiolib/Common/Containers/ZkNew.h"
#include "ZkAudiolib/Common/Parameters/CZkKeyedParamTarget.h"

namespace ZK::SoundEngine
{
namespace
{
constexpr ZkMemoryId kEntryPool = ZkMemID_Default;

uint32_t LowAddressBits(const void* node) { return static_cast<uint32_t>(reinterpret_cast<uintptr_t>(node)); }
} // namespace

CZkParamTargetRegistry& CZkParamTargetRegistry::Instance()
{
    static CZkParamTargetRegistry registry;
    return registry;
}

CZkParamTargetRegistry::Entry* CZkParamTargetRegistry::Find(const void* node) const
{
    if (m_table.BucketCount() == 0)
        return nullptr;
    for (Entry* entry = m_table.Bucket(LowAddressBits(node) % m_table.BucketCount()); entry != nullptr;
         entry = entry->pNextItem)
    {
        if (entry->node == node)
            return entry;
    }
    return nullptr;
}

bool CZkParamTargetRegistry::Add(const void* node, CZkKeyedParamTarget* target)
{
    Entry* entry = Find(node);
    if (entry == nullptr)
    {
        entry = ZK::ZkNew<Entry>(kEntryPool);
        if (entry == nullptr)
            return false;
        entry->key = LowAddressBits(node);
        entry->node = node;
        if (m_table.Insert(entry) != ZK_Success)
        {
            ZK::ZkDelete(kEntryPool, entry);
            if (m_table.Length() == 0)
                m_table.Term();
            return false;
        }
    }
    target->pNextTarget = entry->head;
    entry->head = target;
    return true;
}

void CZkParamTargetRegistry::FreeEntry(Entry* entry)
{
    m_table.Unlink(entry);
    ZK::ZkDelete(kEntryPool, entry);
    if (m_table.Length() == 0)
        m_table.Term(); // the table goes with its last entry
}

void CZkParamTargetRegistry::Remove(const void* node, CZkKeyedParamTarget* target)
{
    Entry* entry = Find(node);
    if (entry == nullptr)
        return;
    for (CZkKeyedParamTarget** at = &entry->head; *at != nullptr; at = &(*at)->pNextTarget)
    {
        if (*at == target)
        {
            *at = target->pNextTarget;
            target->pNextTarget = nullptr;
            break;
        }
    }
    if (entry->head == nullptr)
        FreeEntry(entry);
}

void CZkParamTargetRegistry::UnregisterAll(const void* node)
{
    // Each Unregister takes its target out of the chain (and the entry with the last one).
    while (Entry* entry = Find(node))
        entry->head->Unregister(kAllParamBits, true);
}

void CZkParamTargetRegistry::RefreshAll()
{
    for (uint32_t bucket = 0; bucket < m_table.BucketCount(); ++bucket)
    {
        for (Entry* entry = m_table.Bucket(bucket); entry != nullptr; entry = entry->pNextItem)
        {
            for (CZkKeyedParamTarget* target = entry->head; target != nullptr; target = target->pNextTarget)
                target->Refresh();
        }
    }
}

uint32_t CZkParamTargetRegistry::TargetCount(const void* node) const
{
    uint32_t count = 0;
    if (const Entry* entry = Find(node))
    {
        for (const CZkKeyedParamTarget* target = entry->head; target != nullptr; target = target->pNextTarget)
            ++count;
    }
    return count;
}

void CZkParamTargetRegistry::Term()
{
    for (uint32_t bucket = 0; bucket < m_table.BucketCount(); ++bucket)
    {
        while (Entry* entry = m_table.Bucket(bucket))
        {
            m_table.Unlink(entry);
            ZK::ZkDelete(kEntryPool, entry);
        }
    }
    m_table.Term();
}
} // namespace ZK::SoundEngine
