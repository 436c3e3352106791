// The body of a bank's modulator (item types 19, 20, 22) over arbitrary bytes: the first byte
// chooses the kind, the rest is the body. It is read within its size or refused (7, or 2 and 52
// out of memory, or 4 for a subscription to another modulator), and a modulator that was read
// runs an instance for a few frames at control and audio rate: every segment, loop and waveform
// its values reach ends, and the instance lets its modulator and subscriptions go.
#include "support/GameSyncScope.h"

#include "ZkAudiolib/Common/Modulators/CZkModulator.h"
#include "ZkAudiolib/Common/Modulators/CZkModulatorInstance.h"
#include "ZkAudiolib/Common/Modulators/ZkModulatorKernels.h"
#include "ZkAudiolib/Common/Modulators/ZkModulatorTrigger.h"

#include <cstddef>
#include <cstdint>
#include <vector>

using kp::fuzz::Check;

namespace
{
using namespace ZK::SoundEngine;

constexpr uint32_t kFrames = 256;
constexpr uint32_t kSampleRate = 48000;

// A few frames of the instance's kernel, at the rate given.
void Run(CZkModulatorInstance& instance, bool audio)
{
    std::vector<float> buffer(kFrames);
    ZkLfoOutput output; // the instance reads it back at its next frame
    for (int frame = 0; frame < 4; ++frame)
    {
        instance.Advance(kFrames);
        ZkModulatorHeader header = instance.Header();
        header.audioRateFrames = audio ? kFrames : 0;
        output.samples = audio ? buffer.data() : nullptr;
        switch (instance.Modulator()->Kind())
        {
        case ZkModulatorKind_Lfo:
        {
            ZkLfoRecord record{header, *static_cast<ZkLfoParams*>(instance.GetParamBlock())};
            RunLfoKernel(&record, &output, 1, kFrames);
            break;
        }
        case ZkModulatorKind_Envelope:
        {
            ZkEnvelopeRecord record{header, *static_cast<ZkEnvelopeParams*>(instance.GetParamBlock())};
            RunEnvelopeKernel(&record, &output, 1, kFrames);
            break;
        }
        default:
        {
            ZkTimeRecord record{header, *static_cast<ZkTimeParams*>(instance.GetParamBlock())};
            RunTimeKernel(&record, &output, 1, kFrames, kSampleRate);
            break;
        }
        }
        instance.SetPendingOutput(&output);
    }
    instance.SetPendingOutput(nullptr);
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < 1)
        return 0;
    kp::fuzz::StartSoundMemory();
    kp::fuzz::GameSyncScope scope;
    CZkModulator* modulator = CZkModulator::Create(1, data[0] % kModulatorKindCount);
    Check(modulator != nullptr);
    const ZKRESULT result = modulator->SetFromBank(data + 1, static_cast<uint32_t>(size - 1));
    Check(result == ZK_Success || result == ZK_InvalidFile || result == ZK_Fail || result == ZK_InsufficientMemory ||
          result == ZK_NotImplemented || result == ZK_InvalidParameter);
    if (result == ZK_Success)
    {
        for (bool audio : {false, true})
        {
            ZkModulatorTrigger trigger;
            trigger.triggerKind = 1;
            bool created = false;
            CZkModulatorInstance* instance =
                modulator->CreateInstance(nullptr, trigger, nullptr, ZkModulatorScope_Global, created);
            Check(instance != nullptr && created);
            instance->AddRef();
            Run(*instance, audio);
            instance->Release();
        }
        Check(modulator->ActiveUses() == 0);
    }
    modulator->Release();
    Check(g_pRTPCMgr->SubscriptionCount() == 0);
    return 0;
}
