// CZkModulator (declaration only): a modulator's bank object. Game parameters drive its parameters
// (subscriber kind 3) through SetParamFromRTPC.
//
// Threading: audio thread, under the global engine lock. Ownership: the object index's.
#pragma once

#include <ZK/SoundEngine/Common/ZkRTPCKey.h>
#include <ZK/SoundEngine/Common/ZkResult.h>

#include <cstdint>

namespace ZK::SoundEngine
{
class CZkModulator
{
public:
    // (parameter bit, value, key). Not built yet: 4.
    ZKRESULT SetParamFromRTPC(uint32_t, float, const ZkRTPCKey&) { return ZK_NotImplemented; }
};
} // namespace ZK::SoundEngine
