// The actions that send one command to their target node (none of them has a curve byte):
//
//   CZkSetNodeFlagAction    kinds 0x10, 0x11: type 0x1002 enables the target's state-driven
//                           properties, every other type of the two kinds disables them
//   CZkActionCode3          kind 0x1C: the target notification (code 3) to the target's
//                           instances, then the removal of the play actions pending on it
//   CZkBreakAction          kind 0x1F: types 0x1F02 and 0x1F03 tell the target's instances to
//                           break their play chain (code 5); others answer 2
//   CZkResetPlaylistAction  kind 0x22 (scoped, no extra bytes): a playlist container target
//                           forgets its play history for the game object (or for all)
//   CZkNodeParamAction      kinds 0x1A, 0x1B: effect-slot bypass commands (flag byte, slot byte,
//                           exception list). The slot byte is a slot mask (bit n: slot n, bit 4:
//                           every slot). Kind 0x1A bypasses the slots of the mask (flag set) or
//                           lets them through, on the target for one or every game object; kind
//                           0x1B gives them back the bank's bypass bits, on the target (scopes 2
//                           and 3) or on every node the game objects changed (scopes 4 and 5),
//                           the exceptions skipped
//
// A target that is not loaded does nothing: 1 for the node flag and the playlist reset, 15 for
// the notification, 2 for the break.
//
// Threading and ownership: as CZkEventAction.
#pragma once

#include "ZkAudiolib/Common/Events/CZkScopedAction.h"

namespace ZK::SoundEngine
{
class CZkSetNodeFlagAction final : public CZkEventAction
{
public:
    static constexpr uint16_t kEnableType = 0x1002;

    using CZkEventAction::CZkEventAction;
    ZKRESULT Execute(PendingAction& pending) override;
};

class CZkActionCode3 final : public CZkEventAction
{
public:
    using CZkEventAction::CZkEventAction;
    ZKRESULT Execute(PendingAction& pending) override;
};

class CZkBreakAction final : public CZkEventAction
{
public:
    using CZkEventAction::CZkEventAction;
    ZKRESULT Execute(PendingAction& pending) override;
};

class CZkResetPlaylistAction final : public CZkScopedAction
{
public:
    using CZkScopedAction::CZkScopedAction;
    ZKRESULT Execute(PendingAction& pending) override;
};

class CZkNodeParamAction final : public CZkScopedAction
{
public:
    using CZkScopedAction::CZkScopedAction;

    // The flag byte, the slot index, then the exception list.
    ZKRESULT ReadParams(ZK::ZkByteCursor& cursor) override;
    ZKRESULT Execute(PendingAction& pending) override;

    bool SlotFlag() const { return m_slotFlag; }
    uint8_t SlotIndex() const { return m_slotIndex; }

private:
    // The slots of the mask take the node's bank bits again for the game object (null: all).
    void ResetSlots(CZkHierarchyNode& node, CZkGameObject* object) const;
    template <typename NodeList>
    void ResetListed(const NodeList& nodes, CZkGameObject* object) const;

    bool m_slotFlag = false;
    uint8_t m_slotIndex = 0;
};
} // namespace ZK::SoundEngine
