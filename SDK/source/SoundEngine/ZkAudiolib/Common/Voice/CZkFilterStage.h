// CZkFilterStage: the voice's low-pass/high-pass stage. It embeds the voice's filter pair and runs
// it in place on every block that holds data; entering virtual mode clears the filter's history
// (a voice coming back must not ring with what it played before). Every other chain operation is
// forwarded to the input.
//
// Threading: the thread rendering the voice. Ownership: embedded in its voice; the filter's memory
// is set up and freed by the voice (Setup, Term of the filter).
#pragma once

#include "ZkAudiolib/Common/Voice/CZkVoicePipelineStage.h"

#include <Plugins/Effects/Common/ZkSrcLpHpFilter.h>

namespace ZK::SoundEngine
{
class CZkFilterStage final : public CZkVoicePipelineStage
{
public:
    void EnterVirtual(uint32_t mode) override
    {
        m_filter.Reset();
        CZkVoicePipelineStage::EnterVirtual(mode);
    }
    void Process(ZkAudioBuffer& buffer)
    {
        if (buffer.data != nullptr && buffer.validFrames != 0)
            m_filter.Process(&buffer);
    }
    CZkSrcLpHpFilter& Filter() { return m_filter; }

private:
    CZkSrcLpHpFilter m_filter;
};
} // namespace ZK::SoundEngine
