// The stream manager with the game's kind of device (blocking, over loose files) on a file of the
// input's bytes: standard reads at positions and sizes from the input, and an automatic stream with
// heuristics from the input (loops included). Every byte a stream hands out is the file's byte at
// its position; every call returns.
#include "support/SoundMemory.h"

#include "Platform/PlatformThread.h"
#include "StreamMgr/CZkDefaultIOHookBlocking.h"

#include <ZK/SoundEngine/Common/IZkStreamMgr.h>
#include <ZK/SoundEngine/Common/ZkStreamMgrModule.h>

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <unistd.h>

using kp::fuzz::Check;

namespace
{
namespace fs = std::filesystem;
using namespace ZK::StreamMgr;


// One manager, device and folder for the whole run; taken down at exit.
struct Streaming
{
    ZK::IZkStreamMgr* manager = nullptr;
    CZkDefaultIOHookBlocking hook;
    fs::path folder;

    Streaming()
    {
        kp::fuzz::StartSoundMemory();
        folder = fs::temp_directory_path() / ("kp_stream_fuzz_" + std::to_string(::getpid()));
        fs::create_directories(folder);
        manager = Create(ZkStreamMgrSettings{});
        Check(manager != nullptr);
        ZkDeviceSettings settings;
        GetDefaultDeviceSettings(settings);
        settings.threadPriority = ZK::Platform::kThreadPriorityUnchanged;
        settings.granularity = 4096;
        settings.ioMemoryBytes = 64 * 1024;
        const uint32_t deviceId = CreateDevice(settings, &hook);
        Check(deviceId != ZK_InvalidDeviceID);
        hook.SetDeviceId(deviceId);
        Check(hook.AddBasePath((folder.wstring() + L"/").c_str()) == ZK_Success);
        SetFileLocationResolver(&hook);
    }
    ~Streaming()
    {
        manager->Destroy();
        std::error_code ignored;
        fs::remove_all(folder, ignored);
    }
};

Streaming& Instance()
{
    static Streaming streaming;
    return streaming;
}

void ReadStandard(kp::fuzz::InputBytes& script, const std::vector<char>& file)
{
    IZkStandardStream* stream = nullptr;
    const ZKRESULT opened = Instance().manager->CreateStandardStreamByName(L"31.oxm", nullptr, ZK_OpenModeRead, stream, true);
    Check((opened == ZK_Success) == !file.empty());
    if (stream == nullptr)
        return;
    for (uint32_t request = script.Byte() % 8; request > 0; --request)
    {
        const uint64_t position = script.Word() % (file.size() + 64);
        Check(stream->SetPosition(static_cast<int64_t>(position), ZK_MoveBegin, nullptr) == ZK_Success);
        const uint32_t size = script.Word() % 20000;
        std::vector<char> buffer(size + 1, '\x5A');
        uint32_t moved = 0;
        const ZKRESULT result = stream->Read(buffer.data(), size, true, 50, 0.0f, moved);
        Check(result == ZK_Success);
        const uint64_t available = position < file.size() ? file.size() - position : 0;
        Check(moved == (size < available ? size : available));
        Check(moved == 0 || std::memcmp(buffer.data(), file.data() + position, moved) == 0);
    }
    stream->Destroy();
}

void ReadAutomatic(kp::fuzz::InputBytes& script, const std::vector<char>& file)
{
    ZkAutomaticStreamHeuristics heuristics{};
    heuristics.throughput = static_cast<float>(script.Word() % 500);
    heuristics.loopStart = script.Word() % (file.size() + 16);
    heuristics.loopEnd = script.Byte() % 2 ? script.Word() % (file.size() + 16) : 0;
    heuristics.priority = script.Byte() % 101;
    IZkAutomaticStream* stream = nullptr;
    const ZKRESULT opened =
        Instance().manager->CreateAutomaticStreamByName(L"31.oxm", nullptr, heuristics, nullptr, stream, true);
    if (stream == nullptr)
    {
        Check(opened != ZK_Success);
        return;
    }
    Check(stream->Start() == ZK_Success);
    for (uint32_t buffers = 0; buffers < 16; ++buffers)
    {
        void* data = nullptr;
        uint32_t size = 0;
        const ZKRESULT result = stream->GetBuffer(data, size, true);
        Check(result == ZK_DataReady || result == ZK_NoMoreData || result == ZK_NoDataReady);
        if (data == nullptr)
            break;
        const uint64_t position = stream->GetPosition(nullptr);
        Check(position + size <= file.size());
        Check(std::memcmp(data, file.data() + position, size) == 0);
        Check(stream->ReleaseBuffer() == ZK_Success);
        if (result == ZK_NoMoreData)
            break;
    }
    stream->Destroy();
}
} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    kp::fuzz::MakeForTheWholeRun([] { Instance(); });
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    Streaming& streaming = Instance();
    kp::fuzz::InputBytes script(data, size);
    // The file: the input's first bytes, as many as its first word asks for.
    size_t taken = 0;
    const uint8_t* bytes = script.Take(script.Word() % 40000, taken);
    const std::vector<char> file(bytes, bytes + taken);
    {
        std::ofstream out(streaming.folder / "31.oxm", std::ios::binary | std::ios::trunc);
        out.write(file.data(), static_cast<std::streamsize>(file.size()));
    }
    ReadStandard(script, file);
    ReadAutomatic(script, file);
    return 0;
}
