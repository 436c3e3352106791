// A mix context of the tests (a voice as far as connections, stages and plug-in contexts see it):
// it outputs the configuration it is given. And a bus that stands alone, outside the renderer's
// graph: its configuration, node, listener, level and device are set by the test.
#pragma once

#include <ZkAudiolib/Common/GameObjects/CZkGameObject.h>
#include <ZkAudiolib/Common/MixGraph/CZkMixBus.h>
#include <ZkAudiolib/Common/MixGraph/CZkMixContext.h>

namespace ZkMixGraphTest
{
class TestMixContext final : public ZK::SoundEngine::CZkMixContext
{
public:
    ZkChannelConfig GetOutputConfig() const override { return outputConfig; }
    ZkChannelConfig outputConfig = ZkChannelConfig::FromMask(ZK_SPEAKER_SETUP_STEREO);
};

class TestBus final : public ZK::SoundEngine::CZkMixBus
{
public:
    explicit TestBus(ZkChannelConfig config = ZkChannelConfig::FromMask(ZK_SPEAKER_SETUP_STEREO))
    {
        Init(config, ZK::SoundEngine::ZkMixBusKey());
        SetVolumeDb(0.0f); // as the frame's update leaves a bus without a node instance
    }
    // The bus node (and the listener game object, which the key references) of the bus.
    void SetKey(ZK::SoundEngine::CZkHierarchyNode* node, ZK::SoundEngine::CZkGameObject* listener = nullptr)
    {
        AssignKey(ZK::SoundEngine::ZkMixBusKey(node, 0, listener));
    }
    void SetLevelDb(float db) { SetVolumeDb(db); }
    CZkOutputDevice* GetOutputDevice() const override { return device; }

    CZkOutputDevice* device = nullptr;
};
} // namespace ZkMixGraphTest
