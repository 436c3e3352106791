// A voice source of the tests' own that plays nothing: it starts, has no data and no duration, and
// answers its other operations with success. Tests that need a source as a key or as a product of
// a creator derive from it.
#pragma once

#include "ZkAudiolib/Common/Sources/CZkVoiceSource.h"

namespace ZkSourceTest
{
class SilentSource : public ZK::SoundEngine::CZkVoiceSource
{
public:
    explicit SilentSource(ZK::SoundEngine::CZkPlayingInstance* instance) : CZkVoiceSource(instance) {}
    ZKRESULT StartStream(const uint8_t*, uint32_t) override { return ZK_Success; }
    void StopStream() override {}
    ZKRESULT GetBuffer(ZK::SoundEngine::ZkPipelineBuffer&) override { return ZK_NoMoreData; }
    float GetDuration() override { return 0.0f; }
    ZKRESULT StopLooping() override { return ZK_Success; }
    ZKRESULT Seek() override { return ZK_Success; }
};
} // namespace ZkSourceTest
