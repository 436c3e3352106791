// The heard fixture of music segments whose tracks hold MIDI clips: the music engine on the
// first-sound engine (offline rendering, the capture callback), and a bank of the writer's making.
// Its instrument is a sampled 440 Hz tone of one second that tracks keys around root note 69 (MIDI
// play mode 1, on the Music bus); its MIDI media (ticks per quarter 480) are played by music tracks
// that name the instrument as their MIDI target (property 56), themselves or through their segment.
// Debian's python3-mido tells where the notes of the same events belong (mido_note_times.py), and
// numpy measures their pitch (midi_heard.py of the posted-MIDI tests).
//
// The output renders nothing while no voice plays (no frame reaches the capture then), so the
// fixture notes which rendered frame each captured frame is, and hears the play on its own
// timeline: sample 0 is the first sample of the frame that starts the play, and the frames that
// delivered nothing are silence.
//
// Segments (each with its play event "Play_<name>"):
//   Track        the melody (media tempo 120) on a track that names the instrument; 3 s
//   Parent       the melody with a media tempo of 60 on a track that names nothing: the segment
//                names the instrument and a tempo of 120
//   Fast         Track's at a playback speed of 2 (segment property 54)
//   ClipEnd      Track's clip cut at 1300 ms, inside the melody's third note
//   SegmentEnd   Track's clip in a segment that ends at 1300 ms
//   NoTarget     the melody on a track and segment that name no MIDI target
//   Loop         one pass of four notes on a track that loops for ever (loop count 0), in a clip
//                and a segment of more than ten minutes
//   Short        one note at the clip's start, in a segment of 300 ms
//   BusTarget    volume 100 and a note on channel 0 on a track whose MIDI target is the Music bus
// and the events "Stop_Track", "Pause_Track" and "Resume_Track" (of the Track segment's play),
// "Mute_Track" and "Unmute_Track" (the gain of the Track segment's track for the emitter set to 0
// and reset).
#pragma once

#include "SDK/source/SoundEngine/MusicEngine/Heard/MusicHeardFixture.h"
#include "SDK/source/SoundEngine/ZkAudiolib/Common/Midi/MidiHeardOracle.h"

#include "MusicEngine/MusicEngineState.h"

#include <ZK/SoundEngine/Common/ZkCallbackTypes.h>
#include <ZK/SoundEngine/Common/ZkEventCalls.h>

