// Decoding an ambisonic field onto a device's speakers: fixed rules for mono, stereo and 3.0, else a
// matrix sampled over the circle (planar layouts, pairwise panning) or the sphere (layouts with
// extra speakers, VBAP) and cached in the device per (input, output) pair.
#include "SpeakerMasks.h"
#include "ZkSpeakerPan.h"

#include <ZK/SoundEngine/Common/ZkMemoryMgr.h>
#include <ZkAudiolib/Common/Output/CZkOutputDevice.h>

#include <cmath>
#include <cstring>

namespace
{
using namespace ZkSpeakerMasks;

constexpr float kStereoDecodeGain = 0.5f;
constexpr float kFourPi = 12.566371f;
constexpr float kTwoPi = 6.2831853f;
constexpr uint32_t kMaxSamplePoints = 64;

// gains[p * outChannels + c]: the amplitude of output channel c for sample point p.
bool SampleGains(const ZkSpeakerLayout& layout, bool sphere, uint32_t orderIndex, uint32_t outChannels, float* gains)
{
    const uint32_t points = sphere ? CZkSpeakerPan::GetSamplePointCount(orderIndex) : CZkSpeakerPan::kCirclePointCount;
    const float* samples = sphere ? CZkSpeakerPan::GetSamplePoints(orderIndex) : CZkSpeakerPan::GetCirclePoints();
    const float share = 1.0f / static_cast<float>(points);
    std::memset(gains, 0, sizeof(float) * points * outChannels);
    for (uint32_t p = 0; p < points; ++p)
    {
        const float* point = samples + 4 * p;
        float* row = gains + p * outChannels;
        if (sphere)
        {
            float power[kMaxSpeakerChannels];
            const uint32_t speakers = layout.vbap->GetSpeakerCount();
            // Engine (x right, y up, z front) to the VBAP frame (x front, y left, z up).
            layout.vbap->ComputeGainsForDirection(point[2], -point[0], point[1], speakers, power);
            float sum = 0.0f;
            for (uint32_t s = 0; s < speakers; ++s)
                sum += power[s];
            if (sum == 0.0f)
                continue;
            for (uint32_t s = 0; s < speakers && s < outChannels; ++s)
                row[s] = std::sqrt(power[s] * share / sum);
        }
        else
        {
            CZkSpeakerPan::PanPairwise(layout.ring.pairs, layout.ring.positionCount, point[0], point[2], share,
                                       layout.ring.channels, row);
            for (uint32_t c = 0; c < outChannels; ++c)
                row[c] = std::sqrt(row[c]);
        }
    }
    return true;
}

void BuildDecoder(ZkChannelConfig input, ZkChannelConfig output, uint32_t orderIndex, const ZkSpeakerLayout& layout,
                  float* matrix)
{
    const bool sphere = layout.vbap != nullptr;
    const uint32_t points = sphere ? CZkSpeakerPan::GetSamplePointCount(orderIndex) : CZkSpeakerPan::kCirclePointCount;
    const float* harmonics =
        sphere ? CZkSpeakerPan::GetHarmonicTable3D(orderIndex) : CZkSpeakerPan::GetHarmonicTable2D(orderIndex);
    if (harmonics == nullptr)
        return; // out of memory: the matrix stays zero
    const float* weights = sphere ? CZkSpeakerPan::GetOrderWeights(orderIndex) : CZkSpeakerPan::GetOrderWeights2D(orderIndex);
    const float t = sphere ? kFourPi / static_cast<float>(points) : kTwoPi / static_cast<float>(points);
    const uint32_t outChannels = output.NumChannels();
    float gains[kMaxSamplePoints * kMaxSpeakerChannels];
    SampleGains(layout, sphere, orderIndex, outChannels, gains);
    CZkSpeakerPan::ProjectSampledValues(harmonics, points, orderIndex, weights, t, gains, input, outChannels,
                                        RowStride(outChannels), matrix);
}

// Outputs of more than one speaker decode through the device's layout and cache, except stereo and
// 3.0, which take fixed gains.
bool DecodesThroughDeviceCache(ZkChannelConfig output)
{
    return output.NumNonLfeChannels() > 1 && output.Mask() != kStereo && output.Mask() != kThreeZero;
}
} // namespace

