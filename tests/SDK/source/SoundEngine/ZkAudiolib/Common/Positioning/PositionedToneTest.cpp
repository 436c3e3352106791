// A 3-D positioned tone heard end to end, through the running engine with offline rendering: a
// mono 1 kHz loop whose attenuation's dry curve falls linearly from 0 dB at 0 to -20 dB at 100, on
// an emitter moved by SetPosition around the default listener. Each channel's level is the
// attenuation times the three-dimensional panning (a numpy model); a move between two frames ramps
// across the next frame; a listener without spatialization hears k / L; a listener's volume
// offsets scale its speakers; a low-pass curve filters the connection.
#include "SDK/source/SoundEngine/ZkAudiolib/Common/Positioning/MainDevicePanning.h"
#include "SDK/source/SoundEngine/ZkAudiolib/Common/Renderer/FirstSoundFixture.h"

#include "ZkAudiolib/Common/MixGraph/CZkMixerInputContext.h"
#include "ZkAudiolib/Common/Output/CZkOutputDevice.h"
#include "ZkAudiolib/Common/Output/CZkOutputDeviceMgr.h"
#include "ZkAudiolib/Common/Parameters/ZkFastMath.h"
#include "ZkAudiolib/Common/Playback/CZkActiveInstances.h"
#include "ZkAudiolib/Common/Playback/CZkPlayingInstance.h"
#include "ZkAudiolib/Common/Renderer/CZkAudioRenderer.h"
#include "ZkAudiolib/Common/Voice/CZkVoice.h"

#include <Plugins/Effects/Common/ZkFilterCutoff.h>
#include <ZK/SoundEngine/Common/ZkQueryParameters.h>

#include <cmath>
#include <complex>

