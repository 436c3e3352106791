// The vocabulary of game syncs: state groups, switch groups and triggers are 32-bit ids made from
// names; a group's value (a state or a switch state) is a 32-bit id too. The kinds of groups
// (ZkGroupType) are part of the public types.
//
// Threading and ownership: plain values.
#pragma once

#include <ZK/SoundEngine/Common/ZkTypes.h>

#include <cstdint>

namespace ZK::SoundEngine
{
// The state every state group starts in: the id of the name "none".
constexpr ZkUniqueID kZkStateNone = 0x2CA33BDBu;
} // namespace ZK::SoundEngine
