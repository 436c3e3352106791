// MediaDecoding: turns a media in memory whose format needs decoding into the same media stored as
// 16-bit samples, so that nothing decodes it while it plays. Used for prepared media
// (DecodeMediaBlock, a bank prepared with decoding) and for whole bank images (DecodeBank).
//
// A media is decodable when its header parses, it holds its whole sample data, its format tag is
// 0x3040, 0x3041 or 0xFFFF, the registry has a codec for that tag (keys 0x130001, 0x140001 and
// 0x40001; the codec comes from the bank source the registry's bank creator makes), and the codec
// reads the format and delivers 16-bit frames of every channel. Its decoded form keeps the header,
// with format tag 0xFFFE, 16 bits, block align channels x 2, the byte rate and the sizes rewritten;
// when the header's length is not a multiple of 4, a "JUNK" chunk before the data chunk header
// makes the samples start 4-aligned. Sizes are computed in 64 bits: a decoded media above 4 GiB - 1
// is refused (7) before anything is allocated.
//
// The codec runs over a memory stream of the stream manager, under the global engine lock.
//
// Threading: any thread (the bank thread for prepared media, the caller's for DecodeBank); the
// global engine lock is taken around each decoding. Ownership: the caller's bytes are only read; a
// decoded block belongs to the caller.
#pragma once

#include <ZK/SoundEngine/Common/ZkMemoryMgr.h>
#include <ZK/SoundEngine/Common/ZkResult.h>

#include <cstdint>

namespace ZK::SoundEngine
{
namespace MediaDecoding
{
// What decoding a media takes.
struct ZkDecodePlan
{
    bool decodable = false;
    uint32_t key = 0;            // the codec's plug-in key
    uint32_t channels = 0;
    uint32_t frames = 0;         // sample frames the codec announces
    uint32_t formatOffset = 0;   // the "fmt " body in the media
    uint32_t dataOffset = 0;     // the first sample byte (the header's length)
    uint32_t dataSize = 0;
    uint32_t headerBytes = 0;    // the decoded media's header, "JUNK" included
    uint64_t decodedSize = 0;    // 64 bits: may not fit a media at all
};

// Whether and how a media of size bytes decodes. 1 with the plan (decodable or not); 7 when it is
// decodable but its decoded form would exceed 4 GiB - 1; 52 when its codec cannot be made.
ZKRESULT Plan(const uint8_t* media, uint32_t size, ZkDecodePlan& plan);
// Writes the decoded media of a decodable plan into out (plan.decodedSize bytes). Frames the codec
// does not deliver are silent; frames beyond those announced are dropped. 1; 2 when the codec or
// its stream fails; 52 out of memory.
ZKRESULT Decode(const uint8_t* media, uint32_t size, const ZkDecodePlan& plan, uint8_t* out);
// Replaces a prepared media block (allocated with memoryID) by its decoded form (alignment 4, the
// same memory id); the block stays as it is when it is not decodable or its decoding fails.
void DecodeMediaBlock(uint8_t*& block, uint32_t& size, ZkMemoryId memoryID);
} // namespace MediaDecoding
} // namespace ZK::SoundEngine
