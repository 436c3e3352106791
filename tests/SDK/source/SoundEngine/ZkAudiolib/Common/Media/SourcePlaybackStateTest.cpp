// The plain records of a file source's playback state: a target position folded into a loop, the
// loop-aware play position (advancing in pieces, moving by samples of another clock, the play time
// over loops), and the envelope table read from header bytes.
#include "ZkAudiolib/Common/Bytes/ZkByteCursor.h"
#include "ZkAudiolib/Common/Media/ZkEnvelopeTable.h"
#include "ZkAudiolib/Common/Media/ZkLoopMath.h"
#include "ZkAudiolib/Common/Media/ZkSourcePosition.h"

#include <gtest/gtest.h>

#include <vector>

namespace
{
using namespace ZK::SoundEngine;

TEST(LoopMath, FoldsPositionsPastTheLoopEndIntoTheLoop)
{
    struct Case
    {
        uint32_t position, start, end;
        uint16_t loops;
        uint32_t expectedPosition;
        uint16_t expectedLoops;
    } cases[] = {
        {450, 100, 199, 3, 250, 1},  // all loops used up: after the last pass
        {450, 100, 199, 0, 150, 0},  // infinite
        {250, 100, 199, 3, 150, 2},  // one pass taken
        {399, 100, 199, 3, 199, 1},  // the end of the last loop
        {150, 100, 199, 3, 150, 3},  // not past the loop end
        {450, 100, 199, 1, 450, 1},  // a single pass
        {450, 199, 199, 3, 450, 3},  // loop start not below its end
        {450, 200, 199, 0, 450, 0},
    };
    for (const Case& c : cases)
    {
        uint32_t position = 0;
        uint16_t loops = 0;
        ZkLoopMath::Resolve(c.position, c.start, c.end, c.loops, position, loops);
        EXPECT_EQ(position, c.expectedPosition) << c.position << " loops " << c.loops;
        EXPECT_EQ(loops, c.expectedLoops) << c.position << " loops " << c.loops;
    }
}

TEST(SourcePosition, AdvancesThroughTheLoopAndEndsOnTheLastPass)
{
    ZkSourcePosition record;
    record.Init(100, 199, 48000, 300, 2);
    bool looped = false;
    EXPECT_EQ(record.Advance(0, looped), ZK_NoDataReady);
    EXPECT_EQ(record.Advance(200, looped), ZK_DataReady);
    EXPECT_TRUE(looped);
    EXPECT_EQ(record.position, 100u);
    EXPECT_EQ(record.loopsLeft, 1u);
    EXPECT_EQ(record.Advance(150, looped), ZK_DataReady);
    EXPECT_FALSE(looped);
    EXPECT_EQ(record.Advance(50, looped), ZK_NoMoreData) << "the last pass runs to the length";

    ZkSourcePosition forever;
    forever.Init(0, 9, 1000, 10, 0);
    for (int pass = 0; pass < 3; ++pass)
    {
        EXPECT_EQ(forever.Advance(10, looped), ZK_DataReady);
        EXPECT_TRUE(looped);
        EXPECT_EQ(forever.loopsLeft, 0u) << "infinite stays infinite";
    }
}

TEST(SourcePosition, MovesBySamplesOfAnotherClockAndStopsAtTheLoopEnd)
{
    ZkSourcePosition record;
    record.Init(100, 199, 24000, 300, 2);
    ZkFractionalPosition at = record.GetRate(48000.0);
    EXPECT_DOUBLE_EQ(at.ratio, 0.5);
    ZkPositionStep step = record.FromSamples(at, 101);
    EXPECT_EQ(step.status, ZK_DataReady);
    EXPECT_EQ(step.frames, 50u);
    EXPECT_EQ(record.position, 50u);
    EXPECT_DOUBLE_EQ(at.position, 50.5);

    // 400 samples would reach frame 250: cut right after the loop end, back to the loop start.
    step = record.FromSamples(at, 400);
    EXPECT_EQ(step.frames, 150u);
    EXPECT_EQ(step.samples, 300u);
    EXPECT_EQ(record.position, 100u);
    EXPECT_EQ(record.loopsLeft, 1u);

    step = record.FromSamples(at, 0);
    EXPECT_EQ(step.status, ZK_NoDataReady);
    step = record.FromSamples(at, 1000);
    EXPECT_EQ(step.status, ZK_NoMoreData);
    EXPECT_EQ(record.position, 300u);
    EXPECT_EQ(step.frames, 200u);
}

TEST(SourcePosition, PlayTimeCountsEveryLoop)
{
    ZkSourcePosition record;
    record.Init(1000, 1999, 48000, 4800, 1);
    EXPECT_FLOAT_EQ(record.LoopTimeMs(1), 100.0f) << "one pass is the plain length";
    EXPECT_FLOAT_EQ(record.LoopTimeMs(3), (2000.0f * 1000.0f + 4800.0f * 1000.0f) / 48000.0f);
    EXPECT_FLOAT_EQ(record.LoopTimeMs(0), 0.0f) << "infinite";
    const ZkPlayPositionInfo snapshot = record.Snapshot(1.5f);
    EXPECT_EQ(snapshot.positionSamples, 0u);
    EXPECT_FLOAT_EQ(snapshot.rate, 1.5f);
    EXPECT_EQ(snapshot.durationSamples, 4800u);
    EXPECT_EQ(snapshot.sampleRate, 48000u);
}

std::vector<uint8_t> EnvelopeBytes(float offset, const std::vector<std::pair<uint32_t, uint16_t>>& points,
                                   uint32_t declared)
{
    std::vector<uint8_t> bytes(ZkEnvelopeTable::kHeaderBytes + points.size() * ZkEnvelopeTable::kPointBytes);
    ZK::StoreLittleEndian<uint32_t>(bytes.data(), declared);
    ZK::StoreLittleEndian<float>(bytes.data() + 4, offset);
    for (size_t i = 0; i < points.size(); ++i)
    {
        uint8_t* point = bytes.data() + ZkEnvelopeTable::kHeaderBytes + i * ZkEnvelopeTable::kPointBytes;
        ZK::StoreLittleEndian<uint32_t>(point, points[i].first);
        ZK::StoreLittleEndian<uint16_t>(point + 4, points[i].second);
    }
    return bytes;
}

TEST(EnvelopeTable, InterpolatesBetweenPointsFromTheLastSegmentOn)
{
    const auto bytes = EnvelopeBytes(2.0f, {{0, 10}, {100, 20}, {300, 0}}, 3);
    const ZkEnvelopeTable table = ZkEnvelopeTable::FromBytes(bytes.data(), static_cast<uint32_t>(bytes.size()));
    ASSERT_EQ(table.PointCount(), 3u);
    uint32_t index = 0;
    EXPECT_FLOAT_EQ(table.Lookup(index, 50), -(15.0f + 2.0f));
    EXPECT_EQ(index, 0u);
    EXPECT_FLOAT_EQ(table.Lookup(index, 200), -(10.0f + 2.0f));
    EXPECT_EQ(index, 1u);
    EXPECT_FLOAT_EQ(table.Lookup(index, 25), -(12.5f + 2.0f)) << "before the stored segment: from the start";
    EXPECT_EQ(index, 0u);
    EXPECT_FLOAT_EQ(table.Lookup(index, 300), -2.0f) << "at the last point";
    EXPECT_EQ(index, 2u);
    EXPECT_FLOAT_EQ(table.Lookup(index, 5000), -2.0f);
}

TEST(EnvelopeTable, APointCountBeyondItsBytesGivesNoTable)
{
    const auto bytes = EnvelopeBytes(0.0f, {{0, 10}, {100, 20}}, 3);
    const ZkEnvelopeTable table = ZkEnvelopeTable::FromBytes(bytes.data(), static_cast<uint32_t>(bytes.size()));
    EXPECT_EQ(table.PointCount(), 0u);
    uint32_t index = 0;
    EXPECT_FLOAT_EQ(table.Lookup(index, 50), 0.0f);
    const auto huge = EnvelopeBytes(0.0f, {{0, 1}}, 0xFFFFFFFFu);
    EXPECT_EQ(ZkEnvelopeTable::FromBytes(huge.data(), static_cast<uint32_t>(huge.size())).PointCount(), 0u);
    EXPECT_EQ(ZkEnvelopeTable::FromBytes(bytes.data(), 5).PointCount(), 0u);
    EXPECT_EQ(ZkEnvelopeTable::FromBytes(nullptr, 100).PointCount(), 0u);
}
} // namespace
