// The track player's timing: the events of a MIDI track reach the dispatch at the sample where a
// standard MIDI file player (Debian's python3-mido, given the same events with a tempo meta event)
// places them, never early and at most one tick late (a frame's span starts on the whole tick
// before the fractional tick it carries), from a start offset and with a first-frame lead-in; a stop time
// lets note-offs through and drops the note-ons from there on; a stop at once ends everything.
#include "SDK/source/SoundEngine/MusicEngine/Midi/MidiMediaFixture.h"
#include "SDK/source/SoundEngine/ZkAudiolib/Common/Containers/EngineMemoryFixture.h"

#include "MusicEngine/Midi/ZkMidiTrackSchedule.h"

#include <cmath>
#include <sstream>

namespace
{
using namespace ZK::MusicEngine;
using namespace ZkMidiTest;

constexpr uint32_t kRate = 48000;
constexpr uint32_t kFrame = 512;

// The given sample is at or after the expected one and within a tick of it (a rounding sample allowed).
void ExpectOnTime(double given, double expected, double tickSamples)
{
    EXPECT_GE(given, expected - 1.0);
    EXPECT_LE(given, expected + tickSamples + 1.0);
}

// Note on/off pairs on channel 0 (delta ticks), one controller among them.
struct TrackEvent
{
    uint32_t delta;
    uint8_t status;
    uint8_t data1;
    uint8_t data2;
};
const std::vector<TrackEvent> kEvents = {{0, 0x90, 60, 100},  {240, 0x80, 60, 0},  {240, 0x90, 62, 100},
                                         {240, 0x80, 62, 0},  {240, 0x90, 64, 90}, {40, 0xB0, 7, 80},
                                         {200, 0x80, 64, 0},  {10, 0x90, 65, 80},  {490, 0x80, 65, 0}};

std::string TrackDescription()
{
    std::ostringstream text;
    text << R"({"midi": {"ticks_per_quarter": 480, "tempo": 120, "events": [)";
    for (size_t i = 0; i < kEvents.size(); ++i)
        text << (i ? ", " : "") << R"({"delta": )" << kEvents[i].delta << R"(, "status": )" << int(kEvents[i].status)
             << R"(, "data": [)" << int(kEvents[i].data1) << ", " << int(kEvents[i].data2) << "]}";
    text << "]}}";
    return text.str();
}

// The seconds at which mido plays each event at each tempo (one line per tempo).
std::map<int, std::vector<double>> MidoTimes(const std::vector<int>& tempos)
{
    std::ostringstream script;
    script << "import mido\nev = [";
    for (const TrackEvent& e : kEvents)
        script << "(" << e.delta << "," << int(e.status) << "," << int(e.data1) << "," << int(e.data2) << "),";
    script << "]\nfor bpm in [";
    for (int tempo : tempos)
        script << tempo << ",";
    script << R"(]:
    f = mido.MidiFile(ticks_per_beat=480); t = mido.MidiTrack(); f.tracks.append(t)
    t.append(mido.MetaMessage('set_tempo', tempo=mido.bpm2tempo(bpm), time=0))
    for d, s, a, b in ev:
        t.append(mido.Message.from_bytes([s, a, b], time=d))
    now = 0.0; out = [str(bpm)]
    for m in f:
        now += m.time
        if not m.is_meta: out.append(repr(now))
    print(' '.join(out))
)";
    ZkSoundFixtures::ScratchFolder folder;
    const auto path = folder.Path() / "mido_times.py";
    std::ofstream(path) << script.str();
    std::istringstream lines(ZkEngineTest::RunCommand(std::string(kSystemPython) + " \"" + path.string() + "\""));
    std::map<int, std::vector<double>> times;
    std::string line;
    while (std::getline(lines, line))
    {
        std::istringstream fields(line);
        int bpm = 0;
        fields >> bpm;
        for (double seconds = 0; fields >> seconds;)
            times[bpm].push_back(seconds);
    }
    return times;
}

struct Given
{
    ZkMIDIEvent event;
    uint64_t sample; // from the start of the first frame
    uint32_t order;
};

class MidiTrackSchedule : public ZkEngineTest::EngineMemoryTest
{
protected:
    static void SetUpTestSuite()
    {
        s_media = WriteMidiMedia({TrackDescription()})[0];
        s_midoTimes = MidoTimes({120, 90});
    }

    // Every event over frames frames; stopAt (absolute sample) is handed to the frame it falls in.
    static std::vector<Given> Play(ZkMidiTrackSchedule& schedule, uint32_t frames, uint64_t stopAt = UINT64_MAX,
                                   uint32_t* endingFrames = nullptr)
    {
        std::vector<Given> given;
        for (uint32_t frame = 0; frame < frames; ++frame)
        {
            const uint64_t start = uint64_t{frame} * kFrame;
            if (stopAt >= start && stopAt < start + kFrame)
                schedule.Stop(static_cast<uint32_t>(stopAt - start));
            const bool ending = schedule.Advance(kFrame, [&](const ZkMIDIEvent& event, uint32_t offset, uint32_t order) {
                EXPECT_LT(offset, kFrame);
                given.push_back({event, start + offset, order});
            });
            if (ending && endingFrames != nullptr)
                ++*endingFrames;
        }
        return given;
    }

    static inline Bytes s_media;
    static inline std::map<int, std::vector<double>> s_midoTimes;
};

