// CZkNodeInstanceBase: the positioning state and the rays collected each frame, and the render
// side's queries on them.
#include "ZkAudiolib/Common/Attenuations/CZkAttenuation.h"
#include "ZkAudiolib/Common/GameObjects/CZkEmitter.h"
#include "ZkAudiolib/Common/GameObjects/CZkGameObject.h"
#include "ZkAudiolib/Common/GameObjects/CZkGeometryParams.h"
#include "ZkAudiolib/Common/GameObjects/CZkListener.h"
#include "ZkAudiolib/Common/GameObjects/CZkRegisteredObj.h"
#include "ZkAudiolib/Common/GameObjects/CZkRegistryMgr.h"
#include "ZkAudiolib/Common/GameObjects/ZkSortedIdArray.h"
#include "ZkAudiolib/Common/Hierarchy/CZkHierarchyNode.h"
#include "ZkAudiolib/Common/Playback/CZkEnvCurves.h"
#include "ZkAudiolib/Common/Playback/CZkNodeInstanceBase.h"
#include "ZkAudiolib/Common/Positioning/CZkPositioningMath.h"

#include <algorithm>

namespace ZK::SoundEngine
{
namespace
{
const CZkListener* ListenerOf(ZkGameObjectID id)
{
    const CZkRegisteredObj* object = g_pRegistryMgr != nullptr ? g_pRegistryMgr->GetObj(id) : nullptr;
    return object != nullptr ? object->Listener() : nullptr;
}

bool InIds(const ZkGameObjectID* ids, uint32_t count, ZkGameObjectID id)
{
    return std::find(ids, ids + count, id) != ids + count;
}
} // namespace

float CZkNodeInstanceBase::EvaluateCurveA(float distance) const
{
    CZkAttenuation* attenuation = Attenuation();
    return attenuation != nullptr ? attenuation->EvaluateRole(ZkAttenuationRole_Spread, distance, 0.0f) : 0.0f;
}

float CZkNodeInstanceBase::EvaluateCurveB(float distance) const
{
    CZkAttenuation* attenuation = Attenuation();
    return attenuation != nullptr ? attenuation->EvaluateRole(ZkAttenuationRole_Focus, distance, 0.0f) : 0.0f;
}

void CZkNodeInstanceBase::RefreshRayAttenuation()
{
    if (!m_rays.IsEmpty())
        CZkPositioningMath::ComputeRayAttenuation(Attenuation(), g_pEnvCurves, m_rays.Data(), m_rays.Length());
}

void CZkNodeInstanceBase::MarkPositioningDirty()
{
    if (IsPositioned())
        m_flags |= kFlagPositioningDirty;
}

void CZkNodeInstanceBase::ResetPositioning()
{
    ReleaseAttenuation();
    FreeAutomationData();
    m_rays.RemoveAll();
    m_ownPositions.RemoveAll();
    m_flags &= static_cast<uint8_t>(~kFlagOwnPositionsCopied);
    m_flags |= kFlagPositioningDirty;
}

void CZkNodeInstanceBase::RefreshPositioning()
{
    if (!IsPositioned() || m_node == nullptr)
    {
        m_positioningMode = 0;
        m_positioningFlags &= static_cast<uint8_t>(~kPositioningLowBits);
        return;
    }
    const Zk3DModeInfo mode = m_node->Get3DModeInfo(m_object);
    const uint8_t own = m_positioningMode & kModeOwnPositions; // parameter 65's, not the node's
    m_positioningMode = static_cast<uint8_t>((mode.positioningBits & kModeMask) | own |
                                             (mode.speakerPanning ? kModeSpeakerPanning : 0));
    if ((m_positioningFlags & kPositioningListenerRoutedSends) != 0)
        TakeAutomationData();
}

float CZkNodeInstanceBase::PositioningValue(uint32_t id) const
{
    switch (id)
    {
    case 18:
        return m_positioning18;
    case 19:
        return m_positioning19;
    case 58:
        return m_positioning58;
    case 23:
        return m_positioning23;
    case 24:
        return static_cast<float>(m_positioning24);
    default:
        return 0.0f;
    }
}

uint32_t CZkNodeInstanceBase::GetPositioningMode() const
{
    return m_positioningMode & kModeMask;
}

uint32_t CZkNodeInstanceBase::Update()
{
    if (!IsPositioned() || m_object == nullptr)
    {
        m_rays.RemoveAll();
        return 0;
    }
    if ((m_flags & kFlagPositioningDirty) != 0)
    {
        ResetPositioning();
        m_flags &= static_cast<uint8_t>(~kFlagPositioningDirty);
        RefreshPositioning();
        // The reset gave the automation data back: the play takes it again and its path restarts.
        TakeAutomationData();
        StartPath();
        SubscribeAttenuation();
    }
    m_nearestDistance = kNoRayDistance;
    if ((m_positioningMode & kModeMask) == kModeFollowsListeners)
    {
        CollectListenerRays();
    }
    else if ((m_positioningMode & kModeOwnPositions) == 0)
    {
        const CZkGeometryParams* geometry = m_object->Geometry();
        if (geometry != nullptr)
            m_nearestDistance = geometry->CollectRays(m_rays);
        else
            m_rays.RemoveAll();
    }
    else
    {
        CollectOwnPositionRays();
    }
    ApplyAutomationToRays();
    // The playing instance takes the nearest distance into its priority (UpdateDistancePriority).
    return m_rays.Length();
}

void CZkNodeInstanceBase::CollectListenerRays()
{
    m_rays.RemoveAll();
    const ZkListenerSet& listeners = m_object->GetListenerSet();
    for (uint32_t index = 0; index < listeners.Length(); ++index)
    {
        const CZkListener* listener = ListenerOf(listeners[index]);
        ZkRay ray;
        if (listener != nullptr)
            ray.emitter = listener->Transform();
        ray.positionIndex = index;
        ray.listenerID = listeners[index];
        m_rays.AddLast(ray); // a ray that cannot be appended is left out this frame
    }
}

void CZkNodeInstanceBase::CollectOwnPositionRays()
{
    const CZkEmitter* emitter = m_object->Emitter();
    if ((m_flags & kFlagOwnPositionsCopied) == 0 && emitter != nullptr)
    {
        m_ownPositions.RemoveAll();
        if (m_ownPositions.Reserve(emitter->PositionCount()) == ZK_Success)
        {
            for (uint32_t index = 0; index < emitter->PositionCount(); ++index)
                m_ownPositions.AddLast(emitter->Positions()[index]);
            m_flags |= kFlagOwnPositionsCopied;
        }
    }
    m_rays.RemoveAll();
    if (emitter == nullptr)
        return;
    const ZkListenerSet& listeners = m_object->GetListenerSet();
    for (ZkGameObjectID listenerID : listeners)
    {
        const CZkListener* listener = ListenerOf(listenerID);
        if (listener == nullptr)
            continue;
        for (uint32_t index = 0; index < m_ownPositions.Length(); ++index)
        {
            ZkRay ray;
            ray.emitter = m_ownPositions[index].transform;
            ray.inputChannelMask = m_ownPositions[index].inputChannelMask;
            ray.positionIndex = index;
            ray.listenerID = listenerID;
            CZkPositioningMath::ComputeRayDistanceAndAngles(*listener, *emitter, ray);
            if (m_rays.AddLast(ray) != nullptr)
                m_nearestDistance = std::min(m_nearestDistance, ray.distance);
        }
    }
}

ZKRESULT CZkNodeInstanceBase::GetEmitterPosition(uint32_t index, ZkRay& ray) const
{
    if (index >= m_rays.Length())
        return ZK_Fail;
    ray = m_rays[index];
    return ZK_Success;
}

ZKRESULT CZkNodeInstanceBase::GetPositionRecord(uint32_t index, ZkChannelEmitter& record) const
{
    if (index >= m_ownPositions.Length())
        return ZK_Fail;
    record = m_ownPositions[index];
    return ZK_Success;
}

ZKRESULT CZkNodeInstanceBase::GetListenerData(ZkGameObjectID listenerID, ZkTransform& transform) const
{
    if (m_object == nullptr || !m_object->GetListenerSet().Contains(listenerID))
        return ZK_Fail;
    const CZkListener* listener = ListenerOf(listenerID);
    if (listener == nullptr)
        return ZK_Fail;
    transform = listener->Transform();
    return ZK_Success;
}

uint32_t CZkNodeInstanceBase::CountListenersInSet(const ZkGameObjectID* ids, uint32_t count,
                                                  uint32_t mode) const
{
    uint32_t found = 0;
    for (const ZkRay& ray : m_rays)
    {
        if (InIds(ids, count, ray.listenerID) == (mode == 0))
            ++found;
    }
    return found;
}

const ZkRay* CZkNodeInstanceBase::FindNthListenerRecord(const ZkGameObjectID* ids, uint32_t count,
                                                        uint32_t mode, uint32_t n) const
{
    for (const ZkRay& ray : m_rays)
    {
        if (InIds(ids, count, ray.listenerID) == (mode == 0) && n-- == 0)
            return &ray;
    }
    return nullptr;
}
} // namespace ZK::SoundEngine
