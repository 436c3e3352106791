// The play of a switch container at the root of a play.
#include "MusicEngine/CZkMusicSwitchContainer.h"

#include "MusicEngine/Contexts/CZkMusicSwitchContext.h"
#include "MusicEngine/Contexts/MusicRootPlay.h"

namespace ZK::MusicEngine
{
ZKRESULT CZkMusicSwitchContainer::Play(SoundEngine::PlayLaunchParams& params)
{
    return PlayAtRoot<CZkMusicSwitchContext>(*this, params);
}
} // namespace ZK::MusicEngine