namespace
{
using namespace ZkFirstSoundTest;

constexpr ZkGameObjectID kListener = 9;
constexpr uint32_t kPeriod = kRate / kToneHz;                   // 48 samples
constexpr uint32_t kWholePeriods = kFrames / kPeriod;           // 21 in a frame
constexpr double kCurveStartDb = 0.0;
constexpr double kCurveEndDb = -20.0;
constexpr double kCurveEnd = 100.0;
constexpr float kLowPassValue = 40.0f;
constexpr double kLowPassToneHz = 4000.0;

struct Amplitudes
{
    double left = 0.0;
    double right = 0.0;
};

ZkTransform At(float x, float y, float z)
{
    ZkTransform transform = kZkDefaultTransform;
    transform.position = {x, y, z};
    return transform;
}

double Db(double amplitude) { return 20.0 * std::log10(std::max(amplitude, 1e-9)); }

class PositionedTone : public FirstSound
{
protected:
    void SetUp() override
    {
        FirstSound::SetUp();
        // Positioning byte 3: overridden, with 3-D settings (position mode 0: the emitter's own
        // positions); the 3-D byte 1: spatialized by position.
        const ZkSoundFixtures::Bytes bank = ZkSoundFixtures::WriteBank(R"({"name": "Positioned.bnk",
            "media": [{"id": 120, "wave": {"rate": 48000, "channels": 1, "loop": {"periods": 250, "of": 1000},
                                           "parts": [{"tone": 1000, "amp": 0.5}]}},
                      {"id": 121, "wave": {"rate": 48000, "channels": 1, "loop": {"periods": 1000, "of": 4000},
                                           "parts": [{"tone": 4000, "amp": 0.5}]}}],
            "chunks": [{"tag": "BKHD"}, {"tag": "DIDX"}, {"tag": "DATA"},
              {"tag": "HIRC", "items": [
                {"type": "attenuation", "id": 500, "map": {"0": 0},
                 "curves": [{"scaling": 0, "points": [[0, 0], [100, -20]]}]},
                {"type": "attenuation", "id": 501, "map": {"0": 0, "3": 1},
                 "curves": [{"scaling": 0, "points": [[0, 0], [100, -20]]},
                            {"scaling": 0, "points": [[0, 40], [100, 40]]}]},
                {"type": "sound", "id": 220, "media": 120, "bus": "Effects", "props": {"loop_count": 0,
                 "attenuation": 500}, "positioning": 3, "positioning_3d": 1},
                {"type": "sound", "id": 221, "media": 121, "bus": "Effects", "props": {"loop_count": 0,
                 "attenuation": 501}, "positioning": 3, "positioning_3d": 1},
                {"type": "sound", "id": 222, "media": 120, "bus": "Effects", "behaviour": 3, "props": {"loop_count": 0,
                 "attenuation": 500, "priority": 60, "8": -10.0}, "positioning": 3, "positioning_3d": 1},
                {"type": "action", "id": 322, "action": "play", "target": 222},
                {"type": "event", "id": "Play_PriorityByDistance", "actions": [322]},
                {"type": "bus", "id": "PositionedBus", "parent": "Effects", "channel_config": 12546,
                 "positioning": 3, "positioning_3d": 1, "props": {"attenuation": 500}},
                {"type": "sound", "id": 223, "media": 120, "bus": "PositionedBus", "props": {"loop_count": 0}},
                {"type": "action", "id": 323, "action": "play", "target": 223},
                {"type": "event", "id": "Play_ThroughPositionedBus", "actions": [323]},
                {"type": "attenuation", "id": 502, "map": {"0": 0, "5": 1, "6": 2},
                 "curves": [{"scaling": 0, "points": [[0, 0], [100, -20]]}, {"points": [[0, 0], [100, 80]]},
                            {"points": [[0, 100], [100, 0]]}]},
                {"type": "sound", "id": 224, "media": 120, "bus": "Effects", "props": {"loop_count": 0,
                 "attenuation": 502}, "positioning": 3, "positioning_3d": 1},
                {"type": "action", "id": 324, "action": "play", "target": 224},
                {"type": "event", "id": "Play_SpreadAndFocus", "actions": [324]},
                {"type": "attenuation", "id": 503, "map": {"0": 0},
                 "curves": [{"scaling": 0, "points": [[0, 0], [1000, -120]]}]},
                {"type": "sound", "id": 225, "media": 120, "bus": "Effects", "props": {"loop_count": 0,
                 "attenuation": 503}, "positioning": 3, "positioning_3d": 1, "limit_flags": 16, "below_threshold": 2},
                {"type": "action", "id": 325, "action": "play", "target": 225},
                {"type": "event", "id": "Play_FarAway", "actions": [325]},
                {"type": "action", "id": 320, "action": "play", "target": 220},
                {"type": "event", "id": "Play_Positioned", "actions": [320]},
                {"type": "action", "id": 321, "action": "play", "target": 221},
                {"type": "event", "id": "Play_PositionedLowPass", "actions": [321]}]}]})");
        ASSERT_FALSE(bank.empty());
        std::ofstream(m_folder.Path() / "Positioned.bnk", std::ios::binary)
            .write(reinterpret_cast<const char*>(bank.data()), static_cast<std::streamsize>(bank.size()));
    }

    // The engine, the bank, a default listener at the origin facing +z, the emitter at position.
    void StartAt(const ZkTransform& position)
    {
        ASSERT_NO_FATAL_FAILURE(Start());
        ZkBankID bank = 0;
        ASSERT_EQ(LoadBank("Positioned.bnk", bank), ZK_Success);
        ASSERT_EQ(RegisterGameObj(kListener, "Listener"), ZK_Success);
        ASSERT_EQ(SetDefaultListeners(&kListener, 1), ZK_Success);
        ASSERT_EQ(SetPosition(kListener, kZkDefaultTransform), ZK_Success);
        ASSERT_EQ(SetPosition(kEmitter, position), ZK_Success);
        ASSERT_EQ(RenderAudio(true), ZK_Success);
    }

    // The amplitude of each channel over the whole periods of a frame's samples, from their mean
    // square (exact for a steady sine whatever its phase).
    Amplitudes FrameAmplitudes(size_t frame, uint32_t firstPeriod = 0, uint32_t periods = kWholePeriods) const
    {
        const size_t begin = frameOffsets.at(frame) + size_t{firstPeriod} * kPeriod;
        double squares[2] = {};
        for (size_t k = begin; k < begin + size_t{periods} * kPeriod; ++k)
            for (uint32_t c = 0; c < 2; ++c)
                squares[c] += double(captured.at(k * channels + c)) * captured.at(k * channels + c);
        const double n = double(periods) * kPeriod;
        return {std::sqrt(2.0 * squares[0] / n), std::sqrt(2.0 * squares[1] / n)};
    }

