// The game heard: the real engine and game started in a test's window as the program starts them,
// with the real sound engine playing into a virtual 48 kHz stereo speaker on its manual clock. Each
// game frame is a fixed step of 1024 / 48000 s, and the speaker's clock moves on by the same 1024
// frames after it, so the capture is the sound of exactly the frames the game ran.
//
// Without its own thread the engine renders inside the game's RenderAudio (deterministic: the
// buffer the clock made room for is filled by the next frame). With its threads (as the program
// runs) the engine thread refills the speaker when the clock wakes it; each frame then waits for
// that refill, with a deadline, by looking at the stream's fill (never by sleeping).
//
// Threading: main thread. Ownership: the virtual speaker is installed as the endpoint provider while
// the object lives; the window and the input device are the test's.
#pragma once

#include "Engine/Engine.h"
#include "Engine/TEAudio.h"
#include "Source/Engine/EngineForTest.h"

#include <Platform/Audio/VirtualAudioSystem.h>
#include <StreamMgr/CZkStreamDevice.h>
#include <StreamMgr/StreamMgrDevices.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <string>
#include <thread>

namespace kp::test
{
constexpr uint32_t kHeardRateHz = 48000;
constexpr uint32_t kHeardFramesPerGameFrame = 1024;
constexpr float kHeardStepSeconds = static_cast<float>(kHeardFramesPerGameFrame) / kHeardRateHz;
inline const std::wstring kHeardSpeakers = L"{virtual}.speakers";

class HeardGame
{
public:
    explicit HeardGame(bool engineThread)
    {
        ZK::Platform::VirtualEndpointSettings speakers;
        speakers.id = kHeardSpeakers;
        speakers.friendlyName = L"Speakers";
        speakers.mixRate = kHeardRateHz;
        speakers.mixChannels = 2;
        m_audio.AddEndpoint(speakers);
        s_engineThread = engineThread;
        m_previousHook = TEAudio::SetStartupHook(&KeepEngineThreadAsAsked);
    }
    ~HeardGame() { TEAudio::SetStartupHook(m_previousHook); }
    HeardGame(const HeardGame&) = delete;
    HeardGame& operator=(const HeardGame&) = delete;

    void Start(GLFWwindow* window, int width, int height, trindle::InputDevice& input)
    {
        StartEngine(window, width, height, input, &m_audio);
    }
    void Stop() { StopEngine(); }

    // One game frame (drawn when asked), then the speaker's clock moves on by its length.
    void Frame(bool draw)
    {
        WaitForStreams();
        EngineUpdate(kHeardStepSeconds);
        if (draw)
            RenderFrame();
        const uint64_t released = m_audio.Fill(kHeardSpeakers).releasedFrames;
        m_audio.Advance(kHeardFramesPerGameFrame);
        if (s_engineThread)
            WaitForRefill(released + kHeardFramesPerGameFrame);
    }

    // Everything the speaker received since the last call.
    ZK::Platform::VirtualEndpointCapture TakeCapture() { return m_audio.TakeCapture(kHeardSpeakers); }
    ZK::Platform::VirtualAudioSystem& Audio() { return m_audio; }

private:
    static void KeepEngineThreadAsAsked(TEAudio::StartupStep step, TEAudio::StartupSettings& settings)
    {
        if (step == TEAudio::StartupStep::SoundEngine)
            settings.engine.engineThread = s_engineThread ? 1 : 0;
    }

    // The game's frames run faster than real time: before each one, the stream device reads what its
    // streams (the musics' loose files) want, as a real-time run has the time to.
    static void WaitForStreams()
    {
        ZK::StreamMgr::CZkStreamDevice* device = ZK::StreamMgr::GetDevice(0);
        if (device == nullptr)
            return;
        constexpr auto kPatience = std::chrono::seconds(10);
        const auto deadline = std::chrono::steady_clock::now() + kPatience;
        while (!device->IsIdle())
        {
            if (std::chrono::steady_clock::now() > deadline)
            {
                ADD_FAILURE() << "the stream device did not read its streams within 10 s";
                return;
            }
            std::this_thread::yield();
        }
    }

    // The engine thread has refilled the stream once it has released what the clock played (without
    // a stream, on the engine's own pacing, there is nothing to wait for).
    void WaitForRefill(uint64_t releasedFrames)
    {
        constexpr auto kPatience = std::chrono::seconds(10);
        const auto deadline = std::chrono::steady_clock::now() + kPatience;
        for (;;)
        {
            const ZK::Platform::VirtualStreamFill fill = m_audio.Fill(kHeardSpeakers);
            if (fill.bufferFrames == 0 || fill.releasedFrames >= releasedFrames)
                return;
            if (std::chrono::steady_clock::now() > deadline)
            {
                ADD_FAILURE() << "the engine did not refill the speaker within 10 s";
                return;
            }
            std::this_thread::yield();
        }
    }

    ZK::Platform::VirtualAudioSystem m_audio;
    TEAudio::StartupHook m_previousHook = nullptr;
    static inline bool s_engineThread = false;
};
} // namespace kp::test
