// Speaker masks and matrix geometry shared by the panning code: the named layouts, the channel of a
// speaker inside a configuration (pipeline order: ascending speaker bits, the LFE last) and the row
// stride of a mixing matrix (output channels rounded up to a multiple of 4).
//
// Threading and ownership: constants and pure functions.
#pragma once

#include <ZK/SoundEngine/Common/ZkChannelConfig.h>

#include <bit>
#include <cstdint>

namespace ZkSpeakerMasks
{
constexpr uint32_t kStereo = 0x3;
constexpr uint32_t kThreeZero = 0x7;
constexpr uint32_t kFourZero = 0x603;
constexpr uint32_t kFiveZero = 0x607;
constexpr uint32_t kSixZero = 0x633;
constexpr uint32_t kSevenZero = 0x637;
constexpr uint32_t kPlanar = 0x63F;       // speakers on the horizontal ring, LFE included
constexpr uint32_t kExtra = 0xFF9C0;      // bits 0x40 and 0x80, BC and all top speakers
constexpr uint32_t kTop = 0x3F800;        // T and the six height speakers
constexpr uint32_t kRearPair = 0x30;
constexpr uint32_t kSidePair = 0x600;
constexpr uint32_t kSurrounds = kRearPair | kSidePair;
constexpr uint32_t kAllSpeakers = 0xFFFFF; // the 20 mask bits of a configuration word

// The largest speaker-mask configuration: every intermediate matrix on the stack is sized by it.
constexpr uint32_t kMaxSpeakerChannels = 20;

inline uint32_t CountOf(uint32_t mask) { return static_cast<uint32_t>(std::popcount(mask)); }

// A type-1 configuration whose channel count is the number of its speakers; anything else is not
// read as a speaker layout (a count that disagrees with the mask would address rows that the
// caller did not allocate).
inline bool IsConsistentSpeakerConfig(ZkChannelConfig config)
{
    return config.Type() == ZkChannelConfigType_Standard && config.NumChannels() == CountOf(config.Mask()) &&
           config.NumChannels() <= kMaxSpeakerChannels;
}

// The channel of one speaker bit in a speaker mask, in pipeline order (the LFE last).
inline uint32_t ChannelOf(uint32_t mask, uint32_t speakerBit)
{
    if (speakerBit == ZK_SPEAKER_LOW_FREQUENCY)
        return CountOf(mask) - 1;
    return CountOf(mask & ~ZK_SPEAKER_LOW_FREQUENCY & (speakerBit - 1));
}

// The speaker bit of a channel in pipeline order; 0 past the end.
inline uint32_t SpeakerOfChannel(uint32_t mask, uint32_t channel)
{
    const uint32_t withoutLfe = mask & ~ZK_SPEAKER_LOW_FREQUENCY;
    uint32_t remaining = withoutLfe;
    for (uint32_t c = 0; remaining != 0; ++c)
    {
        const uint32_t bit = remaining & (~remaining + 1);
        if (c == channel)
            return bit;
        remaining &= remaining - 1;
    }
    if ((mask & ZK_SPEAKER_LOW_FREQUENCY) != 0 && channel == CountOf(withoutLfe))
        return ZK_SPEAKER_LOW_FREQUENCY;
    return 0;
}

inline uint32_t RowStride(uint32_t outputChannels) { return (outputChannels + 3u) & ~3u; }
} // namespace ZkSpeakerMasks
