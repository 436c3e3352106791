// Reading a bank's music objects from memory against reading its sound items: each iteration
// loads a bank with LoadBankMemoryCopy and unloads it again, on the engine as the game starts it
// (no engine or bank thread) with the music engine started.
//   bank_items/ours         1,000 tracks (two sources and two clips each), 1,000 segments (a
//                           track, a grid, three markers each) and 100 containers (50 playlist
//                           containers of 20 segments, 50 switch containers of 20 segments)
//   bank_items/sound_items  sounds, as many bytes' worth as the music bank, through the sound
//                           items' own reader
// Each reports its cost per byte of bank ("ns_per_byte") and its throughput (MB/s).
#include "Support/BenchEngine.h"
#include "Support/PeerRatios.h"

#include <ZK/SoundEngine/Common/ZkBankCalls.h>
#include <ZK/SoundEngine/Common/ZkMusicEngine.h>

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <unistd.h>
#include <vector>

namespace
{
namespace fs = std::filesystem;

constexpr uint32_t kTracks = 1000;
constexpr uint32_t kSegments = 1000;
constexpr uint32_t kContainers = 100;
constexpr uint32_t kSegmentsPerContainer = 10; // every segment in one container
constexpr uint32_t kFirstTrack = 10000;
constexpr uint32_t kFirstSegment = 20000;
constexpr uint32_t kFirstContainer = 30000;
constexpr uint32_t kFirstSound = 40000;

std::string MusicItems()
{
    std::string items;
    const auto add = [&](const std::string& item) { items += (items.empty() ? "" : ", ") + item; };
    for (uint32_t index = 0; index < kTracks; ++index)
        add(R"({"type": "music_track", "id": )" + std::to_string(kFirstTrack + index) +
            R"(, "sources": [{"source": 1, "media_size": 100}, {"source": 2, "stream_type": 2}],
               "clips": [{"source": 1, "duration_ms": 500}, {"source": 2, "position_ms": 500, "duration_ms": 500}],
               "look_ahead_ms": 100})");
    for (uint32_t index = 0; index < kSegments; ++index)
        add(R"({"type": "music_segment", "id": )" + std::to_string(kFirstSegment + index) + R"(, "children": [)" +
            std::to_string(kFirstTrack + index) + R"(],
               "grid": {"tempo": 120, "own": 1}, "duration_ms": 1000,
               "markers": [{"id": 1, "name": "in"}, {"id": 2, "position_ms": 500}, {"id": 3, "position_ms": 1000, "name": "out"}]})");
    for (uint32_t index = 0; index < kContainers; ++index)
    {
        std::string children, entries;
        for (uint32_t child = 0; child < kSegmentsPerContainer; ++child)
        {
            const std::string id = std::to_string(kFirstSegment + index * kSegmentsPerContainer + child);
            children += (child ? ", " : "") + id;
            entries += std::string(child ? ", " : "") + R"({"segment": )" + id + "}";
        }
        const std::string id = std::to_string(kFirstContainer + index);
        if (index % 2 == 0)
            add(R"({"type": "music_playlist", "id": )" + id + R"(, "children": [)" + children +
                R"(], "rules": [{}], "playlist": {"items": [)" + entries + "]}}");
        else
            add(R"({"type": "music_switch", "id": )" + id + R"(, "children": [)" + children +
                R"(], "rules": [{}], "arguments": [[7, 1]], "tree": {"children": {"1": )" +
                std::to_string(kFirstSegment + index * kSegmentsPerContainer) + "}}}");
    }
    return items;
}

std::string SoundItems(uint32_t count)
{
    std::string items;
    for (uint32_t index = 0; index < count; ++index)
        items += std::string(index ? ", " : "") + R"({"type": "sound", "id": )" + std::to_string(kFirstSound + index) +
                 R"(, "media": 1, "media_size": 100})";
    return items;
}

std::vector<uint8_t> ReadFile(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// The two banks, written once per process. A sound item takes 55 bytes (header and body), so the
// sound bank holds as many sounds as make up the music bank's size.
struct Banks
{
    std::vector<uint8_t> music;
    std::vector<uint8_t> sounds;

    static const Banks& Get()
    {
        static const Banks banks = Write();
        return banks;
    }

private:
    static std::vector<uint8_t> WriteOne(const fs::path& folder, const std::string& name, const std::string& items)
    {
        const fs::path description = folder / (name + ".json");
        std::ofstream(description) << R"({"name": ")" << name << R"(.bnk", "chunks": [{"tag": "BKHD"}, {"tag": "HIRC", "items": [)"
                                   << items << "]}]}";
        const std::string command = "python3 \"" + std::string(KP_SOURCE_DIR) + "/tools/bank_writer.py\" --out-dir \"" +
                                    folder.string() + "\" \"" + description.string() + "\"";
        if (std::system(command.c_str()) != 0)
            std::abort();
        return ReadFile(folder / (name + ".bnk"));
    }
    static Banks Write()
    {
        const fs::path folder = fs::temp_directory_path() / ("zk_music_bank_bench_" + std::to_string(::getpid()));
        fs::create_directories(folder);
        Banks banks;
        banks.music = WriteOne(folder, "Music", MusicItems());
        banks.sounds = WriteOne(folder, "Sounds", SoundItems(static_cast<uint32_t>(banks.music.size() / 55)));
        std::error_code ignored;
        fs::remove_all(folder, ignored);
        return banks;
    }
};

void LoadAndUnload(benchmark::State& state, const std::vector<uint8_t>& bank)
{
    BenchEngine engine;
    ZkMusicSettings music;
    ZK::MusicEngine::GetDefaultInitSettings(music);
    if (!engine.Started() || ZK::MusicEngine::Init(&music) != ZK_Success)
    {
        state.SkipWithError("the engine did not start");
        return;
    }
    PeerBench::NsPerUnit perByte(state, "byte");
    perByte.Start();
    for (auto _ : state)
    {
        ZkBankID id = 0;
        if (ZK::SoundEngine::LoadBankMemoryCopy(bank.data(), static_cast<uint32_t>(bank.size()), id) != ZK_Success ||
            ZK::SoundEngine::UnloadBank(id, nullptr) != ZK_Success)
        {
            state.SkipWithError("the bank did not load");
            break;
        }
    }
    perByte.Stop(static_cast<double>(state.iterations()) * static_cast<double>(bank.size()));
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * bank.size()));
    ZK::MusicEngine::Term();
}

void BM_MusicItems(benchmark::State& state)
{
    LoadAndUnload(state, Banks::Get().music);
}

void BM_SoundItems(benchmark::State& state)
{
    LoadAndUnload(state, Banks::Get().sounds);
}

const bool g_registered = [] {
    PeerBench::PeerRuns("bank_items", "ours", &BM_MusicItems)->Unit(benchmark::kMillisecond);
    PeerBench::PeerRuns("bank_items", "sound_items", &BM_SoundItems)->Unit(benchmark::kMillisecond);
    return true;
}();
} // namespace
