// The general matrix builder: chooses between ambisonic decoding, ambisonic encoding of speakers,
// direct assignment and the planar dispatcher (downmix, centre handling, 2-D panning, steering),
// and always finishes a speaker-to-speaker matrix with the LFE route.
#include "SpeakerMasks.h"
#include "ZkSpeakerPan.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace
{
using namespace ZkSpeakerMasks;

constexpr float kHalfPower = 0.70710677f;

void ZeroMatrix(ZkChannelConfig input, ZkChannelConfig output, float* matrix)
{
    std::memset(matrix, 0, sizeof(float) * input.NumChannels() * RowStride(output.NumChannels()));
}

// Both configurations are speaker masks.
void PlanarDispatch(float panX, float panY, float panZ, float centre, uint32_t panningType, ZkChannelConfig input,
                    ZkChannelConfig output, float* matrix)
{
    if (!IsConsistentSpeakerConfig(input) || !IsConsistentSpeakerConfig(output))
        return; // a count that disagrees with its mask: zero matrix, no row addressed by the mask
    const uint32_t outSpeakers = output.NumNonLfeChannels();
    const uint32_t inSpeakers = input.NumNonLfeChannels();
    if ((panningType == ZkSpeakerPanning_Position2D || panningType == ZkSpeakerPanning_SpeakerSteering) &&
        outSpeakers != 1)
    {
        if (panningType == ZkSpeakerPanning_Position2D)
            CZkSpeakerPan::Pan2D(panX, panY, centre, input, output, matrix);
        else
            CZkSpeakerPan::PanBySpeakerPositions(panX, panY, panZ, centre, input, output, matrix);
    }
    else if (panningType == ZkSpeakerPanning_Direct || outSpeakers == 1)
    {
        if (inSpeakers == 1)
        {
            const uint32_t outMask = output.Mask();
            float* row = matrix;
            const bool hasFront = (outMask & kThreeZero) == kThreeZero;
            if (outSpeakers == 1)
                row[0] = 1.0f;
            else if (hasFront)
            {
                const float c = std::clamp(centre, 0.0f, 1.0f);
                row[ChannelOf(outMask, ZK_SPEAKER_FRONT_LEFT)] = std::sqrt((1.0f - c) * 0.5f);
                row[ChannelOf(outMask, ZK_SPEAKER_FRONT_RIGHT)] = std::sqrt((1.0f - c) * 0.5f);
                row[ChannelOf(outMask, ZK_SPEAKER_FRONT_CENTER)] = std::sqrt(c);
            }
            else
            {
                if ((outMask & ZK_SPEAKER_FRONT_LEFT) != 0)
                    row[ChannelOf(outMask, ZK_SPEAKER_FRONT_LEFT)] = kHalfPower;
                if ((outMask & ZK_SPEAKER_FRONT_RIGHT) != 0)
                    row[ChannelOf(outMask, ZK_SPEAKER_FRONT_RIGHT)] = kHalfPower;
            }
        }
        else if (inSpeakers > 1)
            CZkSpeakerPan::DownmixStandard(input, output, matrix);
    }
    CZkSpeakerPan::RouteLfe(input, output, matrix);
}
} // namespace

void CZkSpeakerPan::RouteLfe(ZkChannelConfig input, ZkChannelConfig output, float* matrix)
{
    if (!input.HasLfe() || input.NumChannels() == 0)
        return;
    const uint32_t stride = RowStride(output.NumChannels());
    float* row = matrix + (input.NumChannels() - 1) * stride;
    std::memset(row, 0, sizeof(float) * stride);
    if (output.HasLfe() && output.NumChannels() != 0)
        row[output.NumChannels() - 1] = 1.0f;
}

void CZkSpeakerPan::GetDirectAssignmentMatrix(ZkChannelConfig input, ZkChannelConfig output, float* matrix)
{
    ZeroMatrix(input, output, matrix);
    const uint32_t inChannels = input.NumChannels();
    const uint32_t outChannels = output.NumChannels();
    const uint32_t stride = RowStride(outChannels);
    if (input.Type() != ZkChannelConfigType_Ambisonic)
    {
        for (uint32_t i = 0; i < std::min(inChannels, outChannels); ++i)
            matrix[i * stride + i] = 1.0f;
        return;
    }
    // Each input channel goes to its ACN channel number in the output's numbering; a mixed-order
    // output takes only the numbers it holds (others are dropped rather than written past the row).
    const bool mixedOutput = output.Type() == ZkChannelConfigType_Ambisonic && AbsentChannelMask(outChannels) != 0;
    for (uint32_t i = 0; i < inChannels; ++i)
    {
        const int32_t acn = AcnOfChannel(inChannels, i);
        if (acn < 0)
            continue;
        int32_t column = acn;
        if (mixedOutput)
        {
            column = -1;
            for (uint32_t c = 0; c < outChannels; ++c)
                if (AcnOfChannel(outChannels, c) == acn)
                    column = static_cast<int32_t>(c);
        }
        if (column >= 0 && static_cast<uint32_t>(column) < outChannels)
            matrix[i * stride + static_cast<uint32_t>(column)] = 1.0f;
    }
}

void CZkSpeakerPan::ComputeSpeakerVolumes(float panX, float panY, float panZ, float centrePercentage,
                                          uint32_t panningType, ZkChannelConfig input, ZkChannelConfig output,
                                          float* matrix, CZkOutputDevice* device)
{
    ZeroMatrix(input, output, matrix);
    const uint32_t inType = input.Type();
    const uint32_t outType = output.Type();
    if (inType != outType)
    {
        if (inType == ZkChannelConfigType_Ambisonic)
            ComputeAmbisonicDecodingMatrix(input, output, matrix, device);
        else if (inType == ZkChannelConfigType_Standard && outType == ZkChannelConfigType_Ambisonic)
            EncodeSpeakersToAmbisonics(input, output, matrix);
        else
        {
            const uint32_t stride = RowStride(output.NumChannels());
            for (uint32_t i = 0; i < std::min(input.NumChannels(), output.NumChannels()); ++i)
                matrix[i * stride + i] = 1.0f;
        }
        return;
    }
    if (inType != ZkChannelConfigType_Standard)
    {
        GetDirectAssignmentMatrix(input, output, matrix);
        return;
    }
    PlanarDispatch(panX, panY, panZ, centrePercentage, panningType, input, output, matrix);
}

void CZkSpeakerPan::ComputeSpeakerVolumesDirect(ZkChannelConfig input, ZkChannelConfig output, float centrePercentage,
                                                float* matrix)
{
    ComputeSpeakerVolumes(0.0f, 0.0f, 0.0f, centrePercentage, ZkSpeakerPanning_Direct, input, output, matrix, nullptr);
}
