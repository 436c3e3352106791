// The mix matrix of a voice heard along several rays: one matrix per ray (three-dimensional
// panning, the two-dimensional matrix, or an even spread for a listener without spatialization),
// the LFE joined, the listener's volume offsets, then the rays combined into one matrix.
#include "ZkAudiolib/Common/Positioning/CZkPositioningMath.h"

#include "ZkAudiolib/Common/Panning/SpeakerMasks.h"
#include "ZkAudiolib/Common/Panning/ZkSpeakerPan.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace ZK::SoundEngine
{
namespace
{
// Three-dimensional panning places the planar speakers of 7.0 only.
constexpr uint32_t kPannedSpeakerMask = ZkSpeakerMasks::kSevenZero;
constexpr uint32_t kMultiPositionSum = 1;

ZkChannelConfig PannedInput(ZkChannelConfig input)
{
    return input.Type() == ZkChannelConfigType_Standard ? ZkChannelConfig::FromMask(input.Mask() & kPannedSpeakerMask)
                                                        : input;
}

// A listener without spatialization hears every input channel alike: k = 1 / sqrt(inputs) on the
// first output of a non-speaker output, k / L on each of the L speakers (the LFE aside) otherwise.
void FillUnspatialized(ZkChannelConfig input, ZkChannelConfig output, uint32_t stride, float* matrix)
{
    const float k = 1.0f / std::sqrt(static_cast<float>(input.NumChannels()));
    const bool speakers = output.Type() == ZkChannelConfigType_Standard;
    const uint32_t columns = speakers ? output.NumNonLfeChannels() : std::min(output.NumChannels(), 1u);
    const float value = speakers && columns != 0 ? k / static_cast<float>(columns) : k;
    for (uint32_t row = 0; row < input.NumChannels(); ++row)
        std::fill(matrix + row * stride, matrix + row * stride + columns, value);
}
} // namespace

void CZkPositioningMath::ListenerOffsetGains(const ZkListenerView& listener, ZkChannelConfig output, float* gains)
{
    const uint32_t listenerMask = listener.config.Mask();
    const uint32_t stored = listener.config.NumChannels();
    for (uint32_t rest = output.Mask(); rest != 0; rest &= rest - 1)
    {
        const uint32_t bit = rest & (~rest + 1);
        const uint32_t target = ZkSpeakerMasks::ChannelOf(output.Mask(), bit);
        float gain = 1.0f;
        if ((listenerMask & bit) != 0)
        {
            // Only as many offsets as the configuration counts channels are stored: a mask with
            // more speakers than that leaves the others at 0 dB.
            const uint32_t rank = ZkSpeakerMasks::ChannelOf(listenerMask, bit);
            if (rank < stored)
                gain = listener.offsetGains[rank];
        }
        gains[target] = gain;
    }
}

ZKRESULT CZkPositioningMath::PanItemsIntoMatrix(const ZkPositioningRay* items, uint32_t itemCount,
                                                ZkChannelConfig input, ZkChannelConfig output,
                                                CZkOutputDevice* device, float* matrices)
{
    const uint32_t stride = ZkSpeakerMasks::RowStride(output.NumChannels());
    const size_t floats = size_t{input.NumChannels()} * stride;
    std::fill(matrices, matrices + floats * itemCount, 0.0f);
    ZKRESULT result = ZK_Success;
    if (device != nullptr)
    {
        // The panner writes the reduced input's rows; the LFE row (the last) stays for below.
        const ZkChannelConfig panned = PannedInput(input);
        for (uint32_t item = 0; item < itemCount && result == ZK_Success; ++item)
            result = PanRays(items + item, 1, panned, output, stride, device, matrices + floats * item);
    }
    else
    {
        result = ZK_Fail;
    }
    if (input.HasLfe() && output.HasLfe())
    {
        for (uint32_t item = 0; item < itemCount; ++item)
            matrices[floats * item + (input.NumChannels() - 1) * stride + output.NumChannels() - 1] = 1.0f;
    }
    return result;
}

size_t CZkPositioningMath::MultiRayScratchFloats(uint32_t rayCount, ZkChannelConfig input, ZkChannelConfig output)
{
    return size_t{rayCount} * input.NumChannels() * ZkSpeakerMasks::RowStride(output.NumChannels()) +
           ZkSpeakerMasks::RowStride(output.NumChannels());
}

ZKRESULT CZkPositioningMath::ComputeMultiRayMixMatrix(const ZkMultiRayRequest& request, const ZkMixMatrixTarget& target,
                                                      float* scratch)
{
    ZkChannelConfig output = target.output;
    if (output.Type() == ZkChannelConfigType_Objects)
        output = ZkChannelConfig((output.word & ~0xFFu) | (target.channelCount & 0xFFu));
    const ZkChannelConfig input = request.input;
    const uint32_t n = request.rayCount;
    const uint32_t stride = ZkSpeakerMasks::RowStride(output.NumChannels());
    const size_t floats = size_t{input.NumChannels()} * stride;
    if (n == 0)
        return ZK_InvalidParameter;
    float* temporaries = scratch;
    float* offsetGains = scratch + floats * n;

    // 1. One matrix per ray.
    const bool spatialized = request.listener.spatialized;
    if (spatialized && request.pan.pan3D)
    {
        // Without a device nothing is panned: the rays stay silent.
        PanItemsIntoMatrix(request.items, n, input, output, target.device, temporaries);
    }
    else
    {
        std::fill(temporaries, temporaries + floats * n, 0.0f);
        if (spatialized)
        {
            if (request.pan.pan2D || (request.voiceFlags & kVoiceFlagPan2D) != 0 || n > 1)
            {
                const ZkPanParams& pan = request.pan;
                CZkSpeakerPan::ComputeSpeakerVolumes(pan.panX, pan.panY, pan.panZ, pan.centrePercentage,
                                                     pan.panningType, input, output, temporaries, target.device);
                for (uint32_t ray = 1; ray < n; ++ray)
                    std::memcpy(temporaries + floats * ray, temporaries, sizeof(float) * floats);
            }
            else if (target.previous != nullptr)
            {
                std::memcpy(temporaries, target.previous, sizeof(float) * floats);
            }
        }
        else
        {
            for (uint32_t ray = 0; ray < n; ++ray)
                FillUnspatialized(input, output, stride, temporaries + floats * ray);
        }
        // 2. The LFE reaches the LFE whole.
        if (input.HasLfe() && output.HasLfe())
        {
            for (uint32_t ray = 0; ray < n; ++ray)
                temporaries[floats * ray + (input.NumChannels() - 1) * stride + output.NumChannels() - 1] = 1.0f;
        }
    }

    // 3. The listener's volume offsets, per output speaker.
    if (request.listener.offsetGains != nullptr && request.pan.pan3D &&
        output.Type() == ZkChannelConfigType_Standard && request.listener.config.Type() == ZkChannelConfigType_Standard)
    {
        ListenerOffsetGains(request.listener, output, offsetGains);
        for (size_t row = 0; row < size_t{input.NumChannels()} * n; ++row)
        {
            for (uint32_t column = 0; column < output.NumChannels(); ++column)
                temporaries[row * stride + column] *= offsetGains[column];
        }
    }

    // 4. The rays into one matrix.
    float* matrix = target.matrix;
    if (n == 1)
    {
        for (size_t index = 0; index < floats; ++index)
            matrix[index] = temporaries[index] * request.gains[0];
        return ZK_Success;
    }
    std::fill(matrix, matrix + floats, 0.0f);
    if (request.multiPositionMode == kMultiPositionSum)
    {
        for (uint32_t ray = 0; ray < n; ++ray)
        {
            for (size_t index = 0; index < floats; ++index)
                matrix[index] += temporaries[floats * ray + index] * request.gains[ray];
        }
    }
    else if (output.Type() == ZkChannelConfigType_Ambisonic)
    {
        CZkSpeakerPan::ComputeAmbisonicEncodingMatrix(request.gains, n, temporaries, static_cast<uint32_t>(floats),
                                                      input, output, matrix);
    }
    else
    {
        // Each coefficient is the loudest ray's; on equal magnitude the later ray wins.
        for (uint32_t ray = 0; ray < n; ++ray)
        {
            for (size_t index = 0; index < floats; ++index)
            {
                const float value = temporaries[floats * ray + index] * request.gains[ray];
                if (std::fabs(value) >= std::fabs(matrix[index]))
                    matrix[index] = value;
            }
        }
    }
    return ZK_Success;
}
} // namespace ZK::SoundEngine
