// The MIDI track reader over media written by tools/media_writer.py: the channel messages it gives
// (running status, system-exclusive and meta events skipped, note on with velocity 0 as note off),
// their ticks and sample times over frames at several tempos, loops and seeks, saved and restored
// places, and every way the media or the caller can be wrong: each ends cleanly, and no walk of the
// reader can hold the engine thread for ever.
#include "SDK/source/SoundEngine/MusicEngine/Midi/MidiMediaFixture.h"
#include "SDK/source/SoundEngine/ZkAudiolib/Common/Containers/EngineMemoryFixture.h"

#include "MemoryMgr/ZkMemoryFaultInjection.h"

#include <cmath>
#include <limits>

namespace
{
using namespace ZK::MusicEngine;
using namespace ZkMidiTest;
namespace Faults = ZK::MemoryMgr::FaultInjection;

constexpr double kRateHz = 48000.0;
constexpr uint32_t kFrameSamples = 512;
// One frame's span as the track player computes it.
const float kFrameMs = 999.99994f / static_cast<float>(kRateHz) * static_cast<float>(kFrameSamples);
constexpr float kHugeSpanMs = 1.0e7f;

// Running status (also over a one-byte message), a meta event, system-exclusive blocks of both
// kinds (each clearing the running status), a note on with velocity 0, all message kinds.
const std::string kMixedTrack = R"({"midi": {"ticks_per_quarter": 480, "tempo": 120, "events": [
    {"delta": 0, "status": "0x90", "data": [60, 100]},
    {"delta": 0, "data": [62, 100]},
    {"delta": 240, "meta": 1, "hex": "6869"},
    {"delta": 0, "status": "0x91", "data": [64, 0]},
    {"delta": 120, "sysex": "7e7f"},
    {"delta": 0, "status": "0xC2", "data": [5]},
    {"delta": 100, "data": [6]},
    {"delta": 20, "escape": "01"},
    {"delta": 0, "status": "0xB3", "data": [64, 127]},
    {"delta": 480, "status": "0xE0", "data": [0, 64]},
    {"delta": 1, "status": "0x80", "data": [60, 0]}]}})";
const std::vector<DueMessage> kMixedMessages = {
    {0x90, 0, 60, 100, 0, 0},  {0x90, 0, 62, 100, 1, 0}, {0x80, 1, 64, 0, 3, 240}, {0xC0, 2, 5, 0, 5, 360},
    {0xC0, 2, 6, 0, 6, 460},   {0xB0, 3, 64, 127, 8, 480}, {0xE0, 0, 0, 64, 9, 960}, {0x80, 0, 60, 0, 10, 961}};

// Four ticks a pass at one tick per 250 ms: notes at ticks 1 and 3, a meta event at tick 4.
const std::string kLoopTrack = R"({"midi": {"ticks_per_quarter": 4, "tempo": 60, "events": [
    {"delta": 1, "status": "0x90", "data": [60, 1]},
    {"delta": 2, "data": [61, 1]},
    {"delta": 1, "meta": 6, "hex": "4c"}]}})";

std::string TimingTrack(uint32_t ticksPerQuarter, const std::string& tempo)
{
    return R"({"midi": {"ticks_per_quarter": )" + std::to_string(ticksPerQuarter) + R"(, "tempo": )" + tempo +
           R"(, "events": [{"delta": 0, "status": "0x90", "data": [1, 1]}, {"delta": 1, "data": [2, 1]},
           {"delta": 2, "data": [3, 1]}, {"delta": 5, "data": [4, 1]}, {"delta": 40, "data": [5, 1]},
           {"delta": 3, "data": [6, 1]}, {"delta": 100, "data": [7, 1]}]}})";
}

class MidiTrackReader : public ZkEngineTest::EngineMemoryTest
{
protected:
    static std::vector<DueMessage> AdvanceWhole(CZkMidiTrackReader& reader)
    {
        std::vector<DueMessage> due;
        AdvanceInto(reader, kHugeSpanMs, due);
        return due;
    }
};

