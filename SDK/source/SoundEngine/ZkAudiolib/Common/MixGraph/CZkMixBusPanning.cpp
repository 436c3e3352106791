// What the bus's plug-ins ask of the three-dimensional panner: the matrix of an emitter frame seen
// from a listener frame, of a bare direction, and of a positioned object, each on the bus's device.
#include "ZkAudiolib/Common/MixGraph/CZkMixBus.h"

#include "ZkAudiolib/Common/Output/CZkOutputDevice.h"
#include "ZkAudiolib/Common/Panning/SpeakerMasks.h"
#include "ZkAudiolib/Common/Panning/ZkSpeakerPan.h"
#include "ZkAudiolib/Common/Positioning/ZkPanningParams.h"

#include <algorithm>
#include <cmath>

namespace ZK::SoundEngine
{
namespace
{
using namespace ZkSpeakerMasks;

// The bus's panning places the planar speakers of 7.0 only.
constexpr uint32_t kPannedOutputMask = kSevenZero;
// The widest input the bus pans: a fifth-order ambisonic field.
constexpr uint32_t kMaxPannedInputs = CZkSpeakerPan::kMaxAmbisonicChannels;

float Dot(const ZkVector& a, const ZkVector& b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
ZkVector Cross(const ZkVector& a, const ZkVector& b)
{
    return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}

// v in the frame of (side, top, front).
ZkVector InFrame(const ZkVector& v, const ZkVector& side, const ZkVector& top, const ZkVector& front)
{
    return {Dot(v, side), Dot(v, top), Dot(v, front)};
}

void ClearMatrix(ZkChannelConfig input, ZkChannelConfig output, float* matrix)
{
    std::fill(matrix, matrix + static_cast<size_t>(input.NumChannels()) * RowStride(output.NumChannels()), 0.0f);
}

bool IsUnitRange(float value) { return value >= 0.0f && value <= 1.0f; }
} // namespace

ZKRESULT CZkMixBus::PanOnDevice(const ZkPositioningRay& ray, ZkChannelConfig input, ZkChannelConfig output,
                                float* matrix) const
{
    CZkOutputDevice* device = GetOutputDevice();
    if (device == nullptr)
        return ZK_Fail;
    if (input.NumChannels() > kMaxPannedInputs)
        return ZK_InvalidParameter;
    if (input.Type() == ZkChannelConfigType_Standard && input.NumChannels() > 1 && device->GetSpeakerLayout(input) == nullptr)
        return ZK_Success; // a speaker set the device cannot lay out: silence
    if (output.Type() != ZkChannelConfigType_Standard)
    {
        CZkSpeakerPan::ComputeSpeakerVolumes3D(ray, 1.0f, ray.spread, ray.focus, matrix, input, ray.channelMask,
                                               output, device);
        return ZK_Success;
    }
    // Panned on the output's 7.0 speakers, then spread back into its own columns.
    const uint32_t pannedMask = output.Mask() & kPannedOutputMask;
    if (pannedMask != 0)
    {
        const ZkChannelConfig panned = ZkChannelConfig::FromMask(pannedMask);
        const uint32_t pannedStride = RowStride(panned.NumChannels());
        float scratch[kMaxPannedInputs * RowStride(CountOf(kPannedOutputMask))] = {};
        CZkSpeakerPan::ComputeSpeakerVolumes3D(ray, 1.0f, ray.spread, ray.focus, scratch, input, ray.channelMask,
                                               panned, device);
        const uint32_t stride = RowStride(output.NumChannels());
        uint32_t column = 0;
        for (uint32_t rest = pannedMask; rest != 0; rest &= rest - 1, ++column)
        {
            const uint32_t target = ChannelOf(output.Mask(), rest & (~rest + 1));
            for (uint32_t row = 0; row < input.NumChannels(); ++row)
                matrix[row * stride + target] = scratch[row * pannedStride + column];
        }
    }
    if (input.HasLfe() && output.HasLfe())
        matrix[(input.NumChannels() - 1) * RowStride(output.NumChannels()) + output.NumChannels() - 1] = 1.0f;
    return ZK_Success;
}

ZKRESULT CZkMixBus::ComputeSpeakerVolumesForFrames(const ZkTransform& emitter, const ZkTransform& listener,
                                                   float spread, float focus, ZkChannelConfig input,
                                                   ZkChannelConfig output, float* matrix) const
{
    const ZkVector side = Cross(listener.top, listener.front);
    const ZkVector offset{emitter.position.x - listener.position.x, emitter.position.y - listener.position.y,
                          emitter.position.z - listener.position.z};
    ZkPositioningRay ray;
    ray.position = InFrame(offset, side, listener.top, listener.front);
    ray.front = InFrame(emitter.front, side, listener.top, listener.front);
    ray.top = InFrame(emitter.top, side, listener.top, listener.front);
    ray.spread = std::clamp(spread, 0.0f, 1.0f);
    ray.focus = std::clamp(focus, 0.0f, 1.0f);
    ClearMatrix(input, output, matrix);
    return PanOnDevice(ray, input, output, matrix);
}

ZKRESULT CZkMixBus::ComputeSpeakerVolumesForAngles(float azimuth, float elevation, float spread, float focus,
                                                   ZkChannelConfig input, ZkChannelConfig output,
                                                   float* matrix) const
{
    if (!IsUnitRange(spread) || !IsUnitRange(focus))
        return ZK_InvalidParameter;
    ZkPositioningRay ray;
    ray.position = {std::sin(azimuth) * std::cos(elevation), std::sin(elevation), std::cos(azimuth) * std::cos(elevation)};
    ray.spread = spread;
    ray.focus = focus;
    ClearMatrix(input, output, matrix);
    return PanOnDevice(ray, input, output, matrix);
}

ZKRESULT CZkMixBus::ComputePositionalMatrix(const ZkPanningParams& params, ZkChannelConfig input,
                                            ZkChannelConfig output, float* matrix) const
{
    CZkOutputDevice* device = GetOutputDevice();
    if (device == nullptr)
        return ZK_Fail;
    return CZkSpeakerPan::ComputeVolumesForParams(params, input, output, device, matrix);
}
} // namespace ZK::SoundEngine
