// ZkAdpcmBlocks: the two 4-bit ADPCM block decoders of codec 2. Each decodes one channel's block
// of 36 bytes into 64 16-bit samples, written every stride samples (the channel's place in
// interleaved output).
//
// Step-table blocks (format tag 2): i16 first sample, u8 step index, u8 unused, 32 bytes of codes,
// low nibble first (63 used). A code moves the sample by ((code & 7) x 2 + 1) x step / 8, negated
// when code & 8, and the step index by the standard IMA ADPCM index table.
// Predictive blocks (format tag 0x8311): i16 first and second samples, u8 predictor state, 31 bytes
// of 62 codes: s(n) = 2 s(n-1) - s(n-2) + delta[state][code], then the state moves on.
// Values out of range in a block (step index above 88, state above 11) are limited, never used to
// index past a table.
//
// Threading and ownership: pure functions over the caller's memory; the render path (no
// allocation).
#pragma once

#include <cstdint>

namespace ZK::SoundEngine::ZkAdpcmBlocks
{
constexpr uint32_t kFramesPerBlock = 64;
constexpr uint32_t kChannelBlockBytes = 36;
constexpr uint16_t kTagStepTable = 0x0002;
constexpr uint16_t kTagPredictive = 0x8311;

void DecodeStepTable(const uint8_t* block, int16_t* out, uint32_t stride);
// The first count (1 to 64) samples of a predictive block.
void DecodePredictive(const uint8_t* block, int16_t* out, uint32_t stride, uint32_t count = kFramesPerBlock);
} // namespace ZK::SoundEngine::ZkAdpcmBlocks
