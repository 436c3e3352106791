// CZkEffectStage: the base of a voice's effect inserts. An effect stage runs one effect plug-in on
// the voice's block: in place (the plug-in processes the block it gets), or out of place (the
// plug-in writes a block of its own, at a rate of its own). A stage may be bypassed (its 16-bit
// bypass value is not 0, or the instance bypasses all effects): the plug-in is then reset once
// when the bypass starts, and the audio passes by it.
//
// A stage is finished once its input reported the end (17); the next pending-output request lets
// the plug-in flush its tail. Restart and EnterVirtual (mode 0) clear that.
//
// Life cycle: construct (pool 5), Init with the plug-in, SetInput, then per frame
// GetPendingOutput / Execute; Destroy (plug-in terminated, effect context unsubscribed), then the
// destructor frees what is left.
// Threading: the thread rendering the voice. Ownership: the stage owns its plug-in instance (pool 6
// allocator), its private block and its output block (pool 5); the effect context's parameters
// belong to the effect object.
#pragma once

#include "ZkAudiolib/Common/Plugins/CZkEffectPluginContext.h"
#include "ZkAudiolib/Common/Voice/CZkVoicePipelineStage.h"
#include "ZkAudiolib/Common/Effects/CZkEffectContext.h"
#include "ZkAudiolib/Common/Voice/ZkPipelineBuffer.h"

#include <ZK/SoundEngine/Common/IZkEffectPlugin.h>
#include <ZK/SoundEngine/Common/ZkMemoryMgr.h>

#include <cstdint>

namespace ZK::SoundEngine
{
class CZkEffectObject;
class CZkGameObject;
class CZkMixContext;

class CZkEffectStage : public CZkVoicePipelineStage
{
public:
    static constexpr ZkMemoryId kPool = ZkMemID_Processing;
    static constexpr uint32_t kBlockAlignment = 16;

    ~CZkEffectStage() override;

    // Binds the plug-in context to the voice and slot, has the effect object create the
    // instance's parameters (2 when it cannot), then starts the plug-in with the running format
    // (its result when not 1) and resets it.
    ZKRESULT Init(ZK::IZkEffectPlugin* plugin, CZkEffectObject& effect, uint32_t slot, CZkMixContext& voice,
                  CZkGameObject* gameObject, ZK::ZkEffectFormat& format);
    // Terminates the plug-in, then unsubscribes the effect context.
    void Destroy();
    // The plug-in's Term with the pool-6 allocator, then the private block is freed.
    void TermPlugin();
    // Out-of-place stages give back the input's block they hold (1); in-place stages hold none.
    virtual bool ReleaseInput() { return false; }
    // The stage still holds output from earlier (45 or 17 with the block filled), or 43.
    virtual ZKRESULT GetPendingOutput(ZkPipelineBuffer& buffer) = 0;
    virtual ZKRESULT Execute(ZkPipelineBuffer& buffer) = 0;
    // A bank change touched media mediaID: the plug-in may take its new version.
    void RefreshMedia(ZkUniqueID mediaID)
    {
        if (m_plugin != nullptr)
            m_pluginContext.RefreshMedia(mediaID, *m_plugin);
    }
    ZK::IZkEffectPlugin* GetPlugin() const { return m_plugin; }
    ZkChannelConfig GetOutputConfig() const { return m_outputConfig; }

    void EnterVirtual(uint32_t mode) override;
    ZKRESULT LeaveVirtual(uint32_t mode, bool flag) override;
    ZKRESULT Restart() override;

    // The bypass value (non-zero: bypassed).
    uint16_t bypass = 0;
    // The markers of the voice, for stages that move them (set by the voice; may be null).
    ZkPipelineMarker* markers = nullptr;

    ZkUniqueID EffectID() const { return m_effectID; }
    bool IsFinished() const { return m_finished != 0; }
    CZkEffectPluginContext& PluginContext() { return m_pluginContext; }

protected:
    // The plug-in's start (its interface differs per stage kind).
    virtual ZKRESULT InitPlugin(CZkEffectPluginContext& context, ZK::IZkPluginParam* params,
                                ZK::ZkEffectFormat& format) = 0;
    // Whether the block passes by the plug-in this frame.
    bool IsBypassed() const;
    // The plug-in's Reset at the first bypassed frame of a bypass period.
    void ResetOncePerBypass();
    // A private block for maxFrames x the channels of config (16-byte aligned, pool 5).
    static void* AllocateBlock(uint16_t maxFrames, ZkChannelConfig config);

    ZK::IZkEffectPlugin* m_plugin = nullptr;
    void* m_privateBlock = nullptr;
    ZkChannelConfig m_outputConfig;
    uint8_t m_finished = 0;
    uint8_t m_resetWhileBypassed = 0;

private:
    CZkEffectPluginContext m_pluginContext;
    CZkEffectContext m_effectContext;
    ZkUniqueID m_effectID = 0;
};
} // namespace ZK::SoundEngine
