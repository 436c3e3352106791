// The event calls whose engine parts are not built yet: MIDI posts on events. Each answers 4 (0
// where it returns a playing id), takes no playing id and posts nothing. Their part replaces this
// file.
#include <ZK/SoundEngine/Common/ZkEventCalls.h>

namespace ZK::SoundEngine
{
ZkPlayingID PostMIDIOnEvent(ZkUniqueID, ZkGameObjectID, ZkMIDIPost*, uint16_t, bool, uint32_t, ZkCallbackFunc, void*,
                            ZkPlayingID)
{
    return ZK_INVALID_PLAYING_ID;
}

ZKRESULT StopMIDIOnEvent(ZkUniqueID, ZkGameObjectID, ZkPlayingID)
{
    return ZK_NotImplemented;
}
} // namespace ZK::SoundEngine
