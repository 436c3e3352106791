// CZkPlayingInstance: the evaluation of the node's properties into the instance (the gathering of
// the hierarchy and its buses), the gain, the priority and the playback parameters.
#include "ZkAudiolib/Common/GameObjects/CZkRegisteredObj.h"
#include "ZkAudiolib/Common/Hierarchy/CZkHierarchyNode.h"
#include "ZkAudiolib/Common/Hierarchy/CZkInstanceLimiter.h"
#include "ZkAudiolib/Common/Hierarchy/CZkPlayableNode.h"
#include "ZkAudiolib/Common/Hierarchy/ZkVoiceParams.h"
#include "ZkAudiolib/Common/Modulators/ZkModulatorTrigger.h"
#include "ZkAudiolib/Common/Parameters/CZkModulatorMgr.h"
#include "ZkAudiolib/Common/Playback/CZkPlayingInstance.h"
#include "ZkAudiolib/Common/Playback/IZkRenderSide.h"

#include <algorithm>
#include <cmath>
#include <type_traits>

namespace ZK::SoundEngine
{
namespace
{
constexpr uint32_t kPriorityParam = 17;
constexpr uint32_t kCounterParam = 33;
constexpr uint32_t kFirstBypassParam = 29;
constexpr uint32_t kLastBypassParam = 32;
constexpr uint32_t kParam5 = 5;
constexpr uint32_t kParam59 = 59;
constexpr uint32_t kSlot4 = 4;
constexpr uint32_t kSlot11 = 11;
// The behaviour byte: bit 7 computed, bits 3-6 below-threshold behaviour, bits 0-2 queue behaviour.
constexpr uint8_t kBehaviourComputed = 0x80;

// The properties whose sums fill the value slots (their accumulation slot is below 26), as the
// gathering's wanted words.
struct WantedWords
{
    uint32_t words[std::extent_v<decltype(ZkVoiceParams::wanted)>];
};

const WantedWords& WantedSlots()
{
    static const WantedWords wanted = []
    {
        ZkVoiceParams params;
        for (uint32_t id = 0; id < kPropertyCount; ++id)
        {
            if (PropertyInfo(id).accumulationSlot < CZkNodeInstanceBase::kValueSlots)
                params.Want(id);
        }
        WantedWords words{};
        std::copy(std::begin(params.wanted), std::end(params.wanted), words.words);
        return words;
    }();
    return wanted;
}

// The value slot of each randomised property (0, 6, 2, 3 and 4, in that order).
constexpr uint32_t kRandomisedSlots[kRandomisedProperties] = {0, 5, 1, 2, 3};
} // namespace

void CZkPlayingInstance::ApplyGathered(const ZkVoiceParams& params)
{
    for (uint32_t slot = 0; slot < kValueSlots; ++slot)
        m_values[slot] = params.accumulator[slot];
    for (uint32_t index = 0; index < kRandomisedProperties; ++index)
        m_values[kRandomisedSlots[index]] += m_randomOffsets[index];
    for (uint32_t send = 0; send < kUserSends; ++send)
        m_userSendBuses[send] = params.userAuxBuses[send];
    m_sendFlags = params.useGameAux ? kSendFlagGameSends : 0;
    for (const ZkGainEntry& gain : params.gains)
        m_contributions.Set(gain.gain, gain.node, gain.isGlobal, false);
}

void CZkPlayingInstance::RefreshFromNode()
{
    ClearEvaluation();
    m_contributions.DropUnkept();
    CZkHierarchyNode* node = Node();
    if (node != nullptr)
    {
        ZkVoiceParams params;
        std::copy(std::begin(WantedSlots().words), std::end(WantedSlots().words), params.wanted);
        ZkGatherRequest request;
        request.gameObject = IsDetached() ? nullptr : GameObjectOf();
        request.playKey = IsDetached() ? nullptr : &m_key;
        request.drawRandomOffsets = !m_randomDrawn;
        request.midiNote = m_midiEvent.HasNote() ? m_midiEvent.note : kNoMidiNote;
        node->GatherVoiceParams(params, request);
        if (!m_randomDrawn)
        {
            // The play keeps the offsets drawn for it through every later evaluation.
            std::copy(std::begin(params.randomOffsets), std::end(params.randomOffsets), m_randomOffsets);
            m_randomDrawn = true;
        }
        ApplyGathered(params);
    }
    if (!IsDetached())
    {
        m_values[kSlot11] += m_values[kSlot4];
        m_values[kSlot4] = 0.0f;
        CZkNodeInstanceBase::RefreshPositioning();
        TakeAutomationData();
        TakeParameterOffsets();
        if (Voice() != nullptr)
            g_pRenderSide->Refresh(Voice());
        SetSendValue(kUnsetSendValue);
        RecomputeGain();
        if (node != nullptr)
        {
            float base = kDefaultPriority;
            float offset = 0.0f;
            node->GetPriority(GameObjectOf(), base, offset);
            if (base != priority.basePriority)
            {
                priority.basePriority = base;
                SetPriority(base + m_distancePart);
            }
        }
        if ((m_flags & kFlagRefreshModulators) != 0)
        {
            // The node's settings were read again: the links are filled again from them.
            if (m_modulatorLinks.links != nullptr)
                m_modulatorLinks.links->ResetEntries();
            AttachModulators(kModulatorTriggerRefresh);
        }
        m_flags &= static_cast<uint8_t>(~kFlagRefreshModulators);
    }
    else
    {
        RecomputeGain();
    }
    m_flags |= kFlagEvaluated | kFlagEvaluatedOnce;
}

void CZkPlayingInstance::RecomputeGain()
{
    const float gain = m_contributions.Product() * m_fadeVolume * m_pauseVolume;
    m_linearGain = gain > 0.0f ? gain : 0.0f;
    m_flags &= static_cast<uint8_t>(~kFlagGainDirty);
}

void CZkPlayingInstance::SetContribution(const void* owner, uint8_t kind, float factor, bool remove)
{
    if (remove)
        m_contributions.Remove(owner, kind);
    else
        m_contributions.Set(factor, owner, kind, false);
    RecomputeGain();
}

void CZkPlayingInstance::SetParameterValue(uint32_t id, float value, float delta)
{
    switch (id)
    {
    case kParam5:
        m_values[kSlot11] += delta;
        return;
    case kPriorityParam:
        // The base moves; the part the distance adds stays, so the distance never flips its sign.
        priority.basePriority += delta;
        SetPriority(priority.basePriority + m_distancePart);
        return;
    case kCounterParam:
        m_counter = static_cast<uint16_t>(m_counter + static_cast<int32_t>(delta));
        return;
    case kParam59:
        return;
    default:
        break;
    }
    if (id >= kFirstBypassParam && id <= kLastBypassParam)
    {
        if (Voice() != nullptr)
            g_pRenderSide->AddEffectSlotBypass(Voice(), id - kFirstBypassParam, static_cast<int16_t>(delta));
        return;
    }
    CZkNodeInstanceBase::SetParameterValue(id, value, delta);
}

void CZkPlayingInstance::SetPriority(float value)
{
    const float clamped = ClampPriority(RankedPriority(value));
    if (clamped == priority.priority)
        return;
    for (CZkInstanceLimiter* limiter : m_limiters)
        limiter->ChangePriority(this, clamped);
    priority.priority = clamped;
}

void CZkPlayingInstance::SetPriorityFromDistance(float distance)
{
    float maxDistance = 0.0f;
    if (Node() == nullptr || !Node()->GetMaxAttenuationDistance(maxDistance))
        return;
    const float offset = priority.distanceOffset;
    m_distancePart =
        offset == 0.0f ? 0.0f : (distance < maxDistance ? offset * (distance / maxDistance) : offset);
    SetPriority(priority.basePriority + m_distancePart);
}

void CZkPlayingInstance::UpdateDistancePriority()
{
    SetSendValue(kUnsetSendValue);
    // Without an attenuation curve SetPriorityFromDistance leaves the priority without distance part.
    if (RayCount() != 0)
        SetPriorityFromDistance(NearestRayDistance());
    FollowPathListeners();
}

uint8_t CZkPlayingInstance::GetVirtualBehaviour(uint8_t& queueBehaviour)
{
    if ((m_behaviourByte & kBehaviourComputed) == 0 && Node() != nullptr)
    {
        const ZkBehaviours behaviours = Node()->GetBehaviours();
        uint8_t below = behaviours.belowThreshold & 0x0F;
        if (below == ZkBelowThreshold_ByLooping)
        {
            const auto* playable = dynamic_cast<const CZkPlayableNode*>(Node());
            below = playable != nullptr && playable->IsInfiniteLoop(nullptr) ? ZkBelowThreshold_Virtual
                                                                             : ZkBelowThreshold_Stop;
        }
        m_behaviourByte = static_cast<uint8_t>(kBehaviourComputed | below << 3 | (behaviours.queue & 0x07));
    }
    queueBehaviour = m_behaviourByte & 0x07;
    return (m_behaviourByte >> 3) & 0x0F;
}

ZKRESULT CZkPlayingInstance::AttachModulators(int32_t triggerKind)
{
    CZkHierarchyNode* node = Node();
    if (node == nullptr || g_pModulatorMgr == nullptr)
        return ZK_Success;
    ZkModulatorKeyList keys;
    node->RegisterModulatorKeys(keys, false);
    AppendLayerModulatorKeys(keys);
    if (keys.IsEmpty())
        return ZK_Success;
    ZkModulatorTrigger trigger;
    // Every game object is made as a registered object.
    trigger.gameObject = static_cast<CZkRegisteredObj*>(GameObjectOf());
    if (m_midiEvent.HasNote())
    {
        trigger.midi.status = static_cast<uint8_t>(m_midiEvent.type << 4);
        trigger.midi.note = m_midiEvent.note;
        trigger.midi.velocity = m_midiEvent.velocity;
    }
    trigger.midi.channel = m_midiEvent.channel;
    trigger.midiTargetID = m_key.midiTargetID;
    trigger.playingID = m_playingID;
    trigger.triggerKind = triggerKind;
    trigger.voice = this;
    return g_pModulatorMgr->ProcessForKeyList(keys, trigger, &m_modulatorLinks);
}
} // namespace ZK::SoundEngine
