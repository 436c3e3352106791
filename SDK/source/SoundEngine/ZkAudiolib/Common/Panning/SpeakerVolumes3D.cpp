// Three-dimensional panning of one positioning ray. Each spatialised input channel is a small cloud
// of virtual points around its own direction on the ring of channels; focus narrows every cloud
// around its channel, the ray's orientation frame carries the arrangement into listener space,
// spread narrows the whole of it around the emitter direction, and every point is panned on the
// device's layout (pairwise on a ring, VBAP with extra speakers) or encoded into ambisonics. An
// ambisonic input is re-encoded or decoded through its order's sample points, spread the same way.
//
// Power bookkeeping: a speaker row holds amplitudes whose squares sum to 1 / f for f spatialised
// channels (the points of a channel share its power equally), so the input's power is kept.
#include "PanningFastMath.h"
#include "SpeakerMasks.h"
#include "ZkChannelRing.h"
#include "ZkPointNarrowing.h"
#include "ZkSpeakerPan.h"

#include <ZkAudiolib/Common/Output/CZkOutputDevice.h>
#include <ZkAudiolib/Common/Positioning/ZkPositioningRay.h>

#include <algorithm>
#include <cmath>
#include <cstring>

namespace
{
using namespace ZkSpeakerMasks;
using namespace ZkPanGeometry;
using ZK::SoundEngine::ZkPositioningRay;

constexpr float kFourPi = 12.566371f;
constexpr uint32_t kMaxSamplePoints = 64;
constexpr uint32_t kPointFloats = 4;

// Into 0..1; a value that is not a number counts as 0.
float Clamp01(float value) { return value > 0.0f ? std::fmin(value, 1.0f) : 0.0f; }

Vec3 ToVec(const ZkVector& v) { return {v.x, v.y, v.z}; }

// Where a point of the emitter's own arrangement (cloud axis (0, 0, 1) = the emitter's front) is
// heard: carried into listener space by the ray's frame, then narrowed around the emitter direction
// by the spread. At spread 0 every point is the emitter direction (straight ahead for an emitter at
// the listener, which turns nothing).
class RayPlacement
{
public:
    RayPlacement(const ZkPositioningRay& ray, float spread)
        : m_front(ToVec(ray.front)), m_top(ToVec(ray.top)), m_side(Cross(m_top, m_front)),
          m_onAxis(RotationOntoAxis(ToVec(ray.position))), m_spread(spread)
    {
        const Vec3 direction = Normalized(ToVec(ray.position));
        m_direction = Dot(direction, direction) > 0.0f ? direction : Vec3{0.0f, 0.0f, 1.0f};
    }

    Vec3 Place(const Vec3& p) const
    {
        if (m_spread <= 0.0f)
            return m_direction;
        const Vec3 heard{m_side.x * p.x + m_top.x * p.y + m_front.x * p.z,
                         m_side.y * p.x + m_top.y * p.y + m_front.y * p.z,
                         m_side.z * p.x + m_top.z * p.y + m_front.z * p.z};
        if (m_spread >= 1.0f)
            return heard;
        return m_onAxis.ApplyInverse(NarrowTowardsAxis(m_onAxis.Apply(heard), m_spread));
    }

private:
    Vec3 m_front;
    Vec3 m_top;
    Vec3 m_side;
    Vec3 m_direction;
    Rotation m_onAxis;
    float m_spread;
};

// A point of a channel's cloud turned about the vertical axis to the channel's azimuth (positive to
// the left).
Vec3 TurnToAzimuth(const Vec3& p, float cosAz, float sinAz)
{
    return {p.x * cosAz - p.z * sinAz, p.y, p.x * sinAz + p.z * cosAz};
}

// Harmonics of an engine direction (ambisonic X front, Y left, Z up) for the channels of an
// ambisonic configuration, in its stored order.
void HarmonicsOfChannels(const Vec3& v, uint32_t channels, float* out)
{
    float full[CZkSpeakerPan::kMaxAmbisonicChannels];
    const uint8_t orderIndex = CZkSpeakerPan::OrderIndexOfChannelCount(channels);
    CZkSpeakerPan::ComputeSphericalHarmonics(v.z, -v.x, v.y, orderIndex + 1u, 1, full);
    for (uint32_t c = 0; c < channels; ++c)
    {
        const int32_t acn = CZkSpeakerPan::AcnOfChannel(channels, c);
        out[c] = acn >= 0 ? full[acn] : 0.0f;
    }
}

// The device's layouts for one speaker output, with what the centre blend and the stereo law need.
struct SpeakerTarget
{
    const ZkSpeakerLayout* layout = nullptr;
    const ZkSpeakerLayout* withoutCentre = nullptr; // VBAP layouts only: the set without FC
    uint8_t withoutCentreChannels[kMaxSpeakerChannels] = {};
    uint32_t channels = 0;
    float centre = 1.0f;       // share of the full layout; the rest goes to the layout without FC
    bool stereoLaw = false;

