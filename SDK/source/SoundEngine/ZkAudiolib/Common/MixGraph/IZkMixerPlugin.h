// IZkMixerPlugin: a mixer plug-in (type 6) of a channel-based mix bus. Instead of the bus's own
// matrix mix, the plug-in receives every input of the bus (with the connection describing it) and
// writes the bus's mix itself; then it sees the mix after the bus's effects, and the mix with its
// meter at the end of the bus's frame.
//
// Calling order per frame: ConsumeInput for each input that has audio, OnInputsEnded, (the bus's
// effects), OnOutputReady, OnFrameEnd. OnInputConnected and OnInputDisconnected follow the graph.
//
// Threading: the thread processing the bus. Ownership: as every plug-in (IZkPlugin); the contexts
// and buffers it is handed are the engine's.
#pragma once

#include <ZK/SoundEngine/Common/IZkEffectPlugin.h>
#include <ZK/SoundEngine/Common/ZkMeteringCallbacks.h>

namespace ZK::SoundEngine
{
class IZkMixerInputContext;

class IZkMixerPlugin : public ZK::IZkPlugin
{
public:
    // The bus's configuration in format (it must stay as it is).
    virtual ZKRESULT Init(ZK::IZkPluginMemAlloc* allocator, ZK::IZkEffectPluginContext* context,
                          ZK::IZkPluginParam* params, ZK::ZkEffectFormat& format) = 0;
    virtual void OnInputConnected(IZkMixerInputContext* input) = 0;
    virtual void OnInputDisconnected(IZkMixerInputContext* input) = 0;
    // One input's block of this frame (filtered, zero-padded to full length) to be mixed into mix.
    virtual void ConsumeInput(IZkMixerInputContext* input, ZkAudioBuffer* block, ZkAudioBuffer* mix) = 0;
    virtual void OnInputsEnded(ZkAudioBuffer* mix) = 0;
    virtual void OnOutputReady(ZkAudioBuffer* mix) = 0;
    // The mix as the bus outputs it, and its meter (null without metering).
    virtual void OnFrameEnd(ZkAudioBuffer* mix, const IZkBusMeter* meter) = 0;
};
} // namespace ZK::SoundEngine
