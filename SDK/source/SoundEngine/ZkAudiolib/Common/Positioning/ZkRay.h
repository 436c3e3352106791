// ZkRay: the geometry of one emitter position towards one listener, as the emitter's geometry
// component builds it each time the emitter moves and the voices read it for panning and
// attenuation: distance, emitter and listener angles, the per-listener obstruction and occlusion,
// the path gains and filter values that attenuation fills in.
//
// Threading and ownership: a plain record, in arrays owned by the geometry component or a voice.
#pragma once

#include <ZK/SoundEngine/Common/ZkPositionTypes.h>
#include <ZK/SoundEngine/Common/ZkTypes.h>

#include <cstdint>

namespace ZK::SoundEngine
{
struct ZkRay
{
    ZkTransform emitter = kZkDefaultTransform; // this position of the emitter
    float distance = 0.0f;       // emitter-listener distance divided by the ray scaling
    float emitterAngle = 0.0f;   // radians 0..pi: emitter front to the direction of the listener
    float listenerAngle = 0.0f;  // radians 0..pi: listener front to the direction of the emitter
    float dryGain = 1.0f;
    float auxGain1 = 1.0f;
    float auxGain2 = 1.0f;
    float occlusionPercent = 0.0f;
    float obstructionPercent = 0.0f;
    float obstructionLikePercent = 0.0f; // set by a ray producer only
    float occlusionLikePercent = 0.0f;   // set by a ray producer only
    float spreadPercent = 0.0f;          // used when no spread curve applies
    float spreadCapPercent = 100.0f;
    float weight = 1.0f;
    uint32_t inputChannelMask = 0;
    uint32_t positionIndex = 0;
    ZkGameObjectID listenerID = 0;
    float coneFactor = 1.0f;
    float lowPass = 0.0f;
    float highPass = 0.0f;
    float scaling = 1.0f; // the ray scaling the distance was divided by
};

// Flags kept beside each ray.
constexpr uint8_t kRayFlagObstructionLikeA = 0x01; // the producer's obstruction-like value counts
constexpr uint8_t kRayFlagOcclusionLike = 0x02;    // the producer's occlusion-like value counts
constexpr uint8_t kRayFlagObstructionLikeB = 0x04;
constexpr uint8_t kRayFlagStandard = 0x10;          // made from an emitter position and a routed listener
constexpr uint8_t kRayFlagListenerHasProduced = 0x20; // the listener also has producer rays
} // namespace ZK::SoundEngine
