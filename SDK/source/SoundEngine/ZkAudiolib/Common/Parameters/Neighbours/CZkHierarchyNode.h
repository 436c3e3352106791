// CZkHierarchyNode (declaration only): the base of the sound hierarchy's nodes, an indexed object.
// A keyed parameter target registered with a node is gathered into every level of the node's parent
// chain that overrides one of its parameters.
//
// Threading: audio thread, under the global engine lock. Ownership: the object index's (counted).
#pragma once

#include "ZkAudiolib/Common/ObjectIndex/CZkIndexedObject.h"

#include <ZK/SoundEngine/Common/ZkResult.h>

#include <cstdint>

namespace ZK::SoundEngine
{
class CZkKeyedParamTarget;

class CZkHierarchyNode : public CZkIndexedObject
{
public:
    using CZkIndexedObject::CZkIndexedObject;
    // Not built yet: 4 (the target is gathered nowhere).
    ZKRESULT GetInheritedProperties(CZkKeyedParamTarget*, uint64_t, bool) { return ZK_NotImplemented; }
    ZKRESULT ClearInheritedSubscriptions(CZkKeyedParamTarget*, uint64_t, bool) { return ZK_NotImplemented; }
};
} // namespace ZK::SoundEngine