TEST_F(MidiTrackSchedule, EventsArriveWhereMidoPlaysThemFromAnyStart)
{
    ASSERT_EQ(s_midoTimes[120].size(), kEvents.size());
    ASSERT_EQ(s_midoTimes[90].size(), kEvents.size());
    struct Case
    {
        float tempo; // 0: the media's
        int midoTempo;
        uint32_t startOffset;
        uint32_t leadIn;
    };
    for (const Case& c : {Case{0, 120, 0, 0}, Case{0, 120, 0, 300}, Case{0, 120, 0, 1000}, Case{0, 120, 24000, 0},
                          Case{0, 120, 36000, 77}, Case{90, 90, 0, 0}})
    {
        SCOPED_TRACE(testing::Message() << "tempo " << c.tempo << " start " << c.startOffset << " lead-in " << c.leadIn);
        ZkMidiTrackSchedule schedule;
        ASSERT_EQ(schedule.Init(s_media.data(), static_cast<uint32_t>(s_media.size()), c.tempo, false, c.startOffset,
                                c.leadIn, kRate),
                  ZK_Success);
        const std::vector<Given> given = Play(schedule, 400);
        std::vector<double> expected;
        std::vector<size_t> indices;
        for (size_t i = 0; i < kEvents.size(); ++i)
        {
            const double sample = s_midoTimes[c.midoTempo][i] * kRate;
            if (sample + 0.5 >= c.startOffset)
            {
                expected.push_back(sample - c.startOffset + c.leadIn);
                indices.push_back(i);
            }
        }
        ASSERT_EQ(given.size(), expected.size());
        for (size_t i = 0; i < given.size(); ++i)
        {
            const TrackEvent& source = kEvents[indices[i]];
            EXPECT_EQ(given[i].event.type, source.status & 0xF0);
            EXPECT_EQ(given[i].event.data[0], source.data1);
            ExpectOnTime(static_cast<double>(given[i].sample), expected[i], kRate * 60.0 / (480.0 * c.midoTempo));
            EXPECT_EQ(given[i].order & ZkMidiTrackSchedule::kOrderNumberMask, indices[i]);
            EXPECT_EQ((given[i].order & ZkMidiTrackSchedule::kOrderFirst) != 0, i == 0);
            EXPECT_EQ(given[i].order & ZkMidiTrackSchedule::kOrderEnding, 0u);
        }
    }
}

TEST_F(MidiTrackSchedule, AStopTimeDropsLaterNoteOnsAndLetsTheRestThrough)
{
    // Stopped at 0.6 s (between the second note's on and its off, at 0.5 s and 0.75 s).
    const uint64_t stopAt = 28800;
    ZkMidiTrackSchedule schedule;
    ASSERT_EQ(schedule.Init(s_media.data(), static_cast<uint32_t>(s_media.size()), 0, false, 0, 0, kRate), ZK_Success);
    uint32_t endings = 0;
    const std::vector<Given> given = Play(schedule, 400, stopAt, &endings);
    EXPECT_EQ(endings, 1u);
    EXPECT_TRUE(schedule.IsEnding());
    size_t index = 0;
    for (size_t i = 0; i < kEvents.size(); ++i)
    {
        const double sample = s_midoTimes[120][i] * kRate;
        if (kEvents[i].status == 0x90 && sample >= stopAt)
            continue;
        ASSERT_LT(index, given.size());
        EXPECT_EQ(given[index].order & ZkMidiTrackSchedule::kOrderNumberMask, i);
        ExpectOnTime(static_cast<double>(given[index].sample), sample, 50.0);
        // Events of the frames after the stop carry the ending bit.
        EXPECT_EQ((given[index].order & ZkMidiTrackSchedule::kOrderEnding) != 0, given[index].sample >= stopAt / kFrame * kFrame + kFrame);
        ++index;
    }
    EXPECT_EQ(index, given.size());
}

TEST_F(MidiTrackSchedule, AStopAtOnceEndsEverythingAndIsRefusedNothing)
{
    ZkMidiTrackSchedule schedule;
    ASSERT_EQ(schedule.Init(s_media.data(), static_cast<uint32_t>(s_media.size()), 0, true, 0, 0, kRate), ZK_Success);
    EXPECT_FALSE(Play(schedule, 10).empty());
    schedule.Stop(ZkMidiTrackSchedule::kStopNow);
    EXPECT_EQ(schedule.Flags() & (ZkMidiTrackSchedule::kFlagStopped | ZkMidiTrackSchedule::kFlagStopRequested),
              ZkMidiTrackSchedule::kFlagStopped | ZkMidiTrackSchedule::kFlagStopRequested);
    EXPECT_TRUE(Play(schedule, 1000).empty());
}

TEST_F(MidiTrackSchedule, RefusesMediaItCannotPlay)
{
    ZkMidiTrackSchedule schedule;
    const auto size = static_cast<uint32_t>(s_media.size());
    EXPECT_EQ(schedule.Init(nullptr, size, 0, false, 0, 0, kRate), ZK_Fail);
    EXPECT_EQ(ZkMidiTrackSchedule().Init(s_media.data(), 0, 0, false, 0, 0, kRate), ZK_Fail);
    EXPECT_EQ(ZkMidiTrackSchedule().Init(s_media.data(), size, 0, false, 0, 0, 0), ZK_Fail);
    // A start past the end of a track that does not loop.
    EXPECT_EQ(ZkMidiTrackSchedule().Init(s_media.data(), size, 0, false, kRate * 60, 0, kRate), ZK_Fail);
}
} // namespace