TEST_F(MidiTrackReader, GivesTheChannelMessagesInOrderWithTheirTicks)
{
    const Bytes media = WriteMidiMedia({kMixedTrack})[0];
    CZkMidiTrackReader reader;
    ASSERT_EQ(reader.Init(media.data(), static_cast<uint32_t>(media.size())), ZK_Success);
    EXPECT_EQ(reader.Flags(), CZkMidiTrackReader::kFlagHasData | CZkMidiTrackReader::kFlagValid);
    EXPECT_EQ(AdvanceWhole(reader), kMixedMessages);
    EXPECT_FALSE(reader.HasCurrentEvent());

    // The same messages one by one, without ticks.
    reader.Reset();
    EXPECT_EQ(reader.TargetTick(), 0u);
    for (const DueMessage& expected : kMixedMessages)
    {
        ZkMidiChannelMessage message;
        uint32_t number = 0;
        ASSERT_TRUE(reader.GetNextEvent(message, number));
        EXPECT_EQ((DueMessage{message.type, message.channel, message.data1, message.data2, number, expected.tick}),
                  expected);
    }
    ZkMidiChannelMessage message;
    uint32_t number = 0;
    EXPECT_FALSE(reader.GetNextEvent(message, number));
}

TEST_F(MidiTrackReader, TicksAndSampleTimesOverFramesFollowTheTempo)
{
    struct Case
    {
        uint32_t ticksPerQuarter;
        const char* tempo;
        double quarterNotesPerMinute;
    };
    const Case cases[] = {{480, "120", 120.0}, {96, "93.5", 93.5}, {960, "60", 60.0}, {1, "240", 240.0},
                          {65535, "30", 30.0}, {24, "0.75", 0.75}};
    std::vector<std::string> descriptions;
    for (const Case& c : cases)
        descriptions.push_back(TimingTrack(c.ticksPerQuarter, c.tempo));
    const std::vector<Bytes> media = WriteMidiMedia(descriptions);
    ASSERT_EQ(media.size(), std::size(cases));
    const uint32_t expectedTicks[] = {0, 1, 3, 8, 48, 51, 151};
    for (size_t index = 0; index < std::size(cases); ++index)
    {
        const Case& c = cases[index];
        SCOPED_TRACE(testing::Message() << c.ticksPerQuarter << " ticks per quarter at " << c.tempo);
        const double msPerTick = 60000.0 / (c.ticksPerQuarter * c.quarterNotesPerMinute);
        CZkMidiTrackReader reader;
        ASSERT_EQ(reader.Init(media[index].data(), static_cast<uint32_t>(media[index].size())), ZK_Success);
        EXPECT_NEAR(reader.MsPerTick(), msPerTick, msPerTick * 1e-6);
        EXPECT_NEAR(reader.TicksPerMs(), 1.0 / msPerTick, 1e-6 / msPerTick);

        std::vector<uint32_t> ticks;
        uint64_t frame = 0;
        for (; reader.HasCurrentEvent(); ++frame)
        {
            ZkMidiDueList due;
            const uint32_t spanStart = reader.TargetTick();
            reader.Advance(kFrameMs, due);
            // No tick is lost: the target is the whole ticks of the time so far.
            const double elapsedTicks = (frame + 1) * static_cast<double>(kFrameMs) / msPerTick;
            ASSERT_NEAR(reader.TargetTick(), std::floor(elapsedTicks), 1.0) << "frame " << frame;
            for (const auto* entry = due.First(); entry != nullptr; entry = entry->next)
            {
                const uint32_t tick = spanStart + static_cast<uint32_t>(std::lround(entry->offsetMs / msPerTick));
                ticks.push_back(tick);
                EXPECT_GE(tick, spanStart);
                EXPECT_LT(tick, reader.TargetTick());
                EXPECT_EQ(entry->message.data1, ticks.size());
                // The sample it is heard at: within one tick (and two samples) of its true time.
                const double heard = frame * kFrameSamples + entry->offsetMs * kRateHz / 1000.0;
                const double truth = tick * msPerTick * kRateHz / 1000.0;
                EXPECT_LE(std::abs(heard - truth), msPerTick * kRateHz / 1000.0 + 2.0) << "tick " << tick;
            }
        }
        EXPECT_EQ(ticks, std::vector<uint32_t>(std::begin(expectedTicks), std::end(expectedTicks)));
    }
}

