// The switch container's preparation by game sync.
#include "MusicEngine/CZkMusicSwitchContainer.h"

namespace ZK::MusicEngine
{
// The prepared values of the argument's group come from the state manager's prepared-value
// records, which this build does not read yet: the preparation is not available.
ZKRESULT CZkMusicSwitchContainer::PrepareByGameSync()
{
    return ZK_NotImplemented;
}

void CZkMusicSwitchContainer::UnprepareByGameSync() {}
} // namespace ZK::MusicEngine
