// A dense MIDI track through a track player, in ns per event: 16 notes per beat on each of 8
// channels (a note-on every 30 ticks at 480 ticks per quarter, its note-off 15 ticks later: 256
// events a beat, 512 a second at 120 quarter notes per minute), a looping bar, played on a sound
// node of a writer-made bank for one game object. A timed call is the track-player manager's frame
// of 1024 samples: the reader walks the frame's span, the events get their sample offsets and the
// frame's dispatch order, and each becomes a note event that starts or releases the node's voices
// (the render that plays the voices is not timed).
//   ours    the frame of the dense track, in ns per event it dispatched
//   empty   the same frame of a player whose track has no event in reach, divided by the same count
// No library a game would pick instead plays a MIDI track on a sample clock into its own voices:
// the standard-MIDI-file readers (libsmf, for one) only walk a file's events in time order, the
// smallest part of this work, and a software synthesiser's player renders its own instrument. So
// there is no peer library to compare with; the program says so and, like the posted-MIDI
// benchmark beside it, compares the frame with its own fixed cost.
#include "Music/MusicBenchEngine.h"
#include "Support/PeerRatios.h"
#include "Support/WrittenBank.h"

#include "MusicEngine/Midi/CZkMidiTrackPlayerMgr.h"
#include "ZkAudiolib/Common/Containers/ZkNew.h"
#include "ZkAudiolib/Common/GameObjects/CZkRegistryMgr.h"

#include <ZK/SoundEngine/Common/ZkEngineControls.h>
#include <ZK/SoundEngine/Common/ZkGameObjectCalls.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <vector>

namespace
{
using ZK::MusicEngine::CZkMidiTrackPlayback;
using ZK::MusicEngine::CZkMidiTrackPlayerMgr;

constexpr ZkUniqueID kNode = 900;
constexpr ZkGameObjectID kObject = 7;
constexpr ZkPlayingID kPlayingID = 0x6100;
constexpr uint32_t kFrame = 1024;
constexpr uint16_t kTicksPerQuarter = 480;
constexpr float kTempo = 120.0f;
constexpr uint32_t kChannels = 8;
constexpr uint32_t kNotesPerBeat = 16;
constexpr uint32_t kBeatsPerPass = 4;
constexpr uint32_t kStepTicks = kTicksPerQuarter / kNotesPerBeat; // 30
constexpr uint32_t kNoteTicks = kStepTicks / 2;                   // 15

std::vector<uint8_t> BenchBank()
{
    return WrittenBank(R"({"name": "MidiTrackBench.bnk",
        "media": [{"id": 500, "wave": {"rate": 48000, "channels": 1, "frames": 480, "parts": [{"tone": 440, "amp": 0.1}]}}],
        "chunks": [{"tag": "BKHD"}, {"tag": "DIDX"}, {"tag": "DATA"}, {"tag": "HIRC", "items": [
          {"type": "sound", "id": 900, "media": 500, "midi": {"play_mode": 1}}]}]})",
                       "kp_bench_midi_track");
}

void PutDelta(std::vector<uint8_t>& out, uint32_t delta)
{
    uint8_t groups[4];
    int count = 0;
    do
    {
        groups[count++] = static_cast<uint8_t>(delta & 0x7F);
        delta >>= 7;
    } while (delta != 0 && count < 4);
    while (count-- > 0)
        out.push_back(static_cast<uint8_t>(groups[count] | (count > 0 ? 0x80 : 0)));
}

