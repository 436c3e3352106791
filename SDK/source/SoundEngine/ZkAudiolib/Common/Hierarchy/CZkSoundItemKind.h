// The bank's item kind of sounds (hierarchy item type 2): they live in the object index's
// actor-mixer table, are created by CZkSoundNode::Create and read by CZkSoundNode::ReadFromBank. A
// sound already loaded is read again from a new bank unless the game set its media in memory; an
// id that names a node of another category is read to 91 (counted as success, the node untouched).
//
// Threading and ownership: as IZkBankItemKind (a static object; the registry points at it).
#pragma once

#include "ZkAudiolib/Common/Banks/BankItemKinds.h"

namespace ZK::SoundEngine
{
IZkBankItemKind& SoundItemKind();
} // namespace ZK::SoundEngine
