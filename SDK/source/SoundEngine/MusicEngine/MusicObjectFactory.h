// The construction of one music object from its bank payload, as the hierarchy-item hook does it.
//
// Threading: under the global engine lock (the caller takes it). Ownership: a built object holds
// one reference, the caller's.
#pragma once

#include "ZkAudiolib/Common/Hierarchy/CZkHierarchyNode.h"

#include <ZK/SoundEngine/Common/ZkResult.h>

#include <cstdint>

namespace ZK::MusicEngine
{
// Creates the object of the item type (10 segment, 11 track, 12 switch container, 13 playlist
// container) in the node table and reads the payload (the object id first) into it. 1 and the
// object; else the reader's result (7 for another type or a payload shorter than an id, 2 when
// the object cannot be made), with the object released and nothing of it left in the index: what
// it linked is unlinked first.
ZKRESULT BuildMusicObject(uint8_t type, const uint8_t* payload, uint32_t size, SoundEngine::CZkHierarchyNode*& object);
} // namespace ZK::MusicEngine
