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
// Resident media: 1 with its data and size (bank null). Other media: 1 with the media index's copy
// (a reference taken on the media, and on the bank that holds the copy, written to bank); 2 when the
// index has no copy to hand out (nothing is taken, data null and size 0).
ZKRESULT Acquire(const ZkMediaRef& media, const uint8_t*& data, uint32_t& size, LoadedBank*& bank);
// Gives back what Acquire took (nothing for resident media): the media's reference, then the bank's,
// which may free a bank unloaded meanwhile.
void Release(const ZkMediaRef& media, LoadedBank* bank);
} // namespace ZkStreamRef
} // namespace ZK::SoundEngine
