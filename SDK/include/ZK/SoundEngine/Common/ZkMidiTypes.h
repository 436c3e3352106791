// The MIDI interface's records: a MIDI event posted on an event with its time (ZkMIDIPost), and the
// values of its fields. A post's event is the engine's 12-byte ZkMIDIEvent (ZkCallbackTypes.h); its
// offset counts samples from the start of the next audio frame, or, with the absolute flag of
// PostMIDIOnEvent, from the engine's start.
//
// Threading and ownership: plain values.
#pragma once

#include <ZK/SoundEngine/Common/ZkCallbackTypes.h>

#include <cstdint>

// Event types: the status byte's high nibble, and the engine's own commands.
enum ZkMidiEventType : uint8_t
{
    ZkMidiEventType_NoteOff = 0x80,
    ZkMidiEventType_NoteOn = 0x90,
    ZkMidiEventType_NoteAftertouch = 0xA0,
    ZkMidiEventType_Controller = 0xB0,
    ZkMidiEventType_ProgramChange = 0xC0,
    ZkMidiEventType_ChannelAftertouch = 0xD0,
    ZkMidiEventType_PitchBend = 0xE0,
    ZkMidiEventType_Command = 0xFE,
};

// The commands of a ZkMidiEventType_Command event (its 16-bit command; the argument word for seeks).
enum ZkMidiCommand : uint16_t
{
    ZkMidiCommand_Play = 0,
    ZkMidiCommand_Stop = 1,
    ZkMidiCommand_Pause = 2,
    ZkMidiCommand_Resume = 3,
    ZkMidiCommand_SeekMs = 4,
    ZkMidiCommand_SeekSamples = 5,
};

// One posted MIDI event (20 bytes): the event, then its offset in samples at byte 12.
#pragma pack(push, 4)
struct ZkMIDIPost
{
    ZkMIDIEvent event;
    uint64_t offset = 0;
};
#pragma pack(pop)
static_assert(sizeof(ZkMIDIPost) == 20, "a MIDI post is 20 bytes");
