// CZkOutOfPlaceEffectStage: an effect insert whose plug-in writes a block of its own, consuming
// the voice's blocks at its own pace (it may change the channel configuration, or the rate at which
// input turns into output). The stage holds the input block until the plug-in has consumed all of
// it, and hands the caller its output block once that is full (45) or final (17).
//
// Bypassed, the held input is mixed into the output through the speaker-panning matrix of the two
// configurations at unity gain. The mixing kernels work on whole groups of 16 frames here; the
// group is never allowed past either block's capacity (frames per buffer are only required to be a
// multiple of 8).
//
// When the instance tracks its play position, the stage keeps smoothed counts of input consumed
// and output produced per call and stamps its output with the input position and the rate between
// them.
//
// Threading: the thread rendering the voice. Ownership: see CZkEffectStage; the held input's
// samples belong to the input stage until it is released.
#pragma once

#include "ZkAudiolib/Common/Voice/CZkEffectStage.h"

namespace ZK::SoundEngine
{
class CZkOutOfPlaceEffectStage final : public CZkEffectStage
{
public:
    // Weight of the latest count in the smoothed counts.
    static constexpr float kSmoothing = 0.125f;
    // The bypass mix runs on groups of this many frames.
    static constexpr uint32_t kBypassGroupFrames = 16;
    // Largest matrix the bypass mix builds on the stack (inputs x outputs rounded up to 4).
    static constexpr uint32_t kMaxBypassMatrixFloats = 1024;

    CZkOutOfPlaceEffectStage();
    ~CZkOutOfPlaceEffectStage() override;

    ZKRESULT GetPendingOutput(ZkPipelineBuffer& buffer) override;
    ZKRESULT Execute(ZkPipelineBuffer& buffer) override;
    ZKRESULT SkipFrames(uint32_t& frames) override;
    void ConsumeMarkers(uint32_t count) override;
    void ReleaseBuffer() override;
    bool ReleaseInput() override;
    ZKRESULT Restart() override;

    // The instance reports its play position (the output is stamped with a position and rate).
    bool tracksPosition = false;

    const ZkPipelineBuffer& HeldInput() const { return m_held; }
    const ZkPipelineBuffer& Output() const { return m_output; }
    float SmoothedInput() const { return m_smoothedInput; }
    float SmoothedOutput() const { return m_smoothedOutput; }

protected:
    ZKRESULT InitPlugin(CZkEffectPluginContext& context, ZK::IZkPluginParam* params,
                        ZK::ZkEffectFormat& format) override;

private:
    void TakeInput(ZkPipelineBuffer& buffer);
    // Processes the held input into the output; the output's status.
    ZKRESULT Process();
    ZKRESULT MixBypassed();
    void StampPosition(uint32_t produced);
    void ResetHeldInput();

    ZkPipelineBuffer m_held;    // validFrames: input frames not consumed yet, from m_heldOffset on
    ZkPipelineBuffer m_output;  // the stage's own block
    uint16_t m_callerMaxFrames = 0;
    uint16_t m_taken = 0;       // input frames consumed during this call
    uint32_t m_heldOffset = 0;  // input frames of the held block consumed before
    uint32_t m_consumedTotal = 0;
    uint32_t m_consumedSinceReset = 0;
    uint32_t m_consumedSinceEstimate = 0;
    float m_smoothedInput = 1.0f;
    float m_smoothedOutput = 1.0f;
};
} // namespace ZK::SoundEngine
