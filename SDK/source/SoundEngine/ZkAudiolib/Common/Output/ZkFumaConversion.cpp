#include "ZkAudiolib/Common/Output/ZkFumaConversion.h"

#include <cstring>

namespace ZK::SoundEngine::ZkFumaConversion
{
namespace
{
constexpr uint8_t kFumaChannel[kMaxChannels] = {0, 2, 3, 1, 8, 6, 4, 5, 7, 15, 13, 11, 9, 10, 12, 14};
constexpr float kSn3dToFumaWeight[kMaxChannels] = {1.0f,       0.7071068f, 0.7071068f, 0.7071068f,
                                                   0.6123725f, 0.6123725f, 0.7071068f, 0.6123725f,
                                                   0.6123725f, 0.559017f,  0.5270463f, 0.5962848f,
                                                   0.7071068f, 0.5962848f, 0.5270463f, 0.559017f};
constexpr float kFumaW = 0.70710677f;

uint32_t RowStride(uint32_t channels)
{
    return (channels + 3u) & ~3u;
}
} // namespace

bool CanConvert(uint32_t channels)
{
    if (channels == 0 || channels > kMaxChannels)
        return false;
    for (uint32_t i = 0; i < channels; ++i)
    {
        if (kFumaChannel[i] >= channels)
            return false;
    }
    return true;
}

void BuildMatrix(uint32_t channels, float* matrix)
{
    const uint32_t stride = RowStride(channels);
    std::memset(matrix, 0, sizeof(float) * stride * channels);
    for (uint32_t i = 0; i < channels; ++i)
        matrix[i * stride + kFumaChannel[i]] = kFumaW / kSn3dToFumaWeight[i];
}
} // namespace ZK::SoundEngine::ZkFumaConversion
