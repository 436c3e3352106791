// A device's frame: the suspend fade and the device volume on the ramp, the device effects with
// their bypass, the capture callbacks (ramped, interleaved, zero-padded), the FuMa order of an
// ambisonic capture, and the hand-over to the sink.
#include "OutputTestSupport.h"

#include <cmath>
#include <vector>

using namespace ZkOutputTest;

namespace
{
constexpr uint16_t kFrames = 1024;
constexpr uint32_t kEffectShareSet = 0x5EF;

struct Captured
{
    std::vector<std::vector<float>> frames; // one interleaved buffer per delivery
    ZkChannelConfig config;
    ZkOutputDeviceID outputID = 0;
};

void Capture(ZkAudioBuffer& buffer, ZkOutputDeviceID outputID, void* cookie)
{
    auto* captured = static_cast<Captured*>(cookie);
    const auto* samples = static_cast<const float*>(buffer.data);
    captured->frames.emplace_back(samples, samples + buffer.NumChannels() * buffer.validFrames);
    captured->config = buffer.channelConfig;
    captured->outputID = outputID;
}

class DeviceRender : public OutputTest
{
protected:
    void SetUp() override
    {
        OutputTest::SetUp();
        m_device = StartMainOutput();
        ASSERT_NE(m_device, nullptr);
    }
    void TearDown() override
    {
        if (m_effect != nullptr)
            m_effect->Release();
        OutputTest::TearDown();
    }
    // Fills the main mix with a known signal: channel c, frame k = (c + 1) x 0.001 x (k + 1).
    static void FillMainMix(CZkOutputDevice& device, uint16_t validFrames = kFrames)
    {
        ZkAudioBuffer& mix = device.MainMix();
        for (uint32_t channel = 0; channel < mix.NumChannels(); ++channel)
        {
            float* samples = mix.GetChannel(channel);
            for (uint32_t frame = 0; frame < mix.maxFrames; ++frame)
                samples[frame] = static_cast<float>(channel + 1) * 0.001f * static_cast<float>(frame + 1);
        }
        mix.validFrames = validFrames;
    }
    void AddCallback(Captured& captured)
    {
        CaptureCallbackNode* node = m_device->CreateCaptureCallback(&Capture, &captured);
        ASSERT_NE(node, nullptr);
        ASSERT_EQ(m_device->AddCaptureCallback(node), ZK_Success);
    }
    void DefineEffect()
    {
        m_effect = CreateEffectObject(ZkIndexKind::SharedEffects, kEffectShareSet,
                                            ZK::ZkMakePluginKey(ZK::ZkPluginTypeEffect, kTestCompany, kEffectNumber));
    }
    uint32_t Render()
    {
        return m_device->Render(&m_device->MainMix(), nullptr, nullptr, ZkRamp(1.0f, 1.0f));
    }

