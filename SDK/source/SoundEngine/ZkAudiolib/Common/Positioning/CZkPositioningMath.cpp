#include "ZkAudiolib/Common/Positioning/CZkPositioningMath.h"

#include "ZkAudiolib/Common/Attenuations/CZkAttenuation.h"
#include "ZkAudiolib/Common/GameObjects/CZkEmitter.h"
#include "ZkAudiolib/Common/GameObjects/CZkListener.h"
#include "ZkAudiolib/Common/Panning/SpeakerMasks.h"
#include "ZkAudiolib/Common/Panning/ZkSpeakerPan.h"
#include "ZkAudiolib/Common/Positioning/ZkFastAngles.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace ZK::SoundEngine
{
namespace
{
float Dot(const ZkVector& a, const ZkVector& b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
ZkVector Minus(const ZkVector& a, const ZkVector& b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
float Length(const ZkVector& v) { return std::sqrt(Dot(v, v)); }
ZkVector InFrame(const ZkVector& v, const ZkListenerFrame& frame)
{
    return {Dot(v, frame.side), Dot(v, frame.top), Dot(v, frame.front)};
}
} // namespace

ZkListenerFrame ZkListenerFrame::Of(const CZkListener& listener)
{
    return ZkListenerFrame{listener.Transform().position, listener.Side(), listener.Top(), listener.Front(),
                           listener.IsSpatialized()};
}

uint32_t CZkPositioningMath::CollectListenerRays(const ZkRay* rays, uint32_t rayCount, ZkGameObjectID listener,
                                                 uint32_t path, const ZkRay** collected, float* gains)
{
    // The mix input's normalising value is 1.0 (its gains start there and nothing in a mix input
    // records another): dividing by it leaves the gains as they are.
    constexpr float kNormalisingValue = 1.0f;
    uint32_t count = 0;
    for (uint32_t index = 0; index < rayCount; ++index)
    {
        const ZkRay& ray = rays[index];
        if (listener != kEveryListener && ray.listenerID != listener)
            continue;
        const float gain = path == 0 ? ray.dryGain : path == 1 ? ray.auxGain1 : path == 2 ? ray.auxGain2 : 1.0f;
        collected[count] = &ray;
        gains[count] = gain / kNormalisingValue;
        ++count;
    }
    return count;
}

void CZkPositioningMath::ComputeRays(const ZkListenerFrame& listener, CZkAttenuation* attenuation,
                                     const ZkRay* const* rays, uint32_t rayCount, const ZkPositioningRay& base,
                                     uint32_t mode, ZkPositioningRay* items)
{
    constexpr float kPercent = 0.01f;
    for (uint32_t index = 0; index < rayCount; ++index)
    {
        const ZkRay& ray = *rays[index];
        ZkPositioningRay& item = items[index];
        item = base;
        if (!listener.spatialized)
        {
            // Heard from nowhere in particular: every channel everywhere.
            item.position = {0.0f, 0.0f, 0.0f};
            item.front = kZkDefaultTransform.front;
            item.top = kZkDefaultTransform.top;
            item.spread = 1.0f;
            item.focus = 1.0f;
            item.channelMask = kZkAllInputChannels;
            continue;
        }
        const float scaling = ray.scaling != 0.0f ? ray.scaling : 1.0f;
        const ZkVector relative = Minus(ray.emitter.position, listener.position);
        const ZkVector scaled{relative.x / scaling, relative.y / scaling, relative.z / scaling};
        if (mode != kRaysNotPositioned)
            item.position = InFrame(scaled, listener);
        if (mode == kRaysWithEmitterOrientation)
        {
            item.front = InFrame(ray.emitter.front, listener);
            item.top = InFrame(ray.emitter.top, listener);
        }
        const float length = Length(scaled);
        float spread = ray.spreadPercent;
        float focus = 0.0f;
        if (attenuation != nullptr)
        {
            spread = attenuation->EvaluateRole(ZkAttenuationRole_Spread, length, spread);
            focus = attenuation->EvaluateRole(ZkAttenuationRole_Focus, length, focus);
        }
        item.spread = std::min(ray.spreadCapPercent, spread) * base.spread * kPercent;
        item.focus = focus * base.focus * kPercent;
        item.channelMask = base.channelMask & ray.inputChannelMask;
    }
}

void CZkPositioningMath::ComputeRayDistanceAndAngles(const CZkListener& listener, const CZkEmitter& emitter, ZkRay& ray)
{
    // An object that listens to itself is not scaled twice.
    float scaling = listener.ScalingFactor();
    if (listener.owner != emitter.owner)
        scaling *= emitter.ScalingFactor();
    ray.scaling = scaling;

    const ZkVector r = Minus(ray.emitter.position, listener.Transform().position);
    const float h = Length(r);
    ray.distance = h / scaling;
    if (h > 0.0f)
    {
        const float towardsListener = std::clamp(-Dot(r, ray.emitter.front) / h, -1.0f, 1.0f);
        const float towardsEmitter = std::clamp(Dot(r, listener.Front()) / h, -1.0f, 1.0f);
        ray.emitterAngle = ZkFastAcos(towardsListener);
        ray.listenerAngle = ZkFastAcos(towardsEmitter);
    }
    else
    {
        ray.emitterAngle = 0.0f;
        ray.listenerAngle = 0.0f;
    }
}

void CZkPositioningMath::ComputeAzimuthElevation(const ZkVector& relative, const ZkVector& side, const ZkVector& top,
                                                 const ZkVector& front, float length, float& azimuth, float& elevation)
{
    azimuth = 0.0f;
    elevation = 0.0f;
    if (!(length > 0.0f))
        return;
    const float f = Dot(relative, front);
    const float u = Dot(relative, top);
    const float s = Dot(relative, side);
    if (f != 0.0f)
    {
        const float z = s / f;
        azimuth = ZkFastAtan(z);
        if (std::fabs(z) >= 1.0f)
        {
            if (s < 0.0f)
                azimuth -= kZkPi;
        }
        else if (f < 0.0f)
        {
            azimuth += s >= 0.0f ? kZkPi : -kZkPi;
        }
    }
    else if (s == 0.0f)
    {
        // Straight above or below (or nowhere in the horizontal plane).
        elevation = u > 0.0f ? kZkHalfPi : u < 0.0f ? -kZkHalfPi : 0.0f;
        return;
    }
    else
    {
        azimuth = s > 0.0f ? kZkHalfPi : -kZkHalfPi;
    }
    const float v = std::clamp(u / length, -1.0f, 1.0f);
    elevation = std::copysign(ZkFastAsin(std::fabs(v)), v);
}

void CZkPositioningMath::ComputeAzimuthElevation(const CZkListener& listener, const ZkRay& ray, float& azimuth,
                                                 float& elevation)
{
    azimuth = 0.0f;
    elevation = 0.0f;
    if (!(ray.distance > 0.0f))
        return;
    // The elevation's sine is the vertical part over the unscaled length of the ray (the distance
    // times its scaling): a scaled distance would tilt every source of a scaled object.
    const ZkVector relative = Minus(ray.emitter.position, listener.Transform().position);
    ComputeAzimuthElevation(relative, listener.Side(), listener.Top(), listener.Front(), ray.distance * ray.scaling,
                            azimuth, elevation);
}

ZKRESULT CZkPositioningMath::ComputeMixMatrix(ZkChannelConfig input, const ZkPanParams& pan, uint32_t voiceFlags,
                                              const ZkMixMatrixTarget& target)
{
    ZkChannelConfig output = target.output;
    if (output.Type() == ZkChannelConfigType_Objects)
        output = ZkChannelConfig((output.word & ~0xFFu) | (target.channelCount & 0xFFu));
    const size_t floats = size_t{input.NumChannels()} * ZkSpeakerMasks::RowStride(output.NumChannels());

    if (input.Type() == ZkChannelConfigType_Objects)
    {
        CZkSpeakerPan::GetDirectAssignmentMatrix(input, output, target.matrix);
        return ZK_Success;
    }
    if (pan.pan3D)
    {
        if (pan.item == nullptr)
        {
            std::memset(target.matrix, 0, sizeof(float) * floats);
            return ZK_InvalidParameter;
        }
        return PanItemsIntoMatrix(pan.item, 1, input, output, target.device, target.matrix);
    }
    if (pan.pan2D || (voiceFlags & kVoiceFlagPan2D) != 0)
    {
        CZkSpeakerPan::ComputeSpeakerVolumes(pan.panX, pan.panY, pan.panZ, pan.centrePercentage, pan.panningType, input,
                                             output, target.matrix, target.device);
        return ZK_Success;
    }
    if (target.previous != nullptr && target.previous != target.matrix)
        std::memmove(target.matrix, target.previous, sizeof(float) * floats);
    return ZK_Success;
}
} // namespace ZK::SoundEngine
