// Action types: a 16-bit code whose high byte is the kind (what the action does) and whose low
// byte is the scope (whom it does it to). Scope bit 0 set: the action acts for the posting game
// object only, and a post without a registered game object skips it; clear: it acts for every
// game object.
//
// Threading and ownership: constants and pure functions.
#pragma once

#include <cstdint>

namespace ZK::SoundEngine
{
enum ZkActionKind : uint8_t
{
    ZkActionKind_Stop = 0x01,
    ZkActionKind_Pause = 0x02,
    ZkActionKind_Resume = 0x03,
    ZkActionKind_Play = 0x04,
    ZkActionKind_DynamicPlay = 0x05, // run-time plays (delayed plays, container items)
    ZkActionKind_SetGain = 0x06,
    ZkActionKind_ResetGain = 0x07,
    ZkActionKind_SetNodeFlag = 0x10,
    ZkActionKind_ClearNodeFlag = 0x11,
    ZkActionKind_SetState = 0x12,
    ZkActionKind_SetGameParameter = 0x13,
    ZkActionKind_ResetGameParameter = 0x14,
    ZkActionKind_DuckRecovery = 0x18, // run-time: a bus ends its ducking
    ZkActionKind_SetSwitch = 0x19,
    ZkActionKind_NodeSlot = 0x1A,
    ZkActionKind_NodeSlotReset = 0x1B,
    ZkActionKind_TargetNotification = 0x1C,
    ZkActionKind_Trigger = 0x1D,
    ZkActionKind_Seek = 0x1E,
    ZkActionKind_Break = 0x1F,
    ZkActionKind_SetProperty20 = 0x20,
    ZkActionKind_PostEvent = 0x21,
    ZkActionKind_ResetPlaylist = 0x22,
    ZkActionKind_ResetProperty30 = 0x30,
};

enum ZkActionScope : uint8_t
{
    ZkActionScope_NoGameObject = 0x00,
    ZkActionScope_PostingObject = 0x01,    // the posting game object, no target node
    ZkActionScope_TargetAllObjects = 0x02, // the target, for every game object
    ZkActionScope_TargetOneObject = 0x03,  // the target, for the posting game object
    ZkActionScope_AllAllObjects = 0x04,    // everything but the exceptions, for every game object
    ZkActionScope_AllOneObject = 0x05,     // everything but the exceptions, for the posting game object
};

constexpr uint8_t ActionKindOf(uint16_t type) { return static_cast<uint8_t>(type >> 8); }
constexpr uint8_t ActionScopeOf(uint16_t type) { return static_cast<uint8_t>(type & 0xFF); }
constexpr uint16_t ActionType(uint8_t kind, uint8_t scope) { return static_cast<uint16_t>((kind << 8) | scope); }
// Whether the pending action carries the posting game object.
constexpr bool ActionTakesGameObject(uint16_t type) { return (type & 0x1) != 0; }

constexpr uint16_t kPlayActionType = ActionType(ZkActionKind_Play, ZkActionScope_TargetOneObject);
constexpr uint16_t kDynamicPlayActionType = ActionType(ZkActionKind_DynamicPlay, ZkActionScope_TargetOneObject);
constexpr uint16_t kDuckRecoveryActionType = 0x1820;
constexpr uint16_t kPostEventActionType = ActionType(ZkActionKind_PostEvent, ZkActionScope_TargetOneObject);
constexpr uint16_t kStopAllObjectsType = ActionType(ZkActionKind_Stop, ZkActionScope_AllAllObjects);
constexpr uint16_t kStopOneObjectType = ActionType(ZkActionKind_Stop, ZkActionScope_AllOneObject);
} // namespace ZK::SoundEngine
