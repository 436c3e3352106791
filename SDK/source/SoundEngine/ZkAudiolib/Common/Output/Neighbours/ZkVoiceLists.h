// ZkVoiceLists (declaration only): the playing-voice lists the renderer initialises at its start
// and terminates at its end.
//
// Threading: engine thread. Ownership: the renderer's (memory pool 5).
#pragma once

#include <ZK/SoundEngine/Common/ZkResult.h>

namespace ZK::SoundEngine
{
class ZkVoiceLists
{
public:
    // 1 or 52. Not built yet: 4.
    static ZKRESULT Init() { return ZK_NotImplemented; }
    static void Term() {}
};
} // namespace ZK::SoundEngine
