// CZkSpeakerPan: the stateless panning maths of the mix pipeline. It turns an input channel
// configuration, heard through an output configuration with given panning settings, into a mixing
// matrix of amplitude gains, and holds the speaker-layout, pairwise-panning and ambisonic services
// those matrices are built from.
//
// Matrix layout (the volume matrix of the mixing kernels): one row per input channel in pipeline
// order; each row holds the output channel count rounded up to a multiple of 4 floats; entry (i, j)
// is the gain from input i to output j; padding columns are 0. The caller owns the matrix and every
// builder zero-fills it first. The LFE never takes part in panning: its row is routed LFE to LFE.
//
// Directions: panning azimuths in radians, positive to the left unless stated; ambisonic axes X
// front, Y left, Z up (engine positions x right, y up, z front enter as X = z, Y = -x, Z = y);
// spherical harmonics in ACN order with SN3D normalisation.
//
// Threading: every operation may run on any thread. The ambisonic coefficient tables are built
// lazily by the first caller and published with a compare-exchange (the loser frees its copy);
// InitTables/TermTables run at renderer start and stop while nothing else pans. Device caches
// (layouts, virtual-point sets, decoding matrices) are read and filled under the device's lock.
// Ownership: matrices and gain arrays belong to the caller; layouts to the device that built them.
#pragma once

#include "ZkSpeakerLayout.h"

#include <ZK/SoundEngine/Common/ZkChannelConfig.h>
#include <ZK/SoundEngine/Common/ZkResult.h>

#include <cstdint>

class CZkOutputDevice;
struct ZkVector;

namespace ZK::SoundEngine
{
struct ZkPanningParams;
struct ZkPositioningRay;
} // namespace ZK::SoundEngine

// Panning types of ComputeSpeakerVolumes.
enum ZkSpeakerPanningType : uint32_t
{
    ZkSpeakerPanning_Direct = 0,            // direct assignment or standard downmix
    ZkSpeakerPanning_Position2D = 1,        // two-dimensional position panning
    ZkSpeakerPanning_SpeakerSteering = 2,   // speaker-position steering
};

class CZkSpeakerPan
{
public:
    // Default speaker angles, degrees: front, side and rear azimuths and the height angle.
    static constexpr float kDefaultFrontAngleDeg = 45.0f;
    static constexpr float kDefaultSideAngleDeg = 90.0f;
    static constexpr float kDefaultRearAngleDeg = 135.0f;
    static constexpr float kDefaultHeightAngleDeg = 54.7f;
    static constexpr uint32_t kNumPlanarAngles = 3;
    // Smallest accepted gap between neighbouring speakers, degrees.
    static constexpr float kMinSpeakerGapDeg = 5.0f;
    static constexpr uint8_t kInvalidOrderIndex = 255;
    static constexpr uint32_t kMaxOrderIndex = 4;                       // fifth order
    static constexpr uint32_t kMaxAmbisonicChannels = 36;
    static constexpr uint32_t kCirclePointCount = 12;

    // --- Mixing matrices (speaker configurations) ---
    // The general builder. Never fails; unsupported combinations leave zeros.
    static void ComputeSpeakerVolumes(float panX, float panY, float panZ, float centrePercentage, uint32_t panningType,
                                      ZkChannelConfig input, ZkChannelConfig output, float* matrix,
                                      CZkOutputDevice* device);
    static void ComputeSpeakerVolumesDirect(ZkChannelConfig input, ZkChannelConfig output, float centrePercentage,
                                            float* matrix);
    static void GetDirectAssignmentMatrix(ZkChannelConfig input, ZkChannelConfig output, float* matrix);
    // The matrix of a positioned object (input rows, output columns rounded up to 4). Planar
    // parameters use the general builder (1). Three-dimensional ones need the device (2 without)
    // and pan the object's frame as a single ray, the input reduced to its speakers of 7.0, with
    // the LFE routed LFE to LFE; the ray panning's failure is returned. 31 for an object output.
    static ZKRESULT ComputeVolumesForParams(const ZK::SoundEngine::ZkPanningParams& params, ZkChannelConfig input,
                                            ZkChannelConfig output, CZkOutputDevice* device, float* matrix);
    // The standard downmix of the input speakers (LFE excluded) into the output layout; rows of an
    // output without a table stay as they were (zero after the builders' fill).
    static void DownmixStandard(ZkChannelConfig input, ZkChannelConfig output, float* matrix);
    // The row of one input speaker in the standard downmix onto an output mask (its columns in
    // output channel order); false when the output has no table.
    static bool GetStandardDownmixRow(uint32_t speakerBit, uint32_t outputMask, float* row);
    // Clears the input LFE row and routes it to the output LFE.
    static void RouteLfe(ZkChannelConfig input, ZkChannelConfig output, float* matrix);