TEST_F(MidiTrackReader, LoopingPassesFollowEachOtherAndSeeksLandOnThePass)
{
    const Bytes media = WriteMidiMedia({kLoopTrack})[0];
    CZkMidiTrackReader reader;
    ASSERT_EQ(reader.Init(media.data(), static_cast<uint32_t>(media.size())), ZK_Success);
    // Without loop: one pass, and a seek past its end fails.
    EXPECT_EQ(AdvanceWhole(reader), (std::vector<DueMessage>{{0x90, 0, 60, 1, 0, 1}, {0x90, 0, 61, 1, 1, 3}}));
    EXPECT_EQ(reader.Seek(250.0f * 8), ZK_Fail);

    reader.SetLoop(true);
    reader.Reset();
    std::vector<DueMessage> due;
    AdvanceInto(reader, 250.0f * 10, due); // ticks 0 to 9: a pass and a half
    EXPECT_EQ(due, (std::vector<DueMessage>{{0x90, 0, 60, 1, 0, 1},
                                            {0x90, 0, 61, 1, 1, 3},
                                            {0x90, 0, 60, 1, 3, 5},
                                            {0x90, 0, 61, 1, 4, 7},
                                            {0x90, 0, 60, 1, 6, 9}}));

    // Seeks near and far: the first event at or after the target, numbered as the walk would.
    for (const uint32_t targetTick : {6u, 4002u, 40000003u})
    {
        SCOPED_TRACE(targetTick);
        ASSERT_EQ(reader.Seek(250.0f * static_cast<float>(targetTick)), ZK_Success);
        const uint32_t target = reader.TargetTick();
        EXPECT_NEAR(target, targetTick, targetTick / 1.0e6 + 1.0);
        const uint32_t tick = reader.CurrentTick();
        EXPECT_GE(tick, target);
        EXPECT_LT(tick, target + 2);
        const uint32_t pass = (tick - 1) / 4;
        const uint32_t expectedNumber = 3 * pass + (tick % 4 == 1 ? 0 : tick % 4 == 3 ? 1 : 2);
        EXPECT_EQ(reader.EventNumber(), expectedNumber);
        ZkMidiChannelMessage message;
        uint32_t number = 0;
        ASSERT_TRUE(reader.GetNextEvent(message, number));
        EXPECT_EQ(message.data1, tick % 4 == 3 ? 61 : 60);
    }
}

TEST_F(MidiTrackReader, RestoredStateContinuesAsTheSavedReaderDoes)
{
    const std::vector<Bytes> media = WriteMidiMedia({kMixedTrack, kLoopTrack});
    for (const Bytes& track : media)
    {
        CZkMidiTrackReader original, restored;
        ASSERT_EQ(original.Init(track.data(), static_cast<uint32_t>(track.size())), ZK_Success);
        ASSERT_EQ(restored.Init(track.data(), static_cast<uint32_t>(track.size())), ZK_Success);
        original.SetLoop(true);
        restored.SetLoop(true);
        std::vector<DueMessage> ignored;
        for (int frame = 0; frame < 700; ++frame) // past several passes, mid-frame fractions
            AdvanceInto(original, kFrameMs * 3.3f, ignored);
        AdvanceInto(restored, 12345.0f, ignored); // somewhere else entirely
        ZkMidiReaderState state;
        original.SaveState(state);
        restored.RestoreState(state);
        EXPECT_EQ(restored.EventNumber(), original.EventNumber());
        std::vector<DueMessage> fromOriginal, fromRestored;
        for (int frame = 0; frame < 300; ++frame)
        {
            AdvanceInto(original, kFrameMs * 3.3f, fromOriginal);
            AdvanceInto(restored, kFrameMs * 3.3f, fromRestored);
        }
        EXPECT_FALSE(fromOriginal.empty());
        EXPECT_EQ(fromRestored, fromOriginal);
    }
}

