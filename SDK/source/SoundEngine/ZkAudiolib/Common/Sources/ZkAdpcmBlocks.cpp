#include "ZkAudiolib/Common/Sources/ZkAdpcmBlocks.h"

#include <algorithm>
#include <array>

namespace ZK::SoundEngine::ZkAdpcmBlocks
{
namespace
{
constexpr std::array<int32_t, 89> kStepTable{
    7,     8,     9,     10,    11,    12,    13,    14,    16,    17,    19,    21,    23,    25,    28,
    31,    34,    37,    41,    45,    50,    55,    60,    66,    73,    80,    88,    97,    107,   118,
    130,   143,   157,   173,   190,   209,   230,   253,   279,   307,   337,   371,   408,   449,   494,
    544,   598,   658,   724,   796,   876,   963,   1060,  1166,  1282,  1411,  1552,  1707,  1878,  2066,
    2272,  2499,  2749,  3024,  3327,  3660,  4026,  4428,  4871,  5358,  5894,  6484,  7132,  7845,  8630,
    9493,  10442, 11487, 12635, 13899, 15289, 16818, 18500, 20350, 22385, 24623, 27086, 29794, 32767};
constexpr std::array<int32_t, 16> kIndexTable{-1, -1, -1, -1, 2, 4, 6, 8, -1, -1, -1, -1, 2, 4, 6, 8};
constexpr int32_t kMaxStepIndex = 88;
constexpr uint32_t kMaxState = 11;

// The predictive deltas and next states of every state and code.
struct PredictorCell
{
    int32_t delta;
    uint8_t next;
};
constexpr auto kPredictor = [] {
    constexpr std::array<int32_t, 16> kState0{-14, -10, -7, -5, -3, -2, -1, 0, 0, 1, 2, 3, 5, 7, 10, 14};
    constexpr std::array<int32_t, 16> kBase{-28, -20, -14, -10, -7, -5, -3, -1, 1, 3, 5, 7, 10, 14, 20, 28};
    constexpr std::array<int32_t, 16> kMoves{2, 2, 1, 1, 0, 0, 0, -1, -1, 0, 0, 0, 1, 1, 2, 2};
    std::array<std::array<PredictorCell, 16>, kMaxState + 1> table{};
    for (uint32_t state = 0; state <= kMaxState; ++state)
        for (uint32_t code = 0; code < 16; ++code)
        {
            const int32_t delta = state == 0 ? kState0[code] : kBase[code] * (1 << (state - 1));
            const int32_t next = std::clamp<int32_t>(static_cast<int32_t>(state) + kMoves[code], 0, kMaxState);
            table[state][code] = PredictorCell{delta, static_cast<uint8_t>(next)};
        }
    return table;
}();

int16_t Clip(int32_t value)
{
    return static_cast<int16_t>(std::clamp<int32_t>(value, -32768, 32767));
}

int16_t LoadSample(const uint8_t* bytes)
{
    return static_cast<int16_t>(static_cast<uint16_t>(bytes[0] | bytes[1] << 8));
}

uint32_t CodeAt(const uint8_t* codes, uint32_t n)
{
    return (codes[n / 2] >> ((n & 1u) * 4)) & 0xFu;
}
} // namespace

void DecodeStepTable(const uint8_t* block, int16_t* out, uint32_t stride)
{
    constexpr uint32_t kCodesOffset = 4;
    int32_t predictor = LoadSample(block);
    int32_t index = std::min<int32_t>(block[2], kMaxStepIndex);
    out[0] = static_cast<int16_t>(predictor);
    for (uint32_t n = 0; n + 1 < kFramesPerBlock; ++n)
    {
        const uint32_t code = CodeAt(block + kCodesOffset, n);
        const int32_t step = kStepTable[static_cast<size_t>(index)];
        const int32_t diff = (static_cast<int32_t>(code & 7u) * 2 + 1) * step / 8;
        predictor = Clip((code & 8u) != 0 ? predictor - diff : predictor + diff);
        index = std::clamp(index + kIndexTable[code], 0, kMaxStepIndex);
        out[(n + 1) * stride] = static_cast<int16_t>(predictor);
    }
}

void DecodePredictive(const uint8_t* block, int16_t* out, uint32_t stride, uint32_t count)
{
    constexpr uint32_t kCodesOffset = 5;
    count = std::min(count, kFramesPerBlock);
    if (count == 0)
        return;
    int32_t older = LoadSample(block);
    out[0] = static_cast<int16_t>(older);
    if (count == 1)
        return;
    int32_t last = LoadSample(block + 2);
    out[stride] = static_cast<int16_t>(last);
    uint32_t state = std::min<uint32_t>(block[4], kMaxState);
    for (uint32_t n = 0; n + 2 < count; ++n)
    {
        const PredictorCell& cell = kPredictor[state][CodeAt(block + kCodesOffset, n)];
        const int32_t sample = Clip(2 * last - older + cell.delta);
        older = last;
        last = sample;
        state = cell.next;
        out[(n + 2) * stride] = static_cast<int16_t>(sample);
    }
}
} // namespace ZK::SoundEngine::ZkAdpcmBlocks
