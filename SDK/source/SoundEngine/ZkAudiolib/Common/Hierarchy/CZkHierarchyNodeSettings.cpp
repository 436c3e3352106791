// CZkHierarchyNode: the settings a voice takes from the first node up the hierarchy that overrides
// them (or the root): priority, positioning, effect bypass and effect slots, attached plug-ins,
// the custom effect, the below-threshold and queue behaviours, and MIDI settings.
#include "ZkAudiolib/Common/Hierarchy/CZkHierarchyNode.h"

#include "ZkAudiolib/Common/Attenuations/CZkAttenuation.h"
#include "ZkAudiolib/Common/GameObjects/CZkRegisteredObj.h"
#include "ZkAudiolib/Common/Hierarchy/CZkModifiedProps.h"

#include <ZK/SoundEngine/Common/ZkPositioningInfo.h>

#include <cmath>
#include <cstring>

namespace ZK::SoundEngine
{
namespace
{
constexpr uint32_t kPriorityParam = 17;
constexpr uint32_t kPositioning1Param = 18;
constexpr uint32_t kPositioning2Param = 19;
constexpr uint32_t kPositioning3Param = 58;
constexpr uint32_t kAutomationParams[3] = {20, 21, 22};
constexpr uint32_t kSpreadParam = 23;
constexpr uint32_t kCentreParam = 24;
constexpr uint32_t kSpeakerPanningParam = 46;
constexpr uint32_t kFirstBypassParam = 29;
constexpr uint32_t kBypassAllSlot = kEffectSlotCount; // bit 4
constexpr uint8_t kPannerShift = 2;
constexpr uint8_t kPannerMask = 0x7;
constexpr uint16_t kFurtherFlagsShift = 7;
constexpr uint16_t kValue3DShift = 3;
constexpr uint32_t kPropertyEffectCount = 30;
constexpr uint32_t kPropertyClampLow = 31;
constexpr uint32_t kPropertyClampHigh = 32;
constexpr ZkUniqueID kNoEffect = 0xFFFFFFFFu;

ZkRTPCKey KeyOf(CZkGameObject* object)
{
    return object != nullptr ? ZkRTPCKey::ForObject(static_cast<CZkRegisteredObj*>(object)) : ZkRTPCKey::Global();
}

// The first node from node up whose test holds, or the root.
template <typename Test>
const CZkHierarchyNode* FirstUp(const CZkHierarchyNode* node, Test test)
{
    while (!test(*node) && node->Parent() != nullptr)
        node = node->Parent();
    return node;
}

bool Drives(const CZkHierarchyNode& node, uint32_t parameter)
{
    return (node.ParamTargets().UsedBits() >> parameter & 1u) != 0;
}

// The value a game parameter adds to a property for the key, 0 when the node does not drive it.
float DrivenValue(const CZkHierarchyNode& node, uint32_t parameter, const ZkRTPCKey& key)
{
    return Drives(node, parameter) ? const_cast<CZkHierarchyNode&>(node).ParamValueForKey(parameter, key) : 0.0f;
}

// An effect object of bank type 16 (share set) or 17 (custom) with a reference.
CZkIndexedObject* FindEffect(ZkUniqueID id, bool isShareSet)
{
    if (id == 0 || id == kNoEffect || g_pObjectIndex == nullptr)
        return nullptr;
    return g_pObjectIndex->GetPtrAndAddRef(isShareSet ? ZkIndexKind::SharedEffects : ZkIndexKind::CustomEffects, id);
}

uint32_t CollectTable(const CZkHierarchyNode& node, ZK::ZkArray<CZkIndexedObject*>* objects)
{
    uint32_t found = 0;
    for (uint32_t index = 0; index < node.PluginAttachmentCount(); ++index)
    {
        const ZkPluginAttachment& entry = node.PluginAttachments()[index];
        CZkIndexedObject* effect = FindEffect(entry.effectID, entry.isShareSet != 0);
        if (effect == nullptr)
            continue;
        ++found;
        if (objects == nullptr || objects->AddLast(effect) == nullptr)
            effect->Release();
    }
    return found;
}
} // namespace

void CZkHierarchyNode::GetPriority(CZkGameObject* object, float& priority, float& distanceOffset)
{
    const CZkHierarchyNode* owner =
        FirstUp(this, [](const CZkHierarchyNode& node) { return (node.m_overrideMask & kOverridePriority) != 0; });
    const float sum = owner->GetFloatProperty(ZkProp_Priority) + owner->StateValue(kPriorityParam) +
                      DrivenValue(*owner, kPriorityParam, KeyOf(object));
    priority = std::isfinite(sum) ? sum : kDefaultPriority;
    distanceOffset = (owner->m_flagsA & kNodeFlagA_PriorityDistanceOffset) != 0
                         ? owner->GetFloatProperty(ZkProp_PriorityDistanceOffset)
                         : 0.0f;
}

const CZkHierarchyNode* CZkHierarchyNode::PositioningOwner() const
{
    return FirstUp(this, [](const CZkHierarchyNode& node) { return (node.m_overrideMask & kOverridePositioning) != 0; });
}

ZkPositioningValues CZkHierarchyNode::GetPositioningValues(CZkGameObject* object) const
{
    const CZkHierarchyNode& owner = *PositioningOwner();
    const ZkRTPCKey key = KeyOf(object);
    ZkPositioningValues values;
    values.value1 = owner.GetFloatProperty(ZkProp_PositioningValue1) + DrivenValue(owner, kPositioning1Param, key);
    values.value2 = owner.GetFloatProperty(ZkProp_PositioningValue2) + DrivenValue(owner, kPositioning2Param, key);
    values.value3 = owner.GetFloatProperty(ZkProp_PositioningValue3) + DrivenValue(owner, kPositioning3Param, key);
    values.centrePercent = Drives(owner, kCentreParam) ? DrivenValue(owner, kCentreParam, key)
                                                        : owner.GetFloatProperty(ZkProp_PositioningCentre);
    values.pannerType = static_cast<uint8_t>((owner.m_flagsB >> kPannerShift) & kPannerMask);
    values.has3D = owner.GetFlagBit1();
    return values;
}

Zk3DModeInfo CZkHierarchyNode::Get3DModeInfo(CZkGameObject* object) const
{
    const CZkHierarchyNode& owner = *PositioningOwner();
    const ZkRTPCKey key = KeyOf(object);
    Zk3DModeInfo info;
    info.positioningBits = owner.m_positioningBits;
    info.speakerPanning = owner.StateValue(kSpeakerPanningParam) + DrivenValue(owner, kSpeakerPanningParam, key) > 0.0f;
    info.attenuationID = static_cast<ZkUniqueID>(owner.GetIntProperty(ZkProp_Attenuation));
    info.spread = Drives(owner, kSpreadParam) ? DrivenValue(owner, kSpreadParam, key)
                                              : owner.GetFloatProperty(ZkProp_PositioningSpread);
    return info;
}

void CZkHierarchyNode::GetAutomationOffsets(CZkGameObject* object, float percent, float offsets[3]) const
{
    const CZkHierarchyNode& owner = *PositioningOwner();
    const ZkRTPCKey key = KeyOf(object);
    for (uint32_t axis = 0; axis < 3; ++axis)
    {
        const uint32_t parameter = kAutomationParams[axis];
        offsets[axis] = Drives(owner, parameter) ? (owner.StateValue(static_cast<uint16_t>(parameter)) +
                                                    DrivenValue(owner, parameter, key)) * percent * 0.01f
                                                 : 0.0f;
    }
}

ZKRESULT CZkHierarchyNode::GetPositioningInfo(ZkPositioningInfo& info) const
{
    std::memset(&info, 0, sizeof(info));
    const CZkHierarchyNode& owner = *PositioningOwner();
    info.centerPercent = owner.GetFloatProperty(ZkProp_PositioningCentre) / 100.0f;
    info.pannerType = static_cast<uint8_t>((owner.m_flagsB >> kPannerShift) & kPannerMask);
    info.positionMode3D = static_cast<uint8_t>(PositionMode());
    info.flags = static_cast<uint8_t>((m_positioningBits >> kFurtherFlagsShift) & 0x3u);
    info.value3D = static_cast<uint8_t>((m_positioningBits >> kValue3DShift) & 0x3u);
    info.attenuationID = static_cast<ZkUniqueID>(GetIntProperty(ZkProp_Attenuation));
    CZkAttenuation* attenuation = CZkAttenuation::Find(info.attenuationID);
    if (attenuation == nullptr)
        return ZK_Success;
    info.hasAttenuation = true;
    info.hasCone = attenuation->ConeEnabled();
    if (info.hasCone)
    {
        info.cone[0] = attenuation->ConeInsideHalfAngle();
        info.cone[1] = attenuation->ConeOutsideHalfAngle();
        info.cone[2] = attenuation->ConeOutsideVolumeDb();
        info.cone[3] = attenuation->ConeOutsideLowPass();
        info.cone[4] = attenuation->ConeOutsideHighPass();
    }
    for (uint32_t role = 0; role < ZkPositioningInfo::kAttenuationCurves; ++role)
        info.curveMaxDistance[role] = attenuation->LastPointX(role);
    attenuation->Release();
    return ZK_Success;
}

bool CZkHierarchyNode::GetMaxAttenuationDistance(float& distance) const
{
    // The first mapped curve of the positioning owner's attenuation (property 70) reaches farthest.
    distance = 0.0f;
    CZkAttenuation* attenuation =
        CZkAttenuation::Find(static_cast<ZkUniqueID>(PositioningOwner()->GetIntProperty(ZkProp_Attenuation)));
    if (attenuation == nullptr)
        return false;
    bool found = false;
    for (uint32_t role = 0; role < CZkAttenuation::kRoles && !found; ++role)
    {
        if (attenuation->HasCurve(role))
        {
            distance = attenuation->LastPointX(role);
            found = true;
        }
    }
    attenuation->Release();
    return found;
}

bool CZkHierarchyNode::IsEffectBypassed(uint32_t slot, CZkGameObject* object) const
{
    const uint32_t parameter = kFirstBypassParam + slot;
    const bool slotHoldsEffect = slot == kBypassAllSlot || EffectSlotID(slot) != 0;
    if (slotHoldsEffect && (Drives(*this, parameter) || (StateDrivenMask() >> parameter & 1u) != 0))
        return StateValue(static_cast<uint16_t>(parameter)) + DrivenValue(*this, parameter, KeyOf(object)) != 0.0f;
    const CZkModifiedProps* record = object != nullptr ? FindModifiedProps(object) : nullptr;
    if (record == nullptr)
        record = m_globalModified;
    const uint8_t bits = record != nullptr ? record->BypassBits() : m_effects.BypassBits();
    return (bits >> slot & 1u) != 0;
}

ZKRESULT CZkHierarchyNode::SetEffectBypass(uint8_t bits, uint8_t mask, CZkGameObject* object)
{
    auto apply = [&](CZkModifiedProps& record) {
        record.SetBypassBits(static_cast<uint8_t>((bits & mask) | (record.BypassBits() & ~mask)));
    };
    CZkModifiedProps* record = GetOrCreateModifiedProps(object);
    if (record == nullptr)
        return ZK_Fail;
    apply(*record);
    if (object == nullptr)
    {
        for (const ModifiedPair& pair : m_objectModified)
            apply(*pair.record);
    }
    // Slots whose bypass a game parameter or state decides keep what those say.
    const CZkHierarchyNode& owner = *EffectsOwner();
    const uint64_t decided = owner.m_params.UsedBits() | owner.StateDrivenMask();
    uint8_t notified = mask;
    for (uint32_t slot = 0; slot <= kBypassAllSlot; ++slot)
    {
        if ((decided >> (kFirstBypassParam + slot) & 1u) != 0)
            notified = static_cast<uint8_t>(notified & ~(1u << slot));
    }
    if (notified != 0)
        NotifyEffectBypass(bits, notified);
    return ZK_Success;
}

void CZkHierarchyNode::NotifyEffectBypass(uint8_t, uint8_t) {}

const CZkHierarchyNode* CZkHierarchyNode::EffectsOwner() const
{
    if (IsBus())
        return this;
    return FirstUp(this, [](const CZkHierarchyNode& node) { return (node.m_overrideMask & kOverrideEffectBypass) != 0; });
}

CZkIndexedObject* CZkHierarchyNode::ResolvedEffectSlotObject(uint32_t slot) const
{
    return EffectsOwner()->EffectSlotObject(slot);
}

ZkUniqueID CZkHierarchyNode::ResolvedEffectSlotID(uint32_t slot) const
{
    const CZkHierarchyNode& owner = *EffectsOwner();
    return owner.m_effects.Block() == nullptr ? kNoEffect : owner.EffectSlotID(slot);
}

uint32_t CZkHierarchyNode::CollectAttachedPlugins(ZK::ZkArray<CZkIndexedObject*>* objects) const
{
    uint32_t found = 0;
    const CZkHierarchyNode* bus = nullptr;
    if (!IsBus())
    {
        const CZkHierarchyNode* level = this;
        for (;; level = level->m_parent)
        {
            if (bus == nullptr)
                bus = level->m_outputBus;
            if ((level->m_overrideMask & kOverridePluginAttachments) != 0 || level->m_parent == nullptr)
                break;
        }
        found += CollectTable(*level, objects);
    }
    else
    {
        bus = this;
    }
    for (; bus != nullptr; bus = bus->m_parent)
    {
        found += CollectTable(*bus, objects);
        if (bus->NeedsProcessing())
            break;
    }
    return found;
}

CZkIndexedObject* CZkHierarchyNode::GetCustomEffect() const
{
    const CZkHierarchyNode* owner = FirstUp(this, [](const CZkHierarchyNode& node) {
        return (node.m_flagsA & kNodeFlagA_OverridesCustomEffect) != 0 || node.m_outputBus != nullptr;
    });
    return FindEffect(static_cast<ZkUniqueID>(owner->GetIntProperty(ZkProp_CustomEffect)), false);
}

ZkBehaviours CZkHierarchyNode::GetBehaviours() const
{
    const CZkHierarchyNode* owner =
        FirstUp(this, [](const CZkHierarchyNode& node) { return (node.m_flagsA & kNodeFlagA_OverridesBehaviours) != 0; });
    return ZkBehaviours{owner->BelowThresholdBehaviour(), owner->EffectiveQueueBehaviour()};
}

ZkMidiSettings CZkHierarchyNode::GetMidiSettings() const
{
    const CZkHierarchyNode* mode =
        FirstUp(this, [](const CZkHierarchyNode& node) { return (node.m_flagsB & kNodeFlagB_OverridesMidiPlayMode) != 0; });
    const CZkHierarchyNode* tracking =
        FirstUp(this, [](const CZkHierarchyNode& node) { return (node.m_flagsB & kNodeFlagB_OverridesKeyTracking) != 0; });
    ZkMidiSettings settings;
    settings.playMode = mode->GetIntProperty(ZkProp_MidiPlayMode);
    settings.modeFlag = (mode->m_flagsC & kNodeFlagC_MidiMode) != 0;
    settings.keyTracking = (tracking->m_flagsB & kNodeFlagB_KeyTracking) != 0;
    settings.rootNote = tracking->GetIntProperty(ZkProp_MidiRootNote);
    return settings;
}

uint32_t CZkHierarchyNode::GetStoredProperty30() const
{
    const uint8_t* stored = m_props.Find(kPropertyEffectCount);
    return stored != nullptr ? ZK::LoadLittleEndian<uint32_t>(stored) : 0;
}

float CZkHierarchyNode::GetStoredProperties31And32(float value) const
{
    const float low = GetFloatProperty(kPropertyClampLow);
    const float high = GetFloatProperty(kPropertyClampHigh);
    if (value < low)
        return low;
    return value > high ? high : value;
}
} // namespace ZK::SoundEngine
