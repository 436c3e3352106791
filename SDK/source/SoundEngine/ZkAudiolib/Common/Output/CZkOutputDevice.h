// CZkOutputDevice: one destination of the final mix. This file holds the part of the device record
// that panning reads: the main-mix channel configuration, the panning rule, the speaker angles and
// the caches built from them (speaker layouts per channel configuration, ambisonic decoding
// matrices per input/output pair). Sink, buses, effects and capture join the record later.
//
// Threading: the device lock guards the angle table and the caches. Panning on the audio thread
// and the engine thread's speaker-angle handler both take it; the lock is recursive, so a panner
// that holds it may call the cache functions.
// Ownership: the device owns its angle table, layouts and cached matrices (memory pool 0) and
// frees them in Term (or its destructor). Pointers handed out by the caches stay valid while the
// caller holds the device lock.
#pragma once

#include <Platform/PlatformLock.h>
#include <ZK/SoundEngine/Common/ZkChannelConfig.h>
#include <ZK/SoundEngine/Common/ZkResult.h>

#include <cstdint>

struct ZkSpeakerLayout;

class CZkOutputDevice
{
public:
    // Valid speaker heights, degrees.
    static constexpr float kMinHeightAngleDeg = -90.0f;
    static constexpr float kMaxHeightAngleDeg = 90.0f;

    CZkOutputDevice() = default;
    ~CZkOutputDevice();
    CZkOutputDevice(const CZkOutputDevice&) = delete;
    CZkOutputDevice& operator=(const CZkOutputDevice&) = delete;

    // Frees the angle table and empties every cache.
    void Term();

    // Angles in degrees (front, side, rear, ...), count of them, and the height angle in degrees.
    // 31 for a height outside [-90, 90]; 2 when the table cannot be allocated or the angles are
    // invalid; 31 when the smallest gap is below 5 degrees (the validator's result). Only on success
    // is the table replaced; in every case except the height check the cached layouts are rebuilt
    // from the current table and the decoding cache is emptied.
    ZKRESULT SetSpeakerAngles(const float* anglesDeg, uint32_t count, float heightDeg);

    // The layout of a speaker configuration (LFE ignored), built on first use from the current
    // angles (defaults where the table is shorter than three); null when it cannot be built.
    // The caller holds the device lock while it uses the layout.
    const ZkSpeakerLayout* GetSpeakerLayout(ZkChannelConfig config);

    // Decoding-matrix cache keyed by (input, output). Find copies a cached matrix of floatCount
    // floats into matrix and answers true on a hit. Add keeps a copy; false when out of memory.
    bool FindDecodingMatrix(ZkChannelConfig input, ZkChannelConfig output, float* matrix, uint32_t floatCount);
    bool AddDecodingMatrix(ZkChannelConfig input, ZkChannelConfig output, const float* matrix, uint32_t floatCount);

    ZK::Platform::ZkCriticalSection& GetLock() { return m_lock; }

    ZkChannelConfig channelConfig;          // the main mix's configuration
    uint32_t panningRule = 0;              // the output settings' panning rule
    uint32_t busAssignment = 0;            // the bus assigned to the device; 0 when none

    const float* GetSpeakerAnglesRad() const { return m_speakerAngles; }
    uint32_t GetSpeakerAngleCount() const { return m_speakerAngleCount; }
    // Reciprocal of the smallest angular gap in radians: the virtual-point density of 3-D panning.
    float GetInverseMinSpeakerGap() const { return m_inverseMinSpeakerGap; }
    float GetHeightAngleRad() const { return m_heightAngle; }
    uint32_t GetCachedLayoutCount() const { return m_layoutCount; }
    uint32_t GetCachedDecodingMatrixCount() const { return m_decoderCount; }

private:
    struct LayoutEntry
    {
        ZkChannelConfig config;
        ZkSpeakerLayout* layout;
    };
    // 24 bytes: the key pair, the matrix and its size.
    struct DecoderEntry
    {
        ZkChannelConfig input;
        ZkChannelConfig output;
        float* matrix;
        uint32_t floatCount;
        uint32_t reserved;
    };

    void PlanarAnglesRad(float* anglesRad) const;
    void RebuildLayouts();
    void ClearDecodingMatrices();

    ZK::Platform::ZkCriticalSection m_lock;
    float* m_speakerAngles = nullptr;       // radians, memory pool 0
    uint32_t m_speakerAngleCount = 0;
    float m_inverseMinSpeakerGap = 0.0f;
    float m_heightAngle = 0.0f;             // radians; the default height until angles are set
    bool m_heightSet = false;
    LayoutEntry* m_layouts = nullptr;
    uint32_t m_layoutCount = 0;
    uint32_t m_layoutCapacity = 0;
    DecoderEntry* m_decoders = nullptr;
    uint32_t m_decoderCount = 0;
    uint32_t m_decoderCapacity = 0;
};
