#include "ZkAudiolib/Common/Buffers/ChannelMap.h"

#include <bit>

namespace ZK::SoundEngine::ChannelMap
{
namespace
{
constexpr uint32_t kTableChannels = 8;
// Row n - 1 holds the order for n channels.
constexpr uint8_t kOrderByChannelCount[kTableChannels][kTableChannels] = {
    {0},
    {0, 1},
    {0, 2, 1},
    {0, 1, 2, 3},
    {0, 2, 1, 3, 4},
    {0, 2, 1, 3, 4, 5},
    {0, 2, 1, 3, 4, 5, 6},
    {0, 2, 1, 5, 6, 3, 4, 7},
};
constexpr uint32_t kFrontBitsInWord = 0x7000; // left, right, centre
} // namespace

uint32_t Identity(ZkChannelConfig, uint32_t index)
{
    return index;
}

uint32_t ByTable(ZkChannelConfig config, uint32_t index)
{
    const uint32_t channels = config.NumChannels();
    if (channels == 0 || channels > kTableChannels || index >= channels)
        return index;
    return kOrderByChannelCount[channels - 1][index];
}

uint32_t LfeLast(ZkChannelConfig config, uint32_t index)
{
    if (!config.HasLfe())
        return index;
    const uint32_t fronts = static_cast<uint32_t>(std::popcount(config.word & kFrontBitsInWord));
    if (index < fronts)
        return index;
    if (index == fronts)
        return config.NumChannels() - 1;
    return index - 1;
}
} // namespace ZK::SoundEngine::ChannelMap
