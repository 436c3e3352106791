// CZkPlayingInstance: an instance below a layered container joins the associations of the layers
// that name the container's child it plays under, so that crossfade changes reach its gain, and
// links the modulators bound on those layers, so that they reach its volume.
#include "ZkAudiolib/Common/Playback/CZkPlayingInstance.h"

#include "ZkAudiolib/Common/Hierarchy/CZkContainerLayer.h"
#include "ZkAudiolib/Common/Hierarchy/CZkPlayableNode.h"

namespace ZK::SoundEngine
{
namespace
{
// Calls visit(layer, level) for each layer link of the node and of its ancestors.
template <typename Visit>
void ForEachLayerLink(CZkHierarchyNode* node, Visit visit)
{
    for (CZkHierarchyNode* level = node; level != nullptr; level = level->Parent())
    {
        const auto* playable = dynamic_cast<const CZkPlayableNode*>(level);
        if (playable == nullptr)
            continue;
        for (uint32_t index = 0; index < playable->LayerLinkCount(); ++index)
            visit(*playable->LayerLink(index), *level);
    }
}
} // namespace

void CZkPlayingInstance::JoinLayers()
{
    ForEachLayerLink(Node(), [&](CZkContainerLayer& layer, CZkHierarchyNode& level) { layer.AddInstance(this, &level); });
}

void CZkPlayingInstance::LeaveLayers()
{
    ForEachLayerLink(Node(), [&](CZkContainerLayer& layer, CZkHierarchyNode& level) { layer.RemoveInstance(this, &level); });
}

void CZkPlayingInstance::AppendLayerModulatorKeys(ZkModulatorKeyList& keys)
{
    ForEachLayerLink(Node(), [&](CZkContainerLayer& layer, CZkHierarchyNode&) { layer.AppendModulatorKeys(keys); });
}
} // namespace ZK::SoundEngine