#include <algorithm>
#include <cmath>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace ZkMidiClipTest
{
using namespace ZkFirstSoundTest;

// 60000 / (480 x 120) ms at 48 kHz.
constexpr double kTickSamples = 50.0;
constexpr int kRootNote = 69;

struct TrackNote
{
    uint8_t note;
    uint32_t onTick;
    uint32_t offTick;
};

// Five notes across the instrument's range; the first one an eighth after the track's start.
inline const std::vector<TrackNote> kMelody = {
    {69, 240, 480}, {81, 720, 940}, {57, 1200, 1540}, {76, 1740, 2140}, {64, 2400, 2600}};
// One pass ends at its last note-off (tick 1800) and starts again with its first delta: the
// notes of the looping track come one quarter apart across the passes.
inline const std::vector<TrackNote> kLoopPass = {{60, 120, 360}, {64, 600, 840}, {67, 1080, 1320}, {72, 1560, 1800}};
inline const std::vector<TrackNote> kDownbeat = {{69, 0, 100}};

inline double NoteHz(int note)
{
    return 440.0 * std::pow(2.0, (note - kRootNote) / 12.0);
}

// The media description of the notes: note-ons (velocity 100) and note-offs on channel 0 in tick
// order, a note-off before a note-on of the same tick.
inline std::string MidiMedia(const std::vector<TrackNote>& notes, double tempo)
{
    struct Message
    {
        uint32_t tick;
        bool on;
        uint8_t note;
    };
    std::vector<Message> messages;
    for (const TrackNote& n : notes)
    {
        messages.push_back({n.onTick, true, n.note});
        messages.push_back({n.offTick, false, n.note});
    }
    std::stable_sort(messages.begin(), messages.end(),
                     [](const Message& a, const Message& b) { return a.tick < b.tick || (a.tick == b.tick && !a.on && b.on); });
    std::ostringstream text;
    text << R"({"ticks_per_quarter": 480, "tempo": )" << tempo << R"(, "events": [)";
    uint32_t tick = 0;
    for (size_t i = 0; i < messages.size(); ++i)
    {
        const Message& m = messages[i];
        text << (i ? ", " : "") << R"({"delta": )" << m.tick - tick << R"(, "status": )" << (m.on ? 144 : 128)
             << R"(, "data": [)" << int(m.note) << ", " << (m.on ? 100 : 0) << "]}";
        tick = m.tick;
    }
    text << "]}";
    return text.str();
}

// What mido makes of a track: the time of its last event and of each note-on, in seconds.
struct MidoTrack
{
    double length = 0.0;
    std::vector<double> noteOns;
};

// One mido run for every track (MidiMedia descriptions).
inline std::vector<MidoTrack> MidoTimes(const std::vector<std::string>& tracks)
{
    ZkSoundFixtures::ScratchFolder folder;
    const auto path = folder.Path() / "tracks.json";
    std::string list = "[";
    for (size_t i = 0; i < tracks.size(); ++i)
        list += (i ? ", " : "") + tracks[i];
    std::ofstream(path) << list << "]";
    std::istringstream output(ZkEngineTest::RunCommand(
        "/usr/bin/python3 \"" + std::string(KP_SOURCE_DIR) +
        "/tests/SDK/source/SoundEngine/MusicEngine/Midi/mido_note_times.py\" \"" + path.string() + "\""));
    std::vector<MidoTrack> times;
    for (std::string line; std::getline(output, line);)
    {
        std::istringstream values(line);
        MidoTrack track;
        values >> track.length;
        for (double seconds = 0; values >> seconds;)
            track.noteOns.push_back(seconds);
        times.push_back(track);
    }
    EXPECT_EQ(times.size(), tracks.size()) << "mido answered: " << output.str();
    return times;
}

class MidiClipHeard : public MusicHeard
{
protected:
    MidiClipHeard() : MusicHeard("MidiClip.bnk", &Description) {}

    static std::string Description()
    {
        auto track = [](int id, int media, const std::string& extra, const std::string& clip) {
            return R"({"type": "music_track", "id": )" + std::to_string(id) +
                   R"(, "bus": "Master Audio Bus", "sources": [{"source": )" + std::to_string(media) +
                   R"(, "codec": "midi"}], "clips": [{"subtrack": 0, "source": )" + std::to_string(media) + ", " + clip +
                   "}]" + extra + "}";
        };
        auto segment = [](int id, int child, double durationMs, const std::string& extra, const std::string& name) {
            return R"({"type": "music_segment", "id": )" + std::to_string(id) + R"(, "children": [)" +
                   std::to_string(child) + R"(], "duration_ms": )" + std::to_string(durationMs) + extra +
                   R"(, "markers": [{"id": )" + std::to_string(id * 10 + 1) + R"(, "position_ms": 0.0}, {"id": )" +
                   std::to_string(id * 10 + 2) + R"(, "position_ms": )" + std::to_string(durationMs) + R"(}]},
                {"type": "action", "id": )" + std::to_string(id + 100) + R"(, "action": "play", "target": )" +
                   std::to_string(id) + R"(},
                {"type": "event", "id": "Play_)" + name + R"(", "actions": [)" + std::to_string(id + 100) + "]}";
        };
        const std::string target = R"(, "props": {"midi_target": 900})";
        const std::string melodyClip = R"("position_ms": 0.0, "duration_ms": 3000.0)";
        const std::string loopClip = R"("position_ms": 0.0, "duration_ms": 937.5, "end_trim_ms": 600062.5)";
        return R"({"name": "MidiClip.bnk",
            "media": [{"id": 500, "wave": {"rate": 48000, "channels": 1, "frames": 48000,
                                           "parts": [{"tone": 440, "amp": 0.5}]}},
                      {"id": 501, "midi": )" + MidiMedia(kMelody, 120) + R"(},
                      {"id": 502, "midi": )" + MidiMedia(kMelody, 60) + R"(},
                      {"id": 503, "midi": )" + MidiMedia(kLoopPass, 120) + R"(},
                      {"id": 504, "midi": )" + MidiMedia(kDownbeat, 120) + R"(},
                      {"id": 505, "midi": {"ticks_per_quarter": 480, "tempo": 120, "events": [
                          {"delta": 0, "status": 176, "data": [7, 100]},
                          {"delta": 0, "status": 144, "data": [69, 100]},
                          {"delta": 480, "status": 128, "data": [69, 0]}]}}],
            "chunks": [{"tag": "BKHD"}, {"tag": "DIDX"}, {"tag": "DATA"},
              {"tag": "HIRC", "items": [
                {"type": "sound", "id": 900, "media": 500, "bus": "Music",
                 "midi": {"play_mode": 1, "key_tracking": true, "root_note": 69}},
                )" + track(601, 501, target, melodyClip) + ", " + segment(701, 601, 3000.0, "", "Track") + R"(,
                )" + track(602, 502, "", melodyClip) + ", " +
               segment(702, 602, 3000.0, R"(, "props": {"midi_target": 900, "midi_tempo": 120.0})", "Parent") + R"(,
                )" + track(603, 501, target, melodyClip) + ", " + segment(703, 603, 3000.0, R"(, "props": {"54": 2.0})", "Fast") + R"(,
                )" + track(604, 501, target, R"("position_ms": 0.0, "duration_ms": 3000.0, "end_trim_ms": -1700.0)") + ", " +
               segment(704, 604, 3000.0, "", "ClipEnd") + R"(,
                )" + track(605, 501, target, melodyClip) + ", " + segment(705, 605, 1300.0, "", "SegmentEnd") + R"(,
                )" + track(606, 501, "", melodyClip) + ", " + segment(706, 606, 3000.0, "", "NoTarget") + R"(,
                )" + track(607, 503, R"(, "props": {"midi_target": 900, "loop_count": 0})", loopClip) + ", " +
               segment(707, 607, 601000.0, "", "Loop") + R"(,
                )" + track(608, 504, target, R"("position_ms": 0.0, "duration_ms": 200.0)") + ", " +
               segment(708, 608, 300.0, "", "Short") + R"(,
                )" + track(609, 505, R"(, "track_flags": 12, "props": {"midi_target": "Music"})", melodyClip) + ", " +
               segment(709, 609, 1000.0, "", "BusTarget") + R"(,
                {"type": "action", "id": 951, "action": "stop", "target": 701},
                {"type": "event", "id": "Stop_Track", "actions": [951]},
                {"type": "action", "id": 952, "action": "set_gain", "target": 601, "props": {"11": 0.0}},
                {"type": "event", "id": "Mute_Track", "actions": [952]},
                {"type": "action", "id": 953, "action": "reset_gain", "target": 601},
                {"type": "event", "id": "Unmute_Track", "actions": [953]},
                {"type": "action", "id": 954, "action": "pause", "target": 701},
                {"type": "event", "id": "Pause_Track", "actions": [954]},
                {"type": "action", "id": 955, "action": "resume", "target": 701},
                {"type": "event", "id": "Resume_Track", "actions": [955]}]}]})";
    }

    // Posts the event on the emitter; its end-of-event callback counts in ends.
    ZkPlayingID Post(const char* event)
    {
        return PostEvent(event, kEmitter, ZkCallbackType_EndOfEvent, &OnEnd, this);
    }
    // Posts a play: its first frame is the next one rendered, where the timeline starts.
    ZkPlayingID Play(const char* event)
    {
        captured.clear();
        m_deliveredAt.clear();
        m_rendered = 0;
        m_timelineStart = 0;
        return Post(event);
    }

    // Renders count frames, noting which of them reached the capture.
    void Render(uint32_t count)
    {
        for (uint32_t i = 0; i < count; ++i, ++m_rendered)
        {
            const size_t before = captured.size();
            ASSERT_EQ(RenderAudio(true), ZK_Success);
            if (captured.size() > before)
            {
                ASSERT_EQ(captured.size() - before, size_t{kFrames} * channels);
                m_deliveredAt.push_back(m_rendered);
            }
        }
    }

    // Channel 0 of what the play rendered since it started (or since the last TakeTimeline),
    // silence where no frame was delivered.
    std::vector<float> Timeline() const
    {
        std::vector<float> left(size_t{m_rendered - m_timelineStart} * kFrames, 0.0f);
        for (size_t delivered = 0; delivered < m_deliveredAt.size(); ++delivered)
        {
            const size_t frame = m_deliveredAt[delivered] - m_timelineStart;
            for (size_t i = 0; i < kFrames; ++i)
                left[frame * kFrames + i] = captured[(delivered * kFrames + i) * channels];
        }
        return left;
    }
    // The timeline since the last take; the capture is emptied (a long play keeps no audio).
    std::vector<float> TakeTimeline()
    {
        std::vector<float> left = Timeline();
        captured.clear();
        frameOffsets.clear();
        m_deliveredAt.clear();
        m_timelineStart = m_rendered;
        return left;
    }
    static void OnEnd(ZkCallbackType, ZkCallbackInfo* info) { ++static_cast<MidiClipHeard*>(info->cookie)->ends; }

    static bool MusicIsOver() { return ZK::MusicEngine::MusicEngineState::Get().FirstPlaying() == nullptr; }

    // The spectral peak (Hz) of each stretch of the timeline, by numpy.
    std::vector<double> Frequencies(const std::vector<float>& timeline, const std::vector<Burst>& stretches) const
    {
        return ZkMidiHeardTest::SpectralPeaks(m_folder.Path() / "timeline.f32", timeline, 1, kRate, stretches);
    }

    uint32_t ends = 0;

private:
    std::vector<uint32_t> m_deliveredAt; // the rendered frame of each captured frame
    uint32_t m_rendered = 0;
    uint32_t m_timelineStart = 0; // the rendered frame where the timeline's sample 0 lies
};
} // namespace ZkMidiClipTest
