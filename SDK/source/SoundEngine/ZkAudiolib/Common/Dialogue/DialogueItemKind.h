// The bank's item kind of dialogue events (hierarchy item type 15): they live in the object index's
// dialogue-event table, are created by CZkDialogueEvent::Create and read by SetFromBank. An event
// already loaded by another bank is only referenced again, never read again.
//
// Threading and ownership: as IZkBankItemKind (a static object; the registry points at it).
#pragma once

#include "ZkAudiolib/Common/Banks/BankItemKinds.h"

namespace ZK::SoundEngine
{
IZkBankItemKind& DialogueEventItemKind();
} // namespace ZK::SoundEngine
