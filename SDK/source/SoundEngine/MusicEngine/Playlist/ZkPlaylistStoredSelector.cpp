#include "MusicEngine/Playlist/ZkPlaylistStoredSelector.h"

#include "ZkAudiolib/Common/Containers/ZkNew.h"

namespace ZK::MusicEngine
{
ZkPlaylistStoredSelector* ZkPlaylistStoredSelector::Create(SoundEngine::CZkPlayHistory* selector)
{
    auto* stored = ZK::ZkNew<ZkPlaylistStoredSelector>(SoundEngine::CZkPlayHistory::kPool, selector);
    if (stored == nullptr)
        selector->Release();
    return stored;
}

const SoundEngine::CZkPlayHistory* ZkPlaylistStoredSelector::Find(const CZkMusicPlaylistContainer& playlist,
                                                                   ZkUniqueID groupID)
{
    const auto* stored = static_cast<const ZkPlaylistStoredSelector*>(playlist.FindHistory(groupID));
    return stored != nullptr ? stored->m_selector : nullptr;
}

void ZkPlaylistStoredSelector::Release()
{
    m_selector->Release();
    ZK::ZkDelete(SoundEngine::CZkPlayHistory::kPool, this);
}
} // namespace ZK::MusicEngine