    // --- Three-dimensional panning of an emitter ---
    // Fills the rows of the input channels whose speakers lie in channelMask (speaker bits) for one
    // ray: each channel a cloud of the device's virtual points around its place on the ring of
    // channels, narrowed by focus, carried into listener space by the ray's frame, narrowed around
    // the emitter direction by spread (0..1), then panned on the device's layout of the output
    // (centre share centrePercentage on layouts with FC) or encoded into an ambisonic output. Rows
    // of a speaker output hold amplitudes whose powers sum to 1 / (spatialised channels). An
    // ambisonic input is re-encoded or decoded through its order's sample points, spread alike.
    // A mono output takes 1.0 from every spatialised channel (W of an ambisonic input); a type-0
    // configuration gets direct assignment. Other rows, and every row when the device, a layout or
    // a point set is missing, are left as they are. The device lock is taken around its caches.
    static void ComputeSpeakerVolumes3D(const ZK::SoundEngine::ZkPositioningRay& ray, float centrePercentage,
                                        float spread, float focus, float* matrix, ZkChannelConfig input,
                                        uint32_t channelMask, ZkChannelConfig output, CZkOutputDevice* device);
    // The stereo law of a lateral position x (-1 left .. 1 right): adds weight x its power split to
    // power[0] (FL) and power[1] (FR).
    static void PanStereoLaw(float x, float weight, float* power);
    // Gains of count points that may overlap: point i (unit direction, width, weight) gets
    // weight_i^2 width_i / sum over j of width_j weight_j^2 overlap(i, j), where the overlap of two
    // points grows from 0 to 1 as their directions come within their widths. Points of width 0
    // overlap only when they coincide; gains of a zero sum are 0.
    static void NormalizePointOverlaps(uint32_t count, const ZkVector* directions, const float* widths,
                                       const float* weights, float* gains);
    // Where the channels of a positioned bus are heard: each channel's direction on the ring of
    // channels, turned by the bus's frame (the identity when identityOrientation) and drawn towards
    // the bus direction as its spread falls, as a listener-space position at the bus's distance
    // (a unit direction when the bus is at the listener), with the channel's weight. The LFE gets
    // (0, 0, 0) and weight 0. 1; 31 for a configuration that is not a speaker set of at most 7
    // channels besides the LFE (nothing is written).
    static ZKRESULT ComputeChannelDirectionMatrix(const ZK::SoundEngine::ZkPositioningRay& bus,
                                                  bool identityOrientation, ZkChannelConfig config, ZkVector* positions,
                                                  float* weights);

    // --- Two-dimensional position panning and speaker-position steering ---
    static void Pan2D(float panX, float panY, float centrePercentage, ZkChannelConfig input, ZkChannelConfig output,
                      float* matrix);
    static void PanBySpeakerPositions(float panX, float panY, float panZ, float centrePercentage,
                                      ZkChannelConfig input, ZkChannelConfig output, float* matrix);

    // --- Speaker angles and layouts ---
    // 1 and the smallest gap when valid; 2 when an angle is not below 180, the first is not below 90,
    // the angles do not increase, or a gap is 0 or not below 180; 31 when the smallest gap is below 5.
    static ZKRESULT ValidateSpeakerAngles(const float* degrees, uint32_t count, float& smallestGapDeg);
    static ZKRESULT ValidateAndConvertSpeakerAngles(const float* degrees, uint32_t count, float* radians,
                                                    float& smallestGapRad);
    static void RadiansToDegrees(const float* in, uint32_t count, float* out);
    static void DegreesToRadians(const float* in, uint32_t count, float* out);
    static void GetDefaultSpeakerAngles(float* anglesDeg, float& heightDeg);

