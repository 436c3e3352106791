// The engine tick as the game drives it: the engine started as the game starts it (its managers,
// the virtual audio system's empty platform, no engine thread), rendering offline so that each
// RenderAudio runs one tick on this thread, one frame each (what the placeholder main device takes).
//   empty          a tick with nothing queued: the callbacks' stages, the output's update, the
//                  per-frame steps of every manager and the render step around one frame
//   100_messages   a tick that applies 100 event posts (posted outside the timing) and runs their
//                  pending actions: each event's one action is a stop aimed at a node that is not
//                  loaded, and each playing id ends with its action
#include "Support/BenchEngine.h"

#include "ZkAudiolib/Common/Events/CZkActionFactory.h"
#include "ZkAudiolib/Common/Events/CZkEventAction.h"
#include "ZkAudiolib/Common/Events/CZkEventObject.h"
#include "ZkAudiolib/Common/FrontEnd/EventManager.h"

#include <ZK/SoundEngine/Common/ZkSoundEngine.h>

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <cstring>
#include <vector>

namespace
{
using namespace ZK::SoundEngine;

constexpr uint32_t kMessagesPerTick = 100;
constexpr ZkUniqueID kEventID = 100;
constexpr ZkUniqueID kActionID = 1000;
constexpr ZkUniqueID kMissingNode = 0xDEAD0000;
constexpr uint16_t kStopOnTarget = 0x0102;
constexpr ZkGameObjectID kObject = 7;

class RunningEngine
{
public:
    RunningEngine()
    {
        if (!m_engine.Started())
            std::abort();
        RegisterGameObj(kObject);
        RenderAudio(true);
        m_action = CZkActionFactory::Create(kStopOnTarget, kActionID);
        m_action->SetTarget(kMissingNode, false);
        std::vector<uint8_t> body(9);
        std::memcpy(body.data(), &kEventID, 4);
        body[4] = 1;
        std::memcpy(body.data() + 5, &kActionID, 4);
        m_event = CZkEventObject::Create(kEventID);
        m_event->ReadFromBank(body.data(), static_cast<uint32_t>(body.size()));
        m_event->AddToIndex();
    }
    ~RunningEngine()
    {
        m_event->Release();
        m_action->Release();
    }
    RunningEngine(const RunningEngine&) = delete;
    RunningEngine& operator=(const RunningEngine&) = delete;

private:
    BenchEngine m_engine;
    CZkEventAction* m_action = nullptr;
    CZkEventObject* m_event = nullptr;
};

void EmptyTick(benchmark::State& state)
{
    RunningEngine engine;
    const uint32_t first = GetBufferTick();
    for (auto _ : state)
        RenderAudio(true);
    if (GetBufferTick() - first != state.iterations())
        state.SkipWithError("a tick did not render its frame");
}

void TickWith100Messages(benchmark::State& state)
{
    RunningEngine engine;
    for (auto _ : state)
    {
        state.PauseTiming();
        for (uint32_t message = 0; message < kMessagesPerTick; ++message)
        {
            if (PostEvent(kEventID, kObject) == 0)
                state.SkipWithError("the post was refused");
        }
        state.ResumeTiming();
        RenderAudio(true);
    }
    uint32_t playing = 0;
    if (Query::GetPlayingIDsFromGameObject(kObject, playing, nullptr) != ZK_Success || playing != 0)
        state.SkipWithError("playing ids were left");
}

BENCHMARK(EmptyTick)->Name("EngineTick/empty");
BENCHMARK(TickWith100Messages)->Name("EngineTick/100_messages");
} // namespace
