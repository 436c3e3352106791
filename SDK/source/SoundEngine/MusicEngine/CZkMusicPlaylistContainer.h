// CZkMusicPlaylistContainer: a music container (bank item type 13, category 8) that plays its
// segments by walking a tree of playlist items: groups (with a selection mode, repeat count and
// avoid-repeat count) and leaves naming a segment. It also keeps the playback history that the
// playlist contexts store per key.
//
// The bank gives the tree depth first (a group is followed by its children); it is built with an
// explicit stack, and a group whose child count runs past the items is refused (7).
//
// Threading: read on the bank thread under the global engine lock; everything else on the engine
// thread. Ownership: the object index's (pool 2); the container owns the tree's groups and
// leaves (pool 2, child lists pool 0) and one reference on each history object.
#pragma once

#include "MusicEngine/CZkMusicContainer.h"

namespace ZK::MusicEngine
{
// A playlist item: a group (segmentID 0) or a leaf.
struct ZkPlaylistItem
{
    static constexpr uint32_t kDefaultWeight = 50000;

    ZkPlaylistItem* parent = nullptr;
    ZkUniqueID itemID = 0;
    ZkUniqueID segmentID = 0;
    int16_t repeatCount = 0;
    int16_t repeatLow = 0;
    int16_t repeatHigh = 0;
    uint32_t weight = kDefaultWeight;
    // Groups only.
    uint32_t selectionMode = 0;
    uint16_t avoidRepeat = 0;
    uint8_t weighted = 0;
    uint8_t flag = 0;
    ZK::ZkArray<ZkPlaylistItem*> children;

    bool IsGroup() const { return segmentID == 0; }
    // The repeat count, or a draw in [max(1, count + low), count + high] (max(1, count + low)
    // without a draw when that range is empty).
    int32_t EffectiveRepeatCount() const;
};

// What a playlist context keeps under a key; the container holds one reference.
class IZkPlaylistHistory
{
public:
    virtual void Release() = 0;

protected:
    ~IZkPlaylistHistory() = default;
};

class CZkMusicPlaylistContainer final : public CZkMusicContainer
{
public:
    static CZkMusicPlaylistContainer* Create(ZkUniqueID id);
    // The payload (from the object id on). 1; 91 the node is not a playlist container; 7 a field
    // or count out of the item; 2 out of memory; the shared payload's results.
    ZKRESULT ReadFromBank(const uint8_t* payload, uint32_t size);

    explicit CZkMusicPlaylistContainer(ZkUniqueID id) : CZkMusicContainer(id) {}
    ~CZkMusicPlaylistContainer() override;

    SoundEngine::ZkNodeCategory Category() const override { return kCategoryMusicPlaylist; }
    // A play of the playlist: a root playlist context with the request's start-paused bit, started
    // with the request's fade-in. 1; 2 when it cannot start (nothing to play, out of memory, or the
    // music engine refuses the play; nothing stays linked).
    ZKRESULT Play(SoundEngine::PlayLaunchParams& params) override;

    bool HasPlaylist() const { return m_hasPlaylist; }
    const ZkPlaylistItem& Root() const { return m_root; }

    // Stores the object under the key, releasing the one it replaces. 1; 2 when the list cannot
    // grow (the new object is released).
    ZKRESULT StoreHistory(uint32_t key, IZkPlaylistHistory* history);
    IZkPlaylistHistory* FindHistory(uint32_t key) const;

private:
    struct HistoryEntry
    {
        uint32_t key;
        IZkPlaylistHistory* history;
    };

    bool AcceptsChild(SoundEngine::ZkNodeCategory category) const override { return category == kCategoryMusicSegment; }
    ZKRESULT ReadPlaylist(ZK::ZkByteCursor& cursor);
    void FreeTree();

    ZkPlaylistItem m_root;
    ZK::ZkArray<HistoryEntry> m_history;
    bool m_hasPlaylist = false;
};
} // namespace ZK::MusicEngine
