// CZkPositioningMath: the maths that turns emitter-listener geometry into what a voice pans and
// attenuates by: ray distance and angles, azimuth and elevation relative to a listener, and the mix
// matrix of a voice. All angles use the fast forms of ZkFastAngles.h.
//
// Built so far: the geometry of rays, the mix matrix of voices that are not positioned in three
// dimensions (direct assignment, two-dimensional panning, or the previous matrix kept) and the
// three-dimensional panning of listener-space rays. The rest of the three-dimensional half (rays
// of voices in listener space, multi-ray and ambisonic matrices, attenuation and listener filters)
// answers 4 and changes nothing.
//
// Threading: pure functions of their arguments, called on the audio thread.
// Ownership: matrices and rays belong to the caller.
#pragma once

#include "ZkAudiolib/Common/Positioning/ZkPositioningRay.h"
#include "ZkAudiolib/Common/Positioning/ZkRay.h"

#include <ZK/SoundEngine/Common/ZkChannelConfig.h>
#include <ZK/SoundEngine/Common/ZkPositionTypes.h>
#include <ZK/SoundEngine/Common/ZkResult.h>

#include <cstdint>

class CZkOutputDevice;

namespace ZK::SoundEngine
{
class CZkEmitter;
class CZkListener;
class CZkVoice;
class CZkMixContext;
class CZkMixerInputContext;

// How a voice asks to be panned.
struct ZkPanParams
{
    bool pan3D = false;          // positioned in three dimensions
    bool pan2D = false;          // two-dimensional panning asked by the caller
    float panX = 0.0f;           // 2-D pan position
    float panY = 0.0f;
    float panZ = 0.0f;
    float centrePercentage = 0.0f;
    uint32_t panningType = 0;    // ZkSpeakerPanningType
};
// Bit of a voice's flags that asks for two-dimensional panning.
constexpr uint32_t kVoiceFlagPan2D = 0x2;

// The mix context a matrix is computed for.
struct ZkMixMatrixTarget
{
    ZkChannelConfig output;            // an output of type 3 (objects) uses channelCount instead
    uint32_t channelCount = 0;
    float* matrix = nullptr;           // input rows x output columns rounded up to 4
    const float* previous = nullptr;   // the matrix of the last frame (may be matrix itself)
    CZkOutputDevice* device = nullptr; // the output device of the voice's bus
};

class CZkPositioningMath
{
public:
    // Distance (divided by the ray scaling), emitter angle and listener angle of the ray from its
    // emitter transform; both angles 0 when emitter and listener are at the same place.
    static void ComputeRayDistanceAndAngles(const CZkListener& listener, const CZkEmitter& emitter, ZkRay& ray);
    // Azimuth (positive to the right) and elevation (positive up) in radians of the ray's position
    // in the listener's frame; 0, 0 when the ray's distance is not above 0.
    static void ComputeAzimuthElevation(const CZkListener& listener, const ZkRay& ray, float& azimuth, float& elevation);
    // The same for a point relative to a frame given by its side, top and front rows.
    static void ComputeAzimuthElevation(const ZkVector& relative, const ZkVector& side, const ZkVector& top,
                                        const ZkVector& front, float length, float& azimuth, float& elevation);

    // The mix matrix of an input b: direct assignment for object inputs, two-dimensional panning
    // when asked (by pan or by kVoiceFlagPan2D), else the previous matrix. 1; 4 for
    // three-dimensional panning (not built: the matrix is left silent).
    static ZKRESULT ComputeMixMatrix(ZkChannelConfig input, const ZkPanParams& pan, uint32_t voiceFlags,
                                     const ZkMixMatrixTarget& target);

    // Each ray panned in three dimensions into its own block of input-channel rows (rays[i] into
    // matrix + i x input channels x rowStride), after raising its spread so that an emitter above or
    // below a planar speaker output is not pinned to one speaker: to at least y^2 / |p|^2 of its
    // position p, or, with extra speakers, to asin(-y / |p|) / pi for an emitter below the listener.
    // The rows of each block must be zero (or hold what the caller keeps); rowStride is the output's
    // (its channel count rounded up to 4). 1; 2 without a device; 31 for another stride.
    static ZKRESULT PanRays(const ZkPositioningRay* rays, uint32_t rayCount, ZkChannelConfig input,
                            ZkChannelConfig output, uint32_t rowStride, CZkOutputDevice* device, float* matrix);

    // --- Three-dimensional positioning: not built yet, each answers 4 and changes nothing ---
    static ZKRESULT ComputeRayAttenuation(CZkVoice*, ZkRay*, uint32_t) { return ZK_NotImplemented; }
    // (rays, ray count, connection): the connection's two filter values from its listener's rays.
    static ZKRESULT ComputeListenerFilters(const ZkRay*, uint32_t, CZkMixerInputContext&) { return ZK_NotImplemented; }
    static ZKRESULT CollectListenerRays(CZkMixContext*, const ZkRay*, uint32_t, const ZkRay**, float*, uint32_t& count)
    {
        count = 0;
        return ZK_NotImplemented;
    }
    static ZKRESULT ComputeRays(const ZkRay* const*, uint32_t, CZkVoice*) { return ZK_NotImplemented; }
    static ZKRESULT PanRays(CZkVoice*, CZkMixContext*) { return ZK_NotImplemented; }
    static ZKRESULT ComputeMultiRayMixMatrix(const CZkListener*, uint32_t, const float*, CZkVoice*, CZkMixContext*)
    {
        return ZK_NotImplemented;
    }
    static ZKRESULT ComputeAmbisonicMatrixScaled(float, const ZkTransform&, CZkMixContext*) { return ZK_NotImplemented; }
    static ZKRESULT ApplyListenerVoiceGains(uint32_t, const ZkRay* const*, const float*, CZkVoice*)
    {
        return ZK_NotImplemented;
    }
};
} // namespace ZK::SoundEngine
