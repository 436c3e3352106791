// CZkInPlaceEffectStage: an effect insert whose plug-in processes the voice's block where it is.
// Variant A hands the plug-in the block; variant B (plug-ins that process audio objects) hands it a
// list of one object whose buffer is the block (key -1, unit gains, every channel), and releases
// any buffer the plug-in attached to the list after the call. A block that has no memory yet (the
// tail flush after the input ended) gets a private block of the stage.
//
// Threading: the thread rendering the voice. Ownership: see CZkEffectStage.
#pragma once

#include "ZkAudiolib/Common/Voice/CZkEffectStage.h"

namespace ZK::SoundEngine
{
class CZkInPlaceEffectStage final : public CZkEffectStage
{
public:
    // Objects the plug-in may attach beside the block in variant B.
    static constexpr uint32_t kObjectListCapacity = 4;

    explicit CZkInPlaceEffectStage(bool processesObjects) : m_processesObjects(processesObjects) {}

    ZKRESULT GetPendingOutput(ZkPipelineBuffer& buffer) override;
    ZKRESULT Execute(ZkPipelineBuffer& buffer) override;
    ZKRESULT SkipFrames(uint32_t& frames) override;
    void ReleaseBuffer() override;

protected:
    ZKRESULT InitPlugin(CZkEffectPluginContext& context, ZK::IZkPluginParam* params,
                        ZK::ZkEffectFormat& format) override;

private:
    void RunPlugin(ZkAudioBuffer& block);
    ZKRESULT SkipPluginTime(uint32_t& frames);

    bool m_processesObjects;
};
} // namespace ZK::SoundEngine
