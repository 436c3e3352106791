// The global plug-in context: the engine's format and timing, plug-in callbacks (refused without a
// plug-in type), the ambisonic helpers against the harmonics they are made of, spherical coordinates
// in a listener's frame, game parameters set at once, events posted at once, and the services that
// answer "not available".
#include "SDK/source/SoundEngine/ZkAudiolib/Common/FrontEnd/FrontEndFixture.h"

#include "ZkAudiolib/Common/Containers/ZkLcg64.h"
#include "ZkAudiolib/Common/FrontEnd/EngineSettings.h"
#include "ZkAudiolib/Common/Output/ZkPlatformAudio.h"
#include "ZkAudiolib/Common/Panning/ZkSpeakerPan.h"
#include "ZkAudiolib/Common/Plugins/GlobalCallbacks.h"
#include "ZkAudiolib/Common/Voice/ZkAudioSettings.h"

#include <ZK/SoundEngine/Common/IZkGlobalPluginContext.h>
#include <ZK/SoundEngine/Common/IZkStreamMgr.h>
#include <ZK/SoundEngine/Common/ZkMixerService.h>

#include <cmath>

namespace
{
using namespace ZkFrontEndTest;

constexpr float kHalfPi = 1.5707963f;

ZkChannelConfig Ambisonic(uint32_t channels)
{
    return ZkChannelConfig((ZkChannelConfigType_Ambisonic << 8) | channels);
}

class GlobalPluginContextTest : public FrontEndTest
{
protected:
    void TearDown() override
    {
        GlobalCallbacks::Clear();
        SetAudioFormatGlobals(48000, 1024);
        g_engineInitialized.store(0);
        g_offlineRendering.store(0);
        FrontEndTest::TearDown();
    }
    ZK::IZkGlobalPluginContext& Context() { return *GetGlobalPluginContext(); }
};

TEST_F(GlobalPluginContextTest, TheEnginesFormatAndTiming)
{
    ZK::IZkGlobalPluginContext* context = GetGlobalPluginContext();
    ASSERT_NE(context, nullptr);
    EXPECT_EQ(context, GetGlobalPluginContext()) << "one context";
    SetAudioFormatGlobals(44100, 512);
    EXPECT_EQ(context->GetSampleRate(), 44100u);
    EXPECT_EQ(context->GetOutputSampleRate(), 44100u);
    EXPECT_EQ(context->GetMaxBufferLength(), 512u);
    EXPECT_EQ(context->GetSamplesPerFrame(), 512u);
    EXPECT_EQ(context->GetFrameTimingValue(), 11u) << "trunc(512 x 1000 / 44100) ms";

    ::ZkAudioSettings settings{7, 7};
    EXPECT_EQ(context->GetAudioSettings(settings), ZK_Fail) << "before the engine's initialisation";
    EXPECT_EQ(settings.samplesPerFrame, 7u);
    g_engineInitialized.store(1);
    ASSERT_EQ(context->GetAudioSettings(settings), ZK_Success);
    EXPECT_EQ(settings.samplesPerFrame, 512u);
    EXPECT_EQ(settings.sampleRate, 44100u);

    EXPECT_FALSE(context->IsRenderingOffline());
    g_offlineRendering.store(1);
    EXPECT_TRUE(context->IsRenderingOffline());
    EXPECT_EQ(context->GetStreamMgr(), ZK::IZkStreamMgr::m_pStreamMgr);
    EXPECT_EQ(context->GetInitSettings(), &GetEngineSettings());
    EXPECT_EQ(context->GetPlatformInitSettings(), &GetPlatformInitSettings());
    EXPECT_EQ(context->GetIDFromString("Music"), GetIDFromString("Music"));

    UseEngine();
    m_events.frameCounter = 77;
    EXPECT_EQ(context->GetBufferTick(), 77u);
    ZK::ZkLcg64 expected = ZK::ZkLcg64::Engine();
    EXPECT_EQ(context->GetRandomValue(), expected.Draw());
    EXPECT_EQ(context->GetRandomValue(), expected.Draw());
    EXPECT_EQ(context->GetMixerService(0), ZK::ZkMixerService::Get());
    EXPECT_EQ(context->GetMixerService(1), nullptr);
}

TEST_F(GlobalPluginContextTest, PluginsRegisterCallbacksUnderTheirOwnNameOnly)
{
    static int s_calls = 0;
    s_calls = 0;
    const ZK::ZkGlobalCallbackFunc callback = [](ZK::IZkGlobalPluginContext*, ZK::ZkGlobalCallbackLocation, void*) {
        ++s_calls;
    };
    EXPECT_EQ(Context().RegisterGlobalCallback(ZK::ZkPluginTypeNone, 0, 1, callback, ZK::ZkGlobalCallbackLocation_End,
                                               nullptr),
              ZK_InvalidParameter);
    EXPECT_EQ(GlobalCallbacks::Count(ZK::ZkGlobalCallbackLocation_End), 0u) << "nothing registered";
    EXPECT_EQ(Context().RegisterGlobalCallback(ZK::ZkPluginTypeEffect, 64, 9, callback,
                                               ZK::ZkGlobalCallbackLocation_End, nullptr),
              ZK_Success);
    GlobalCallbacks::Dispatch(ZK::ZkGlobalCallbackLocation_End);
    EXPECT_EQ(s_calls, 1);
    EXPECT_EQ(Context().UnregisterGlobalCallback(callback, ZK::ZkGlobalCallbackLocation_End), ZK_Success);
    EXPECT_EQ(GlobalCallbacks::Count(ZK::ZkGlobalCallbackLocation_End), 0u);
}

TEST_F(GlobalPluginContextTest, AmbisonicEncodingAndDecodingMatrices)
{
    float coefficients[9] = {};
    EXPECT_EQ(Context().ComputeAmbisonicsEncoding(0.0f, 0.0f, ZkChannelConfig::FromMask(0x3), coefficients),
              ZK_Fail);
    ASSERT_EQ(Context().ComputeAmbisonicsEncoding(0.0f, 0.0f, Ambisonic(4), coefficients),
              ZK_Success);
    EXPECT_FLOAT_EQ(coefficients[0], 1.0f);
    EXPECT_FLOAT_EQ(coefficients[3], 1.0f) << "straight ahead is all X";

    // Six directions on the axes (engine x right, y up, z front), first order: rows every 8 floats.
    const ZkVector directions[6] = {{1, 0, 0}, {-1, 0, 0}, {0, 1, 0}, {0, -1, 0}, {0, 0, 1}, {0, 0, -1}};
    float matrix[4 * 8];
    std::fill(std::begin(matrix), std::end(matrix), -99.0f);
    ASSERT_EQ(Context().ComputeWeightedAmbisonicsDecodingFromSampledSphere(directions, 6,
                                                                           Ambisonic(4), matrix),
              ZK_Success);
    const float* weights = CZkSpeakerPan::GetOrderWeights(0);
    const float scale = 12.566371f / 6.0f;
    // ACN rows W, Y (left), Z (up), X (front); each direction sees +1 or -1 on its own axis.
    const float expected[4][6] = {{1, 1, 1, 1, 1, 1}, {-1, 1, 0, 0, 0, 0}, {0, 0, 1, -1, 0, 0}, {0, 0, 0, 0, 1, -1}};
    for (int row = 0; row < 4; ++row)
    {
        const float weight = weights[row == 0 ? 0 : 1] * scale;
        for (int column = 0; column < 6; ++column)
            EXPECT_NEAR(matrix[row * 8 + column], expected[row][column] * weight, 1e-6f) << row << ", " << column;
        EXPECT_EQ(matrix[row * 8 + 6], -99.0f) << "padding is left alone";
    }

    EXPECT_EQ(Context().ComputeWeightedAmbisonicsDecodingFromSampledSphere(directions, 6,
                                                                           Ambisonic(6), matrix),
              ZK_Fail)
        << "6 channels: no full order";
    EXPECT_EQ(Context().ComputeWeightedAmbisonicsDecodingFromSampledSphere(
                  directions, 6, ZkChannelConfig::FromMask(0x3F), matrix),
              ZK_Fail);
    // Second order, one direction: 9 rows of 4 floats.
    const ZkVector longer[1] = {{0, 0, 1.04f}};
    const ZkVector tooLong[1] = {{0, 0, 1.05f}};
    float secondOrder[9 * 4];
    EXPECT_EQ(Context().ComputeWeightedAmbisonicsDecodingFromSampledSphere(longer, 1, Ambisonic(9),
                                                                           secondOrder),
              ZK_Success);
    EXPECT_EQ(Context().ComputeWeightedAmbisonicsDecodingFromSampledSphere(tooLong, 1, Ambisonic(9),
                                                                           secondOrder),
              ZK_Fail)
        << "a squared length above 1.1 is not a direction";

    float direct[2 * 4] = {};
    ASSERT_EQ(Context().ComputeSpeakerVolumesDirect(ZkChannelConfig::FromMask(0x3), ZkChannelConfig::FromMask(0x3),
                                                    0.0f, direct),
              ZK_Success);
    EXPECT_FLOAT_EQ(direct[0], 1.0f);
    EXPECT_FLOAT_EQ(direct[4 + 1], 1.0f);
}

TEST_F(GlobalPluginContextTest, SphericalCoordinatesInAListenersFrame)
{
    UseEngineWithObjects();
    const ZkTransform at = {{0, 0, 1}, {0, 1, 0}, {7, 8, 9}};
    ASSERT_EQ(SetPosition(kListener, at), ZK_Success);
    ASSERT_EQ(AddListener(kEmitter, kListener), ZK_Success);
    ReadMessages();
    float azimuth = 9.0f;
    float elevation = 9.0f;
    // The positioning code's fast arc functions are within 0.033 rad of the exact ones.
    constexpr float kFastAngleError = 0.035f;
    ASSERT_EQ(Context().ComputeSphericalCoordinates(kListener, ZkVector{7, 8, 19}, azimuth, elevation), ZK_Success);
    EXPECT_NEAR(azimuth, 0.0f, kFastAngleError);
    EXPECT_NEAR(elevation, 0.0f, kFastAngleError);
    ASSERT_EQ(Context().ComputeSphericalCoordinates(kListener, ZkVector{9, 8, 9}, azimuth, elevation), ZK_Success);
    EXPECT_NEAR(azimuth, kHalfPi, kFastAngleError) << "to the right";
    ASSERT_EQ(Context().ComputeSphericalCoordinates(kListener, ZkVector{7, 10, 9}, azimuth, elevation), ZK_Success);
    EXPECT_NEAR(elevation, kHalfPi, kFastAngleError) << "above";
    EXPECT_EQ(Context().ComputeSphericalCoordinates(kEmitter, ZkVector{}, azimuth, elevation), ZK_Fail)
        << "not a listener";
    EXPECT_EQ(Context().ComputeSphericalCoordinates(999, ZkVector{}, azimuth, elevation), ZK_Fail);
}

TEST_F(GlobalPluginContextTest, GameParametersSetAtOnceOrByMessage)
{
    UseEngineWithObjects();
    constexpr ZkUniqueID kVolume = 42;
    ASSERT_EQ(Context().SetRTPCValueSync(kVolume, 30.0f, ZK_ALL_GAME_OBJECTS, 0, ZkCurveInterpolation_Linear, false),
              ZK_Success);
    ASSERT_EQ(Context().SetRTPCValueSync(kVolume, 60.0f, kEmitter, 0, ZkCurveInterpolation_Linear, false), ZK_Success);
    // A value for an object that is not registered is dropped (it does not become the global one).
    EXPECT_EQ(Context().SetRTPCValueSync(kVolume, 90.0f, 999, 0, ZkCurveInterpolation_Linear, false), ZK_Fail);
    ZkRTPCKey global = ZkRTPCKey::Global();
    float value = 0.0f;
    ASSERT_TRUE(g_pRTPCMgr->GetRTPCValue(kVolume, global, value));
    EXPECT_EQ(value, 30.0f);
    ZkRTPCKey object = ZkRTPCKey::ForObject(g_pRegistryMgr->GetObj(kEmitter));
    ASSERT_TRUE(g_pRTPCMgr->GetRTPCValue(kVolume, object, value));
    EXPECT_EQ(value, 60.0f);

    ASSERT_EQ(Context().SetRTPCValue(kVolume, 45.0f, ZK_ALL_GAME_OBJECTS, 0, ZkCurveInterpolation_Linear, false),
              ZK_Success);
    global = ZkRTPCKey::Global();
    ASSERT_TRUE(g_pRTPCMgr->GetRTPCValue(kVolume, global, value));
    EXPECT_EQ(value, 30.0f) << "a message waits for the tick";
    ReadMessages();
    global = ZkRTPCKey::Global();
    ASSERT_TRUE(g_pRTPCMgr->GetRTPCValue(kVolume, global, value));
    EXPECT_EQ(value, 45.0f);
}

TEST_F(GlobalPluginContextTest, AnEventPostedAtOnceGivesItsReferencesBack)
{
    UseEngineWithObjects();
    CZkEventObject* event = AddEvent(0xE5);
    const uint32_t references = event->RefCount();
    ZkExternalSourceInfo source{};
    source.cookie = 1;
    source.fileID = 5;
    // The playing manager does not take playing ids yet: nothing is scheduled, and every reference
    // taken for the post is given back.
    EXPECT_EQ(Context().PostEventSync(0xE5, kEmitter, 0, nullptr, nullptr, 1, &source), ZK_INVALID_PLAYING_ID);
    EXPECT_EQ(event->RefCount(), references);
    EXPECT_EQ(Context().PostEventSync(0xE6, kEmitter, 0, nullptr, nullptr, 0, nullptr), ZK_INVALID_PLAYING_ID)
        << "not loaded";
}

TEST_F(GlobalPluginContextTest, ServicesThatAreNotAvailable)
{
    uint8_t data[4] = {};
    EXPECT_EQ(Context().PostMonitorData(data, sizeof(data)), ZK_NotImplemented);
    // MIDI at once without posts, or for an event that is not loaded (the tests of Midi/ hear it).
    EXPECT_EQ(Context().PostMIDIOnEventSync(1, kEmitter, nullptr, 0, false, 0, nullptr, nullptr, 0),
              ZK_INVALID_PLAYING_ID);
    EXPECT_EQ(Context().StopMIDIOnEventSync(1, kEmitter, 0), ZK_Fail);
    EXPECT_EQ(Context().FindGroupEntry(0x1234), nullptr);
    CaptureFileWriter* writer = nullptr;
    EXPECT_EQ(Context().PassSampleData(writer, data, sizeof(data)), ZK_Fail);
    EXPECT_EQ(Context().CloseCaptureWriter(writer), ZK_Fail);
    EXPECT_EQ(Context().CreateCaptureWriter(L"capture.wav", 48000, 0, ZkChannelConfig::FromMask(0x3), writer),
              ZK_Fail)
        << "no stream manager to write through";
    EXPECT_EQ(writer, nullptr);
}
} // namespace
