// The stream file writer through the real stream manager, its blocking device and I/O thread: a
// capture file written in pieces and closed with its final header is read back from the disk.
#include "SDK/source/SoundEngine/StreamMgr/StreamTestSupport.h"
#include "SDK/source/SoundEngine/ZkAudiolib/Common/Containers/EngineMemoryFixture.h"

#include "StreamMgr/CZkFilePackageLowLevelIOBlocking.h"
#include "ZkAudiolib/Common/Capture/CZkStreamFileWriter.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>

namespace
{
using namespace ZK::SoundEngine;

using ThreadedStreamFileWriter = ZkEngineTest::EngineMemoryTest;

std::string ReadFile(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

TEST_F(ThreadedStreamFileWriter, ACaptureFileReadsBackFromDisk)
{
    ZK::MemoryMgr::InitForThread();
    ZkStreamTest::TempDir folder;
    ZK::IZkStreamMgr* manager = ZK::StreamMgr::Create(ZkStreamMgrSettings{});
    ASSERT_NE(manager, nullptr);
    {
        ZK::StreamMgr::CZkFilePackageLowLevelIOBlocking lowLevelIO;
        ASSERT_EQ(lowLevelIO.Init(ZkStreamTest::DefaultDeviceSettings()), ZK_Success);
        ASSERT_EQ(lowLevelIO.AddBasePath(folder.WPath().c_str()), ZK_Success);

        CZkStreamFileWriter* writer = CZkStreamFileWriterFactory::GetDefault()->CreateWriter(0, 0, nullptr);
        ASSERT_NE(writer, nullptr);
        const std::string provisional(68, 'p');
        const std::string final(68, 'F');
        std::string samples;
        for (int index = 0; index < 40000; ++index)
            samples.push_back(static_cast<char>(index * 7));
        ASSERT_EQ(writer->Open(L"mix.wav", provisional.data(), 68), ZK_Success);
        ASSERT_EQ(writer->WriteData(samples.data(), 30000), ZK_Success);
        ASSERT_EQ(writer->WriteData(samples.data() + 30000, 10000), ZK_Success);
        ASSERT_EQ(writer->Write("LIST", 4), ZK_Success);
        ASSERT_EQ(writer->Close(final.data(), 68), ZK_Success);
        writer->Destroy();

        EXPECT_EQ(ReadFile(folder.Path() / "mix.wav"), final + samples + "LIST");
        lowLevelIO.Term();
    }
    manager->Destroy();
    ZK::MemoryMgr::TermForThread();
}
} // namespace
