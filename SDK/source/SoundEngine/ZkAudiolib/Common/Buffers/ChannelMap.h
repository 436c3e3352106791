// Channel-index mappers handed as function pointers to the voice pipeline's channel-order
// conversions: each maps (channel configuration, channel index) to a channel index.
//   Identity  the index itself
//   ByTable   the order of the table below for 1 to 8 channels (centre moved after the fronts)
//   LfeLast   with an LFE: the LFE's interleaved position moves to the last channel and the later
//             ones move down by one; without an LFE, the index itself
// Indexes or configurations outside a mapper's table map to themselves.
//
// Threading and ownership: pure functions.
#pragma once

#include <ZK/SoundEngine/Common/ZkChannelConfig.h>

#include <cstdint>

namespace ZK::SoundEngine::ChannelMap
{
using Mapper = uint32_t (*)(ZkChannelConfig config, uint32_t index);

uint32_t Identity(ZkChannelConfig config, uint32_t index);
uint32_t ByTable(ZkChannelConfig config, uint32_t index);
uint32_t LfeLast(ZkChannelConfig config, uint32_t index);
} // namespace ZK::SoundEngine::ChannelMap
