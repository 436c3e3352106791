// What a hierarchy node keeps for its state-driven properties, created on first need: the links and
// property list of every state-properties owner, the 64-bit mask of its state-driven parameters
// (bit = parameter id modulo 64) and the keyed targets subscribed to them, each with its mask.
//
// Threading and ownership: the node's (memory pool 2); the targets belong to their owners.
#pragma once

#include "ZkAudiolib/Common/Containers/ZkArray.h"
#include "ZkAudiolib/Common/StateProperties/ZkStatePropertyTypes.h"

#include <cstdint>

namespace ZK::SoundEngine
{
class CZkKeyedParamTarget;

struct ZkStateSubscriber
{
    uint64_t mask;
    CZkKeyedParamTarget* target;
};

struct ZkNodeStateStorage : ZkStateStorage
{
    uint64_t drivenMask = 0;
    ZK::ZkArray<ZkStateSubscriber> subscribers;
};
} // namespace ZK::SoundEngine
