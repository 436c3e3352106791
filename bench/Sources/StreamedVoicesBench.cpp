// Streamed voices: 8, 32 and 128 looping 48 kHz stereo ADPCM voices, each streamed from a loose
// file of its own (one second of media, 750 blocks), mixed into stereo float at 48 kHz, 1024
// frames per block.
//   StreamedVoices/<n>_voices: nanoseconds per voice-frame (the ratio table) and the real-time
//   factor (seconds of sound per second of wall time), offline:
//     ours    the running engine rendering offline on the base sink, one RenderAudio per block: a
//             bank of one bus and one looping ADPCM sound of stream type 2 per file; each source
//             reads its "<id>.oxm" through the stream manager's automatic stream (the blocking
//             device, its I/O thread, loose files) and waits for each buffer, as offline
//             rendering does; each block runs the whole tick and render pass
//     openal  OpenAL Soft's loopback device with as many streaming stereo sources, each fed from
//             its own file holding the standard IMA ADPCM twin of the same blocks
//             (AL_FORMAT_STEREO_IMA4, 65 samples per block): before each block the buffers a
//             source has played are filled again with its file's next bytes (read on the
//             benchmark's thread, the usual way of streaming into OpenAL; the file loops at its
//             end) and queued again
//   StreamedVoices/RealTime/<n>_voices: ours only, the engine with its own thread on a virtual
//   endpoint whose clock runs in real time: after a settling second (start_notices: a stream that
//   must fill before its voice plays makes the voice start late, one notice each), 10 s in which
//   the starvation notices the voices raise and the frames the endpoint finds missing are
//   counted (both 0 when streaming keeps up).
#include "StreamMgr/CZkFilePackageLowLevelIOBlocking.h"
#include "Support/BenchMemory.h"
#include "Support/PeerRatios.h"
#include "ZkAudiolib/Common/Renderer/CZkAudioRenderer.h"

#include <Platform/Audio/VirtualAudioSystem.h>
#include <Platform/PlatformThread.h>
#include <ZK/SoundEngine/Common/ZkBankCalls.h>
#include <ZK/SoundEngine/Common/ZkCallbackTypes.h>
#include <ZK/SoundEngine/Common/ZkEngineInit.h>
#include <ZK/SoundEngine/Common/ZkEventCalls.h>
#include <ZK/SoundEngine/Common/ZkGameObjectCalls.h>
#include <ZK/SoundEngine/Common/ZkSoundEngine.h>
#include <ZK/SoundEngine/Common/ZkStreamMgrModule.h>

#if KP_BENCH_OPENAL
#include <AL/al.h>
#include <AL/alc.h>
#include <AL/alext.h>
#endif

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

namespace
{
using namespace ZK::SoundEngine;
namespace fs = std::filesystem;

constexpr uint16_t kBlockFrames = 1024;
constexpr uint32_t kRate = 48000;
constexpr uint32_t kMostVoices = 128;
constexpr uint32_t kFirstMediaID = 1000;
constexpr uint32_t kFirstEventID = 5000;
constexpr ZkGameObjectID kObject = 7;
constexpr uint32_t kStartFrames = 4;
constexpr uint32_t kIOMemoryBytes = 8u << 20; // a few buffers of every stream
constexpr auto kRealTimeRun = std::chrono::seconds(10);
constexpr auto kSettling = std::chrono::seconds(1);
const std::wstring kSpeakers = L"{virtual}.speakers";

// One second of a 440 Hz tone with a little noise, 48 kHz stereo.
const char* const kWave = R"("wave": {"rate": 48000, "channels": 2, "frames": 48000,
    "parts": [{"tone": 440, "amp": 0.5}, {"noise": 0.05, "seed": 5}]})";

bool RunTool(const std::string& script, const std::string& description, const fs::path& json,
             const fs::path& out)
{
    std::ofstream(json) << description;
    const std::string command = "python3 \"" KP_SOURCE_DIR "/tools/" + script + "\" \"" + json.string() +
                                "\" -o \"" + out.string() + "\"";
    return std::system(command.c_str()) == 0;
}

