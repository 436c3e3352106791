// The source cursor over streams that hand a media out in buffers of chosen sizes: the bytes it
// delivers in order, cut at the end of the data, looping between byte positions the stream can only
// reach at its block boundaries, starting on a prefetch block, and what its opens answer.
#include "SDK/source/SoundEngine/ZkAudiolib/Common/Containers/EngineMemoryFixture.h"
#include "SDK/source/SoundEngine/ZkAudiolib/Common/Media/ChunkedStreamMgr.h"

#include "ZkAudiolib/Common/Hierarchy/ZkMediaRef.h"
#include "ZkAudiolib/Common/Media/ZkSourceCursor.h"

#include <ZK/SoundEngine/Common/ZkStreamMgrModule.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

namespace
{
using namespace ZK::SoundEngine;
using ZkSourceTest::ChunkedStreamMgr;

using Bytes = std::vector<uint8_t>;

Bytes Counting(uint32_t size)
{
    Bytes bytes(size);
    for (uint32_t i = 0; i < size; ++i)
        bytes[i] = static_cast<uint8_t>(i * 7 + i / 256);
    return bytes;
}

// Everything the cursor delivers until its end, consumed step bytes at a time.
Bytes Drain(ZkSourceCursor& cursor, uint32_t step, uint32_t limit = 1u << 20)
{
    Bytes out;
    for (;;)
    {
        const uint8_t* data = nullptr;
        uint32_t size = 0;
        const ZKRESULT got = cursor.GetData(data, size, false);
        if (got != ZK_DataReady || out.size() >= limit)
        {
            EXPECT_TRUE(got == ZK_NoMoreData || out.size() >= limit) << got;
            return out;
        }
        const uint32_t take = std::min(size, step);
        out.insert(out.end(), data, data + take);
        cursor.Advance(take);
    }
}

Bytes Expected(const Bytes& file, uint32_t dataStart, uint32_t loopStart, uint32_t loopEnd, uint32_t dataEnd,
               uint32_t loops)
{
    Bytes out(file.begin() + dataStart, file.begin() + loopEnd);
    for (uint32_t pass = 1; pass < loops; ++pass)
        out.insert(out.end(), file.begin() + loopStart, file.begin() + loopEnd);
    out.insert(out.end(), file.begin() + loopEnd, file.begin() + dataEnd);
    return out;
}

class SourceCursor : public ZkEngineTest::EngineMemoryTest
{
protected:
    void SetUp() override
    {
        EngineMemoryTest::SetUp();
        media.Init();
    }
    ZkSourceDescription InMemory(const Bytes& bytes, uint16_t loops)
    {
        ZkSourceDescription description;
        description.media = &media;
        description.kind = kSourceKindInMemory;
        description.loops = loops;
        description.memory = bytes.data();
        description.memorySize = static_cast<uint32_t>(bytes.size());
        return description;
    }
    ZkSourceDescription Streamed(uint32_t fileID, uint16_t loops)
    {
        media.fileID = static_cast<int32_t>(fileID);
        media.SetKind(kMediaKindOwned);
        ZkSourceDescription description;
        description.media = &media;
        description.kind = kSourceKindStreamed;
        description.codecNumber = 1;
        description.loops = loops;
        return description;
    }
    // A file of size counting bytes served as file id in buffers of chunk bytes, moving to
    // multiples of blockSize.
    Bytes Serve(uint32_t fileID, uint32_t size, uint32_t chunk, uint32_t blockSize)
    {
        const Bytes file = Counting(size);
        streams.chunks = {chunk};
        streams.blockSize = blockSize;
        streams.files[fileID] = file;
        return file;
    }
    // Opens, reads the first buffer as a source reads its header, then gives the layout and moves to
    // the data.
    void Start(ZkSourceCursor& cursor, const ZkSourceDescription& description, const ZkCursorLayout& layout,
               uint32_t dataStart)
    {
        ASSERT_EQ(cursor.Open(description), ZK_Success);
        const uint8_t* data = nullptr;
        uint32_t size = 0;
        ASSERT_EQ(cursor.GetData(data, size, false), ZK_DataReady);
        cursor.SetLayout(layout);
        const ZKRESULT moved = cursor.Seek(dataStart, description.loops);
        ASSERT_TRUE(moved == ZK_Success || moved == ZK_PartialSuccess) << moved;
    }

