// ZkPlaylistStoredSelector: the selector of a continuous playlist group as its container keeps it
// between plays, stored under the group's item id. Playlist iterators write these back when an item
// starts playing and copy them when they first enter the group, so the group's sequence or random
// selection goes on from play to play. Only iterators store objects in a playlist container's
// history, so every object found there is one of these.
//
// Threading: engine thread. Ownership: pool 0; the container holds it and Release frees it with
// its selector.
#pragma once

#include "MusicEngine/CZkMusicPlaylistContainer.h"
#include "ZkAudiolib/Common/Hierarchy/CZkPlayHistory.h"

namespace ZK::MusicEngine
{
class ZkPlaylistStoredSelector final : public IZkPlaylistHistory
{
public:
    // A holder taking over the selector; null out of memory (the selector is then released).
    static ZkPlaylistStoredSelector* Create(SoundEngine::CZkPlayHistory* selector);
    // The group's stored selector, or null.
    static const SoundEngine::CZkPlayHistory* Find(const CZkMusicPlaylistContainer& playlist, ZkUniqueID groupID);

    explicit ZkPlaylistStoredSelector(SoundEngine::CZkPlayHistory* selector) : m_selector(selector) {}
    void Release() override;

private:
    SoundEngine::CZkPlayHistory* m_selector;
};
} // namespace ZK::MusicEngine
