// The play record's stingers: placing them on the music's timeline when a trigger fires, playing
// them frame by frame, and taking them back at a cut or when the play stops.
//
// Times are the root's (the play record's clock minus the root's time offset). A stinger's context
// is a segment played by itself under the root; its time offset is set so that its chain time is
// the root's time minus the sync point: its entry cue sounds exactly on the sync point and its
// pre-entry (and the look-ahead its tracks need) before it.
#include "MusicEngine/Contexts/CZkMusicPlayRecord.h"

#include "MusicEngine/CZkMusicSegment.h"
#include "MusicEngine/Contexts/CZkMusicChainContext.h"
#include "MusicEngine/Contexts/CZkMusicSegmentContext.h"
#include "MusicEngine/Contexts/CZkMusicSegmentSequenceContext.h"
#include "MusicEngine/Contexts/ZkMusicCursor.h"
#include "MusicEngine/Contexts/ZkMusicSyncAction.h"
#include "MusicEngine/Contexts/ZkStingerRecord.h"
#include "ZkAudiolib/Common/ObjectIndex/ObjectIndex.h"
#include "ZkAudiolib/Common/Voice/ZkAudioSettings.h"

#include <algorithm>
#include <new>

namespace ZK::MusicEngine
{
namespace
{
constexpr ZkMemoryId kStingerPool = ZkMemID_Default;
// The chain items free their sync actions from this pool.
constexpr ZkMemoryId kSyncActionPool = ZkMemID_Default;
constexpr ZkMusicFadeParams kStingerPlay{0, 0, 0};
constexpr ZkMusicFadeParams kStingerStop{0, 4, 0};

// The root as a chain: only chains walk with a cursor (a switch root is not built yet).
CZkMusicChainContext* RootChain(CZkMusicTimelineContext* root)
{
    return dynamic_cast<CZkMusicChainContext*>(root);
}

// The definition of the trigger's stinger for the segment of the cursor's item (its own or an
// ancestor's); false when the item plays no segment or none is defined.
bool FindDefinition(const ZkMusicCursor& cursor, ZkUniqueID triggerID, ZkMusicStinger& definition)
{
    if (cursor.current == nullptr || cursor.current->segmentContext == nullptr)
        return false;
    ZK::ZkArray<ZkMusicStinger> stingers;
    if (cursor.current->segmentContext->Segment().EffectiveStingers(stingers) != ZK_Success)
        return false;
    for (const ZkMusicStinger& stinger : stingers)
    {
        if (stinger.triggerID == triggerID)
        {
            definition = stinger;
            return true;
        }
    }
    return false;
}

// Samples from the stinger context's start to its entry cue: its pre-entry and the look-ahead its
// tracks need there.
uint32_t EntryLookAhead(const CZkMusicSegmentSequenceContext& context)
{
    const ZkMusicChainItem* head = context.Head();
    return head != nullptr ? static_cast<uint32_t>(std::max(-head->playOffset, 0)) : 0;
}

uint32_t MsToSamples(int32_t ms)
{
    const auto rate = static_cast<int64_t>(SoundEngine::ZkAudioSettings::SampleRate());
    return static_cast<uint32_t>(std::max<int64_t>(ms, 0) * rate / 1000);
}
} // namespace

void CZkMusicPlayRecord::ScheduleStinger(ZkUniqueID triggerID, bool afterCurrentItem)
{
    CZkMusicChainContext* chain = RootChain(root);
    if (chain == nullptr || !chain->IsBeforeStopping())
        return;
    const auto now = static_cast<int64_t>(clock - chain->timeOffset);
    ZkMusicCursor cursor;
    cursor.Init(*chain, false);
    if (cursor.current == nullptr)
        return;
    bool stepped = afterCurrentItem;
    if (afterCurrentItem)
    {
        chain->CursorStep(cursor, false);
        if (cursor.current == nullptr)
            return;
    }
    for (;;)
    {
        ZkMusicStinger definition{};
        if (!FindDefinition(cursor, triggerID, definition))
            return;
        for (const ZkStingerRecord* record = m_stingers; record != nullptr; record = record->next)
            if (record->triggerID == triggerID && record->syncPoint + record->dontRepeatSamples >= now)
                return;

        CZkMusicSegmentSequenceContext* context = nullptr;
        if (definition.segmentID != 0)
        {
            context = StartStingerContext(definition.segmentID);
            if (context == nullptr)
                return;
        }
        const uint32_t lookAhead = context != nullptr ? EntryLookAhead(*context) : 0;
        ZkUniqueID cue = definition.cueFilter;
        uint64_t point = 0;
        if (cursor.FindSyncPoint(static_cast<uint64_t>(now + lookAhead), definition.syncKind, cue, false, false, point) ==
            ZkSyncPoint_Found)
        {
            const ZKRESULT added = AddStinger(cursor, context, definition, point, lookAhead, !afterCurrentItem);
            if (context != nullptr)
            {
                // Unless kept, its chain gives back its segment context (which holds it).
                if (added != ZK_Success)
                    context->Stop(0);
                context->Release(); // the record holds it now, or it goes
            }
            return;
        }
        if (context != nullptr)
        {
            context->Stop(0);
            context->Release();
        }
        if (cursor.endReached || definition.searchNextSegment == 0 || stepped)
            return;
        chain->CursorStep(cursor, false);
        stepped = true;
        if (cursor.current == nullptr)
            return;
    }
}

CZkMusicSegmentSequenceContext* CZkMusicPlayRecord::StartStingerContext(ZkUniqueID segmentID)
{
    if (SoundEngine::g_pObjectIndex == nullptr)
        return nullptr;
    auto* node = static_cast<CZkHierarchyNode*>(SoundEngine::g_pObjectIndex->GetNodePtrAndAddRef(segmentID, false));
    if (node == nullptr)
        return nullptr;
    CZkMusicSegmentSequenceContext* context = nullptr;
    if (node->Category() == kCategoryMusicSegment)
    {
        context = static_cast<CZkMusicSegment*>(node)->CreateSequenceContext(root);
        // Prepared to play from the start of its pre-entry; one that cannot be is dropped.
        if (context != nullptr && context->Start(gameObject, playInfo, option) != ZK_Success)
        {
            context->Stop(0);
            context->Release();
            context = nullptr;
        }
    }
    node->Release();
    return context;
}

ZKRESULT CZkMusicPlayRecord::AddStinger(ZkMusicCursor& cursor, CZkMusicSegmentSequenceContext* context,
                                        const ZkMusicStinger& definition, uint64_t point, uint32_t lookAhead,
                                        bool mayRetrigger)
{
    if (cursor.current == nullptr)
        return ZK_Fail;
    void* recordMemory = ZK::MemoryMgr::Malloc(kStingerPool, sizeof(ZkStingerRecord));
    void* actionMemory = recordMemory != nullptr ? ZK::MemoryMgr::Malloc(kSyncActionPool, sizeof(ZkMusicSyncAction)) : nullptr;
    if (actionMemory == nullptr)
    {
        if (recordMemory != nullptr)
            ZK::MemoryMgr::Free(kStingerPool, recordMemory);
        return ZK_Fail;
    }
    auto* record = new (recordMemory) ZkStingerRecord;
    record->triggerID = definition.triggerID;
    record->segmentID = definition.segmentID;
    record->syncPoint = static_cast<int64_t>(point);
    record->dontRepeatSamples = MsToSamples(definition.minIntervalMs);
    record->lookAhead = lookAhead;
    record->mayRetrigger = mayRetrigger && definition.searchNextSegment != 0;
    if (context != nullptr)
    {
        context->AddRef();
        record->context = context;
        const auto& segment = static_cast<const CZkMusicSegment&>(*context->GetNode());
        record->end = segment.ActiveLength() + segment.PostExitLength();
        // Chain time = root time - point: the entry cue (chain time 0) falls on the point.
        context->timeOffset = static_cast<uint64_t>(record->syncPoint + context->chainStartOffset);
    }
    record->next = m_stingers;
    m_stingers = record;

    auto* action = new (actionMemory) ZkMusicSyncAction;
    action->time = cursor.ItemLocalTime(point);
    action->kind = ZkMusicSyncAction::kStinger;
    action->target = record;
    action->next = cursor.current->syncActions;
    cursor.current->syncActions = action;
    return ZK_Success;
}

void CZkMusicPlayRecord::ProcessStingers(uint64_t time, uint32_t length)
{
    const auto frameStart = static_cast<int64_t>(time);
    const int64_t frameEnd = frameStart + length;
    for (ZkStingerRecord** link = &m_stingers; *link != nullptr;)
    {
        ZkStingerRecord* record = *link;
        if (CZkMusicSegmentSequenceContext* context = record->context)
        {
            if (record->syncPoint - record->lookAhead < frameEnd)
            {
                if (record->syncPoint - record->lookAhead >= frameStart)
                    context->PlayWithFade(kStingerPlay);
                const int64_t end = record->syncPoint + record->end;
                if (frameStart <= end && end < frameEnd)
                    context->StopWithFade(kStingerStop, static_cast<uint32_t>(end - frameStart));
                if (context->IsSounding())
                {
                    // Only the stinger's own segment is ever started: its chain has nothing after it
                    // but the empty item at its exit.
                    ZkMusicFrameInfo frame{static_cast<uint64_t>(record->syncPoint + 1), true};
                    context->Process(time, length, frame);
                }
            }
            if (!context->IsBeforeStopping())
            {
                record->context = nullptr;
                context->Release();
            }
        }
        else if (record->syncPoint + record->dontRepeatSamples < frameStart)
        {
            *link = record->next;
            record->~ZkStingerRecord();
            ZK::MemoryMgr::Free(kStingerPool, record);
            continue;
        }
        link = &record->next;
    }
}

void CZkMusicPlayRecord::DiscardStingers()
{
    while (ZkStingerRecord* record = m_stingers)
    {
        m_stingers = record->next;
        if (CZkMusicSegmentSequenceContext* context = record->context)
        {
            // A stinger still to come has its chain holding its segment context: stopped, the
            // chain gives it back and the context can go.
            if (context->PlayState() != CZkMusicContext::kStopped)
                context->Stop(0);
            context->Release();
        }
        record->~ZkStingerRecord();
        ZK::MemoryMgr::Free(kStingerPool, record);
    }
}

void CZkMusicPlayRecord::ReevaluateStinger(ZkStingerRecord& record)
{
    if (record.context != nullptr && root != nullptr)
        record.context->FadeOutUntil(clock - root->timeOffset);
    const ZkUniqueID triggerID = record.triggerID;
    record.triggerID = 0;
    if (record.mayRetrigger && triggerID != 0)
        ScheduleStinger(triggerID, true);
}
} // namespace ZK::MusicEngine
