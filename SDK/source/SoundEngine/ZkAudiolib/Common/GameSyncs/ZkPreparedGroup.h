// The prepared values of one game-sync group (a state group or a switch group): which values the
// bank manager prepared (so that the media of what plays for them is loaded), and the objects that
// must prepare or unprepare their children when a value of the group is prepared or unprepared
// (switch containers in game-sync preparation mode).
//
// Threading: the records are found or created under the state manager's prepared-groups lock; the
// value array and the node list are used by the bank manager's thread outside it.
// Ownership: the state manager owns the records (memory pool 2) and their value arrays until its
// Term; the nodes belong to the object index and are only linked here.
#pragma once

#include "ZkAudiolib/Common/Containers/ZkArray.h"

#include <ZK/SoundEngine/Common/ZkResult.h>
#include <ZK/SoundEngine/Common/ZkTypes.h>

namespace ZK::SoundEngine
{
// An object linked into a prepared group's node list, chained through its own link.
class IZkPreparedGroupNode
{
public:
    // A value of the group was prepared (or unprepared): prepare (or unprepare) what plays for it.
    virtual ZKRESULT OnPreparedValue(ZkUniqueID value, bool prepare) = 0;

    IZkPreparedGroupNode* nextGroupNode = nullptr;

protected:
    ~IZkPreparedGroupNode() = default;
};

struct ZkPreparedGroup
{
    ZkPreparedGroup* next = nullptr;
    ZK::ZkArray<ZkUniqueID> values;
    ZkUniqueID groupID = 0;
    IZkPreparedGroupNode* tail = nullptr;
    IZkPreparedGroupNode* head = nullptr;
};
} // namespace ZK::SoundEngine
