// The playlist tests' view of step-mode selection: the entry indices (child id - 10) of count
// selections for a game object, -1 where nothing was selected.
#pragma once

#include "ZkAudiolib/Common/Hierarchy/CZkPlaylistContainerNode.h"

#include <vector>

namespace ZkHierarchyTest
{
inline std::vector<int> SelectPicks(ZK::SoundEngine::CZkPlaylistContainerNode& playlist, uint32_t count,
                                    ZK::SoundEngine::CZkGameObject* object = nullptr)
{
    std::vector<int> picks;
    for (uint32_t index = 0; index < count; ++index)
    {
        ZK::SoundEngine::CZkHierarchyNode* child = playlist.SelectForStep(object);
        picks.push_back(child != nullptr ? static_cast<int>(child->ID()) - 10 : -1);
        if (child != nullptr)
            child->Release();
    }
    return picks;
}
} // namespace ZkHierarchyTest
