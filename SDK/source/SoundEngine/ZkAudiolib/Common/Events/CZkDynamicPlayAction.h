// CZkDynamicPlayAction: a run-time play (kind 0x05, type 0x0503) that no bank holds. A node whose
// initial delay defers a play queues one carrying a copy of the play's launch record, with its
// delay (property 15) in samples; when it runs, it launches the node with that record and the
// node does not delay it again. Container play contexts will queue them for their next items.
//
// While it waits, it may point at the playing instance that queued it (a container's item): the
// instance's end detaches it, and a resume of its node lets it go. It carries the modulator
// instances it hands on to the play it launches (its creators fill them from the play before:
// CZkModulatorLinks::CollectInstancesWithTag, scope 1); a note-scope instance that ends and stops
// what it modulates finds the actions that carry it (HasModulatorInstance) and stops them.
//
// It may hold a shared position-path player (an extra reference in the shared item array, with the
// player's path id and a reference on the node it was looked up for), handed to it by the creator
// that continues a play; Execute gives it back. The next item of a continuous playlist rides on
// one: its launch record carries the play chain (a reference held) and the path of the play, the
// continuation the launched play goes on with; an action removed while it waits gives the chain
// back, so nothing follows it.
//
// Queued up to the engine's look-ahead of whole frames early: those frames stay in the pending
// action's sample offset, so the voice starts on its exact sample.
//
// Threading: engine thread, under the global engine lock.
// Ownership: its creator's reference and the pending action's (memory pool 1). It holds a
// reference on the external sources of its launch record, and on the MIDI note it carries (among
// whose actions it waits).
#pragma once

#include "ZkAudiolib/Common/Events/CZkPlayAction.h"
#include "ZkAudiolib/Common/Hierarchy/PlayLaunchParams.h"
#include "ZkAudiolib/Common/Modulators/ZkModulatorInstanceArray.h"

namespace ZK::SoundEngine
{
class CZkHierarchyNode;
class CZkPlayingInstance;
class CZkPositionPath;

class CZkDynamicPlayAction final : public CZkPlayAction
{
public:
    explicit CZkDynamicPlayAction(ZkUniqueID id = 0) : CZkPlayAction(kDynamicPlayActionType, id) {}
    ~CZkDynamicPlayAction() override;

    // A new run-time play aimed at the node (in no table), holding one reference; null out of
    // memory.
    static CZkDynamicPlayAction* Create(ZkUniqueID nodeID);

    // Launches the node with the copied record, the modulator instances copied into the launch's
    // continuation. 15 when the node is gone; else the launch's result.
    ZKRESULT Execute(PendingAction& pending) override;

    // Copies the launch record (taking references on its external sources and play chain); the modulator
    // instances the record hands on become the action's own.
    void SetPlayRecord(const PlayLaunchParams& launch);
    const PlayLaunchParams& PlayRecord() const { return m_play; }
    PlayLaunchParams& PlayRecord() { return m_play; }

    // A stop aimed at stopped, a node below the playlist whose next item this play is, moves the
    // play on to that playlist's following item. True when the play now aims at it (it stays
    // queued); false when the stop is not below the playlist or nothing follows.
    bool RetargetPastStop(const CZkHierarchyNode* stopped);

    // The playing instance that queued the play.
    void SetInstance(CZkPlayingInstance* instance) { m_instance = instance; }
    CZkPlayingInstance* Instance() const { return m_instance; }
    // Forgets the instance when it is this one (it ends).
    void DetachInstance(const CZkPlayingInstance* instance);
    void ReleaseInstanceRef() override { m_instance = nullptr; }

    // The instances handed on to the launched play (each with a reference and a user).
    ZkModulatorInstanceArray& ModulatorInstances() { return m_modulators; }
    bool HasModulatorInstance(const CZkModulatorInstance* instance) const { return m_modulators.Contains(instance); }
    // Holds player (path id, looked up for node) when the shared item array accepts an extra
    // reference on it, after giving back the one held before. True when it is held.
    bool SetSharedPathPlayer(CZkPositionPath* player, uint32_t pathID, CZkHierarchyNode* node);
    // Gives back the player's extra reference and the node's reference.
    void ReleaseSharedPathPlayer();
    CZkPositionPath* SharedPathPlayer() const { return m_pathPlayer; }
    uint32_t SharedPathID() const { return m_pathID; }

private:
    // The action leaves the actions of the MIDI note its record carries (if any).
    void LeaveMidiNote();

    PlayLaunchParams m_play;
    ZkModulatorInstanceArray m_modulators;
    CZkPlayingInstance* m_instance = nullptr;
    CZkPositionPath* m_pathPlayer = nullptr;
    uint32_t m_pathID = 0;
    CZkHierarchyNode* m_pathNode = nullptr;
};
} // namespace ZK::SoundEngine
