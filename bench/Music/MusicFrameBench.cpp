// The music engine's frame callback, per playing segment and frame: 1, 16 and 64 plays of a
// segment of four tracks (one clip each, in-bank media) on as many game objects, advanced one
// frame of 1024 samples per call. A timed call is the callback alone (segment positions written,
// every play record advanced, its contexts processed, the music callbacks of the frame sent), not
// the render that follows it in a tick.
//   ours         the callback with the plays, in ns per play and frame
//   empty        the same callback with no music playing, per frame, divided by the same count
// No library a game would pick instead offers interactive music in musical time (segments, cues,
// bars and beats on a sample clock) to compare with, so the peer is the callback itself without
// plays: the ratio says how much the plays cost above the callback's fixed cost.
#include "Music/MusicBenchEngine.h"
#include "Support/PeerRatios.h"
#include "Support/WrittenBank.h"

#include "MusicEngine/CZkMusicSegment.h"
#include "MusicEngine/Contexts/CZkMusicSegmentSequenceContext.h"
#include "MusicEngine/MusicEngineHooks.h"
#include "ZkAudiolib/Common/GameObjects/CZkRegistryMgr.h"

#include "ZkAudiolib/Common/Playback/CZkPlayingMgr.h"

#include <ZK/SoundEngine/Common/ZkGameObjectCalls.h>
#include <ZK/SoundEngine/Common/ZkMusicEngine.h>
#include <ZK/SoundEngine/Common/ZkSoundEngine.h>

#include <new>
#include <string>
#include <vector>

namespace
{
using namespace ZK::MusicEngine;

constexpr ZkUniqueID kSegmentID = 100;
constexpr ZkGameObjectID kFirstObject = 300;
constexpr ZkPlayingID kFirstPlayingID = 0x7000;
constexpr benchmark::IterationCount kCalls = 2000;
// A segment long enough that no play ends within a benchmark's calls (ten minutes: 28125 frames).
constexpr const char* kSegmentLengthMs = "600000";

std::vector<uint8_t> BenchBank()
{
    std::string tracks;
    std::string children;
    for (int track = 0; track < 4; ++track)
    {
        const std::string id = std::to_string(10 + track);
        tracks += R"({"type": "music_track", "id": )" + id + R"(, "sources": [{"source": )" + std::to_string(1 + track) +
                  R"(}], "clips": [{"subtrack": 0, "source": )" + std::to_string(1 + track) +
                  R"(, "position_ms": )" + std::to_string(500 * track) + R"(, "duration_ms": 100}]},)";
        children += (track ? ", " : "") + id;
    }
    std::string media;
    for (int source = 1; source <= 4; ++source)
        media += (source > 1 ? ", " : "") + std::string(R"({"id": )") + std::to_string(source) +
                 R"(, "wave": {"rate": 48000, "channels": 1, "frames": 4800, "parts": [{"tone": 500, "amp": 0.1}]}})";
    const std::string description = R"({"name": "MusicBench.bnk", "media": [)" + media + R"(],
      "chunks": [{"tag": "BKHD"}, {"tag": "DIDX"}, {"tag": "DATA"}, {"tag": "HIRC", "items": [)" + tracks +
                                    R"({"type": "music_segment", "id": 100, "children": [)" + children +
                                    R"(], "duration_ms": )" + kSegmentLengthMs + R"(,
           "grid": {"tempo": 120, "beats_per_bar": 4, "beat_value": 4, "own": 1},
           "markers": [{"id": 1, "position_ms": 250}, {"id": 2, "position_ms": )" + kSegmentLengthMs + R"(}]}]}]})";
    return WrittenBank(description, "zk_music_bench");
}

class MusicPlays
{
public:
    explicit MusicPlays(uint32_t plays) : m_engine(WrittenOnce<&BenchBank>())
    {
        if (!m_engine.Loaded())
            return;
        auto* segment = MusicBenchEngine::Find<CZkMusicSegment>(kSegmentID);
        if (segment == nullptr)
            return;
        for (uint32_t play = 0; play < plays; ++play)
        {
            const ZkGameObjectID id = kFirstObject + play;
            if (ZK::SoundEngine::RegisterGameObj(id) != ZK_Success)
                return;
            void* memory = ZK::MemoryMgr::Malloc(CZkMusicContext::kPool, sizeof(CZkMusicSegmentSequenceContext));
            if (memory == nullptr)
                return;
            auto* root = new (memory) CZkMusicSegmentSequenceContext(nullptr, *segment);
            root->AddRef();
            m_roots.push_back(root);
            // A playing id of the bench's own per play, without callbacks.
            const ZkPlayingID playingID = kFirstPlayingID + play;
            if (ZK::SoundEngine::g_pPlayingMgr->AddPlayingIDNoMessage(playingID, id, nullptr, nullptr, 0, 0) != ZK_Success)
                return;
            m_playingIDs.push_back(playingID);
            if (root->Start(ZK::SoundEngine::g_pRegistryMgr->GetObj(id), ZkMusicPlayInfo{nullptr, playingID}, 0) != ZK_Success)
                return;
            root->PlayWithFade(ZkMusicFadeParams{0, 4, 0});
        }
        m_ready = true;
    }
    ~MusicPlays()
    {
        for (CZkMusicSegmentSequenceContext* root : m_roots)
        {
            root->Stop(0);
            root->Release();
        }
        for (ZkPlayingID playingID : m_playingIDs)
            ZK::SoundEngine::g_pPlayingMgr->RemovePlayingIDRef(playingID);
    }
    bool Ready() const { return m_ready; }

private:
    MusicBenchEngine m_engine;
    std::vector<CZkMusicSegmentSequenceContext*> m_roots;
    std::vector<ZkPlayingID> m_playingIDs;
    bool m_ready = false;
};

void FrameCallback(benchmark::State& state, uint32_t plays, bool withPlays)
{
    MusicPlays music(withPlays ? plays : 0);
    if (!music.Ready())
    {
        state.SkipWithError("the engine, the bank or the plays did not start");
        return;
    }
    PeerBench::NsPerUnit timer(state, "context_frame");
    uint64_t calls = 0;
    timer.Start();
    for (auto _ : state)
    {
        ZkMusicFrameCallback(nullptr, ZK::ZkGlobalCallbackLocation_BeginRender, nullptr);
        ++calls;
    }
    timer.Stop(static_cast<double>(calls) * plays);
}

template <uint32_t Plays>
void Ours(benchmark::State& state)
{
    FrameCallback(state, Plays, true);
}
template <uint32_t Plays>
void Empty(benchmark::State& state)
{
    FrameCallback(state, Plays, false);
}

const bool g_registered = [] {
    PeerBench::PeerRuns("music_frame_1_play", "ours", &Ours<1>)->Iterations(kCalls);
    PeerBench::PeerRuns("music_frame_1_play", "empty", &Empty<1>)->Iterations(kCalls);
    PeerBench::PeerRuns("music_frame_16_plays", "ours", &Ours<16>)->Iterations(kCalls);
    PeerBench::PeerRuns("music_frame_16_plays", "empty", &Empty<16>)->Iterations(kCalls);
    PeerBench::PeerRuns("music_frame_64_plays", "ours", &Ours<64>)->Iterations(kCalls);
    PeerBench::PeerRuns("music_frame_64_plays", "empty", &Empty<64>)->Iterations(kCalls);
    return true;
}();
} // namespace