    // Builds the layout of a configuration (LFE ignored) from three planar angles in radians (front,
    // side, rear) and the height angle in radians. On success *layout holds the new layout and a
    // previous one is freed after the new one is built; on failure (out of memory, or a mask that
    // forms no ring) the previous layout is freed and *layout is null.
    static void CreateSpeakerLayout(ZkChannelConfig config, const float* anglesRad, float heightRad,
                                    ZkSpeakerLayout*& layout);
    static void DestroySpeakerLayout(ZkSpeakerLayout*& layout);
    // Adds the power gains of one direction (x lateral to the right, z front) to gains[ring channel].
    static void PanPairwise(const float* pairs, uint32_t pairCount, float x, float z, float weight,
                            const uint8_t* ringChannels, float* gains);

    // --- Ambisonics ---
    // Order index (0..4 = orders 1..5) of an ambisonic channel count; 255 when invalid.
    static uint8_t OrderIndexOfChannelCount(uint32_t channels);
    // Mask of the ACN channels that a mixed-order layout lacks (bit n = channel n absent).
    static uint32_t AbsentChannelMask(uint32_t channels);
    // The ACN channel number of stored channel i of an ambisonic configuration; -1 when none.
    static int32_t AcnOfChannel(uint32_t channels, uint32_t i);
    static void ComputeSphericalHarmonics(float X, float Y, float Z, uint32_t order, uint32_t stride, float* out);
    // Azimuth positive to the right; elevation up; radians. Writes all (k + 2)^2 harmonics of the
    // order of the configuration's channel count (a mixed-order count still gets the full order);
    // nothing for an invalid count.
    static void EncodeDirection(float azimuth, float elevation, ZkChannelConfig config, float* out);
    static void ComputeSphericalHarmonicsForPoints(uint32_t orderIndex, const float* points, uint32_t count,
                                                   float* out);
    static const float* GetOrderWeights(uint32_t orderIndex);
    static const float* GetOrderWeights2D(uint32_t orderIndex);
    static void GetDecodingMatrixShape(ZkChannelConfig config, uint32_t& pointCount, uint32_t& orderIndex);
    static uint32_t GetSamplePointCount(uint32_t orderIndex);
    // Sample points (x, y, z, 0) in engine coordinates.
    static const float* GetSamplePoints(uint32_t orderIndex);
    static const float* GetCirclePoints();
    static void EncodeVector(uint32_t orderIndex, const float* values, float* out);
    // Matrix rows from values sampled at an order's points (values[p x outChannels + c]): entry
    // (row, c) = scale x weight(degree) x sum over p of harmonics[n][p] x values[p][c] for each
    // input channel whose ACN n the order holds (weights null: 1); rows stride floats apart.
    static void ProjectSampledValues(const float* harmonics, uint32_t points, uint32_t orderIndex, const float* weights,
                                     float scale, const float* values, ZkChannelConfig input, uint32_t outChannels,
                                     uint32_t stride, float* matrix);
    static void ComputeAmbisonicDecodingMatrix(ZkChannelConfig input, ZkChannelConfig output, float* matrix,
                                               CZkOutputDevice* device);
    // Builds the device's speaker layout of output and the decoding matrices of every full order
    // (4, 9, 16, 25 and 36 channels) into it, so that the render thread finds them cached instead of
    // building and allocating under the device lock. Called by the device's owner before rendering
    // (at device set-up and after its speaker angles change), on the engine thread. 1, or 52 when a
    // matrix cannot be built or cached for lack of memory.
    static ZKRESULT PrepareAmbisonicDecoding(CZkOutputDevice& device, ZkChannelConfig output);
    // Encodes the speakers of a speaker-mask input at their fixed directions (no device needed).
    static void EncodeSpeakersToAmbisonics(ZkChannelConfig input, ZkChannelConfig output, float* matrix);
    // Merges several rays' ambisonic rows into one encoding: per input channel, each sample point
    // keeps the strongest projection over the rays, then the points are encoded back.
    static void ComputeAmbisonicEncodingMatrix(const float* rayGains, uint32_t rayCount, const float* rayMatrices,
                                               uint32_t rayMatrixStride, ZkChannelConfig input,
                                               ZkChannelConfig output, float* matrix);
    static void InitTables();
    static void TermTables();

    // Lazily built tables (null when out of memory); order index 0..4.
    static const float* GetHarmonicTable3D(uint32_t orderIndex);
    static const float* GetHarmonicTable2D(uint32_t orderIndex);
    static const float* GetEncodingTable(uint32_t orderIndex);
};
