#include "MusicEngine/Contexts/CZkMusicSwitchContext.h"

#include "MusicEngine/CZkMusicPlaylistContainer.h"
#include "MusicEngine/CZkMusicSegment.h"
#include "MusicEngine/CZkMusicSwitchContainer.h"
#include "MusicEngine/Contexts/CZkMusicPlaylistContext.h"
#include "MusicEngine/Contexts/CZkMusicSegmentContext.h"
#include "MusicEngine/Contexts/CZkMusicSegmentSequenceContext.h"
#include "MusicEngine/Contexts/CZkMusicSilenceContext.h"
#include "MusicEngine/Contexts/MusicTimeUnits.h"
#include "MusicEngine/Contexts/ZkMusicCursor.h"
#include "MusicEngine/Contexts/ZkSwitchArgumentSubscriber.h"
#include "ZkAudiolib/Common/ObjectIndex/ObjectIndex.h"
#include "ZkAudiolib/Common/Parameters/CZkRTPCOverrideFilter.h"
#include "ZkAudiolib/Common/Playback/CZkPlayingMgr.h"
#include "ZkAudiolib/Common/Voice/ZkAudioSettings.h"

#include <algorithm>
#include <new>

namespace ZK::MusicEngine
{
namespace
{
constexpr ZkMemoryId kSwitchPool = ZkMemID_Default;
constexpr uint32_t kChildStoreGrowth = 4;
constexpr uint32_t kSwitchTransitionCallback = 0x4000;
} // namespace

CZkMusicSwitchContext* CZkMusicSwitchContext::Create(CZkMusicSwitchContext* parentSwitch, CZkMusicSwitchContainer& container,
                                                     CZkRegisteredObj* gameObject, const ZkMusicPlayInfo& playInfo,
                                                     uint8_t option)
{
    // The cursor crosses one level per switch context from the root: none deeper than it keeps.
    if (parentSwitch != nullptr && parentSwitch->SwitchDepth() >= ZkMusicCursor::kMaxLevels)
        return nullptr;
    return CreateStarted<CZkMusicSwitchContext>(gameObject, playInfo, option, parentSwitch, container);
}

CZkMusicSwitchContext::CZkMusicSwitchContext(CZkMusicSwitchContext* parentSwitch, CZkMusicSwitchContainer& container)
    : CZkMusicChainContext(parentSwitch), m_container(container), m_parentSwitch(parentSwitch)
{
    m_container.AddRef();
    if (parentSwitch != nullptr)
        m_switchDepth = parentSwitch->SwitchDepth() + 1;
}

CZkMusicSwitchContext::~CZkMusicSwitchContext()
{
    DestroySubscribers();
    while (ZkSwitchChainEntry* entry = m_head)
    {
        m_head = entry->next;
        FreeEntry(entry);
    }
    FreeChildStore();
    m_container.Release();
}

CZkRegisteredObj* CZkMusicSwitchContext::GameObject() const
{
    return playRecord != nullptr ? playRecord->gameObject : nullptr;
}

CZkMusicNode* CZkMusicSwitchContext::GetNode() const
{
    return &m_container;
}

// --- Start and arguments ---

ZKRESULT CZkMusicSwitchContext::Start(CZkRegisteredObj* gameObject, const ZkMusicPlayInfo& playInfo, uint8_t option)
{
    const ZKRESULT attached = Attach(gameObject, playInfo, option);
    if (attached != ZK_Success)
        return attached;
    const uint32_t count = m_container.ArgumentCount();
    if (count > 0)
    {
        void* memory = ZK::MemoryMgr::Malloc(kSwitchPool, sizeof(ZkSwitchArgumentSubscriber) * count);
        if (memory == nullptr)
            return ZK_InsufficientMemory;
        m_subscribers = static_cast<ZkSwitchArgumentSubscriber*>(memory);
    }
    const ZkPlayingID playingID = playRecord != nullptr ? playRecord->PlayingID() : 0;
    for (uint32_t index = 0; index < count; ++index)
    {
        auto* subscriber = new (&m_subscribers[index]) ZkSwitchArgumentSubscriber(*this, index);
        ++m_subscriberCount;
        subscriber->kind = m_container.ArgumentKind(index) == CZkMusicSwitchContainer::kArgumentState ? 1u : 0u;
        const ZKRESULT registered = subscriber->Register(m_container.ArgumentGroup(index), subscriber->kind);
        if (registered != ZK_Success)
            return registered;
        (void)playingID;
        subscriber->currentValue =
            SoundEngine::CZkGroupSubscriber::GetGroupValue(GameObject(), m_container.ArgumentGroup(index), subscriber->kind);
    }
    AddRef();
    m_flags |= kFlagSubscribersHoldReference;
    if (parent != nullptr)
        return InitialChain(false);
    const ZKRESULT initial = InitialChain(true);
    if (initial == ZK_Success && IsBeforeStopping())
        FollowArguments(ZkSwitchRequest{});
    return initial;
}

void CZkMusicSwitchContext::DestroySubscribers()
{
    for (uint32_t index = 0; index < m_subscriberCount; ++index)
        m_subscribers[index].~ZkSwitchArgumentSubscriber();
    if (m_subscribers != nullptr)
        ZK::MemoryMgr::Free(kSwitchPool, m_subscribers);
    m_subscribers = nullptr;
    m_subscriberCount = 0;
}

ZkUniqueID CZkMusicSwitchContext::Decide() const
{
    constexpr uint32_t kMaxPath = 64;
    uint32_t path[kMaxPath] = {};
    const uint32_t count = std::min(m_subscriberCount, kMaxPath);
    for (uint32_t index = 0; index < count; ++index)
        path[m_subscribers[index].argumentIndex] = m_subscribers[index].currentValue;
    return m_container.Tree().ResolvePath(m_container.ID(), path, count, 0, nullptr, nullptr);
}

void ZkSwitchArgumentSubscriber::OnGroupValueChanged(ZkUniqueID value, const ZkRTPCKey& key,
                                                     const SoundEngine::CZkRTPCOverrideFilter* filter)
{
    if (kind != 1)
    {
        ZkRTPCKey playKey = ZkRTPCKey::ForObject(m_context.GameObject(),
                                                 m_context.playRecord != nullptr ? m_context.playRecord->PlayingID() : 0);
        if (key.gameObject != nullptr && key.gameObject != playKey.gameObject)
            return;
        if (filter != nullptr && filter->IsOverridden(playKey))
            return;
    }
    if (value == currentValue)
        return;
    currentValue = value;
    m_context.OnArgumentChanged();
}

void CZkMusicSwitchContext::OnArgumentChanged()
{
    AddRef();
    if (m_parentSwitch != nullptr && m_parentSwitch->AnyAncestorPending())
    {
        // The switch above is moving: this change waits until its transition is reached.
        m_flags |= kFlagChangePending;
        Release();
        return;
    }
    m_flags &= static_cast<uint8_t>(~kFlagChangePending);
    if (IsBeforeStopping())
        FollowArguments(ZkSwitchRequest{});
    if (m_current != nullptr && m_current->next == nullptr && !AnyAncestorPending())
        for (ZkSwitchChainEntry* entry = m_head; entry != nullptr; entry = entry->next)
            entry->context->ProcessPendingSwitch();
    Release();
}

void CZkMusicSwitchContext::ProcessPendingSwitch()
{
    if (PlayState() != kPlaying && PlayState() != kCreated)
        return;
    AddRef();
    if ((m_flags & kFlagChangePending) != 0)
    {
        m_flags &= static_cast<uint8_t>(~kFlagChangePending);
        if (IsBeforeStopping())
            FollowArguments(ZkSwitchRequest{});
    }
    if (m_current != nullptr && m_current->next == nullptr && !AnyAncestorPending())
        for (ZkSwitchChainEntry* entry = m_head; entry != nullptr; entry = entry->next)
            entry->context->ProcessPendingSwitch();
    Release();
}

void CZkMusicSwitchContext::FollowArguments(const ZkSwitchRequest& request)
{
    const ZkUniqueID destinationID = Decide();
    CZkMusicChainContext* destination = CreateDestination(destinationID);
    if (destination == nullptr)
        return;
    ScheduleSwitch(destinationID, request, destination);
    DropContext(destination);
}

bool CZkMusicSwitchContext::AnyAncestorPending() const
{
    for (const CZkMusicSwitchContext* level = this; level != nullptr; level = level->m_parentSwitch)
        if (level->m_current != nullptr && level->m_current->next != nullptr)
            return true;
    return false;
}

// --- Destinations ---

CZkMusicChainContext* CZkMusicSwitchContext::CreateDestination(ZkUniqueID id)
{
    CZkRegisteredObj* gameObject = GameObject();
    const ZkMusicPlayInfo playInfo = playRecord != nullptr ? playRecord->playInfo : ZkMusicPlayInfo{};
    const uint8_t option = playRecord != nullptr ? playRecord->option : 0;
    CZkMusicChainContext* context = nullptr;
    SoundEngine::CZkHierarchyNode* node = nullptr;
    if (id != 0 && SoundEngine::g_pObjectIndex != nullptr)
        node = static_cast<SoundEngine::CZkHierarchyNode*>(SoundEngine::g_pObjectIndex->GetNodePtrAndAddRef(id, false));
    if (node != nullptr)
    {
        if (node->Category() == kCategoryMusicSegment)
        {
            CZkMusicSegmentSequenceContext* sequence = static_cast<CZkMusicSegment*>(node)->CreateSequenceContext(this);
            context = sequence;
            if (sequence != nullptr && sequence->Start(gameObject, playInfo, option) != ZK_Success)
                DropContext(context);
        }
        else if (node->Category() == kCategoryMusicPlaylist)
        {
            context = CZkMusicPlaylistContext::Create(this, *static_cast<CZkMusicPlaylistContainer*>(node), gameObject, playInfo,
                                                      option);
        }
        else if (node->Category() == kCategoryMusicSwitch)
        {
            context = Create(this, *static_cast<CZkMusicSwitchContainer*>(node), gameObject, playInfo, option);
        }
        node->Release();
    }
    if (context != nullptr)
        return context;
    return CZkMusicSilenceContext::Create(*this, gameObject, playInfo, option);
}

CZkMusicChainContext::PrepareResult CZkMusicSwitchContext::PrepareDestination(CZkMusicChainContext& context,
                                                                              const ZkMusicEnterSide& enter, int32_t seek,
                                                                              ZkUniqueID suppliedCue, int32_t& lookAhead,
                                                                              ZkUniqueID& cue)
{
    lookAhead = 0;
    cue = 0;
    if (context.GetNode() == nullptr)
        return PrepareResult::kPrepared; // silence: nothing to start ahead
    int32_t position = seek;
    return context.PrepareWithEntry(enter, position, false, suppliedCue, lookAhead, cue);
}

CZkMusicChainContext::PrepareResult CZkMusicSwitchContext::PrepareWithEntry(const ZkMusicEnterSide& entry, int32_t& seekPosition,
                                                                            bool, ZkUniqueID suppliedCue, int32_t& lookAhead,
                                                                            ZkUniqueID& cueID)
{
    lookAhead = 0;
    cueID = 0;
    if (m_head == nullptr)
        return PrepareResult::kNothingPrepared;
    return PrepareDestination(*m_head->context, entry, seekPosition, suppliedCue, lookAhead, cueID);
}

ZkSwitchChainEntry* CZkMusicSwitchContext::NewEntry(CZkMusicChainContext* context)
{
    void* memory = ZK::MemoryMgr::Malloc(ZkSwitchChainEntry::kPool, sizeof(ZkSwitchChainEntry));
    if (memory == nullptr)
        return nullptr;
    auto* entry = new (memory) ZkSwitchChainEntry;
    entry->context = context;
    return entry;
}

void CZkMusicSwitchContext::DropContext(CZkMusicChainContext*& context)
{
    if (context == nullptr)
        return;
    CZkMusicChainContext* dropped = context;
    context = nullptr;
    // A context already stopping (or stopped) keeps the stop it has: its clips render this frame up
    // to their stop offsets, and a stop at 0 now would silence the whole frame (an inner switch
    // left on an exit point lost the samples of that frame before the point).
    if (dropped->IsBeforeStopping())
        dropped->Stop(0);
    // Only the entry's reference is given back. The context stays linked under this switch: what
    // plays below it (a clip still ending holds its track, the track its segment, ...) may keep it
    // alive past this switch's last entry, and its link is what keeps this switch alive as long;
    // its own last release unlinks it. Unlinked here, it would release into a freed parent.
    dropped->Release();
}

void CZkMusicSwitchContext::FreeEntry(ZkSwitchChainEntry* entry)
{
    DropContext(entry->context);
    entry->~ZkSwitchChainEntry();
    ZK::MemoryMgr::Free(ZkSwitchChainEntry::kPool, entry);
}

ZKRESULT CZkMusicSwitchContext::InitialChain(bool silenceFirst)
{
    AddRef();
    ZkSwitchChainEntry* setAside = m_head;
    m_head = m_tail = m_current = nullptr;
    m_flags &= static_cast<uint8_t>(~kFlagChangePending);
    CZkMusicChainContext* destination = CreateDestination(silenceFirst ? 0 : Decide());
    ZkSwitchChainEntry* entry = destination != nullptr ? NewEntry(destination) : nullptr;
    bool prepared = false;
    if (entry != nullptr)
    {
        int32_t lookAhead = 0;
        ZkUniqueID cue = 0;
        prepared = PrepareDestination(*destination, ZkMusicEnterSide{}, 0, 0, lookAhead, cue) == PrepareResult::kPrepared;
    }
    if (!prepared)
    {
        if (entry != nullptr)
            FreeEntry(entry);
        else
            DropContext(destination);
        m_head = m_tail = setAside;
        m_current = setAside;
        Release();
        return ZK_Fail;
    }
    m_head = m_tail = m_current = entry;
    while (ZkSwitchChainEntry* old = setAside)
    {
        setAside = old->next;
        FreeEntry(old);
    }
    Release();
    return ZK_Success;
}

void CZkMusicSwitchContext::RemoveAfter(ZkSwitchChainEntry* entry, ZkSwitchChainEntry*& removed)
{
    ZkSwitchChainEntry*& link = entry != nullptr ? entry->next : m_head;
    ZkSwitchChainEntry* first = link;
    if (first == nullptr)
        return;
    link = nullptr;
    m_tail = entry;
    for (ZkSwitchChainEntry* walk = first; walk != nullptr; walk = walk->next)
    {
        if (walk == m_current)
            m_current = entry;
        if (walk == m_lastScheduled)
            m_lastScheduled = nullptr;
    }
    ZkSwitchChainEntry* last = first;
    while (last->next != nullptr)
        last = last->next;
    last->next = removed;
    removed = first;
}

ZkUniqueID CZkMusicSwitchContext::NodeIDOf(const ZkSwitchChainEntry& entry) const
{
    const CZkMusicNode* node = entry.context != nullptr ? entry.context->GetNode() : nullptr;
    return node != nullptr ? node->ID() : 0;
}

// --- Child store ---

CZkMusicSwitchContext& CZkMusicSwitchContext::StoreOwner()
{
    CZkMusicSwitchContext* owner = this;
    while (owner->m_parentSwitch != nullptr)
        owner = owner->m_parentSwitch;
    return *owner;
}

CZkMusicSwitchContext::ChildRecord* CZkMusicSwitchContext::FindOrAddChild(ZkUniqueID id)
{
    for (uint32_t index = 0; index < m_childCount; ++index)
        if (m_children[index].id == id)
            return &m_children[index];
    if (m_childCount == m_childCapacity)
    {
        const uint32_t capacity = m_childCapacity + kChildStoreGrowth;
        void* memory = ZK::MemoryMgr::Malloc(kSwitchPool, sizeof(ChildRecord) * capacity);
        if (memory == nullptr)
            return nullptr;
        auto* grown = static_cast<ChildRecord*>(memory);
        for (uint32_t index = 0; index < m_childCount; ++index)
            new (&grown[index]) ChildRecord(m_children[index]);
        if (m_children != nullptr)
            ZK::MemoryMgr::Free(kSwitchPool, m_children);
        m_children = grown;
        m_childCapacity = capacity;
    }
    ChildRecord* record = new (&m_children[m_childCount++]) ChildRecord;
    record->id = id;
    return record;
}

void CZkMusicSwitchContext::FreeChildStore()
{
    for (uint32_t index = 0; index < m_childCount; ++index)
        if (m_children[index].state.block != nullptr)
            m_children[index].state.Release();
    if (m_children != nullptr)
        ZK::MemoryMgr::Free(kSwitchPool, m_children);
    m_children = nullptr;
    m_childCount = m_childCapacity = 0;
}

bool CZkMusicSwitchContext::StoreChildState(ZkUniqueID id, const ZkPlaylistSavedState& state)
{
    CZkMusicSwitchContext& owner = StoreOwner();
    ChildRecord* record = owner.FindOrAddChild(id);
    if (record == nullptr)
        return false;
    if (record->state.block != nullptr)
        record->state.Release();
    record->state = state;
    return true;
}

const ZkPlaylistSavedState* CZkMusicSwitchContext::FindChildState(ZkUniqueID id)
{
    CZkMusicSwitchContext& owner = StoreOwner();
    for (uint32_t index = 0; index < owner.m_childCount; ++index)
        if (owner.m_children[index].id == id)
            return owner.m_children[index].state.block != nullptr ? &owner.m_children[index].state : nullptr;
    return nullptr;
}

void CZkMusicSwitchContext::StoreChildValues(ZkUniqueID id, int32_t valueA, int32_t valueB)
{
    ChildRecord* record = StoreOwner().FindOrAddChild(id);
    if (record == nullptr)
        return;
    record->valueA = valueA;
    record->valueB = valueB;
}

bool CZkMusicSwitchContext::FindChildValues(ZkUniqueID id, int32_t& valueA, int32_t& valueB)
{
    CZkMusicSwitchContext& owner = StoreOwner();
    for (uint32_t index = 0; index < owner.m_childCount; ++index)
        if (owner.m_children[index].id == id)
        {
            valueA = owner.m_children[index].valueA;
            valueB = owner.m_children[index].valueB;
            return true;
        }
    return false;
}

// --- Play and stop ---

void CZkMusicSwitchContext::OnPlay()
{
    if (PlayState() == kCreated && m_head != nullptr)
    {
        m_head->context->timeOffset = 0;
        m_head->context->PlayWithFade(ZkMusicFadeParams{0, 4, 0});
    }
    CZkMusicContext::OnPlay();
}

void CZkMusicSwitchContext::OnStopped()
{
    AddRef();
    DestroySubscribers();
    while (ZkSwitchChainEntry* entry = m_head)
    {
        m_head = entry->next;
        FreeEntry(entry);
    }
    m_tail = m_current = m_lastScheduled = nullptr;
    if ((m_flags & kFlagSubscribersHoldReference) != 0)
    {
        m_flags &= static_cast<uint8_t>(~kFlagSubscribersHoldReference);
        Release();
    }
    CZkMusicChainContext::OnStopped();
    Release();
}

void CZkMusicSwitchContext::Process(uint64_t time, uint32_t length, ZkMusicFrameInfo& frame)
{
    frame.cutTime -= timeOffset;
    AddRef();
    if (PlayState() == kStopping)
        length = std::min(length, StopOffset());
    m_lastScheduled = nullptr;
    const uint64_t t = time - timeOffset;
    const uint64_t frameEnd = t + length;
    ZkSwitchChainEntry* previous = nullptr;
    for (ZkSwitchChainEntry* entry = m_head; entry != nullptr;)
    {
        ZkSwitchChainEntry* next = entry->next;
        CZkMusicChainContext& context = *entry->context;
        if (context.timeOffset >= t && context.timeOffset < frameEnd)
        {
            m_current = entry;
            if (parent == nullptr && (callbackFlags & kSwitchTransitionCallback) != 0 && playRecord != nullptr &&
                SoundEngine::g_pPlayingMgr != nullptr)
            {
                ZkSegmentInfo info;
                GetSegmentInfo(info);
                SoundEngine::g_pPlayingMgr->NotifyMusicSync(playRecord->PlayingID(), kSwitchTransitionCallback, info);
            }
            if (next == nullptr && !AnyAncestorPending())
                for (ZkSwitchChainEntry* each = m_head; each != nullptr; each = each->next)
                    each->context->ProcessPendingSwitch();
            next = entry->next;
        }
        if (entry->Has(ZkSwitchChainEntry::kStopPending) || context.IsSounding() || entry->Has(ZkSwitchChainEntry::kPlayPending))
        {
            // A time already passed (a scheduling between frames) counts as this frame's start.
            if (entry->Has(ZkSwitchChainEntry::kPlayPending) && entry->playTime < frameEnd)
            {
                entry->flags &= static_cast<uint8_t>(~ZkSwitchChainEntry::kPlayPending);
                context.PlayWithFade(entry->fadeIn);
            }
            if (entry->Has(ZkSwitchChainEntry::kStopPending) && entry->stopTime < frameEnd)
            {
                entry->flags &= static_cast<uint8_t>(~ZkSwitchChainEntry::kStopPending);
                context.StopWithFade(entry->fadeOut, static_cast<uint32_t>(entry->stopTime > t ? entry->stopTime - t : 0));
            }
            if (context.IsSounding())
            {
                ZkMusicFrameInfo info = frame;
                if (entry->cutValid && (!info.cutValid || entry->cutTime < static_cast<int64_t>(info.cutTime)))
                {
                    info.cutTime = static_cast<uint64_t>(entry->cutTime);
                    info.cutValid = true;
                }
                context.Process(t, length, info);
            }
            previous = entry;
        }
        else if (entry != m_current)
        {
            (previous != nullptr ? previous->next : m_head) = next;
            if (m_tail == entry)
                m_tail = previous;
            FreeEntry(entry);
        }
        else
        {
            previous = entry;
        }
        entry = next;
    }
    FinishFrame(t, length);
}

// --- Cursor ---

void CZkMusicSwitchContext::EnterEntry(ZkMusicCursor& cursor, uint32_t level, ZkSwitchChainEntry& entry, bool lastOnly)
{
    if (!cursor.PushLevel(level, &entry))
    {
        cursor.current = nullptr;
        return;
    }
    cursor.current = nullptr;
    cursor.owner = nullptr;
    entry.context->CursorStep(cursor, lastOnly);
}

void CZkMusicSwitchContext::FollowEntries(ZkMusicCursor& cursor, uint32_t level, ZkSwitchChainEntry* entry, bool lastOnly) const
{
    const auto above = static_cast<int64_t>(cursor.LevelOffsetsBefore(level));
    while (entry->next != nullptr && cursor.CurrentItemStart() >= above + static_cast<int64_t>(entry->next->context->timeOffset))
    {
        entry = entry->next;
        EnterEntry(cursor, level, *entry, lastOnly);
    }
    if (entry->next != nullptr && cursor.current != nullptr)
    {
        const int64_t until = above + static_cast<int64_t>(entry->next->context->timeOffset) - cursor.CurrentItemStart();
        if (cursor.endReached || static_cast<int64_t>(cursor.distance) > until)
            cursor.SetDistance(static_cast<uint64_t>(std::max<int64_t>(until, 0)), false);
    }
}

void CZkMusicSwitchContext::CursorStep(ZkMusicCursor& cursor, bool lastOnly)
{
    const uint32_t level = cursor.depth++;
    ZkSwitchChainEntry* entry = level < cursor.levelCount ? cursor.levels[level] : nullptr;
    if (entry == nullptr)
    {
        entry = m_current != nullptr ? m_current : m_head;
        if (entry == nullptr)
            cursor.current = nullptr;
        else
            EnterEntry(cursor, level, *entry, lastOnly);
    }
    else
    {
        entry->context->CursorStep(cursor, lastOnly);
    }
    if (entry != nullptr && cursor.levelCount > level)
        FollowEntries(cursor, level, cursor.levels[level], lastOnly);
    --cursor.depth;
}

void CZkMusicSwitchContext::UpdateDistance(ZkMusicCursor& cursor, uint64_t time, uint32_t length)
{
    const uint32_t level = cursor.depth;
    if (level >= cursor.levelCount)
        return;
    ++cursor.depth;
    ZkSwitchChainEntry* entry = cursor.levels[level];
    entry->context->UpdateDistance(cursor, time, length);
    FollowEntries(cursor, level, entry, true);
    --cursor.depth;
}

CZkMusicNode* CZkMusicSwitchContext::CurrentSegmentNode() const
{
    ZkMusicCursor cursor;
    cursor.Init(const_cast<CZkMusicSwitchContext&>(*this), false);
    if (cursor.current != nullptr && cursor.current->segmentContext != nullptr)
        return &cursor.current->segmentContext->Segment();
    return GetNode();
}

void CZkMusicSwitchContext::GetPlayWindow(uint64_t& firstPlay, uint64_t& firstStart) const
{
    firstPlay = 0;
    firstStart = 0;
    const ZkSwitchChainEntry* first = m_head;
    // A root's first entry is its initial silence.
    if (parent == nullptr && first != nullptr && first->next != nullptr)
        first = first->next;
    int64_t earliestPlay = INT64_MAX;
    int64_t earliestStart = INT64_MAX;
    for (const ZkSwitchChainEntry* entry = first; entry != nullptr; entry = entry->next)
    {
        uint64_t play = 0;
        uint64_t start = 0;
        entry->context->GetPlayWindow(play, start);
        const auto offset = static_cast<int64_t>(entry->context->timeOffset);
        earliestPlay = std::min(earliestPlay, offset + static_cast<int64_t>(play));
        earliestStart = std::min(earliestStart, offset + static_cast<int64_t>(start));
    }
    if (earliestPlay == INT64_MAX)
        return;
    firstPlay = static_cast<uint64_t>(earliestPlay);
    firstStart = static_cast<uint64_t>(earliestStart);
}

bool CZkMusicSwitchContext::IsInterruptible() const
{
    if (PlayState() != kPlaying && PlayState() != kCreated)
        return false;
    return m_tail == nullptr || m_tail->context->IsInterruptible();
}

void CZkMusicSwitchContext::FadeOutUntil(uint64_t time)
{
    AddRef();
    if (PlayState() == kCreated)
    {
        Stop(0);
    }
    else if (PlayState() == kPlaying)
    {
        const uint64_t clock = playRecord != nullptr ? playRecord->clock : 0;
        const int64_t parentNow = static_cast<int64_t>(clock - (AbsoluteOffset() - timeOffset));
        const int64_t remaining = std::max<int64_t>(static_cast<int64_t>(time) - parentNow, 0);
        StopWithFade(ZkMusicFadeParams{SamplesToMs(remaining), 4, 0}, kNoStopOffset);
    }
    Release();
}

ZKRESULT CZkMusicSwitchContext::SeekByTime(int32_t& ms, bool)
{
    if (parent != nullptr || PlayState() > kPlaying)
        return ZK_Fail;
    m_flags &= static_cast<uint8_t>(~kFlagChangePending);
    ZkSwitchRequest request;
    request.hasSeek = true;
    request.seekPosition = static_cast<int32_t>(
        std::max<int64_t>(int64_t{ms} * static_cast<int64_t>(SoundEngine::ZkAudioSettings::SampleRate()) / 1000, 0));
    AddRef();
    FollowArguments(request);
    Release();
    return ZK_Success;
}

ZKRESULT CZkMusicSwitchContext::SeekByPercent(float& fraction, bool)
{
    if (parent != nullptr || PlayState() > kPlaying)
        return ZK_Fail;
    m_flags &= static_cast<uint8_t>(~kFlagChangePending);
    ZkSwitchRequest request;
    request.hasSeek = true;
    request.seekIsFraction = true;
    request.seekFraction = fraction;
    AddRef();
    FollowArguments(request);
    Release();
    return ZK_Success;
}
} // namespace ZK::MusicEngine