    Amplitudes LastFrame() const { return FrameAmplitudes(frameOffsets.size() - 1); }

    // The numpy model's amplitudes of each position (relative to the listener).
    std::vector<Amplitudes> Model(const std::vector<ZkVector>& positions) const
    {
        const ZkPositioningTest::DevicePanning panning = ZkPositioningTest::MainDevicePanning();
        const uint32_t rule = panning.rule;
        const float* angles = panning.angles;
        const std::filesystem::path cases = m_folder.Path() / "positioned_tone_cases.txt";
        {
            std::ofstream file(cases);
            for (const ZkVector& p : positions)
                file << kToneAmplitude << ' ' << p.x << ' ' << p.y << ' ' << p.z << " 0 " << kCurveStartDb << ' '
                     << kCurveEnd << ' ' << kCurveEndDb << ' ' << rule << ' ' << angles[0] << ' ' << angles[1] << ' '
                     << angles[2] << '\n';
        }
        std::istringstream output(ZkEngineTest::RunCommand(
            "/usr/bin/python3 \"" + std::string(KP_SOURCE_DIR) +
            "/tests/SDK/source/SoundEngine/ZkAudiolib/Common/Positioning/positioned_tone_model.py\" < \"" +
            cases.string() + "\""));
        std::vector<Amplitudes> model;
        Amplitudes a;
        while (output >> a.left >> a.right)
            model.push_back(a);
        std::filesystem::remove(cases);
        return model;
    }

    static void ExpectLevel(double measured, double expected, const std::string& what)
    {
        // A channel the model leaves (nearly) silent is checked against silence, not in dB.
        if (expected < 1e-3)
            EXPECT_LT(measured, 2e-3) << what;
        else
            EXPECT_NEAR(Db(measured), Db(expected), 0.2) << what << ": " << measured << " against " << expected;
    }
};

TEST_F(PositionedTone, EachChannelIsTheAttenuationTimesThePanningAroundTheListener)
{
    const std::vector<std::pair<const char*, ZkVector>> directions = {
        {"ahead", {0, 0, 1}}, {"left", {-1, 0, 0}}, {"right", {1, 0, 0}},
        {"behind", {0, 0, -1}}, {"above", {0, 1, 0}}, {"below", {0, -1, 0}}};
    std::vector<ZkVector> positions;
    std::vector<std::string> names;
    for (float distance : {50.0f, 150.0f})
        for (const auto& [name, d] : directions)
        {
            positions.push_back({d.x * distance, d.y * distance, d.z * distance});
            names.push_back(std::string(name) + " at " + std::to_string(int(distance)));
        }
    const std::vector<Amplitudes> model = Model(positions);
    ASSERT_EQ(model.size(), positions.size());

    ASSERT_NO_FATAL_FAILURE(StartAt(At(positions[0].x, positions[0].y, positions[0].z)));
    ASSERT_NE(PostEvent("Play_Positioned", kEmitter), 0u);
    ASSERT_NO_FATAL_FAILURE(RenderFrames(3));
    ASSERT_EQ(channels, 2u);
    for (size_t i = 0; i < positions.size(); ++i)
    {
        ASSERT_EQ(SetPosition(kEmitter, At(positions[i].x, positions[i].y, positions[i].z)), ZK_Success);
        // One frame ramps to the new place, the next is steady there.
        ASSERT_NO_FATAL_FAILURE(RenderFrames(2));
        const Amplitudes heard = LastFrame();
        ExpectLevel(heard.left, model[i].left, names[i] + ", left");
        ExpectLevel(heard.right, model[i].right, names[i] + ", right");
    }
}

