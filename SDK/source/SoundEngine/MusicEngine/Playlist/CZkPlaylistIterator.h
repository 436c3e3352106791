// CZkPlaylistIterator: walks the item tree of a playlist container and yields the segments to play,
// one after another. Groups choose their children in sequence or at random with the play-history
// selectors the containers use (CZkSequenceHistory, CZkRandomHistory), every item repeats as its
// repeat count says, and the game may replace or halt each choice through the playing id's
// playlist-select callback. The walk's whole state is written to a byte block and read back, so a
// playlist resumes where it stopped and a continuous group keeps its selection from play to play.
//
// The frames form the path from the root group to the group being played. Step groups (modes 0
// and 2) own the selector of their frame; continuous groups (modes 1 and 3) borrow theirs from the
// selector map, which outlives their frames.
//
// Saved state (little-endian): u32 version 1; u32 segment id, u32 item id, u8 has current,
// i16 leaf repetitions; u16 map entries, each u32 group id, u8 selector kind (1 sequence, 3 random),
// u16 child count, the selector's bytes; u16 frames from the root, each u32 group id, u8 mode, for
// modes 0 and 2 a u16 child count and the selector's bytes, then i16 repetitions and u8 flags.
//
// Threading: the engine thread, inside its playlist context. Ownership: frames, map and history
// live in pool 0; Reset frees them. The playlist container outlives the iterator.
#pragma once

#include "MusicEngine/CZkMusicPlaylistContainer.h"
#include "MusicEngine/Playlist/ZkPlaylistSavedState.h"
#include "ZkAudiolib/Common/Hierarchy/CZkPlayHistory.h"

#include <ZK/SoundEngine/Common/ZkTypes.h>

namespace ZK::MusicEngine
{
struct ZkPlaylistFrame
{
    static constexpr uint8_t kCounted = 0x01;
    static constexpr uint8_t kWithoutEnd = 0x02;

    const ZkPlaylistItem* group = nullptr;
    int16_t repetitionsLeft = 0;
    uint8_t flags = 0;
    SoundEngine::CZkPlayHistory* selector = nullptr;
};

class CZkPlaylistIterator
{
public:
    static constexpr uint32_t kStateVersion = 1;
    // Selection modes of a group.
    static constexpr uint32_t kSequenceStep = 0;
    static constexpr uint32_t kSequenceContinuous = 1;
    static constexpr uint32_t kRandomStep = 2;
    static constexpr uint32_t kRandomContinuous = 3;

    CZkPlaylistIterator() = default;
    ~CZkPlaylistIterator() { Reset(); }
    CZkPlaylistIterator(const CZkPlaylistIterator&) = delete;
    CZkPlaylistIterator& operator=(const CZkPlaylistIterator&) = delete;

    // Walks to the first segment, continuing from saved when given. 1; 2 when nothing can be
    // played, the saved state does not fit the tree, or memory runs out (the iterator is reset).
    ZKRESULT Start(CZkMusicPlaylistContainer& playlist, ZkPlayingID playingID,
                   const ZkPlaylistSavedState* saved);
    // Moves past the current segment: another repetition of it, the next segment, or the end
    // (HasCurrent false). The leaf repetitions left.
    int32_t Next();
    // Next, after appending the state before it to the history. 1; 2 out of memory (reset).
    ZKRESULT NextWithHistory();
    // Hands out (to the caller's ownership) the oldest state of the history and removes it; the
    // selectors of its continuous groups are stored in the playlist container, so that later plays
    // go on from there. False when the history is empty.
    bool TakeOldestHistory(ZkPlaylistSavedState& state);
    // The whole state in a new block of exactly its size. 1; 2 out of memory (the iterator is reset).
    ZKRESULT Serialize(ZkPlaylistSavedState& state);
    // Replaces the state by the bytes' one. False (and reset) when they are short, of another
    // version or selector kind, or their path does not follow the tree.
    bool Restore(const uint8_t* bytes, uint32_t size);
    // Restarts at the leaf of that item id, the groups on its path set to its indexes. 1; 2 when
    // the tree has no such leaf or memory runs out.
    ZKRESULT RestartAt(ZkUniqueID itemID, const ZkPlaylistSavedState* saved);
    // Frees frames, their selectors, the selector map and the history.
    void Reset();
    // Forgets the current segment (one that cannot be played): the walk ends here.
    void DropCurrent() { ClearCurrent(); }

    ZkUniqueID CurrentSegmentId() const { return m_segmentID; }
    ZkUniqueID CurrentItemId() const { return m_itemID; }
    bool HasCurrent() const { return m_hasCurrent != 0; }
    int32_t LeafRepetitionsLeft() const { return m_leafRepetitions; }
    uint32_t FrameCount() const { return m_frames.Length(); }
    uint32_t HistoryLength() const { return m_history.Length(); }

private:
    struct SelectorEntry
    {
        ZkUniqueID groupID;
        SoundEngine::CZkPlayHistory* selector;
        int16_t childCount;
    };

    // Pops every frame and clears the current segment; the selector map and history stay.
    void ClearWalk();
    void ClearCurrent();
    void StoreSelectors() const;
    ZKRESULT PushFrame(const ZkPlaylistItem& group);
    void PopFrame();
    SoundEngine::CZkPlayHistory* NewSelector(const ZkPlaylistItem& group) const;
    SelectorEntry* FindSelector(ZkUniqueID groupID);
    // The child index chosen in the top frame, -1 when its group is finished.
    int32_t ChooseChild(ZkPlaylistFrame& frame);
    // Descends from the top frame to the next leaf, popping finished groups. 1; 2 when the stack
    // empties or memory runs out.
    ZKRESULT Descend();
    // A leaf becomes current; a group's frame is pushed, to descend into. 1; 2 out of memory (the
    // iterator is reset).
    ZKRESULT Enter(const ZkPlaylistItem& item);
    void MakeCurrent(const ZkPlaylistItem& leaf);
    bool Write(WriteBytesInterface& bytes) const;
    bool Read(const uint8_t* bytes, uint32_t size);

    CZkMusicPlaylistContainer* m_playlist = nullptr;
    ZkPlayingID m_playingID = 0;
    ZK::ZkArray<ZkPlaylistFrame> m_frames;
    ZK::ZkArray<SelectorEntry> m_selectors;
    ZK::ZkArray<ZkPlaylistSavedState> m_history;
    ZkUniqueID m_segmentID = 0;
    ZkUniqueID m_itemID = 0;
    uint8_t m_hasCurrent = 0;
    int16_t m_leafRepetitions = 0;
};
} // namespace ZK::MusicEngine
