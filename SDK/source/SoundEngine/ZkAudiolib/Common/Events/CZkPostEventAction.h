// CZkPostEventAction: posts another event (kind 0x21; the event id is the target id) for the
// pending action's game object, under the same playing id and with the same play record: the
// nested event's actions are queued like those of a post, after this action's own delay.
//
// A post whose delay is under one frame runs its actions at once, inside this action, so an event
// that posts itself (directly or through others) would nest without end. Nesting of such
// immediate posts stops at EventManager::kMaxNestedPosts: a deeper post is dropped (2), and the
// pending action that carried it gives back its playing-id reference as every finished action
// does, so the playing id still ends.
//
// Threading and ownership: as CZkEventAction.
#pragma once

#include "ZkAudiolib/Common/Events/CZkEventAction.h"

namespace ZK::SoundEngine
{
class CZkPostEventAction final : public CZkEventAction
{
public:
    using CZkEventAction::CZkEventAction;

    // 1 when posted; 15 when the event is not loaded; 2 when the nesting is too deep (or there is
    // no event manager).
    ZKRESULT Execute(PendingAction& pending) override;
};
} // namespace ZK::SoundEngine
