// Ten minutes of a looping MIDI track heard: a clip of one pass of four notes on a track whose
// loop count is 0, in a segment of more than ten minutes. Over 28125 frames of 1024 samples the
// fractional ticks carry from frame to frame and each pass follows the last one in the same
// advance: every note starts within one tick after the time mido gives it (its pass's start plus
// its time in the pass), and none is lost or doubled.
//
// The player counts a frame as 999.99994 / rate ms per sample (a hair short, so that a frame never
// reaches the tick that starts the next one), in float arithmetic: its musical clock falls behind
// the engine's by about 1e-7 of the time played, some 3 samples over ten minutes. The bound allows
// twice that on top of the tick.
#include "SDK/source/SoundEngine/MusicEngine/Midi/MidiClipHeardFixture.h"

namespace
{
using namespace ZkMidiClipTest;

// The starts of the runs of sound of a timeline fed piece by piece (as Bursts finds them).
struct NoteStarts
{
    static constexpr size_t kGap = 32;
    void Feed(const std::vector<float>& samples)
    {
        for (float sample : samples)
        {
            if (std::fabs(sample) < 1e-6f)
                ++quiet;
            else
            {
                if (quiet >= kGap)
                    starts.push_back(at);
                quiet = 0;
            }
            ++at;
        }
    }
    size_t quiet = kGap;
    size_t at = 0;
    std::vector<size_t> starts;
};

TEST_F(MidiClipHeard, TenMinutesOfALoopingTrackLoseAndDoubleNoNote)
{
    constexpr uint32_t kTenMinutesOfFrames = 600 * kRate / kFrames;
    constexpr uint32_t kChunk = 1024;
    const MidoTrack pass = MidoTimes({MidiMedia(kLoopPass, 120)})[0];
    ASSERT_EQ(pass.noteOns.size(), kLoopPass.size());
    ASSERT_NO_FATAL_FAILURE(StartMusic());
    ASSERT_NE(Play("Play_Loop"), 0u);
    NoteStarts heard;
    for (uint32_t done = 0; done < kTenMinutesOfFrames; done += kChunk)
    {
        ASSERT_NO_FATAL_FAILURE(Render(std::min(kChunk, kTenMinutesOfFrames - done)));
        heard.Feed(TakeTimeline());
    }
    ASSERT_EQ(heard.at, size_t{kTenMinutesOfFrames} * kFrames);

    std::vector<double> expected;
    // Each pass starts where the last one's last event lies (mido's length of the track).
    for (uint32_t passes = 0;; ++passes)
    {
        const size_t before = expected.size();
        for (double seconds : pass.noteOns)
        {
            const double sample = (passes * pass.length + seconds) * kRate;
            if (sample < static_cast<double>(heard.at))
                expected.push_back(sample);
        }
        if (expected.size() == before)
            break;
    }
    ASSERT_EQ(heard.starts.size(), expected.size()) << "notes lost or doubled";
    constexpr double kClockLag = 2e-7;
    size_t misplaced = 0;
    for (size_t i = 0; i < expected.size(); ++i)
    {
        const auto start = static_cast<double>(heard.starts[i]);
        // The tone's first sample is 0: the first one heard is the next.
        if (start < expected[i] || start > expected[i] + kTickSamples + 2.0 + expected[i] * kClockLag)
        {
            if (misplaced++ < 5)
                ADD_FAILURE() << "note " << i << " at " << start << ", mido: " << expected[i];
        }
    }
    EXPECT_EQ(misplaced, 0u);
}
} // namespace
