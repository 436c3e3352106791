// A switch container following its group: value changes for the game objects it plays for, and
// the actions that end, pause and resume its per-play contexts.
#include "ZkAudiolib/Common/FrontEnd/EventManager.h"
#include "ZkAudiolib/Common/FrontEnd/ZkExternalSourceArray.h"
#include "ZkAudiolib/Common/GameObjects/CZkGameObject.h"
#include "ZkAudiolib/Common/GameObjects/CZkRegisteredObj.h"
#include "ZkAudiolib/Common/GameObjects/CZkRegistryMgr.h"
#include "ZkAudiolib/Common/Hierarchy/CZkSwitchContainerNode.h"
#include "ZkAudiolib/Common/Hierarchy/ZkPlayContextBlocks.h"
#include "ZkAudiolib/Common/Parameters/CZkRTPCOverrideFilter.h"
#include "ZkAudiolib/Common/Playback/CZkActiveInstances.h"
#include "ZkAudiolib/Common/Playback/CZkContextPlayingInstance.h"
#include "ZkAudiolib/Common/Playback/CZkPlayingMgr.h"

namespace ZK::SoundEngine
{
namespace
{
// Fades of a change follow a linear curve.
constexpr uint32_t kChangeFadeCurve = ZkCurveInterpolation_Linear;

bool Matches(const CZkSwitchPlayContext& context, const ZkActionParams& params)
{
    return (params.gameObject == nullptr || params.gameObject == context.gameObject) &&
           (params.playingID == 0 || params.playingID == context.playingID);
}
} // namespace

void CZkSwitchPlayContext::ExecuteAction(const ZkActionParams& params) { owner->ApplyActionToContext(this, params); }

void CZkSwitchContainerNode::Follow()
{
    if (m_subscribed)
        return;
    m_subscribed = m_subscriber.Register(m_groupID, m_groupType) == ZK_Success;
}

void CZkSwitchContainerNode::StopFollowing()
{
    if (!m_subscribed)
        return;
    m_subscriber.Unregister();
    m_subscribed = false;
}

void CZkSwitchContainerNode::OnGroupValueChanged(ZkUniqueID value, const ZkRTPCKey& key,
                                                 const CZkRTPCOverrideFilter* filter)
{
    if (!m_continuous)
        return;
    CZkGameObject* object = key.gameObject;
    if (PlayCount() <= 0 && object != nullptr)
    {
        // Not playing: the value only counts for the object's next play.
        if (g_pRegistryMgr != nullptr)
        {
            const ZkObjectValue stored = g_pRegistryMgr->GetObjectValue(object, ID());
            const uint32_t count = stored.count > 0 && stored.value == value ? stored.count + 1 : 1;
            g_pRegistryMgr->AddObjectValue(object, ID(), ZkObjectValue{value, count});
        }
        return;
    }
    AddRef(); // a stopped child may let the last other reference go
    ApplyValueChange(value, object, filter);
    Release();
}

void CZkSwitchContainerNode::ApplyValueChange(ZkUniqueID value, CZkGameObject* object,
                                              const CZkRTPCOverrideFilter* filter)
{
    if (g_pRegistryMgr == nullptr)
        return;
    if (object != nullptr)
    {
        const ZkObjectValue before = g_pRegistryMgr->GetObjectValue(object, ID());
        if (before.count > 0 && before.value == value)
            return;
        for (CZkSwitchPlayContext* context = m_contexts; context != nullptr; context = context->next)
            context->changing = context->gameObject == object;
        for (CZkSwitchPlayContext* context = m_contexts; context != nullptr; context = context->next)
        {
            if (context->changing)
            {
                context->changing = false;
                SwitchContext(*context, before, value);
            }
        }
        return;
    }
    if (m_contexts == nullptr)
    {
        g_pRegistryMgr->ClearObjectValue(ID(), nullptr);
        return;
    }
    // Every concerned context is chosen, with its object's value, before any changes: two plays
    // on one object both switch.
    for (CZkSwitchPlayContext* context = m_contexts; context != nullptr; context = context->next)
    {
        context->before = g_pRegistryMgr->GetObjectValue(context->gameObject, ID());
        ZkRTPCKey key;
        key.gameObject = dynamic_cast<CZkRegisteredObj*>(context->gameObject);
        context->changing = (context->before.count == 0 || context->before.value != value) &&
                            (filter == nullptr || !filter->IsOverridden(key));
    }
    for (CZkSwitchPlayContext* context = m_contexts; context != nullptr; context = context->next)
    {
        if (context->changing)
        {
            context->changing = false;
            SwitchContext(*context, context->before, value);
        }
    }
}

void CZkSwitchContainerNode::SwitchContext(CZkSwitchPlayContext& context, ZkObjectValue before, ZkUniqueID value)
{
    const CZkSwitchValueEntry* oldEntry = before.count > 0 ? m_values.Find(before.value) : nullptr;
    const CZkSwitchValueEntry* newEntry = m_values.Find(value);
    if (newEntry == nullptr)
    {
        newEntry = m_values.Find(m_defaultValue);
        value = m_defaultValue;
    }
    StopOldChildren(oldEntry, newEntry, context.gameObject);
    if (newEntry != nullptr)
    {
        for (uint32_t index = 0; index < newEntry->children.Length(); ++index)
        {
            const ZkUniqueID childID = newEntry->children[index];
            const CZkSwitchChildSettings settings = m_settings.For(childID);
            if (settings.ContinueAcross() && oldEntry != nullptr && oldEntry->Contains(childID))
                continue;
            PlayLaunchParams params;
            params.gameObject = context.gameObject;
            params.playingID = context.playingID;
            params.externalSources = context.externalSources;
            if (params.externalSources != nullptr)
                params.externalSources->AddRef();
            params.path = context.path;
            params.fadeInTime = settings.fadeInMs;
            params.fadeInCurve = kChangeFadeCurve;
            params.playType = context.paused ? 1 : 0;
            PlayOneChild(childID, params, false);
            params.FreeArrays();
        }
    }
    if (context.gameObject != nullptr)
        g_pRegistryMgr->AddObjectValue(context.gameObject, ID(), ZkObjectValue{value, 1});
}

void CZkSwitchContainerNode::StopOldChildren(const CZkSwitchValueEntry* oldEntry, const CZkSwitchValueEntry* newEntry,
                                             CZkGameObject* object)
{
    if (oldEntry == nullptr)
        return;
    for (uint32_t index = 0; index < oldEntry->children.Length(); ++index)
    {
        const ZkUniqueID childID = oldEntry->children[index];
        const CZkSwitchChildSettings settings = m_settings.For(childID);
        if (m_continuous && settings.ContinueAcross() && newEntry != nullptr && newEntry->Contains(childID))
            continue;
        auto* child = static_cast<CZkHierarchyNode*>(g_pObjectIndex->GetNodePtrAndAddRef(childID, false));
        if (child == nullptr)
            continue; // not loaded: nothing of it plays
        if (g_pEventMgr != nullptr)
            g_pEventMgr->StopPendingActions(child, object, 0);
        if (settings.Mode() == CZkSwitchChildSettings::kModeStopWithFade)
            child->ExecuteAction(ZkActionCode_Stop, object, settings.fadeOutMs, kChangeFadeCurve, 0);
        else
            LetChildFinish(*child, object);
        child->Release();
    }
}

void CZkSwitchContainerNode::LetChildFinish(const CZkHierarchyNode& child, CZkGameObject* object)
{
    for (CZkPlayingInstance* instance = CZkActiveInstances::First(); instance != nullptr;
         instance = instance->pNextActive)
    {
        const CZkHierarchyNode* node = instance->Node();
        if (instance->GameObjectOf() != object || node == nullptr || (node != &child && !node->IsDescendantOf(&child)))
            continue;
        if (auto* continuing = dynamic_cast<CZkContextPlayingInstance*>(instance))
            continuing->LeaveContainer(this);
        else
            instance->StopLooping();
    }
}

void CZkSwitchContainerNode::RemoveContext(CZkSwitchPlayContext* context, bool clearValue)
{
    CZkSwitchPlayContext** link = &m_contexts;
    while (*link != nullptr && *link != context)
        link = &(*link)->next;
    if (*link == nullptr)
        return;
    *link = context->next;
    --m_contextCount;
    CZkActiveInstances::RemovePlayContext(context);
    if (g_pPlayingMgr != nullptr)
        g_pPlayingMgr->RemovePlayingIDRef(context->playingID);
    CZkGameObject* object = context->gameObject;
    if (clearValue && object != nullptr && g_pRegistryMgr != nullptr)
        g_pRegistryMgr->ClearObjectValue(ID(), object);
    if (context->externalSources != nullptr)
        context->externalSources->Release();
    ZkPlayContextBlocks<CZkSwitchPlayContext>::Give(context);
    PlayCountDown(object, false);
    CZkContainerPlayContext::UnregisterFromUpdates(this);
    if (object != nullptr)
        object->Release();
    if (m_contexts == nullptr)
        StopFollowing();
}

void CZkSwitchContainerNode::ApplyActionToContext(CZkSwitchPlayContext* context, const ZkActionParams& params)
{
    if (!Matches(*context, params))
        return;
    switch (params.code)
    {
    case ZkActionCode_Stop:
    case ZkActionCode_TargetNotification:
        AddRef();
        RemoveContext(context, params.gameObject == nullptr);
        if (params.gameObject != nullptr && g_pRegistryMgr != nullptr)
            g_pRegistryMgr->ClearObjectValue(ID(), params.gameObject);
        Release();
        break;
    case ZkActionCode_Pause: context->paused = true; break;
    case ZkActionCode_Resume: context->paused = false; break;
    default: break;
    }
}

void CZkSwitchContainerNode::ApplyActionToContexts(const ZkActionParams& params)
{
    const bool removes = params.code == ZkActionCode_Stop || params.code == ZkActionCode_TargetNotification;
    bool removed = false;
    for (CZkSwitchPlayContext* context = m_contexts; context != nullptr;)
    {
        CZkSwitchPlayContext* next = context->next;
        if (Matches(*context, params))
        {
            if (removes)
            {
                // With a game object its value entry goes once, after its contexts.
                RemoveContext(context, params.gameObject == nullptr);
                removed = true;
            }
            else
            {
                context->paused = params.code == ZkActionCode_Pause ? true
                                  : params.code == ZkActionCode_Resume ? false
                                                                        : context->paused;
            }
        }
        context = next;
    }
    if (removed && params.gameObject != nullptr && g_pRegistryMgr != nullptr)
        g_pRegistryMgr->ClearObjectValue(ID(), params.gameObject);
}

ZKRESULT CZkSwitchContainerNode::ExecuteAction(const ZkActionParams& params)
{
    if (IsExcepted(params))
        return ZK_Success;
    AddRef(); // the last context may hold the last reference but the index's
    ApplyActionToContexts(params);
    const ZKRESULT result = CZkChildContextContainer::ExecuteAction(params);
    Release();
    return result;
}
} // namespace ZK::SoundEngine
