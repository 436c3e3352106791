// CZkModulatorMgr: life cycle, value queries, the target table and the start of instances.
#include "ZkAudiolib/Common/Parameters/CZkModulatorMgr.h"

#include "ZkAudiolib/Common/Containers/ZkNew.h"
#include "ZkAudiolib/Common/Modulators/CZkModulator.h"
#include "ZkAudiolib/Common/Modulators/CZkModulatorInstance.h"
#include "ZkAudiolib/Common/Modulators/CZkModulatorLinks.h"
#include "ZkAudiolib/Common/ObjectIndex/ObjectIndex.h"
#include "ZkAudiolib/Common/Parameters/CZkRTPCMgr.h"

#include <cstring>

namespace ZK::SoundEngine
{
CZkModulatorMgr* g_pModulatorMgr = nullptr;

namespace
{
// The loaded modulator of the id with a reference for the call (released by the holder).
struct ModulatorRef
{
    explicit ModulatorRef(ZkUniqueID id)
        : modulator(g_pObjectIndex != nullptr ? static_cast<CZkModulator*>(
                                                    g_pObjectIndex->GetPtrAndAddRef(ZkIndexKind::Modulators, id))
                                              : nullptr)
    {
    }
    ~ModulatorRef()
    {
        if (modulator != nullptr)
            modulator->Release();
    }
    ModulatorRef(const ModulatorRef&) = delete;
    ModulatorRef& operator=(const ModulatorRef&) = delete;
    CZkModulator* modulator;
};

bool IsVoiceLinkedBit(uint32_t bit)
{
    return bit == CZkModulatorMgr::kLinkedBits[0] || bit == CZkModulatorMgr::kLinkedBits[1];
}
} // namespace

ZKRESULT CZkModulatorMgr::Init()
{
    if (m_engine != nullptr)
        return ZK_Success;
    void* memory = ZK::MemoryMgr::Malloc(kEnginePool, sizeof(Engine));
    if (memory == nullptr)
        return ZK_InsufficientMemory;
    std::memset(memory, 0, sizeof(Engine));
    m_engine = static_cast<Engine*>(memory);
    m_lastStepResult = ZK_Success;
    return ZK_Success;
}

void CZkModulatorMgr::Term()
{
    for (uint32_t bucket = 0; bucket < m_targets.BucketCount(); ++bucket)
    {
        while (ZkModulatorTargetEntry* entry = m_targets.Bucket(bucket))
        {
            m_targets.Unlink(entry);
            FreeTarget(entry);
        }
    }
    m_targets.Term();
    TermInstances();
}

bool CZkModulatorMgr::GetValue(ZkUniqueID modulatorID, const ZkRTPCKey& key, float& value) const
{
    const ModulatorRef found(modulatorID);
    return found.modulator != nullptr && found.modulator->GetValue(key, value);
}

bool CZkModulatorMgr::IsModulator(ZkUniqueID modulatorID) const
{
    const ModulatorRef found(modulatorID);
    return found.modulator != nullptr && found.modulator->IsLinkable();
}

// --- Targets ---

ZkModulatorTargetEntry* CZkModulatorMgr::FindTarget(const void* target) const
{
    const uint32_t key = ZkModulatorTargetEntry::KeyOf(target);
    if (m_targets.BucketCount() == 0)
        return nullptr;
    for (ZkModulatorTargetEntry* entry = m_targets.Bucket(key % m_targets.BucketCount()); entry != nullptr;
         entry = entry->pNextItem)
    {
        if (entry->target == target)
            return entry;
    }
    return nullptr;
}

const ZkModulatorTargetEntry* CZkModulatorMgr::FindEntry(const void* target) const { return FindTarget(target); }

ZkModulatorTargetEntry* CZkModulatorMgr::FindOrCreateTarget(const void* target)
{
    if (ZkModulatorTargetEntry* entry = FindTarget(target))
        return entry;
    auto* entry = ZK::ZkNew<ZkModulatorTargetEntry>(kEnginePool);
    if (entry == nullptr)
        return nullptr;
    entry->target = target;
    entry->key = ZkModulatorTargetEntry::KeyOf(target);
    if (m_targets.Insert(entry) != ZK_Success)
    {
        ZK::ZkDelete(kEnginePool, entry);
        return nullptr;
    }
    return entry;
}

void CZkModulatorMgr::FreeTarget(ZkModulatorTargetEntry* entry)
{
    for (CZkModulator* modulator : entry->modulators)
        modulator->Release();
    ZK::ZkDelete(kEnginePool, entry);
}

ZKRESULT CZkModulatorMgr::AddSubscription(ZkUniqueID modulatorID, ZkRTPCSubscription* subscription)
{
    const ModulatorRef found(modulatorID);
    if (found.modulator == nullptr || subscription == nullptr)
        return ZK_Fail;
    ZkModulatorTargetEntry* entry = FindOrCreateTarget(subscription->target);
    if (entry == nullptr)
        return ZK_Fail;
    if (entry->modulators.Find(found.modulator) == entry->modulators.Length())
    {
        if (entry->modulators.AddLast(found.modulator) == nullptr)
        {
            if (entry->modulators.IsEmpty())
            {
                m_targets.Unlink(entry);
                FreeTarget(entry);
            }
            return ZK_Fail;
        }
        found.modulator->AddRef();
    }
    return found.modulator->AddSubscriber(subscription);
}

ZKRESULT CZkModulatorMgr::RemoveSubscription(ZkRTPCSubscription* subscription, ZkUniqueID modulatorID)
{
    ZkModulatorTargetEntry* entry = subscription != nullptr ? FindTarget(subscription->target) : nullptr;
    if (entry == nullptr)
        return ZK_Success;
    for (uint32_t index = entry->modulators.Length(); index-- > 0;)
    {
        CZkModulator* modulator = entry->modulators[index];
        if ((modulatorID != 0 && modulator->ID() != modulatorID) || subscription->NamesParam(modulator->ID()))
            continue;
        modulator->RemoveSubscriber(subscription);
        bool targetStillUses = false;
        for (const ZkRTPCSubscription* other : modulator->Subscribers())
            targetStillUses = targetStillUses || other->target == subscription->target;
        if (targetStillUses)
            continue;
        entry->modulators.Erase(index);
        modulator->Release();
    }
    if (entry->modulators.IsEmpty())
    {
        m_targets.Unlink(entry);
        FreeTarget(entry);
    }
    return ZK_Success;
}

void CZkModulatorMgr::AppendEntryForKey(const ZkModulatorTargetKey& key, ZkModulatorKeyList& list) const
{
    if (ZkModulatorTargetEntry* entry = FindTarget(key.target))
        list.AddLast(ZkModulatorKeyItem{key, entry});
}

bool CZkModulatorMgr::GetLinkEntry(const void* target, uint32_t bit, ZkUniqueID modulatorID,
                                   ZkModulatorLinkEntry& entry) const
{
    if (g_pRTPCMgr == nullptr || !IsVoiceLinkedBit(bit) || !IsModulator(modulatorID))
        return false;
    ZkRTPCSubscription* subscription = g_pRTPCMgr->FindSubscription(target, bit);
    if (subscription == nullptr || subscription->kind == ZkRTPCSubscriberKind_Effect)
        return false;
    bool matched = false;
    for (const ZkRTPCCurveRef& curve : subscription->curves)
    {
        float scale = 0.0f;
        float offset = 0.0f;
        if (curve.paramID != modulatorID || !curve.curve.GetLinearRange(scale, offset))
            continue;
        entry = ZkModulatorLinkEntry{offset, scale, static_cast<uint8_t>(bit)};
        matched = true;
    }
    return matched;
}

// --- Starting instances ---

ZKRESULT CZkModulatorMgr::ProcessEntry(const ZkModulatorTargetEntry& entry, const ZkModulatorTargetKey& key,
                                       const ZkModulatorTrigger& trigger, ZkModulatorLinksHandle* links,
                                       CZkHierarchyNode* drivingNode, uint32_t depth)
{
    ZKRESULT result = ZK_Success;
    // The entry may lose modulators while they attach (a scope refused): walk by index, each
    // modulator held for its turn.
    for (uint32_t index = 0; index < entry.modulators.Length(); ++index)
    {
        CZkModulator* modulator = entry.modulators[index];
        modulator->AddRef();
        if (modulator->Attach(key, trigger, *this, links) != ZK_Success)
            result = ZK_Fail;
        // The modulators that drive this one's own parameters start with the same trigger; their
        // results do not count.
        const ZkModulatorTargetEntry* driving = FindTarget(modulator);
        if (driving != nullptr && depth + 1 < kMaxDriveDepth)
        {
            const ZkModulatorTargetKey drivingKey{modulator, drivingNode, ZkRTPCSubscriberKind_Modulator,
                                                  key.minimumScope};
            ProcessEntry(*driving, drivingKey, trigger, links, drivingNode, depth + 1);
        }
        modulator->Release();
    }
    return result;
}

ZKRESULT CZkModulatorMgr::ProcessForKey(const ZkModulatorTargetKey& key, const ZkModulatorTrigger& trigger,
                                        ZkModulatorLinksHandle* links)
{
    const ZkModulatorTargetEntry* entry = FindTarget(key.target);
    return entry != nullptr ? ProcessEntry(*entry, key, trigger, links, nullptr, 0) : ZK_Success;
}

ZKRESULT CZkModulatorMgr::ProcessForKeyList(const ZkModulatorKeyList& list, const ZkModulatorTrigger& trigger,
                                            ZkModulatorLinksHandle* links)
{
    ZKRESULT result = ZK_Success;
    for (const ZkModulatorKeyItem& item : list)
    {
        if (ProcessEntry(*item.entry, item.key, trigger, links, item.key.nodeInstance, 0) != ZK_Success)
            result = ZK_Fail;
    }
    return result;
}

bool CZkModulatorMgr::AppendInstance(CZkModulatorInstance* instance)
{
    if (m_engine == nullptr)
        return false;
    InstanceList& list = m_engine->instances;
    instance->AddRef();
    instance->next = nullptr;
    if (list.tail != nullptr)
        list.tail->next = instance;
    else
        list.head = instance;
    list.tail = instance;
    ++list.count;
    return true;
}

ZKRESULT CZkModulatorMgr::StopForKey(ZkUniqueID modulatorID, const ZkRTPCKey& key)
{
    const ModulatorRef found(modulatorID);
    if (found.modulator == nullptr)
        return ZK_Fail;
    found.modulator->Instances().VisitMatchingWithRemoval(key, [](CZkModulatorInstance* instance) {
        instance->MarkStopped();
        instance->Release();
        return true;
    });
    return ZK_Success;
}
} // namespace ZK::SoundEngine
