#include "MusicEngine/Contexts/ZkMusicSyncActions.h"

#include "MusicEngine/Contexts/ZkMusicChainItem.h"
#include "MusicEngine/Contexts/ZkMusicSyncAction.h"
#include "MusicEngine/HeldStateChanges.h"
#include "MusicEngine/MusicEngineState.h"

#include <ZK/SoundEngine/Common/ZkMemoryMgr.h>

#include <new>

namespace ZK::MusicEngine
{
namespace
{
constexpr ZkMemoryId kActionPool = ZkMemID_Default;

PendingStateChange& HeldChangeOf(const ZkMusicSyncAction& action)
{
    return *static_cast<PendingStateChange*>(action.target);
}

// Unlinks, from the item's list, the actions the test picks, and hands each one to take.
template <typename Picks, typename Take>
void TakeOut(ZkMusicChainItem& item, Picks picks, Take take)
{
    ZkMusicSyncAction** link = &item.syncActions;
    while (ZkMusicSyncAction* action = *link)
    {
        if (!picks(*action))
        {
            link = &action->next;
            continue;
        }
        *link = action->next;
        action->next = nullptr;
        take(action);
    }
}

bool IsHeldStateChange(const ZkMusicSyncAction& action)
{
    return action.kind == ZkMusicSyncAction::kStateChange;
}
} // namespace

ZKRESULT PushSyncAction(ZkMusicChainItem& item, int64_t time, uint32_t kind, void* target)
{
    void* memory = ZK::MemoryMgr::Malloc(kActionPool, sizeof(ZkMusicSyncAction));
    if (memory == nullptr)
        return ZK_Fail;
    item.syncActions = new (memory) ZkMusicSyncAction{time, kind, target, item.syncActions};
    return ZK_Success;
}

void FreeSyncAction(ZkMusicSyncAction* action)
{
    action->~ZkMusicSyncAction();
    ZK::MemoryMgr::Free(kActionPool, action);
}

void RunSyncActionsBefore(ZkMusicChainItem& item, int64_t end)
{
    TakeOut(
        item, [end](const ZkMusicSyncAction& action) { return action.time < end; },
        [](ZkMusicSyncAction* action) {
            if (IsHeldStateChange(*action))
                ApplyHeldStateChange(HeldChangeOf(*action));
            FreeSyncAction(action);
        });
}

void ApplyHeldStateChangesOf(ZkMusicChainItem& item)
{
    TakeOut(item, IsHeldStateChange, [](ZkMusicSyncAction* action) {
        ApplyHeldStateChange(HeldChangeOf(*action));
        FreeSyncAction(action);
    });
}

void TakeHeldStateChanges(ZkMusicChainItem& item, ZkMusicSyncAction*& list)
{
    TakeOut(item, IsHeldStateChange, [&list](ZkMusicSyncAction* action) {
        action->next = list;
        list = action;
    });
}

void GiveBackHeldStateChanges(ZkMusicSyncAction* list)
{
    while (ZkMusicSyncAction* action = list)
    {
        list = action->next;
        if (IsHeldStateChange(*action))
            RescheduleStateChange(HeldChangeOf(*action));
        FreeSyncAction(action);
    }
}
} // namespace ZK::MusicEngine
