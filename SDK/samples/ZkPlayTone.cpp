// zk_play_tone: plays a 440 Hz tone through the sound engine's system sink on an ALSA device, so
// that a person can hear the output path work on a desktop.
//
//   zk_play_tone [seconds] [ALSA device]      (3 seconds on "default" when not given)
//
// The program runs the output half of the engine by hand, as the engine thread does: the memory
// manager, the audio format (48 kHz, 1024 frames), the engine thread's wake-up event, the plug-in
// registry with the built-in sinks, and a main output on the "System" share set, whose sink opens
// the ALSA device. Each time the device's event wakes it, it asks the device manager how many
// buffers to render, fills each with the tone, renders it through the device and ends the frame.
// Without a sound card the device cannot open and the program says so (exit status 1).
#include "ZkAudiolib/Common/Buffers/AudioBufferPool.h"
#include "ZkAudiolib/Common/Output/CZkMMDeviceNotifier.h"
#include "ZkAudiolib/Common/Output/CZkOutputDeviceMgr.h"
#include "ZkAudiolib/Common/Output/ZkEngineWakeEvent.h"
#include "ZkAudiolib/Common/Output/ZkPlatformAudio.h"
#include "ZkAudiolib/Common/Plugins/PluginRegistry.h"
#include "ZkAudiolib/Common/Voice/ZkAudioSettings.h"

#include <Platform/PlatformText.h>
#include <ZK/SoundEngine/Common/ZkIdFromName.h>
#include <ZK/SoundEngine/Common/ZkMemoryMgr.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>

using namespace ZK::SoundEngine;

namespace
{
constexpr uint32_t kRateHz = 48000;
constexpr uint16_t kFrames = 1024;
constexpr double kToneHz = 440.0;
constexpr double kAmplitude = 0.25;
constexpr double kDefaultSeconds = 3.0;

struct Tone
{
    uint64_t frame = 0;

    void Fill(ZkAudioBuffer& mix)
    {
        for (uint32_t k = 0; k < mix.maxFrames; ++k, ++frame)
        {
            const auto sample = static_cast<float>(kAmplitude * std::sin(2.0 * M_PI * kToneHz * static_cast<double>(frame) / kRateHz));
            for (uint32_t channel = 0; channel < mix.NumChannels(); ++channel)
                mix.GetChannel(channel)[k] = sample;
        }
        mix.validFrames = mix.maxFrames;
    }
};

bool StartEngineOutput()
{
    ZkMemSettings memory;
    ZK::MemoryMgr::GetDefaultSettings(memory);
    if (ZK::MemoryMgr::Init(&memory) != ZK_Success)
        return false;
    SetAudioFormatGlobals(kRateHz, kFrames);
    StorePlatformInitSettings(nullptr);
    return EngineWakeEvent::Create() && PluginRegistry::Init(nullptr) == ZK_Success;
}

void StopEngineOutput()
{
    CZkOutputDeviceMgr::TermDevices();
    CZkMMDeviceNotifier::ReleaseShared();
    PluginRegistry::Term();
    EngineWakeEvent::Destroy();
    AudioBufferPool::Flush();
    ZK::MemoryMgr::Term();
}
} // namespace

int main(int argc, char** argv)
{
    const double seconds = argc > 1 ? std::atof(argv[1]) : kDefaultSeconds;
    const std::string deviceName = argc > 2 ? argv[2] : "default";
    if (!StartEngineOutput())
    {
        std::fprintf(stderr, "zk_play_tone: the engine's output could not start\n");
        return 2;
    }
    ZkOutputSettings settings; // "System"; device 0: the default endpoint
    if (deviceName != "default")
        settings.idDevice = GetIDFromString(ZK::Platform::Utf8ToWide(deviceName).c_str());
    CZkOutputDeviceMgr::ReplaceMainOutput(settings);
    CZkOutputDevice* device = CZkOutputDeviceMgr::GetMainDevice();
    if (device == nullptr || !device->RunsRealSink())
    {
        std::fprintf(stderr,
                     "zk_play_tone: the ALSA device \"%s\" could not be opened (no sound card?); the output fell "
                     "back to the base sink\n",
                     deviceName.c_str());
        StopEngineOutput();
        return 1;
    }

    Tone tone;
    const auto total = static_cast<uint64_t>(seconds * kRateHz);
    while (tone.frame < total && device->RunsRealSink())
    {
        EngineWakeEvent::Get().Wait(ZkAudioSettings::EngineThreadTimeoutMs());
        const uint32_t buffers = CZkOutputDeviceMgr::UpdateDeviceStates(false);
        for (uint32_t buffer = 0; buffer < buffers; ++buffer)
        {
            tone.Fill(device->MainMix());
            device->Render(&device->MainMix(), nullptr, nullptr, ZkRamp(1.0f, 1.0f));
            CZkOutputDeviceMgr::EndFrame();
        }
    }
    const bool played = device->RunsRealSink();
    std::printf("zk_play_tone: %s %.2f s of %.0f Hz on the ALSA device \"%s\"\n", played ? "played" : "lost the device after",
                static_cast<double>(tone.frame) / kRateHz, kToneHz, deviceName.c_str());
    StopEngineOutput();
    return played ? 0 : 1;
}
