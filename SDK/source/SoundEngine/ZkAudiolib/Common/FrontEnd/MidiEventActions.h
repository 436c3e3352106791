// What the MIDI messages do with an event (34 and 35, and the plug-in context's immediate forms):
// the nodes that the event's play actions target (followed into the events that its post-event
// actions post) receive the posted MIDI, or have their MIDI stopped, through the MIDI post manager.
//
// Threading: engine thread, under the global engine lock.
#pragma once

#include <ZK/SoundEngine/Common/ZkMidiTypes.h>
#include <ZK/SoundEngine/Common/ZkTypes.h>

#include <cstdint>

namespace ZK::SoundEngine
{
class CZkIndexedObject;

namespace MidiEventActions
{
// Whether a MIDI message for the object goes on: all ones (every object), or a registered object
// with an emitter.
bool Qualifies(ZkGameObjectID gameObject);
// The posts go to every playlist, sound, switch or layered node the event plays, for the object
// and playing id.
void Post(const CZkIndexedObject* event, ZkGameObjectID gameObject, ZkPlayingID playingID, const ZkMIDIPost* posts,
          uint32_t count, bool absolute);
// The MIDI of every node the event plays stops for the object and playing id; without an event
// the MIDI of the playing id on the object (or every object) stops.
void Stop(const CZkIndexedObject* event, ZkGameObjectID gameObject, ZkPlayingID playingID);
} // namespace MidiEventActions
} // namespace ZK::SoundEngine
