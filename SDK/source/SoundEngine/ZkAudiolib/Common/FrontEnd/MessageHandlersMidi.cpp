// The handlers of the MIDI messages: posted MIDI (34) reaches the nodes the event plays, a stop
// (35) ends it; then each gives back what its message holds (the event's reference, and the
// pending reference on the playing id that the post took).
#include "ZkAudiolib/Common/FrontEnd/EngineMessageBodies.h"
#include "ZkAudiolib/Common/FrontEnd/EngineMessageHandlers.h"
#include "ZkAudiolib/Common/FrontEnd/MidiEventActions.h"

#include <ZK/SoundEngine/Common/ZkMidiTypes.h>

namespace ZK::SoundEngine::MessageHandlers
{
void PostMIDIOnEvent(EventManager&, const uint8_t* message, bool&)
{
    const auto body = ReadMessageBody<ZkPostMIDIMessage>(message);
    if (MidiEventActions::Qualifies(body.gameObject))
    {
        // The posts follow the head; the manager copies each one out (the ring keeps no alignment
        // for them).
        const auto* posts = reinterpret_cast<const ZkMIDIPost*>(message + MessageBytes<ZkPostMIDIMessage>());
        MidiEventActions::Post(body.event, body.gameObject, body.playingID, posts, body.count,
                               (body.absoluteOffsets & 0xFF) != 0);
    }
    ReleaseMessageHoldings(message);
}

void StopMIDIOnEvent(EventManager&, const uint8_t* message, bool&)
{
    const auto body = ReadMessageBody<ZkStopMIDIMessage>(message);
    if (MidiEventActions::Qualifies(body.gameObject))
        MidiEventActions::Stop(body.event, body.gameObject, body.playingID);
    ReleaseMessageHoldings(message);
}
} // namespace ZK::SoundEngine::MessageHandlers
