// The stream file writer against a recording stream manager: what it asks of the manager and the
// stream (open flags and mode, priorities, header rewrite at the start), and its failure paths.
#include "SDK/source/SoundEngine/ZkAudiolib/Common/Containers/EngineMemoryFixture.h"

#include "ZkAudiolib/Common/Capture/CZkStreamFileWriter.h"

#include "SDK/source/SoundEngine/ZkAudiolib/Common/StubStreamMgr.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace
{
using namespace ZK::SoundEngine;

struct WriteCall
{
    std::string bytes;
    bool wait;
    uint8_t priority;
    int64_t position;
};

class RecordingStream final : public IZkStandardStream
{
public:
    std::vector<WriteCall> writes;
    ZKRESULT writeResult = ZK_Success;
    ZKRESULT positionResult = ZK_Success;
    int64_t position = 0;
    bool destroyed = false;

    void Destroy() override { destroyed = true; }
    void GetInfo(ZkStreamInfo& info) override { info = {}; }
    ZkFileDescriptor* GetFileDescriptor() override { return nullptr; }
    ZKRESULT SetStreamName(const wchar_t*) override { return ZK_Success; }
    uint32_t GetBlockSize() override { return 1; }
    ZKRESULT Read(void*, uint32_t, bool, uint8_t, float, uint32_t& outSize) override
    {
        outSize = 0;
        return ZK_Fail;
    }
    ZKRESULT Write(void* buffer, uint32_t size, bool wait, uint8_t priority, float, uint32_t& outSize) override
    {
        writes.push_back({std::string(static_cast<const char*>(buffer), size), wait, priority, position});
        outSize = writeResult == ZK_Success ? size : 0;
        if (writeResult == ZK_Success)
            position += size;
        return writeResult;
    }
    uint64_t GetPosition(bool*) override { return static_cast<uint64_t>(position); }
    ZKRESULT SetPosition(int64_t offset, uint32_t method, int64_t*) override
    {
        if (positionResult == ZK_Success && method == ZK_MoveBegin)
            position = offset;
        return positionResult;
    }
    void Cancel() override {}
    void* GetData(uint32_t& size) override
    {
        size = 0;
        return nullptr;
    }
    ZkStreamStatus GetStatus() override { return ZK_StreamStatusCompleted; }
    ZkStreamStatus WaitForPendingOperation() override { return ZK_StreamStatusCompleted; }
};

class RecordingStreamMgr final : public ZkEngineTest::StubStreamMgr
{
public:
    RecordingStream stream;
    ZKRESULT openResult = ZK_Success;
    int opens = 0;
    std::wstring lastName;
    ZkFileOpenFlags lastFlags;
    uint32_t lastMode = 99;
    bool lastSync = false;

    ZKRESULT CreateStandardStreamByName(const wchar_t* name, ZkFileOpenFlags* flags, uint32_t mode,
                                        IZkStandardStream*& out, bool sync) override
    {
        ++opens;
        lastName = name;
        lastFlags = *flags;
        lastMode = mode;
        lastSync = sync;
        if (openResult != ZK_Success)
            return openResult;
        stream.destroyed = false;
        stream.position = 0;
        out = &stream;
        return ZK_Success;
    }
};

class StreamFileWriter : public ZkEngineTest::EngineMemoryTest
{
protected:
    void SetUp() override
    {
        EngineMemoryTest::SetUp();
        ZK::IZkStreamMgr::m_pStreamMgr = &m_manager;
        m_writer = CZkStreamFileWriterFactory::GetDefault()->CreateWriter(0, 0, nullptr);
        ASSERT_NE(m_writer, nullptr);
    }
    void TearDown() override
    {
        if (m_writer != nullptr)
            m_writer->Destroy();
        ZK::IZkStreamMgr::m_pStreamMgr = nullptr;
        EngineMemoryTest::TearDown();
    }
    RecordingStreamMgr m_manager;
    CZkStreamFileWriter* m_writer = nullptr;
    const std::string m_header = std::string(68, 'h');
    const std::string m_final = std::string(68, 'F');
};

TEST_F(StreamFileWriter, OpensForWritingAndRewritesTheHeaderAtTheStartWhenClosing)
{
    ASSERT_EQ(m_writer->Open(L"mix.wav", m_header.data(), 68), ZK_Success);
    EXPECT_EQ(m_manager.lastName, L"mix.wav");
    EXPECT_EQ(m_manager.lastMode, ZK_OpenModeWriteOverwrite);
    EXPECT_TRUE(m_manager.lastSync);
    EXPECT_EQ(m_manager.lastFlags.fileType, 1u);
    EXPECT_FALSE(m_manager.lastFlags.isLanguageSpecific);
    EXPECT_EQ(m_manager.lastFlags.cacheId, ZK_NoCacheID);
    EXPECT_EQ(m_writer->Open(L"other.wav", m_header.data(), 68), ZK_Success) << "already open";
    EXPECT_EQ(m_manager.opens, 1);
    ASSERT_EQ(m_writer->WriteData("samples", 7), ZK_Success);
    ASSERT_EQ(m_writer->Write("cue ", 4), ZK_Success);
    ASSERT_EQ(m_writer->Close(m_final.data(), 68), ZK_Success);
    EXPECT_TRUE(m_manager.stream.destroyed);
    EXPECT_FALSE(m_writer->IsOpen());

    const std::vector<WriteCall>& writes = m_manager.stream.writes;
    ASSERT_EQ(writes.size(), 4u) << "the header once, the data, the marker piece, the final header";
    EXPECT_EQ(writes[0].bytes, m_header);
    EXPECT_EQ(writes[0].priority, 100);
    EXPECT_EQ(writes[1].bytes, "samples");
    EXPECT_EQ(writes[1].position, 68);
    EXPECT_EQ(writes[2].bytes, "cue ");
    EXPECT_EQ(writes[3].bytes, m_final);
    EXPECT_EQ(writes[3].position, 0) << "the final header goes over the provisional one";
    for (size_t index = 0; index < writes.size(); ++index)
    {
        EXPECT_TRUE(writes[index].wait) << index;
        if (index > 0)
        {
            EXPECT_EQ(writes[index].priority, 0) << index;
        }
    }
}

TEST_F(StreamFileWriter, WithoutAFileCloseGives2AndAFailedOpenCanBeRetried)
{
    EXPECT_EQ(m_writer->Close(m_final.data(), 68), ZK_Fail);
    m_manager.openResult = ZK_FileNotFound;
    EXPECT_EQ(m_writer->Open(L"mix.wav", m_header.data(), 68), ZK_FileNotFound);
    EXPECT_FALSE(m_writer->IsOpen());
    m_manager.openResult = ZK_Success;
    m_manager.stream.writeResult = ZK_Fail;
    EXPECT_EQ(m_writer->Open(L"mix.wav", m_header.data(), 68), ZK_Fail) << "the header write failed";
    EXPECT_TRUE(m_manager.stream.destroyed);
    EXPECT_FALSE(m_writer->IsOpen());
    m_manager.stream.writeResult = ZK_Success;
    EXPECT_EQ(m_writer->Open(L"mix.wav", m_header.data(), 68), ZK_Success);
    EXPECT_EQ(m_manager.opens, 3);
}

TEST_F(StreamFileWriter, AFailedPositioningKeepsTheOldHeaderButStillCloses)
{
    ASSERT_EQ(m_writer->Open(L"mix.wav", m_header.data(), 68), ZK_Success);
    ASSERT_EQ(m_writer->WriteData("abc", 3), ZK_Success);
    m_manager.stream.positionResult = ZK_InvalidParameter;
    EXPECT_EQ(m_writer->Close(m_final.data(), 68), ZK_InvalidParameter);
    EXPECT_TRUE(m_manager.stream.destroyed);
    EXPECT_FALSE(m_writer->IsOpen());
    EXPECT_EQ(m_manager.stream.writes.size(), 2u) << "the final header was not written";
    EXPECT_EQ(m_writer->Write("x", 1), ZK_Fail) << "no file any more";
}
} // namespace
