// A mix context of the tests (a voice as far as connections, stages and plug-in contexts see it):
// it outputs the configuration it is given.
#pragma once

#include <ZkAudiolib/Common/MixGraph/CZkMixContext.h>

namespace ZkMixGraphTest
{
class TestMixContext final : public ZK::SoundEngine::CZkMixContext
{
public:
    ZkChannelConfig GetOutputConfig() const override { return outputConfig; }
    ZkChannelConfig outputConfig = ZkChannelConfig::FromMask(ZK_SPEAKER_SETUP_STEREO);
};
} // namespace ZkMixGraphTest
