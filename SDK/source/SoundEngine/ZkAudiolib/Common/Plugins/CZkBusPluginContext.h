// CZkBusPluginContext: the host context of an effect or mixer plug-in that runs on a mix bus. The
// base's services, plus what a bus offers: the ids of the output device that serves the bus, the
// custom data the game posted for the bus's node, its game object and this plug-in, the frames
// per buffer, and three-dimensional panning matrices on the bus's device. The media of the plug-in's indexes come from the bus's media provider.
//
// Threading: the thread rendering the bus. Ownership: made by the bus for each plug-in it runs;
// the media references are the context's.
#pragma once

#include "ZkAudiolib/Common/Plugins/CZkPluginContextBase.h"

#include <ZK/SoundEngine/Common/ZkPositionTypes.h>

namespace ZK::SoundEngine
{
class CZkMixBus;
struct ZkPanningParams;

class CZkBusPluginContext final : public CZkPluginContextBase
{
public:
    // The bus, the key of the plug-in (for its custom data) and the effect object that maps the
    // plug-in's media indexes to media.
    void BindBus(CZkMixBus* bus, uint32_t slot, uint32_t pluginKey, const CZkEffectObject* mediaProvider);

    uint32_t GetCustomData(const void*& data, uint32_t& size) override;
    // The bus's own volume as a linear gain (0 below the floor).
    float GetOwnerGain() const override;
    // The configuration of what the bus's first dry connection feeds: 1, or 2 when there is none
    // or it is not a valid one.
    ZKRESULT GetOutputConfig(ZkChannelConfig& config) const override;
    // The measurements the plug-in wants of the bus's output objects (the bus's own metering bits).
    void SetMeteringFlags(uint32_t flags);
    // Share set and device ids of the device that serves the bus; both -1 without one.
    void GetOutputDeviceIDs(uint32_t& shareSetID, uint32_t& deviceID) const;
    uint16_t GetFramesPerBuffer() const;
    // Three-dimensional matrices on the bus's device (see CZkMixBus); 2 without a bus.
    ZKRESULT ComputeSpeakerVolumesForFrames(const ZkTransform& emitter, const ZkTransform& listener, float spread,
                                            float focus, ZkChannelConfig input, ZkChannelConfig output,
                                            float* matrix) const;
    ZKRESULT ComputeSpeakerVolumesForAngles(float azimuth, float elevation, float spread, float focus,
                                            ZkChannelConfig input, ZkChannelConfig output, float* matrix) const;
    ZKRESULT ComputePositionalMatrix(const ZkPanningParams& params, ZkChannelConfig input, ZkChannelConfig output,
                                     float* matrix) const;

private:
    CZkMixBus* m_bus = nullptr;
    uint32_t m_pluginKey = 0;
};
} // namespace ZK::SoundEngine
