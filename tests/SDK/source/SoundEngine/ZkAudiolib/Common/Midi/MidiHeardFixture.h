// The heard fixture of posted MIDI: the first-sound engine (offline rendering on the base sink, the
// capture callback) with a bank of the writer's making: a sampled 440 Hz tone of one second at
// 48 kHz, played by an instrument sound that tracks keys around root note 69 (MIDI play mode 1, on
// the Music bus), and by a second one that hands its note-offs to its voices (they play to the
// tone's end). Each has a play action and an event; MIDI is posted on the events.
#pragma once

#include "SDK/source/SoundEngine/ZkAudiolib/Common/Midi/MidiHeardOracle.h"
#include "SDK/source/SoundEngine/ZkAudiolib/Common/Renderer/FirstSoundFixture.h"

#include "ZkAudiolib/Common/GameObjects/CZkRegisteredObj.h"
#include "ZkAudiolib/Common/GameObjects/CZkRegistryMgr.h"
#include "ZkAudiolib/Common/Midi/CZkMidiPostMgr.h"
#include "ZkAudiolib/Common/Parameters/CZkRTPCMgr.h"

#include <ZK/SoundEngine/Common/ZkIdFromName.h>
#include <ZK/SoundEngine/Common/ZkMidiTypes.h>

#include <cmath>
#include <sstream>
#include <string>
#include <vector>

namespace ZkMidiHeardTest
{
using namespace ZkFirstSoundTest;

constexpr ZkUniqueID kInstrument = 900;
constexpr ZkUniqueID kHandedInstrument = 902;
constexpr uint32_t kToneFrames = 48000;
constexpr uint8_t kRootNote = 69;
constexpr double kRootHz = 440.0;

inline ZkMIDIPost Event(uint8_t type, uint8_t channel, uint8_t first, uint8_t second, uint64_t offset)
{
    ZkMIDIPost post;
    post.event.type = type;
    post.event.channel = channel;
    post.event.data[0] = first;
    post.event.data[1] = second;
    post.offset = offset;
    return post;
}
inline ZkMIDIPost NoteOn(uint8_t note, uint64_t offset, uint8_t channel = 0, uint8_t velocity = 100)
{
    return Event(ZkMidiEventType_NoteOn, channel, note, velocity, offset);
}
inline ZkMIDIPost NoteOff(uint8_t note, uint64_t offset, uint8_t channel = 0)
{
    return Event(ZkMidiEventType_NoteOff, channel, note, 0, offset);
}
inline ZkMIDIPost Controller(uint8_t controller, uint8_t value, uint64_t offset, uint8_t channel = 0)
{
    return Event(ZkMidiEventType_Controller, channel, controller, value, offset);
}
inline ZkMIDIPost Command(uint16_t command, uint64_t offset, uint32_t argument = 0)
{
    ZkMIDIPost post;
    post.event.type = ZkMidiEventType_Command;
    post.event.channel = 0;
    post.event.command = command;
    post.event.commandArgument = argument;
    post.offset = offset;
    return post;
}

inline double NoteHz(int note)
{
    return kRootHz * std::pow(2.0, (note - kRootNote) / 12.0);
}

class MidiHeard : public FirstSound
{
protected:
    void SetUp() override
    {
        FirstSound::SetUp();
        ASSERT_NO_FATAL_FAILURE(WriteBankFile("Midi.bnk", Description()));
    }

    static std::string Description()
    {
        return R"({"name": "Midi.bnk",
            "media": [{"id": 500, "wave": {"rate": 48000, "channels": 1, "frames": 48000,
                                           "parts": [{"tone": 440, "amp": 0.5}]}}],
            "chunks": [{"tag": "BKHD"}, {"tag": "DIDX"}, {"tag": "DATA"},
              {"tag": "HIRC", "items": [
                {"type": "sound", "id": 900, "media": 500, "bus": "Music",
                 "midi": {"play_mode": 1, "key_tracking": true, "root_note": 69}},
                {"type": "sound", "id": 902, "media": 500, "bus": "Music",
                 "midi": {"play_mode": 1, "key_tracking": true, "root_note": 69, "hand_note_off": true}},
                {"type": "action", "id": 910, "action": "play", "target": 900},
                {"type": "action", "id": 912, "action": "play", "target": 902},
                {"type": "event", "id": "Play_Instrument", "actions": [910]},
                {"type": "event", "id": "Play_Handed", "actions": [912]}]}]})";
    }

    void StartMidi() { ASSERT_NO_FATAL_FAILURE(Start("Midi.bnk")); }

    static ZkUniqueID Instrument() { return ZK::SoundEngine::GetIDFromString("Play_Instrument"); }
    static ZkUniqueID Handed() { return ZK::SoundEngine::GetIDFromString("Play_Handed"); }

    ZkPlayingID Post(std::vector<ZkMIDIPost> posts, ZkPlayingID playingID = 0, bool absolute = false,
                     ZkUniqueID event = 0)
    {
        return ZK::SoundEngine::PostMIDIOnEvent(event != 0 ? event : Instrument(), kEmitter, posts.data(),
                                                static_cast<uint16_t>(posts.size()), absolute, 0, nullptr, nullptr,
                                                playingID);
    }

    // The value the MIDI dispatch gave parameter id for the instrument's key on the emitter.
    bool Parameter(uint32_t id, uint8_t channel, uint8_t note, float& value) const
    {
        using namespace ZK::SoundEngine;
        ZkRTPCKey key;
        key.gameObject = g_pRegistryMgr->GetObj(kEmitter);
        key.midiTargetID = kInstrument;
        key.midiChannel = channel;
        key.midiNote = note;
        return g_pRTPCMgr->GetRTPCValue(id, key, value);
    }

    // The spectral peak (Hz) of each stretch of the capture, by numpy.
    std::vector<double> Frequencies(const std::vector<Burst>& stretches) const
    {
        return SpectralPeaks(m_folder.Path() / "capture.f32", captured, channels, kRate, stretches);
    }

    // The largest magnitude of channel 0 in [first, last].
    float Peak(size_t first, size_t last) const
    {
        const std::vector<float> left = Left();
        float peak = 0.0f;
        for (size_t i = first; i <= last && i < left.size(); ++i)
            peak = std::max(peak, std::fabs(left[i]));
        return peak;
    }
};
} // namespace ZkMidiHeardTest
