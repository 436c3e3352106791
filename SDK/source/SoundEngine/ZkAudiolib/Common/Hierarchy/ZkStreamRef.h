// ZkStreamRef: the media a source reads, taken from a media reference when the source starts and
// given back when it stops: resident data directly, other media from the bank manager's media index
// by media id (which also names the bank that supplied the copy, kept loaded while it is read).
//
// Threading: audio thread. Ownership: Acquire hands out a view; Release gives it back.
#pragma once

#include "ZkAudiolib/Common/Hierarchy/ZkMediaRef.h"

#include <ZK/SoundEngine/Common/ZkResult.h>

#include <cstdint>

namespace ZK::SoundEngine
{
struct LoadedBank;

namespace ZkStreamRef
{
// Resident media: 1 with its data and size (bank null). Media of the media index: the index is not
// built yet, 4 (nothing is taken).
ZKRESULT Acquire(const ZkMediaRef& media, const uint8_t*& data, uint32_t& size, LoadedBank*& bank);
// Gives back what Acquire took (nothing for resident media).
void Release(const ZkMediaRef& media, LoadedBank* bank);
} // namespace ZkStreamRef
} // namespace ZK::SoundEngine
