// CZkContainerPlayContext: what a container keeps of one of its plays while the play lasts beyond
// the start of its children (continuous layered and switch containers): the engine-wide list of
// such contexts (CZkActiveInstances) hands them the actions broadcast to every game object, so a
// stop of everything ends their plays too.
//
// Threading: audio thread, under the global engine lock. Ownership: the container's; the list
// only links the contexts (each leaves it before it goes).
#pragma once

namespace ZK::SoundEngine
{
struct ZkActionParams;

class CZkContainerPlayContext
{
public:
    CZkContainerPlayContext() = default;
    CZkContainerPlayContext(const CZkContainerPlayContext&) = delete;
    CZkContainerPlayContext& operator=(const CZkContainerPlayContext&) = delete;

    // A broadcast action: a stop that matches the context's game object and playing id ends it,
    // a pause or resume marks it (the context may be gone on return).
    virtual void ExecuteAction(const ZkActionParams& params) = 0;

    CZkContainerPlayContext* pNextPlayContext = nullptr; // the engine-wide list

protected:
    ~CZkContainerPlayContext() = default;
};
} // namespace ZK::SoundEngine
