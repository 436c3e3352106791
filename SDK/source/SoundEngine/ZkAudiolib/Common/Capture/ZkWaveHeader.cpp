#include "ZkAudiolib/Common/Capture/ZkWaveHeader.h"

#include "ZkAudiolib/Common/Bytes/ZkByteCursor.h"
#include "ZkAudiolib/Common/Bytes/ZkFourCC.h"

#include <cstring>

namespace ZK::SoundEngine::ZkWaveHeader
{
namespace
{
constexpr uint16_t kExtensibleFormatTag = 0xFFFE;
constexpr uint32_t kExtensibleFormatBytes = 40;
constexpr uint16_t kExtensionBytes = 22;
constexpr uint32_t kEngineFormatBytes = 24;
constexpr uint32_t kProvisionalRiffSize = 0xFFFFFFFFu;

// Sub-format GUIDs as stored in the file (Data1..Data3 little-endian, then 8 bytes).
constexpr uint8_t kPcmSubFormat[16] = {0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x10, 0x00,
                                       0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};
constexpr uint8_t kAmbisonicPcmSubFormat[16] = {0x01, 0x00, 0x00, 0x00, 0x21, 0x07, 0xD3, 0x11,
                                                0x86, 0x44, 0xC8, 0xC1, 0xCA, 0x00, 0x00, 0x00};

uint16_t BitsPerSample(uint32_t sampleFormat)
{
    return sampleFormat == kSampleFormatInt16 ? 16 : 32;
}
} // namespace

uint16_t BlockAlign(uint32_t sampleFormat, ZkChannelConfig config)
{
    return static_cast<uint16_t>(config.NumChannels() * (BitsPerSample(sampleFormat) / 8u));
}

uint32_t Build(uint32_t sampleRate, uint32_t sampleFormat, bool engineForm, ZkChannelConfig config, uint8_t* out)
{
    const uint16_t blockAlign = BlockAlign(sampleFormat, config);
    StoreLittleEndian(out + 0, ZkFourCC("RIFF"));
    StoreLittleEndian(out + 4, kProvisionalRiffSize);
    StoreLittleEndian(out + 8, ZkFourCC("WAVE"));
    StoreLittleEndian(out + 12, ZkFourCC("fmt "));
    StoreLittleEndian(out + 16, engineForm ? kEngineFormatBytes : kExtensibleFormatBytes);
    StoreLittleEndian(out + 20, kExtensibleFormatTag);
    StoreLittleEndian(out + 22, static_cast<uint16_t>(config.NumChannels()));
    StoreLittleEndian(out + 24, sampleRate);
    StoreLittleEndian(out + 28, static_cast<uint32_t>(blockAlign) * sampleRate);
    StoreLittleEndian(out + 32, blockAlign);
    StoreLittleEndian(out + 34, BitsPerSample(sampleFormat));
    if (engineForm)
    {
        StoreLittleEndian(out + 36, uint16_t{0});
        StoreLittleEndian(out + 38, uint16_t{0});
        StoreLittleEndian(out + 40, config.word);
        StoreLittleEndian(out + 44, ZkFourCC("data"));
        StoreLittleEndian(out + 48, uint32_t{0});
        return kEngineHeaderBytes;
    }
    StoreLittleEndian(out + 36, kExtensionBytes);
    // Every bit of a sample is valid. (A zero here reads as "padded samples", which common WAVE
    // readers refuse.)
    StoreLittleEndian(out + 38, BitsPerSample(sampleFormat));
    StoreLittleEndian(out + 40, config.Mask());
    std::memcpy(out + 44, config.Type() == ZkChannelConfigType_Ambisonic ? kAmbisonicPcmSubFormat : kPcmSubFormat, 16);
    StoreLittleEndian(out + 60, ZkFourCC("data"));
    StoreLittleEndian(out + 64, uint32_t{0});
    return kExtensibleHeaderBytes;
}
} // namespace ZK::SoundEngine::ZkWaveHeader
