#include "MusicEngine/Playlist/CZkPlaylistIterator.h"

#include "MusicEngine/Playlist/ZkPlaylistStoredSelector.h"
#include "ZkAudiolib/Common/Containers/ZkLcg64.h"
#include "ZkAudiolib/Common/Playback/CZkPlayingMgr.h"

#include <algorithm>
#include <cstring>

namespace ZK::MusicEngine
{
using SoundEngine::CZkPlayHistory;
using SoundEngine::CZkRandomHistory;
using SoundEngine::CZkSequenceHistory;

namespace
{
constexpr uint8_t kSequenceSelector = 1;
constexpr uint8_t kRandomSelector = 3;

bool IsContinuous(uint32_t mode) { return mode == CZkPlaylistIterator::kSequenceContinuous || mode == CZkPlaylistIterator::kRandomContinuous; }
bool IsRandom(uint32_t mode) { return mode >= CZkPlaylistIterator::kRandomStep; }

// The group's children as the random selector weighs them.
class ChildWeights final : public SoundEngine::IZkWeightSource
{
public:
    explicit ChildWeights(const ZkPlaylistItem& group) : m_group(group) {}
    uint32_t Count() const override { return m_group.children.Length(); }
    int32_t Weight(uint32_t index) const override
    {
        return m_group.weighted != 0 ? static_cast<int32_t>(m_group.children[index]->weight)
                                     : static_cast<int32_t>(ZkPlaylistItem::kDefaultWeight);
    }

private:
    const ZkPlaylistItem& m_group;
};

int64_t TotalWeight(const ZkPlaylistItem& group)
{
    const ChildWeights weights(group);
    int64_t total = 0;
    for (uint32_t index = 0; index < weights.Count(); ++index)
        total += weights.Weight(index);
    return total;
}

SoundEngine::ZkRandomSettings RandomSettings(const ZkPlaylistItem& group)
{
    SoundEngine::ZkRandomSettings settings;
    settings.avoidRepeatCount = group.avoidRepeat;
    settings.randomType = group.flag; // the group's shuffle flag
    settings.weighted = group.weighted != 0;
    return settings;
}

// The repetition count of an item, in the frame's 16 bits. M1's count: an empty modifier range
// (high below low) takes low, so no draw divides by an empty range.
int16_t RepetitionCount(const ZkPlaylistItem& item)
{
    return static_cast<int16_t>(std::clamp<int32_t>(item.EffectiveRepeatCount(), INT16_MIN, INT16_MAX));
}

bool HoldsLeaf(const ZkPlaylistItem& item)
{
    if (!item.IsGroup())
        return true;
    for (const ZkPlaylistItem* child : item.children)
    {
        if (HoldsLeaf(*child))
            return true;
    }
    return false;
}

const ZkPlaylistItem* ChildByID(const ZkPlaylistItem& group, ZkUniqueID itemID)
{
    for (const ZkPlaylistItem* child : group.children)
    {
        if (child->itemID == itemID)
            return child;
    }
    return nullptr;
}

const ZkPlaylistItem* FindGroup(const ZkPlaylistItem& item, ZkUniqueID itemID)
{
    if (!item.IsGroup())
        return nullptr;
    if (item.itemID == itemID)
        return &item;
    for (const ZkPlaylistItem* child : item.children)
    {
        if (const ZkPlaylistItem* found = FindGroup(*child, itemID))
            return found;
    }
    return nullptr;
}

// Writes into a block, or only counts when it has none.
class BlockWriter final : public WriteBytesInterface
{
public:
    explicit BlockWriter(uint8_t* block) : m_block(block) {}
    bool WriteBytes(const void* source, int32_t length, int32_t& written) override
    {
        if (m_block != nullptr)
            std::memcpy(m_block + m_count, source, static_cast<size_t>(length));
        m_count += static_cast<uint32_t>(length);
        written = length;
        return true;
    }
    uint32_t Count() const { return m_count; }

private:
    uint8_t* m_block;
    uint32_t m_count = 0;
};

// Little-endian fields into a stream.
struct Writer
{
    WriteBytesInterface& bytes;
    template <typename T>
    bool Put(T value)
    {
        int32_t written = 0;
        return bytes.WriteBytes(&value, sizeof(T), written);
    }
};

// A selector read from the bytes, checked against the group it will serve.
CZkPlayHistory* ReadSelector(ZK::ZkByteCursor& cursor, uint8_t kind, const ZkPlaylistItem& group)
{
    CZkPlayHistory* selector = nullptr;
    if (kind == kSequenceSelector)
        selector = CZkSequenceHistory::Create();
    else if (kind == kRandomSelector)
        selector = CZkRandomHistory::Create(group.children.Length(), 0);
    if (selector == nullptr)
        return nullptr;
    if (selector->Read(cursor) != ZK_Success || !selector->IsConsistent(group.children.Length(), TotalWeight(group)))
    {
        selector->Release();
        return nullptr;
    }
    return selector;
}
} // namespace

ZKRESULT CZkPlaylistIterator::Start(CZkMusicPlaylistContainer& playlist, ZkPlayingID playingID,
                                    const ZkPlaylistSavedState* saved)
{
    Reset();
    m_playlist = &playlist;
    m_playingID = playingID;
    if (saved != nullptr && !Read(saved->Bytes(), saved->size))
        return ZK_Fail;
    if (m_frames.Length() == 0 && !HasCurrent() && Enter(playlist.Root()) != ZK_Success)
        return ZK_Fail;
    return HasCurrent() ? ZK_Success : Descend();
}

int32_t CZkPlaylistIterator::Next()
{
    if (m_leafRepetitions >= 2)
        return --m_leafRepetitions;
    if (m_leafRepetitions == 1)
    {
        ClearCurrent();
        if (m_frames.Length() > 0)
            Descend();
        return m_leafRepetitions;
    }
    m_hasCurrent = 0; // a leaf without end: the playlist ends after it
    return 0;
}

ZKRESULT CZkPlaylistIterator::NextWithHistory()
{
    ZkPlaylistSavedState state;
    if (Serialize(state) != ZK_Success)
        return ZK_Fail;
    if (m_history.AddLast(state) == nullptr)
    {
        state.Release();
        Reset();
        return ZK_Fail;
    }
    Next();
    return ZK_Success;
}

bool CZkPlaylistIterator::TakeOldestHistory(ZkPlaylistSavedState& state)
{
    if (m_history.Length() == 0)
        return false;
    state = m_history[0];
    m_history.Erase(0);
    CZkPlaylistIterator walk;
    walk.m_playlist = m_playlist;
    if (m_playlist != nullptr && walk.Read(state.Bytes(), state.size))
        walk.StoreSelectors();
    return true;
}

void CZkPlaylistIterator::StoreSelectors() const
{
    // A copy that cannot be had leaves the stored selector as it was: the next play starts from an
    // older point of the group, nothing worse.
    for (const SelectorEntry& entry : m_selectors)
    {
        CZkPlayHistory* copy = entry.selector->Clone();
        ZkPlaylistStoredSelector* stored = copy != nullptr ? ZkPlaylistStoredSelector::Create(copy) : nullptr;
        if (stored != nullptr)
            m_playlist->StoreHistory(entry.groupID, stored);
    }
}

ZKRESULT CZkPlaylistIterator::Serialize(ZkPlaylistSavedState& state)
{
    BlockWriter counter(nullptr);
    Write(counter);
    if (!state.Allocate(counter.Count()))
    {
        Reset();
        return ZK_Fail;
    }
    BlockWriter writer(state.Bytes());
    Write(writer);
    return ZK_Success;
}

bool CZkPlaylistIterator::Restore(const uint8_t* bytes, uint32_t size)
{
    Reset();
    return Read(bytes, size);
}

ZKRESULT CZkPlaylistIterator::RestartAt(ZkUniqueID itemID, const ZkPlaylistSavedState* saved)
{
    if (m_playlist == nullptr)
        return ZK_Fail;
    if (saved != nullptr && !Restore(saved->Bytes(), saved->size))
        return ZK_Fail;
    // Only the continuous groups' selectors of the saved state are kept.
    while (m_frames.Length() > 0)
        PopFrame();
    ClearCurrent();

    // Depth-first search with the path kept as frames: a frame's selector holds the index walked.
    const ZkPlaylistItem& root = m_playlist->Root();
    if (!root.IsGroup())
    {
        if (root.itemID != itemID)
            return ZK_Fail;
        MakeCurrent(root);
        return ZK_Success;
    }
    ZK::ZkArray<uint32_t> nextIndex;
    if (PushFrame(root) != ZK_Success || nextIndex.AddLast(0u) == nullptr)
    {
        Reset();
        return ZK_Fail;
    }
    while (m_frames.Length() > 0)
    {
        const ZkPlaylistItem& group = *m_frames.Last().group;
        uint32_t& index = nextIndex.Last();
        if (index >= group.children.Length())
        {
            PopFrame();
            nextIndex.Erase(nextIndex.Length() - 1);
            continue;
        }
        const ZkPlaylistItem& child = *group.children[index];
        if (m_frames.Last().selector->HistoryKind() == CZkPlayHistory::Kind::Sequence)
            static_cast<CZkSequenceHistory*>(m_frames.Last().selector)->lastIndex = static_cast<int16_t>(index);
        ++index;
        if (!child.IsGroup())
        {
            if (child.itemID == itemID)
            {
                MakeCurrent(child);
                return ZK_Success;
            }
            continue;
        }
        if (PushFrame(child) != ZK_Success || nextIndex.AddLast(0u) == nullptr)
        {
            Reset();
            return ZK_Fail;
        }
    }
    return ZK_Fail;
}

void CZkPlaylistIterator::Reset()
{
    ClearWalk();
    for (SelectorEntry& entry : m_selectors)
        entry.selector->Release();
    m_selectors.Term();
    for (ZkPlaylistSavedState& state : m_history)
        state.Release();
    m_history.Term();
}

void CZkPlaylistIterator::ClearWalk()
{
    while (m_frames.Length() > 0)
        PopFrame();
    m_frames.Term();
    ClearCurrent();
}

void CZkPlaylistIterator::ClearCurrent()
{
    m_segmentID = m_itemID = 0;
    m_hasCurrent = 0;
    m_leafRepetitions = 0;
}

CZkPlayHistory* CZkPlaylistIterator::NewSelector(const ZkPlaylistItem& group) const
{
    if (!IsRandom(group.selectionMode))
        return CZkSequenceHistory::Create();
    CZkRandomHistory* selector = CZkRandomHistory::Create(group.children.Length(), group.avoidRepeat);
    if (selector != nullptr && group.weighted != 0)
        selector->totalWeight = selector->remainingWeight = static_cast<int32_t>(TotalWeight(group));
    return selector;
}

CZkPlaylistIterator::SelectorEntry* CZkPlaylistIterator::FindSelector(ZkUniqueID groupID)
{
    for (SelectorEntry& entry : m_selectors)
    {
        if (entry.groupID == groupID)
            return &entry;
    }
    return nullptr;
}

ZKRESULT CZkPlaylistIterator::PushFrame(const ZkPlaylistItem& group)
{
    ZkPlaylistFrame frame;
    frame.group = &group;
    frame.flags = static_cast<uint8_t>(ZkPlaylistFrame::kCounted | (group.repeatCount == 0 ? ZkPlaylistFrame::kWithoutEnd : 0));
    frame.repetitionsLeft = RepetitionCount(group);
    if (IsContinuous(group.selectionMode))
    {
        SelectorEntry* entry = FindSelector(group.itemID);
        if (entry == nullptr)
        {
            // The selector the container kept from earlier plays, when it still fits the group.
            const CZkPlayHistory* stored = ZkPlaylistStoredSelector::Find(*m_playlist, group.itemID);
            const bool fits = stored != nullptr && (stored->HistoryKind() == CZkPlayHistory::Kind::Random) == IsRandom(group.selectionMode) &&
                              stored->IsConsistent(group.children.Length(), TotalWeight(group));
            CZkPlayHistory* selector = fits ? stored->Clone() : NewSelector(group);
            const SelectorEntry added{group.itemID, selector, static_cast<int16_t>(group.children.Length())};
            if (selector == nullptr || (entry = m_selectors.AddLast(added)) == nullptr)
            {
                if (selector != nullptr)
                    selector->Release();
                return ZK_Fail;
            }
        }
        frame.selector = entry->selector;
    }
    else if ((frame.selector = NewSelector(group)) == nullptr)
        return ZK_Fail;
    if (m_frames.AddLast(frame) == nullptr)
    {
        if (!IsContinuous(group.selectionMode))
            frame.selector->Release();
        return ZK_Fail;
    }
    return ZK_Success;
}

void CZkPlaylistIterator::PopFrame()
{
    ZkPlaylistFrame& frame = m_frames.Last();
    if (!IsContinuous(frame.group->selectionMode))
        frame.selector->Release();
    m_frames.Erase(m_frames.Length() - 1);
}

int32_t CZkPlaylistIterator::ChooseChild(ZkPlaylistFrame& frame)
{
    const ZkPlaylistItem& group = *frame.group;
    const uint32_t count = group.children.Length();
    // A group without a leaf under it is finished at once: an empty sequence would otherwise wrap
    // to index 0 forever and descend into a child that does not exist, and a group without end
    // over empty groups would choose them forever.
    if (!HoldsLeaf(group))
        return -1;
    SoundEngine::ZkLoopCounter loop{frame.repetitionsLeft, frame.flags};
    int32_t index = -1;
    if (IsRandom(group.selectionMode))
        index = static_cast<CZkRandomHistory*>(frame.selector)
                    ->RandomIndex(ChildWeights(group), RandomSettings(group), &loop, ZK::ZkLcg64::Engine());
    else
        index = static_cast<CZkSequenceHistory*>(frame.selector)->Step(count, false, &loop);
    if (index < 0 || SoundEngine::g_pPlayingMgr == nullptr)
        return index;
    uint32_t selection = static_cast<uint32_t>(index);
    const bool halt = SoundEngine::g_pPlayingMgr->NotifyPlaylistSelect(m_playingID, group.itemID, count, selection);
    if (halt)
        return -1;
    return selection < count ? static_cast<int32_t>(selection) : index;
}

ZKRESULT CZkPlaylistIterator::Descend()
{
    while (m_frames.Length() > 0)
    {
        const int32_t index = ChooseChild(m_frames.Last());
        if (index < 0)
        {
            PopFrame();
            continue;
        }
        if (Enter(*m_frames.Last().group->children[static_cast<uint32_t>(index)]) != ZK_Success)
            return ZK_Fail;
        if (HasCurrent())
            return ZK_Success;
    }
    return ZK_Fail;
}

ZKRESULT CZkPlaylistIterator::Enter(const ZkPlaylistItem& item)
{
    if (!item.IsGroup())
    {
        MakeCurrent(item);
        return ZK_Success;
    }
    if (PushFrame(item) == ZK_Success)
        return ZK_Success;
    Reset();
    return ZK_Fail;
}

void CZkPlaylistIterator::MakeCurrent(const ZkPlaylistItem& leaf)
{
    m_segmentID = leaf.segmentID;
    m_itemID = leaf.itemID;
    m_hasCurrent = 1;
    m_leafRepetitions = RepetitionCount(leaf);
}

bool CZkPlaylistIterator::Write(WriteBytesInterface& bytes) const
{
    Writer out{bytes};
    bool ok = out.Put(kStateVersion) && out.Put(m_segmentID) && out.Put(m_itemID) && out.Put(m_hasCurrent) &&
              out.Put(m_leafRepetitions) && out.Put(static_cast<uint16_t>(m_selectors.Length()));
    for (const SelectorEntry& entry : m_selectors)
    {
        const uint8_t kind =
            entry.selector->HistoryKind() == CZkPlayHistory::Kind::Random ? kRandomSelector : kSequenceSelector;
        ok = ok && out.Put(entry.groupID) && out.Put(kind) && out.Put(static_cast<uint16_t>(entry.childCount)) &&
             entry.selector->Write(bytes);
    }
    ok = ok && out.Put(static_cast<uint16_t>(m_frames.Length()));
    for (const ZkPlaylistFrame& frame : m_frames)
    {
        const uint32_t mode = frame.group->selectionMode;
        ok = ok && out.Put(frame.group->itemID) && out.Put(static_cast<uint8_t>(mode));
        if (!IsContinuous(mode))
            ok = ok && out.Put(static_cast<uint16_t>(frame.group->children.Length())) && frame.selector->Write(bytes);
        ok = ok && out.Put(frame.repetitionsLeft) && out.Put(static_cast<uint8_t>(frame.flags & 0x03));
    }
    return ok;
}

bool CZkPlaylistIterator::Read(const uint8_t* bytes, uint32_t size)
{
    if (m_playlist == nullptr || bytes == nullptr)
        return false;
    const ZkPlaylistItem& root = m_playlist->Root();
    ZK::ZkByteCursor cursor(bytes, size);
    uint32_t version = 0;
    uint16_t entries = 0;
    bool ok = cursor.Read(version) && version == kStateVersion && cursor.Read(m_segmentID) && cursor.Read(m_itemID) &&
              cursor.Read(m_hasCurrent) && m_hasCurrent <= 1 && cursor.Read(m_leafRepetitions) && cursor.Read(entries);
    for (uint32_t entry = 0; ok && entry < entries; ++entry)
    {
        ZkUniqueID groupID = 0;
        uint8_t kind = 0;
        uint16_t childCount = 0;
        ok = cursor.Read(groupID) && cursor.Read(kind) && cursor.Read(childCount);
        const ZkPlaylistItem* group = ok ? FindGroup(root, groupID) : nullptr;
        ok = group != nullptr && childCount == group->children.Length() && FindSelector(groupID) == nullptr && IsContinuous(group->selectionMode) &&
             (kind == kSequenceSelector || kind == kRandomSelector) && (kind == kRandomSelector) == IsRandom(group->selectionMode);
        CZkPlayHistory* selector = ok ? ReadSelector(cursor, kind, *group) : nullptr;
        ok = selector != nullptr && m_selectors.AddLast({groupID, selector, static_cast<int16_t>(childCount)}) != nullptr;
        if (!ok && selector != nullptr)
            selector->Release();
    }
    uint16_t frames = 0;
    ok = ok && cursor.Read(frames);
    for (uint32_t index = 0; ok && index < frames; ++index)
    {
        ZkUniqueID groupID = 0;
        uint8_t mode = 0;
        ok = cursor.Read(groupID) && cursor.Read(mode);
        // The path must follow the tree: the root, then each group a child of the one before.
        const ZkPlaylistItem* group =
            !ok ? nullptr : index == 0 ? (root.itemID == groupID ? &root : nullptr) : ChildByID(*m_frames.Last().group, groupID);
        ok = group != nullptr && group->IsGroup() && mode == group->selectionMode;
        ZkPlaylistFrame frame;
        frame.group = group;
        if (ok && IsContinuous(mode))
        {
            SelectorEntry* entry = FindSelector(groupID);
            ok = entry != nullptr;
            frame.selector = ok ? entry->selector : nullptr;
        }
        else if (ok)
        {
            uint16_t childCount = 0;
            ok = cursor.Read(childCount) && childCount == group->children.Length() &&
                 (frame.selector = ReadSelector(cursor, IsRandom(mode) ? kRandomSelector : kSequenceSelector, *group)) != nullptr;
        }
        ok = ok && cursor.Read(frame.repetitionsLeft) && cursor.Read(frame.flags) && frame.flags <= 0x03 &&
             m_frames.AddLast(frame) != nullptr;
        if (!ok && frame.selector != nullptr && !IsContinuous(mode))
            frame.selector->Release();
    }
    if (!ok)
        Reset();
    return ok;
}
} // namespace ZK::MusicEngine
