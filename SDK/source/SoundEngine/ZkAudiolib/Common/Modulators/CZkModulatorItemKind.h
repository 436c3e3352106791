// The bank's item kinds of modulators: item types 19 (LFO), 20 (envelope) and 22 (time) live in
// the object index's modulator table, are created by CZkModulator::Create with their kind and read
// by CZkModulator::SetFromBank. A modulator already loaded by another bank is only referenced
// again, never read again.
//
// Threading and ownership: as IZkBankItemKind (static objects; the registry points at them).
#pragma once

#include "ZkAudiolib/Common/Banks/BankItemKinds.h"

#include <cstdint>

namespace ZK::SoundEngine
{
constexpr uint8_t kLfoItemType = 19;
constexpr uint8_t kEnvelopeItemType = 20;
constexpr uint8_t kTimeModulatorItemType = 22;

IZkBankItemKind& LfoItemKind();
IZkBankItemKind& EnvelopeItemKind();
IZkBankItemKind& TimeModulatorItemKind();
} // namespace ZK::SoundEngine
