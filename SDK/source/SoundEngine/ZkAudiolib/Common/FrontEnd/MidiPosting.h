// The playing id of a MIDI post, shared by PostMIDIOnEvent and the plug-in context's immediate
// form: the given one when the playing manager knows it for the object and event (a pending
// reference is added), else a new one registered for the post without a message record (with its
// pending reference). 0 when there is no playing manager or it refuses the registration.
//
// Threading: any thread (the playing manager has its own lock).
#pragma once

#include <ZK/SoundEngine/Common/ZkEventCalls.h>

namespace ZK::SoundEngine
{
ZkPlayingID TakeMidiPlayingID(ZkUniqueID eventID, ZkGameObjectID gameObject, uint32_t flags, ZkCallbackFunc callback,
                              void* cookie, ZkPlayingID playingID);
} // namespace ZK::SoundEngine