    bool Blends() const { return centre < 1.0f; }
};

// Finds the layouts under the device lock (the caller holds it). False when one is missing.
bool PrepareSpeakerTarget(CZkOutputDevice& device, ZkChannelConfig output, float centre, SpeakerTarget& target)
{
    const uint32_t mask = output.Mask();
    target.channels = output.NumChannels();
    target.stereoLaw = device.panningRule == 1 && mask == kStereo;
    target.centre = (mask & ZK_SPEAKER_FRONT_CENTER) != 0 ? centre : 1.0f;
    if (target.stereoLaw)
        return true;
    target.layout = device.GetSpeakerLayout(output);
    if (target.layout == nullptr)
        return false;
    if (target.layout->vbap == nullptr || !target.Blends())
        return true;
    const uint32_t reduced = mask & ~ZK_SPEAKER_FRONT_CENTER;
    target.withoutCentre = device.GetSpeakerLayout(ZkChannelConfig::FromMask(reduced));
    if (target.withoutCentre == nullptr || target.withoutCentre->vbap == nullptr)
        return false;
    uint32_t index = 0;
    for (uint32_t rest = reduced; rest != 0; rest &= rest - 1)
        target.withoutCentreChannels[index++] = static_cast<uint8_t>(ChannelOf(mask, rest & (~rest + 1)));
    return true;
}

// Adds the power gains of one direction, times weight, to power[output channel].
void AddPointPower(const SpeakerTarget& target, const Vec3& v, float weight, float* power)
{
    if (target.stereoLaw)
    {
        CZkSpeakerPan::PanStereoLaw(v.x, weight, power);
        return;
    }
    if (target.layout->vbap == nullptr)
    {
        const ZkSpeakerRing& ring = target.layout->ring;
        if (target.Blends() && target.layout->ringWithoutCentre.pairs != nullptr)
        {
            const ZkSpeakerRing& reduced = target.layout->ringWithoutCentre;
            CZkSpeakerPan::PanPairwise(ring.pairs, ring.positionCount, v.x, v.z, weight * target.centre, ring.channels,
                                       power);
            CZkSpeakerPan::PanPairwise(reduced.pairs, reduced.positionCount, v.x, v.z,
                                       weight * (1.0f - target.centre), reduced.channels, power);
        }
        else
        {
            CZkSpeakerPan::PanPairwise(ring.pairs, ring.positionCount, v.x, v.z, weight, ring.channels, power);
        }
        return;
    }
    // Engine (x right, y up, z front) to the VBAP frame (x front, y left, z up).
    float gains[kMaxSpeakerChannels];
    if (target.centre > 0.0f)
    {
        const uint32_t speakers = target.layout->vbap->GetSpeakerCount();
        target.layout->vbap->ComputeGainsForDirection(v.z, -v.x, v.y, speakers, gains);
        for (uint32_t s = 0; s < speakers && s < target.channels; ++s)
            power[s] += weight * target.centre * gains[s];
    }
    if (target.Blends())
    {
        const uint32_t speakers = target.withoutCentre->vbap->GetSpeakerCount();
        target.withoutCentre->vbap->ComputeGainsForDirection(v.z, -v.x, v.y, speakers, gains);
        for (uint32_t s = 0; s < speakers; ++s)
            power[target.withoutCentreChannels[s]] += weight * (1.0f - target.centre) * gains[s];
    }
}

// An ambisonic input: its order's sample points are spread like an emitter's points; the field is
// re-encoded on them (ambisonic output) or decoded through the device's layout (speaker output).
void PanAmbisonicInput(const RayPlacement& placement, float spread, ZkChannelConfig input, ZkChannelConfig output,
                       uint32_t stride, CZkOutputDevice* device, float* matrix)
{
    const uint32_t inChannels = input.NumChannels();
    const uint32_t outChannels = output.NumChannels();
    const bool ambisonicOutput = output.Type() == ZkChannelConfigType_Ambisonic;
    const uint8_t orderIndex = CZkSpeakerPan::OrderIndexOfChannelCount(
        ambisonicOutput && outChannels < inChannels ? outChannels : inChannels);
    if (orderIndex == CZkSpeakerPan::kInvalidOrderIndex)
        return;
    const uint32_t points = CZkSpeakerPan::GetSamplePointCount(orderIndex);
    const float* samples = CZkSpeakerPan::GetSamplePoints(orderIndex);
    const float* harmonics = CZkSpeakerPan::GetHarmonicTable3D(orderIndex);
    if (samples == nullptr || harmonics == nullptr)
        return;
    // The spread field keeps s = (1 + spread^2) / 2 of its power: a blurred field is quieter.
    const float s = 0.5f * spread * spread + 0.5f;
    const float share = s / static_cast<float>(points);

    // values[p * outChannels + c]: what spread point p gives output channel c.
    float values[kMaxSamplePoints * CZkSpeakerPan::kMaxAmbisonicChannels];
    std::memset(values, 0, sizeof(values));
    float scale = 0.0f;
    if (ambisonicOutput)
    {
        for (uint32_t p = 0; p < points; ++p)
        {
            const float* sample = samples + p * kPointFloats;
            HarmonicsOfChannels(placement.Place({sample[0], sample[1], sample[2]}), outChannels, values + p * outChannels);
        }
        scale = std::sqrt(s) / static_cast<float>(points);
    }
    else
    {
        if (device == nullptr)
            return;
        ZK::Platform::ZkScopedLock lock(device->GetLock());
        SpeakerTarget target;
        if (!PrepareSpeakerTarget(*device, output, 1.0f, target))
            return;
        for (uint32_t p = 0; p < points; ++p)
        {
            const float* sample = samples + p * kPointFloats;
            float* gains = values + p * outChannels;
            AddPointPower(target, placement.Place({sample[0], sample[1], sample[2]}), 1.0f, gains);
            float sum = 0.0f;
            for (uint32_t c = 0; c < outChannels; ++c)
                sum += gains[c];
            const float toShare = sum > 0.0f ? share / sum : 0.0f;
            for (uint32_t c = 0; c < outChannels; ++c)
                gains[c] = std::sqrt(gains[c] * toShare);
        }
        scale = kFourPi / static_cast<float>(points);
    }
    CZkSpeakerPan::ProjectSampledValues(harmonics, points, orderIndex,
                                        ambisonicOutput ? nullptr : CZkSpeakerPan::GetOrderWeights(orderIndex), scale,
                                        values, input, outChannels, stride, matrix);
}

// A speaker input: f channel clouds, each turned to its place on the ring of channels, placed and
// panned point by point into the channel's row.
void PanSpeakerInput(const RayPlacement& placement, float centre, float spread,
                     float focus, const uint8_t* rows, uint32_t f, ZkChannelConfig output, uint32_t stride,
                     CZkOutputDevice& device, float* matrix)
{
    ZK::Platform::ZkScopedLock lock(device.GetLock());
    const bool ambisonicOutput = output.Type() == ZkChannelConfigType_Ambisonic;
    static constexpr float kSinglePoint[kPointFloats] = {0.0f, 0.0f, 1.0f, 0.0f};
    const float* cloud = kSinglePoint;
    uint32_t cloudSize = 1;
    if (spread > 0.0f && !device.GetVirtualPoints(f, (output.Mask() & kExtra) != 0, cloud, cloudSize))
        return;
    SpeakerTarget target;
    if (!ambisonicOutput && !PrepareSpeakerTarget(device, output, centre, target))
        return;
    const uint32_t outChannels = output.NumChannels();
    const float pointShare = 1.0f / (static_cast<float>(f) * static_cast<float>(cloudSize));
    for (uint32_t k = 0; k < f; ++k)
    {
        const float azimuth = ZkChannelRing::AzimuthDeg(f, k) * ZkPanMath::kDegreesToRadians;
        const float cosAz = std::cos(azimuth);
        const float sinAz = std::sin(azimuth);
        float sums[CZkSpeakerPan::kMaxAmbisonicChannels] = {};
        float harmonics[CZkSpeakerPan::kMaxAmbisonicChannels];
        for (uint32_t p = 0; p < cloudSize; ++p)
        {
            const float* point = cloud + p * kPointFloats;
            Vec3 v{point[0], point[1], point[2]};
            if (focus > 0.0f)
                v = NarrowTowardsAxis(v, 1.0f - focus);
            v = placement.Place(TurnToAzimuth(v, cosAz, sinAz));
            if (ambisonicOutput)
            {
                HarmonicsOfChannels(v, outChannels, harmonics);
                for (uint32_t c = 0; c < outChannels; ++c)
                    sums[c] += harmonics[c];
            }
            else
            {
                AddPointPower(target, v, 1.0f, sums);
            }
        }
        float* row = matrix + static_cast<uint32_t>(rows[k]) * stride;
        if (ambisonicOutput)
        {
            for (uint32_t c = 0; c < outChannels; ++c)
                row[c] = sums[c] * pointShare;
            continue;
        }
        // VBAP may find a direction in two triangles: its row is scaled to its power, not counted.
        float toRow = pointShare;
        if (target.layout != nullptr && target.layout->vbap != nullptr)
        {
            float total = 0.0f;
            for (uint32_t c = 0; c < outChannels; ++c)
                total += sums[c];
            toRow = total > 0.0f ? 1.0f / (static_cast<float>(f) * total) : 0.0f;
        }
        for (uint32_t c = 0; c < outChannels; ++c)
            row[c] = std::sqrt(sums[c] * toRow);
    }
}

bool IsPannableOutput(ZkChannelConfig output)
{
    if (output.Type() == ZkChannelConfigType_Standard)
        return IsConsistentSpeakerConfig(output);
    return output.Type() == ZkChannelConfigType_Ambisonic &&
           CZkSpeakerPan::OrderIndexOfChannelCount(output.NumChannels()) != CZkSpeakerPan::kInvalidOrderIndex;
}
} // namespace

