// Where the channels of a positioned bus are heard. The channels stand on the ring of channels in
// the bus's own frame; seen from the listener they are drawn towards the bus direction by adding
// cot(spread x pi / 2) along it (nothing at spread 1, everything at spread 0), and each channel's
// weight falls as its drawn direction lengthens.
#include "PanningFastMath.h"
#include "SpeakerMasks.h"
#include "ZkChannelRing.h"
#include "ZkPointNarrowing.h"
#include "ZkSpeakerPan.h"

#include <ZkAudiolib/Common/Positioning/ZkPositioningRay.h>

#include <algorithm>
#include <cmath>

namespace
{
using namespace ZkPanGeometry;

constexpr float kMinSpread = 0.0001f;
constexpr float kMaxSpread = 0.9999f;
// Below this distance (2^-23) the bus is at the listener and directions stay unit vectors.
constexpr float kMinDistance = 1.1920929e-7f;

Vec3 ToVec(const ZkVector& v) { return {v.x, v.y, v.z}; }
} // namespace

ZKRESULT CZkSpeakerPan::ComputeChannelDirectionMatrix(const ZK::SoundEngine::ZkPositioningRay& bus,
                                                      bool identityOrientation, ZkChannelConfig config,
                                                      ZkVector* positions, float* weights)
{
    if (!ZkSpeakerMasks::IsConsistentSpeakerConfig(config))
        return ZK_InvalidParameter;
    uint8_t rows[ZkChannelRing::kMaxChannels];
    const uint32_t n = ZkChannelRing::SpatialisedRows(config.Mask(), ZkSpeakerMasks::kAllSpeakers, rows);
    if (n == 0 || n != config.NumNonLfeChannels())
        return ZK_InvalidParameter;
    for (uint32_t c = 0; c < config.NumChannels(); ++c)
    {
        positions[c] = ZkVector{0.0f, 0.0f, 0.0f};
        weights[c] = 0.0f;
    }

    const Vec3 front = identityOrientation ? Vec3{0.0f, 0.0f, 1.0f} : ToVec(bus.front);
    const Vec3 top = identityOrientation ? Vec3{0.0f, 1.0f, 0.0f} : ToVec(bus.top);
    const Vec3 side = Cross(top, front);
    const Vec3 position = ToVec(bus.position);
    const Rotation onAxis = RotationOntoAxis(position);
    const float distance = std::sqrt(Dot(position, position));
    const float spread = bus.spread > kMinSpread ? std::fmin(bus.spread, kMaxSpread) : kMinSpread; // NaN: the least
    const float halfAngle = spread * ZkPanMath::kHalfPi;
    const float cotangent = ZkPanMath::FastSin(ZkPanMath::kHalfPi - halfAngle) / ZkPanMath::FastSin(halfAngle);
    for (uint32_t k = 0; k < n; ++k)
    {
        const float azimuth = ZkChannelRing::AzimuthDeg(n, k) * ZkPanMath::kDegreesToRadians;
        const Vec3 own{-std::sin(azimuth), 0.0f, std::cos(azimuth)};
        const Vec3 heard{side.x * own.x + top.x * own.y + front.x * own.z,
                         side.y * own.x + top.y * own.y + front.y * own.z,
                         side.z * own.x + top.z * own.y + front.z * own.z};
        Vec3 drawn = onAxis.Apply(heard);
        drawn.z += cotangent;
        const float length = std::sqrt(Dot(drawn, drawn));
        // A channel exactly opposite the bus at the spread that cancels it joins the bus direction.
        Vec3 direction = onAxis.ApplyInverse(length > 0.0f ? Scaled(drawn, 1.0f / length) : Vec3{0.0f, 0.0f, 1.0f});
        if (distance >= kMinDistance)
            direction = Scaled(direction, distance);
        positions[rows[k]] = ZkVector{direction.x, direction.y, direction.z};
        weights[rows[k]] = n == 1 ? 1.0f : 1.0f / (length * static_cast<float>(n - 1) + 1.0f);
    }
    return ZK_Success;
}
