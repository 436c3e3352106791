// The transition scheduling of the switch context: from what plays now to a new destination.
#include "MusicEngine/Contexts/CZkMusicSwitchContext.h"

#include "MusicEngine/CZkMusicSegment.h"
#include "MusicEngine/CZkMusicSwitchContainer.h"
#include "MusicEngine/Contexts/CZkMusicSegmentContext.h"
#include "MusicEngine/Contexts/ZkMusicCursor.h"
#include "MusicEngine/ZkMusicEntryPoint.h"
#include "ZkAudiolib/Common/Voice/ZkAudioSettings.h"

#include <algorithm>

namespace ZK::MusicEngine
{
namespace
{
int64_t MsToSamples(int64_t ms)
{
    return ms * static_cast<int64_t>(SoundEngine::ZkAudioSettings::SampleRate()) / 1000;
}

// The segment a context enters with (through nested switches), or null (silence, an empty head).
const CZkMusicSegment* FirstSegmentOf(const CZkMusicChainContext& context)
{
    const CZkMusicNode* node = context.GetNode();
    if (node != nullptr && node->Category() == kCategoryMusicSwitch)
    {
        const ZkSwitchChainEntry* first = static_cast<const CZkMusicSwitchContext&>(context).FirstEntry();
        return first != nullptr ? FirstSegmentOf(*first->context) : nullptr;
    }
    const ZkMusicChainItem* head = context.Head();
    return head != nullptr && head->segmentContext != nullptr ? &head->segmentContext->Segment() : nullptr;
}

bool FollowsSourcePosition(const ZkMusicEnterSide& enter)
{
    constexpr uint32_t kEntrySourcePosition = 1;
    constexpr uint32_t kEntryRandomCue = 2;
    constexpr uint32_t kEntryRandomCueAfter = 3;
    return enter.entryKind == kEntrySourcePosition ||
           ((enter.entryKind == kEntryRandomCue || enter.entryKind == kEntryRandomCueAfter) && enter.useSourceCue);
}
} // namespace

void CZkMusicSwitchContext::ReopenTail()
{
    ZkSwitchChainEntry* tail = m_tail;
    if (tail == nullptr || !tail->Has(ZkSwitchChainEntry::kFadeOutScheduled) || !tail->Has(ZkSwitchChainEntry::kStopPending))
        return;
    tail->flags &= static_cast<uint8_t>(~(ZkSwitchChainEntry::kStopPending | ZkSwitchChainEntry::kFadeOutScheduled));
    tail->cutValid = false;
}

// Step by step: (1) a cursor on what plays now; (2) what an earlier change of this frame placed is
// taken back; (3) the source is the entry playing on; (4, 5) an unchanged destination, or a source
// that cannot be interrupted, ends it; (6) attempts, item after item, to find the exit point the
// rule asks for and to place the destination (through the transition segment) there; (7) cleanup.
void CZkMusicSwitchContext::ScheduleSwitch(ZkUniqueID destinationID, const ZkSwitchRequest& request,
                                           CZkMusicChainContext*& destination)
{
    AddRef();
    ZkSwitchChainEntry* removed = nullptr;
    ZkMusicSyncAction* removedActions = nullptr;
    CZkMusicChainContext* bridge = nullptr;
    const uint64_t now = (playRecord != nullptr ? playRecord->clock : 0) - AbsoluteOffset();

    const auto schedule = [&]()
    {
        ZkMusicCursor cursor;
        cursor.Init(*this, false);
        if (cursor.current == nullptr || m_head == nullptr)
            return;
        if (m_lastScheduled != nullptr)
        {
            RemoveAfter(m_lastScheduled, removed);
            ReopenTail();
            cursor.Init(*this, false);
        }
        ZkSwitchChainEntry* source = m_current != nullptr ? m_current : m_head;
        while (source->next != nullptr && (!source->context->IsInterruptible() || source->next->context->IsSounding()))
            source = source->next;
        const bool keepsUnchanged = m_container.ContinuePlayback() && !request.hasSeek;
        if ((keepsUnchanged && NodeIDOf(*source) == destinationID) || !source->context->IsInterruptible())
        {
            RemoveAfter(source, removed);
            ReopenTail();
            return;
        }
        if (cursor.levelCount == 0 || cursor.levels[0] != source)
        {
            cursor.depth = 1;
            EnterEntry(cursor, 0, *source, false);
            cursor.depth = 0;
        }
        cursor.fresh = true;

        const ZkMusicTransitionRule* previousRule = nullptr;
        // The attempts with the container's rules, then as many with the fallback rule: each
        // attempt either places the destination or moves the cursor on by one item.
        for (uint32_t attempt = 0; attempt < 2 * kMaxRuleAttempts && cursor.current != nullptr; ++attempt)
        {
            ZkMusicChainItem* item = cursor.current;
            const CZkMusicSegment* sourceSegment = item->segmentContext != nullptr ? &item->segmentContext->Segment() : nullptr;
            const CZkMusicSegment* destinationSegment = FirstSegmentOf(*destination);
            const ZkMusicTransitionRule* found =
                attempt < kMaxRuleAttempts
                    ? m_container.FindRuleWithAncestors(sourceSegment != nullptr ? sourceSegment->ID() : 0, sourceSegment,
                                                        destinationSegment != nullptr ? destinationSegment->ID() : 0,
                                                        destinationSegment)
                    : nullptr;
            const ZkMusicTransitionRule& rule = found != nullptr ? *found : ZkMusicTransitionRule::ResetDefault();
            if (&rule != previousRule)
                DropContext(bridge);
            previousRule = &rule;
            if (item->Has(ZkMusicChainItem::kCut))
                return;
            if (bridge == nullptr && rule.segment != nullptr && rule.segment->segmentID != 0)
            {
                bridge = CreateDestination(rule.segment->segmentID);
                if (bridge != nullptr && bridge->GetNode() == nullptr)
                    DropContext(bridge); // a transition segment that cannot play is left out
            }
            const ZkMusicLeaveSide leave = LeaveSideOf(rule);
            ZkMusicEnterSide enter = EnterSideOf(rule);
            if (request.forceEntry)
                enter.entryKind = request.entryKind;
            const ZkMusicEnterSide bridgeEnter = bridge != nullptr ? EnterSideOf(*rule.segment) : ZkMusicEnterSide{};
            const ZkMusicLeaveSide bridgeLeave = bridge != nullptr ? LeaveSideOf(*rule.segment) : ZkMusicLeaveSide{};

            int32_t seek = 0;
            if (request.hasSeek)
                seek = request.seekIsFraction && destinationSegment != nullptr
                           ? static_cast<int32_t>(request.seekFraction * static_cast<float>(destinationSegment->ActiveLength()))
                           : request.seekPosition;
            else if (enter.entryKind == 4)
            {
                int32_t savedPosition = 0;
                int32_t savedCue = -1;
                if (FindChildValues(destinationID, savedPosition, savedCue))
                    seek = savedPosition;
            }
            int32_t lookAhead = 0;
            ZkUniqueID enteredCue = 0;
            const PrepareResult prepared = PrepareDestination(*destination, enter, seek, 0, lookAhead, enteredCue);
            if (prepared == PrepareResult::kNothingPrepared)
            {
                DropContext(destination); // the source plays on
                return;
            }
            if (prepared == PrepareResult::kPrepareAgain)
                continue;

            // The earliest exit J: the destination must be started its look-ahead before it enters,
            // and a fade-out must begin (offset included) no earlier than now. With a transition
            // segment, J also leaves room for the transition segment's own look-ahead and its length
            // up to the point where the destination enters inside it. Neither a play time nor a
            // fade-out start is ever in the past.
            const int64_t fadeSpan = MsToSamples(leave.fadeOut.timeMs) - leave.fadeOut.offset;
            int64_t room = std::max<int64_t>(lookAhead, fadeSpan);
            int32_t bridgeLookAhead = 0;
            int64_t bridgeSpan = 0;
            if (bridge != nullptr)
            {
                ZkUniqueID bridgeCue = 0;
                if (PrepareDestination(*bridge, bridgeEnter, 0, 0, bridgeLookAhead, bridgeCue) != PrepareResult::kPrepared)
                    DropContext(bridge);
                else if (const CZkMusicSegment* bridgeSegment = FirstSegmentOf(*bridge))
                {
                    ZkUniqueID exitCue = 0;
                    bridgeSpan = ExitPointFor(*bridgeSegment, bridgeLeave, exitCue);
                    room = std::max<int64_t>(room, bridgeLookAhead + bridgeSpan);
                }
            }
            uint64_t earliest = now + static_cast<uint64_t>(std::max<int64_t>(room, 0));

            ZkUniqueID exitCue = leave.cueFilter;
            uint64_t exitPoint = 0;
            ZkSyncPointResult point = cursor.FindSyncPoint(earliest, leave.syncKind, exitCue, false, true, exitPoint);
            if (point == ZkSyncPoint_BeyondItem && cursor.fresh)
            {
                RemoveAfter(cursor.levels[0], removed);
                ReopenTail();
                cursor.depth = 0;
                UpdateDistance(cursor, now, 0);
                exitCue = leave.cueFilter;
                point = cursor.FindSyncPoint(earliest, leave.syncKind, exitCue, false, true, exitPoint);
            }
            // Entries that follow the source's position are prepared again for the position at the
            // exit point; when their new look-ahead no longer fits before it, the exit is searched
            // again from now + that look-ahead. Each search again is one more attempt of the same
            // count: once the rule's attempts are spent, the next attempt takes the fallback rule
            // in the same item (the cursor stays).
            const uint32_t attemptLimit = attempt < kMaxRuleAttempts ? kMaxRuleAttempts : 2 * kMaxRuleAttempts;
            bool attemptsSpent = false;
            while (point == ZkSyncPoint_Found && FollowsSourcePosition(enter))
            {
                const auto position = static_cast<int32_t>(cursor.ItemLocalTime(exitPoint));
                if (PrepareDestination(*destination, enter, enter.entryKind == 1 ? position : 0, exitCue, lookAhead, enteredCue) !=
                    PrepareResult::kPrepared)
                {
                    DropContext(destination);
                    return;
                }
                if (exitPoint >= now + static_cast<uint64_t>(std::max(lookAhead, 0)))
                    break;
                if (attempt + 1 >= attemptLimit)
                {
                    attemptsSpent = true;
                    break;
                }
                ++attempt;
                earliest = now + static_cast<uint64_t>(std::max<int64_t>(std::max<int64_t>(lookAhead, room), 0));
                exitCue = leave.cueFilter;
                point = cursor.FindSyncPoint(earliest, leave.syncKind, exitCue, false, true, exitPoint);
            }
            if (attemptsSpent)
            {
                // The loop's step makes the attempt count the limit: the fallback rule (or the end).
                previousRule = nullptr;
                DropContext(bridge);
                attempt = attemptLimit - 1;
                continue;
            }
            if (point != ZkSyncPoint_Found)
            {
                previousRule = nullptr;
                DropContext(bridge);
                cursor.depth = 0;
                CursorStep(cursor, false);
                continue;
            }

            ZkSwitchChainEntry* at = cursor.levels[0];
            RemoveAfter(at, removed);
            if (keepsUnchanged && NodeIDOf(*at) == destinationID)
            {
                ReopenTail();
                return;
            }
            m_lastScheduled = at;
            const auto sourcePosition = static_cast<int32_t>(cursor.ItemLocalTime(exitPoint));
            const CZkMusicNode* sourceNode = at->context->GetNode();
            const bool playlistSource = sourceNode != nullptr && sourceNode->Category() == kCategoryMusicPlaylist;
            StoreChildValues(NodeIDOf(*at), sourcePosition, playlistSource ? static_cast<int32_t>(exitCue) : -1);

            Placement placement;
            placement.now = now;
            placement.exitPoint = exitPoint;
            placement.leave = leave;
            placement.cursor = &cursor;
            placement.sourceHasSegment = sourceSegment != nullptr;
            placement.atExitCue = sourceSegment != nullptr && sourcePosition == sourceSegment->ActiveLength();
            placement.postExit = sourceSegment != nullptr ? sourceSegment->PostExitLength() : 0;
            if (bridge != nullptr)
            {
                ZkSwitchChainEntry* hop = NewEntry(bridge);
                if (hop == nullptr)
                {
                    DropContext(destination);
                    return;
                }
                placement.enter = bridgeEnter;
                placement.lookAhead = bridgeLookAhead;
                const CZkMusicSegment* bridgeSegment = FirstSegmentOf(*bridge);
                bridge = nullptr; // the entry holds it
                PlaceEntry(placement, *hop, removedActions);
                placement.exitPoint = exitPoint + static_cast<uint64_t>(bridgeSpan);
                placement.leave = bridgeLeave;
                placement.cursor = nullptr;
                placement.sourceHasSegment = bridgeSegment != nullptr;
                placement.atExitCue = true;
                placement.postExit = bridgeSegment != nullptr ? bridgeSegment->PostExitLength() : 0;
            }
            ZkSwitchChainEntry* entry = NewEntry(destination);
            if (entry == nullptr)
            {
                DropContext(destination);
                return;
            }
            destination = nullptr; // the entry holds it
            placement.enter = enter;
            placement.lookAhead = lookAhead;
            PlaceEntry(placement, *entry, removedActions);
            return;
        }
    };
    schedule();

    DropContext(bridge);
    DropContext(destination);
    if (removedActions != nullptr && playRecord != nullptr)
        playRecord->Reevaluate(removedActions);
    while (ZkSwitchChainEntry* entry = removed)
    {
        removed = entry->next;
        FreeEntry(entry);
    }
    Release();
}

void CZkMusicSwitchContext::PlaceEntry(const Placement& placement, ZkSwitchChainEntry& entry, ZkMusicSyncAction*& removedActions)
{
    const uint64_t exitPoint = placement.exitPoint;
    if (ZkSwitchChainEntry* tail = m_tail)
    {
        ReopenTail();
        const ZkMusicFade& fadeOut = placement.leave.fadeOut;
        auto stop = static_cast<int64_t>(exitPoint);
        if (fadeOut.timeMs > 0 && placement.sourceHasSegment)
            stop -= MsToSamples(fadeOut.timeMs) - fadeOut.offset;
        else if (placement.leave.playPostExit && placement.atExitCue)
            stop += placement.postExit;
        tail->stopTime = static_cast<uint64_t>(std::max(stop, static_cast<int64_t>(placement.now)));
        tail->fadeOut = ZkMusicFadeParams{static_cast<int32_t>(fadeOut.timeMs), static_cast<int32_t>(fadeOut.curve), 0};
        tail->flags |= ZkSwitchChainEntry::kStopPending | ZkSwitchChainEntry::kFadeOutScheduled;
        // Nothing of the source after the exit point is started (its next playlist segment).
        const auto cut = static_cast<int64_t>(exitPoint);
        tail->cutTime = tail->cutValid ? std::min(tail->cutTime, cut) : cut;
        tail->cutValid = true;
    }
    if (placement.cursor != nullptr)
    {
        // The sync actions the source held after the exit point go back to be placed again.
        ZkMusicCursor& cursor = *placement.cursor;
        constexpr uint32_t kMaxItemsWalked = 1024;
        cursor.MoveActionsAfter(removedActions, exitPoint);
        for (uint32_t step = 0; step < kMaxItemsWalked && !cursor.endReached; ++step)
        {
            cursor.depth = 0;
            CursorStep(cursor, true);
            if (cursor.current == nullptr)
                break;
            cursor.MoveActionsAfter(removedActions, exitPoint);
        }
    }
    entry.context->timeOffset = exitPoint;
    const int64_t play = static_cast<int64_t>(exitPoint) - placement.lookAhead;
    entry.playTime = static_cast<uint64_t>(std::max(play, static_cast<int64_t>(placement.now)));
    if (entry.context->GetNode() != nullptr)
        entry.fadeIn = ZkMusicFadeParams{static_cast<int32_t>(placement.enter.fadeIn.timeMs),
                                         static_cast<int32_t>(placement.enter.fadeIn.curve),
                                         placement.enter.fadeIn.offset + placement.lookAhead};
    entry.flags |= ZkSwitchChainEntry::kPlayPending;
    entry.next = nullptr;
    (m_tail != nullptr ? m_tail->next : m_head) = &entry;
    m_tail = &entry;
}
} // namespace ZK::MusicEngine
