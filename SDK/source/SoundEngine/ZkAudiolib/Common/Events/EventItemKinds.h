// The bank's item kinds of actions (hierarchy item type 3) and events (type 4).
//
// Actions live in the object index's action table: the factory makes the object for the type word
// at body offset 4 (null for a kind without one, which ends the parse with 2) and the action reads
// its body; a body too short to hold its type is malformed (7). A play action already loaded
// whose bank id was never read is read again from the next bank that brings it.
//
// Events live in the event table: created outside the engine lock, read (their actions must be
// loaded already), and put into the table only once their read succeeded.
//
// Threading and ownership: as IZkBankItemKind (static objects; the registry points at them).
#pragma once

#include "ZkAudiolib/Common/Banks/BankItemKinds.h"

namespace ZK::SoundEngine
{
IZkBankItemKind& ActionItemKind();
IZkBankItemKind& EventItemKind();
} // namespace ZK::SoundEngine
