// CZkBus: ducking. A bus's duck entries name target buses; while the bus plays, each target keeps
// a duck record of this bus that moves to the entry's volume, and back to 0 when the bus goes
// quiet (after the recovery time, when the bus has one). A target's duck per property is the sum
// of its records, floored at its maximum duck volume.
#include "ZkAudiolib/Common/Hierarchy/CZkBus.h"

#include "ZkAudiolib/Common/Events/CZkDuckRecoveryAction.h"

namespace ZK::SoundEngine
{
namespace
{
constexpr uint8_t kVolumeProperty = 0;
constexpr uint8_t kBusVolumeProperty = 5;
constexpr uint32_t kNoList = 2;

uint32_t ListOf(uint8_t property)
{
    return property == kVolumeProperty ? 0 : (property == kBusVolumeProperty ? 1 : kNoList);
}

// The loaded bus of the id with a reference, or null.
CZkBus* FindTargetBus(ZkUniqueID busID)
{
    if (g_pObjectIndex == nullptr)
        return nullptr;
    auto* node = static_cast<CZkHierarchyNode*>(g_pObjectIndex->GetNodePtrAndAddRef(busID, true));
    auto* bus = dynamic_cast<CZkBus*>(node);
    if (bus == nullptr && node != nullptr)
        node->Release();
    return bus;
}
} // namespace

ZKRESULT CZkBus::AddDuckEntry(const ZkDuckEntry& entry)
{
    if (ListOf(entry.property) == kNoList)
        return ZK_Success; // a property that has no duck list: the entry does nothing
    ZkDuckEntry* present = m_ducks.First();
    while (present != nullptr && present->targetBusID != entry.targetBusID)
        present = present->next;
    if (present != nullptr)
    {
        ZkDuckEntry* next = present->next;
        *present = entry;
        present->next = next;
    }
    else if (m_ducks.Append(entry) == nullptr)
    {
        return ZK_Fail;
    }
    CZkBus* target = FindTargetBus(entry.targetBusID);
    if (target == nullptr)
        return ZK_Success;
    const ZKRESULT marked = target->m_duckTargets.AddParamBit(PropertyParameter(entry.property));
    target->Release();
    return marked;
}

ZkDuckRecord* CZkBus::FindDuckRecord(ZkUniqueID duckingBusID, uint8_t property) const
{
    const uint32_t list = ListOf(property);
    if (list == kNoList)
        return nullptr;
    for (ZkDuckRecord* record = m_duckRecords[list].First(); record != nullptr; record = record->next)
    {
        if (record->duckingBusID == duckingBusID)
            return record;
    }
    return nullptr;
}

ZkDuckRecord* CZkBus::FindOrAddDuckRecord(ZkUniqueID duckingBusID, uint8_t property)
{
    if (ZkDuckRecord* present = FindDuckRecord(duckingBusID, property))
        return present;
    const uint32_t list = ListOf(property);
    return list == kNoList ? nullptr : m_duckRecords[list].Append(ZkDuckRecord(this, duckingBusID, property));
}

float CZkBus::DuckValue(uint8_t property) const
{
    const uint32_t list = ListOf(property);
    if (list == kNoList)
        return 0.0f;
    float sum = 0.0f;
    for (const ZkDuckRecord* record = m_duckRecords[list].First(); record != nullptr; record = record->next)
        sum += record->value;
    return sum > m_maxDuckVolume ? sum : m_maxDuckVolume;
}

void CZkBus::OnDuckValueChanged(uint8_t property, float before, float after)
{
    m_duckTargets.BroadcastParamValue(PropertyParameter(property), after, after - before);
}

void CZkBus::SetDuckState(ZkDuckState state)
{
    m_busFlags = static_cast<uint8_t>((m_busFlags & ~kFlagDuckStateMask) | state);
}

void CZkBus::ApplyDucks(DuckMove move)
{
    for (const ZkDuckEntry* entry = m_ducks.First(); entry != nullptr; entry = entry->next)
    {
        CZkBus* target = FindTargetBus(entry->targetBusID);
        if (target == nullptr)
            continue;
        ZkDuckRecord* record = target->FindOrAddDuckRecord(ID(), entry->property);
        if (record != nullptr && target->m_duckTargets.AddParamBit(PropertyParameter(entry->property)) == ZK_Success)
        {
            switch (move)
            {
            case DuckMove::Start: record->MoveTo(entry->volume, entry->fadeOutMs, entry->curve, false); break;
            case DuckMove::Release: record->MoveTo(0.0f, entry->fadeInMs, entry->curve, true); break;
            case DuckMove::Hold: record->Hold(); break;
            }
        }
        target->Release();
    }
}

ZKRESULT CZkBus::PlayCountUp(ZkPlayCount& play)
{
    const int32_t before = PlayCount();
    const ZKRESULT result = CZkHierarchyNode::PlayCountUp(play);
    if (before <= 0 && PlayCount() == 1)
    {
        SetDuckState(ZkDuckState_Ducking);
        ApplyDucks(DuckMove::Start);
    }
    return result;
}

void CZkBus::PlayCountDown(CZkGameObject* object, bool toBus)
{
    const int32_t before = PlayCount();
    CZkHierarchyNode::PlayCountDown(object, toBus);
    if (before != 1 || PlayCount() > 0)
        return;
    // The bus went quiet: its ducks end now, or after the recovery time.
    ZkDuckState state = ZkDuckState_Idle;
    if (m_recoveryFrames != 0 && m_ducks.First() != nullptr &&
        CZkDuckRecoveryAction::Queue(ID(), m_recoveryFrames) == ZK_Success)
        state = ZkDuckState_Recovering;
    SetDuckState(state);
    ApplyDucks(state == ZkDuckState_Idle ? DuckMove::Release : DuckMove::Hold);
}

void CZkBus::EndDuckRecovery()
{
    if (DuckState() != ZkDuckState_Recovering)
        return;
    SetDuckState(ZkDuckState_Idle);
    ApplyDucks(DuckMove::Release);
}

void CZkBus::StopDucking()
{
    for (const ZkDuckEntry* entry = m_ducks.First(); entry != nullptr; entry = entry->next)
    {
        CZkBus* target = FindTargetBus(entry->targetBusID);
        if (target == nullptr)
            continue;
        if (ZkDuckRecord* record = target->FindDuckRecord(ID(), entry->property))
        {
            record->LeaveTransition();
            record->MoveTo(0.0f, 0, entry->curve, true);
        }
        target->Release();
    }
    SetDuckState(ZkDuckState_Idle);
}

void CZkBus::FreeDuckRecords()
{
    for (ZK::ZkPooledList<ZkDuckRecord>& list : m_duckRecords)
    {
        for (ZkDuckRecord* record = list.First(); record != nullptr; record = record->next)
            record->LeaveTransition();
        list.Term();
    }
}
} // namespace ZK::SoundEngine
