// MediaHeaderParser: walks the RIFF/WAVE-style header at the start of every media (in a bank or a
// loose ".oxm" file) in memory and tells where the format, the sample data and the optional engine
// chunks lie. An Ogg stream ("OggS") is recognised and passed through untouched.
//
// Chunks acted on: the first "fmt " (returned; its channel word rewritten, see below), "data" (size
// and offset returned; the walk ends there), "zkd " and "seek" (returned when asked), the first
// "cue " (markers), "labl" inside a "LIST" (marker labels), "smpl" (loop points). A chunk of odd
// size is followed by a pad byte when that byte is 0. Every count inside a chunk is checked against
// the chunk: a cue count, label or sampler record that runs past its chunk makes the header
// malformed (7). Only the "data" chunk may run past the bytes given: its size and offset are
// returned as they stand, since the header is all a caller needs to start reading the media.
//
// Channel word: the 32-bit value at offset 20 of the format (the channel-mask field of an
// extensible format) holds the engine's channel configuration word or a plain speaker mask. Unless
// the caller keeps it, a value whose low 8 bits differ from the channel count, or whose type field
// is above 2, is taken as a mask and rewritten in place as (mask << 12) | bits set | 0x100 (so the
// stereo mask 0x3 becomes 0x3102). The format's bytes are therefore not const.
//
// Threading: a pure function over the caller's bytes; any thread.
// Ownership: the pointers returned point into the caller's bytes; the marker table (memory pool 5)
// belongs to the caller.
#pragma once

#include <ZK/SoundEngine/Common/ZkResult.h>

#include <cstdint>

namespace ZK::SoundEngine
{
class ZkMarkerTable;

// A chunk's data inside the media bytes.
struct ZkMediaChunk
{
    uint32_t size = 0;
    uint8_t* data = nullptr;
};

namespace MediaHeaderParser
{
constexpr uint32_t kChannelWordOffset = 20;

// 1 at the "data" chunk (or for an Ogg stream, with nothing else returned); 31 for null data or a
// size of 0; 7 for a malformed header (fewer than 12 bytes, not RIFF/WAVE, "cue " or "data" before
// "fmt ", a count or record running past its chunk); 8 when the bytes end before a "data" chunk
// (the caller reads more and parses again); 52 when the markers or a label cannot be allocated.
// Loop start and end are 0 unless a "smpl" chunk with loops sets them. markers, engineChunk and
// seekTable may be null.
ZKRESULT Parse(uint8_t* data, uint32_t size, ZkMediaChunk& format, ZkMarkerTable* markers, uint32_t& loopStart,
               uint32_t& loopEnd, uint32_t& dataSize, uint32_t& dataOffset, ZkMediaChunk* engineChunk,
               ZkMediaChunk* seekTable, bool keepChannelMask);

// The channel word rewrite alone, on a channel word and the format's channel count.
uint32_t NormalizeChannelWord(uint32_t word, uint16_t channelCount);
// The channel word of a format chunk made a configuration (its bytes are not written); 0 when the
// chunk is too short to hold one.
uint32_t ChannelWordOf(const ZkMediaChunk& format);
} // namespace MediaHeaderParser
} // namespace ZK::SoundEngine
