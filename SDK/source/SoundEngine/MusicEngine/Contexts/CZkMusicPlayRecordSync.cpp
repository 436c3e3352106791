// The play record's part in held state changes: where in the music a change of a state group may
// take effect next, and holding the change there as a sync action of the chain item.
//
// A segment asks for a group through its state settings and those of its music ancestors: the sync
// kinds they give (CZkStateProperties::CollectSyncType) are searched from now in the item playing
// now, then item after item; the earliest point of the first item that has one wins. Kind 0 (at
// once) heads the list when any level asks for it and makes the change immediate; an empty list
// means the item does not care for the group. When an item that asks finds no point before its
// end, the change takes effect in the next item: at that item's own point when it asks for the
// group and has one, else as soon as it begins (for a segment played by itself, at the empty item
// of its exit cue).
#include "MusicEngine/Contexts/CZkMusicPlayRecord.h"

#include "MusicEngine/CZkMusicSegment.h"
#include "MusicEngine/Contexts/CZkMusicChainContext.h"
#include "MusicEngine/Contexts/CZkMusicSegmentContext.h"
#include "MusicEngine/Contexts/ZkMusicCursor.h"
#include "MusicEngine/Contexts/ZkMusicSyncAction.h"
#include "MusicEngine/Contexts/ZkMusicSyncActions.h"
#include "MusicEngine/Contexts/ZkStingerRecord.h"
#include "MusicEngine/HeldStateChanges.h"
#include "MusicEngine/MusicEngineState.h"
#include "ZkAudiolib/Common/Containers/ZkArray.h"

#include <algorithm>

namespace ZK::MusicEngine
{
namespace
{
constexpr uint32_t kSyncAtOnce = 0;

enum class ItemSyncPoint
{
    NotAsked,  // no segment, or it has no sync settings for the group
    AtOnce,
    Found,
    NoneFound, // the segment asks for the group, but none of its kinds has a point in the item
};

// A timeline a cursor can walk: only chains have one yet.
CZkMusicChainContext* ChainOf(CZkMusicTimelineContext* root)
{
    return dynamic_cast<CZkMusicChainContext*>(root);
}

// The sync kinds of the group in the segment and its music ancestors.
void CollectSyncKinds(const CZkMusicSegment& segment, ZkUniqueID stateGroup, ZK::ZkArray<uint32_t>& kinds)
{
    for (const SoundEngine::CZkHierarchyNode* level = &segment; level != nullptr && CZkMusicNode::IsMusicNode(level);
         level = level->Parent())
        level->CollectSyncType(stateGroup, kinds);
}

// The earliest point of the group's sync kinds in the cursor's item at or after now.
ItemSyncPoint SearchItem(const ZkMusicCursor& cursor, uint64_t now, ZkUniqueID stateGroup, uint64_t& point)
{
    const CZkMusicSegmentContext* context = cursor.current->segmentContext;
    if (context == nullptr || !context->IsBeforeStopping())
        return ItemSyncPoint::NotAsked;
    ZK::ZkArray<uint32_t>& kinds = MusicEngineState::Get().SyncKinds();
    kinds.RemoveAll();
    CollectSyncKinds(context->Segment(), stateGroup, kinds);
    if (kinds.Length() == 0)
        return ItemSyncPoint::NotAsked;
    if (kinds[0] == kSyncAtOnce)
        return ItemSyncPoint::AtOnce;
    ItemSyncPoint result = ItemSyncPoint::NoneFound;
    for (uint32_t index = 0; index < kinds.Length(); ++index)
    {
        ZkUniqueID cue = 0;
        uint64_t found = 0;
        if (cursor.FindSyncPoint(now, kinds[index], cue, false, false, found) != ZkSyncPoint_Found)
            continue;
        point = result == ItemSyncPoint::Found ? std::min(point, found) : found;
        result = ItemSyncPoint::Found;
    }
    return result;
}
} // namespace

ZKRESULT CZkMusicPlayRecord::GetNextSyncPoint(ZkUniqueID stateGroup, SyncPointAnswer& answer)
{
    answer = SyncPointAnswer{};
    CZkMusicChainContext* chain = ChainOf(root);
    if (chain == nullptr)
        return ZK_Success;
    const auto rootOffset = static_cast<int64_t>(chain->AbsoluteOffset());
    const uint64_t now = clock - static_cast<uint64_t>(rootOffset);
    const auto fromNow = [&](uint64_t point) { return static_cast<int64_t>(point) + rootOffset - static_cast<int64_t>(clock); };

    ZkMusicCursor cursor;
    cursor.Init(*chain, false);
    bool askedWithoutPoint = false;
    for (uint32_t steps = 0; cursor.current != nullptr; ++steps)
    {
        const auto itemStart = static_cast<uint64_t>(cursor.CurrentItemStart());
        uint64_t point = 0;
        const ItemSyncPoint found = SearchItem(cursor, now, stateGroup, point);
        if (found == ItemSyncPoint::Found || askedWithoutPoint || found == ItemSyncPoint::AtOnce)
        {
            // At once in the item playing now; in a later item, as soon as that item begins.
            if (found != ItemSyncPoint::Found)
                point = steps == 0 ? now : itemStart;
            answer = SyncPointAnswer{true, fromNow(point), steps, static_cast<int64_t>(point)};
            return ZK_Success;
        }
        askedWithoutPoint = found == ItemSyncPoint::NoneFound;
        chain->CursorStep(cursor, true);
    }
    // Asked for, with nothing after the item: found, with no time to wait.
    answer.found = askedWithoutPoint;
    return ZK_Success;
}

ZKRESULT CZkMusicPlayRecord::QueueStateChange(PendingStateChange* change, uint32_t steps, int64_t time)
{
    CZkMusicChainContext* chain = ChainOf(root);
    if (chain == nullptr || change == nullptr)
        return ZK_Fail;
    ZkMusicCursor cursor;
    cursor.Init(*chain, false);
    for (uint32_t step = 0; step < steps && cursor.current != nullptr; ++step)
        chain->CursorStep(cursor, true);
    if (cursor.current == nullptr)
        return ZK_Fail;
    return PushSyncAction(*cursor.current, cursor.ItemLocalTime(static_cast<uint64_t>(time)),
                          ZkMusicSyncAction::kStateChange, change);
}

void CZkMusicPlayRecord::Reevaluate(ZkMusicSyncAction* actions)
{
    while (ZkMusicSyncAction* action = actions)
    {
        actions = action->next;
        action->next = nullptr;
        if (action->kind == ZkMusicSyncAction::kStateChange)
            RescheduleStateChange(*static_cast<PendingStateChange*>(action->target));
        else
            ReevaluateStinger(*static_cast<ZkStingerRecord*>(action->target));
        FreeSyncAction(action);
    }
}
} // namespace ZK::MusicEngine
