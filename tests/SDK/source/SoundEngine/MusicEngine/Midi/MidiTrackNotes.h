// A short MIDI melody for the track-player tests: four notes of the heard instrument's range at
// ticks per quarter 480 and 120 quarter notes per minute (one tick is 50 samples at 48 kHz), as
// the media writer's description and as the seconds at which Debian's python3-mido plays its
// note-ons from a standard MIDI file of the same events (an oracle that shares nothing with the
// engine's reader).
#pragma once

#include "SDK/source/SoundEngine/MusicEngine/Midi/MidiMediaFixture.h"
#include "SDK/source/SoundEngine/ZkAudiolib/Common/Containers/EngineMemoryFixture.h"

#include <cstdint>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace ZkMidiTest
{
struct TrackNote
{
    uint8_t note;
    uint32_t onTick;
    uint32_t offTick;
};

inline const std::vector<TrackNote>& MelodyNotes()
{
    static const std::vector<TrackNote> notes = {{69, 0, 240}, {81, 480, 700}, {57, 960, 1300}, {76, 1500, 1900}};
    return notes;
}

// The "midi" object of the melody's media description.
inline std::string MelodyMidi()
{
    std::ostringstream text;
    text << R"({"ticks_per_quarter": 480, "tempo": 120, "events": [)";
    uint32_t tick = 0;
    const std::vector<TrackNote>& notes = MelodyNotes();
    for (size_t i = 0; i < notes.size(); ++i)
    {
        text << (i ? ", " : "") << R"({"delta": )" << notes[i].onTick - tick << R"(, "status": 144, "data": [)"
             << int(notes[i].note) << R"(, 100]}, {"delta": )" << notes[i].offTick - notes[i].onTick
             << R"(, "status": 128, "data": [)" << int(notes[i].note) << ", 0]}";
        tick = notes[i].offTick;
    }
    text << "]}";
    return text.str();
}

// The seconds at which mido plays each note-on of the melody.
inline std::vector<double> MidoMelodyNoteOns()
{
    std::ostringstream script;
    script << "import mido\nf = mido.MidiFile(ticks_per_beat=480); t = mido.MidiTrack(); f.tracks.append(t)\n"
              "t.append(mido.MetaMessage('set_tempo', tempo=mido.bpm2tempo(120), time=0))\ntick = 0\n";
    for (const TrackNote& n : MelodyNotes())
        script << "t.append(mido.Message('note_on', note=" << int(n.note) << ", velocity=100, time=" << n.onTick
               << " - tick))\nt.append(mido.Message('note_off', note=" << int(n.note) << ", time=" << n.offTick - n.onTick
               << "))\ntick = " << n.offTick << "\n";
    script << "now = 0.0\nfor m in f:\n    now += m.time\n    if m.type == 'note_on': print(repr(now))\n";
    ZkSoundFixtures::ScratchFolder folder;
    const auto path = folder.Path() / "mido_times.py";
    std::ofstream(path) << script.str();
    std::istringstream output(ZkEngineTest::RunCommand(std::string(kSystemPython) + " \"" + path.string() + "\""));
    std::vector<double> times;
    for (double seconds = 0; output >> seconds;)
        times.push_back(seconds);
    return times;
}
} // namespace ZkMidiTest
