// CZkHierarchyNode (declaration only): the base of the sound hierarchy's nodes, an indexed object.
// A keyed parameter target registered with a node is gathered into every level of the node's parent
// chain that overrides one of its parameters; a game object that goes away asks the nodes of its
// per-object node list to drop their data for it.
//
// Threading: audio thread, under the global engine lock. Ownership: the object index's (counted).
#pragma once

#include "ZkAudiolib/Common/ObjectIndex/CZkIndexedObject.h"

#include <ZK/SoundEngine/Common/ZkResult.h>

#include <cstdint>

namespace ZK::SoundEngine
{
class CZkGameObject;
class CZkKeyedParamTarget;

class CZkHierarchyNode : public CZkIndexedObject
{
public:
    using CZkIndexedObject::CZkIndexedObject;
    // Not built yet: 4 (the target is gathered nowhere).
    ZKRESULT GetInheritedProperties(CZkKeyedParamTarget*, uint64_t, bool) { return ZK_NotImplemented; }
    ZKRESULT ClearInheritedSubscriptions(CZkKeyedParamTarget*, uint64_t, bool) { return ZK_NotImplemented; }
    // Drops the data the node keeps for a game object that goes away (its modified-property record,
    // its play history). Not built yet: 4, nothing is dropped.
    virtual ZKRESULT RemoveGameObjectData(CZkGameObject*) { return ZK_NotImplemented; }
};
} // namespace ZK::SoundEngine
