// The bank's item kind of attenuations: item type 14 lives in the object index's attenuation table,
// is created by CZkAttenuation::Create and read by CZkAttenuation::ReadFromBank. An attenuation
// already loaded by another bank is only referenced again, never read again.
//
// Threading and ownership: as IZkBankItemKind (a static object; the registry points at it).
#pragma once

#include "ZkAudiolib/Common/Banks/BankItemKinds.h"

#include <cstdint>

namespace ZK::SoundEngine
{
constexpr uint8_t kAttenuationItemType = 14;

IZkBankItemKind& AttenuationItemKind();
} // namespace ZK::SoundEngine
