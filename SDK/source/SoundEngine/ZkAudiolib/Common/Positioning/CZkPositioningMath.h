// CZkPositioningMath: the maths that turns emitter-listener geometry into what a voice pans and
// attenuates by: ray distance and angles, azimuth and elevation relative to a listener, and the mix
// matrix of a voice. All angles use the fast forms of ZkFastAngles.h.
//
// Threading: pure functions of their arguments, called on the audio thread.
// Ownership: matrices and rays belong to the caller.
//
// The positioning step of a voice or bus (CZkMixContext) calls, per connection entry: the rays of
// the entry's listener (CollectListenerRays), ComputeRays, then ComputeAmbisonicMatrixScaled (an
// object destination) or ComputeMultiRayMixMatrix, and ApplyListenerVoiceGains over the entries of
// several positions; ComputeRayAttenuation runs when the instance's rays are collected, the
// connection form of ComputeListenerFilters with the connection volumes.
#pragma once

#include "ZkAudiolib/Common/Positioning/ZkPositioningRay.h"
#include "ZkAudiolib/Common/Positioning/ZkRay.h"

#include <ZK/SoundEngine/Common/ZkChannelConfig.h>
#include <ZK/SoundEngine/Common/ZkPositionTypes.h>
#include <ZK/SoundEngine/Common/ZkResult.h>

#include <cstddef>
#include <cstdint>

class CZkOutputDevice;

namespace ZK::SoundEngine
{
class CZkAttenuation;
class CZkEmitter;
class CZkEnvCurves;
class CZkListener;
class CZkMixerInputContext;

// Where an object destination places one positioned input.
struct ZkObjectPlacement
{
    ZkVector position = {0.0f, 0.0f, 0.0f};
    float spread = 0.0f;
    float focus = 0.0f;
};

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
    const ZkPositioningRay* item = nullptr; // three-dimensional panning: the voice's ray in listener space
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

// How PanRays blends and widens: the share d of the three-dimensional matrix (each row becomes
// d x 3-D + (1 - d) x the two-dimensional matrix of planar), and whether an emitter's elevation
// raises its spread. The engine pans with d = 1 and the spread raised.
struct ZkRayPanBlend
{
    static constexpr size_t kMaxPlanarFloats = 32 * 32; // input rows x row stride of a blend
    float amount3D = 1.0f;
    bool raiseSpread = true;
    ZkPanParams planar;
};

// A listener's place and frame (side, top and front unit rows) and whether it spatializes.
struct ZkListenerFrame
{
    ZkVector position = {0.0f, 0.0f, 0.0f};
    ZkVector side = {1.0f, 0.0f, 0.0f};
    ZkVector top = {0.0f, 1.0f, 0.0f};
    ZkVector front = {0.0f, 0.0f, 1.0f};
    bool spatialized = true;

    static ZkListenerFrame Of(const CZkListener& listener);
};

// What a listener asks of the voices it hears: spatialization, and its volume offsets.
struct ZkListenerView
{
    bool spatialized = true;
    ZkChannelConfig config;             // of its volume offsets
    const float* offsetGains = nullptr; // linear, config.NumChannels() of them; null without offsets
};

// A voice heard along several rays of one listener.
struct ZkMultiRayRequest
{
    const ZkPositioningRay* items = nullptr; // the rays in listener space (ComputeRays)
    const float* gains = nullptr;            // one per ray
    uint32_t rayCount = 0;
    ZkChannelConfig input;
    ZkPanParams pan;
    uint32_t voiceFlags = 0;
    uint32_t multiPositionMode = 0; // 1: the rays' matrices add up; else the loudest ray per coefficient
    ZkListenerView listener;
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

    // The mix matrix of an input b: direct assignment for object inputs, three-dimensional panning
    // of pan.item when asked (PanItemsIntoMatrix on target.device), two-dimensional panning when
    // asked (by pan or by kVoiceFlagPan2D), else the previous matrix. 1; for three-dimensional
    // panning 31 without an item and 2 without a device (the matrix silent but for the LFE).
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
    // The same with a blend towards two-dimensional panning, and the elevation's spread optional.
    // 31 also for a blended matrix above ZkRayPanBlend::kMaxPlanarFloats.
    static ZKRESULT PanRays(const ZkPositioningRay* rays, uint32_t rayCount, ZkChannelConfig input,
                            ZkChannelConfig output, uint32_t rowStride, CZkOutputDevice* device, float* matrix,
                            const ZkRayPanBlend& blend);

    // The three path gains and the cone factor of each ray: the attenuation's volume curves at the
    // ray's distance (a role without curve leaves its gain), the cone's factor at the emitter angle
    // (the dry gain takes the cone's outside volume times the factor), then the environment's
    // occlusion volume curve on all three gains and its obstruction volume curve on the dry gain,
    // each when enabled and its percentage is not 0. The attenuation may be null (none, or an
    // unknown id: the ray plays without attenuation), so may the environment curves.
    static void ComputeRayAttenuation(CZkAttenuation* attenuation, const CZkEnvCurves* environment, ZkRay* rays,
                                      uint32_t rayCount);
    // The low-pass and high-pass values of one listener's rays for a path (0 dry, 1 and 2 the aux
    // sends): per ray the largest of the cone's share of its outside filter values, the filter
    // curves at its distance and the environment's occlusion filter curves (and, on the dry path,
    // its obstruction filter curves), stored in the ray; the result is the least of the rays'
    // values, kNoFiltering (100) for each without a ray of that listener.
    static void ComputeListenerFilters(CZkAttenuation* attenuation, const CZkEnvCurves* environment, ZkRay* rays,
                                       uint32_t rayCount, ZkGameObjectID listener, uint32_t path, float& lowPass,
                                       float& highPass);
    static constexpr float kNoFiltering = 100.0f;
    // As the listener of ComputeListenerFilters and CollectListenerRays: the rays of every listener.
    static constexpr ZkGameObjectID kEveryListener = ZK_ALL_GAME_OBJECTS;

