// The bank's item kinds of buses: type 8 (CZkBus) and type 18 (CZkBusType18), both in the object
// index's bus table and read by CZkBus::SetFromBank. The type-8 kind also answers the bank parse's
// top-level bus rule: the engine's first top-level bus, whether a bus is top-level, adding one to
// the list, and the device share set that ties the first bus to the main output.
//
// Threading and ownership: as IZkBankItemKind (static objects; the registry points at them).
#pragma once

#include "ZkAudiolib/Common/Banks/BankItemKinds.h"

namespace ZK::SoundEngine
{
IZkBankItemKind& BusItemKind();
IZkBankItemKind& BusType18ItemKind();
} // namespace ZK::SoundEngine
