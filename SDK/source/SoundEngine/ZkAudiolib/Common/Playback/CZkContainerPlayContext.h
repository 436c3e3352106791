// CZkContainerPlayContext: what a container keeps of one of its plays while that play goes on
// inside it (the per-play contexts of continuous switch and layered containers). Every such context is on the
// engine-wide play-context list of CZkActiveInstances while it exists, so that an action for every
// game object (a stop of everything, a pause of everything) reaches it before the playing
// instances: a stop that removes the context ends the playing id the context keeps alive.
//
// Threading: audio thread, under the global engine lock. Ownership: the container's; the list
// only points at it, and the container takes it off the list before it goes.
#pragma once

#include "ZkAudiolib/Common/Hierarchy/ZkNodeTypes.h"

#include <ZK/SoundEngine/Common/ZkResult.h>

namespace ZK::SoundEngine
{
class CZkContainerPlayContext
{
public:
    CZkContainerPlayContext() = default;
    CZkContainerPlayContext(const CZkContainerPlayContext&) = delete;
    CZkContainerPlayContext& operator=(const CZkContainerPlayContext&) = delete;

    // The action reaches this context: it acts when the action's game object (null: any) and
    // playing id (0: any) are its own. It may take itself off the list and be destroyed.
    virtual void ExecuteAction(const ZkActionParams& params) = 0;

    // The play-context list's link.
    CZkContainerPlayContext* nextPlayContext = nullptr;

    // The engine's list of nodes updated each frame (ZkUpdatedNodes), which a continuous container
    // or a music node joins while it plays. Register adds the node once: 1, or 2 when the node
    // has no activity record (it joins only while its plays are counted). Unregister takes it off
    // when it is no longer needed, that is when its play and virtual counts are back to 0; a node
    // that still counts plays stays (its record's release takes it off at the latest). 1.
    static ZKRESULT RegisterForUpdates(CZkHierarchyNode* node);
    static ZKRESULT UnregisterFromUpdates(CZkHierarchyNode* node);

protected:
    ~CZkContainerPlayContext() = default;
};
} // namespace ZK::SoundEngine
