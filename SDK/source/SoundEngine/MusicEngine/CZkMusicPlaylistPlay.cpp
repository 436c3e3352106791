// The play of a playlist container at the root of a play.
#include "MusicEngine/CZkMusicPlaylistContainer.h"

#include "MusicEngine/Contexts/CZkMusicPlaylistContext.h"
#include "MusicEngine/Contexts/MusicRootPlay.h"

namespace ZK::MusicEngine
{
ZKRESULT CZkMusicPlaylistContainer::Play(SoundEngine::PlayLaunchParams& params)
{
    return PlayAtRoot<CZkMusicPlaylistContext>(*this, params);
}
} // namespace ZK::MusicEngine