// The folder of the bench's files, written once per run: the bank with its loose "<id>.oxm"
// files, and a copy of the standard twin per voice. Empty when a writer failed.
fs::path BenchFiles()
{
    static const fs::path folder = []
    {
        const fs::path dir = fs::temp_directory_path() / "zk_streamed_voices_bench";
        fs::create_directories(dir);
        std::string streamed;
        std::string items = R"({"type": "bus", "id": "Bench Bus", "device": "System"})";
        for (uint32_t v = 0; v < kMostVoices; ++v)
        {
            const std::string media = std::to_string(kFirstMediaID + v);
            const std::string sound = std::to_string(100 + v);
            const std::string action = std::to_string(2000 + v);
            streamed += std::string(v ? ", " : "") + R"({"id": )" + media + R"(, "encoding": "adpcm", )" +
                        kWave + "}";
            items +=
                R"(, {"type": "sound", "id": )" + sound + R"(, "media": )" + media +
                R"(, "codec": "adpcm", "stream_type": 2, "bus": "Bench Bus", "props": {"loop_count": 0}})" +
                R"(, {"type": "action", "id": )" + action + R"(, "action": "play", "target": )" + sound +
                "}" + R"(, {"type": "event", "id": )" + std::to_string(kFirstEventID + v) +
                R"(, "actions": [)" + action + "]}";
        }
        const std::string bank = R"({"name": "StreamBench.bnk", "streamed": [)" + streamed + R"(],
            "chunks": [{"tag": "BKHD"}, {"tag": "STMG", "max_voices": 1024, "second_voice_limit": 1024},
                       {"tag": "DIDX"}, {"tag": "DATA"}, {"tag": "HIRC", "items": [)" +
                                 items + "]}]}";
        if (!RunTool("bank_writer.py", bank, dir / "bank.json", dir / "StreamBench.bnk") ||
            !RunTool("media_writer.py", std::string(R"({"encoding": "adpcm_twin", )") + kWave + "}",
                     dir / "twin.json", dir / "twin.wav"))
            return fs::path();
        for (uint32_t v = 0; v < kMostVoices; ++v)
            fs::copy_file(dir / "twin.wav", dir / ("twin_" + std::to_string(v) + ".wav"),
                          fs::copy_options::overwrite_existing);
        return dir;
    }();
    return folder;
}

std::atomic<uint32_t> s_starvations{0};

void CountStarvation(ZkCallbackType type, ZkCallbackInfo*)
{
    if (type == ZkCallbackType_Starvation)
        s_starvations.fetch_add(1, std::memory_order_relaxed);
}

// The engine as the game starts it, with loose files behind its stream manager: offline on the
// benchmark's thread, or with its own thread on a virtual endpoint whose clock runs in real time.
class StreamingEngine
{
public:
    StreamingEngine(uint32_t voices, bool realTime)
    {
        const fs::path files = BenchFiles();
        EnsureMemoryMgr();
        ZK::MemoryMgr::InitForThread();
        m_streamMgr = ZK::StreamMgr::Create(ZkStreamMgrSettings{});
        if (files.empty() || m_streamMgr == nullptr)
            return;
        ZkDeviceSettings device;
        ZK::StreamMgr::GetDefaultDeviceSettings(device);
        device.ioMemoryBytes = kIOMemoryBytes;
        device.threadPriority = ZK::Platform::kThreadPriorityUnchanged; // no privilege needed
        if (m_io.Init(device) != ZK_Success || m_io.AddBasePath(files.wstring().c_str()) != ZK_Success)
            return;
        m_ioStarted = true;
        ZkInitSettings settings;
        GetDefaultInitSettings(settings);
        settings.bankThread = 0;
        if (realTime)
        {
            ZK::Platform::VirtualEndpointSettings speakers;
            speakers.id = kSpeakers;
            speakers.friendlyName = L"Speakers";
            m_audio->AddEndpoint(speakers);
        }
        else
            settings.engineThread = 0;
        m_started = Init(&settings, nullptr) == ZK_Success;
        if (!m_started)
            return;
        if (!realTime)
        {
            SetOfflineRenderingFrameTime(static_cast<float>(kBlockFrames) / kRate);
            SetOfflineRendering(true);
        }
        ZkBankID bank = 0;
        if (LoadBank("StreamBench.bnk", bank) != ZK_Success)
            return;
        RegisterGameObj(kObject);
        if (realTime)
            m_audio->StartRealTimeClock();
        else
            RenderAudio(true);
        s_starvations.store(0);
        for (uint32_t v = 0; v < voices; ++v)
            if (PostEvent(kFirstEventID + v, kObject, ZkCallbackType_Starvation, &CountStarvation) == 0)
                return;
        if (realTime)
        {
            RenderAudio(true);
            m_ready = true;
            return;
        }
        for (uint32_t frame = 0; frame < kStartFrames; ++frame)
            RenderAudio(true);
        m_ready = CZkAudioRenderer::VoiceCount() == voices;
    }
    ~StreamingEngine()
    {
        m_audio->StopRealTimeClock();
        if (m_started)
            Term();
        if (m_ioStarted)
            m_io.Term();
        if (m_streamMgr != nullptr)
            m_streamMgr->Destroy();
        ZK::MemoryMgr::TermForThread();
    }
    StreamingEngine(const StreamingEngine&) = delete;
    StreamingEngine& operator=(const StreamingEngine&) = delete;

    bool Ready() const { return m_ready; }
    void RenderBlock() { RenderAudio(true); }
    uint64_t MissingFrames() { return m_audio->Capture(kSpeakers).underrunFrames; }

private:
    ZK::Platform::ScopedVirtualAudioSystem m_audio;
    ZK::IZkStreamMgr* m_streamMgr = nullptr;
    ZK::StreamMgr::CZkFilePackageLowLevelIOBlocking m_io;
    bool m_ioStarted = false;
    bool m_started = false;
    bool m_ready = false;
};

class EngineStreams
{
public:
    explicit EngineStreams(uint32_t voices) : m_engine(voices, false) {}
    bool Ready() const { return m_engine.Ready(); }
    void RenderBlock() { m_engine.RenderBlock(); }

private:
    StreamingEngine m_engine;
};

#if KP_BENCH_OPENAL
constexpr uint32_t kTwinBlockAlign = 72; // 36 bytes per channel
constexpr uint32_t kTwinBlockFrames = 65;
constexpr uint32_t kBlocksPerBuffer = 16; // 1040 frames, about one engine block
constexpr int kBuffersPerSource = 4;

// One streaming source: its file, where its sample data lies, its queue of buffers.
struct TwinStream
{
    std::FILE* file = nullptr;
    long dataStart = 0;
    long dataEnd = 0;
    ALuint source = 0;
    ALuint buffers[kBuffersPerSource] = {};

    bool Open(const fs::path& path)
    {
        file = std::fopen(path.c_str(), "rb");
        if (file == nullptr)
            return false;
        // The chunks after "RIFF....WAVE": the "data" chunk's bytes.
        for (long at = 12;;)
        {
            char header[8];
            if (std::fseek(file, at, SEEK_SET) != 0 || std::fread(header, 1, 8, file) != 8)
                return false;
            uint32_t size = 0;
            std::memcpy(&size, header + 4, 4);
            if (std::memcmp(header, "data", 4) == 0)
            {
                dataStart = at + 8;
                dataEnd = dataStart + static_cast<long>(size / kTwinBlockAlign * kTwinBlockAlign);
                return std::fseek(file, dataStart, SEEK_SET) == 0;
            }
            at += 8 + static_cast<long>(size + (size & 1));
        }
    }
    // The file's next blocks into buffer, looping at the end of the data.
    void Fill(ALuint buffer, std::vector<uint8_t>& bytes)
    {
        size_t filled = 0;
        while (filled < bytes.size())
        {
            long at = std::ftell(file);
            if (at >= dataEnd)
            {
                std::fseek(file, dataStart, SEEK_SET);
                at = dataStart;
            }
            const size_t want = std::min(bytes.size() - filled, static_cast<size_t>(dataEnd - at));
            const size_t got = std::fread(bytes.data() + filled, 1, want, file);
            if (got == 0)
                break;
            filled += got;
        }
        alBufferData(buffer, AL_FORMAT_STEREO_IMA4, bytes.data(), static_cast<ALsizei>(filled),
                     static_cast<ALsizei>(kRate));
    }
};

class OpenAlStreams
{
public:
    explicit OpenAlStreams(uint32_t voices)
        : m_mix(2u * kBlockFrames), m_bytes(kBlocksPerBuffer * kTwinBlockAlign)
    {
        const fs::path files = BenchFiles();
        auto openLoopback = reinterpret_cast<LPALCLOOPBACKOPENDEVICESOFT>(
            alcGetProcAddress(nullptr, "alcLoopbackOpenDeviceSOFT"));
        m_render =
            reinterpret_cast<LPALCRENDERSAMPLESSOFT>(alcGetProcAddress(nullptr, "alcRenderSamplesSOFT"));
        if (files.empty() || !openLoopback || !m_render)
            return;
        m_device = openLoopback(nullptr);
        if (!m_device)
            return;
        const ALCint attributes[] = {ALC_FORMAT_CHANNELS_SOFT,
                                     ALC_STEREO_SOFT,
                                     ALC_FORMAT_TYPE_SOFT,
                                     ALC_FLOAT_SOFT,
                                     ALC_FREQUENCY,
                                     static_cast<ALCint>(kRate),
                                     ALC_MONO_SOURCES,
                                     0,
                                     ALC_STEREO_SOURCES,
                                     static_cast<ALCint>(voices),
                                     ALC_HRTF_SOFT,
                                     ALC_FALSE,
                                     ALC_OUTPUT_LIMITER_SOFT,
                                     ALC_FALSE,
                                     0};
        m_context = alcCreateContext(m_device, attributes);
        if (!m_context || !alcMakeContextCurrent(m_context) || !alIsExtensionPresent("AL_EXT_IMA4"))
            return;
        alDistanceModel(AL_NONE);
        m_streams.resize(voices);
        for (uint32_t v = 0; v < voices; ++v)
        {
            TwinStream& stream = m_streams[v];
            if (!stream.Open(files / ("twin_" + std::to_string(v) + ".wav")))
                return;
            alGenSources(1, &stream.source);
            alGenBuffers(kBuffersPerSource, stream.buffers);
            for (ALuint buffer : stream.buffers)
                stream.Fill(buffer, m_bytes);
            alSourceQueueBuffers(stream.source, kBuffersPerSource, stream.buffers);
            alSourcePlay(stream.source);
        }
        m_ready = alGetError() == AL_NO_ERROR;
    }
    ~OpenAlStreams()
    {
        for (TwinStream& stream : m_streams)
        {
            if (stream.source)
            {
                alSourceStop(stream.source);
                alDeleteSources(1, &stream.source);
                alDeleteBuffers(kBuffersPerSource, stream.buffers);
            }
            if (stream.file)
                std::fclose(stream.file);
        }
        if (m_context)
        {
            alcMakeContextCurrent(nullptr);
            alcDestroyContext(m_context);
        }
        if (m_device)
            alcCloseDevice(m_device);
    }
    OpenAlStreams(const OpenAlStreams&) = delete;
    OpenAlStreams& operator=(const OpenAlStreams&) = delete;

    bool Ready() const { return m_ready; }
    void RenderBlock()
    {
        for (TwinStream& stream : m_streams)
        {
            ALint processed = 0;
            alGetSourcei(stream.source, AL_BUFFERS_PROCESSED, &processed);
            while (processed-- > 0)
            {
                ALuint buffer = 0;
                alSourceUnqueueBuffers(stream.source, 1, &buffer);
                stream.Fill(buffer, m_bytes);
                alSourceQueueBuffers(stream.source, 1, &buffer);
            }
            ALint state = 0;
            alGetSourcei(stream.source, AL_SOURCE_STATE, &state);
            if (state != AL_PLAYING)
                alSourcePlay(stream.source); // it ran dry: start it again, as a streaming player does
        }
        m_render(m_device, m_mix.data(), kBlockFrames);
        benchmark::DoNotOptimize(m_mix.data());
    }

private:
    LPALCRENDERSAMPLESSOFT m_render = nullptr;
    ALCdevice* m_device = nullptr;
    ALCcontext* m_context = nullptr;
    std::vector<TwinStream> m_streams;
    std::vector<float> m_mix;
    std::vector<uint8_t> m_bytes;
    bool m_ready = false;
};
#endif

template <class Streams, uint32_t Count> void RenderStreams(benchmark::State& state)
{
    PeerBench::MeasureVoiceBlocks<Streams>(state, Count, static_cast<double>(Count) * kBlockFrames);
    const auto cost = state.counters.find("ns_per_voice_frame");
    if (cost != state.counters.end() && cost->second.value > 0.0)
        state.counters["real_time_factor"] = 1e9 / (cost->second.value * Count * kRate);
}

template <uint32_t Count> void PlayInRealTime(benchmark::State& state)
{
    StreamingEngine engine(Count, true);
    if (!engine.Ready())
    {
        state.SkipWithError("the engine did not start");
        return;
    }
    // A voice whose stream had to fill first starts late, which raises one notice: those come
    // in the first second and are counted apart.
    std::this_thread::sleep_for(kSettling);
    state.counters["start_notices"] = static_cast<double>(s_starvations.exchange(0));
    for (auto _ : state)
        std::this_thread::sleep_for(kRealTimeRun); // the engine's thread renders meanwhile
    state.counters["starvation_notices"] = static_cast<double>(s_starvations.load());
    state.counters["missing_frames"] = static_cast<double>(engine.MissingFrames());
}

template <uint32_t Count> void Register()
{
    const std::string comparison = "StreamedVoices/" + std::to_string(Count) + "_voices";
    PeerBench::PeerRuns(comparison, "ours", RenderStreams<EngineStreams, Count>);
#if KP_BENCH_OPENAL
    PeerBench::PeerRuns(comparison, "openal", RenderStreams<OpenAlStreams, Count>);
#endif
    benchmark::RegisterBenchmark(("StreamedVoices/RealTime/" + std::to_string(Count) + "_voices").c_str(),
                                 PlayInRealTime<Count>)
        ->Iterations(1)
        ->Unit(benchmark::kSecond);
}

const bool s_registered = []
{
    Register<8>();
    Register<32>();
    Register<128>();
    return true;
}();
} // namespace
