// CZkResamplingStage: the stage between a voice's source and its effects that converts the
// source's blocks (its rate, its pitch) into blocks at the engine's rate, through a CZkResampler.
// It holds the source's current block until every frame of it was converted, and fills an output
// block from the audio buffer pool that replaces the caller's block once it is full (45) or final
// (17). A block the source left unfinished in one frame (it starved) is finished in a later one.
//
// The first block after Setup starts with round((frames per buffer x speed + start delay) / speed)
// frames of silence when that is positive. While the instance's start delay (in source frames) has
// not elapsed, it is taken from the held input before anything is converted.
//
// Calling order per frame (the voice's source pull): StartFrame with the instance's pitch mode;
// while it answers 43 the voice lets the source fill the buffer and calls Convert with it; the
// frame ends with ReleaseBuffer. Setup once, SwitchSource when a second source takes over, Term at
// the end.
//
// Threading: the thread rendering the voice. Ownership: the stage owns its resampler memory and
// its output block (audio buffer pool) and returns the held input to its input stage.
#pragma once

#include "ZkAudiolib/Common/Voice/CZkVoicePipelineStage.h"
#include "ZkAudiolib/Common/Voice/ZkAudioFormat.h"
#include "ZkAudiolib/Common/Voice/ZkPipelineBuffer.h"
#include "ZkAudiolib/Common/Voice/ZkResampler.h"

#include <ZK/SoundEngine/Common/ZkMemoryMgr.h>

#include <cstdint>

namespace ZK::SoundEngine
{
class CZkResamplingStage final : public CZkVoicePipelineStage
{
public:
    static constexpr ZkMemoryId kPool = ZkMemID_Processing;
    // Pitch mode of the instance that jumps to a new pitch instead of gliding.
    static constexpr uint32_t kPitchModeJump = 0;

    CZkResamplingStage() { m_resampler.Init(); }
    ~CZkResamplingStage() override { Term(); }

    // Prepares the resampler for the source's format at the engine's sample rate and arms the
    // silence priming. startDelay (source frames still to wait, may be null) belongs to the playing
    // instance and is consumed here. 1, or the resampler's failure.
    ZKRESULT Setup(const ZkAudioFormat& format, int32_t* startDelay);
    // The source's channel converter, when it names one.
    void SetConverter(const ZkChannelConverter* converter);
    // Frame start: the pitch of the source is applied (a jump in pitch mode 0, else a glide); held
    // input is converted at once. 45 or 17 with the caller's block replaced; 43 when the source
    // must fill the block; 17 when the source ended and nothing is held.
    ZKRESULT StartFrame(ZkPipelineBuffer& buffer, uint32_t pitchMode);
    // Converts the block the source filled (or what is held).
    ZKRESULT Convert(ZkPipelineBuffer& buffer);
    // A second source takes over: its pitch and format re-initialise the resampler; startDelay is
    // its instance's (may be null).
    void SwitchSource(CZkVoicePipelineStage* source, const ZkAudioFormat& format, int32_t* startDelay);
    void Term();

    ZKRESULT SkipFrames(uint32_t& frames) override;
    void EnterVirtual(uint32_t mode) override;
    ZKRESULT LeaveVirtual(uint32_t mode, bool flag) override;
    // Drops the held input and the interpolation history; a block still being filled is kept.
    ZKRESULT Restart() override;
    // Frame end: returns the block that was handed on to the pool. A block not handed on yet keeps
    // its converted frames for the next frame (only Term and EnterVirtual other than resuming drop
    // it).
    void ReleaseBuffer() override;
    // A seek: frames converted for the old position, in a block not handed on yet, are stale.
    void DropUnfinishedOutput() { ReleaseOutput(); }
    // count markers at the front of the voice's array were handed on and removed: the windows held
    // here move down with the rest of the array.
    void ConsumeMarkers(uint32_t count) override;
    // The source moved the data of the input held from oldBase to newBase.
    void RelocateInput(const uint8_t* newBase, const uint8_t* oldBase);

    // While set, EnterVirtual (modes 1 and 2), LeaveVirtual and Restart stop at this stage.
    uint8_t hold = 0;
    // The markers of the voice (set by the voice; may be null).
    ZkPipelineMarker* markers = nullptr;

    CZkResampler& Resampler() { return m_resampler; }
    const ZkPipelineBuffer& HeldInput() const { return m_held; }
    uint32_t FramesProducedSinceReset() const { return m_producedSinceReset; }
    // Input frames held and not converted yet.
    uint32_t PendingFrames() const { return m_held.validFrames; }

private:
    void ApplyPitch(uint32_t pitchMode);
    // Frames of silence the first block starts with (every frame up to the one the start falls in).
    uint32_t PrimingFrames() const;
    // Takes the instance's start delay from the held input; false when it took all of it.
    bool ConsumeStartDelay();
    void ReleaseHeldInput();
    // Returns the output block to the pool, whatever it holds.
    void ReleaseOutput();
    void ClearHistory();
    void DeliverTo(ZkPipelineBuffer& buffer, ZKRESULT status);

    CZkResampler m_resampler;
    ZkPipelineBuffer m_held;
    ZkPipelineBuffer m_output;
    ZkAudioFormat m_format;
    int32_t* m_startDelay = nullptr;
    uint32_t m_producedSinceReset = 0;
    uint32_t m_pitchMode = kPitchModeJump;
    uint16_t m_maxFrames = 0;
    uint8_t m_noMoreInput = 0;
    uint8_t m_positionCaptured = 0;
    // The output block went to the caller (45 or 17) in this frame.
    uint8_t m_outputDelivered = 0;
    uint8_t m_primeWithSilence = 0;
};
} // namespace ZK::SoundEngine
