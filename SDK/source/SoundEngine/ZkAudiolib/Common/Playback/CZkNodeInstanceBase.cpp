// CZkNodeInstanceBase: construction and teardown, the parameter changes, the start of a play and
// the effect chain. Positioning and the render side's queries are in CZkNodeInstancePositioning.cpp,
// the sends in CZkNodeInstanceSends.cpp.
#include "ZkAudiolib/Common/Playback/CZkNodeInstanceBase.h"

#include "ZkAudiolib/Common/Attenuations/CZkAttenuation.h"
#include "ZkAudiolib/Common/Containers/ZkNew.h"
#include "ZkAudiolib/Common/Effects/CZkEffectContext.h"
#include "ZkAudiolib/Common/Effects/CZkEffectObject.h"
#include "ZkAudiolib/Common/FrontEnd/EngineLimits.h"
#include "ZkAudiolib/Common/GameObjects/CZkRegisteredObj.h"
#include "ZkAudiolib/Common/Hierarchy/CZkHierarchyNode.h"
#include "ZkAudiolib/Common/Parameters/CZkRTPCMgr.h"
#include "ZkAudiolib/Common/Parameters/ZkFastMath.h"

namespace ZK::SoundEngine
{
namespace
{
uint32_t g_liveCounter = 0;

// The value slot of each parameter id 0 to 61 (kNoSlot: none).
constexpr uint8_t kN = CZkNodeInstanceBase::kNoSlot;
constexpr uint8_t kSlotOfParameter[62] = {
    0,  kN, 1,  2,  3,  4,  kN, 5,  kN, kN, // 0-9
    kN, kN, kN, kN, kN, kN, kN, kN, kN, kN, // 10-19
    kN, kN, kN, kN, kN, kN, kN, kN, kN, kN, // 20-29
    kN, kN, kN, kN, kN, kN, kN, 14, 10, 6,  // 30-39
    7,  8,  9,  11, 12, 13, kN, 25, 15, 16, // 40-49
    17, 18, 19, 20, 21, 22, 23, 24, kN, 0,  // 50-59
    kN, kN,                                 // 60-61
};

constexpr uint32_t kBuiltInFirst = 26;
constexpr uint32_t kBuiltInCount = 3;

// Whether the node, or the first ancestor that has an output bus, routes to one.
bool RoutesToOutputBus(const CZkHierarchyNode* node)
{
    for (const CZkHierarchyNode* level = node; level != nullptr; level = level->Parent())
    {
        if (level->OutputBus() != nullptr)
            return true;
    }
    return false;
}
} // namespace

uint32_t CZkNodeInstanceBase::SlotOfParameter(uint32_t id)
{
    return id < std::size(kSlotOfParameter) ? kSlotOfParameter[id] : kNoSlot;
}

uint32_t CZkNodeInstanceBase::LiveCounter()
{
    return g_liveCounter;
}

uint32_t CZkNodeInstanceBase::TakeSequenceNumber()
{
    uint32_t number = g_liveCounter++;
    if (number == 0)
        number = g_liveCounter++;
    return number;
}

CZkNodeInstanceBase::CZkNodeInstanceBase(CZkGameObject* object, CZkHierarchyNode* node, bool detached)
    : CZkKeyedParamTarget(ZkRTPCKey::ForObject(static_cast<CZkRegisteredObj*>(object))), m_object(object),
      m_node(node), m_sequence(g_liveCounter++)
{
    m_flags = kFlagGainDirty;
    m_modulatorLinks.Init();
    if (detached)
        m_flags |= kFlagDetached;
    if (RoutesToOutputBus(node))
        m_flags |= kFlagRoutesToOutput;
    if (m_object != nullptr)
        m_object->AddRef(); // activates the object's emitter when it was held by the registry alone
    if (m_node != nullptr)
        m_node->AddRef();
}

CZkNodeInstanceBase::~CZkNodeInstanceBase()
{
    m_rays.Term();
    m_ownPositions.Term();
    DestroyEffects();
    ReleaseAttenuation();
    FreeAutomationData();
    m_modulatorLinks.Release();
}

void CZkNodeInstanceBase::ClearEvaluation()
{
    for (float& value : m_values)
        value = 0.0f;
    for (ZkUniqueID& bus : m_userSendBuses)
        bus = 0;
    m_counter = 0;
    m_sendFlags = 0;
    m_linearGain = 1.0f;
}

void CZkNodeInstanceBase::SetParameterValue(uint32_t id, float value, float delta)
{
    if (!IsPositioned())
        return;
    switch (id)
    {
    case 18:
        m_positioning18 += delta;
        return;
    case 19:
        m_positioning19 += delta;
        return;
    case 58:
        m_positioning58 += delta;
        return;
    case 23:
        m_positioning23 = value;
        return;
    case 24:
        m_positioning24 = static_cast<uint32_t>(value);
        return;
    case 20:
    case 21:
    case 22:
        m_automationOffset[id - 20] += delta * AutomationScale();
        return;
    case 66:
    case 67:
    case 68:
        SetAutomationParameter(id, value);
        return;
    // 25-28 have no stored effect.
    case 46:
        m_rays.RemoveAll();
        m_positioningMode = value != 0.0f ? static_cast<uint8_t>(m_positioningMode | kModeSpeakerPanning)
                                          : static_cast<uint8_t>(m_positioningMode & ~kModeSpeakerPanning);
        return;
    case 64:
        m_positioningFlags = static_cast<uint8_t>((m_positioningFlags & ~kPositioningLowBits) |
                                                  (static_cast<uint32_t>(value) & kPositioningLowBits));
        return;
    case 65:
        m_positioningMode = value != 0.0f ? static_cast<uint8_t>(m_positioningMode | kModeOwnPositions)
                                          : static_cast<uint8_t>(m_positioningMode & ~kModeOwnPositions);
        return;
    case 69:
        m_positioningFlags =
            value > 0.0f ? static_cast<uint8_t>(m_positioningFlags | kPositioningListenerRoutedSends)
                         : static_cast<uint8_t>(m_positioningFlags & ~kPositioningListenerRoutedSends);
        return;
    case 70:
        ResetPositioning();
        return;
    default:
        break;
    }
    const uint32_t slot = SlotOfParameter(id);
    if (slot != kNoSlot)
        m_values[slot] += delta;
}

ZKRESULT CZkNodeInstanceBase::Start()
{
    // The subscription covers the parameters this kind of instance receives (a bus's instance takes
    // fewer: the voice parameters reach the voices routed through the bus, not the bus).
    uint64_t mask = 0;
    GetParamMask(mask);
    RegisterWithNode(m_node, mask, GetMaskFlag());
    return SetupEffects();
}

void CZkNodeInstanceBase::Term()
{
    // The play's modulator instances let it go first (a voice-scope instance ends with its link).
    m_modulatorLinks.Release();
    uint64_t mask = 0;
    GetParamMask(mask);
    Unregister(mask, GetMaskFlag());
    if (m_object != nullptr)
        m_object->Release(); // deactivates the emitter when only the registry holds it, or destroys it
    m_object = nullptr;
    m_rays.Term();
    m_ownPositions.Term();
    m_flags &= static_cast<uint8_t>(~kFlagOwnPositionsCopied);
    ReleaseAttenuation();
    FreeAutomationData(); // leaves the position path first
    if (m_node != nullptr)
        m_node->Release();
    m_node = nullptr;
}

ZKRESULT CZkNodeInstanceBase::Initialize(float maxRadius, bool mayStartVirtual, uint32_t& reason,
                                         bool& belowThreshold)
{
    m_maxRadius = maxRadius;
    RefreshPositioning();
    const ZKRESULT subscribed = SubscribeAttenuation();
    if (subscribed != ZK_Success)
        return subscribed;
    TakeAutomationData();
    StartPath();
    if ((m_flags & kFlagEvaluated) == 0)
        RefreshFromNode();
    else if ((m_flags & kFlagGainDirty) != 0)
        RecomputeGain();
    belowThreshold = GetVolumeThresholdLinear() >= ZkDecibelsToLinear(m_values[kSlotVolume]) * m_linearGain;
    if (!mayStartVirtual && belowThreshold && IsPositioned())
    {
        reason = kReasonBelowThreshold;
        return ZK_PartialSuccess;
    }
    return ZK_Success;
}

float CZkNodeInstanceBase::AutomationScale() const
{
    // An offset in percent of the attenuation's reach; as it is without an attenuation curve.
    float maxDistance = 0.0f;
    return m_node != nullptr && m_node->GetMaxAttenuationDistance(maxDistance) ? maxDistance * 0.01f : 1.0f;
}

ZKRESULT CZkNodeInstanceBase::SubscribeAttenuation()
{
    // An instance that had an attenuation and lost it reports 2, as the render side expects.
    const bool had = m_hadAttenuation != 0;
    ReleaseAttenuation();
    if (IsPositioned() && m_node != nullptr)
    {
        m_positioningParams.SetAttenuationID(m_node->Get3DModeInfo(m_object).attenuationID);
        m_positioningParams.GetAttenuation();
    }
    const CZkAttenuation* attenuation = Attenuation();
    m_hadAttenuation = attenuation != nullptr ? 1 : 0;
    if (attenuation == nullptr)
        return had ? ZK_Fail : ZK_Success;
    if (g_pRTPCMgr == nullptr)
        return ZK_Success;
    for (const ZkAttenuationParamCurve& entry : attenuation->ParamCurves())
    {
        // The subscription takes the bank points, without the curve's two sentinels.
        const CZkCurve& curve = entry.curve;
        const uint32_t points = curve.PointCount() >= 2 ? curve.PointCount() - 2 : 0;
        const ZKRESULT result = g_pRTPCMgr->SubscribeRTPC(
            static_cast<CZkNodeInstanceBase*>(this), entry.paramID, entry.paramType, entry.combineMode, entry.target,
            entry.curveID, curve.Scaling(), points != 0 ? &curve.Point(1) : nullptr, points, Key(),
            ZkRTPCSubscriberKind_NodeInstance, true);
        if (result != ZK_Success)
            return result;
    }
    return ZK_Success;
}

void CZkNodeInstanceBase::ReleaseAttenuation()
{
    const CZkAttenuation* attenuation = Attenuation();
    if (attenuation != nullptr && g_pRTPCMgr != nullptr)
    {
        for (const ZkAttenuationParamCurve& entry : attenuation->ParamCurves())
        {
            bool stillSubscribed = false;
            g_pRTPCMgr->UnsubscribeRTPCCurve(static_cast<CZkNodeInstanceBase*>(this), entry.target, entry.curveID,
                                             stillSubscribed);
        }
    }
    m_positioningParams.Reset();
}

ZKRESULT CZkNodeInstanceBase::SetupEffects()
{
    DestroyEffects();
    if (m_node == nullptr)
        return ZK_Success;
    for (uint32_t slot = 0; slot < kEffectSlotCount; ++slot)
    {
        auto* effect = static_cast<CZkEffectObject*>(m_node->ResolvedEffectSlotObject(slot));
        if (effect == nullptr)
            continue;
        auto* context = ZK::ZkNew<CZkEffectContext>(kEffectContextPool);
        const bool made = context != nullptr && effect->CreateInstancePlugin(*context, slot, m_object) &&
                          m_effects.AddLast(ZkAttachedEffect{effect->ID(), context}) != nullptr;
        effect->Release(); // the context holds its own reference
        if (!made)
        {
            if (context != nullptr)
                ZK::ZkDelete(kEffectContextPool, context);
            DestroyEffects();
            return ZK_Fail;
        }
    }
    return ZK_Success;
}

void CZkNodeInstanceBase::DestroyEffects()
{
    for (ZkAttachedEffect& attached : m_effects)
        ZK::ZkDelete(kEffectContextPool, static_cast<CZkEffectContext*>(attached.context));
    m_effects.Term();
}

uint32_t CZkNodeInstanceBase::ListEffects(ZkAttachedEffect* output, uint32_t n) const
{
    uint32_t copied = 0;
    for (; copied < n && copied < m_effects.Length(); ++copied)
        output[copied] = m_effects[copied];
    return copied;
}

void CZkNodeInstanceBase::SetBuiltInValue(uint32_t type, float value)
{
    if (type >= kBuiltInFirst && type < kBuiltInFirst + kBuiltInCount)
        m_builtIn[type - kBuiltInFirst] = value;
}

float CZkNodeInstanceBase::BuiltInValue(uint32_t type) const
{
    return type >= kBuiltInFirst && type < kBuiltInFirst + kBuiltInCount ? m_builtIn[type - kBuiltInFirst]
                                                                         : 0.0f;
}

void CZkNodeInstanceBase::ForwardKeyedValue(const ZkRTPCKey& key, ZkUniqueID ownerID, uint32_t bit,
                                            float value, float delta)
{
    if (IsPositioned() && key.Matches(m_key))
        SetParamValue(ownerID, bit, value, delta);
}

float CZkNodeInstanceBase::GetLinearVolume(bool& belowThreshold) const
{
    const float volume = ZkDecibelsToLinear(m_values[kSlotVolume]);
    belowThreshold = volume * m_linearGain <= GetVolumeThresholdLinear();
    return volume;
}

ZkUniqueID CZkNodeInstanceBase::GetNodeID() const
{
    return m_node != nullptr ? m_node->ID() : 0;
}

CZkHierarchyNode* CZkNodeInstanceBase::GetNodeOutput() const
{
    return IsPositioned() ? m_node : nullptr;
}
} // namespace ZK::SoundEngine
