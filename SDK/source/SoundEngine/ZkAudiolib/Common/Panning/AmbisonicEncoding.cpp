// Encoding into ambisonics: the speakers of a speaker-mask input at fixed directions, and the merge
// of several positioned rays into one encoding.
#include "SpeakerMasks.h"
#include "ZkSpeakerPan.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace
{
using namespace ZkSpeakerMasks;

constexpr float kDegToRad = 0.017453294f;
constexpr uint32_t kMaxFullChannels = 36;
constexpr uint32_t kMaxSamplePoints = 64;

// Planar speaker azimuths (degrees, positive to the left) by planar speaker count, in channel order.
constexpr float kPlanarAzimuths[8][7] = {
    {},
    {0},
    {90, -90},
    {90, -90, 0},
    {45, -45, 135, -135},
    {45, -45, 0, 135, -135},
    {30, -30, 150, -150, 90, -90},
    {30, -30, 0, 150, -150, 90, -90},
};
struct Direction
{
    float azimuth;
    float elevation;
};
// Extra speakers (azimuth / elevation, degrees) by their count.
constexpr Direction kHeightDirections[7][6] = {
    {},
    {{0, 45}},
    {{90, 45}, {-90, 45}},
    {{90, 45}, {0, 45}, {-90, 45}},
    {{45, 45}, {-45, 45}, {135, 45}, {-135, 45}},
    {{0, 90}, {45, 45}, {-45, 45}, {135, 45}, {-135, 45}},
    {{0, 90}, {45, 45}, {0, 45}, {-45, 45}, {135, 45}, {-135, 45}},
};

// Writes the harmonics of one direction into a row of the output's channels (a mixed-order output
// takes the ACN channels it holds, in its own order).
void WriteDirection(float azimuthDeg, float elevationDeg, uint32_t orderIndex, ZkChannelConfig output, float* row)
{
    const float az = azimuthDeg * kDegToRad;
    const float el = elevationDeg * kDegToRad;
    float full[kMaxFullChannels];
    CZkSpeakerPan::ComputeSphericalHarmonics(std::cos(az) * std::cos(el), std::sin(az) * std::cos(el), std::sin(el),
                                             orderIndex + 1u, 1, full);
    for (uint32_t c = 0; c < output.NumChannels(); ++c)
    {
        const int32_t acn = CZkSpeakerPan::AcnOfChannel(output.NumChannels(), c);
        if (acn >= 0)
            row[c] = full[acn];
    }
}
} // namespace

void CZkSpeakerPan::EncodeSpeakersToAmbisonics(ZkChannelConfig input, ZkChannelConfig output, float* matrix)
{
    if (!IsConsistentSpeakerConfig(input) || output.Type() != ZkChannelConfigType_Ambisonic)
        return;
    const uint8_t orderIndex = OrderIndexOfChannelCount(output.NumChannels());
    if (orderIndex == kInvalidOrderIndex)
        return;
    const uint32_t stride = RowStride(output.NumChannels());
    const uint32_t inMask = input.Mask();
    if (input.NumNonLfeChannels() == 1)
    {
        matrix[0] = 1.0f; // a single speaker is the omnidirectional component only
        return;
    }
    const uint32_t planarMask = inMask & kSevenZero;
    const uint32_t extraMask = inMask & kExtra;
    const uint32_t planar = CountOf(planarMask);
    const uint32_t extra = CountOf(extraMask);
    // The fixed direction tables cover 1 to 7 planar and up to 6 extra speakers; speakers beyond
    // them keep zero rows.
    if (planar <= 7)
        for (uint32_t k = 0; k < planar; ++k)
            WriteDirection(kPlanarAzimuths[planar][k], 0.0f, orderIndex, output,
                           matrix + ChannelOf(inMask, SpeakerOfChannel(planarMask, k)) * stride);
    if (extra <= 6)
        for (uint32_t k = 0; k < extra; ++k)
            WriteDirection(kHeightDirections[extra][k].azimuth, kHeightDirections[extra][k].elevation, orderIndex,
                           output, matrix + ChannelOf(inMask, SpeakerOfChannel(extraMask, k)) * stride);
}

void CZkSpeakerPan::ComputeAmbisonicEncodingMatrix(const float* rayGains, uint32_t rayCount, const float* rayMatrices,
                                                   uint32_t rayMatrixStride, ZkChannelConfig input,
                                                   ZkChannelConfig output, float* matrix)
{
    const uint32_t outChannels = output.NumChannels();
    const uint32_t stride = RowStride(outChannels);
    std::memset(matrix, 0, sizeof(float) * input.NumChannels() * stride);
    const uint8_t orderIndex = OrderIndexOfChannelCount(outChannels);
    if (output.Type() != ZkChannelConfigType_Ambisonic || orderIndex == kInvalidOrderIndex)
        return;
    const float* harmonics = GetHarmonicTable3D(orderIndex);
    if (harmonics == nullptr)
        return;
    const uint32_t points = GetSamplePointCount(orderIndex);
    const float share = 1.0f / static_cast<float>(points);
    for (uint32_t i = 0; i < input.NumChannels(); ++i)
    {
        float values[kMaxSamplePoints] = {};
        for (uint32_t r = 0; r < rayCount; ++r)
        {
            const float* row = rayMatrices + r * rayMatrixStride + i * stride;
            for (uint32_t p = 0; p < points; ++p)
            {
                float projection = 0.0f;
                for (uint32_t c = 0; c < outChannels; ++c)
                {
                    const int32_t acn = AcnOfChannel(outChannels, c);
                    if (acn >= 0)
                        projection += harmonics[static_cast<uint32_t>(acn) * points + p] * row[c];
                }
                projection *= rayGains[r] * share;
                if (std::fabs(projection) > std::fabs(values[p]))
                    values[p] = projection;
            }
        }
        float full[kMaxFullChannels];
        EncodeVector(orderIndex, values, full);
        for (uint32_t c = 0; c < outChannels; ++c)
        {
            const int32_t acn = AcnOfChannel(outChannels, c);
            if (acn >= 0)
                matrix[i * stride + c] = full[acn];
        }
    }
}
