// The output capture writer: its WAVE header and marker chunks read back with Python's struct
// module, through a stream writer of the tests' own that writes a file directly.
#include "WaveChunks.h"

#include "SDK/source/SoundEngine/ZkAudiolib/Common/SoundFixtures.h"

#include "ZkAudiolib/Common/Capture/CaptureFileWriter.h"
#include "ZkAudiolib/Common/Containers/ZkNew.h"

#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

namespace
{
using namespace ZK::SoundEngine;
using namespace ZkCaptureTest;

// Writes through a std::fstream: the header at open, pieces at the end, the final header at 0.
class FileStreamWriter final : public CZkStreamFileWriter
{
public:
    ZKRESULT Open(const wchar_t* fileName, const void* header, uint32_t headerSize) override
    {
        const std::wstring wide(fileName);
        m_file.open(std::string(wide.begin(), wide.end()), std::ios::binary | std::ios::out | std::ios::trunc);
        return m_file.is_open() ? Write(header, headerSize) : ZK_FileNotFound;
    }
    ZKRESULT Close(const void* header, uint32_t headerSize) override
    {
        m_file.seekp(0);
        const ZKRESULT result = Write(header, headerSize);
        m_file.close();
        return result;
    }
    ZKRESULT WriteData(const void* buffer, uint32_t size) override { return Write(buffer, size); }
    ZKRESULT Write(const void* buffer, uint32_t size) override
    {
        m_file.write(static_cast<const char*>(buffer), size);
        return m_file.good() ? ZK_Success : ZK_Fail;
    }
    void Destroy() override { ZK::ZkDelete(kPool, this); }

private:
    std::fstream m_file;
};

class FileStreamFactory final : public CZkStreamFileWriterFactory
{
public:
    CZkStreamFileWriter* CreateWriter(uint32_t, uint32_t, void*) override
    {
        return ZK::ZkNew<FileStreamWriter>(CZkStreamFileWriter::kPool);
    }
};

class CaptureFileWriterTest : public ZkEngineTest::EngineMemoryTest
{
protected:
    CaptureFileWriter* Create(ZkChannelConfig config = ZkChannelConfig(0x3102))
    {
        return CaptureFileWriter::Create(&m_factory, Path().c_str(), 48000, ZkWaveHeader::kSampleFormatInt16, config);
    }
    std::wstring Path() const
    {
        const std::string path = (m_folder.Path() / "capture.wav").string();
        return std::wstring(path.begin(), path.end());
    }
    WaveFields Read() const { return ReadWaveChunks((m_folder.Path() / "capture.wav").string()); }

