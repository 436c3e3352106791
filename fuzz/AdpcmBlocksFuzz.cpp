// The two ADPCM block decoders over arbitrary blocks (any step index, any predictor state, any
// codes, any sample count): each writes exactly its samples and nothing past them.
#include "ZkAudiolib/Common/Sources/ZkAdpcmBlocks.h"

#include "support/SoundMemory.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>

using kp::fuzz::Check;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    using namespace ZK::SoundEngine;
    constexpr int16_t kUntouched = 0x5A5A;
    std::array<uint8_t, ZkAdpcmBlocks::kChannelBlockBytes> block{};
    std::memcpy(block.data(), data, std::min(size, block.size()));
    const uint32_t count = size > block.size() ? 1 + data[block.size()] % 64 : 64;
    std::array<int16_t, 2 * 64 + 1> out{};
    out.fill(kUntouched);
    ZkAdpcmBlocks::DecodeStepTable(block.data(), out.data(), 2);
    ZkAdpcmBlocks::DecodePredictive(block.data(), out.data() + 1, 2, count);
    Check(out[2 * 64] == kUntouched);
    for (uint32_t n = count; n < 64; ++n)
        Check(out[2 * n + 1] == kUntouched);
    return 0;
}
