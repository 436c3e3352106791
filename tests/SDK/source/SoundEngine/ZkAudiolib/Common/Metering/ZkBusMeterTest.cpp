// Bus meters: the measurements of one object's frame (peak, RMS, true peak across frames, K-weighted
// power against the recommendation's filter and ffmpeg's loudness meter, signed peak), silence, and
// the meter's life with its flags and configuration.
#include "SDK/source/SoundEngine/ZkAudiolib/Common/Containers/EngineMemoryFixture.h"

#include <ZkAudiolib/Common/Metering/ZkBusMeter.h>
#include <ZkAudiolib/Common/Voice/ZkAudioSettings.h>

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <numbers>
#include <sstream>
#include <string>
#include <vector>

namespace
{
using namespace ZK::SoundEngine;

constexpr uint32_t kRate = 48000;
constexpr uint16_t kFrames = 1024;
constexpr float kScale = ZkBusMeter::kLevelScale;

// Planar samples of a configuration, with an ZkAudioBuffer over them.
struct Block
{
    Block(ZkChannelConfig config, uint16_t frames) : samples(static_cast<size_t>(config.NumChannels()) * frames, 0.0f)
    {
        buffer.AttachData(samples.data(), frames, config);
    }
    float* Channel(uint32_t c) { return buffer.GetChannel(c); }
    std::vector<float> samples;
    ZkAudioBuffer buffer;
};

class BusMeter : public ZkEngineTest::EngineMemoryTest
{
protected:
    void SetUp() override
    {
        EngineMemoryTest::SetUp();
        SetAudioFormatGlobals(kRate, kFrames);
    }
    void TearDown() override
    {
        ZkBusMeter::Destroy(meter);
        EngineMemoryTest::TearDown();
    }
    ZkBusMeter& Make(uint32_t flags, ZkChannelConfig config)
    {
        ZkBusMeter* made = ZkBusMeter::Refresh(meter, flags, config);
        EXPECT_NE(made, nullptr);
        return *made;
    }

