// The engine's message ring as the benchmarks drive it: a ring of the default size with a dispatcher
// that touches each message's body, and optionally an engine thread that reads the frames as
// EndFrame wakes it (or every 5 ms, as the engine tick's time-out).
#pragma once

#include "Support/BenchMemory.h"

#include "ZkAudiolib/Common/FrontEnd/CZkMessageRing.h"
#include "ZkAudiolib/Common/FrontEnd/EngineLock.h"

#include "Platform/PlatformEvent.h"

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <thread>

namespace RingBench
{
constexpr uint32_t kMessagesPerFrame = 64; // messages between two RenderAudio calls
constexpr uint32_t kEngineWaitMs = 5;
constexpr uint16_t kMessageType = 2;
constexpr uint32_t kValueOffset = 16; // where the 24-byte messages carry a float value

class SummingDispatcher : public ZK::SoundEngine::IZkMessageDispatcher
{
public:
    void Dispatch(const uint8_t* message, bool&) override
    {
        float value;
        std::memcpy(&value, message + kValueOffset, sizeof(value));
        sum += value;
    }
    void Discard(const uint8_t*) override {}
    double sum = 0.0;
};

class RingWithEngine
{
public:
    explicit RingWithEngine(bool withEngineThread)
    {
        EnsureMemoryMgr();
        if (ring.Init(ZK::SoundEngine::CZkMessageRing::kDefaultCapacityBytes, &m_dispatcher) != ZK_Success ||
            !wake.Init(ZK::Platform::EventReset::Auto))
            std::abort();
        if (withEngineThread)
            m_engine = std::thread([this] {
                while (!m_quit.load(std::memory_order_acquire))
                {
                    wake.Wait(kEngineWaitMs);
                    ReadFrames();
                }
            });
    }
    ~RingWithEngine()
    {
        m_quit.store(true, std::memory_order_release);
        wake.Set();
        if (m_engine.joinable())
            m_engine.join();
        ring.Term();
        wake.Term();
    }
    RingWithEngine(const RingWithEngine&) = delete;
    RingWithEngine& operator=(const RingWithEngine&) = delete;

    // The engine tick's part, under the global engine lock.
    void ReadFrames()
    {
        ZK::Platform::ZkScopedLock lock(ZK::SoundEngine::g_EngineLock);
        bool deviceChanged = false;
        ring.ProcessMessages(false, deviceChanged);
    }

    ZK::SoundEngine::CZkMessageRing ring;
    ZK::Platform::ZkEvent wake;

private:
    SummingDispatcher m_dispatcher;
    std::atomic<bool> m_quit{false};
    std::thread m_engine;
};
} // namespace RingBench
