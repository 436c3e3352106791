// CZkHierarchyNode::GatherVoiceParams: a voice's parameters from its node up the hierarchy, and
// then up the chain of its output bus.
//
// Groups (resolved once, by the first level that overrides them, or by the root):
//   effect bypass (mask bits 12-16), flag byte D (its bit 1), property 33 (mask bit 20, when the
//   record asks for it), user aux sends (mask 0x7f83c00000), game-defined aux sends (mask
//   0x18000200000), output routing (the first level with an output bus), extra aux bus (bit 30).
// Sums (every level): the property list, the values of the game parameters the level's first
// target list drives, the state values, and the modified-property records (gain, property 11, is a
// factor kept per node; the others are added). After the levels above, the layers of a layered
// container add their bound properties and crossfade gains to the voice of one of its children.
#include "ZkAudiolib/Common/Hierarchy/CZkHierarchyNode.h"

#include "ZkAudiolib/Common/GameObjects/CZkRegisteredObj.h"
#include "ZkAudiolib/Common/Hierarchy/CZkContainerLayer.h"
#include "ZkAudiolib/Common/Hierarchy/CZkModifiedProps.h"
#include "ZkAudiolib/Common/Hierarchy/CZkPlayableNode.h"

namespace ZK::SoundEngine
{
namespace
{
constexpr uint32_t kParameter37 = 37;
constexpr uint32_t kPitchProperty = 2;
constexpr float kCentsPerSemitone = 100.0f;
constexpr uint8_t kFlagD_Override = 0x01;
constexpr uint8_t kFlagD_Value = 0x02;
constexpr uint8_t kFlagD_Property33 = 0x04;

ZkRTPCKey KeyOf(CZkGameObject* object)
{
    return object != nullptr ? ZkRTPCKey::ForObject(static_cast<CZkRegisteredObj*>(object)) : ZkRTPCKey::Global();
}

// Adds the entries of a modified-property record: gain as the node's factor, others summed.
void AddRecord(ZkVoiceParams& params, const CZkHierarchyNode& node, CZkModifiedProps* record, bool isGlobal)
{
    if (record == nullptr)
        return;
    for (const CZkModifiedProps::Entry& entry : record->Entries())
    {
        if (entry.propertyID == ZkProp_Gain)
        {
            if (entry.value != 1.0f)
                params.SetGain(&node, isGlobal, entry.value);
        }
        else
        {
            params.Add(entry.propertyID, entry.value);
        }
    }
}
} // namespace

void CZkHierarchyNode::AccumulateLevel(ZkVoiceParams& params, const ZkRTPCKey& key) const
{
    constexpr uint32_t kSummedIDs = 74;
    const uint32_t count = m_props.Count();
    for (uint32_t index = 0; index < count; ++index)
    {
        const uint8_t id = m_props.IdAt(index);
        if (id < kSummedIDs)
            params.Add(id, GetFloatProperty(id));
    }
    auto* self = const_cast<CZkHierarchyNode*>(this);
    for (uint64_t driven = m_params.UsedBits(); driven != 0; driven &= driven - 1)
    {
        const auto parameter = static_cast<uint32_t>(__builtin_ctzll(driven));
        const uint32_t property = ParameterProperty(parameter);
        if (property != kNoProperty && params.Wants(property))
            params.Add(property, self->ParamValueForKey(parameter, key));
    }
    for (uint64_t driven = StateDrivenMask(); driven != 0; driven &= driven - 1)
    {
        const auto parameter = static_cast<uint16_t>(__builtin_ctzll(driven));
        const uint32_t property = ParameterProperty(parameter);
        if (property != kNoProperty && params.Wants(property))
            params.Add(property, StateValue(parameter));
    }
}

void CZkHierarchyNode::GatherLevel(ZkVoiceParams& params, const ZkGatherRequest& request, const ZkRTPCKey& key)
{
    const bool isRoot = m_parent == nullptr;
    auto resolves = [&](uint8_t group, bool overrides) {
        if ((params.resolved & group) != 0 || !(overrides || isRoot))
            return false;
        params.resolved |= group;
        return true;
    };
    if (resolves(ZkVoiceParams::kEffectBypass, (m_overrideMask & kOverrideEffectBypass) != 0))
        params.bypassAll = IsEffectBypassed(kEffectSlotCount, request.gameObject);
    const uint8_t flagsD = AdvancedFlags();
    if (resolves(ZkVoiceParams::kFlagD, (flagsD & kFlagD_Override) != 0))
        params.flagD = (flagsD & kFlagD_Value) != 0;
    if (params.wantsProperty33 && resolves(ZkVoiceParams::kProperty33, (m_overrideMask & kOverrideParam37) != 0))
    {
        params.property33 = (m_params.UsedBits() >> kParameter37 & 1u) != 0 ? ParamValueForKey(kParameter37, key)
                                                                            : GetFloatProperty(33);
        params.property33Flag = (flagsD & kFlagD_Property33) != 0;
    }
    if (resolves(ZkVoiceParams::kUserAux, (m_overrideMask & kOverrideUserAux) != 0))
    {
        for (uint32_t send = 0; send < ZkVoiceParams::kUserAuxSends; ++send)
        {
            params.userAuxBuses[send] = UserAuxBusID(send);
            params.userAuxLevels[send] = 0.0f;
        }
        params.userAuxMask = m_auxBusIDs != nullptr ? 0x0F : 0;
    }
    if (resolves(ZkVoiceParams::kGameAux, (m_overrideMask & kOverrideGameAux) != 0))
    {
        for (float& level : params.gameAuxLevels)
            level = 0.0f;
        params.useGameAux = (m_flagsB & kNodeFlagB_UseGameAuxSends) != 0;
    }
    if ((params.resolved & ZkVoiceParams::kRouting) == 0 && m_outputBus != nullptr)
    {
        params.resolved |= ZkVoiceParams::kRouting;
        params.outputBus = request.includeBusChain ? m_outputBus : nullptr;
    }
    if (resolves(ZkVoiceParams::kExtraAux, (m_overrideMask & kOverrideExtraAux) != 0))
        params.extraAuxBus = m_extraAuxBusID;

    AccumulateLevel(params, key);
    AddRecord(params, *this, m_globalModified, true);
    if (request.gameObject != nullptr)
        AddRecord(params, *this, FindModifiedProps(request.gameObject), false);
    if (request.drawRandomOffsets)
        AddRandomOffsets(params.randomOffsets);
    if (request.modulatorKeys != nullptr)
        AppendModulatorKey(*request.modulatorKeys);
}

void CZkHierarchyNode::GatherVoiceParams(ZkVoiceParams& params, const ZkGatherRequest& request)
{
    const ZkRTPCKey key = request.playKey != nullptr ? *request.playKey : KeyOf(request.gameObject);
    GatherLevel(params, request, key);
    CZkHierarchyNode* parent = m_parent != request.stopAt ? m_parent : nullptr;
    // Key tracking is the first level's (the sound's) alone.
    ZkGatherRequest above = request;
    above.midiNote = kNoMidiNote;
    if (request.includeBusChain && m_outputBus != nullptr)
    {
        above.includeBusChain = false;
        if (parent != nullptr)
            parent->GatherVoiceParams(params, above);
        above.stopAt = nullptr;
        m_outputBus->GatherVoiceParams(params, above);
    }
    else if (parent != nullptr)
    {
        parent->GatherVoiceParams(params, above);
    }
    // The layers of a layered container above add what they give this level's children.
    if (const auto* playable = dynamic_cast<const CZkPlayableNode*>(this))
    {
        for (uint32_t index = 0; index < playable->LayerLinkCount(); ++index)
            playable->LayerLink(index)->GetVoiceParams(params, key, this, request.modulatorKeys);
    }

    if (request.midiNote == kNoMidiNote || Category() != ZkNodeCategory_Sound)
        return;
    const ZkMidiSettings midi = GetMidiSettings();
    if (midi.keyTracking)
        params.Add(kPitchProperty, static_cast<float>(request.midiNote - midi.rootNote) * kCentsPerSemitone);
}

void CZkHierarchyNode::InitMixParams(ZkVoiceParams& params, CZkGameObject* object)
{
    ZkGatherRequest request;
    request.gameObject = object;
    request.includeBusChain = false;
    params.wantsProperty33 = true;
    GatherVoiceParams(params, request);
}

float CZkHierarchyNode::LevelSum(uint32_t property, CZkGameObject* object)
{
    ZkVoiceParams params;
    params.Want(property);
    ZkGatherRequest request;
    request.gameObject = object;
    request.includeBusChain = false;
    GatherLevel(params, request, KeyOf(object));
    return params.Sum(property);
}
} // namespace ZK::SoundEngine
