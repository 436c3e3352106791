// CZkRTPCMgr: life cycle, parameter entries, bank set-up and scopes.
#include "ZkAudiolib/Common/Parameters/CZkRTPCMgr.h"

#include "ZkAudiolib/Common/Containers/ZkNew.h"
#include "ZkAudiolib/Common/GameObjects/CZkRegisteredObj.h"
#include "ZkAudiolib/Common/Parameters/CZkModulatorMgr.h"
#include "ZkAudiolib/Common/Playback/CZkPlayingInstance.h"
#include "ZkAudiolib/Common/Playback/CZkPlayingMgr.h"

#include <cmath>

namespace ZK::SoundEngine
{
CZkRTPCMgr* g_pRTPCMgr = nullptr;

namespace
{
constexpr ZkMemoryId kEntryPool = ZkMemID_Default;
} // namespace

ZKRESULT CZkRTPCMgr::Init()
{
    if (!m_params.InitBuckets(kInitialBucketCount) || !m_subscriptions.InitBuckets(kInitialBucketCount))
    {
        m_params.Term();
        m_subscriptions.Term();
        return ZK_InsufficientMemory;
    }
    if (SetDefaultValue(kRTPCPitchBendID, kRTPCPitchBendDefault) != ZK_Success)
    {
        Term();
        return ZK_InsufficientMemory;
    }
    return ZK_Success;
}

ZKRESULT CZkRTPCMgr::Term()
{
    for (uint32_t bucket = 0; bucket < m_params.BucketCount(); ++bucket)
    {
        while (ZkRTPCParamEntry* entry = m_params.Bucket(bucket))
        {
            m_params.Unlink(entry);
            ZK::ZkDelete(kEntryPool, entry); // links, tree and both lists; no subscriber released
        }
    }
    for (uint32_t bucket = 0; bucket < m_subscriptions.BucketCount(); ++bucket)
    {
        while (ZkRTPCSubscription* subscription = m_subscriptions.Bucket(bucket))
        {
            m_subscriptions.Unlink(subscription);
            subscription->FreeCurves(); // names no modulator any more: every modulator lets it go
            if (g_pModulatorMgr != nullptr)
                g_pModulatorMgr->RemoveSubscription(subscription, 0);
            ZK::ZkDelete(kEntryPool, subscription);
        }
    }
    m_params.Term();
    m_subscriptions.Term();
    for (auto& row : m_builtInRows)
        row.Term();
    return ZK_Success;
}

ZkRTPCParamEntry* CZkRTPCMgr::FindOrCreateEntry(ZkUniqueID id)
{
    if (ZkRTPCParamEntry* entry = m_params.Find(id))
        return entry;
    auto* entry = ZK::ZkNew<ZkRTPCParamEntry>(kEntryPool, id);
    if (entry == nullptr)
        return nullptr;
    if (m_params.Insert(entry) != ZK_Success)
    {
        ZK::ZkDelete(kEntryPool, entry);
        return nullptr;
    }
    return entry;
}

ZKRESULT CZkRTPCMgr::SetDefaultValue(ZkUniqueID id, float value)
{
    if (!std::isfinite(value))
        return ZK_NotFinite;
    ZkRTPCParamEntry* entry = FindOrCreateEntry(id);
    if (entry == nullptr)
        return ZK_InsufficientMemory;
    entry->defaultValue = value;
    return ZK_Success;
}

ZKRESULT CZkRTPCMgr::SetParamSettings(ZkUniqueID id, uint32_t rampMode, float rampUp, float rampDown)
{
    if (!std::isfinite(rampUp) || !std::isfinite(rampDown))
        return ZK_NotFinite;
    ZkRTPCParamEntry* entry = FindOrCreateEntry(id);
    if (entry == nullptr)
        return ZK_InsufficientMemory;
    entry->rampMode = rampMode;
    entry->rampUp = rampUp;
    entry->rampDown = rampDown;
    return ZK_Success;
}

ZKRESULT CZkRTPCMgr::BindBuiltInParam(uint32_t row, ZkUniqueID id)
{
    if (row == 0 || row >= kRTPCBuiltInRows)
        return ZK_InvalidParameter;
    ZkRTPCParamEntry* entry = FindOrCreateEntry(id);
    if (entry == nullptr)
        return ZK_InsufficientMemory;
    entry->builtInRow = row;
    for (uint32_t other = 1; other < kRTPCBuiltInRows; ++other)
    {
        const uint32_t index = m_builtInRows[other].Find(id);
        if (index != m_builtInRows[other].Length())
            m_builtInRows[other].EraseSwap(index);
    }
    return m_builtInRows[row].AddLast(id) != nullptr ? ZK_Success : ZK_InsufficientMemory;
}

ZKRESULT CZkRTPCMgr::AddParamFromBank(const ZkRTPCParamRecord& record)
{
    ZKRESULT result = SetDefaultValue(record.id, record.defaultValue);
    if (result == ZK_Success)
        result = SetParamSettings(record.id, record.rampMode, record.rampUp, record.rampDown);
    if (result == ZK_Success && record.builtInRow != 0)
        result = BindBuiltInParam(record.builtInRow, record.id);
    return result;
}

float CZkRTPCMgr::GetDefaultValue(ZkUniqueID id, bool& found) const
{
    const ZkRTPCParamEntry* entry = m_params.Find(id);
    found = entry != nullptr;
    return found ? entry->defaultValue : 0.0f;
}

bool CZkRTPCMgr::GetRTPCValue(ZkUniqueID id, ZkRTPCKey& key, float& value)
{
    ZkRTPCParamEntry* entry = m_params.Find(id);
    if (entry != nullptr)
    {
        if (const float* slot = entry->tree.FindBestMatch(key))
        {
            value = *slot;
            return true;
        }
    }
    key = ZkRTPCKey::Global();
    value = entry != nullptr ? entry->defaultValue : 0.0f;
    return false;
}

bool CZkRTPCMgr::ScopeAccepts(const ZkRTPCKey& key, ZkUniqueID id)
{
    if (key.instance != nullptr)
        return key.instance->RegisterScopedParameter(id) == ZK_Success;
    if (key.playingID != 0)
        return g_pPlayingMgr != nullptr && g_pPlayingMgr->RegisterScopedParameter(key.playingID, id) == ZK_Success;
    if (key.gameObject != nullptr)
        return key.gameObject->ParamScope().AddParameter(id) == ZK_Success;
    // The global key, and MIDI scopes that name no owner, have nothing to record.
    return true;
}
} // namespace ZK::SoundEngine
