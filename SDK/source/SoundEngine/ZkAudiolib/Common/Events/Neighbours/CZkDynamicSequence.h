// CZkDynamicSequence (declaration only): a playlist the game fills at run time, kept in the object
// index's dynamic-sequence table. A stop, pause or resume that applies to all objects tells every
// sequence with OnActionCommand. No sequence exists yet (nothing creates one), so the table stays
// empty and nothing is ever called.
//
// Threading: engine thread, under the global engine lock. Ownership: the object index's
// references.
#pragma once

#include "ZkAudiolib/Common/Hierarchy/ZkNodeTypes.h"
#include "ZkAudiolib/Common/ObjectIndex/CZkIndexedObject.h"

#include <ZK/SoundEngine/Common/ZkResult.h>

namespace ZK::SoundEngine
{
class CZkGameObject;

class CZkDynamicSequence : public CZkIndexedObject
{
public:
    // The command for a null game object or the sequence's own. Not built yet: 4, nothing done.
    ZKRESULT OnActionCommand(ZkActionCode, CZkGameObject*) { return ZK_NotImplemented; }
};
} // namespace ZK::SoundEngine
