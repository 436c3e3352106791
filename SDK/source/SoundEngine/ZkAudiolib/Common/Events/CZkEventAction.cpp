#include "ZkAudiolib/Common/Events/CZkEventAction.h"

#include "ZkAudiolib/Common/Containers/ZkLcg64.h"
#include "ZkAudiolib/Common/Containers/ZkNew.h"
#include "ZkAudiolib/Common/FrontEnd/PendingAction.h"
#include "ZkAudiolib/Common/GameObjects/CZkRegisteredObj.h"
#include "ZkAudiolib/Common/Hierarchy/CZkHierarchyNode.h"
#include "ZkAudiolib/Common/ObjectIndex/ObjectIndex.h"
#include "ZkAudiolib/Common/Voice/ZkAudioSettings.h"

#include <algorithm>

namespace ZK::SoundEngine
{
namespace
{
constexpr int64_t kMsPerSecond = 1000;

ZkIndexTable& ActionTable() { return g_pObjectIndex->Table(ZkIndexKind::Actions); }

// A milliseconds value at the engine's sample rate, in samples (64-bit product, truncated).
uint32_t MillisecondsToSamples(uint32_t storedMs)
{
    const int64_t ms = static_cast<int32_t>(storedMs);
    const int64_t samples = ms * ZkAudioSettings::SampleRate() / kMsPerSecond;
    return static_cast<uint32_t>(static_cast<int32_t>(std::clamp<int64_t>(samples, INT32_MIN, INT32_MAX)));
}

uint32_t ClampedAtZero(int64_t value)
{
    return value <= 0 ? 0u : static_cast<uint32_t>(std::min<int64_t>(value, UINT32_MAX));
}
} // namespace

uint32_t CZkEventAction::AddRef() { return ActionTable().AddRef(this); }

uint32_t CZkEventAction::Release() { return ActionTable().Release(this); }

void CZkEventAction::Destroy() { ZK::ZkDelete(kPool, this); }

ZKRESULT CZkEventAction::AddToIndex() { return ActionTable().Insert(this); }

bool CZkEventAction::ReadCurve(ZK::ZkByteCursor& cursor)
{
    uint8_t curve = 0;
    if (!cursor.Read(curve))
        return false;
    SetCurve(curve);
    return true;
}

void CZkEventAction::SetTarget(ZkUniqueID id, bool isBus)
{
    m_targetID = id;
    SetFlagBits(kFlagTargetIsBus, isBus);
}

ZkPropertyValue CZkEventAction::GetProperty(uint8_t id) const
{
    if (const uint8_t* stored = m_props.Find(id))
        return ZkPropertyValue{ZK::LoadLittleEndian<uint32_t>(stored)};
    return PropertyDefault(id);
}

ZKRESULT CZkEventAction::SetIntProperty(uint8_t id, int32_t value, int32_t minimum, int32_t maximum)
{
    const bool changed = GetProperty(id).AsInt() != value;
    return SetProperty(id, ZkPropertyValue::FromInt(value), ZkPropertyValue::FromInt(minimum),
                       ZkPropertyValue::FromInt(maximum), changed);
}

ZKRESULT CZkEventAction::SetFloatProperty(uint8_t id, float value, float minimum, float maximum)
{
    const float current = GetProperty(id).AsFloat();
    const bool changed = current < value || current > value; // NaN is never a change
    return SetProperty(id, ZkPropertyValue::FromFloat(value), ZkPropertyValue::FromFloat(minimum),
                       ZkPropertyValue::FromFloat(maximum), changed);
}

ZKRESULT CZkEventAction::SetProperty(uint8_t id, ZkPropertyValue value, ZkPropertyValue minimum,
                                     ZkPropertyValue maximum, bool changed)
{
    if (changed && m_props.Set(id, &value.bits) != ZK_Success)
        return ZK_Fail;
    const bool emptyRange = minimum.bits == 0 && maximum.bits == 0;
    if (emptyRange && m_ranges.Find(id) == nullptr)
        return ZK_Success;
    const uint32_t pair[2] = {minimum.bits, maximum.bits};
    return m_ranges.Set(id, pair);
}

int32_t CZkEventAction::RandomIntOffset(uint8_t id) const
{
    const uint8_t* pair = m_ranges.Find(id);
    if (pair == nullptr)
        return 0;
    return ZK::ZkLcg64::Engine().RandomIntInRange(ZK::LoadLittleEndian<int32_t>(pair),
                                                  ZK::LoadLittleEndian<int32_t>(pair + 4));
}

float CZkEventAction::RandomFloatOffset(uint8_t id) const
{
    const uint8_t* pair = m_ranges.Find(id);
    if (pair == nullptr)
        return 0.0f;
    return ZK::ZkLcg64::Engine().RandomFloatInRange(ZK::LoadLittleEndian<float>(pair),
                                                    ZK::LoadLittleEndian<float>(pair + 4));
}

uint32_t CZkEventAction::GetDelay() const
{
    // A range below the stored delay may draw a negative total: that plays at once.
    return ClampedAtZero(int64_t{GetProperty(ZkProp_ActionDelay).AsInt()} + RandomIntOffset(ZkProp_ActionDelay));
}

ZkTimeMs CZkEventAction::GetFadeTime() const
{
    const uint32_t fade = ClampedAtZero(int64_t{GetProperty(ZkProp_ActionFadeTime).AsInt()} +
                                        RandomIntOffset(ZkProp_ActionFadeTime));
    return static_cast<ZkTimeMs>(std::min<uint32_t>(fade, INT32_MAX));
}

CZkHierarchyNode* CZkEventAction::GetTargetNode() const
{
    if (g_pObjectIndex == nullptr)
        return nullptr;
    // Both node tables hold hierarchy nodes only.
    return static_cast<CZkHierarchyNode*>(g_pObjectIndex->GetNodePtrAndAddRef(m_targetID, TargetIsBus()));
}

ZkActionParams CZkEventAction::MakeCommand(ZkActionCode code, const PendingAction& pending) const
{
    ZkActionParams params;
    params.code = code;
    params.gameObject = pending.GameObject();
    params.isGlobal = params.gameObject == nullptr;
    params.playingID = pending.playingIDFilter;
    params.transitionTime = GetFadeTime();
    params.curve = Curve();
    return params;
}

ZKRESULT CZkEventAction::ExecuteOnTarget(const ZkActionParams& params) const
{
    CZkHierarchyNode* node = GetTargetNode();
    if (node == nullptr)
        return ZK_InvalidID;
    node->ExecuteAction(params);
    node->Release();
    return ZK_Success;
}

ZKRESULT CZkEventAction::ReadFromBank(const uint8_t* body, uint32_t size)
{
    ZK::ZkByteCursor cursor(body, size);
    uint32_t id = 0;
    uint16_t type = 0;
    if (!cursor.Read(id) || !cursor.Read(type))
        return ZK_InvalidFile;
    if (type != m_type)
        return ZK_Success; // a body of another type leaves the action as it is
    uint32_t targetID = 0;
    uint8_t isBus = 0;
    if (!cursor.Read(targetID) || !cursor.Read(isBus))
        return ZK_InvalidFile;
    SetTarget(targetID, isBus != 0);

    m_props.Free();
    m_ranges.Free();
    ZKRESULT result = m_props.ReadFromBank(cursor);
    if (result == ZK_Success)
        result = m_ranges.ReadFromBank(cursor);
    if (result == ZK_Fail)
        result = ZK_InsufficientMemory;
    if (result == ZK_Success)
        result = ReadParams(cursor);
    ConvertDelayToSamples();
    return result;
}

void CZkEventAction::ConvertDelayToSamples()
{
    if (uint8_t* delay = m_props.Find(ZkProp_ActionDelay))
        ZK::StoreLittleEndian(delay, MillisecondsToSamples(ZK::LoadLittleEndian<uint32_t>(delay)));
    if (uint8_t* range = m_ranges.Find(ZkProp_ActionDelay))
    {
        ZK::StoreLittleEndian(range, MillisecondsToSamples(ZK::LoadLittleEndian<uint32_t>(range)));
        ZK::StoreLittleEndian(range + 4, MillisecondsToSamples(ZK::LoadLittleEndian<uint32_t>(range + 4)));
    }
}
} // namespace ZK::SoundEngine