// The matrix of the frame after a move ramps from the old one to the new one across the frame: each
// period's level lies on the line between the two places' levels (the gain at the period's middle
// sample), and the first period continues the last frame without a step.
TEST_F(PositionedTone, AMoveBetweenTwoFramesRampsLinearlyAcrossOneFrame)
{
    ASSERT_NO_FATAL_FAILURE(StartAt(At(-50.0f, 0.0f, 0.0f)));
    ASSERT_NE(PostEvent("Play_Positioned", kEmitter), 0u);
    ASSERT_NO_FATAL_FAILURE(RenderFrames(3));
    const Amplitudes before = LastFrame();
    ASSERT_EQ(SetPosition(kEmitter, At(50.0f, 0.0f, 0.0f)), ZK_Success);
    ASSERT_NO_FATAL_FAILURE(RenderFrames(2));
    const Amplitudes after = LastFrame();
    ASSERT_GT(before.left, 4.0 * after.left) << "the emitter moved from left to right";
    const size_t ramp = frameOffsets.size() - 2;
    for (uint32_t period = 0; period < kWholePeriods; ++period)
    {
        const double t = (period * kPeriod + (kPeriod - 1) * 0.5) / kFrames;
        const Amplitudes heard = FrameAmplitudes(ramp, period, 1);
        EXPECT_NEAR(heard.left, before.left + (after.left - before.left) * t, 0.01 * before.left) << "period " << period;
        EXPECT_NEAR(heard.right, before.right + (after.right - before.right) * t, 0.01 * after.right)
            << "period " << period;
    }
}

// A listener without spatialization hears every input channel on each of its L speakers with
// k / L (k = 1 for a mono input, L = 2 on stereo), after the attenuation.
TEST_F(PositionedTone, AListenerWithoutSpatializationHearsKOverLOfTheAttenuatedLevel)
{
    ASSERT_NO_FATAL_FAILURE(StartAt(At(-50.0f, 0.0f, 0.0f)));
    ASSERT_EQ(SetListenerSpatialization(kListener, false, ZkChannelConfig::FromMask(ZK_SPEAKER_SETUP_STEREO)),
              ZK_Success);
    ASSERT_NE(PostEvent("Play_Positioned", kEmitter), 0u);
    ASSERT_NO_FATAL_FAILURE(RenderFrames(3));
    const double attenuated = kToneAmplitude * std::pow(10.0, -10.0 / 20.0); // -10 dB at 50
    const Amplitudes heard = LastFrame();
    EXPECT_NEAR(Db(heard.left), Db(0.5 * attenuated), 0.2);
    EXPECT_NEAR(Db(heard.right), Db(0.5 * attenuated), 0.2);
}

// Offsets of {-6, 0} dB on a stereo listener scale the left speaker by ZkFastPow10(-0.3) and the
// right one by ZkFastPow10(0).
TEST_F(PositionedTone, AListenersVolumeOffsetsScaleItsSpeakers)
{
    const ZkVector ahead{20.0f, 0.0f, 50.0f};
    const std::vector<Amplitudes> model = Model({ahead});
    ASSERT_EQ(model.size(), 1u);
    ASSERT_NO_FATAL_FAILURE(StartAt(At(ahead.x, ahead.y, ahead.z)));
    const float offsets[2] = {-6.0f, 0.0f};
    ASSERT_EQ(SetListenerSpatialization(kListener, true, ZkChannelConfig::FromMask(ZK_SPEAKER_SETUP_STEREO), offsets),
              ZK_Success);
    ASSERT_NE(PostEvent("Play_Positioned", kEmitter), 0u);
    ASSERT_NO_FATAL_FAILURE(RenderFrames(3));
    const Amplitudes heard = LastFrame();
    EXPECT_NEAR(Db(heard.left), Db(model[0].left * ZK::SoundEngine::ZkFastPow10(-0.3f)), 0.2);
    EXPECT_NEAR(Db(heard.right), Db(model[0].right * ZK::SoundEngine::ZkFastPow10(0.0f)), 0.2);
    EXPECT_NEAR(ZK::SoundEngine::ZkFastPow10(0.0f), 0.99904f, 1e-5f);
}

