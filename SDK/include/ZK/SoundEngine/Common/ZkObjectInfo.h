// ZkObjectInfo: one audio node that an event plays, as Query::QueryAudioObjectIDs lists them: the
// node, the media its source plays, and how deep the node lies below the event's play target.
//
// Threading and ownership: a plain record the caller owns.
#pragma once

#include <ZK/SoundEngine/Common/ZkTypes.h>

#include <cstdint>

struct ZkObjectInfo
{
    ZkUniqueID audioNodeID;
    ZkUniqueID sourceID; // the media of the node's source; 0 for a node without a source of its own
    uint32_t depth;      // 0: the play target itself
};
