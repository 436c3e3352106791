// Shared by the system sink's tests: a fixture that runs the memory manager, the engine's audio
// format (48 kHz, 1024 frames), the engine thread's wake-up event, the plug-in registry with the
// built-in list (the system sink for 174 and its siblings, the base sink) and a virtual audio
// system as the platform's endpoints, with one stereo endpoint "speakers" (48 kHz) added by
// default; the output tests' recorder of the device status events; a tone generator; and the numpy judge of a
// captured tone.
#pragma once

#include "SDK/source/SoundEngine/ZkAudiolib/Common/Containers/EngineMemoryFixture.h"
#include "SDK/source/SoundEngine/ZkAudiolib/Common/Output/OutputTestSupport.h"

#include "ZkAudiolib/Common/Buffers/AudioBufferPool.h"
#include "ZkAudiolib/Common/Output/CZkMMDeviceNotifier.h"
#include "ZkAudiolib/Common/Output/CZkOutputDeviceMgr.h"
#include "ZkAudiolib/Common/Output/ZkEngineWakeEvent.h"
#include "ZkAudiolib/Common/Output/ZkPlatformAudio.h"
#include "ZkAudiolib/Common/Plugins/PluginRegistry.h"
#include "ZkAudiolib/Common/Renderer/CZkAudioRenderer.h"
#include "ZkAudiolib/Common/Voice/ZkAudioSettings.h"
#include "ZkAudiolib/Win32/ZkSinkCoreAudio.h"

#include <Platform/Audio/TaskMemory.h>
#include <Platform/Audio/VirtualAudioSystem.h>
#include <ZK/SoundEngine/Common/ZkIdFromName.h>

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <sstream>
#include <string>
#include <vector>

namespace ZkSinkTest
{
using namespace ZK::SoundEngine;
using namespace ZK::Platform;

constexpr uint16_t kFrames = 1024;
constexpr uint32_t kEngineRate = 48000;
constexpr wchar_t kSpeakers[] = L"{0.0.0.00000000}.{speakers}";
using ZkOutputTest::kStereo;
constexpr const char* kSystemPython = "/usr/bin/python3";

using ZkOutputTest::g_statusEvents;
using ZkOutputTest::RecordStatus;
using ZkOutputTest::StatusEvent;

// A sine of a fixed frequency and amplitude, continued from buffer to buffer.
struct Tone
{
    double frequency = 1000.0; // the tests play 1 kHz
    double amplitude = 0.5;
    uint64_t frame = 0;
    std::vector<float> expected; // interleaved, what was handed to the device

    void Fill(ZkAudioBuffer& mix)
    {
        const uint32_t channels = mix.NumChannels();
        for (uint32_t k = 0; k < mix.maxFrames; ++k, ++frame)
        {
            const auto sample = static_cast<float>(amplitude * std::sin(2.0 * M_PI * frequency * static_cast<double>(frame) / kEngineRate));
            for (uint32_t c = 0; c < channels; ++c)
            {
                mix.GetChannel(c)[k] = sample;
                expected.push_back(sample);
            }
        }
        mix.validFrames = mix.maxFrames;
    }
};

struct ToneJudgement
{
    double frequency = 0;
    double levelDb = 0;
    double residualDb = 0;
    uint64_t frames = 0;
};

// Writes the samples to a raw float file and has numpy judge one channel of them.
inline ToneJudgement JudgeTone(const std::vector<float>& samples, uint32_t channels, uint32_t rate, uint32_t channel,
                               const std::string& name)
{
    const std::string path = std::string(KP_TEST_OUTPUT_DIR) + "/" + name + ".raw";
    FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr)
        return {};
    std::fwrite(samples.data(), sizeof(float), samples.size(), file);
    std::fclose(file);
    const std::string output = ZkEngineTest::RunCommand(
        std::string(kSystemPython) + " \"" + KP_SOURCE_DIR +
        "/tests/SDK/source/SoundEngine/ZkAudiolib/Win32/tone_oracle.py\" \"" + path + "\" " + std::to_string(channels) +
        " " + std::to_string(rate) + " " + std::to_string(channel));
    std::istringstream read(output);
    ToneJudgement judgement;
    read >> judgement.frequency >> judgement.levelDb >> judgement.residualDb >> judgement.frames;
    return judgement;
}

class SystemSinkTest : public ZkEngineTest::EngineMemoryTest
{
protected:
    void SetUp() override
    {
        EngineMemoryTest::SetUp();
        m_taskBlocks = TaskMemoryBlocksInUse();
        SetAudioFormatGlobals(kEngineRate, kFrames);
        StorePlatformInitSettings(nullptr);
        ASSERT_TRUE(EngineWakeEvent::Create());
        ASSERT_EQ(PluginRegistry::Init(nullptr), ZK_Success);
        g_statusEvents.clear();
        CZkOutputDeviceMgr::SetAudioDeviceStatusCallback(&RecordStatus);
        if (AddsSpeakers())
            m_system->AddEndpoint(Speakers());
    }
    void TearDown() override
    {
        CZkOutputDeviceMgr::TermDevices();
        CZkMMDeviceNotifier::ReleaseShared();
        CZkOutputDeviceMgr::SetAudioDeviceStatusCallback(nullptr);
        CZkAudioRenderer::ClearGraphDirty();
        PluginRegistry::Term();
        EngineWakeEvent::Destroy();
        StorePlatformInitSettings(nullptr);
        SetAudioFormatGlobals(kEngineRate, kFrames);
        AudioBufferPool::Flush();
        EXPECT_EQ(TaskMemoryBlocksInUse(), m_taskBlocks) << "every format, id and name handed out came back";
        EngineMemoryTest::TearDown();
    }
    virtual bool AddsSpeakers() const { return true; }

    static VirtualEndpointSettings Speakers()
    {
        VirtualEndpointSettings speakers;
        speakers.id = kSpeakers;
        speakers.friendlyName = L"Speakers (Virtual)";
        return speakers;
    }
    static ZkOutputSettings Settings(uint32_t shareSet = 0, uint32_t device = 0, ZkChannelConfig config = {})
    {
        ZkOutputSettings settings;
        settings.audioDeviceShareSetID = shareSet;
        settings.idDevice = device;
        settings.channelConfig = config;
        return settings;
    }
    // The main output on "System": the system sink on the default endpoint (or the given one).
    CZkOutputDevice* StartMainOutput(ZkOutputSettings settings = Settings())
    {
        EXPECT_EQ(CZkOutputDeviceMgr::ReplaceMainOutput(settings), ZK_Success);
        return CZkOutputDeviceMgr::GetMainDevice();
    }
    static CZkSinkCoreAudio* SinkOf(CZkOutputDevice* device)
    {
        return device != nullptr ? dynamic_cast<CZkSinkCoreAudio*>(device->Sink()) : nullptr;
    }
    // One engine tick as the device manager runs it: the buffers wanted, each filled with the
    // tone, rendered through the device and ended. The number of buffers.
    static uint32_t Tick(CZkOutputDevice* device, Tone& tone)
    {
        const uint32_t buffers = CZkOutputDeviceMgr::UpdateDeviceStates(false);
        for (uint32_t buffer = 0; buffer < buffers; ++buffer)
        {
            tone.Fill(device->MainMix());
            device->Render(&device->MainMix(), nullptr, nullptr, ZkRamp(1.0f, 1.0f));
            device->EndFrame();
        }
        return buffers;
    }

    ScopedVirtualAudioSystem m_system;
    int64_t m_taskBlocks = 0;
};
} // namespace ZkSinkTest
