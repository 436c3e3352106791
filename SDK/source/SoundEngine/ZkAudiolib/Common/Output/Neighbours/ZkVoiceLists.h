// ZkVoiceLists (declaration only): the playing-voice lists the renderer initialises at its start
// and terminates at its end, and the launch counter that play actions raise.
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
    // One more play launched by an action or a sequence item (the launch number of the commands
    // queued next). Not built yet: nothing is counted.
    static void IncrementLaunchCounter() {}
};
} // namespace ZK::SoundEngine
