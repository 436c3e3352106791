// CZkVoicePipelineStage: one link of a voice's chain of stages (source, resampling, effect
// inserts, filter, modulation), pulled from its end once per audio frame. Each stage holds its
// input stage; an operation a stage has nothing of its own to do for is forwarded to the input,
// so the voice can send every chain-wide request (release the frame's buffers, skip time while
// virtual, enter or leave virtual mode, restart, consume markers) to the last stage only.
//
// Answers without an input: SkipFrames 2, LeaveVirtual 1, Restart 2, GetPitch 0, GetConverter
// null; ReleaseBuffer, EnterVirtual and ConsumeMarkers do nothing.
//
// Threading: the thread rendering the voice (the engine thread or a voice job of the render pass).
// Ownership: the voice owns its stages (memory pool 5); a stage only borrows its input.
#pragma once

#include "ZkAudiolib/Common/Voice/ZkResampler.h"

#include <ZK/SoundEngine/Common/ZkResult.h>

#include <cstdint>

namespace ZK::SoundEngine
{
// The media's channel-index converter (a source names one when its channels are not stored in
// pipeline order): handed to the resampler, which reorders while it converts.
struct ZkChannelConverter
{
    const ZkChannelConfig* config;
    CZkResampler::ChannelMappingFn mapping;
};

// Virtual modes of EnterVirtual and LeaveVirtual (the voice's below-threshold behaviour).
constexpr uint32_t kVirtualModeFromStart = 0;  // restart from the beginning when audible again
constexpr uint32_t kVirtualModeSkipTime = 1;   // time goes on (skipped) while virtual
constexpr uint32_t kVirtualModeResume = 2;     // resume where it stopped, buffers kept

class CZkVoicePipelineStage
{
public:
    CZkVoicePipelineStage() = default;
    virtual ~CZkVoicePipelineStage() = default;
    CZkVoicePipelineStage(const CZkVoicePipelineStage&) = delete;
    CZkVoicePipelineStage& operator=(const CZkVoicePipelineStage&) = delete;

    // The frame's buffers go back to where they came from.
    virtual void ReleaseBuffer()
    {
        if (m_input != nullptr)
            m_input->ReleaseBuffer();
    }
    // Advances time by frames output frames without audio; frames is rewritten to what was
    // skipped. 45, 17 when the end was reached, or a failure.
    virtual ZKRESULT SkipFrames(uint32_t& frames) { return m_input != nullptr ? m_input->SkipFrames(frames) : ZK_Fail; }
    virtual void EnterVirtual(uint32_t mode)
    {
        if (m_input != nullptr)
            m_input->EnterVirtual(mode);
    }
    virtual ZKRESULT LeaveVirtual(uint32_t mode, bool flag)
    {
        return m_input != nullptr ? m_input->LeaveVirtual(mode, flag) : ZK_Success;
    }
    virtual ZKRESULT Restart() { return m_input != nullptr ? m_input->Restart() : ZK_Fail; }
    // Pitch in cents of what the chain plays.
    virtual float GetPitch() { return m_input != nullptr ? m_input->GetPitch() : 0.0f; }
    // count markers of the delivered block were handed on: every stage holding marker counters
    // lowers them.
    virtual void ConsumeMarkers(uint32_t count)
    {
        if (m_input != nullptr)
            m_input->ConsumeMarkers(count);
    }
    virtual const ZkChannelConverter* GetConverter() { return m_input != nullptr ? m_input->GetConverter() : nullptr; }
    virtual void SetInput(CZkVoicePipelineStage* input) { m_input = input; }

    CZkVoicePipelineStage* Input() const { return m_input; }

protected:
    CZkVoicePipelineStage* m_input = nullptr;
};
} // namespace ZK::SoundEngine
