// CZkNodeInstanceBase: the play's position path. A positioning owner whose 3-D position mode plays
// paths (1 emitter-relative, 2 listener-relative positions) has path data; a play copies it
// (memory pool 5), joins a player of the shared item array, and the player moves the instance's
// automation offset. Each frame Update moves every ray by that offset, turned into the ray's frame.
//
// The player's paths point into the copy of the instance that made the player: the copy is freed
// only after the instance left its player.
//
// Not yet: players handed on by play chains (the next item of a container joins the player of the
// item before); nothing hands a player on before play chains exist.
#include "ZkAudiolib/Common/Containers/ZkNew.h"
#include "ZkAudiolib/Common/GameObjects/CZkEmitter.h"
#include "ZkAudiolib/Common/GameObjects/CZkGameObject.h"
#include "ZkAudiolib/Common/GameObjects/CZkListener.h"
#include "ZkAudiolib/Common/GameObjects/CZkRegisteredObj.h"
#include "ZkAudiolib/Common/GameObjects/CZkRegistryMgr.h"
#include "ZkAudiolib/Common/GameObjects/ZkSortedIdArray.h"
#include "ZkAudiolib/Common/Hierarchy/CZkHierarchyNode.h"
#include "ZkAudiolib/Common/Playback/CZkNodeInstanceBase.h"
#include "ZkAudiolib/Common/Playback/CZkSharedItemArray.h"
#include "ZkAudiolib/Common/Positioning/CZkPositionPath.h"
#include "ZkAudiolib/Common/Positioning/CZkPositioningMath.h"
#include "ZkAudiolib/Common/Positioning/ZkAutomationOffset.h"
#include "ZkAudiolib/Common/Positioning/ZkPathData.h"

#include <algorithm>

