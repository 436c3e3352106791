#include "ZkAudiolib/Common/Modulators/CZkModulator.h"

#include "ZkAudiolib/Common/Containers/ZkLcg64.h"
#include "ZkAudiolib/Common/Modulators/CZkModulatorInstance.h"
#include "ZkAudiolib/Common/Modulators/ZkModulatorProperties.h"
#include "ZkAudiolib/Common/ObjectIndex/ObjectIndex.h"
#include "ZkAudiolib/Common/Parameters/CZkRTPCMgr.h"
#include "ZkAudiolib/Common/Parameters/ZkBankRTPCEntry.h"

#include <algorithm>
#include <cmath>

namespace ZK::SoundEngine
{
namespace
{
ZkIndexTable& ModulatorTable() { return g_pObjectIndex->Table(ZkIndexKind::Modulators); }

constexpr uint32_t kMaskBits = 64;
constexpr int32_t kMaxLoops = 100;

bool IsFloatProperty(uint8_t id)
{
    const ZkModulatorPropertyInfo* info = ModulatorPropertyInfo(id);
    return info != nullptr && !info->isInteger;
}

// Checks the packed list at the cursor (moved past it): it lies within the body and every float
// value is finite. pairs: two values per id ({min, max}).
bool CheckList(ZK::ZkByteCursor& cursor, bool pairs)
{
    uint8_t count = 0;
    if (!cursor.Read(count))
        return false;
    const uint8_t* ids = cursor.Take(count);
    const uint32_t perId = pairs ? 2 : 1;
    const uint8_t* values = cursor.Take(size_t{count} * perId * sizeof(float));
    if (ids == nullptr || values == nullptr)
        return false;
    for (uint32_t index = 0; index < count; ++index)
    {
        // Ranges are floats except TimeLoops' integer pair; values follow their property.
        const bool isFloat = pairs ? ids[index] != ZkModProp_TimeLoops : IsFloatProperty(ids[index]);
        for (uint32_t part = 0; isFloat && part < perId; ++part)
        {
            if (!std::isfinite(ZK::LoadLittleEndian<float>(values + (index * perId + part) * sizeof(float))))
                return false;
        }
    }
    return true;
}
} // namespace

uint32_t CZkModulator::AddRef() { return ModulatorTable().AddRef(this); }
uint32_t CZkModulator::Release() { return ModulatorTable().Release(this); }

CZkModulator::~CZkModulator()
{
    for (uint32_t bit = 0; bit < kMaskBits; ++bit)
    {
        if ((m_drivenMask >> bit & 1u) != 0 && g_pRTPCMgr != nullptr)
            g_pRTPCMgr->UnsubscribeRTPC(this, bit);
    }
    m_drivenMask = 0;
    for (uint32_t parameter : m_wideParameters)
    {
        if (g_pRTPCMgr != nullptr)
            g_pRTPCMgr->UnsubscribeRTPC(this, parameter);
    }
    m_wideParameters.Term();
    m_instances.VisitAllWithRemoval([](CZkModulatorInstance* instance) {
        instance->Term();
        instance->Release();
        return true;
    });
    m_instances.Term();
    m_subscribers.Term();
}

ZKRESULT CZkModulator::SetFromBank(const uint8_t* body, uint32_t size)
{
    // The whole body is checked before anything is applied: every count is read within the body.
    ZK::ZkByteCursor check(body, size);
    uint32_t id = 0;
    if (!check.Read(id))
        return ZK_InvalidFile;
    const ZK::ZkByteCursor lists = check;
    if (!CheckList(check, false) || !CheckList(check, true))
        return ZK_InvalidFile;
    const ZK::ZkByteCursor subscriptions = check;
    uint16_t count = 0;
    if (!check.Read(count))
        return ZK_InvalidFile;
    for (uint32_t index = 0; index < count; ++index)
    {
        ZkBankRTPCEntry entry;
        if (!entry.Read(check) || !entry.PointsAreFinite())
            return ZK_InvalidFile;
    }

    ZK::ZkByteCursor cursor = lists;
    ZKRESULT result = m_properties.ReadFromBank(cursor);
    if (result != ZK_Success)
        return result;
    if ((result = m_ranges.ReadFromBank(cursor)) != ZK_Success)
        return result;

    cursor = subscriptions;
    cursor.Read(count);
    for (uint32_t index = 0; index < count; ++index)
    {
        ZkBankRTPCEntry entry;
        entry.Read(cursor);
        m_drivenMask |= uint64_t{1} << (entry.bit % kMaskBits);
        if (g_pRTPCMgr == nullptr)
            return ZK_Fail;
        if (entry.bit >= kMaskBits && m_wideParameters.Find(entry.bit) == m_wideParameters.Length() &&
            m_wideParameters.AddLast(entry.bit) == nullptr)
            return ZK_InsufficientMemory;
        result = entry.WithAlignedPoints([&](const ZkCurvePoint* points, uint32_t pointCount) {
            return g_pRTPCMgr->SubscribeRTPC(this, entry.paramID, entry.paramType, entry.combineMode, entry.bit,
                                             entry.curveID, entry.scaling, points, pointCount, ZkRTPCKey::Global(),
                                             ZkRTPCSubscriberKind_Modulator, false);
        });
        if (result != ZK_Success)
            return result;
    }
    return ZK_Success;
}

float CZkModulator::StoredValue(uint32_t id) const
{
    const ZkModulatorPropertyInfo* info = ModulatorPropertyInfo(id);
    if (info == nullptr)
        return 0.0f;
    const uint8_t* stored = m_properties.Find(static_cast<uint8_t>(id));
    if (stored == nullptr)
        return info->defaultValue;
    return info->isInteger ? static_cast<float>(ZK::LoadLittleEndian<int32_t>(stored))
                           : ZK::LoadLittleEndian<float>(stored);
}

float CZkModulator::ReadProperty(uint32_t id, const ZkRTPCKey& key) const
{
    const ZkModulatorPropertyInfo* info = ModulatorPropertyInfo(id);
    if (info == nullptr)
        return 0.0f;
    float value = StoredValue(id);
    if (info->parameter != kNotDriven && (m_drivenMask >> info->parameter & 1u) != 0 && g_pRTPCMgr != nullptr)
        value = g_pRTPCMgr->GetModulatorValue(this, info->parameter, key);
    const uint8_t* range = m_ranges.Find(static_cast<uint8_t>(id));
    if (range == nullptr)
        return value;
    value += ZK::ZkLcg64::Engine().RandomFloatInRange(ZK::LoadLittleEndian<float>(range),
                                                      ZK::LoadLittleEndian<float>(range + sizeof(float)));
    // A negative sustain time means "no timed release" and is kept as it is.
    if (info->clamped && !(id == ZkModProp_EnvSustainTime && value < 0.0f))
        value = std::clamp(value, info->minimum, info->maximum);
    return value;
}

int32_t CZkModulator::ReadLoops() const
{
    const int32_t loops = static_cast<int32_t>(StoredValue(ZkModProp_TimeLoops));
    const uint8_t* range = m_ranges.Find(ZkModProp_TimeLoops);
    if (range == nullptr)
        return loops;
    const int64_t sum = int64_t{loops} + ZK::ZkLcg64::Engine().RandomIntInRange(
                                             ZK::LoadLittleEndian<int32_t>(range),
                                             ZK::LoadLittleEndian<int32_t>(range + sizeof(int32_t)));
    return sum <= 0 ? 1 : static_cast<int32_t>(std::min<int64_t>(sum, kMaxLoops));
}

CZkModulatorInstance* CZkModulator::CreateInstance(CZkModulatorInstance* existing, const ZkModulatorTrigger& context,
                                                   CZkHierarchyNode* target, int32_t scope, bool& created)
{
    constexpr int32_t kTriggerKindNone = 0;
    constexpr int32_t kTriggerKindRetrigger = 1;
    constexpr int32_t kTriggerKindRefresh = 3;
    created = false;
    if (!ShouldTrigger(context))
        return nullptr;
    if (existing != nullptr)
    {
        if (RetriggersExisting() &&
            (context.triggerKind == kTriggerKindRetrigger || context.triggerKind == kTriggerKindRefresh))
            existing->Init(this, context, target, scope);
        if (existing->Modulator() != nullptr)
            return existing;
    }
    if (scope != ZkModulatorScope_Voice && context.triggerKind == kTriggerKindNone)
        return nullptr;
    CZkModulatorInstance* instance = AllocateInstance();
    if (instance == nullptr)
        return nullptr;
    instance->Init(this, context, target, scope);
    created = true;
    return instance;
}

ZKRESULT CZkModulator::SetParamForKey(uint32_t parameter, float value, const ZkRTPCKey& key)
{
    m_instances.VisitMatching(ReduceKeyToScope(key, Scope()),
                              [parameter, value](CZkModulatorInstance* instance) { instance->SetParam(parameter, value); });
    return ZK_Success;
}

bool CZkModulator::GetValue(const ZkRTPCKey& key, float& value) const
{
    const CZkModulatorInstance* instance = m_instances.FindValueInstance(ReduceKeyToScope(key, Scope()));
    if (instance == nullptr)
        return false;
    value = instance->Value();
    return true;
}

ZKRESULT CZkModulator::AddSubscriber(ZkRTPCSubscription* subscription)
{
    const auto at = std::lower_bound(m_subscribers.begin(), m_subscribers.end(), subscription);
    const uint32_t index = static_cast<uint32_t>(at - m_subscribers.begin());
    if (at != m_subscribers.end() && *at == subscription)
        return ZK_Success;
    if (m_subscribers.Insert(index, subscription) == nullptr)
        return ZK_InsufficientMemory;
    constexpr uint32_t kVoiceBitA = 0;
    constexpr uint32_t kVoiceBitB = 7;
    if (subscription->kind != ZkRTPCSubscriberKind_Effect &&
        (subscription->bit == kVoiceBitA || subscription->bit == kVoiceBitB) && IsLinkable())
        m_audioRate = 1;
    return ZK_Success;
}

void CZkModulator::RemoveSubscriber(ZkRTPCSubscription* subscription)
{
    const auto at = std::lower_bound(m_subscribers.begin(), m_subscribers.end(), subscription);
    if (at != m_subscribers.end() && *at == subscription)
        m_subscribers.Erase(static_cast<uint32_t>(at - m_subscribers.begin()));
}

void CZkModulator::AddActiveUse()
{
    if (++m_activeUses == 1 && m_drivenMask != 0 && g_pRTPCMgr != nullptr)
        g_pRTPCMgr->ActivateSubscriptions(this, m_drivenMask);
}

void CZkModulator::RemoveActiveUse()
{
    if (--m_activeUses == 0 && m_drivenMask != 0 && g_pRTPCMgr != nullptr)
        g_pRTPCMgr->DeactivateSubscriptions(this, m_drivenMask);
}
} // namespace ZK::SoundEngine
