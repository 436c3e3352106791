// CZkObjectProcessor (declaration only): the record of the audio objects of a device whose main mix
// is an object configuration (a sink that takes 3-D audio): which objects the sink renders itself
// and which go to the main or pass-through mix. The device makes one when its main mix is objects,
// ends its frame at the end of every frame, and lets it mix the frame's objects into a capture.
//
// Threading: engine thread. Ownership: the device's (memory pool 0).
#pragma once

#include <ZK/SoundEngine/Common/ZkAudioBuffer.h>
#include <ZK/SoundEngine/Common/ZkResult.h>

#include <cstdint>

class ZkAudioObjects;

namespace ZK::SoundEngine
{
class CZkObjectProcessor
{
public:
    // Room for the sink's maximum object count. 1 or 52. Not built yet: 4.
    ZKRESULT Init(uint32_t) { return ZK_NotImplemented; }
    void Term() {}
    void EndFrame() {}
    // Mixes every object of the frame into out through its panning matrix and its own ramp. Not
    // built yet: 4, nothing mixed.
    ZKRESULT MixObjectsInto(ZkAudioObjects*, ZkAudioBuffer&) { return ZK_NotImplemented; }
};
} // namespace ZK::SoundEngine
