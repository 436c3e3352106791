// The three kernels against the numpy models of modulator_model.py: LFOs read from a bank (every
// waveform, smoothing 0, 50 and 100 %, pulse widths, initial phases and attacks, at control and
// audio rate, the random waveform from a big-integer model of its generators), envelopes per
// sample at audio rate and per frame at control rate (the attack skip, releases before the decay
// ends), and time sources read from a bank (1 to 3 loops, rates 0.25, 1 and 4, an initial delay).
#include "ModulatorFixture.h"

#include <cmath>

namespace
{
using namespace ZkModulatorTest;

constexpr double kLfoTolerance = 1e-5;
constexpr double kEnvelopeTolerance = 1e-6;

int32_t SamplesOf(double seconds) { return static_cast<int32_t>(std::lround(seconds * kRate)); }

class ModulatorKernels : public ModulatorTest
{
};

TEST_F(ModulatorKernels, LfoWaveformsMatchTheModelAtControlAndAudioRate)
{
    struct Variant
    {
        float pulseWidth; // %
        float phase;      // degrees
        double attack;    // s
    };
    const Variant variants[] = {{25.0f, 0.0f, 0.0}, {50.0f, 90.0f, 0.05}, {75.0f, -135.0f, 0.01}};
    const float smoothings[] = {0.0f, 50.0f, 100.0f};
    struct Case
    {
        ZkUniqueID id;
        int32_t waveform;
        float smoothing;
        Variant variant;
        bool audio;
        uint64_t seed;
    };
    std::vector<Case> cases;
    std::string items;
    for (bool audio : {false, true})
    {
        for (int32_t waveform = 0; waveform < 6; ++waveform)
        {
            for (float smoothing : smoothings)
            {
                for (const Variant& variant : variants)
                {
                    const Case c{static_cast<ZkUniqueID>(100 + cases.size()), waveform, smoothing, variant, audio,
                                 0x1234567u + 7919u * cases.size()};
                    cases.push_back(c);
                    std::ostringstream item;
                    item << (items.empty() ? "" : ", ") << R"({"type": "lfo", "id": )" << c.id
                         << R"(, "props": {"lfo_depth": 80.0, "lfo_frequency": )" << (audio ? 20.0 : 3.0)
                         << R"(, "lfo_waveform": )" << waveform << R"(, "lfo_smoothing": )" << smoothing
                         << R"(, "lfo_pulse_width": )" << variant.pulseWidth << R"(, "lfo_initial_phase": )"
                         << variant.phase << R"(, "lfo_attack": )" << variant.attack << "}}";
                    items += item.str();
                }
            }
        }
    }
    LoadItems(items);

    // The audio-rate cases: their modulator has a subscriber that links to a voice parameter.
    ZkRTPCSubscription voiceVolume;
    voiceVolume.kind = ZkRTPCSubscriberKind_TargetList;
    voiceVolume.bit = 0;
    constexpr uint32_t kControlFrames = 24;
    constexpr uint32_t kAudioFrames = 3;

    std::ostringstream json;
    json << "[";
    std::vector<std::vector<FrameResult>> results;
    for (const Case& c : cases)
    {
        CZkModulator* modulator = Modulator(c.id);
        ASSERT_NE(modulator, nullptr);
        if (c.audio)
        {
            ASSERT_EQ(modulator->AddSubscriber(&voiceVolume), ZK_Success);
        }
        ZK::ZkLcg64::Engine().Seed(c.seed);
        CZkModulatorInstance* instance = NewInstance(modulator, PlayTrigger(), ZkModulatorScope_Global);
        ASSERT_NE(instance, nullptr);
        ASSERT_EQ(instance->Header().audioRateFrames, c.audio ? kFrames : 0u) << "case " << c.id;
        InstanceStepper stepper(*instance);
        std::vector<FrameResult> frames;
        for (uint32_t frame = 0; frame < (c.audio ? kAudioFrames : kControlFrames); ++frame)
            frames.push_back(stepper.Step());
        results.push_back(frames);
        json << (c.id == 100 ? "" : ",") << R"({"kind": "lfo", "waveform": )" << c.waveform << R"(, "smoothing": )"
             << c.smoothing << R"(, "pulse_width": )" << c.variant.pulseWidth << R"(, "phase": )" << c.variant.phase
             << R"(, "attack": )" << SamplesOf(c.variant.attack) << R"(, "depth": 80, "frequency": )"
             << (c.audio ? 20 : 3) << R"(, "seed": )" << c.seed << R"(, "audio": )" << (c.audio ? "true" : "false")
             << R"(, "frames": 1024, "buffers": )" << (c.audio ? kAudioFrames : kControlFrames) << "}";
    }
    json << "]";
    const std::vector<std::vector<double>> model = RunModel(json.str());

    size_t line = 0;
    for (size_t index = 0; index < cases.size(); ++index)
    {
        const Case& c = cases[index];
        SCOPED_TRACE(::testing::Message() << "waveform " << c.waveform << ", smoothing " << c.smoothing << " %, pulse "
                                          << c.variant.pulseWidth << " %, phase " << c.variant.phase << ", attack "
                                          << c.variant.attack << " s, " << (c.audio ? "audio" : "control") << " rate");
        uint32_t mismatches = 0;
        for (const FrameResult& frame : results[index])
        {
            const size_t count = c.audio ? frame.samples.size() : 1;
            for (size_t sample = 0; sample < count; ++sample, ++line)
            {
                ASSERT_LT(line, model.size());
                const double value = c.audio ? frame.samples[sample] : frame.value;
                const double ideal = model[line].back();
                if (std::abs(value - model[line][0]) > kLfoTolerance || std::abs(value - ideal) > kLfoTolerance)
                {
                    if (mismatches++ < 3)
                        ADD_FAILURE() << "line " << line << ": " << value << " against the model's " << model[line][0]
                                      << " (ideal " << ideal << ")";
                }
            }
        }
        EXPECT_EQ(mismatches, 0u);
    }
    EXPECT_EQ(line, model.size());
}

// Envelope records stepped as an instance would be: the elapsed count grows by a frame, the
// previous frame's value and state come back.
struct EnvelopeCase
{
    const char* what;
    int32_t attack;
    float curve;
    int32_t decay;
    float sustain;
    int32_t release;
    int64_t releaseFrame; // kNeverFrame: none
    float startLevel;
    int32_t startOffset;
    float current;
    int64_t elapsed;
    uint32_t buffers;
};

std::vector<FrameResult> RunEnvelope(const EnvelopeCase& c, bool audio)
{
    ZkEnvelopeRecord record;
    record.header.startOffset = c.startOffset;
    record.header.releaseFrame = c.releaseFrame;
    record.header.elapsedFrames = c.elapsed;
    record.header.currentValue = c.current;
    record.header.audioRateFrames = audio ? kFrames : 0;
    record.params = ZkEnvelopeParams{kNeverFrame, c.startLevel, c.attack, c.curve, c.sustain, c.decay, c.release};
    std::vector<FrameResult> frames;
    std::vector<float> buffer;
    for (uint32_t index = 0; index < c.buffers; ++index)
        frames.push_back(StepRecord(record, buffer));
    return frames;
}

std::string EnvelopeJson(const EnvelopeCase& c, bool audio)
{
    std::ostringstream json;
    json << R"({"kind": "envelope", "attack": )" << c.attack << R"(, "curve": )" << c.curve << R"(, "decay": )"
         << c.decay << R"(, "sustain": )" << c.sustain << R"(, "release": )" << c.release << R"(, "release_frame": )";
    if (c.releaseFrame == kNeverFrame)
        json << "null";
    else
        json << c.releaseFrame;
    json << R"(, "start_level": )" << c.startLevel << R"(, "start_offset": )" << c.startOffset << R"(, "current": )"
         << c.current << R"(, "elapsed": )" << c.elapsed << R"(, "audio": )" << (audio ? "true" : "false")
         << R"(, "frames": 1024, "buffers": )" << c.buffers << "}";
    return json.str();
}

const EnvelopeCase kEnvelopeCases[] = {
    {"attack, decay, sustain, release", 4800, 0.5f, 9600, 0.3f, 4800, 24000, 0.0f, 0, 0.0f, 0, 36},
    {"curve 0.8, started 100 samples into the first buffer", 3000, 0.8f, 5000, 0.6f, 9000, 12000, 0.0f, 101, 0.0f, 0,
     30},
    {"sustain held (no timed release)", 2048, 0.5f, 4096, 0.4f, 1000, kNeverFrame, 0.0f, 0, 0.0f, 0, 10},
    {"retriggered at 0.6 with curve 0.5: skips h + h x 0.2", 4800, 0.5f, 9600, 0.3f, 4800, 20000, 0.6f, 0, 0.6f, 0,
     30},
    {"retriggered at 0.2 below curve 0.5: skips h x 0.4", 4800, 0.5f, 9600, 0.3f, 4800, 20000, 0.2f, 0, 0.2f, 0, 30},
    {"curve 1 retriggered at 1: the whole attack skipped", 4800, 1.0f, 9600, 0.3f, 4800, 20000, 1.0f, 0, 1.0f, 0, 30},
    {"release during the decay: blend and shortened release", 4800, 0.5f, 20000, 0.2f, 8000, 9000, 0.0f, 0, 0.0f, 0,
     20},
    {"release during the attack below the sustain level", 4800, 0.2f, 20000, 0.6f, 8000, 1000, 0.0f, 0, 0.0f, 0, 12},
    {"release during the second half of the attack", 4800, 0.3f, 6000, 0.1f, 3000, 3500, 0.0f, 0, 0.0f, 0, 10},
    {"no attack, no decay: starts at the sustain level", 0, 0.5f, 0, 0.7f, 2000, 3000, 0.7f, 0, 0.0f, 0, 8},
    {"release ending on a buffer's end", 1024, 0.5f, 1024, 0.5f, 1024, 3072, 0.0f, 0, 0.0f, 0, 6},
};

TEST_F(ModulatorKernels, EnvelopeMatchesTheModelPerFrameAndPerSample)
{
    std::string json = "[";
    for (bool audio : {false, true})
    {
        for (const EnvelopeCase& c : kEnvelopeCases)
            json += (json.size() > 1 ? "," : "") + EnvelopeJson(c, audio);
    }
    const std::vector<std::vector<double>> model = RunModel(json + "]");

    size_t line = 0;
    for (bool audio : {false, true})
    {
        for (const EnvelopeCase& c : kEnvelopeCases)
        {
            SCOPED_TRACE(::testing::Message() << c.what << (audio ? ", audio rate" : ", control rate"));
            uint32_t mismatches = 0;
            for (const FrameResult& frame : RunEnvelope(c, audio))
            {
                if (!audio)
                {
                    ASSERT_LT(line, model.size());
                    const std::vector<double>& expected = model[line++];
                    if (std::abs(frame.value - expected[0]) > kEnvelopeTolerance ||
                        std::abs(frame.peak - expected[1]) > kEnvelopeTolerance || frame.state != expected[2])
                    {
                        if (mismatches++ < 3)
                            ADD_FAILURE() << "frame " << line << ": " << frame.value << " peak " << frame.peak
                                          << " state " << frame.state << " against " << expected[0] << " peak "
                                          << expected[1] << " state " << expected[2];
                    }
                    continue;
                }
                for (float sample : frame.samples)
                {
                    ASSERT_LT(line, model.size());
                    if (std::abs(sample - model[line][0]) > kEnvelopeTolerance && mismatches++ < 3)
                        ADD_FAILURE() << "sample line " << line << ": " << sample << " against " << model[line][0];
                    ++line;
                }
            }
            EXPECT_EQ(mismatches, 0u);
        }
    }
    EXPECT_EQ(line, model.size());
}

// The release that starts before the decay has ended never rises and reaches 0 at its end, at
// both rates.
TEST_F(ModulatorKernels, AnEarlyReleaseNeverRisesAndEndsAtZero)
{
    for (const EnvelopeCase& c : kEnvelopeCases)
    {
        if (c.releaseFrame == kNeverFrame || c.releaseFrame >= int64_t{c.attack} + c.decay)
            continue;
        for (bool audio : {false, true})
        {
            SCOPED_TRACE(::testing::Message() << c.what << (audio ? ", audio rate" : ", control rate"));
            std::vector<float> levels;
            bool ended = false;
            for (const FrameResult& frame : RunEnvelope(c, audio))
            {
                if (audio)
                    levels.insert(levels.end(), frame.samples.begin(), frame.samples.end());
                else
                    levels.push_back(frame.value);
                ended = ended || frame.state == ZkModulatorState_Stopped;
            }
            ASSERT_TRUE(ended) << "the release ends";
            const size_t releaseStart =
                audio ? static_cast<size_t>(c.releaseFrame + 2) / 4 * 4 : static_cast<size_t>(c.releaseFrame) / kFrames + 1;
            for (size_t index = releaseStart + 1; index < levels.size(); ++index)
                ASSERT_LE(levels[index], levels[index - 1]) << "at " << index;
            EXPECT_EQ(levels.back(), 0.0f);
        }
    }
}

TEST_F(ModulatorKernels, TimeSourcesMatchTheModel)
{
    struct Case
    {
        ZkUniqueID id;
        int32_t loops;
        float rate;
        float delay; // s
    };
    std::vector<Case> cases;
    std::string items;
    for (int32_t loops = 1; loops <= 3; ++loops)
    {
        for (float rate : {0.25f, 1.0f, 4.0f})
        {
            for (float delay : {0.0f, 0.1f})
            {
                const Case c{static_cast<ZkUniqueID>(300 + cases.size()), loops, rate, delay};
                cases.push_back(c);
                std::ostringstream item;
                item << (items.empty() ? "" : ", ") << R"({"type": "time_modulator", "id": )" << c.id
                     << R"(, "props": {"time_duration": 0.5, "time_loops": )" << loops << R"(, "time_playback_rate": )"
                     << rate << R"(, "time_initial_delay": )" << delay << "}}";
                items += item.str();
            }
        }
    }
    LoadItems(items);

    std::string json = "[";
    std::vector<std::vector<FrameResult>> results;
    for (const Case& c : cases)
    {
        // Enough frames for every loop and two frames past the end.
        const uint32_t buffers = static_cast<uint32_t>(c.loops * 0.5 * kRate / c.rate / kFrames + c.delay * kRate / kFrames) + 4;
        CZkModulatorInstance* instance = NewInstance(Modulator(c.id), PlayTrigger(), ZkModulatorScope_Global);
        ASSERT_NE(instance, nullptr);
        InstanceStepper stepper(*instance);
        std::vector<FrameResult> frames;
        for (uint32_t frame = 0; frame < buffers; ++frame)
            frames.push_back(stepper.Step());
        results.push_back(frames);
        std::ostringstream one;
        one << (json.size() > 1 ? "," : "") << R"({"kind": "time", "duration": 24000, "loops": )" << c.loops
            << R"(, "rate": )" << c.rate << R"(, "delay": )" << SamplesOf(c.delay)
            << R"(, "stop_playback": 1, "audio": false, "frames": 1024, "buffers": )" << buffers
            << R"(, "sample_rate": 48000})";
        json += one.str();
    }
    const std::vector<std::vector<double>> model = RunModel(json + "]");

    size_t line = 0;
    for (size_t index = 0; index < cases.size(); ++index)
    {
        const Case& c = cases[index];
        SCOPED_TRACE(::testing::Message() << c.loops << " loops at rate " << c.rate << ", delay " << c.delay << " s");
        uint32_t loopsSeen = 0;
        float previous = 0.0f;
        for (const FrameResult& frame : results[index])
        {
            ASSERT_LT(line, model.size());
            const std::vector<double>& expected = model[line++];
            EXPECT_NEAR(frame.value, expected[0], kLfoTolerance) << "frame " << line;
            EXPECT_EQ(frame.state, expected[2]) << "frame " << line;
            if (frame.value < previous && frame.state != ZkModulatorState_Stopped)
                ++loopsSeen;
            previous = frame.value;
        }
        EXPECT_EQ(loopsSeen + 1, static_cast<uint32_t>(c.loops)) << "the value starts again once per loop";
        EXPECT_EQ(results[index].back().value, 0.5f) << "held at the duration once ended";
        EXPECT_EQ(results[index].back().state, ZkModulatorState_Stopped);
    }
    EXPECT_EQ(line, model.size());
}
} // namespace