void CZkSpeakerPan::PanStereoLaw(float x, float weight, float* power)
{
    const float lateral = std::clamp(x, -1.0f, 1.0f);
    const float root = 0.5f * lateral + 0.70710677f - 0.20710677f * lateral * lateral;
    const float right = root * root;
    power[1] += weight * right;
    power[0] += right > 1.0f ? 0.0f : weight * (1.0f - right);
}

void CZkSpeakerPan::ComputeSpeakerVolumes3D(const ZK::SoundEngine::ZkPositioningRay& ray, float centrePercentage,
                                            float spread, float focus, float* matrix, ZkChannelConfig input,
                                            uint32_t channelMask, ZkChannelConfig output, CZkOutputDevice* device)
{
    // The LFE never takes part: a speaker output is panned without it (its column stays as it is).
    ZkChannelConfig panned = output;
    if (output.Type() == ZkChannelConfigType_Standard)
        panned = ZkChannelConfig::FromMask(output.Mask() & ~ZK_SPEAKER_LOW_FREQUENCY);
    if (input.Type() == ZkChannelConfigType_Anonymous || panned.Type() == ZkChannelConfigType_Anonymous)
    {
        GetDirectAssignmentMatrix(input, output, matrix);
        return;
    }
    if (!IsPannableOutput(output) || panned.NumChannels() == 0)
        return;
    const uint32_t stride = RowStride(output.NumChannels());
    spread = Clamp01(spread);
    focus = Clamp01(focus);
    const RayPlacement placement(ray, spread);

    if (input.Type() == ZkChannelConfigType_Ambisonic)
    {
        if (panned.NumChannels() == 1)
            matrix[0] = 1.0f; // W to the single output
        else
            PanAmbisonicInput(placement, spread, input, panned, stride, device, matrix);
        return;
    }
    if (!IsConsistentSpeakerConfig(input))
        return;
    uint8_t rows[ZkChannelRing::kMaxChannels];
    const uint32_t f = ZkChannelRing::SpatialisedRows(input.Mask(), channelMask, rows);
    if (f == 0)
        return;
    if (panned.NumChannels() == 1)
    {
        for (uint32_t k = 0; k < f; ++k)
            matrix[rows[k] * stride] = 1.0f;
        return;
    }
    if (device == nullptr)
        return;
    PanSpeakerInput(placement, Clamp01(centrePercentage), spread, focus, rows, f, panned, stride, *device, matrix);
}
