// CZkStopAction: the stop action (kind 0x01). Its option byte's bits 1 and 2 become options 0 and
// 1, the two state flags of the command (both set: the nodes also resume their paused state
// transitions). A stop on the target also removes the pending actions aimed at the target or below
// it; a stop on all objects reaches every playing instance (through the hierarchy's buses when it
// has exceptions, else directly, with the dynamic sequences and container play contexts) and
// removes every pending action but those aimed at the exceptions.
//
// StopAll (message 27) runs a transient stop that no bank holds: type 0x104 for every game object,
// 0x105 for one.
//
// Threading and ownership: as CZkScopedAction.
#pragma once

#include "ZkAudiolib/Common/Events/CZkPlaybackCommandAction.h"

namespace ZK::SoundEngine
{
class CZkRegisteredObj;

class CZkStopAction final : public CZkPlaybackCommandAction
{
public:
    static constexpr uint16_t kStopAllObjects = kStopAllObjectsType;
    static constexpr uint16_t kStopOneObject = kStopOneObjectType;

    CZkStopAction(uint16_t type, ZkUniqueID id) : CZkPlaybackCommandAction(type, id, ZkActionCode_Stop, 0, 1, 2) {}

    // Makes a stop of the type (id 0, in no table), executes it for the object (null: every
    // object) and lets it go. 1; 52 when it cannot be made; 2 without the object index.
    static ZKRESULT ExecuteTransient(uint16_t type, CZkRegisteredObj* object);

    void FillActionParams(ZkActionParams& params) const override;

private:
    void OnTargetPending(const CZkHierarchyNode& target, const PendingAction& pending) override;
    void OnAllPending(const PendingAction& pending) override;
    void ExecuteOnAllObjects(const ZkActionParams& params) override;
};
} // namespace ZK::SoundEngine