TEST_F(MidiTrackReader, RefusesWhatItCannotReadAndKeepsTheTempoItCanUse)
{
    const std::map<std::string, Bytes> variants = WriteMidiVariants(kMixedTrack);
    const Bytes whole = WriteMidiMedia({kMixedTrack})[0];
    CZkMidiTrackReader reader;
    EXPECT_EQ(reader.Init(nullptr, 10), ZK_Fail);
    EXPECT_EQ(reader.Init(whole.data(), 0), ZK_Fail);
    for (const char* refused : {"ticks_zero", "tempo_nan", "tempo_negative", "tempo_infinite", "running_status_first",
                                "cut_0", "cut_5", "cut_7", "cut_8", "cut_9"})
    {
        SCOPED_TRACE(refused);
        ASSERT_TRUE(variants.count(refused));
        const Bytes& media = variants.at(refused);
        EXPECT_EQ(reader.Init(media.data(), static_cast<uint32_t>(media.size())), ZK_Fail);
        EXPECT_FALSE(reader.IsValid());
        EXPECT_TRUE(AdvanceWhole(reader).empty());
        EXPECT_EQ(reader.Seek(0.0f), ZK_Fail);
    }

    // A tempo so large that its ticks leave 32 bits: valid, and no span moves it.
    const Bytes& huge = variants.at("tempo_huge");
    ASSERT_EQ(reader.Init(huge.data(), static_cast<uint32_t>(huge.size())), ZK_Success);
    reader.SetLoop(true);
    EXPECT_TRUE(AdvanceWhole(reader).empty());
    EXPECT_EQ(reader.TargetTick(), 0u);

    // Spans that give no 32-bit tick count move nothing, the fraction included; the rest still plays.
    ASSERT_EQ(reader.Init(whole.data(), static_cast<uint32_t>(whole.size())), ZK_Success);
    reader.SetLoop(true);
    for (const float span : {-1.0f, std::numeric_limits<float>::quiet_NaN(), std::numeric_limits<float>::infinity(),
                             1.0e12f})
    {
        std::vector<DueMessage> due;
        AdvanceInto(reader, span, due);
        EXPECT_TRUE(due.empty()) << span;
        EXPECT_EQ(reader.TargetTick(), 0u) << span;
        EXPECT_EQ(reader.FractionalTick(), 0.0f) << span;
        EXPECT_EQ(reader.Seek(span), ZK_Fail) << span;
    }
    reader.SetLoop(false);
    EXPECT_EQ(AdvanceWhole(reader), kMixedMessages);

    // A target that would pass the last 32-bit tick stays where it is.
    reader.Reset();
    reader.RestoreState({0, 0, std::numeric_limits<uint32_t>::max() - 10, 0.0f});
    std::vector<DueMessage> due;
    AdvanceInto(reader, 1000.0f, due); // 960 ticks
    EXPECT_TRUE(due.empty());
    EXPECT_EQ(reader.TargetTick(), std::numeric_limits<uint32_t>::max() - 10);

    // Tempo 0 in the media: valid, nothing moves until a tempo is set; unusable tempos keep it.
    const Bytes silent =
        WriteMidiMedia({R"({"midi": {"tempo": 0, "events": [{"delta": 1, "status": "0x90", "data": [1, 1]}]}})"})[0];
    ASSERT_EQ(reader.Init(silent.data(), static_cast<uint32_t>(silent.size())), ZK_Success);
    EXPECT_TRUE(AdvanceWhole(reader).empty());
    for (const float ignoredTempo : {0.0f, -60.0f, std::numeric_limits<float>::quiet_NaN(),
                                     std::numeric_limits<float>::infinity()})
    {
        reader.SetTempo(ignoredTempo);
        EXPECT_EQ(reader.Tempo(), 0.0f);
    }
    reader.SetTempo(60.0f);
    reader.SetTempo(0.0f);
    EXPECT_EQ(reader.Tempo(), 60.0f);
    EXPECT_NEAR(reader.MsPerTick(), 60000.0f / (480 * 60.0f), 1e-6);
    EXPECT_EQ(AdvanceWhole(reader).size(), 1u);
}

