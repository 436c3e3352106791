// The bank's item kinds of effect objects: share sets (type 16) in the SharedEffects table, custom
// effects (type 17) in CustomEffects and audio-device share sets (type 21) in AudioDevices, created
// by CZkEffectObject's creators and read by CZkEffectObject::ReadFromBank. An effect object already
// loaded by another bank is only referenced again, never read again.
//
// Threading and ownership: as IZkBankItemKind (static objects; the registry points at them).
#pragma once

#include "ZkAudiolib/Common/Banks/BankItemKinds.h"

#include <cstdint>

namespace ZK::SoundEngine
{
constexpr uint8_t kSharedEffectItemType = 16;
constexpr uint8_t kCustomEffectItemType = 17;
constexpr uint8_t kAudioDeviceItemType = 21;

IZkBankItemKind& SharedEffectItemKind();
IZkBankItemKind& CustomEffectItemKind();
IZkBankItemKind& AudioDeviceItemKind();
} // namespace ZK::SoundEngine