    // The rays of one listener (or of every listener) with the gain of a path (0 dry, 1 and 2 the
    // aux sends, 1.0 for any other) into collected and gains (room for rayCount each). The count.
    static uint32_t CollectListenerRays(const ZkRay* rays, uint32_t rayCount, ZkGameObjectID listener, uint32_t path,
                                        const ZkRay** collected, float* gains);
    // The gains of several rays of one connection, normalised by the connection's filtering. No
    // record says by how much: like CollectListenerRays' normalising value (1.0), it leaves the
    // gains as they are, a step kept by name where the positioning step takes it.
    static void NormalizeGainsByFilter(float*, uint32_t) {}
    // Each ray as the panner reads it, starting from the voice's base item: a listener without
    // spatialization hears it everywhere (spread and focus 1, every channel, at the listener);
    // otherwise its position relative to the listener, divided by the ray scaling, in the
    // listener's frame (mode 0: not positioned, the base position kept; mode 2 also turns the
    // emitter's orientation into that frame), spread = min(the ray's spread cap, the spread curve
    // at that length or the ray's spread) x base spread x 0.01, focus = the focus curve (or 0) x
    // base focus x 0.01, the channel mask the base's and the ray's.
    static void ComputeRays(const ZkListenerFrame& listener, CZkAttenuation* attenuation, const ZkRay* const* rays,
                            uint32_t rayCount, const ZkPositioningRay& base, uint32_t mode, ZkPositioningRay* items);
    static constexpr uint32_t kRaysNotPositioned = 0;
    static constexpr uint32_t kRaysWithEmitterOrientation = 2;

    // Each item panned in three dimensions into its own zeroed matrix (matrices + i x input
    // channels x the output's row stride), the input reduced to its 7.0 speakers; an LFE in both
    // configurations reaches the output's LFE with 1.0. 1; 2 without a device (the matrices then
    // hold only the LFE); the panner's failure.
    static ZKRESULT PanItemsIntoMatrix(const ZkPositioningRay* items, uint32_t itemCount, ZkChannelConfig input,
                                       ZkChannelConfig output, CZkOutputDevice* device, float* matrices);
    // The gain of each output speaker (by output channel) from the listener's offsets: an output
    // speaker that the listener's configuration has takes the offset of its rank there, the others
    // 1.0. Ranks beyond the offsets stored (the configuration's channel count) count as 0 dB.
    static void ListenerOffsetGains(const ZkListenerView& listener, ZkChannelConfig output, float* gains);
    // The floats of scratch ComputeMultiRayMixMatrix needs.
    static size_t MultiRayScratchFloats(uint32_t rayCount, ZkChannelConfig input, ZkChannelConfig output);
    // The matrix of a voice heard along request.rayCount rays (see ZkMultiRayRequest) into
    // target.matrix: per ray the three-dimensional panning (spatialized and asked), the
    // two-dimensional matrix or the previous one, or k = 1 / sqrt(inputs) spread evenly for a
    // listener without spatialization (k / L over L speakers); then the LFE, the listener's
    // offsets (three-dimensional speaker outputs), and the rays combined (one: scaled by its gain;
    // several: summed in mode 1, else encoded for an ambisonic output or the loudest per
    // coefficient). scratch holds MultiRayScratchFloats. 1; 31 without rays.
    static ZKRESULT ComputeMultiRayMixMatrix(const ZkMultiRayRequest& request, const ZkMixMatrixTarget& target,
                                             float* scratch);
    static constexpr uint32_t kDryPath = 0;

    // The connection's two filter values from the rays its listener hears (ZkMixInstanceView's
    // RayListener) on the connection's path (its type: 0 dry, 1 and 2 the aux sends): the attenuation and the
    // environment of the connection's input, as the form above computes them, stored in the
    // connection (both kNoFiltering without such a ray) and in each ray.
    static void ComputeListenerFilters(ZkRay* rays, uint32_t rayCount, CZkMixerInputContext& connection);
    // The path whose gains and filters a connection of a type takes (3 and above: none, gain 1.0).
    static uint32_t PathOfConnection(uint32_t connectionType) { return connectionType < 3 ? connectionType : 3; }

    // One ray into an object (an audio-object or ambisonic destination that positions it by itself):
    // the input's channels assigned directly, every coefficient times gain; the item's place, spread
    // and focus go to object (when not null) for the destination to position it.
    static void ComputeAmbisonicMatrixScaled(float gain, const ZkPositioningRay& item, ZkChannelConfig input,
                                             ZkChannelConfig output, float* matrix, ZkObjectPlacement* object);

    // Several positions of one emitter heard by one listener, each panned into its own matrix: the
    // positions that overlap share their power (CZkSpeakerPan::NormalizePointOverlaps over the
    // items' unit directions, zero at the listener, with the widths of their spreads and the weights
    // of their gains, each at least 0.1), and each matrix (floats long) is scaled by its point's gain.
    static void ApplyListenerVoiceGains(uint32_t rayCount, const ZkPositioningRay* items, const float* gains,
                                        float* const* matrices, size_t floats);
    static constexpr float kMinimumOverlapWidth = 0.1f;
    static constexpr uint32_t kMaxVoiceRays = 64;
};
} // namespace ZK::SoundEngine