TEST_F(MidiTrackReader, ALoopThatMovesNoTickPlaysOnceAndEnds)
{
    const std::map<std::string, Bytes> variants = WriteMidiVariants(kLoopTrack);
    const Bytes& still = variants.at("all_deltas_zero");
    CZkMidiTrackReader reader;
    ASSERT_EQ(reader.Init(still.data(), static_cast<uint32_t>(still.size())), ZK_Success);
    reader.SetLoop(true);
    EXPECT_EQ(AdvanceWhole(reader), (std::vector<DueMessage>{{0x90, 0, 60, 1, 0, 0}, {0x90, 0, 61, 1, 1, 0}}));
    EXPECT_TRUE(AdvanceWhole(reader).empty());
    EXPECT_EQ(reader.Seek(1000.0f), ZK_Fail);
    reader.RestoreState({1000000, 0, 5, 0.0f});
    EXPECT_EQ(reader.EventNumber(), 1000000u);

    // A looping track of meta events only holds no channel message to find.
    const Bytes metaOnly = WriteMidiMedia({R"({"midi": {"events": [{"delta": 1, "meta": 1, "hex": "41"},
        {"delta": 1, "sysex": "01"}]}})"})[0];
    ASSERT_EQ(reader.Init(metaOnly.data(), static_cast<uint32_t>(metaOnly.size())), ZK_Success);
    reader.SetLoop(true);
    ZkMidiChannelMessage message;
    uint32_t number = 0;
    EXPECT_FALSE(reader.GetNextEvent(message, number));
    std::vector<DueMessage> due;
    AdvanceInto(reader, 1000.0f, due);
    EXPECT_TRUE(due.empty());
}

TEST_F(MidiTrackReader, AMalformedEventOrACutEndsTheTrackThereLoopingOrNot)
{
    const std::map<std::string, Bytes> variants = WriteMidiVariants(kMixedTrack);
    struct Case
    {
        const char* variant;
        size_t messagesBefore; // of kMixedMessages
    };
    for (const Case c : {Case{"bad_status", 1}, Case{"controller_high_bit", 1}, Case{"long_delta", 1},
                         Case{"sysex_past_end", kMixedMessages.size()}})
    {
        SCOPED_TRACE(c.variant);
        const Bytes& media = variants.at(c.variant);
        CZkMidiTrackReader reader;
        ASSERT_EQ(reader.Init(media.data(), static_cast<uint32_t>(media.size())), ZK_Success);
        reader.SetLoop(true);
        EXPECT_EQ(AdvanceWhole(reader),
                  std::vector<DueMessage>(kMixedMessages.begin(), kMixedMessages.begin() + c.messagesBefore));
        EXPECT_FALSE(reader.HasCurrentEvent());
    }

    // Every cut: refused, or a prefix of the whole track's messages; the cut bytes are the whole
    // allocation, so a read past them is caught by the address checker.
    const Bytes whole = WriteMidiMedia({kMixedTrack})[0];
    size_t cuts = 0;
    for (const auto& [name, media] : variants)
    {
        if (name.rfind("cut_", 0) != 0)
            continue;
        ++cuts;
        SCOPED_TRACE(name);
        const Bytes exact(media);
        CZkMidiTrackReader reader;
        if (reader.Init(exact.data(), static_cast<uint32_t>(exact.size())) != ZK_Success)
        {
            EXPECT_LT(exact.size(), 10u); // only a cut inside the header or the first event
            continue;
        }
        const std::vector<DueMessage> due = AdvanceWhole(reader);
        ASSERT_LE(due.size(), kMixedMessages.size());
        EXPECT_EQ(due, std::vector<DueMessage>(kMixedMessages.begin(), kMixedMessages.begin() + due.size()));
    }
    EXPECT_EQ(cuts, whole.size());
}

TEST_F(MidiTrackReader, AnEntryThePoolCannotHoldIsDroppedAndTheRestArrive)
{
    const Bytes media = WriteMidiMedia({kMixedTrack})[0];
    CZkMidiTrackReader reader;
    ASSERT_EQ(reader.Init(media.data(), static_cast<uint32_t>(media.size())), ZK_Success);
    std::vector<DueMessage> due;
    {
        Faults::ScopedAllocationFailure failure(ZkMidiDueList::kPool, 2);
        AdvanceInto(reader, kHugeSpanMs, due);
    }
    std::vector<DueMessage> expected = kMixedMessages;
    expected.erase(expected.begin() + 1);
    EXPECT_EQ(due, expected);
}
} // namespace
