// Files found in a file package against the same files loose under the base path, through the game's
// low-level I/O object with its blocking device running:
//   OpenCloseBank10 / OpenCloseBank100000  OpenByID and Close of one bank at the resolver: a
//       bisection of the bank table of a package of 10 or 100,000 entries (ours) against the
//       system's open and close of the loose file (loose)
//   ReadBank4MiB  a standard stream opened by id, a 4 MiB bank read in one request and the stream
//       destroyed: from the package (ours) against the loose file (loose); also in MB/s
// The packages are written once by tools/package_writer.py into a scratch folder.
#include "Support/BenchMemory.h"
#include "Support/PeerRatios.h"

#include "Platform/PlatformThread.h"
#include "StreamMgr/CZkFilePackageLowLevelIOBlocking.h"

#include <ZK/SoundEngine/Common/IZkStreamMgr.h>
#include <ZK/SoundEngine/Common/ZkStreamMgrModule.h>

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace
{
namespace fs = std::filesystem;
using namespace ZK::StreamMgr;

constexpr uint32_t kBankId = 77;          // the bank every look-up asks for
constexpr uint32_t kBigBankId = 78;       // the 4 MiB bank
constexpr uint32_t kBigBankBytes = 4u << 20;

// The stream manager, the low-level I/O object and the scratch folder, set up once.
struct PackageWorld
{
    fs::path folder;
    CZkFilePackageLowLevelIOBlocking io;
    ZK::IZkStreamMgr* manager = nullptr;
    uint32_t package10 = 0;
    uint32_t package100000 = 0;

    PackageWorld()
    {
        EnsureMemoryMgr();
        ZK::MemoryMgr::InitForThread();
        std::string pattern = (fs::temp_directory_path() / "zk_package_bench_XXXXXX").string();
        if (mkdtemp(pattern.data()) == nullptr)
            std::abort();
        folder = pattern;
        // The packages: ids spread over the table, the one asked for among them.
        const std::string script =
            "import sys; sys.path.insert(0, '" KP_SOURCE_DIR "/tools'); import package_writer as pw\n"
            "for n in (10, 100000):\n"
            "    files = [pw.PackedFile('bank', 1000 + 7 * i, b'b' * 64) for i in range(n - 1)]\n"
            "    files.append(pw.PackedFile('bank', " + std::to_string(kBankId) + ", b'x' * 64))\n"
            "    if n == 10:\n"
            "        files.append(pw.PackedFile('bank', " + std::to_string(kBigBankId) + ", bytes(range(256)) * " +
            std::to_string(kBigBankBytes / 256) + ", block_size=2048))\n"
            "    open('" + (folder / "Banks").string() + "%d.pck' % n, 'wb').write(pw.build(files).data)\n";
        const fs::path scriptFile = folder / "write.py";
        std::ofstream(scriptFile) << script;
        if (std::system(("python3 \"" + scriptFile.string() + "\"").c_str()) != 0)
            std::abort();
        std::ofstream(folder / (std::to_string(kBankId) + ".bnk"), std::ios::binary) << std::string(64, 'x');
        std::ofstream big(folder / (std::to_string(kBigBankId) + ".bnk"), std::ios::binary);
        for (uint32_t at = 0; at < kBigBankBytes; ++at)
            big.put(static_cast<char>(at & 0xFF));
        big.close();

        manager = Create(ZkStreamMgrSettings{});
        ZkDeviceSettings settings;
        GetDefaultDeviceSettings(settings);
        settings.threadPriority = ZK::Platform::kThreadPriorityUnchanged;
        settings.ioMemoryBytes = 0;
        if (manager == nullptr || io.Init(settings) != ZK_Success || io.AddBasePath(folder.wstring().c_str()) != ZK_Success)
            std::abort();
    }

    // Loads one package (or none) so that the look-ups see only it.
    void Use(const wchar_t* packageName)
    {
        io.UnloadAllFilePackages();
        uint32_t id = 0;
        if (packageName != nullptr && io.LoadFilePackage(packageName, id) != ZK_Success)
            std::abort();
    }
};

PackageWorld& World()
{
    static PackageWorld world;
    return world;
}

void OpenCloseBank(benchmark::State& state, const wchar_t* packageName)
{
    PackageWorld& world = World();
    world.Use(packageName);
    ZkFileOpenFlags flags;
    PeerBench::MeasurePerUnit(state, "open", 1.0, [&] {
        ZkFileDescriptor fileDesc{};
        bool syncOpen = true;
        if (world.io.OpenByID(kBankId, ZK_OpenModeRead, &flags, syncOpen, fileDesc) != ZK_Success)
            std::abort();
        world.io.Close(fileDesc);
    });
}

void ReadBigBank(benchmark::State& state, const wchar_t* packageName)
{
    PackageWorld& world = World();
    world.Use(packageName);
    std::vector<char> buffer(kBigBankBytes);
    ZkFileOpenFlags flags;
    PeerBench::NsPerUnit cost(state, "mb");
    uint64_t iterations = 0;
    cost.Start();
    for (auto _ : state)
    {
        IZkStandardStream* stream = nullptr;
        uint32_t moved = 0;
        if (world.manager->CreateStandardStreamByID(kBigBankId, &flags, ZK_OpenModeRead, stream, true) != ZK_Success ||
            stream->Read(buffer.data(), kBigBankBytes, true, 50, 0.0f, moved) != ZK_Success || moved != kBigBankBytes)
            std::abort();
        stream->Destroy();
        benchmark::DoNotOptimize(buffer.data());
        ++iterations;
    }
    const double megabytes = static_cast<double>(iterations) * kBigBankBytes / (1 << 20);
    cost.Stop(megabytes);
    state.SetBytesProcessed(static_cast<int64_t>(iterations) * kBigBankBytes);
}

const bool kRegistered = [] {
    PeerBench::PeerRuns("OpenCloseBank10", "ours", [](benchmark::State& s) { OpenCloseBank(s, L"Banks10.pck"); });
    PeerBench::PeerRuns("OpenCloseBank10", "loose", [](benchmark::State& s) { OpenCloseBank(s, nullptr); });
    PeerBench::PeerRuns("OpenCloseBank100000", "ours",
                        [](benchmark::State& s) { OpenCloseBank(s, L"Banks100000.pck"); });
    PeerBench::PeerRuns("OpenCloseBank100000", "loose", [](benchmark::State& s) { OpenCloseBank(s, nullptr); });
    PeerBench::PeerRuns("ReadBank4MiB", "ours", [](benchmark::State& s) { ReadBigBank(s, L"Banks10.pck"); });
    PeerBench::PeerRuns("ReadBank4MiB", "loose", [](benchmark::State& s) { ReadBigBank(s, nullptr); });
    return true;
}();
} // namespace
