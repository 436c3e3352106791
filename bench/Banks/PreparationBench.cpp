// Preparation against loading, on the engine as the game starts it (no engine thread, requests on
// this thread) over banks the bank writer makes in a scratch folder:
//   media_50/ours        PrepareEvent of an event playing 50 sounds: the bank structure-only, each
//                        media read from its loose file; then UnprepareEvent
//   media_50/load_bank   LoadBank of the bank holding the 50 media, then UnloadBank
//   bank_media/ours      PrepareBank with its media (one block per media), then its unpreparation
//   bank_media/load_bank LoadBank of the same bank (one block for all), then UnloadBank
//   DecodeBank           a bank of 50 media in the 8-bit test format decoded by the test codec
// Each reports its cost per media ("ns_per_media") and its throughput (bytes of media, or of
// decoded output for DecodeBank).
#include "Support/BenchMemory.h"
#include "Support/PeerRatios.h"

#include "../../fuzz/support/TestFormatCodec.h"

#include "StreamMgr/CZkFilePackageLowLevelIOBlocking.h"

#include <Platform/Audio/VirtualAudioSystem.h>
#include <ZK/SoundEngine/Common/ZkBankCalls.h>
#include <ZK/SoundEngine/Common/ZkEngineInit.h>
#include <ZK/SoundEngine/Common/ZkStreamMgrModule.h>

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace
{
using namespace ZK::SoundEngine;
namespace fs = std::filesystem;

constexpr uint32_t kMediaCount = 50;
constexpr uint32_t kFirstMedia = 100;
constexpr uint32_t kFirstCodedMedia = 500; // loose copies of their own
constexpr uint32_t kFirstSound = 1000;
constexpr uint32_t kFirstAction = 2000;
constexpr ZkUniqueID kEvent = 3000;
// 0.1 s of mono 16-bit audio at 48 kHz: 9600 bytes of samples per media.
constexpr const char* kWave = R"("wave": {"rate": 48000, "seconds": 0.1, "parts": [{"tone": 441, "amp": 0.5}]})";

std::string Descriptions()
{
    std::string media, sounds, coded, actions, list;
    for (uint32_t index = 0; index < kMediaCount; ++index)
    {
        const std::string comma = index != 0 ? ", " : "";
        const std::string id = std::to_string(kFirstMedia + index);
        media += comma + R"({"id": )" + id + ", " + kWave + "}";
        coded += comma + R"({"id": )" + std::to_string(kFirstCodedMedia + index) + R"(, "encoding": "u8_test", )" +
                 kWave + "}";
        sounds += comma + R"({"type": "sound", "id": )" + std::to_string(kFirstSound + index) + R"(, "media": )" + id +
                  R"(, "bus": "Master"})";
        actions += comma + R"({"type": "action", "id": )" + std::to_string(kFirstAction + index) +
                   R"(, "action": "play", "target": )" + std::to_string(kFirstSound + index) + R"(, "bank": "Many"})";
        list += comma + std::to_string(kFirstAction + index);
    }
    const std::string hierarchy = R"({"tag": "HIRC", "items": [)" + sounds + "]}";
    return R"([{"name": "Buses.bnk", "chunks": [{"tag": "BKHD"}, {"tag": "HIRC", "items": [{"type": "bus", "id": "Master", "device": "System"}]}]},
        {"name": "Many.bnk", "media": [)" + media + R"(], "chunks": [{"tag": "BKHD"}, {"tag": "DIDX"}, {"tag": "DATA"}, )" + hierarchy + R"(]},
        {"name": "Coded.bnk", "media": [)" + coded + R"(], "chunks": [{"tag": "BKHD"}, {"tag": "DIDX"}, {"tag": "DATA"}]},
        {"name": "ManyEvents.bnk", "chunks": [{"tag": "BKHD"}, {"tag": "STID", "groups": [{"banks": [{"name": "Many"}]}]},
            {"tag": "HIRC", "items": [)" + actions + R"(, {"type": "event", "id": )" + std::to_string(kEvent) +
           R"(, "actions": [)" + list + "]}]}]}]";
}

std::vector<uint8_t> ReadFile(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

class PreparingEngine
{
public:
    PreparingEngine()
    {
        EnsureMemoryMgr();
        ZK::MemoryMgr::InitForThread();
        m_folder = fs::temp_directory_path() / ("zk_preparation_bench_" + std::to_string(::getpid()));
        fs::create_directories(m_folder);
        {
            std::ofstream out(m_folder / "banks.json");
            out << Descriptions();
        }
        const std::string command = "python3 \"" + std::string(KP_SOURCE_DIR) +
                                    "/tools/bank_writer.py\" --loose-media --out-dir \"" + m_folder.string() + "\" \"" +
                                    (m_folder / "banks.json").string() + "\"";
        m_streamMgr = ZK::StreamMgr::Create(ZkStreamMgrSettings{});
        ZkDeviceSettings device;
        ZK::StreamMgr::GetDefaultDeviceSettings(device);
        ZkInitSettings settings;
        GetDefaultInitSettings(settings);
        settings.engineThread = 0;
        settings.bankThread = 0;
        if (std::system(command.c_str()) != 0 || m_streamMgr == nullptr || m_io.Init(device) != ZK_Success ||
            m_io.AddBasePath(m_folder.wstring().c_str()) != ZK_Success || Init(&settings, nullptr) != ZK_Success ||
            ZkTestFormat::U8TestCodec::Register() != ZK_Success)
            std::abort();
        ZkBankID bank = 0;
        if (LoadBank("Buses.bnk", bank) != ZK_Success || LoadBank("ManyEvents.bnk", bank) != ZK_Success)
            std::abort();
        mediaBytes = ReadFile(m_folder / "Many.bnk").size();
        coded = ReadFile(m_folder / "Coded.bnk");
    }
    ~PreparingEngine()
    {
        Term();
        m_io.Term();
        m_streamMgr->Destroy();
        std::error_code ignored;
        fs::remove_all(m_folder, ignored);
        ZK::MemoryMgr::TermForThread();
    }
    PreparingEngine(const PreparingEngine&) = delete;
    PreparingEngine& operator=(const PreparingEngine&) = delete;

    size_t mediaBytes = 0;
    std::vector<uint8_t> coded;

private:
    ZK::Platform::ScopedVirtualAudioSystem m_audio;
    fs::path m_folder;
    ZK::IZkStreamMgr* m_streamMgr = nullptr;
    ZK::StreamMgr::CZkFilePackageLowLevelIOBlocking m_io;
};

// Runs cycle once per iteration and reports its cost per media and its bytes.
template <typename Cycle>
void PerMedia(benchmark::State& state, Cycle cycle)
{
    PreparingEngine engine;
    PeerBench::NsPerUnit perMedia(state, "media");
    perMedia.Start();
    for (auto _ : state)
    {
        if (!cycle())
        {
            state.SkipWithError("the cycle failed");
            break;
        }
    }
    perMedia.Stop(static_cast<double>(state.iterations()) * kMediaCount);
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * engine.mediaBytes));
}

void BM_PrepareEvent(benchmark::State& state)
{
    PerMedia(state, [] {
        const ZkUniqueID event = kEvent;
        return PrepareEvent(Preparation_Load, &event, 1) == ZK_Success &&
               PrepareEvent(Preparation_Unload, &event, 1) == ZK_Success;
    });
}

void BM_LoadBank(benchmark::State& state)
{
    PerMedia(state, [] {
        ZkBankID bank = 0;
        return LoadBank("Many.bnk", bank) == ZK_Success && UnloadBank(bank, nullptr) == ZK_Success;
    });
}

void BM_PrepareBank(benchmark::State& state)
{
    PerMedia(state, [] {
        return PrepareBank(Preparation_Load, "Many", ZkBankContent_All) == ZK_Success &&
               PrepareBank(Preparation_Unload, "Many") == ZK_Success;
    });
}

void BM_DecodeBank(benchmark::State& state)
{
    PreparingEngine engine;
    uint64_t written = 0;
    for (auto _ : state)
    {
        void* out = nullptr;
        uint32_t size = 0;
        if (DecodeBank(engine.coded.data(), static_cast<uint32_t>(engine.coded.size()), ZkMemID_Default, out, size) !=
            ZK_Success)
        {
            state.SkipWithError("DecodeBank failed");
            break;
        }
        ZK::MemoryMgr::Free(ZkMemID_Default, out);
        written += size;
    }
    state.SetBytesProcessed(static_cast<int64_t>(written));
}

const bool g_registered = [] {
    PeerBench::PeerRuns("media_50", "ours", &BM_PrepareEvent)->Unit(benchmark::kMillisecond);
    PeerBench::PeerRuns("media_50", "load_bank", &BM_LoadBank)->Unit(benchmark::kMillisecond);
    PeerBench::PeerRuns("bank_media", "ours", &BM_PrepareBank)->Unit(benchmark::kMillisecond);
    PeerBench::PeerRuns("bank_media", "load_bank", &BM_LoadBank)->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("DecodeBank", &BM_DecodeBank)->Unit(benchmark::kMillisecond);
    return true;
}();
} // namespace