    ChunkedStreamMgr streams;
    ZkMediaRef media;
};

TEST_F(SourceCursor, LoopsBetweenBytePositionsInBuffersOfEverySize)
{
    const Bytes file = Counting(5000);
    const uint32_t dataStart = 100, loopStart = 1003, loopEnd = 2999, dataEnd = 4500;
    struct Case
    {
        std::vector<uint32_t> chunks;
        uint32_t blockSize;
        uint32_t step;
        bool streamed;
    } cases[] = {
        {{1u << 20}, 1, 4096, false},  // one buffer, from memory
        {{1u << 20}, 1, 7, false},
        {{512}, 16, 4096, true},       // the loop start lies between block boundaries
        {{300, 77, 1024}, 64, 13, true},
        {{4096}, 4096, 512, true},
    };
    for (const Case& c : cases)
    {
        streams.chunks = c.chunks;
        streams.blockSize = c.blockSize;
        streams.files[42] = file;
        for (uint16_t loops : {1, 2, 3})
        {
            ZkSourceCursor cursor;
            const ZkCursorLayout layout{10.0f, loopStart, loopEnd, dataEnd, 4};
            Start(cursor, c.streamed ? Streamed(42, loops) : InMemory(file, loops), layout, dataStart);
            const Bytes read = Drain(cursor, c.step);
            EXPECT_EQ(read, Expected(file, dataStart, loopStart, loopEnd, dataEnd, loops))
                << "chunk " << c.chunks[0] << " loops " << loops;
            EXPECT_TRUE(cursor.AtEnd());
            EXPECT_EQ(cursor.LoopsLeft(), 1u);
            cursor.ReleaseStream();
        }
    }
    EXPECT_EQ(streams.alive, 0);
}

TEST_F(SourceCursor, InfiniteLoopsNeverEndAndStopLoopingPlaysOnToTheEnd)
{
    const Bytes file = Serve(7, 3000, 700, 32);
    ZkSourceCursor cursor;
    Start(cursor, Streamed(7, 0), ZkCursorLayout{10.0f, 1010, 2010, 2900, 4}, 10);
    const Bytes looping = Drain(cursor, 100, 10000);
    EXPECT_EQ(looping.size(), 10000u);
    EXPECT_FALSE(cursor.AtEnd());
    EXPECT_EQ(cursor.LoopsLeft(), 0u);
    // 10000 bytes: 2000 of the first pass, then 8 loops of 1000.
    EXPECT_EQ(Bytes(looping.end() - 1000, looping.end()), Bytes(file.begin() + 1010, file.begin() + 2010));
    ASSERT_EQ(cursor.StopLooping(), ZK_Success);
    const Bytes rest = Drain(cursor, 100);
    EXPECT_EQ(rest, Bytes(file.begin() + 1010, file.begin() + 2900));
    EXPECT_TRUE(cursor.AtEnd());
}

TEST_F(SourceCursor, APrefetchBlockIsReadFirstAndTheStreamFollowsOnFromItsEnd)
{
    const Bytes file = Serve(9, 4000, 1000, 256);
    for (uint32_t prefetch : {300u, 1300u})
    {
        ZkSourceDescription description = Streamed(9, 2);
        description.memory = file.data();
        description.memorySize = prefetch;
        ZkSourceCursor cursor;
        // The loop starts inside the prefetch block for the first size, after it for the second.
        Start(cursor, description, ZkCursorLayout{10.0f, 200, 3000, 4000, 4}, 40);
        EXPECT_EQ(Drain(cursor, 64), Expected(file, 40, 200, 3000, 4000, 2)) << prefetch;
    }
}

TEST_F(SourceCursor, SeeksInsideTheBufferHeldOrMoveTheStream)
{
    const Bytes file = Serve(3, 4000, 1000, 100);
    ZkSourceCursor cursor;
    Start(cursor, Streamed(3, 1), ZkCursorLayout{10.0f, 0, 0, 4000, 1}, 50);
    EXPECT_EQ(cursor.Seek(999, 1), ZK_PartialSuccess) << "inside the buffer held";
    EXPECT_EQ(streams.last->positionsSet, 0u);
    EXPECT_EQ(cursor.Seek(2345, 1), ZK_Success);
    EXPECT_EQ(Drain(cursor, 1000), Bytes(file.begin() + 2345, file.end()));
    EXPECT_EQ(cursor.Seek(10, 1), ZK_Success) << "back from the end";
    EXPECT_FALSE(cursor.AtEnd());
    EXPECT_EQ(Drain(cursor, 1000).size(), 3990u);
}

TEST_F(SourceCursor, OpensAnswerForMediaTheyCannotReach)
{
    ZkSourceCursor cursor;
    ZkSourceDescription description = InMemory(Bytes{}, 1);
    description.memory = nullptr;
    EXPECT_EQ(cursor.Open(description), ZK_NoDataReady) << "media in memory without its memory";
    description = Streamed(5, 1);
    media.fileID = kNoFileID;
    EXPECT_EQ(cursor.Open(description), ZK_Fail) << "no file id";
    description = Streamed(5, 1);
    EXPECT_EQ(cursor.Open(description), ZK_FileNotFound);
    EXPECT_EQ(streams.lastFileType, 1u) << "opened as a media file of the codec";
    EXPECT_FALSE(cursor.IsOpen());
    const uint8_t* data = nullptr;
    uint32_t size = 0;
    EXPECT_EQ(cursor.GetData(data, size, false), ZK_Fail);
    EXPECT_EQ(streams.alive, 0);
}

TEST_F(SourceCursor, AMediaThatNamesItsFileIsOpenedByName)
{
    const Bytes file = Counting(1500);
    streams.chunks = {400};
    streams.named[L"voice.oxm"] = file;
    media.SetExternal(0, -1, L"voice.oxm", kNoFileID, true, false);
    ZkSourceDescription description;
    description.media = &media;
    description.kind = kSourceKindStreamed;
    description.codecNumber = 1;
    ZkSourceCursor cursor;
    Start(cursor, description, ZkCursorLayout{10.0f, 0, 0, 1500, 1}, 0);
    EXPECT_EQ(Drain(cursor, 300), file);
    cursor.ReleaseStream();
    media.Free();
}

TEST_F(SourceCursor, AStreamWithNothingReadyAnswers46AndTheBytesFollowLater)
{
    const Bytes file = Serve(4, 2000, 500, 1);
    ZkSourceCursor cursor;
    Start(cursor, Streamed(4, 1), ZkCursorLayout{10.0f, 0, 0, 2000, 1}, 0);
    const uint8_t* data = nullptr;
    uint32_t size = 0;
    ASSERT_EQ(cursor.GetData(data, size, false), ZK_DataReady);
    cursor.Advance(size);
    streams.last->notReadyCalls = 2;
    EXPECT_EQ(cursor.GetData(data, size, false), ZK_NoDataReady);
    EXPECT_EQ(cursor.GetData(data, size, false), ZK_NoDataReady);
    EXPECT_EQ(Drain(cursor, 2000), Bytes(file.begin() + 500, file.end()));
}
} // namespace

namespace
{
TEST_F(SourceCursor, LoopsOverTheStreamManagersOwnMemoryStream)
{
    // The stream manager's memory stream hands out the whole rest of the block without moving:
    // the cursor must not read it twice.
    ZK::IZkStreamMgr* saved = ZK::IZkStreamMgr::m_pStreamMgr;
    ZK::IZkStreamMgr::m_pStreamMgr = nullptr;
    ZK::IZkStreamMgr* manager = ZK::StreamMgr::Create(ZkStreamMgrSettings{});
    ASSERT_NE(manager, nullptr);
    const Bytes file = Counting(5000);
    for (uint16_t loops : {1, 3})
    {
        ZkSourceCursor cursor;
        Start(cursor, InMemory(file, loops), ZkCursorLayout{10.0f, 1003, 2999, 4500, 4}, 100);
        EXPECT_EQ(Drain(cursor, 333), Expected(file, 100, 1003, 2999, 4500, loops)) << loops;
    }
    manager->Destroy();
    ZK::IZkStreamMgr::m_pStreamMgr = saved;
}
} // namespace
