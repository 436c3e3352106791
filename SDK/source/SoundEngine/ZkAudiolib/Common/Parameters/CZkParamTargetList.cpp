#include "ZkAudiolib/Common/Parameters/CZkParamTargetList.h"

#include "ZkAudiolib/Common/Containers/ZkNew.h"
#include "ZkAudiolib/Common/Parameters/CZkKeyedParamTarget.h"
#include "ZkAudiolib/Common/Parameters/CZkParamTargetRegistry.h"
#include "ZkAudiolib/Common/Parameters/CZkRTPCMgr.h"
#include "ZkAudiolib/Common/Parameters/CZkRTPCOverrideFilter.h"

#include <tuple>

namespace ZK::SoundEngine
{
namespace
{
constexpr ZkMemoryId kRecordPool = ZkMemID_BankObjects;

auto OrderTuple(const ZkRTPCKey& key)
{
    return std::make_tuple(reinterpret_cast<uintptr_t>(key.gameObject), key.playingID, key.midiTargetID,
                           static_cast<uint32_t>((key.midiChannel + 1u) & 31u),
                           static_cast<uint32_t>((key.midiNote + 1u) & 255u), reinterpret_cast<uintptr_t>(key.instance));
}

bool HasBit(uint64_t mask, uint32_t bit) { return bit < 64 && (mask >> bit & 1u) != 0; }
} // namespace

bool CZkParamTargetList::KeyBefore(const ZkRTPCKey& a, const ZkRTPCKey& b) { return OrderTuple(a) < OrderTuple(b); }

CZkParamTargetList::~CZkParamTargetList()
{
    if (m_record == nullptr)
        return;
    for (uint32_t bit = 0; bit < 64; ++bit)
    {
        if (HasBit(m_record->usedBits, bit))
        {
            if (g_pRTPCMgr != nullptr)
                g_pRTPCMgr->UnsubscribeRTPC(this, bit);
            m_record->usedBits &= ~(1ull << bit);
        }
    }
    ZK::ZkDelete(kRecordPool, m_record);
    m_record = nullptr;
}

bool CZkParamTargetList::EnsureRecord()
{
    if (m_record == nullptr)
        m_record = ZK::ZkNew<ZkParamTargetSet>(kRecordPool);
    return m_record != nullptr;
}

void CZkParamTargetList::FreeRecordIfUnused()
{
    if (m_record != nullptr && m_record->usedBits == 0 && m_record->targets.IsEmpty())
    {
        ZK::ZkDelete(kRecordPool, m_record);
        m_record = nullptr;
    }
}

void CZkParamTargetList::RecomputeCommonMask()
{
    uint64_t common = ~0ull;
    for (const ZkMaskedTarget& entry : m_record->targets)
        common &= entry.mask;
    m_record->commonMask = common;
}

ZKRESULT CZkParamTargetList::SubscribeRTPC(ZkUniqueID paramID, uint32_t paramType, uint32_t combineMode, uint32_t bit,
                                           uint32_t curveID, uint32_t scaling, const ZkCurvePoint* points,
                                           uint32_t pointCount)
{
    if (bit >= 64 || g_pRTPCMgr == nullptr || !EnsureRecord())
        return ZK_Fail;
    const ZKRESULT result =
        g_pRTPCMgr->SubscribeRTPC(this, paramID, paramType, combineMode, bit, curveID, scaling, points, pointCount,
                                  ZkRTPCKey::Global(), ZkRTPCSubscriberKind_TargetList, !m_record->targets.IsEmpty());
    if (result == ZK_Success)
    {
        if (!HasBit(m_record->usedBits, bit))
        {
            m_record->usedBits |= 1ull << bit;
            CZkParamTargetRegistry::Instance().RefreshAll();
            RecomputeCommonMask();
        }
        if (paramType == kRTPCParamTypeModulator)
            m_record->modulatorFlag = 1;
    }
    else
    {
        FreeRecordIfUnused();
    }
    return result;
}

ZKRESULT CZkParamTargetList::AddParamBit(uint32_t bit)
{
    if (bit >= 64 || !EnsureRecord())
        return ZK_Fail;
    if (HasBit(m_record->usedBits, bit))
        return ZK_Success;
    m_record->usedBits |= 1ull << bit;
    CZkParamTargetRegistry::Instance().RefreshAll();
    RecomputeCommonMask();
    return ZK_Success;
}

void CZkParamTargetList::RemoveParamBit(uint32_t bit, uint32_t curveID)
{
    if (m_record == nullptr || bit >= 64)
        return;
    bool stillSubscribed = false;
    if (g_pRTPCMgr != nullptr)
        g_pRTPCMgr->UnsubscribeRTPCCurve(this, bit, curveID, stillSubscribed);
    if (stillSubscribed)
        return;
    m_record->usedBits &= ~(1ull << bit);
    if (m_record->usedBits == 0 && m_record->targets.IsEmpty())
    {
        FreeRecordIfUnused();
        return;
    }
    CZkParamTargetRegistry::Instance().RefreshAll();
    RecomputeCommonMask();
}

void CZkParamTargetList::Deliver(const ZkMaskedTarget& entry, uint32_t bit, float value, float delta) const
{
    entry.target->SetParamValue(m_ownerID, bit, value, delta);
}

void CZkParamTargetList::SetParamValue(uint32_t bit, const ZkRTPCKey& key, float value, float delta,
                                       const CZkRTPCOverrideFilter* filter)
{
    if (m_record == nullptr)
        return;
    if (!key.IsGlobal())
    {
        if (filter != nullptr)
            SetParamValueForKeyFiltered(bit, key, value, delta, *filter);
        else
            SetParamValueForKey(bit, key, value, delta);
        return;
    }
    const bool everyTarget = HasBit(m_record->commonMask, bit);
    for (uint32_t index = 0; m_record != nullptr && index < m_record->targets.Length(); ++index)
    {
        const ZkMaskedTarget entry = m_record->targets[index];
        if ((everyTarget || HasBit(entry.mask, bit)) && (filter == nullptr || !filter->IsOverridden(entry.target->Key())))
            Deliver(entry, bit, value, delta);
    }
}

void CZkParamTargetList::SetParamValueForKey(uint32_t bit, const ZkRTPCKey& key, float value, float delta)
{
    if (m_record == nullptr)
        return;
    const bool everyTarget = HasBit(m_record->commonMask, bit);
    for (uint32_t index = FindTarget(key); m_record != nullptr && index < m_record->targets.Length(); ++index)
    {
        const ZkMaskedTarget entry = m_record->targets[index];
        if (!key.Matches(entry.target->Key()))
            break;
        if (everyTarget || HasBit(entry.mask, bit))
            Deliver(entry, bit, value, delta);
    }
}

void CZkParamTargetList::SetParamValueForKeyFiltered(uint32_t bit, const ZkRTPCKey& key, float value, float delta,
                                                     const CZkRTPCOverrideFilter& filter)
{
    if (m_record == nullptr)
        return;
    const bool everyTarget = HasBit(m_record->commonMask, bit);
    for (uint32_t index = FindTarget(key); m_record != nullptr && index < m_record->targets.Length(); ++index)
    {
        const ZkMaskedTarget entry = m_record->targets[index];
        if (!key.Matches(entry.target->Key()))
            break;
        if ((everyTarget || HasBit(entry.mask, bit)) && !filter.IsOverridden(entry.target->Key()))
            Deliver(entry, bit, value, delta);
    }
}

void CZkParamTargetList::BroadcastParamValue(uint32_t bit, float value, float delta)
{
    for (uint32_t index = 0; m_record != nullptr && index < m_record->targets.Length(); ++index)
    {
        const ZkMaskedTarget entry = m_record->targets[index];
        if (HasBit(entry.mask, bit))
            Deliver(entry, bit, value, delta);
    }
}

void CZkParamTargetList::ForwardNotification(uint8_t flag, uint32_t value)
{
    for (uint32_t index = 0; m_record != nullptr && index < m_record->targets.Length(); ++index)
        m_record->targets[index].target->OnNotification(flag, value);
}

void CZkParamTargetList::ForwardNotification64(uint8_t flag, uint64_t value)
{
    for (uint32_t index = 0; m_record != nullptr && index < m_record->targets.Length(); ++index)
        m_record->targets[index].target->OnNotification64(flag, value);
}

uint32_t CZkParamTargetList::FindTarget(const ZkRTPCKey& key) const
{
    if (m_record == nullptr)
        return 0;
    uint32_t low = 0;
    uint32_t high = m_record->targets.Length();
    while (low < high)
    {
        const uint32_t middle = low + (high - low) / 2;
        if (KeyBefore(m_record->targets[middle].target->Key(), key))
            low = middle + 1;
        else
            high = middle;
    }
    return low;
}

ZKRESULT CZkParamTargetList::AddTarget(CZkKeyedParamTarget* target, uint64_t mask)
{
    if (target == nullptr || !EnsureRecord())
        return ZK_Fail;
    if (m_record->targets.Insert(FindTarget(target->Key()), ZkMaskedTarget{mask, target}) == nullptr)
    {
        FreeRecordIfUnused();
        return ZK_Fail;
    }
    RecomputeCommonMask();
    return ZK_Success;
}

uint32_t CZkParamTargetList::IndexOf(const CZkKeyedParamTarget* target) const
{
    const uint32_t count = TargetCount();
    if (target == nullptr)
        return count;
    for (uint32_t index = FindTarget(target->Key()); index < count; ++index)
    {
        if (m_record->targets[index].target == target)
            return index;
    }
    return count;
}

bool CZkParamTargetList::HasTarget(const CZkKeyedParamTarget* target) const { return IndexOf(target) < TargetCount(); }

bool CZkParamTargetList::RemoveTarget(CZkKeyedParamTarget* target)
{
    const uint32_t index = IndexOf(target);
    if (index >= TargetCount())
        return false;
    m_record->targets.Erase(index);
    RecomputeCommonMask();
    FreeRecordIfUnused();
    return true;
}

ZKRESULT CZkParamTargetList::SetTarget(CZkKeyedParamTarget* target, uint64_t mask)
{
    const uint64_t usedBits = UsedBits();
    if (mask == 0)
    {
        if (RemoveTarget(target) && TargetCount() == 0 && g_pRTPCMgr != nullptr)
            g_pRTPCMgr->DeactivateSubscriptions(this, usedBits);
        return ZK_Success;
    }
    const uint32_t index = IndexOf(target);
    if (index < TargetCount())
    {
        m_record->targets[index].mask = mask;
        RecomputeCommonMask();
        return ZK_Success;
    }
    const bool first = TargetCount() == 0;
    const ZKRESULT result = AddTarget(target, mask);
    if (result == ZK_Success && first && g_pRTPCMgr != nullptr)
        g_pRTPCMgr->ActivateSubscriptions(this, usedBits);
    return result;
}
} // namespace ZK::SoundEngine
