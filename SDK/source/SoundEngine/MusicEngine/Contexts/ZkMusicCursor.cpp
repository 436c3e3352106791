#include "MusicEngine/Contexts/ZkMusicCursor.h"

#include "MusicEngine/CZkMusicSegment.h"
#include "MusicEngine/Contexts/CZkMusicChainContext.h"
#include "MusicEngine/Contexts/CZkMusicSegmentContext.h"
#include "MusicEngine/Contexts/MusicTimeUnits.h"
#include "MusicEngine/Contexts/ZkMusicSyncAction.h"
#include "MusicEngine/Contexts/ZkSwitchChainEntry.h"
#include "ZkAudiolib/Common/Playback/CZkPlayingMgr.h"
#include "ZkAudiolib/Common/Voice/ZkAudioSettings.h"

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

uint64_t ZkMusicCursor::LevelOffsetsBefore(uint32_t level) const
{
    uint64_t sum = 0;
    for (uint32_t index = 0; index < level && index < levelCount; ++index)
        sum += levels[index]->context->timeOffset;
    return sum;
}

bool ZkMusicCursor::PushLevel(uint32_t level, ZkSwitchChainEntry* entry)
{
    if (level >= kMaxLevels || level > levelCount)
        return false;
    levels[level] = entry;
    levelCount = level + 1;
    return true;
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

bool ZkMusicCursor::IsAtExit(uint64_t time) const
{
    if (current == nullptr || current->segmentContext == nullptr)
        return true;
    return ItemLocalTime(time) >= current->segmentContext->Segment().ActiveLength();
}

void ZkMusicCursor::MoveActionsAfter(ZkMusicSyncAction*& list, uint64_t time) const
{
    if (current == nullptr)
        return;
    const int64_t from = ItemLocalTime(time);
    ZkMusicSyncAction** link = &current->syncActions;
    while (ZkMusicSyncAction* action = *link)
    {
        if (action->time < from)
        {
            link = &action->next;
            continue;
        }
        *link = action->next;
        action->next = list;
        list = action;
    }
}

void ZkMusicCursor::FillSegmentInfo(int64_t segmentTime, float speed, ZkSegmentInfo& info) const
{
    info = ZkSegmentInfo{};
    const CZkMusicSegmentContext* context = current != nullptr ? current->segmentContext : nullptr;
    if (context == nullptr)
        return;
    const CZkMusicSegment& segment = context->Segment();
    info.positionMs = SamplesToMs(segmentTime);
    info.preEntryDurationMs = SamplesToMs(segment.PreEntryLength());
    info.activeDurationMs = SamplesToMs(segment.ActiveLength());
    info.postExitDurationMs = SamplesToMs(segment.PostExitLength());
    info.remainingToStartMs = SamplesToMs(std::max<int64_t>(context->StartOffset() - segmentTime, 0));
    // Musical lengths in seconds of the music's own time, played at the play's speed.
    const float secondsPerSample = 1.0f / (static_cast<float>(SoundEngine::ZkAudioSettings::SampleRate()) * speed);
    const ZkMusicGrid& grid = segment.EffectiveGrid();
    info.beatDuration = static_cast<float>(grid.beat) * secondsPerSample;
    info.barDuration = static_cast<float>(grid.bar) * secondsPerSample;
    info.gridDuration = static_cast<float>(grid.period) * secondsPerSample;
    info.gridOffset = static_cast<float>(grid.offset) * secondsPerSample;
}

void ZkMusicCursor::NotifyCallbacks(uint64_t time, uint32_t length, uint32_t flags, ZkPlayingID playingID,
                                    float speed) const
{
    using SoundEngine::g_pPlayingMgr;
    if (current == nullptr || current->segmentContext == nullptr || g_pPlayingMgr == nullptr)
        return;
    const CZkMusicSegment& segment = current->segmentContext->Segment();
    const int64_t from = ItemLocalTime(time);
    const int64_t to = from + length;
    // Segment times of a play stay far inside 32 bits (more than 12 hours at 48 kHz).
    const auto start = static_cast<int32_t>(from);
    ZkSegmentInfo info;
    FillSegmentInfo(from, speed, info);

    if ((flags & ZkCallbackType_MusicUserCue) != 0)
        segment.ForEachMarkerInWindow(start, static_cast<int32_t>(length), [&](const ZkMusicMarker& cue) {
            g_pPlayingMgr->NotifyMusicCallback(playingID, info, cue.name);
        });
    if ((flags & ZkCallbackType_MusicSegmentEntry) != 0 && from <= 0 && 0 < to)
        g_pPlayingMgr->NotifyMusicSync(playingID, ZkCallbackType_MusicSegmentEntry, info);

    uint32_t beats = 0;
    uint32_t bars = 0;
    uint32_t gridLines = 0;
    segment.CountGridLines(start, static_cast<int32_t>(length), beats, bars, gridLines);
    const struct
    {
        ZkCallbackType type;
        uint32_t count;
    } lines[] = {{ZkCallbackType_MusicBar, bars}, {ZkCallbackType_MusicBeat, beats}, {ZkCallbackType_MusicGrid, gridLines}};
    for (const auto& line : lines)
        if ((flags & line.type) != 0)
            for (uint32_t n = 0; n < line.count; ++n)
                g_pPlayingMgr->NotifyMusicSync(playingID, line.type, info);

    const int64_t exit = segment.ActiveLength();
    if ((flags & ZkCallbackType_MusicSegmentExit) != 0 && from <= exit && exit < to)
        g_pPlayingMgr->NotifyMusicSync(playingID, ZkCallbackType_MusicSegmentExit, info);
}
} // namespace ZK::MusicEngine