    CZkOutputDevice* m_device = nullptr;
    CZkEffectObject* m_effect = nullptr;
};

// The ramp a frame leaves the device with, and what a capture callback hears of it, computed here
// from the ramp's definition: gain(k) = previous + k x (next - previous) / frames.
TEST_F(DeviceRender, TheVolumeRampReachesTheSinkAndTheCaptureAsRampedInterleavedSamples)
{
    Captured captured;
    AddCallback(captured);
    FillMainMix(*m_device);
    m_device->SetVolume(0.5f);
    EXPECT_EQ(Render(), kFrames);
    CZkOutputDeviceMgr::EndFrame();
    ASSERT_EQ(g_sinkLog.consumed.size(), 1u);
    EXPECT_EQ(g_sinkLog.consumed[0].ramp.previous, 1.0f);
    EXPECT_EQ(g_sinkLog.consumed[0].ramp.next, 0.5f);
    EXPECT_EQ(g_sinkLog.dataReady, 1u);
    ASSERT_EQ(captured.frames.size(), 1u);
    EXPECT_EQ(captured.config, kStereo);
    EXPECT_EQ(captured.outputID, m_device->OutputID());
    const std::vector<float>& samples = captured.frames[0];
    ASSERT_EQ(samples.size(), 2u * kFrames);
    double worst = 0.0;
    for (uint32_t frame = 0; frame < kFrames; ++frame)
    {
        const double gain = 1.0 + frame * (0.5 - 1.0) / kFrames;
        for (uint32_t channel = 0; channel < 2; ++channel)
        {
            const double expected = (channel + 1) * 0.001 * (frame + 1) * gain;
            worst = std::max(worst, std::fabs(samples[frame * 2 + channel] - expected));
        }
    }
    EXPECT_LT(worst, 1e-5);

    // The next frame starts where this one ended; the suspend fade multiplies in.
    EXPECT_EQ(m_device->PreviousVolume(), 0.5f);
    EXPECT_EQ(CZkOutputDeviceMgr::SetSuspended(true, false, 0), ZK_PartialSuccess);
    FillMainMix(*m_device);
    Render();
    ASSERT_EQ(g_sinkLog.consumed.size(), 2u);
    EXPECT_EQ(g_sinkLog.consumed[1].ramp.previous, 0.5f);
    EXPECT_EQ(g_sinkLog.consumed[1].ramp.next, 0.0f) << "the output gain falls to 0";
}

TEST_F(DeviceRender, AShortFrameReachesTheCaptureZeroPaddedAndEveryFrameIsDelivered)
{
    Captured captured;
    AddCallback(captured);
    FillMainMix(*m_device, 1000);
    Render();
    CZkOutputDeviceMgr::EndFrame();
    ASSERT_EQ(captured.frames.size(), 1u);
    const std::vector<float>& samples = captured.frames[0];
    ASSERT_EQ(samples.size(), 2u * kFrames) << "the full buffer";
    EXPECT_NE(samples[2 * 999], 0.0f);
    for (uint32_t index = 2 * 1000; index < samples.size(); ++index)
        ASSERT_EQ(samples[index], 0.0f) << index;
    CZkOutputDeviceMgr::EndFrame();
    EXPECT_EQ(captured.frames.size(), 2u) << "a frame without render delivers silence";
}

TEST_F(DeviceRender, CaptureCallbacksAreFoundAndRemovedByCallbackAndCookie)
{
    Captured first;
    Captured second;
    AddCallback(first);
    AddCallback(second);
    EXPECT_EQ(m_device->AddCaptureCallback(nullptr), ZK_InvalidParameter);
    EXPECT_TRUE(m_device->MatchesCaptureCallback(&Capture, &second));
    EXPECT_FALSE(m_device->MatchesCaptureCallback(&Capture, nullptr));
    EXPECT_TRUE(m_device->RemoveCaptureNode(m_device->FindCaptureCallback(&Capture, &first)));
    EXPECT_FALSE(m_device->MatchesCaptureCallback(&Capture, &first));
    EXPECT_EQ(m_device->CaptureNodeCount(), 1u);
    FillMainMix(*m_device);
    Render();
    CZkOutputDeviceMgr::EndFrame();
    EXPECT_TRUE(first.frames.empty());
    EXPECT_EQ(second.frames.size(), 1u);
}

TEST_F(DeviceRender, DeviceEffectsRunInPlaceAndResetOncePerBypassPeriod)
{
    DefineEffect();
    m_device->SetEffectShareSet(1, kEffectShareSet);
    ASSERT_EQ(m_device->SetEffect(1), ZK_Success);
    EXPECT_EQ(g_effectLog.inits, 1u);
    EXPECT_EQ(g_effectLog.format.sampleRate, 48000u);
    EXPECT_EQ(g_effectLog.format.channelConfig, kStereo);

    FillMainMix(*m_device);
    Render();
    EXPECT_FLOAT_EQ(g_sinkLog.consumed.back().firstSample, 0.001f * g_effectGain);
    ZkDeviceEffects& effects = m_device->Effects();
    for (const uint8_t bypass : {uint8_t(0x02), uint8_t(0x12), uint8_t(0x10), uint8_t(0x00), uint8_t(0x10)})
    {
        effects.bypass = bypass;
        FillMainMix(*m_device);
        Render();
    }
    EXPECT_EQ(g_effectLog.executes, 2u) << "the first frame and the one not bypassed";
    EXPECT_EQ(g_effectLog.resets, 2u) << "one reset at the start of each bypass period";
    EXPECT_FLOAT_EQ(g_sinkLog.consumed.back().firstSample, 0.001f) << "bypassed: untouched";
}

// Why a slot stays empty: a missing effect, the same effect twice, a plug-in that cannot work in
// place, one whose Init fails.
TEST_F(DeviceRender, AnEffectThatCannotRunLeavesItsSlotEmpty)
{
    DefineEffect();
    m_device->SetEffectShareSet(0, 0xDEAD);
    EXPECT_EQ(m_device->SetEffect(0), ZK_PluginNotRegistered);
    m_device->SetEffectShareSet(0, kEffectShareSet);
    ASSERT_EQ(m_device->SetEffect(0), ZK_Success);
    m_device->SetEffectShareSet(2, kEffectShareSet);
    EXPECT_EQ(m_device->SetEffect(2), ZK_EffectInOtherSlot);
    EXPECT_EQ(m_device->SetEffect(4), ZK_InvalidParameter);
    g_effectInPlace = 0;
    m_device->SetEffectShareSet(3, 0);
    m_device->SetEffectShareSet(0, kEffectShareSet);
    EXPECT_EQ(m_device->SetEffect(0), ZK_NotImplemented) << "not in place";
    EXPECT_FALSE(m_device->Effects().HasEffect(0));
    g_effectInPlace = 1;
    g_effectInitResult = ZK_Fail;
    EXPECT_EQ(m_device->SetEffect(0), ZK_Fail);
    EXPECT_FALSE(m_device->Effects().HasEffect(0));
    EXPECT_EQ(g_effectLog.terms, g_effectLog.inits + 1) << "every instance made was terminated";
    EXPECT_EQ(m_effect->RefCount(), 1u) << "no reference kept";
    m_device->SetEffectShareSet(0, 0);
    EXPECT_EQ(m_device->SetEffect(0), ZK_Success) << "no effect named: nothing to do";
}

// The audio-device share set names the effects of the slots that ask for none, and their bypass.
TEST_F(DeviceRender, TheShareSetNamesTheSlotEffectsAndTheirBypass)
{
    DefineEffect();
    ZkEffectTest::EffectFields fields;
    fields.pluginID = SinkKey(kSystemSinkNumber);
    fields.deviceEffects[2] = kEffectShareSet;
    fields.deviceBypass = 0x04;
    CZkEffectObject* shareSet = ZkEffectTest::MakeEffect(ZkIndexKind::AudioDevices, CZkOutputDeviceMgr::kSystemShareSetID, fields);
    m_device->AttachShareSetObject();
    EXPECT_TRUE(m_device->Effects().HasEffect(2));
    EXPECT_EQ(m_device->Effects().bypass, 0x04u);
    FillMainMix(*m_device);
    Render();
    EXPECT_EQ(g_effectLog.executes, 0u);
    EXPECT_EQ(g_effectLog.resets, 0u) << "an effect installed while bypassed is not reset for it";
    CZkOutputDeviceMgr::SetDeviceShareSetValue(CZkOutputDeviceMgr::kSystemShareSetID, 0, 0);
    Render();
    EXPECT_EQ(g_effectLog.executes, 1u);
    CZkOutputDeviceMgr::TermDevices();
    shareSet->Release();
}

// A device share set read from a bank while its device runs gives the device its bypass bits at
// once: every device of the share set, whatever its device id.
TEST_F(DeviceRender, ADeviceShareSetReadLaterTellsItsDevicesTheirBypass)
{
    DefineEffect();
    ZkEffectTest::EffectFields fields;
    fields.pluginID = SinkKey(kSystemSinkNumber);
    fields.deviceEffects[0] = kEffectShareSet;
    m_device->AttachShareSetObject();
    EXPECT_EQ(m_device->Effects().bypass, 0u) << "no object yet";
    for (const uint8_t bypass : {0x01, 0x11})
    {
        fields.deviceBypass = bypass;
        CZkEffectObject* shareSet =
            ZkEffectTest::MakeEffect(ZkIndexKind::AudioDevices, CZkOutputDeviceMgr::kSystemShareSetID, fields);
        EXPECT_EQ(m_device->Effects().bypass, bypass) << "bit 0 bypasses slot 0, bit 4 all";
        shareSet->Release();
    }
}

// An ambisonic capture is written in FuMa order and weights: ACN W Y Z X becomes W X Y Z, W at
// -3 dB. A mix beyond the 16 channels of the tables (fifth order: 25) is captured as it is.
TEST_F(DeviceRender, AmbisonicCapturesAreConvertedToFumaUpToSixteenChannels)
{
    for (const uint32_t channels : {4u, 9u, 25u})
    {
        SCOPED_TRACE(channels);
        CZkOutputDeviceMgr::TermDevices();
        g_sinkScript.accept = ZkChannelConfig((ZkChannelConfigType_Ambisonic << 8) | channels);
        m_device = StartMainOutput();
        ASSERT_EQ(m_device->MainMixConfig(), g_sinkScript.accept);
        Captured captured;
        AddCallback(captured);
        ZkAudioBuffer& mix = m_device->MainMix();
        for (uint32_t channel = 0; channel < channels; ++channel)
            std::fill(mix.GetChannel(channel), mix.GetChannel(channel) + mix.maxFrames, static_cast<float>(channel + 1));
        mix.validFrames = kFrames;
        Render();
        CZkOutputDeviceMgr::EndFrame();
        ASSERT_EQ(captured.frames.size(), 1u);
        const std::vector<float>& first = captured.frames[0];
        if (channels == 25)
        {
            for (uint32_t channel = 0; channel < channels; ++channel)
                EXPECT_EQ(first[channel], static_cast<float>(channel + 1)) << "unconverted " << channel;
            continue;
        }
        EXPECT_NEAR(first[0], 1.0f * 0.70710677f, 1e-6f) << "W";
        EXPECT_NEAR(first[1], 4.0f, 1e-5f) << "X from ACN 3";
        EXPECT_NEAR(first[2], 2.0f, 1e-5f) << "Y from ACN 1";
        EXPECT_NEAR(first[3], 3.0f, 1e-5f) << "Z from ACN 2";
        if (channels == 9)
        {
            EXPECT_NEAR(first[8], 5.0f * 0.70710677f / 0.6123725f, 1e-4f) << "FuMa 8 from ACN 4";
            EXPECT_NEAR(first[4], 7.0f * 0.70710677f / 0.7071068f, 1e-4f) << "FuMa 4 from ACN 6";
        }
    }
}
} // namespace