// A low-pass curve (role 3) sets the connection's low-pass value to the curve's, and a 4 kHz
// tone's level to what a second-order Butterworth low-pass at that value's cut-off (scipy's
// coefficients) leaves of it.
TEST_F(PositionedTone, ALowPassCurveFiltersTheConnectionAsTheFilterModelSays)
{
    const ZkVector ahead{0.0f, 0.0f, 50.0f};
    const std::vector<Amplitudes> model = Model({ahead});
    ASSERT_EQ(model.size(), 1u);
    ASSERT_NO_FATAL_FAILURE(StartAt(At(ahead.x, ahead.y, ahead.z)));
    ASSERT_NE(PostEvent("Play_PositionedLowPass", kEmitter), 0u);
    ASSERT_NO_FATAL_FAILURE(RenderFrames(6));

    ASSERT_EQ(ZK::SoundEngine::CZkAudioRenderer::VoiceCount(), 1u);
    const ZK::SoundEngine::CZkVoice* voice = ZK::SoundEngine::CZkAudioRenderer::VoiceAt(0);
    ASSERT_NE(voice->FirstOutput(), nullptr);
    EXPECT_FLOAT_EQ(voice->FirstOutput()->listenerLowPass, kLowPassValue);

    const double cutoff = LowPassValueToHz(kLowPassValue, static_cast<float>(kRate));
    std::istringstream coefficients(ZkEngineTest::RunCommand(
        "/usr/bin/python3 \"" + std::string(KP_SOURCE_DIR) +
        "/tests/SDK/source/SoundEngine/Plugins/butterworth_reference.py\" low " + std::to_string(kRate) + " " +
        std::to_string(cutoff)));
    double b0 = 0, b1 = 0, b2 = 0, a1 = 0, a2 = 0;
    ASSERT_TRUE(coefficients >> b0 >> b1 >> b2 >> a1 >> a2);
    const std::complex<double> z = std::polar(1.0, -2.0 * M_PI * kLowPassToneHz / kRate);
    const double response = std::abs((b0 + b1 * z + b2 * z * z) / (1.0 + a1 * z + a2 * z * z));

    // The 4 kHz loop has 12 samples a period: the frame's first 1020 samples are whole periods.
    const size_t begin = frameOffsets.back();
    double squares[2] = {};
    constexpr size_t kSamples = 1020;
    for (size_t k = begin; k < begin + kSamples; ++k)
        for (uint32_t c = 0; c < 2; ++c)
            squares[c] += double(captured.at(k * channels + c)) * captured.at(k * channels + c);
    EXPECT_NEAR(Db(std::sqrt(2.0 * squares[0] / kSamples)), Db(model[0].left * response), 0.5);
    EXPECT_NEAR(Db(std::sqrt(2.0 * squares[1] / kSamples)), Db(model[0].right * response), 0.5);
}

// A voice whose emitter has no listener has no ray for its connection's listener: the connection
// keeps low-pass and high-pass 100 and its matrix is silent.
TEST_F(PositionedTone, AVoiceWithoutRaysForItsListenerKeepsItsFiltersAt100AndIsSilent)
{
    ASSERT_NO_FATAL_FAILURE(StartAt(At(0.0f, 0.0f, 50.0f)));
    ASSERT_EQ(SetListeners(kEmitter, nullptr, 0), ZK_Success);
    ASSERT_NE(PostEvent("Play_Positioned", kEmitter), 0u);
    ASSERT_NO_FATAL_FAILURE(RenderFrames(3));
    ASSERT_EQ(ZK::SoundEngine::CZkAudioRenderer::VoiceCount(), 1u);
    const ZK::SoundEngine::CZkMixerInputContext* connection = ZK::SoundEngine::CZkAudioRenderer::VoiceAt(0)->FirstOutput();
    ASSERT_NE(connection, nullptr);
    EXPECT_EQ(connection->listenerLowPass, 100.0f);
    EXPECT_EQ(connection->listenerHighPass, 100.0f);
    const Amplitudes heard = LastFrame();
    EXPECT_LT(heard.left + heard.right, 1e-6);
}

