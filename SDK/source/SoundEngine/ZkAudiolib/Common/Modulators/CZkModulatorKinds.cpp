// The three modulator kinds: how each computes its instances' parameters from the properties,
// whether it links to voice parameters, and when a play triggers it.
#include "ZkAudiolib/Common/Containers/ZkLcg64.h"
#include "ZkAudiolib/Common/Containers/ZkNew.h"
#include "ZkAudiolib/Common/Modulators/CZkModulator.h"
#include "ZkAudiolib/Common/Modulators/CZkModulatorInstanceKinds.h"
#include "ZkAudiolib/Common/Modulators/ZkModulatorKernels.h"
#include "ZkAudiolib/Common/Modulators/ZkModulatorProperties.h"
#include "ZkAudiolib/Common/Modulators/ZkModulatorTrigger.h"
#include "ZkAudiolib/Common/ObjectIndex/ObjectIndex.h"
#include "ZkAudiolib/Common/Voice/ZkAudioSettings.h"

namespace ZK::SoundEngine
{
namespace
{
constexpr float kPercent = 0.01f;
constexpr int32_t kTriggerOnPlay = 1;
constexpr int32_t kTriggerOnNoteOff = 2;
constexpr int32_t kTriggerKindRefresh = 3;

int32_t Samples(float seconds) { return ZkModulatorUnits::SecondsToSamples(seconds, ZkAudioSettings::SampleRate()); }

template <typename Instance>
CZkModulatorInstance* NewInstance()
{
    return ZK::ZkNew<Instance>(CZkModulatorInstance::kPool);
}

// Envelopes and time sources start by their TriggerOn property.
bool TriggersOn(int32_t triggerOn, const ZkModulatorTrigger& context)
{
    const ZkModulatorMidiEvent& midi = context.midi;
    if (midi.status == 0)
        return triggerOn == kTriggerOnPlay;
    if (triggerOn == kTriggerOnPlay)
        return context.triggerKind != kTriggerKindRefresh;
    if (triggerOn == kTriggerOnNoteOff)
        return midi.status == kMidiStatusNoteOff || (midi.status == kMidiStatusNoteOn && midi.velocity == 0);
    return false;
}

class CZkLfoModulator final : public CZkModulator
{
public:
    explicit CZkLfoModulator(ZkUniqueID id) : CZkModulator(id, ZkModulatorKind_Lfo) {}
    void Destroy() override { ZK::ZkDelete(kPool, this); }

    void ComputeParams(void* block, CZkModulatorInstance& instance) override
    {
        auto& params = *static_cast<ZkLfoParams*>(block);
        const ZkRTPCKey key = instance.Key();
        params.endFrame = kNeverFrame; // an LFO has no end of its own
        params.depth = ReadProperty(ZkModProp_LfoDepth, key) * kPercent;
        params.attack = Samples(ReadProperty(ZkModProp_LfoAttack, key));
        params.frequency = ReadProperty(ZkModProp_LfoFrequency, key);
        params.waveform = static_cast<int32_t>(ReadProperty(ZkModProp_LfoWaveform, key));
        params.smoothing = ReadProperty(ZkModProp_LfoSmoothing, key) * kPercent;
        params.pulseWidth = ReadProperty(ZkModProp_LfoPulseWidth, key) * kPercent;
        params.initialPhase = ReadProperty(ZkModProp_LfoInitialPhase, key);
        params.parametersChanged = 0;

        ZK::ZkLcg64& engine = ZK::ZkLcg64::Engine();
        engine.Draw();
        ZkLfoOscillator& oscillator = params.oscillator;
        oscillator = ZkLfoOscillator{};
        ZkModulatorMath::ComputeLfoCoefficients(oscillator, params.waveform, params.frequency, params.smoothing);
        oscillator.phase = ZkModulatorMath::LfoStartPhase(oscillator.waveform, params.initialPhase);
        oscillator.randomState = (engine.State() >> 33) * ZK::ZkLcg64::kMultiplier + ZK::ZkLcg64::kIncrement;
    }
    bool IsLinkable() const override { return true; }
    bool RetriggersExisting() const override { return false; }
    bool ShouldTrigger(const ZkModulatorTrigger& context) const override
    {
        return context.midi.status == 0 || (context.midi.status == kMidiStatusNoteOn && context.midi.velocity != 0);
    }
    bool StopsPlayback() const override { return false; }

protected:
    CZkModulatorInstance* AllocateInstance() override { return NewInstance<CZkLfoInstance>(); }
};

class CZkEnvelopeModulator final : public CZkModulator
{
public:
    explicit CZkEnvelopeModulator(ZkUniqueID id) : CZkModulator(id, ZkModulatorKind_Envelope) {}
    void Destroy() override { ZK::ZkDelete(kPool, this); }

