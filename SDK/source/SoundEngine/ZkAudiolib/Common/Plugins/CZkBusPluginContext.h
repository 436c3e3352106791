// CZkBusPluginContext: the host context of an effect or mixer plug-in that runs on a mix bus. The
// base's services, plus what a bus offers: the ids of the output device that serves the bus, the
// custom data the game posted for the bus's node, its game object and this plug-in, the frames
// per buffer, and the bus itself for its three-dimensional panning matrices. The media of the plug-in's indexes come from the bus's media provider.
//
// Threading: the thread rendering the bus. Ownership: made by the bus for each plug-in it runs;
// the media references are the context's.
#pragma once

#include "ZkAudiolib/Common/Plugins/CZkPluginContextBase.h"

namespace ZK::SoundEngine
{
class CZkMixBus;

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
    // The bus, whose own services the plug-in may call (its three-dimensional matrices on its
    // device, CZkMixBusPanning.cpp); null before BindBus.
    CZkMixBus* Bus() const { return m_bus; }

private:
    CZkMixBus* m_bus = nullptr;
    uint32_t m_pluginKey = 0;
};
} // namespace ZK::SoundEngine