// The play's radius is its node's attenuation reach (the x of the last bank point of the first
// mapped curve, 100) times the emitter's scaling factor.
TEST_F(PositionedTone, TheMaximumRadiusOfAPlayingObjectIsItsAttenuationsReachTimesItsScaling)
{
    ASSERT_NO_FATAL_FAILURE(StartAt(At(0.0f, 0.0f, 50.0f)));
    ASSERT_EQ(SetScalingFactor(kEmitter, 2.0f), ZK_Success);
    ASSERT_EQ(RenderAudio(true), ZK_Success);
    EXPECT_EQ(ZK::SoundEngine::Query::GetMaxRadius(kEmitter), -1.0f) << "nothing plays yet";
    ASSERT_NE(PostEvent("Play_Positioned", kEmitter), 0u);
    ASSERT_NO_FATAL_FAILURE(RenderFrames(2));
    EXPECT_EQ(ZK::SoundEngine::Query::GetMaxRadius(kEmitter), 200.0f);
}

// A node that applies its distance offset (-10) to its priority (60): the play starts at base +
// offset x distance / reach, and follows the emitter as it moves.
TEST_F(PositionedTone, APlaysPriorityTakesItsShareOfTheDistanceOffset)
{
    ASSERT_NO_FATAL_FAILURE(StartAt(At(0.0f, 0.0f, 50.0f)));
    ASSERT_NE(PostEvent("Play_PriorityByDistance", kEmitter), 0u);
    ASSERT_NO_FATAL_FAILURE(RenderFrames(2));
    const ZK::SoundEngine::CZkPlayingInstance* play = ZK::SoundEngine::CZkActiveInstances::First();
    ASSERT_NE(play, nullptr);
    EXPECT_FLOAT_EQ(play->priority.priority, 55.0f) << "half the reach: base - 5";
    struct Row
    {
        float distance;
        float priority;
    };
    for (const Row row : {Row{25.0f, 57.5f}, Row{100.0f, 50.0f}, Row{300.0f, 50.0f}, Row{0.0f, 60.0f}})
    {
        ASSERT_EQ(SetPosition(kEmitter, At(0.0f, 0.0f, row.distance)), ZK_Success);
        ASSERT_EQ(RenderAudio(true), ZK_Success);
        EXPECT_FLOAT_EQ(play->priority.priority, row.priority) << "at " << row.distance;
    }
}

// Two positions of one emitter at one place: heard as several sources (type 1) their matrices add
// up, twice the level of one; heard as several directions (type 2) they overlap whole and share
// it, the level of one. Each position has its own entry in the connection.
TEST_F(PositionedTone, TwoPositionsAtOnePlaceAddUpAsSourcesAndShareAsDirections)
{
    const std::vector<Amplitudes> model = Model({{10.0f, 0.0f, 40.0f}});
    ASSERT_EQ(model.size(), 1u);
    ASSERT_NO_FATAL_FAILURE(StartAt(At(10.0f, 0.0f, 40.0f)));
    ASSERT_NE(PostEvent("Play_Positioned", kEmitter), 0u);
    struct Row
    {
        MultiPositionType type;
        double factor;
    };
    for (const Row row : {Row{MultiPositionType_MultiSources, 2.0}, Row{MultiPositionType_MultiDirections, 1.0}})
    {
        const ZkTransform twice[2] = {At(10.0f, 0.0f, 40.0f), At(10.0f, 0.0f, 40.0f)};
        ASSERT_EQ(SetMultiplePositions(kEmitter, twice, 2, row.type), ZK_Success);
        ASSERT_NO_FATAL_FAILURE(RenderFrames(3));
        ASSERT_EQ(ZK::SoundEngine::CZkAudioRenderer::VoiceCount(), 1u);
        EXPECT_EQ(ZK::SoundEngine::CZkAudioRenderer::VoiceAt(0)->FirstOutput()->EntryCount(), 2u);
        const Amplitudes heard = LastFrame();
        ExpectLevel(heard.left, model[0].left * row.factor, "type " + std::to_string(row.type) + ", left");
        ExpectLevel(heard.right, model[0].right * row.factor, "type " + std::to_string(row.type) + ", right");
    }
}

