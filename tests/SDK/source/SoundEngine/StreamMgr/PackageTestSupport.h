// Shared by the file-package tests: packages written by tools/package_writer.py (which shares no
// code with the engine's reader) from folders of loose files, the look-up oracle over a written
// package (tests/.../package_lookup_oracle.py, Python's bisect over the tables read with struct),
// and a fixture running the stream manager and the game's low-level I/O object over a scratch
// folder, on a memory manager that counts the blocks alive.
#pragma once

#include "SDK/source/SoundEngine/MemoryMgr/MemoryTestSupport.h"
#include "SDK/source/SoundEngine/ZkAudiolib/Common/Containers/EngineMemoryFixture.h"

#include "StreamTestSupport.h"

#include "StreamMgr/CZkFilePackageLowLevelIOBlocking.h"

#include <ZK/SoundEngine/Common/IZkStreamMgr.h>

#include <cstdlib>
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace ZkPackageTest
{
namespace fs = std::filesystem;
using namespace ZK::StreamMgr;
using ZkMemoryTest::CountingAllocator;

inline std::string Quoted(const fs::path& path) { return "\"" + path.string() + "\""; }

// Packs folder into package with the writer's command line; false when the writer refuses.
inline bool WritePackage(const fs::path& folder, const fs::path& package, uint32_t blockSize = 1,
                         const std::string& options = "")
{
    const std::string command = "python3 " + Quoted(fs::path(KP_SOURCE_DIR) / "tools" / "package_writer.py") + " " +
                                Quoted(folder) + " -o " + Quoted(package) + " --block-size " +
                                std::to_string(blockSize) + " " + options;
    return std::system(command.c_str()) == 0;
}

// The package of folder and every damaged copy the writer makes of it, by fault name ("" for the
// package itself), written into outDir.
inline std::map<std::string, fs::path> WritePackageVariants(const fs::path& folder, const fs::path& outDir)
{
    std::map<std::string, fs::path> variants;
    const std::string command = "python3 " + Quoted(fs::path(KP_SOURCE_DIR) / "tools" / "package_writer.py") + " " +
                                Quoted(folder) + " --out-dir " + Quoted(outDir) + " --fault-variants";
    if (std::system(command.c_str()) != 0)
        return variants;
    const std::string stem = folder.filename().string();
    for (const auto& entry : fs::directory_iterator(outDir))
    {
        std::string name = entry.path().filename().string();
        name = name.substr(stem.size(), name.size() - stem.size() - 4); // ".fault" or ""
        variants[name.empty() ? "" : name.substr(1)] = entry.path();
    }
    return variants;
}

// The oracle's answer for each query "bank:ID:LANGUAGE", "streamed:..." or "external:...":
// "FILE_SIZE START_BLOCK BLOCK_SIZE" or "none".
inline std::vector<std::string> OracleLookUps(const fs::path& package, const std::vector<std::string>& queries)
{
    std::string arguments = Quoted(package);
    for (const std::string& query : queries)
        arguments += " " + query;
    std::istringstream output(
        ZkEngineTest::RunPythonOracle("SDK/source/SoundEngine/StreamMgr/package_lookup_oracle.py", arguments));
    std::vector<std::string> answers;
    for (std::string line; std::getline(output, line);)
        answers.push_back(line);
    return answers;
}

inline std::string Describe(const ZkFileDescriptor& fileDesc)
{
    return std::to_string(fileDesc.fileSize) + " " + std::to_string(fileDesc.startBlock) + " " +
           std::to_string(fileDesc.blockSizeParam);
}

inline ZkFileOpenFlags OpenFlags(uint32_t fileType, bool languageSpecific = false,
                                 uint32_t idSpace = ZK_FileIdSpace32)
{
    ZkFileOpenFlags flags;
    flags.fileType = fileType;
    flags.isLanguageSpecific = languageSpecific;
    flags.idSpace = idSpace;
    return flags;
}

// The stream manager with the game's low-level I/O object (its blocking device running), over a
// scratch folder that is its base path. Memory goes through counting hooks, so a test sees every
// block the packages still hold.
class PackageIO : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_EQ(ZkMemoryTest::InitCountingMemory(), ZK_Success);
        m_blocksBeforeIO = CountingAllocator::LiveBlocks();
        m_descriptorsBeforeIO = ZkStreamTest::OpenDescriptorCount();
        m_manager = Create(ZkStreamMgrSettings{});
        ASSERT_NE(m_manager, nullptr);
        ASSERT_EQ(SetCurrentLanguage(L""), ZK_Success);
        ASSERT_EQ(m_io.Init(ZkStreamTest::DefaultDeviceSettings()), ZK_Success);
        ASSERT_EQ(m_io.AddBasePath(m_dir.WPath().c_str()), ZK_Success);
        m_baselineBlocks = CountingAllocator::LiveBlocks();
        m_baselineDescriptors = ZkStreamTest::OpenDescriptorCount();
    }
    void TearDown() override
    {
        m_io.Term();
        SetCurrentLanguage(L"");
        if (m_manager != nullptr)
            m_manager->Destroy();
        ZK::MemoryMgr::TermForThread();
        ZK::MemoryMgr::Term();
    }

    // Terminates the low-level I/O (its device waits for every stream to go) and the stream manager,
    // and checks that the packages left no block and no open file behind.
    void TermIOLeavesNothing()
    {
        m_io.Term();
        m_manager->Destroy();
        m_manager = nullptr;
        EXPECT_EQ(CountingAllocator::LiveBlocks(), m_blocksBeforeIO) << "blocks left";
        EXPECT_EQ(ZkStreamTest::OpenDescriptorCount(), m_descriptorsBeforeIO) << "files left open";
    }

    // Blocks and open files beyond what the set-up holds.
    int64_t ExtraBlocks() const { return CountingAllocator::LiveBlocks() - m_baselineBlocks; }
    int64_t ExtraDescriptors() const
    {
        return static_cast<int64_t>(ZkStreamTest::OpenDescriptorCount()) - static_cast<int64_t>(m_baselineDescriptors);
    }

    // Writes a loose file of the source folder (parents created).
    void Source(const std::string& relative, const std::string& bytes) const
    {
        const fs::path file = m_sources.Path() / relative;
        fs::create_directories(file.parent_path());
        std::ofstream(file, std::ios::binary) << bytes;
    }
    // Packs the source folder into the base path as name.
    void Pack(const std::string& name, uint32_t blockSize = 1, const std::string& options = "") const
    {
        ASSERT_TRUE(WritePackage(m_sources.Path(), m_dir.Path() / name, blockSize, options));
    }

    // The whole content of an opened standard stream, read in one request.
    static std::string ReadAll(IZkStandardStream* stream)
    {
        ZkStreamInfo info{};
        stream->GetInfo(info);
        const uint32_t blockSize = stream->GetBlockSize();
        std::vector<char> buffer((static_cast<size_t>(info.size) + blockSize - 1) / blockSize * blockSize + blockSize);
        uint32_t moved = 0;
        const ZKRESULT result = stream->Read(buffer.data(), static_cast<uint32_t>(buffer.size()), true, 50, 0.0f, moved);
        EXPECT_EQ(result, ZK_Success);
        return std::string(buffer.data(), moved);
    }

    // Opens by id (or by name) and reads it all; "<result N>" when the open fails.
    std::string ReadById(uint32_t fileId, ZkFileOpenFlags flags)
    {
        IZkStandardStream* stream = nullptr;
        const ZKRESULT opened = m_manager->CreateStandardStreamByID(fileId, &flags, ZK_OpenModeRead, stream, true);
        return ReadOpened(opened, stream);
    }
    std::string ReadByName(const wchar_t* name, ZkFileOpenFlags flags)
    {
        IZkStandardStream* stream = nullptr;
        const ZKRESULT opened = m_manager->CreateStandardStreamByName(name, &flags, ZK_OpenModeRead, stream, true);
        return ReadOpened(opened, stream);
    }
    static std::string ReadOpened(ZKRESULT opened, IZkStandardStream* stream)
    {
        if (opened != ZK_Success)
            return "<result " + std::to_string(opened) + ">";
        std::string bytes = ReadAll(stream);
        stream->Destroy();
        return bytes;
    }

    ZK::IZkStreamMgr* m_manager = nullptr;
    ZkStreamTest::TempDir m_dir;     // the base path: packages and loose files
    ZkStreamTest::TempDir m_sources; // the folder a package is written from
    CZkFilePackageLowLevelIOBlocking m_io;
    int64_t m_baselineBlocks = 0;
    int64_t m_blocksBeforeIO = 0;
    size_t m_descriptorsBeforeIO = 0;
    size_t m_baselineDescriptors = 0;
};
} // namespace ZkPackageTest
