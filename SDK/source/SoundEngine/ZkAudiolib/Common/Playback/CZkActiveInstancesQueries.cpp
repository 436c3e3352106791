// The active instances' queries (the largest attenuation radius of game objects) and the passes
// that stop what uses media or a bank about to go, and the actions sent to every instance.
#include "ZkAudiolib/Common/Containers/ZkArray.h"
#include "ZkAudiolib/Common/FrontEnd/EventManager.h"
#include "ZkAudiolib/Common/GameObjects/CZkGameObject.h"
#include "ZkAudiolib/Common/GameObjects/CZkRegistryMgr.h"
#include "ZkAudiolib/Common/Playback/CZkActiveInstances.h"
#include "ZkAudiolib/Common/Playback/CZkActiveInstancesState.h"
#include "ZkAudiolib/Common/Playback/CZkPlayingInstance.h"
#include "ZkAudiolib/Common/Playback/IZkRenderSide.h"

#include <algorithm>

namespace ZK::SoundEngine
{
namespace
{
constexpr float kNoRadius = -1.0f;
constexpr uint32_t kImmediateCurve = ZkCurveInterpolation_Linear;

// Calls visit(instance) for every active instance; an instance may leave the list while visited.
template <typename Visit> void ForEachActive(Visit visit)
{
    for (CZkPlayingInstance* instance = g_activeInstances.head; instance != nullptr;)
    {
        CZkPlayingInstance* next = instance->pNextActive;
        visit(*instance);
        instance = next;
    }
}
} // namespace

float CZkActiveInstances::GetMaxRadius(ZkGameObjectID id)
{
    const CZkGameObject* object = g_pRegistryMgr != nullptr ? g_pRegistryMgr->GetObj(id) : nullptr;
    float radius = kNoRadius;
    if (object == nullptr)
        return radius;
    ForEachActive(
        [&](const CZkPlayingInstance& instance)
        {
            if (instance.GameObjectOf() == object)
                radius = std::max(radius, instance.MaxRadius());
        });
    return radius;
}

ZKRESULT CZkActiveInstances::GetMaxRadiusAll(ZkRadiusInfo* radii, uint32_t& count)
{
    // One entry per object, sorted by id.
    ZK::ZkArray<ZkRadiusInfo> entries;
    bool complete = true;
    ForEachActive(
        [&](const CZkPlayingInstance& instance)
        {
            const CZkGameObject* object = instance.GameObjectOf();
            if (object == nullptr || !complete)
                return;
            const ZkRadiusInfo* at = std::lower_bound(entries.begin(), entries.end(), object->ID(),
                                                      [](const ZkRadiusInfo& entry, ZkGameObjectID id)
                                                      { return entry.gameObject < id; });
            const auto index = static_cast<uint32_t>(at - entries.begin());
            if (index < entries.Length() && entries[index].gameObject == object->ID())
                entries[index].radius = std::max(entries[index].radius, instance.MaxRadius());
            else if (entries.Insert(index, ZkRadiusInfo{object->ID(), instance.MaxRadius()}) == nullptr)
                complete = false;
        });
    if (!complete)
        return ZK_InsufficientMemory;
    if (count == 0)
    {
        count = entries.Length();
        return ZK_Success;
    }
    count = std::min(count, entries.Length());
    std::copy_n(entries.begin(), count, radii);
    return ZK_Success;
}

ZKRESULT CZkActiveInstances::StopUsingMedia(const void* media)
{
    ForEachActive(
        [&](CZkPlayingInstance& instance)
        {
            if (!instance.UsesMedia(media))
                return;
            instance.SetPendingStopOffset(0);
            instance.StopWithFade(0, kImmediateCurve, false);
        });
    return g_pRenderSide->RefreshBusesUsingObject(media);
}

ZKRESULT CZkActiveInstances::StopForBankMessage(LoadedBank* bank)
{
    ForEachActive(
        [&](CZkPlayingInstance& instance)
        {
            if (!instance.UsesBank(bank))
                return;
            instance.StopWithFade(0, kImmediateCurve, true);
            if (g_pEventMgr != nullptr)
                g_pEventMgr->StopPendingActions(instance.Node(), nullptr, 0);
        });
    return g_pRenderSide->RefreshBusEffectsForShareSet(bank);
}

ZKRESULT CZkActiveInstances::BroadcastAction(const ZkActionParams& params)
{
    BroadcastToPlayContexts(params);
    ForEachActive([&](CZkPlayingInstance& instance) { instance.ExecuteAction(params); });
    return ZK_Success;
}
} // namespace ZK::SoundEngine
