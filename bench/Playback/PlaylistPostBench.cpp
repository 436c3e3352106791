// Posting an event and executing its play, per post, through the running engine (offline rendering,
// the base sink): 32 posts, then the tick that applies them, runs their play actions and renders
// the frame in which the 32 voices start. Each voice plays a 1500-frame tone, so that all 32 are
// seen playing after the timed tick; the frames that end them and retire their plays are rendered
// outside the timing.
//   ours          the event's target is a random playlist of 16 sounds (standard random selection,
//                 avoid-repeat window of 1, global history): each play draws from the engine's
//                 generator, updates the history and plays the chosen child
//   plain_sound   the event's target is one sound of the same media: the same post, action, play
//                 and voice without the container
// The ratio is the cost of a post through the playlist against a post of the plain sound.
#include "Support/BenchEngine.h"
#include "Support/PeerRatios.h"
#include "Support/WrittenBank.h"

#include "ZkAudiolib/Common/Renderer/CZkAudioRenderer.h"

#include <ZK/SoundEngine/Common/ZkBankCalls.h>
#include <ZK/SoundEngine/Common/ZkSoundEngine.h>

#include <chrono>
#include <string>
#include <vector>

namespace
{
using namespace ZK::SoundEngine;

constexpr uint32_t kPostsPerTick = 32;
constexpr uint32_t kPlaylistSounds = 16;
constexpr uint32_t kBlockFrames = 1024;
constexpr uint32_t kMixRate = 48000;
constexpr uint32_t kRetireFrames = 8;
constexpr ZkGameObjectID kObject = 7;

// The bank of the benchmark, written by the project's bank writer: sounds 10 .. 25 in playlist 30,
// sound 40 alone, both on one bus of the main device.
std::vector<uint8_t> BenchBank()
{
    std::string sounds;
    std::string children;
    for (uint32_t index = 0; index < kPlaylistSounds; ++index)
    {
        const std::string id = std::to_string(10 + index);
        sounds += R"({"type": "sound", "id": )" + id + R"(, "media": 1, "bus": "Bench Bus"}, )";
        children += (index ? ", " : "") + id;
    }
    const std::string description = R"({"name": "PlaylistBench.bnk",
      "media": [{"id": 1, "wave": {"rate": 48000, "channels": 1, "frames": 1500,
                 "parts": [{"tone": 440, "amp": 0.5}]}}],
      "chunks": [{"tag": "BKHD"}, {"tag": "DIDX"}, {"tag": "DATA"},
        {"tag": "HIRC", "items": [
          {"type": "bus", "id": "Bench Bus", "device": "System"}, )" +
                                    sounds + R"(
          {"type": "playlist", "id": 30, "play_mode": "random", "avoid_repeat": 1, "children": [)" +
                                    children + R"(]},
          {"type": "sound", "id": 40, "media": 1, "bus": "Bench Bus"},
          {"type": "action", "id": 50, "action": "play", "target": 30},
          {"type": "action", "id": 51, "action": "play", "target": 40},
          {"type": "event", "id": "Play_Playlist", "actions": [50]},
          {"type": "event", "id": "Play_Plain", "actions": [51]}]}]})";
    return WrittenBank(description, "zk_playlist_bench");
}

class PostingEngine
{
public:
    PostingEngine()
    {
        if (!m_engine.Started())
            return;
        SetOfflineRenderingFrameTime(static_cast<float>(kBlockFrames) / kMixRate);
        SetRandomSeed(11);
        // Written once (the writer is slow to start) and viewed by every engine of the program.
        static const std::vector<uint8_t> written = BenchBank();
        ZkBankID bank = 0;
        if (written.empty() || LoadBankMemoryView(written.data(), static_cast<uint32_t>(written.size()), bank) != ZK_Success)
            return;
        m_ready = RegisterGameObj(kObject) == ZK_Success && RenderAudio(true) == ZK_Success;
    }
    bool Ready() const { return m_ready; }

    // Renders until every play has ended. False when some play is still on after kRetireFrames.
    static bool Retire()
    {
        for (uint32_t frame = 0; frame < kRetireFrames; ++frame)
        {
            uint32_t playing = 0;
            if (Query::GetPlayingIDsFromGameObject(kObject, playing, nullptr) == ZK_Success && playing == 0)
                return true;
            RenderAudio(true);
        }
        return false;
    }

private:
    BenchEngine m_engine;
    bool m_ready = false;
};

void PostAndExecute(benchmark::State& state, const char* event)
{
    PostingEngine engine;
    if (!engine.Ready())
    {
        state.SkipWithError("the engine or the bank did not start");
        return;
    }
    std::chrono::steady_clock::duration timed{};
    uint64_t posts = 0;
    for (auto _ : state)
    {
        const auto start = std::chrono::steady_clock::now();
        for (uint32_t post = 0; post < kPostsPerTick; ++post)
            benchmark::DoNotOptimize(PostEvent(event, kObject));
        RenderAudio(true);
        timed += std::chrono::steady_clock::now() - start;
        posts += kPostsPerTick;
        state.PauseTiming();
        const char* error = nullptr;
        if (CZkAudioRenderer::VoiceCount() != kPostsPerTick)
            error = "a post did not start its voice";
        else if (!PostingEngine::Retire())
            error = "plays were left";
        if (error != nullptr)
        {
            state.SkipWithError(error);
            break;
        }
        state.ResumeTiming();
    }
    if (posts > 0)
        state.counters["ns_per_post"] =
            std::chrono::duration<double, std::nano>(timed).count() / static_cast<double>(posts);
}

void RandomPlaylist(benchmark::State& state) { PostAndExecute(state, "Play_Playlist"); }
void PlainSound(benchmark::State& state) { PostAndExecute(state, "Play_Plain"); }

// A fixed count of ticks: the untimed frames between them would otherwise make the runs long.
constexpr benchmark::IterationCount kTicks = 300;

const bool s_registered = [] {
    PeerBench::PeerRuns("PostAndPlay/random_playlist_of_16", "ours", RandomPlaylist)->Iterations(kTicks);
    PeerBench::PeerRuns("PostAndPlay/random_playlist_of_16", "plain_sound", PlainSound)->Iterations(kTicks);
    return true;
}();
} // namespace