    void ComputeParams(void* block, CZkModulatorInstance& instance) override
    {
        auto& params = *static_cast<ZkEnvelopeParams*>(block);
        const ZkRTPCKey key = instance.Key();
        params.attack = Samples(ReadProperty(ZkModProp_EnvAttackTime, key));
        params.attackCurve = ReadProperty(ZkModProp_EnvAttackCurve, key) * kPercent;
        params.decay = Samples(ReadProperty(ZkModProp_EnvDecayTime, key));
        params.sustainLevel = ReadProperty(ZkModProp_EnvSustainLevel, key) * kPercent;
        const float sustainTime = ReadProperty(ZkModProp_EnvSustainTime, key);
        params.release = Samples(ReadProperty(ZkModProp_EnvReleaseTime, key));
        // A negative sustain time holds the sustain until a release is scheduled.
        params.endFrame =
            sustainTime < 0.0f ? kNeverFrame : int64_t{Samples(sustainTime)} + params.attack + params.decay;
        // A retriggered envelope resumes its attack from the level it has reached (the frame
        // computed last, whose output the next frame takes as its current value).
        params.startLevel = instance.Value();
    }
    bool IsLinkable() const override { return true; }
    bool RetriggersExisting() const override { return true; }
    bool ShouldTrigger(const ZkModulatorTrigger& context) const override
    {
        return TriggersOn(static_cast<int32_t>(StoredValue(ZkModProp_TriggerOn)), context);
    }
    bool StopsPlayback() const override { return StoredValue(ZkModProp_StopPlayback) != 0.0f; }

protected:
    CZkModulatorInstance* AllocateInstance() override { return NewInstance<CZkEnvelopeInstance>(); }
};

class CZkTimeModulator final : public CZkModulator
{
public:
    explicit CZkTimeModulator(ZkUniqueID id) : CZkModulator(id, ZkModulatorKind_Time) {}
    void Destroy() override { ZK::ZkDelete(kPool, this); }

    void ComputeParams(void* block, CZkModulatorInstance& instance) override
    {
        auto& params = *static_cast<ZkTimeParams*>(block);
        const ZkRTPCKey key = instance.Key();
        params.duration = Samples(StoredValue(ZkModProp_TimeDuration)); // neither ranged nor driven
        const int32_t loops = ReadLoops();
        params.playbackRate = ReadProperty(ZkModProp_TimePlaybackRate, key);
        params.initialDelayRemaining = Samples(ReadProperty(ZkModProp_TimeInitialDelay, key));
        params.started = 0;
        // The whole length (loops x duration, 64-bit); endless loops (0) have none.
        params.totalLength = loops == 0 ? kNeverFrame : int64_t{loops} * params.duration;
        params.endFrame = StopsPlayback() ? params.totalLength : kNeverFrame;
    }
    bool IsLinkable() const override { return false; }
    bool RetriggersExisting() const override { return false; }
    bool ShouldTrigger(const ZkModulatorTrigger& context) const override
    {
        return TriggersOn(static_cast<int32_t>(StoredValue(ZkModProp_TriggerOn)), context);
    }
    bool StopsPlayback() const override { return StoredValue(ZkModProp_StopPlayback) != 0.0f; }

protected:
    CZkModulatorInstance* AllocateInstance() override { return NewInstance<CZkTimeInstance>(); }
};

template <typename Kind>
CZkModulator* NewModulator(ZkUniqueID id)
{
    return ZK::ZkNew<Kind>(CZkModulator::kPool, id);
}
} // namespace

CZkModulator* CZkModulator::Create(ZkUniqueID id, int32_t kind)
{
    if (g_pObjectIndex == nullptr)
        return nullptr;
    CZkModulator* modulator = nullptr;
    switch (kind)
    {
    case ZkModulatorKind_Lfo: modulator = NewModulator<CZkLfoModulator>(id); break;
    case ZkModulatorKind_Envelope: modulator = NewModulator<CZkEnvelopeModulator>(id); break;
    case ZkModulatorKind_Time: modulator = NewModulator<CZkTimeModulator>(id); break;
    default: return nullptr;
    }
    if (modulator != nullptr && g_pObjectIndex->Table(ZkIndexKind::Modulators).Insert(modulator) != ZK_Success)
    {
        modulator->Destroy();
        return nullptr;
    }
    return modulator;
}
} // namespace ZK::SoundEngine