// A bus positioned in three dimensions mixes per listener: the sounds of an emitter that listens
// through an object reach that object's instance of the bus, which is heard along the object's
// own rays towards its listeners, attenuated like a voice. An unpositioned tone is centred onto the
// bus's stereo (0.7071 on each channel); the bus's two channels are panned at the object (the
// multi-ray model of one ray, its gain the dry curve's).
TEST_F(PositionedTone, ABusPositionedInThreeDimensionsIsPannedAndAttenuatedAtItsObject)
{
    const double gain = std::pow(10.0, -6.0 / 20.0); // the dry curve at 30
    std::ostringstream line;
    line << R"({"in": 3, "out": 3, "rays": [[-18, 0, 24, 0, 0, 1, 0, 1, 0, 0, 0, 0]], "gains": [)" << gain
         << R"(], "mode": 0, "spatialized": 1, "offsets": null, "rule": 0, "angles": [45, 90, 135]})";
    const std::filesystem::path cases = m_folder.Path() / "bus_case.txt";
    std::ofstream(cases) << line.str() << '\n';
    std::istringstream output(ZkEngineTest::RunCommand(
        "/usr/bin/python3 \"" + std::string(KP_SOURCE_DIR) +
        "/tests/SDK/source/SoundEngine/ZkAudiolib/Common/Positioning/multiray_model.py\" < \"" + cases.string() + "\""));
    double m[4] = {};
    ASSERT_TRUE(output >> m[0] >> m[1] >> m[2] >> m[3]);
    const double left = kToneAmplitude * kCentreGain * (m[0] + m[2]);
    const double right = kToneAmplitude * kCentreGain * (m[1] + m[3]);

    constexpr ZkGameObjectID kBusObject = 11;
    ASSERT_NO_FATAL_FAILURE(StartAt(At(200.0f, 0.0f, 0.0f)));
    ASSERT_EQ(RegisterGameObj(kBusObject, "BusObject"), ZK_Success);
    ASSERT_EQ(SetPosition(kBusObject, At(-18.0f, 0.0f, 24.0f)), ZK_Success);
    ASSERT_EQ(SetListeners(kEmitter, &kBusObject, 1), ZK_Success);
    ASSERT_NE(PostEvent("Play_ThroughPositionedBus", kEmitter), 0u);
    ASSERT_NO_FATAL_FAILURE(RenderFrames(4));
    const Amplitudes heard = LastFrame();
    ExpectLevel(heard.left, left, "left");
    ExpectLevel(heard.right, right, "right");
}

// What a mixer plug-in asks of a positioned voice's connection: the rays its listener hears, and
// the attenuation's spread (A) and focus (B) curves at a ray's distance, as fractions.
TEST_F(PositionedTone, AConnectionAnswersItsListenerRecordsAndTheSpreadAndFocusCurves)
{
    ASSERT_NO_FATAL_FAILURE(StartAt(At(0.0f, 0.0f, 50.0f)));
    ASSERT_NE(PostEvent("Play_SpreadAndFocus", kEmitter), 0u);
    ASSERT_NO_FATAL_FAILURE(RenderFrames(2));
    ASSERT_EQ(ZK::SoundEngine::CZkAudioRenderer::VoiceCount(), 1u);
    const ZK::SoundEngine::CZkMixerInputContext* connection = ZK::SoundEngine::CZkAudioRenderer::VoiceAt(0)->FirstOutput();
    ASSERT_NE(connection, nullptr);
    ASSERT_EQ(connection->GetListenerRecordCount(), 1u);
    ZK::SoundEngine::ZkRay record;
    ASSERT_EQ(connection->GetListenerRecord(0, record), ZK_Success);
    EXPECT_EQ(record.listenerID, kListener);
    EXPECT_FLOAT_EQ(record.distance, 50.0f);
    EXPECT_NEAR(record.dryGain, std::pow(10.0, -10.0 / 20.0), 0.003) << "attenuated this frame";
    EXPECT_EQ(connection->GetListenerRecord(1, record), ZK_Fail);
    EXPECT_NEAR(connection->EvaluateCurveA(0), 0.40f, 1e-5f) << "the spread curve at 50, x 0.01";
    EXPECT_NEAR(connection->EvaluateCurveB(0), 0.50f, 1e-5f) << "the focus curve at 50, x 0.01";
}