namespace ZK::SoundEngine
{
namespace
{
constexpr uint32_t kFirstPathMode = 1;
constexpr uint32_t kLastPathMode = 2;
// The node's offsets as they are (100 %): the play scales them as it scales their deltas.
constexpr float kWholeOffset = 100.0f;

const CZkListener* RegisteredListener(ZkGameObjectID id)
{
    const CZkRegisteredObj* object = g_pRegistryMgr != nullptr ? g_pRegistryMgr->GetObj(id) : nullptr;
    return object != nullptr ? object->Listener() : nullptr;
}
} // namespace

void CZkNodeInstanceBase::TakeAutomationData()
{
    if (m_automation != nullptr || !IsPositioned() || m_node == nullptr)
        return;
    const uint32_t mode = m_positioningMode & kModeMask;
    const ZkPathData* source = m_node->PositioningOwner()->PathData();
    if (mode < kFirstPathMode || mode > kLastPathMode || source == nullptr)
        return;
    auto* copy = ZK::ZkNew<ZkPathData>(ZkPathData::kPlayPool);
    if (copy == nullptr)
        return;
    copy->pool = ZkPathData::kPlayPool;
    if (copy->CopyFrom(*source) != ZK_Success)
    {
        ZK::ZkDelete(ZkPathData::kPlayPool, copy);
        return;
    }
    m_automation = copy;
}

void CZkNodeInstanceBase::FreeAutomationData()
{
    LeavePath();
    if (m_automation == nullptr)
        return;
    m_automation->Term();
    ZK::ZkDelete(ZkPathData::kPlayPool, m_automation);
    m_automation = nullptr;
}

void CZkNodeInstanceBase::StartPath()
{
    if (m_pathPlayer != nullptr || m_automation == nullptr || g_pSharedItemArray == nullptr || m_node == nullptr)
        return;
    const CZkHierarchyNode* owner = m_node->PositioningOwner();
    const uint32_t mode = m_positioningMode & kModeMask;
    if (mode < kFirstPathMode || mode > kLastPathMode || !m_automation->CanPlay())
        return;
    CZkSharedItemArray& players = *g_pSharedItemArray;
    CZkPositionPath* offered = m_offeredPlayer;
    m_offeredPlayer = nullptr;
    ZkSavedPathState* saved = owner->PathData() != nullptr ? &owner->PathData()->saved : nullptr;
    if (offered != nullptr && m_offeredPathID == owner->ID() && players.AddUser(offered, m_automationOffset) == ZK_Success)
    {
        // The path runs on from where the play before left it.
        m_pathPlayer = offered;
        m_pathID = m_offeredPathID;
        offered->SetNodeId(GetNodeID());
        offered->SetInstanceId(m_sequence);
        m_savedPath = saved;
        return;
    }
    CZkPositionPath* player = players.Create();
    if (player == nullptr)
        return; // a full array: the play goes on without path movement
    if (m_automation->StartPlayer(*player, saved) != ZK_Success)
    {
        players.Destroy(player);
        m_pathID = 0;
        return;
    }
    m_pathID = owner->ID();
    if (m_automation->IsListenerRelative() && m_object != nullptr)
    {
        const ZkListenerSet& listeners = m_object->GetListenerSet();
        player->UpdateListenerCache(listeners.begin(), listeners.Length());
    }
    if (players.AddUser(player, m_automationOffset) != ZK_Success)
    {
        players.Destroy(player); // no user: nothing else holds it
        m_pathID = 0;
        return;
    }
    m_pathPlayer = player;
    player->SetNodeId(GetNodeID());
    player->SetInstanceId(m_sequence);
    m_savedPath = saved;
    players.Start(player, saved);
}

void CZkNodeInstanceBase::LeavePath()
{
    if (m_pathPlayer == nullptr)
        return;
    // The node's saved path state stays with the node (its next play continues the playlist);
    // the player's share of its flags goes with the player.
    m_savedPath = nullptr;
    // The path's part of the offset goes with it (what parameters 20-22 added stays): a path that
    // starts again starts from the offset the play had without it.
    if (m_pathPlayer->HasStarted())
    {
        const ZkVector& applied = m_pathPlayer->LastApplied();
        m_automationOffset[0] -= applied.x;
        m_automationOffset[1] -= applied.y;
        m_automationOffset[2] -= applied.z;
    }
    if (g_pSharedItemArray != nullptr)
        g_pSharedItemArray->RemoveUser(m_pathPlayer, m_automationOffset);
    m_pathPlayer = nullptr;
    m_pathID = 0;
}

void CZkNodeInstanceBase::TakeParameterOffsets()
{
    float offsets[3] = {};
    if (IsPositioned() && m_node != nullptr)
        m_node->GetAutomationOffsets(m_object, kWholeOffset, offsets);
    const float scale = AutomationScale();
    const bool moved = m_pathPlayer != nullptr && m_pathPlayer->HasStarted();
    const ZkVector path = moved ? m_pathPlayer->LastApplied() : ZkVector{0.0f, 0.0f, 0.0f};
    m_automationOffset[0] = path.x + offsets[0] * scale;
    m_automationOffset[1] = path.y + offsets[1] * scale;
    m_automationOffset[2] = path.z + offsets[2] * scale;
}

void CZkNodeInstanceBase::PausePath()
{
    if (m_pathPlayer != nullptr && g_pSharedItemArray != nullptr)
        g_pSharedItemArray->Pause(m_pathPlayer);
}

void CZkNodeInstanceBase::ResumePath()
{
    if (m_pathPlayer != nullptr && g_pSharedItemArray != nullptr)
        g_pSharedItemArray->Resume(m_pathPlayer);
}

bool CZkNodeInstanceBase::SetAutomationParameter(uint32_t id, float value)
{
    if (id < 66 || id > 68)
        return false;
    if (m_automation == nullptr)
        return true;
    switch (id)
    {
    case 66:
        m_automation->SetListenerRelative(value != 0.0f);
        break;
    case 67:
        m_automation->SetLastVertexDuration(value > 0.0f ? static_cast<uint32_t>(value) : 0u);
        break;
    default:
        m_automation->mode = static_cast<uint16_t>(value > 0.0f ? static_cast<uint32_t>(value) : 0u);
        break;
    }
    return true;
}

void CZkNodeInstanceBase::FollowPathListeners()
{
    if (m_pathPlayer == nullptr || m_automation == nullptr)
        return;
    // No restart: a listener-relative player keeps the listeners it follows current instead, each
    // frame, as at its start.
    m_pathPlayer->SetListenerRelative(m_automation->IsListenerRelative());
    if (m_pathPlayer->IsListenerRelative() && m_object != nullptr)
    {
        const ZkListenerSet& listeners = m_object->GetListenerSet();
        m_pathPlayer->UpdateListenerCache(listeners.begin(), listeners.Length());
    }
}

void CZkNodeInstanceBase::ApplyAutomationToRays()
{
    const uint32_t mode = m_positioningMode & kModeMask;
    if (m_automation == nullptr || mode < kFirstPathMode || mode > kLastPathMode || m_object == nullptr)
        return;
    FollowPathListeners();
    const CZkEmitter* emitter = m_object->Emitter();
    if (emitter == nullptr)
        return;
    m_nearestDistance = kNoRayDistance;
    for (ZkRay& ray : m_rays)
    {
        // Listener-following positions turn the offset by the listener's frame as the player saw
        // it; the others by the ray's own (the emitter position's).
        const ZkTransform* frame = &ray.emitter;
        if (mode == kModeFollowsListeners && m_pathPlayer != nullptr)
        {
            const ZkTransform* snapshot = m_pathPlayer->GetListenerSnapshot(ray.listenerID);
            if (snapshot != nullptr)
                frame = snapshot;
        }
        MoveRayByOffset(ray, m_automationOffset, *frame);
        const CZkListener* listener = RegisteredListener(ray.listenerID);
        if (listener != nullptr)
            CZkPositioningMath::ComputeRayDistanceAndAngles(*listener, *emitter, ray);
        m_nearestDistance = std::min(m_nearestDistance, ray.distance);
    }
}
} // namespace ZK::SoundEngine
