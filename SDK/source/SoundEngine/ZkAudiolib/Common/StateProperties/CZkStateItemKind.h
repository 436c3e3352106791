// The bank's item kind of state objects (hierarchy item type 1): they live in the object index's
// state table, are created by CZkState::Create and read by CZkState::ReadFromBank. A state object
// already loaded by another bank is only referenced again, never read again.
//
// Threading and ownership: as IZkBankItemKind (a static object; the registry points at it).
#pragma once

#include "ZkAudiolib/Common/Banks/BankItemKinds.h"

namespace ZK::SoundEngine
{
IZkBankItemKind& StateItemKind();
} // namespace ZK::SoundEngine
