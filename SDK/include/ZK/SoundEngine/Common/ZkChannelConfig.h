// ZkChannelConfig: the 32-bit word that describes the channel layout of an audio buffer, shared by
// every stage of the voice and mix pipeline and by plug-ins.
//
//   bits 0-7    channel count
//   bits 8-11   configuration type (ZkChannelConfigType)
//   bits 12-31  speaker mask (type 1 only), with the bit assignment of the WAVE extensible format
//
// Storage order inside the pipeline ("pipeline order"): ascending speaker bits, the LFE last.
// Interleaved order (devices, capture, 16-bit media): ascending speaker bits, the LFE in its own
// place right after the front channels. InterleavedToPipeline maps one to the other.
//
// Threading and ownership: a plain value type; no state beyond the word.
#pragma once

#include <bit>
#include <cstdint>

enum ZkChannelConfigType : uint32_t
{
    ZkChannelConfigType_Anonymous = 0x0,
    ZkChannelConfigType_Standard = 0x1,   // speaker mask
    ZkChannelConfigType_Ambisonic = 0x2,
    ZkChannelConfigType_Objects = 0x3,
    ZkChannelConfigType_MainMix = 0xE,    // the device's main-mix configuration (requests only)
    ZkChannelConfigType_Passthrough = 0xF // stereo for a pass-through mix (requests only)
};

// Speaker bits of the mask (the word shifted right by 12).
constexpr uint32_t ZK_SPEAKER_FRONT_LEFT = 0x1;
constexpr uint32_t ZK_SPEAKER_FRONT_RIGHT = 0x2;
constexpr uint32_t ZK_SPEAKER_FRONT_CENTER = 0x4;
constexpr uint32_t ZK_SPEAKER_LOW_FREQUENCY = 0x8;
constexpr uint32_t ZK_SPEAKER_BACK_LEFT = 0x10;
constexpr uint32_t ZK_SPEAKER_BACK_RIGHT = 0x20;
constexpr uint32_t ZK_SPEAKER_BACK_CENTER = 0x100;
constexpr uint32_t ZK_SPEAKER_SIDE_LEFT = 0x200;
constexpr uint32_t ZK_SPEAKER_SIDE_RIGHT = 0x400;
constexpr uint32_t ZK_SPEAKER_TOP = 0x800;
constexpr uint32_t ZK_SPEAKER_HEIGHT_FRONT_LEFT = 0x1000;
constexpr uint32_t ZK_SPEAKER_HEIGHT_FRONT_CENTER = 0x2000;
constexpr uint32_t ZK_SPEAKER_HEIGHT_FRONT_RIGHT = 0x4000;
constexpr uint32_t ZK_SPEAKER_HEIGHT_BACK_LEFT = 0x8000;
constexpr uint32_t ZK_SPEAKER_HEIGHT_BACK_CENTER = 0x10000;
constexpr uint32_t ZK_SPEAKER_HEIGHT_BACK_RIGHT = 0x20000;

// Masks the kernels single out.
constexpr uint32_t ZK_SPEAKER_SETUP_MONO = ZK_SPEAKER_FRONT_CENTER;                    // 0x4
constexpr uint32_t ZK_SPEAKER_SETUP_STEREO = ZK_SPEAKER_FRONT_LEFT | ZK_SPEAKER_FRONT_RIGHT; // 0x3
constexpr uint32_t ZK_SPEAKER_SETUP_5POINT1 = 0x60F;
constexpr uint32_t ZK_SPEAKER_SETUP_7POINT1 = 0x63F;
constexpr uint32_t ZK_SPEAKER_FRONT_MASK = ZK_SPEAKER_FRONT_LEFT | ZK_SPEAKER_FRONT_RIGHT | ZK_SPEAKER_FRONT_CENTER;

struct ZkChannelConfig
{
    // The LFE and front-centre bits seen inside the whole word; the kernels test them directly.
    static constexpr uint32_t kLfeBitInWord = 0x8000;
    static constexpr uint32_t kCenterBitInWord = 0x4000;
    static constexpr uint32_t kStereoWord = 0x3102;
    static constexpr uint32_t kMaskShift = 12;

    uint32_t word = 0;

    constexpr ZkChannelConfig() = default;
    constexpr explicit ZkChannelConfig(uint32_t value) : word(value) {}

    // A speaker-mask configuration; the channel count is recomputed from the mask.
    static constexpr ZkChannelConfig FromMask(uint32_t mask)
    {
        const uint32_t channels = static_cast<uint32_t>(std::popcount(mask & 0xFFFFFu));
        return ZkChannelConfig((mask << kMaskShift) | (ZkChannelConfigType_Standard << 8) | channels);
    }
    static constexpr ZkChannelConfig Anonymous(uint32_t channels)
    {
        return ZkChannelConfig(channels & 0xFFu);
    }

    constexpr uint32_t NumChannels() const { return word & 0xFFu; }
    constexpr uint32_t Type() const { return (word >> 8) & 0xFu; }
    constexpr uint32_t Mask() const { return word >> kMaskShift; }
    constexpr bool HasLfe() const { return (word & kLfeBitInWord) != 0; }
    constexpr bool HasCenter() const { return (word & kCenterBitInWord) != 0; }
    constexpr uint32_t NumNonLfeChannels() const { return NumChannels() - (HasLfe() ? 1u : 0u); }
    constexpr bool IsValid() const { return NumChannels() != 0; }

    // Pipeline channel stored at interleaved position p. With an LFE, f = number of front speakers
    // present: positions below f map to themselves, position f is the LFE (stored last), later
    // positions move down by one. Without an LFE the mapping is the identity.
    constexpr uint32_t InterleavedToPipeline(uint32_t p) const
    {
        if (!HasLfe())
            return p;
        const uint32_t fronts = static_cast<uint32_t>(std::popcount(Mask() & ZK_SPEAKER_FRONT_MASK));
        if (p < fronts)
            return p;
        if (p == fronts)
            return NumChannels() - 1;
        return p - 1;
    }

    constexpr bool operator==(const ZkChannelConfig& other) const = default;
};

static_assert(sizeof(ZkChannelConfig) == 4, "ZkChannelConfig is one 32-bit word");