    ZkBusMeter* meter = nullptr;
};

const ZkChannelConfig kStereo = ZkChannelConfig::FromMask(ZK_SPEAKER_SETUP_STEREO);

TEST_F(BusMeter, AFullScaleSquareWaveReadsItsScaleAsPeakAndRms)
{
    ZkBusMeter& m = Make(ZkMeteringFlag_Peak | ZkMeteringFlag_RMS, kStereo);
    Block block(kStereo, kFrames);
    for (uint32_t i = 0; i < kFrames; ++i)
    {
        block.Channel(0)[i] = (i / 8) % 2 == 0 ? 1.0f : -1.0f;
        block.Channel(1)[i] = (i / 3) % 2 == 0 ? -1.0f : 1.0f;
    }
    ZkBusMeter::Measure(1.0f, block.buffer, m);
    for (uint32_t c = 0; c < 2; ++c)
    {
        EXPECT_FLOAT_EQ(m.GetPeak()[c], 1.0009619f);
        EXPECT_FLOAT_EQ(m.GetRMS()[c], 1.0009619f);
    }
    EXPECT_EQ(m.GetTruePeak(), nullptr) << "not asked for";
    ZkBusMeter::Measure(0.5f, block.buffer, m);
    EXPECT_FLOAT_EQ(m.GetPeak()[0], 0.5f * kScale);
}

TEST_F(BusMeter, ASilentObjectReportsZerosForEveryMeasurement)
{
    ZkBusMeter& m = Make(ZkMeteringFlag_All, kStereo);
    Block block(kStereo, kFrames);
    std::fill(block.samples.begin(), block.samples.end(), 0.8f);
    for (int round = 0; round < 2; ++round)
    {
        ZkBusMeter::Measure(1.0f, block.buffer, m);
        EXPECT_GT(m.GetKWeightedPower(), 0.0f);
        // No valid frames, then a gain of 0: everything reads 0.
        if (round == 0)
            block.buffer.validFrames = 0;
        ZkBusMeter::Measure(round == 0 ? 1.0f : 0.0f, block.buffer, m);
        for (uint32_t c = 0; c < 2; ++c)
        {
            EXPECT_EQ(m.GetPeak()[c], 0.0f);
            EXPECT_EQ(m.GetTruePeak()[c], 0.0f);
            EXPECT_EQ(m.GetRMS()[c], 0.0f);
        }
        EXPECT_EQ(m.GetKWeightedPower(), 0.0f);
        block.buffer.validFrames = kFrames;
    }
    EXPECT_EQ(m.GetSignedPeak(), nullptr) << "signed peaks are for ambisonic objects";
}

TEST_F(BusMeter, APeakStraddlingTwoFramesHasTheTruePeakOfOneInsideAFrame)
{
    // A burst whose samples stay below 0.72 while the waveform between them reaches 1 (a quarter
    // of the sample rate, 45 degrees off the samples).
    const ZkChannelConfig mono = ZkChannelConfig::FromMask(ZK_SPEAKER_SETUP_MONO);
    auto burst = [](int32_t n) {
        return std::abs(n) <= 6 ? static_cast<float>(std::sin(std::numbers::pi / 2.0 * n + std::numbers::pi / 4.0))
                                : 0.0f;
    };
    float inside = 0.0f;
    float straddling = 0.0f;
    for (int32_t centre : {512, 1022})
    {
        ZkBusMeter::Destroy(meter);
        ZkBusMeter& m = Make(ZkMeteringFlag_TruePeak | ZkMeteringFlag_Peak, mono);
        float truePeak = 0.0f;
        for (int32_t frame = 0; frame < 2; ++frame)
        {
            Block block(mono, kFrames);
            for (int32_t i = 0; i < kFrames; ++i)
                block.Channel(0)[i] = burst(frame * kFrames + i - centre);
            ZkBusMeter::Measure(1.0f, block.buffer, m);
            truePeak = std::max(truePeak, m.GetTruePeak()[0]);
            EXPECT_LT(m.GetPeak()[0], 0.72f);
        }
        (centre == 512 ? inside : straddling) = truePeak;
    }
    EXPECT_GT(inside, 0.95f) << "the peak between the samples is found";
    EXPECT_FLOAT_EQ(straddling, inside);
}

// Sums of sines per channel (weight in the loudness sum, frequency, amplitude).
struct Tone
{
    float weight;
    float frequency;
    float amplitude;
};

float Sine(const Tone& tone, uint64_t n)
{
    return tone.amplitude *
           static_cast<float>(std::sin(2.0 * std::numbers::pi * tone.frequency * static_cast<double>(n) / kRate));
}

// Feeds frames 0..index of the tones and returns the meter's power of the last one.
float MeasuredPower(ZkBusMeter& m, ZkChannelConfig config, const std::vector<Tone>& tones, uint32_t index)
{
    for (uint32_t frame = 0; frame <= index; ++frame)
    {
        Block block(config, kFrames);
        for (uint32_t c = 0; c < config.NumChannels(); ++c)
            for (uint32_t i = 0; i < kFrames; ++i)
                block.Channel(c)[i] = Sine(tones[c], static_cast<uint64_t>(frame) * kFrames + i);
        ZkBusMeter::Measure(1.0f, block.buffer, m);
    }
    return m.GetKWeightedPower();
}

TEST_F(BusMeter, KWeightedPowerAgreesWithTheRecommendationsFilter)
{
    struct Case
    {
        ZkChannelConfig config;
        std::vector<Tone> tones; // in channel order; the weight is what the recommendation gives it
    };
    const Case cases[] = {
        {kStereo, {{1.0f, 997.0f, 0.5f}, {1.0f, 100.0f, 0.25f}}},
        {kStereo, {{1.0f, 5000.0f, 0.3f}, {1.0f, 40.0f, 0.9f}}},
        // 5.1: FL FR FC SL SR, then LFE (not counted); the sides weigh +1.5 dB.
        {ZkChannelConfig::FromMask(ZK_SPEAKER_SETUP_5POINT1),
         {{1.0f, 997.0f, 0.2f},
          {1.0f, 2000.0f, 0.1f},
          {1.0f, 300.0f, 0.3f},
          {1.4125375f, 1500.0f, 0.2f},
          {1.4125375f, 60.0f, 0.4f},
          {0.0f, 50.0f, 0.9f}}},
        // Ambisonics: the first channel only.
        {ZkChannelConfig((ZkChannelConfigType_Ambisonic << 8) | 4),
         {{1.0f, 700.0f, 0.5f}, {0.0f, 900.0f, 0.5f}, {0.0f, 900.0f, 0.5f}, {0.0f, 900.0f, 0.5f}}},
    };
    constexpr uint32_t kIndex = 20; // the filters have settled
    for (const Case& c : cases)
    {
        std::string arguments = std::to_string(kFrames) + " " + std::to_string(kIndex);
        for (const Tone& t : c.tones)
        {
            std::ostringstream tone;
            tone.precision(9);
            tone << " " << t.weight << ":" << t.frequency << ":" << t.amplitude;
            arguments += tone.str();
        }
        const std::string answer = ZkEngineTest::RunCommand(
            "/usr/bin/python3 \"" + std::string(KP_SOURCE_DIR) +
            "/tests/SDK/source/SoundEngine/ZkAudiolib/Common/Metering/kweighted_power.py\" " + arguments);
        ASSERT_FALSE(answer.empty()) << "the numpy oracle answered";
        const double expected = std::stod(answer) * ZkBusMeter::kPowerScale;
        ZkBusMeter::Destroy(meter);
        const float power = MeasuredPower(Make(ZkMeteringFlag_KWeightedPower, c.config), c.config, c.tones, kIndex);
        EXPECT_NEAR(10.0 * std::log10(power), 10.0 * std::log10(expected), 0.1) << "case " << (&c - cases);
    }
}

TEST_F(BusMeter, TheMomentaryLoudnessOfAToneMatchesFfmpegsLoudnessMeter)
{
    // A 997 Hz stereo tone with peaks at -23 dBFS, three seconds of it.
    const float amplitude = std::pow(10.0f, -23.0f / 20.0f);
    const std::vector<Tone> tones = {{1.0f, 997.0f, amplitude}, {1.0f, 997.0f, amplitude}};
    constexpr uint32_t kSeconds = 3;
    const std::string path = std::string(KP_BINARY_DIR) + "/tests/output/meter_tone_997.f32";
    {
        std::vector<float> interleaved(static_cast<size_t>(kRate) * kSeconds * 2);
        for (size_t n = 0; n < interleaved.size() / 2; ++n)
            interleaved[2 * n] = interleaved[2 * n + 1] = Sine(tones[0], n);
        FILE* file = std::fopen(path.c_str(), "wb");
        ASSERT_NE(file, nullptr);
        ASSERT_EQ(std::fwrite(interleaved.data(), sizeof(float), interleaved.size(), file), interleaved.size());
        std::fclose(file);
    }
    const std::string report = ZkEngineTest::RunCommand("ffmpeg -hide_banner -nostats -f f32le -ar 48000 -ac 2 -i \"" +
                                                        path + "\" -af ebur128 -f null - 2>&1");
    // The last momentary reading ("M: -23.0") of the per-100-ms lines.
    double momentary = 0.0;
    bool found = false;
    for (size_t at = report.find(" M:"); at != std::string::npos; at = report.find(" M:", at + 1))
    {
        momentary = std::stod(report.substr(at + 3));
        found = true;
    }
    ASSERT_TRUE(found) << "ffmpeg's meter reported:\n" << report;

    const float power = MeasuredPower(Make(ZkMeteringFlag_KWeightedPower, kStereo), kStereo, tones, 100);
    EXPECT_NEAR(-0.691 + 10.0 * std::log10(power), momentary, 0.1);
    EXPECT_NEAR(momentary, -23.0, 0.1) << "the tone itself";
}

TEST_F(BusMeter, TheSignedPeakOfAnAmbisonicObjectIsEachChannelWhereTheFirstPeaks)
{
    const ZkChannelConfig ambisonic((ZkChannelConfigType_Ambisonic << 8) | 4);
    ZkBusMeter& m = Make(ZkMeteringFlag_SignedPeak, ambisonic);
    Block block(ambisonic, kFrames);
    block.Channel(0)[10] = 0.5f;
    block.Channel(0)[300] = -0.75f; // the largest magnitude, first at 300
    block.Channel(0)[900] = 0.75f;
    block.Channel(1)[300] = 0.25f;
    block.Channel(2)[300] = -0.125f;
    block.Channel(3)[900] = 1.0f;
    ZkBusMeter::Measure(2.0f, block.buffer, m);
    const float expected[] = {-0.75f, 0.25f, -0.125f, 0.0f};
    for (uint32_t c = 0; c < 4; ++c)
        EXPECT_FLOAT_EQ(m.GetSignedPeak()[c], expected[c] * 2.0f * kScale) << "channel " << c;
}

TEST_F(BusMeter, AMeterIsKeptWhileItsFlagsAndConfigurationStayAndMadeAgainOtherwise)
{
    ZkBusMeter* first = &Make(ZkMeteringFlag_Peak, kStereo);
    EXPECT_EQ(ZkBusMeter::Refresh(meter, ZkMeteringFlag_Peak, kStereo), first);
    ZkBusMeter* rms = ZkBusMeter::Refresh(meter, ZkMeteringFlag_RMS, kStereo);
    ASSERT_NE(rms, nullptr);
    EXPECT_EQ(rms->Flags(), ZkMeteringFlag_RMS);
    ZkBusMeter* mono = ZkBusMeter::Refresh(meter, ZkMeteringFlag_RMS, ZkChannelConfig::FromMask(ZK_SPEAKER_SETUP_MONO));
    ASSERT_NE(mono, nullptr);
    EXPECT_EQ(mono->Config().NumChannels(), 1u);
    EXPECT_EQ(ZkBusMeter::Refresh(meter, 0, kStereo), nullptr) << "no flags, no meter";
    EXPECT_EQ(meter, nullptr);

    // Out of memory: no meter this frame, one the next.
    ZK::MemoryMgr::FaultInjection::FailNth(ZkBusMeter::kPool, 1);
    EXPECT_EQ(ZkBusMeter::Refresh(meter, ZkMeteringFlag_All, kStereo), nullptr);
    ZK::MemoryMgr::FaultInjection::Disarm();
    EXPECT_NE(ZkBusMeter::Refresh(meter, ZkMeteringFlag_All, kStereo), nullptr);
}
} // namespace