    ZkSoundFixtures::ScratchFolder m_folder;
    FileStreamFactory m_factory;
    const std::vector<int16_t> m_frames = std::vector<int16_t>(2 * 100, 1234); // 100 stereo frames
};

TEST_F(CaptureFileWriterTest, WithoutMarkersTheFileEndsWithItsDataAndTheRiffSizeIsDataPlus60)
{
    CaptureFileWriter* writer = Create(ZkChannelConfig::FromMask(0x60F));
    ASSERT_NE(writer, nullptr);
    const std::vector<int16_t> sixChannels(6 * 10, -7);
    ASSERT_EQ(writer->PassSamples(sixChannels.data(), 120), ZK_Success);
    EXPECT_EQ(writer->Close(), ZK_Success);
    const WaveFields fields = Read();
    EXPECT_EQ(fields.at("riff"), "RIFF");
    EXPECT_EQ(fields.at("wave"), "WAVE");
    EXPECT_EQ(Number(fields, "riffSize"), 120 + 60);
    EXPECT_EQ(Number(fields, "fileSize"), 68 + 120);
    EXPECT_EQ(fields.at("chunks"), "fmt,data");
    EXPECT_EQ(Number(fields, "fmt.size"), 40);
    EXPECT_EQ(Number(fields, "fmt.tag"), 0xFFFE);
    EXPECT_EQ(Number(fields, "fmt.channels"), 6);
    EXPECT_EQ(Number(fields, "fmt.rate"), 48000);
    EXPECT_EQ(Number(fields, "fmt.blockAlign"), 12);
    EXPECT_EQ(Number(fields, "fmt.bytesPerSecond"), 12 * 48000);
    EXPECT_EQ(Number(fields, "fmt.bits"), 16);
    EXPECT_EQ(Number(fields, "fmt.extension"), 22);
    EXPECT_EQ(Number(fields, "fmt.validBits"), 16) << "all 16 bits valid, so that WAVE readers take the file";
    EXPECT_EQ(Number(fields, "fmt.mask"), 0x60F);
    EXPECT_EQ(fields.at("fmt.subFormat"), "0100000000001000800000aa00389b71");
    EXPECT_EQ(Number(fields, "data.offset"), 60);
    EXPECT_EQ(Number(fields, "data.size"), 120);
}

TEST_F(CaptureFileWriterTest, AnAmbisonicCaptureNamesTheBFormatSubFormat)
{
    CaptureFileWriter* writer = Create(ZkChannelConfig((ZkChannelConfigType_Ambisonic << 8) | 4));
    ASSERT_NE(writer, nullptr);
    EXPECT_EQ(writer->Close(), ZK_Success);
    const WaveFields fields = Read();
    EXPECT_EQ(fields.at("fmt.subFormat"), "010000002107d3118644c8c1ca000000");
    EXPECT_EQ(Number(fields, "fmt.channels"), 4);
    EXPECT_EQ(Number(fields, "riffSize"), 60);
}

TEST_F(CaptureFileWriterTest, MarkersBecomeCuePointsWithLabelsAndSharedPositionsJoinTheirTexts)
{
    CaptureFileWriter* writer = Create();
    ASSERT_NE(writer, nullptr);
    ASSERT_EQ(writer->AddMarker("start"), ZK_Success); // label bytes 6: no pad
    ASSERT_EQ(writer->PassSamples(m_frames.data(), 400), ZK_Success);
    ASSERT_EQ(writer->AddMarker("hit"), ZK_Success);
    ASSERT_EQ(writer->AddMarker("Both"), ZK_Success); // joined: "hitBoth", label bytes 8
    ASSERT_EQ(writer->PassSamples(m_frames.data(), 40), ZK_Success);
    ASSERT_EQ(writer->AddMarker("even"), ZK_Success); // label bytes 5: one pad byte
    EXPECT_EQ(writer->MarkerCount(), 3u);
    EXPECT_EQ(writer->Close(), ZK_Success);

    const WaveFields fields = Read();
    EXPECT_EQ(fields.at("chunks"), "fmt,data,cue,LIST");
    EXPECT_EQ(Number(fields, "cue.count"), 3);
    EXPECT_EQ(Number(fields, "cue.size"), 3 * 24 + 4);
    const long positions[] = {0, 100, 110};
    for (int index = 0; index < 3; ++index)
    {
        const std::string prefix = "cue." + std::to_string(index) + ".";
        EXPECT_EQ(Number(fields, prefix + "id"), index + 1);
        EXPECT_EQ(Number(fields, prefix + "position"), positions[index]);
        EXPECT_EQ(fields.at(prefix + "chunk"), "data");
        EXPECT_EQ(Number(fields, prefix + "start"), 0);
        EXPECT_EQ(Number(fields, prefix + "block"), 0);
        EXPECT_EQ(Number(fields, prefix + "offset"), positions[index]);
    }
    EXPECT_EQ(fields.at("LIST.kind"), "adtl");
    EXPECT_EQ(Number(fields, "labl.count"), 3);
    EXPECT_EQ(fields.at("labl.0.text"), "start");
    EXPECT_EQ(fields.at("labl.1.text"), "hitBoth");
    EXPECT_EQ(fields.at("labl.2.text"), "even");
    EXPECT_EQ(Number(fields, "labl.0.size"), 6 + 4);
    EXPECT_EQ(Number(fields, "labl.2.size"), 5 + 4);
    EXPECT_EQ(Number(fields, "labl.2.pad"), 1) << "odd label bytes get a zero pad byte";
    for (int index = 0; index < 3; ++index)
    {
        EXPECT_EQ(Number(fields, "labl." + std::to_string(index) + ".terminated"), 1);
        EXPECT_EQ(Number(fields, "labl." + std::to_string(index) + ".cue"), index + 1);
    }
    // "LIST" size: 4 + (12 + 6) + (12 + 8) + (12 + 5 + 1).
    EXPECT_EQ(Number(fields, "LIST.size"), 4 + 18 + 20 + 18);
    EXPECT_EQ(Number(fields, "LIST.end"), Number(fields, "LIST.size"));
    const long markerBytes = (8 + 3 * 24 + 4) + (8 + Number(fields, "LIST.size"));
    EXPECT_EQ(Number(fields, "riffSize"), 440 + 60 + markerBytes);
    EXPECT_EQ(Number(fields, "fileSize"), 8 + Number(fields, "riffSize"));
}

TEST_F(CaptureFileWriterTest, ANameThatCannotBeOpenedMakesNoWriterAndLeavesNothingBehind)
{
    const std::wstring missing = L"/nonexistent-folder/capture.wav";
    EXPECT_EQ(CaptureFileWriter::Create(&m_factory, missing.c_str(), 48000, 1, ZkChannelConfig(0x3102)), nullptr);
    EXPECT_EQ(CaptureFileWriter::Create(&m_factory, nullptr, 48000, 1, ZkChannelConfig(0x3102)), nullptr);
    for (uint32_t nth = 1; nth <= 2; ++nth)
    {
        ZK::MemoryMgr::FaultInjection::ScopedAllocationFailure failure(ZkMemID_Default, nth);
        EXPECT_EQ(Create(), nullptr) << "allocation " << nth;
    }
    CaptureFileWriter* writer = Create();
    ASSERT_NE(writer, nullptr);
    {
        ZK::MemoryMgr::FaultInjection::ScopedAllocationFailure failure(ZkMemID_Default, 1);
        EXPECT_EQ(writer->AddMarker("lost"), ZK_InsufficientMemory);
    }
    EXPECT_EQ(writer->MarkerCount(), 0u);
    EXPECT_EQ(writer->Close(), ZK_Success);
}
} // namespace