// A play posted with the speaker-volume-matrix callback gets each frame's matrix of its positioned
// voice before it is used (attenuation times panning), and what the game writes into it is heard.
TEST_F(PositionedTone, TheVolumeMatrixCallbackSeesAndChangesThePositionedMatrix)
{
    const ZkVector ahead{20.0f, 0.0f, 50.0f};
    const std::vector<Amplitudes> model = Model({ahead});
    ASSERT_EQ(model.size(), 1u);
    struct Seen
    {
        uint32_t calls = 0;
        float left = 0.0f;
        float right = 0.0f;
        uint32_t inputs = 0;
        uint32_t outputs = 0;
    } seen;
    auto callback = [](ZkCallbackType type, ZkCallbackInfo* info) {
        if (type != ZkCallbackType_SpeakerVolumeMatrix)
            return;
        auto* matrix = static_cast<ZkSpeakerVolumeMatrixCallbackInfo*>(info);
        auto* seen = static_cast<Seen*>(info->cookie);
        ++seen->calls;
        seen->left = matrix->volumes[0];
        seen->right = matrix->volumes[1];
        seen->inputs = matrix->inputConfig.NumChannels();
        seen->outputs = matrix->outputConfig.NumChannels();
        matrix->volumes[1] = 0.0f; // the game silences the right speaker
    };
    ASSERT_NO_FATAL_FAILURE(StartAt(At(ahead.x, ahead.y, ahead.z)));
    ASSERT_NE(PostEvent("Play_Positioned", kEmitter, ZkCallbackType_SpeakerVolumeMatrix, callback, &seen), 0u);
    ASSERT_NO_FATAL_FAILURE(RenderFrames(3));
    EXPECT_GE(seen.calls, 2u) << "once a frame";
    EXPECT_EQ(seen.inputs, 1u);
    EXPECT_EQ(seen.outputs, 2u);
    EXPECT_NEAR(Db(seen.left), Db(model[0].left / kToneAmplitude), 0.2);
    EXPECT_NEAR(Db(seen.right), Db(model[0].right / kToneAmplitude), 0.2);
    const Amplitudes heard = LastFrame();
    ExpectLevel(heard.left, model[0].left, "left, as computed");
    EXPECT_LT(heard.right, 1e-6) << "right, silenced by the game";
}

// An emitter so far away that its attenuation takes it below the volume threshold (-120 dB at
// 1000): its connection is below the threshold and mixes nothing; once the emitter comes near
// (-6 dB at 50) it is heard again at its level.
TEST_F(PositionedTone, AFarEmitterFallsBelowTheThresholdAndIsHeardAgainWhenItNears)
{
    ASSERT_NO_FATAL_FAILURE(StartAt(At(0.0f, 0.0f, 1000.0f)));
    ASSERT_NE(PostEvent("Play_FarAway", kEmitter), 0u);
    ASSERT_NO_FATAL_FAILURE(RenderFrames(3));
    const Amplitudes far = LastFrame();
    EXPECT_EQ(far.left + far.right, 0.0) << "nothing mixed (-126 dB would leave a trace)";
    ASSERT_EQ(ZK::SoundEngine::CZkAudioRenderer::VoiceCount(), 1u) << "the voice waits";
    const ZK::SoundEngine::CZkVoice* voice = ZK::SoundEngine::CZkAudioRenderer::VoiceAt(0);
    EXPECT_TRUE(voice->FirstOutput()->IsBelowThreshold());

    ASSERT_EQ(SetPosition(kEmitter, At(0.0f, 0.0f, 50.0f)), ZK_Success);
    ASSERT_NO_FATAL_FAILURE(RenderFrames(4));
    const double expected = kToneAmplitude * std::pow(10.0, -6.0 / 20.0) * kCentreGain; // ahead: both alike
    const Amplitudes near = LastFrame();
    EXPECT_FALSE(voice->FirstOutput()->IsBelowThreshold());
    EXPECT_NEAR(Db(near.left), Db(expected), 0.2);
    EXPECT_NEAR(Db(near.right), Db(expected), 0.2);
}
} // namespace