// The track media: ticks per quarter (big-endian), the tempo (a little-endian float), then one
// bar of the dense pattern; dense false gives one far controller instead.
std::vector<uint8_t> TrackMedia(bool dense)
{
    std::vector<uint8_t> media = {static_cast<uint8_t>(kTicksPerQuarter >> 8), static_cast<uint8_t>(kTicksPerQuarter & 0xFF)};
    uint8_t tempo[4];
    std::memcpy(tempo, &kTempo, sizeof(tempo));
    media.insert(media.end(), tempo, tempo + 4);
    if (!dense)
    {
        PutDelta(media, 0x0FFFFFFF);
        media.insert(media.end(), {0xB0, 1, 0});
        return media;
    }
    for (uint32_t step = 0; step < kNotesPerBeat * kBeatsPerPass; ++step)
    {
        const auto note = static_cast<uint8_t>(48 + step % 24);
        for (uint32_t channel = 0; channel < kChannels; ++channel)
        {
            PutDelta(media, 0);
            media.insert(media.end(), {static_cast<uint8_t>(0x90 | channel), note, 100});
        }
        for (uint32_t channel = 0; channel < kChannels; ++channel)
        {
            PutDelta(media, channel == 0 ? kNoteTicks : 0);
            media.insert(media.end(), {static_cast<uint8_t>(0x80 | channel), note, 0});
        }
        // The next step starts kStepTicks after this one: its first event carries the rest.
        PutDelta(media, kStepTicks - kNoteTicks);
        media.insert(media.end(), {0xB0, 1, static_cast<uint8_t>(step % 128)});
    }
    return media;
}

// Events a frame of the dense track dispatches, on average: 2 per note, 16 notes per beat on each
// channel, plus the step's controller.
double DenseEventsPerFrame()
{
    const double beatsPerFrame = kTempo / 60.0 * kFrame / MusicBenchEngine::kMixRate;
    return beatsPerFrame * kNotesPerBeat * (2.0 * kChannels + 1.0);
}

void Frame(benchmark::State& state, bool dense)
{
    MusicBenchEngine engine(WrittenOnce<BenchBank>());
    if (!engine.Loaded() || ZK::SoundEngine::RegisterGameObj(kObject, "MidiTrackBench") != ZK_Success)
    {
        state.SkipWithError("the engine or the bank did not start");
        return;
    }
    ZK::SoundEngine::RenderAudio(true); // the registration is a message: one tick applies it
    const std::vector<uint8_t> media = TrackMedia(dense);
    auto* manager = ZK::ZkNew<CZkMidiTrackPlayerMgr>(CZkMidiTrackPlayerMgr::kPool);
    ZK::MusicEngine::ZkMidiTrackPlayRequest request;
    request.media = media.data();
    request.mediaSize = static_cast<uint32_t>(media.size());
    request.nodeID = kNode;
    request.gameObject = ZK::SoundEngine::g_pRegistryMgr->GetObj(kObject);
    request.playingID = kPlayingID;
    request.loop = true;
    CZkMidiTrackPlayback* player = nullptr;
    if (manager == nullptr || CZkMidiTrackPlayback::Create(*manager, request, player) != ZK_Success)
    {
        if (manager != nullptr)
            ZK::ZkDelete(CZkMidiTrackPlayerMgr::kPool, manager);
        state.SkipWithError("the player did not start");
        return;
    }
    double ns = 0.0;
    uint64_t frames = 0;
    for (auto _ : state)
    {
        const auto start = std::chrono::steady_clock::now();
        manager->AdvanceFrame(kFrame, 1.0f, kFrame);
        ns += std::chrono::duration<double, std::nano>(std::chrono::steady_clock::now() - start).count();
        ++frames;
        // The voices the notes started play and end in the render, which is not timed.
        ZK::SoundEngine::RenderAudio(true);
    }
    state.counters["ns_per_event"] = benchmark::Counter(ns / (static_cast<double>(frames) * DenseEventsPerFrame()));
    ZK::ZkDelete(CZkMidiTrackPlayerMgr::kPool, manager);
    ZK::SoundEngine::UnregisterGameObj(kObject);
}

void Ours(benchmark::State& state)
{
    Frame(state, true);
}
void Empty(benchmark::State& state)
{
    Frame(state, false);
}

const bool g_registered = [] {
    std::printf("No peer library: the MIDI-file readers a game could pick only walk a file's events, none plays a "
                "track on a sample clock into its voices; the dense track's frame is compared with the same frame "
                "of an empty track.\n");
    PeerBench::PeerRuns("midi_track_16_notes_per_beat_8_channels", "ours", &Ours)->Iterations(400);
    PeerBench::PeerRuns("midi_track_16_notes_per_beat_8_channels", "empty", &Empty)->Iterations(400);
    return true;
}();
} // namespace
