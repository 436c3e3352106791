#include "MusicEngine/Contexts/ZkMusicCursor.h"

#include "MusicEngine/CZkMusicSegment.h"
#include "MusicEngine/Contexts/CZkMusicChainContext.h"
#include "MusicEngine/Contexts/CZkMusicSegmentContext.h"

#include <algorithm>

namespace ZK::MusicEngine
{
void ZkMusicCursor::Init(CZkMusicChainContext& context, bool fromStart)
{
    levelCount = 0;
    current = nullptr;
    owner = nullptr;
    depth = 0;
    distance = 0;
    endReached = true;
    lastItem = false;
    fromStartMode = fromStart;
    context.CursorStep(*this, false);
    fresh = !fromStart;
}

void ZkMusicCursor::SetCurrent(ZkMusicChainItem* item, CZkMusicChainContext* itemOwner)
{
    current = item;
    owner = itemOwner;
    lastItem = itemOwner != nullptr && !itemOwner->CanContinue();
    fresh = false;
}

void ZkMusicCursor::SetDistance(uint64_t samples, bool end)
{
    distance = samples;
    endReached = end;
}

int64_t ZkMusicCursor::ItemLocalTime(uint64_t time) const
{
    const int64_t itemStart = static_cast<int64_t>(current->position) - owner->chainStartOffset;
    return static_cast<int64_t>(time - LevelOffsetSum()) - itemStart;
}

int64_t ZkMusicCursor::CurrentItemStart() const
{
    if (current == nullptr)
        return kNoItemStart;
    const int64_t itemStart = static_cast<int64_t>(current->position) - owner->chainStartOffset;
    return static_cast<int64_t>(LevelOffsetSum()) + std::max<int64_t>(itemStart, 0);
}

ZkSyncPointResult ZkMusicCursor::FindSyncPoint(uint64_t time, uint32_t kind, ZkUniqueID& cueID, bool skipNow,
                                               bool allowWithoutSegment, uint64_t& point) const
{
    if (current == nullptr)
        return ZkSyncPoint_Failed;
    const int64_t itemStart = CurrentItemStart();
    int64_t segmentTime = ItemLocalTime(static_cast<uint64_t>(std::max(static_cast<int64_t>(time), itemStart)));
    if (current->segmentContext == nullptr || lastItem)
    {
        cueID = 0;
        if (!allowWithoutSegment && kind != ZkMusicSync_Immediate)
            return ZkSyncPoint_Failed;
    }
    else
    {
        int32_t found = 0;
        if (!current->segmentContext->Segment().NextSyncPoint(kind, static_cast<int32_t>(segmentTime), skipNow, cueID, found))
            return ZkSyncPoint_Failed;
        segmentTime = found;
    }
    point = static_cast<uint64_t>(static_cast<int64_t>(LevelOffsetSum()) + static_cast<int64_t>(current->position) -
                                  owner->chainStartOffset + segmentTime);
    if (endReached)
        return ZkSyncPoint_Found;
    return static_cast<uint64_t>(itemStart) + distance < point ? ZkSyncPoint_BeyondItem : ZkSyncPoint_Found;
}
} // namespace ZK::MusicEngine
