// CZkSrcSilence: the engine's built-in silence source (plug-in 101 of company 0, type 2). It writes
// zeros for a set duration, with an optional random extension drawn at each start, so that a sound
// of the hierarchy can occupy time like any other sound (a gap in a sequence, or an event kept
// playing after its audible part).
//
// Its length: the nearest whole frames of max(duration + drawn extension, 0.001 s) at the output
// rate, per loop (loop count 0 loops forever). The byte position is 32 bits: a length that is not a number counts
// as 0.001 s, and every length is clamped to what the position can count over all its loops, so a
// huge or infinite duration from a bank plays for as long as it can instead of converting a float
// out of range or wrapping to an immediate end. GetDuration reports the clamped length.
//
// Threading: the thread rendering its voice. Ownership: allocated through the allocator it gets in
// Term, which frees it; the parameters and the context are the host's.
#pragma once

#include "Plugins/Sources/ZkSilenceSource/ZkFXSrcSilenceParams.h"

#include <ZK/SoundEngine/Common/IZkSourcePlugin.h>

#include <cstdint>

namespace ZK::SoundEngine
{
class CZkSrcSilence final : public ZK::IZkSourcePlugin
{
public:
    static constexpr uint32_t kPluginNumber = 101;
    static constexpr uint32_t kCompany = 0;
    static constexpr float kMinimumSeconds = 0.001f;

    static ZK::IZkPlugin* Create(ZK::IZkPluginMemAlloc* allocator);

    ZKRESULT Term(ZK::IZkPluginMemAlloc* allocator) override;
    ZKRESULT Reset() override;
    ZKRESULT GetPluginInfo(ZK::ZkPluginInfo& info) override;
    ZKRESULT Init(ZK::IZkPluginMemAlloc* allocator, ZK::IZkSourcePluginContext* context, ZK::IZkPluginParam* params,
                  ZkAudioFormat& format) override;
    float GetDuration() const override;
    float GetEnvelope() const override { return 1.0f; }
    ZKRESULT StopLooping() override;
    ZKRESULT Seek(uint32_t frame) override;
    ZKRESULT TimeSkip(uint32_t& frames) override;
    void Execute(ZkAudioBuffer* buffer) override;

    // The length of one loop in seconds after the checks above.
    float EffectiveSeconds() const { return m_effectiveSeconds; }
    float RandomOffsetSeconds() const { return m_randomOffset; }
    uint32_t PositionBytes() const { return m_positionBytes; }

private:
    // The bytes of every loop (at most 2^32 - 1).
    uint64_t TotalBytes() const;

    uint32_t m_sampleRate = 0;
    uint32_t m_bytesPerSample = 0;
    uint32_t m_positionBytes = 0;
    float m_randomOffset = 0.0f;
    uint16_t m_loops = 1;
    float m_effectiveSeconds = kMinimumSeconds;
    uint32_t m_passFrames = 0; // frames of one loop, fixed at Init
    CZkSrcSilenceParams* m_params = nullptr;
    ZK::IZkSourcePluginContext* m_context = nullptr;
};
} // namespace ZK::SoundEngine