void CZkSpeakerPan::ProjectSampledValues(const float* harmonics, uint32_t points, uint32_t orderIndex,
                                         const float* weights, float scale, const float* values, ZkChannelConfig input,
                                         uint32_t outChannels, uint32_t stride, float* matrix)
{
    const uint32_t orderChannels = (orderIndex + 2u) * (orderIndex + 2u);
    for (uint32_t row = 0; row < input.NumChannels(); ++row)
    {
        const int32_t acn = AcnOfChannel(input.NumChannels(), row);
        if (acn < 0 || static_cast<uint32_t>(acn) >= orderChannels)
            continue;
        // The degree l of ACN n is the whole part of sqrt(n).
        uint32_t degree = 0;
        while ((degree + 1) * (degree + 1) <= static_cast<uint32_t>(acn))
            ++degree;
        const float rowScale = weights != nullptr ? weights[degree] * scale : scale;
        const float* h = harmonics + static_cast<uint32_t>(acn) * points;
        for (uint32_t c = 0; c < outChannels; ++c)
        {
            float sum = 0.0f;
            for (uint32_t p = 0; p < points; ++p)
                sum += h[p] * values[p * outChannels + c];
            matrix[row * stride + c] = rowScale * sum;
        }
    }
}

void CZkSpeakerPan::ComputeAmbisonicDecodingMatrix(ZkChannelConfig input, ZkChannelConfig output, float* matrix,
                                                   CZkOutputDevice* device)
{
    const uint32_t inChannels = input.NumChannels();
    const uint32_t outChannels = output.NumChannels();
    const uint32_t stride = RowStride(outChannels);
    std::memset(matrix, 0, sizeof(float) * inChannels * stride);
    const uint8_t orderIndex = OrderIndexOfChannelCount(inChannels);
    if (input.Type() != ZkChannelConfigType_Ambisonic || orderIndex == kInvalidOrderIndex ||
        !IsConsistentSpeakerConfig(output))
        return; // invalid input, or an output that is not a speaker layout: zero
    if (output.NumNonLfeChannels() == 1)
    {
        matrix[0] = 1.0f;
        return;
    }
    if (!DecodesThroughDeviceCache(output))
    {
        matrix[0] = kStereoDecodeGain;
        matrix[1] = kStereoDecodeGain;
        if (inChannels > 1)
        {
            matrix[stride] = kStereoDecodeGain;
            matrix[stride + 1] = -kStereoDecodeGain;
        }
        return;
    }
    if (device == nullptr)
        return;
    ZK::Platform::ZkScopedLock lock(device->GetLock());
    const uint32_t floatCount = inChannels * stride;
    if (device->FindDecodingMatrix(input, output, matrix, floatCount))
        return;
    const ZkSpeakerLayout* layout = device->GetSpeakerLayout(output);
    if (layout == nullptr)
        return;
    BuildDecoder(input, output, orderIndex, *layout, matrix);
    // A matrix that cannot be cached is still returned; the next call builds it again.
    device->AddDecodingMatrix(input, output, matrix, floatCount);
}

ZKRESULT CZkSpeakerPan::PrepareAmbisonicDecoding(CZkOutputDevice& device, ZkChannelConfig output)
{
    if (!IsConsistentSpeakerConfig(output) || !DecodesThroughDeviceCache(output))
        return ZK_Success; // nothing of the device's is needed to decode into it
    const uint32_t stride = RowStride(output.NumChannels());
    auto* matrix = static_cast<float*>(ZK::MemoryMgr::Malloc(ZkMemID_Processing, sizeof(float) * kMaxAmbisonicChannels * stride));
    if (matrix == nullptr)
        return ZK_InsufficientMemory;
    ZKRESULT result = ZK_Success;
    for (uint32_t order = 1; order <= kMaxOrderIndex + 1; ++order)
    {
        const ZkChannelConfig input((ZkChannelConfigType_Ambisonic << 8) | ((order + 1) * (order + 1)));
        ComputeAmbisonicDecodingMatrix(input, output, matrix, &device);
        ZK::Platform::ZkScopedLock lock(device.GetLock());
        if (!device.FindDecodingMatrix(input, output, matrix, input.NumChannels() * stride))
            result = ZK_InsufficientMemory;
    }
    ZK::MemoryMgr::Free(ZkMemID_Processing, matrix);
    return result;
}
