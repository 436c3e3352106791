// ZkModulatorTrigger: what a playing object hands over when it starts or refreshes its modulators:
// the game object, the MIDI event that started the play (status 0 when the play is not
// MIDI-driven), the play's owner record, ids, the sample offset inside the current buffer, the
// caller's trigger kind (0 to 3) and the playing instance (voice). Its key is the scope of the
// play for game parameters.
//
// Threading and ownership: a plain value on the audio thread; the pointers name engine objects
// that the caller keeps alive for the call (the owner record is counted by whoever keeps it).
#pragma once

#include <ZK/SoundEngine/Common/ZkRTPCKey.h>
#include <ZK/SoundEngine/Common/ZkTypes.h>

#include <cstdint>

namespace ZK::SoundEngine
{
class CZkNodeInstanceRecord;
class CZkPlayingInstance;
class CZkRegisteredObj;

// MIDI status bytes (the channel is kept apart).
constexpr uint8_t kMidiStatusNoteOff = 128;
constexpr uint8_t kMidiStatusNoteOn = 144;
constexpr uint8_t kMidiStatusPolyPressure = 160;

// Trigger kinds as the callers use them: a play starts its instances (and retriggers envelopes);
// a refresh of a playing object's settings joins what runs.
constexpr int32_t kModulatorTriggerRefresh = 0;
constexpr int32_t kModulatorTriggerPlay = 1;

struct ZkModulatorMidiEvent
{
    uint8_t status = 0;
    uint8_t channel = kZkMidiAny;
    uint8_t unusedA[2] = {};
    uint8_t note = kZkMidiAny;
    uint8_t velocity = 0;
    uint8_t unusedB[2] = {};

    // Whether the event names a note (note-off, note-on, polyphonic pressure).
    bool NamesNote() const
    {
        return status == kMidiStatusNoteOff || status == kMidiStatusNoteOn || status == kMidiStatusPolyPressure;
    }
};
static_assert(sizeof(ZkModulatorMidiEvent) == 8, "a MIDI event of a trigger is 8 bytes");

struct ZkModulatorTrigger
{
    CZkRegisteredObj* gameObject = nullptr;
    ZkModulatorMidiEvent midi;
    uint64_t unused = 0;
    CZkNodeInstanceRecord* ownerRecord = nullptr;
    uint32_t midiTargetID = 0;
    ZkPlayingID playingID = 0;
    int32_t startOffset = 0;
    int32_t triggerKind = 0;
    CZkPlayingInstance* voice = nullptr;

    ZkRTPCKey Key() const
    {
        ZkRTPCKey key;
        key.gameObject = gameObject;
        key.playingID = playingID;
        key.midiTargetID = midiTargetID;
        key.midiChannel = midi.channel;
        key.midiNote = midi.NamesNote() ? midi.note : kZkMidiAny;
        key.instance = voice;
        return key;
    }
};
} // namespace ZK::SoundEngine
