#include "ZkAudiolib/Common/GameObjects/CZkGeometryParams.h"

#include "ZkAudiolib/Common/GameObjects/CZkEmitter.h"
#include "ZkAudiolib/Common/GameObjects/CZkListener.h"
#include "ZkAudiolib/Common/GameObjects/CZkListenerRouting.h"
#include "ZkAudiolib/Common/GameObjects/CZkRegistryMgr.h"
#include "ZkAudiolib/Common/Parameters/CZkRTPCMgr.h"
#include "ZkAudiolib/Common/Positioning/CZkPositioningMath.h"
#include "ZkAudiolib/Common/Positioning/ZkFastAngles.h"

#include <limits>

namespace ZK::SoundEngine
{
namespace
{
constexpr float kFloatMax = std::numeric_limits<float>::max();
constexpr float kPercent = 100.0f;
// Rays handed to voices: standard rays only.
constexpr uint8_t kCollectIncludeMask = kRayFlagStandard;
constexpr uint8_t kCollectExcludeMask = 0;

// The obstruction value of a position: value i for position i, the last value beyond them.
ZkObstructionValue ObstructionFor(const ZkListenerObstruction* entry, uint32_t position)
{
    if (entry == nullptr || entry->values->IsEmpty())
        return CZkEmitter::kNewObstruction;
    const uint32_t count = entry->values->Length();
    return (*entry->values)[position < count ? position : count - 1];
}
} // namespace

struct CZkGeometryParams::Nearest
{
    int32_t index = -1;
    float distance = kFloatMax;
    float smallestObstructionLike = kFloatMax;
    float occlusionLike = 0.0f;
    ZkListenerSet listenersWithRays;
};

CZkGeometryParams::~CZkGeometryParams()
{
    m_rays.Term();
    m_flags.Term();
}

bool CZkGeometryParams::UseBuiltIn(uint32_t type)
{
    if (type == 0 || type > 16)
        return false;
    const auto bit = static_cast<uint16_t>(1u << (type - 1));
    const bool isNew = (m_builtInMask & bit) == 0;
    m_builtInMask |= bit;
    return isNew;
}

bool CZkGeometryParams::AppendRay(const ZkRay& ray, uint8_t flags)
{
    if (m_rays.Reserve(m_rays.Length() + 1) != ZK_Success || m_flags.Reserve(m_flags.Length() + 1) != ZK_Success)
        return false;
    m_rays.AddLast(ray);
    m_flags.AddLast(flags);
    return true;
}

void CZkGeometryParams::Account(uint32_t rayIndex, bool tracking, Nearest& nearest) const
{
    const ZkRay& ray = m_rays[rayIndex];
    const uint8_t flags = m_flags[rayIndex];
    nearest.listenersWithRays.Add(ray.listenerID);
    if (!tracking)
        return;
    if (ray.distance < nearest.distance)
    {
        nearest.distance = ray.distance;
        nearest.index = static_cast<int32_t>(rayIndex);
    }
    if ((flags & (kRayFlagObstructionLikeA | kRayFlagObstructionLikeB)) != 0 && ray.obstructionLikePercent < nearest.smallestObstructionLike)
        nearest.smallestObstructionLike = ray.obstructionLikePercent;
    if ((flags & kRayFlagOcclusionLike) != 0)
        nearest.occlusionLike = ray.occlusionLikePercent;
    // Both obstruction-like and occlusion-like values are kept on the rays (nothing to clear).
}

void CZkGeometryParams::Update()
{
    CZkEmitter* emitter = owner->Emitter();
    if (m_updating || emitter == nullptr)
        return;
    m_updating = true;
    // Cleared first: a subscriber reading a built-in value during the push must not update again.
    emitter->ClearDirty();

    Nearest nearest;
    m_rays.RemoveAll();
    m_flags.RemoveAll();
    if (m_producer != nullptr)
    {
        m_producer(owner, *this);
        for (uint32_t index = 0; index < m_rays.Length(); ++index)
            Account(index, true, nearest);
    }

    const CZkListenerRouting* routing = owner->GetListenerRouting();
    for (ZkGameObjectID listenerID : owner->GetListenerSet())
    {
        const CZkRegisteredObj* listenerObject = g_pRegistryMgr != nullptr ? g_pRegistryMgr->GetObj(listenerID) : nullptr;
        const CZkListener* listener = listenerObject != nullptr ? listenerObject->Listener() : nullptr;
        if (listener == nullptr)
            continue;
        const ZkListenerObstruction* obstruction = emitter->FindObstruction(listenerID);
        // Only listeners heard dry take part in the search for the nearest ray; each ray is
        // accounted with its own listener's rule.
        const bool heardDry = routing != nullptr && routing->EffectiveDryTable().Ids().Contains(listenerID);
        const uint8_t flags = nearest.listenersWithRays.Contains(listenerID)
                                  ? static_cast<uint8_t>(kRayFlagStandard | kRayFlagListenerHasProduced)
                                  : kRayFlagStandard;
        for (uint32_t position = 0; position < emitter->PositionCount(); ++position)
        {
            const ZkChannelEmitter& record = emitter->Positions()[position];
            const ZkObstructionValue value = ObstructionFor(obstruction, position);
            ZkRay ray;
            ray.emitter = record.transform;
            ray.inputChannelMask = record.inputChannelMask;
            ray.occlusionPercent = value.occlusion * kPercent;
            ray.obstructionPercent = value.obstruction * kPercent;
            ray.spreadPercent = value.spreadPercent;
            ray.spreadCapPercent = value.spreadCap;
            ray.positionIndex = position;
            ray.listenerID = listenerID;
            CZkPositioningMath::ComputeRayDistanceAndAngles(*listener, *emitter, ray);
            if (AppendRay(ray, flags))
                Account(m_rays.Length() - 1, heardDry, nearest);
        }
    }
    PushBuiltIns(nearest);
    m_updating = false;
}

void CZkGeometryParams::PushBuiltIns(const Nearest& nearest)
{
    if (nearest.index < 0 || m_builtInMask == 0 || g_pRTPCMgr == nullptr)
        return;
    const ZkRay& ray = m_rays[static_cast<uint32_t>(nearest.index)];
    const CZkRegisteredObj* listenerObject = g_pRegistryMgr != nullptr ? g_pRegistryMgr->GetObj(ray.listenerID) : nullptr;
    const CZkListener* listener = listenerObject != nullptr ? listenerObject->Listener() : nullptr;
    if (listener == nullptr)
        return;

    float azimuth = 0.0f;
    float elevation = 0.0f;
    const auto uses = [this](uint32_t type) { return (m_builtInMask & (1u << (type - 1))) != 0; };
    if (uses(ZkBuiltInParam_Azimuth) || uses(ZkBuiltInParam_Elevation))
        CZkPositioningMath::ComputeAzimuthElevation(*listener, ray, azimuth, elevation);
    const float values[ZkBuiltInParam_Last + 1] = {
        0.0f,
        ray.distance,
        azimuth * kZkRadiansToDegrees,
        elevation * kZkRadiansToDegrees,
        ray.emitterAngle * kZkRadiansToDegrees,
        ray.obstructionPercent,
        ray.occlusionPercent,
        ray.listenerAngle * kZkRadiansToDegrees,
        nearest.smallestObstructionLike == kFloatMax ? 0.0f : nearest.smallestObstructionLike,
        nearest.occlusionLike,
    };
    const ZkRTPCKey key = ZkRTPCKey::ForObject(static_cast<CZkRegisteredObj*>(owner));
    for (uint32_t type = 1; type <= ZkBuiltInParam_Last; ++type)
    {
        if (uses(type))
            g_pRTPCMgr->SetBuiltInValue(type, key, values[type]);
    }
}

float CZkGeometryParams::CollectRays(ZK::ZkArray<ZkRay>& output) const
{
    output.RemoveAll();
    float smallest = kNoRayDistance;
    for (uint32_t index = 0; index < m_rays.Length(); ++index)
    {
        const uint8_t flags = m_flags[index];
        if ((flags & kCollectIncludeMask) == 0 || (flags & kCollectExcludeMask) != 0)
            continue;
        ZkRay ray = m_rays[index];
        ray.occlusionLikePercent = 0.0f;
        ray.coneFactor = 1.0f;
        ray.lowPass = 0.0f;
        ray.highPass = 0.0f;
        if (output.AddLast(ray) != nullptr && ray.distance < smallest)
            smallest = ray.distance;
    }
    return smallest;
}
} // namespace ZK::SoundEngine
