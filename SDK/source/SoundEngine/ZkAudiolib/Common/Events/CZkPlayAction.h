// CZkPlayAction: the play action (kind 0x04): draws its play probability (property 17, percent;
// none: always), then launches a play of its target node for the pending action's game object and
// playing id: the node's MIDI filter for a note-on, its initial delay (which may queue the play as
// a run-time play action), then the node's own play. The launch fades in over GetFadeTime with the
// action's curve and carries the post's external sources and MIDI event.
//
// Bank parameters: the curve byte and the id of the bank that holds the target (flag bit 5 once
// read; a play action without it is read again from the next bank that brings it).
//
// Threading and ownership: as CZkEventAction.
#pragma once

#include "ZkAudiolib/Common/Events/CZkEventAction.h"

namespace ZK::SoundEngine
{
class CZkHierarchyNode;
struct PlayLaunchParams;

class CZkPlayAction : public CZkEventAction
{
public:
    using CZkEventAction::CZkEventAction;

    ZKRESULT ReadParams(ZK::ZkByteCursor& cursor) override;
    // 1 when the probability draw skips the play; 15 when the target is not loaded (or cannot
    // play); else the launch's result (a play deferred by an initial delay counts as 1).
    ZKRESULT Execute(PendingAction& pending) override;

    ZkBankID BankID() const { return m_bankID; }
    // Whether the probability draw lets the play happen (draws only when property 17 is set and
    // neither 0 nor NaN).
    bool DrawProbability() const;

protected:
    // The node's play path with the launch record; the node reference and the launch's arrays are
    // released whatever happens. 15 when the node is not a node that plays.
    static ZKRESULT LaunchOn(CZkHierarchyNode* target, PlayLaunchParams& launch);

private:
    ZkBankID m_bankID = 0;
};
} // namespace ZK::SoundEngine
