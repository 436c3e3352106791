// CZkContainerLayer: the crossfade's gains on the children's playing instances, as a value of the
// crossfade parameter changes and as an instance gathers its parameters.
#include "ZkAudiolib/Common/Hierarchy/CZkContainerLayer.h"

#include "ZkAudiolib/Common/Hierarchy/CZkLayeredContainerNode.h"
#include "ZkAudiolib/Common/Hierarchy/ZkVoiceParams.h"
#include "ZkAudiolib/Common/Modulators/CZkModulatorLinks.h"
#include "ZkAudiolib/Common/Parameters/CZkModulatorMgr.h"
#include "ZkAudiolib/Common/Parameters/CZkRTPCMgr.h"
#include "ZkAudiolib/Common/Parameters/CZkRTPCOverrideFilter.h"
#include "ZkAudiolib/Common/Parameters/ZkRTPCTypes.h"
#include "ZkAudiolib/Common/Playback/CZkPlayingInstance.h"
#include "ZkAudiolib/Common/Playback/CZkPlayingMgr.h"

namespace ZK::SoundEngine
{
namespace
{
// The properties a layer's bindings may add to a voice.
constexpr uint32_t kVoiceProperties[] = {7, 0, 2, 3, 4};
// Contribution kinds of a layer's gain: for a value of the instance's game object, or global.
constexpr uint8_t kObjectGain = 0;
constexpr uint8_t kGlobalGain = 1;

bool Below(const CZkHierarchyNode* node, const CZkHierarchyNode* ancestor)
{
    for (; node != nullptr; node = node->Parent())
    {
        if (node == ancestor)
            return true;
    }
    return false;
}
} // namespace

ZKRESULT CZkContainerLayer::OnParameterChanged(const ZkRTPCKey& key, float oldValue, float newValue,
                                               const CZkRTPCOverrideFilter* filter)
{
    if (m_associations.IsEmpty())
        return ZK_Success;
    AddRef(); // a stopped child may take the owner's last play, and its subscriptions with it
    for (uint32_t index = 0; index < m_associations.Length(); ++index)
    {
        CZkHierarchyNode* child = m_associations[index].child;
        if (child == nullptr)
            continue;
        child->AddRef();
        const bool wasSilent = m_associations[index].IsSilentAt(oldValue);
        const bool nowSilent = m_associations[index].IsSilentAt(newValue);
        if (wasSilent != nowSilent && m_owner != nullptr && m_owner->IsContinuous())
            m_owner->OnChildAudibilityChanged(m_associations[index].childID, nowSilent, key, filter);
        // The context's play may have changed the array: the association is found again.
        if (index < m_associations.Length() && m_associations[index].child == child && !(wasSilent && nowSilent) &&
            child->PlayCount() > 0)
        {
            CZkLayerAssociation& association = m_associations[index];
            const float gain = association.GainAt(newValue);
            if (wasSilent != nowSilent || gain != 1.0f || association.GainAt(oldValue) != 1.0f)
                PushGain(association, key, gain, filter);
        }
        child->Release();
    }
    Release();
    return ZK_Success;
}

void CZkContainerLayer::PushGain(CZkLayerAssociation& association, const ZkRTPCKey& key, float gain,
                                 const CZkRTPCOverrideFilter* filter)
{
    const uint8_t kind = key.gameObject != nullptr ? kObjectGain : kGlobalGain;
    auto apply = [&](CZkPlayingInstance& instance) {
        if (!key.Matches(instance.Key()) || (filter != nullptr && filter->IsOverridden(instance.Key())))
            return;
        instance.SetContribution(this, kind == kObjectGain ? kGlobalGain : kObjectGain, 1.0f, true);
        instance.SetContribution(this, kind, gain, false);
    };
    if (key.playingID != 0 && association.InstanceCount() > kTrackedInstancesScanned && g_pPlayingMgr != nullptr)
    {
        // Fewer instances to look at through the playing id than through the association.
        if (const ZkPlayingInstanceList* list = g_pPlayingMgr->FindPlayingID(key.playingID))
        {
            for (CZkPlayingInstance* instance : *list)
            {
                if (instance != nullptr && Below(instance->Node(), association.child))
                    apply(*instance);
            }
        }
        return;
    }
    for (uint32_t index = 0; index < association.InstanceCount(); ++index)
        apply(*association.Instance(index));
}

void CZkContainerLayer::AddInstance(CZkPlayingInstance* instance, const CZkHierarchyNode* child)
{
    for (CZkLayerAssociation& association : m_associations)
    {
        if (association.child == child)
            association.AddInstance(instance);
    }
}

void CZkContainerLayer::RemoveInstance(CZkPlayingInstance* instance, const CZkHierarchyNode* child)
{
    for (CZkLayerAssociation& association : m_associations)
    {
        if (association.child == child)
            association.RemoveInstance(instance);
    }
}

void CZkContainerLayer::GetVoiceParams(ZkVoiceParams& params, const ZkRTPCKey& key, const CZkHierarchyNode* child,
                                       ZkModulatorKeyList* keys)
{
    if (keys != nullptr)
        AppendModulatorKeys(*keys);
    if (g_pRTPCMgr == nullptr)
        return;
    for (const uint32_t property : kVoiceProperties)
    {
        if ((m_propertyMask >> property & 1u) != 0 && params.Wants(property))
            params.Add(property, g_pRTPCMgr->GetModulatorValue(this, property, key));
    }
    if (m_crossfadeID == 0)
        return;
    for (CZkLayerAssociation& association : m_associations)
    {
        if (association.child != child || !association.HasCurve())
            continue;
        bool objectSpecific = false;
        const float value = ParamValueFor(key, objectSpecific);
        const float gain = association.GainAt(value);
        if (gain != 1.0f || objectSpecific)
            params.SetGain(this, !objectSpecific, gain);
        return;
    }
}

void CZkContainerLayer::CollectModulatorTargets(ZK::ZkArray<ZkModulatorLinkEntry>& entries,
                                                ZkUniqueID modulatorID) const
{
    if (g_pModulatorMgr == nullptr)
        return;
    for (const uint32_t bit : CZkModulatorMgr::kLinkedBits)
    {
        if ((m_propertyMask >> bit & 1u) == 0)
            continue;
        ZkModulatorLinkEntry entry{};
        if (g_pModulatorMgr->GetLinkEntry(this, bit, modulatorID, entry))
            entries.AddLast(entry);
    }
}

void CZkContainerLayer::AppendModulatorKeys(ZkModulatorKeyList& keys) const
{
    if (g_pModulatorMgr != nullptr && m_owner != nullptr)
        g_pModulatorMgr->AppendEntryForKey(
            ZkModulatorTargetKey{this, m_owner, ZkRTPCSubscriberKind_LayerA, 0}, keys);
}
} // namespace ZK::SoundEngine
