// CZkLayeredContainerNode: the contexts of continuous plays: children started and stopped as the
// layers' parameters move, and the actions that reach the contexts.
#include "ZkAudiolib/Common/Hierarchy/CZkLayeredContainerNode.h"

#include "ZkAudiolib/Common/FrontEnd/EventManager.h"
#include "ZkAudiolib/Common/Hierarchy/CZkLayerPlayContext.h"
#include "ZkAudiolib/Common/Parameters/CZkRTPCOverrideFilter.h"
#include "ZkAudiolib/Common/Playback/CZkActiveInstances.h"

namespace ZK::SoundEngine
{
namespace
{
// A child that leaves a continuous play stops at once.
constexpr uint32_t kImmediateStopCurve = 4;
} // namespace

uint32_t CZkLayeredContainerNode::ContextCount() const
{
    uint32_t count = 0;
    for (const CZkLayerPlayContext* context = m_contexts; context != nullptr; context = context->next)
        ++count;
    return count;
}

void CZkLayeredContainerNode::OnChildAudibilityChanged(ZkUniqueID childID, bool nowSilent, const ZkRTPCKey& key,
                                                       const CZkRTPCOverrideFilter* filter)
{
    AddRef(); // a stop may end the container's last play
    for (CZkLayerPlayContext* context = m_contexts; context != nullptr;)
    {
        CZkLayerPlayContext* next = context->next;
        const ZkRTPCKey contextKey = context->Key();
        ZkLayerChildState* state = context->FindChild(childID);
        if (state == nullptr || !key.Matches(contextKey) || (filter != nullptr && filter->IsOverridden(contextKey)))
        {
            context = next;
            continue;
        }
        if (nowSilent)
        {
            if (++state->silentLayers == 1)
                StopChild(*context, childID);
        }
        else if (state->silentLayers > 0 && --state->silentLayers == 0)
        {
            StartChild(*context, childID);
        }
        context = next;
    }
    Release();
}

ZKRESULT CZkLayeredContainerNode::StartChild(CZkLayerPlayContext& context, ZkUniqueID childID)
{
    CZkHierarchyNode* child = FindChild(childID);
    if (child == nullptr)
        return ZK_InvalidID;
    PlayLaunchParams params;
    context.FillPlayParams(params);
    const ZKRESULT result = PlayChild(child, params);
    params.FreeArrays();
    return result;
}

void CZkLayeredContainerNode::StopChild(CZkLayerPlayContext& context, ZkUniqueID childID)
{
    CZkHierarchyNode* child = FindChild(childID);
    if (child == nullptr)
        return;
    ZkActionParams stop;
    stop.code = ZkActionCode_Stop;
    stop.gameObject = context.gameObject;
    stop.playingID = context.playingID;
    stop.transitionTime = 0;
    stop.curve = kImmediateStopCurve;
    stop.isGlobal = context.gameObject == nullptr;
    child->ExecuteAction(stop);
    if (g_pEventMgr != nullptr)
        g_pEventMgr->StopPendingActions(child, context.gameObject, context.playingID);
}

ZKRESULT CZkLayeredContainerNode::ExecuteAction(const ZkActionParams& params)
{
    if (!IsExcepted(params))
        ApplyActionToContexts(params);
    return CZkChildContextContainer::ExecuteAction(params);
}

void CZkLayeredContainerNode::ApplyActionToContexts(const ZkActionParams& params)
{
    AddRef();
    for (CZkLayerPlayContext* context = m_contexts; context != nullptr;)
    {
        CZkLayerPlayContext* next = context->next;
        ApplyActionToContext(*context, params);
        context = next;
    }
    Release();
}

void CZkLayeredContainerNode::ApplyActionToContext(CZkLayerPlayContext& context, const ZkActionParams& params)
{
    if (!context.Matches(params.gameObject, params.playingID))
        return;
    switch (params.code)
    {
    case ZkActionCode_Stop:
    case ZkActionCode_TargetNotification:
        RemoveContext(&context);
        break;
    case ZkActionCode_Pause:
        context.paused = true;
        break;
    case ZkActionCode_Resume:
        context.paused = false;
        break;
    default:
        break;
    }
}

void CZkLayeredContainerNode::RemoveContext(CZkLayerPlayContext* context)
{
    CZkLayerPlayContext** link = &m_contexts;
    while (*link != nullptr && *link != context)
        link = &(*link)->next;
    if (*link == nullptr)
        return;
    *link = context->next;
    CZkActiveInstances::RemovePlayContext(context);
    PlayCountDown(context->gameObject, false);
    CZkContainerPlayContext::UnregisterFromUpdates(this);
    CZkLayerPlayContext::Give(context); // its playing id may end here
}
} // namespace ZK::SoundEngine
