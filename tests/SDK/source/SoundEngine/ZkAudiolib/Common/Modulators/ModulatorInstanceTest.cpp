// Modulator instances: what a trigger creates, joins, initialises again or refuses; the keys that
// scopes keep; values found with the wildcard retry; game parameters reaching running instances
// while (and only while) they run; audio rate and its subscribers; releases; and the faults of the
// kernels' inputs (an attack curve of 1, frequencies without coefficients, a loop of no length,
// times beyond the sample counts, ages beyond 2^31 samples).
#include "ModulatorFixture.h"

#include "MemoryMgr/ZkMemoryFaultInjection.h"
#include "ZkAudiolib/Common/Modulators/ZkModulatorProperties.h"

#include <cmath>

namespace
{
using namespace ZkModulatorTest;

CZkRegisteredObj* const kObjectA = reinterpret_cast<CZkRegisteredObj*>(uintptr_t{0xA000});
CZkRegisteredObj* const kObjectB = reinterpret_cast<CZkRegisteredObj*>(uintptr_t{0xB000});
CZkPlayingInstance* const kVoice = reinterpret_cast<CZkPlayingInstance*>(uintptr_t{0xC000});

ZkModulatorTrigger MidiTrigger(uint8_t status, uint8_t velocity, int32_t triggerKind)
{
    ZkModulatorTrigger trigger;
    trigger.gameObject = kObjectA;
    trigger.midi.status = status;
    trigger.midi.channel = 1;
    trigger.midi.note = 60;
    trigger.midi.velocity = velocity;
    trigger.triggerKind = triggerKind;
    return trigger;
}

class ModulatorInstances : public ModulatorTest
{
};

TEST_F(ModulatorInstances, TriggersCreateJoinRetriggerOrRefuse)
{
    LoadItems(R"({"type": "lfo", "id": 1}, {"type": "envelope", "id": 2}, {"type": "envelope", "id": 3, "props": {"trigger_on": 2}},
                 {"type": "time_modulator", "id": 4}, {"type": "envelope", "id": 5, "props": {"trigger_on": 3}},
                 {"type": "time_modulator", "id": 6, "props": {"trigger_on": 2}})");
    enum Outcome
    {
        kNone,
        kNew,
        kExisting,
        kReinitialised,
    };
    struct Case
    {
        const char* what;
        ZkUniqueID modulator;
        uint8_t status;
        uint8_t velocity;
        int32_t triggerKind;
        int32_t scope;
        bool existing;
        Outcome outcome;
    };
    const Case cases[] = {
        {"LFO on a play", 1, 0, 0, 1, 2, false, kNew},
        {"LFO on a note-on", 1, 144, 100, 1, 2, false, kNew},
        {"LFO on a note-on of velocity 0", 1, 144, 0, 1, 2, false, kNone},
        {"LFO on a note-off", 1, 128, 64, 1, 2, false, kNone},
        {"envelope on play, on a play", 2, 0, 0, 1, 2, false, kNew},
        {"envelope on play, on a note-on", 2, 144, 90, 1, 2, false, kNew},
        {"envelope on play, on a note-on refreshing", 2, 144, 90, 3, 2, false, kNone},
        {"envelope on note-off, on a note-off", 3, 128, 64, 1, 2, false, kNew},
        {"envelope on note-off, on a note-on of velocity 0", 3, 144, 0, 1, 2, false, kNew},
        {"envelope on note-off, on a note-on", 3, 144, 90, 1, 2, false, kNone},
        {"envelope on note-off, on a play", 3, 0, 0, 1, 2, false, kNone},
        {"envelope with an unknown trigger", 5, 0, 0, 1, 2, false, kNone},
        {"time on play, on a play", 4, 0, 0, 1, 2, false, kNew},
        {"time on note-off, on a note-off", 6, 128, 0, 1, 2, false, kNew},
        {"scoped instance with trigger kind 0", 1, 0, 0, 0, 2, false, kNone},
        {"global instance with trigger kind 0", 1, 0, 0, 0, 3, false, kNone},
        {"voice instance with trigger kind 0", 1, 0, 0, 0, 0, false, kNew},
        {"LFO joined", 1, 0, 0, 1, 2, true, kExisting},
        {"envelope retriggered (kind 1)", 2, 0, 0, 1, 2, true, kReinitialised},
        {"envelope retriggered (kind 3)", 2, 0, 0, 3, 2, true, kReinitialised},
        {"envelope joined (kind 2)", 2, 0, 0, 2, 2, true, kExisting},
        {"envelope joined with trigger kind 0", 2, 0, 0, 0, 2, true, kExisting},
        {"existing, not triggered", 3, 0, 0, 1, 2, true, kNone},
        {"time joined", 4, 0, 0, 1, 2, true, kExisting},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.what);
        CZkModulator* modulator = Modulator(c.modulator);
        CZkModulatorInstance* existing = nullptr;
        if (c.existing)
        {
            ZkModulatorTrigger first = PlayTrigger(kObjectA);
            if (c.modulator == 3)
                first = MidiTrigger(128, 0, 1);
            existing = NewInstance(modulator, first, c.scope);
            ASSERT_NE(existing, nullptr);
            existing->Advance(kFrames); // a time source starts its clock on its first frame
            existing->Advance(kFrames);
            ASSERT_GT(existing->Header().elapsedFrames, 0);
        }
        bool created = false;
        CZkModulatorInstance* instance =
            modulator->CreateInstance(existing, MidiTrigger(c.status, c.velocity, c.triggerKind), nullptr, c.scope, created);
        Outcome outcome = kNone;
        if (instance != nullptr && created)
        {
            outcome = kNew;
            instance->AddRef();
            m_kept.push_back(instance);
        }
        else if (instance != nullptr)
        {
            EXPECT_EQ(instance, existing);
            outcome = instance->Header().elapsedFrames == 0 ? kReinitialised : kExisting;
        }
        EXPECT_EQ(outcome, c.outcome);
    }

    // An existing instance that has ended (no modulator any more) is replaced by a new one.
    CZkModulatorInstance* ended = NewInstance(Modulator(1), PlayTrigger(kObjectA), 2);
    ended->Term();
    bool created = false;
    CZkModulatorInstance* fresh = Modulator(1)->CreateInstance(ended, PlayTrigger(kObjectA), nullptr, 2, created);
    ASSERT_NE(fresh, nullptr);
    EXPECT_TRUE(created);
    EXPECT_NE(fresh, ended);
    fresh->AddRef();
    m_kept.push_back(fresh);

    // Out of memory: no instance (the target plays unmodulated).
    ZK::MemoryMgr::FaultInjection::ScopedAllocationFailure failure(CZkModulatorInstance::kPool, 1);
    EXPECT_EQ(Modulator(1)->CreateInstance(nullptr, PlayTrigger(kObjectA), nullptr, 2, created), nullptr);
}

TEST_F(ModulatorInstances, ScopesKeepTheirPartsOfTheKey)
{
    LoadItems(R"({"type": "lfo", "id": 1})");
    ZkModulatorTrigger full = MidiTrigger(144, 100, 1);
    full.playingID = 5;
    full.midiTargetID = 9;
    full.voice = kVoice;
    ZkModulatorTrigger playOnly = PlayTrigger(kObjectA, 5);
    playOnly.voice = kVoice;
    ZkModulatorTrigger objectOnly = PlayTrigger(kObjectA);
    objectOnly.voice = kVoice;
    struct Case
    {
        const char* what;
        ZkModulatorTrigger trigger;
        int32_t scope;
        ZkRTPCKey key;
        int32_t scopeAfter;
    };
    ZkRTPCKey voiceKey{kObjectA, 5, 9, 1, 60, kVoice};
    ZkRTPCKey noteKey{kObjectA, 0, 9, 1, 60, nullptr};
    ZkRTPCKey playingKey{kObjectA, 5, 0, kZkMidiAny, kZkMidiAny, nullptr};
    const Case cases[] = {
        {"voice: every part", full, 0, voiceKey, 0},
        {"note: the note replaces the playing id", full, 1, noteKey, 1},
        {"note without a note: the playing id", playOnly, 1, playingKey, 1},
        {"note with nothing but the object: game object", objectOnly, 1, ZkRTPCKey::ForObject(kObjectA), 2},
        {"game object", full, 2, ZkRTPCKey::ForObject(kObjectA), 2},
        {"global", full, 3, ZkRTPCKey::Global(), 3},
        {"no game object: global", PlayTrigger(nullptr, 5), 1, ZkRTPCKey::Global(), 3},
    };
    for (const Case& c : cases)
    {
        CZkModulatorInstance* instance = NewInstance(Modulator(1), c.trigger, c.scope);
        ASSERT_NE(instance, nullptr) << c.what;
        EXPECT_EQ(instance->Key(), c.key) << c.what;
        EXPECT_EQ(instance->Scope(), c.scopeAfter) << c.what;
    }
    // The voice list of a game-object instance holds the voices that joined it.
    CZkModulatorInstance* shared = NewInstance(Modulator(1), objectOnly, 2);
    ASSERT_EQ(shared->Voices().Length(), 1u);
    EXPECT_EQ(shared->Voices()[0], kVoice);
    EXPECT_EQ(shared->Voice(), nullptr);
}

TEST_F(ModulatorInstances, ValuesAreFoundWithTheWildcardRetry)
{
    LoadItems(R"({"type": "time_modulator", "id": 1, "props": {"scope": 1, "time_loops": 0}},
                 {"type": "time_modulator", "id": 2, "props": {"scope": 3, "time_loops": 0}})");
    // A note-scope instance of channel 3 without a playing id serves every playing id's key of
    // that channel: the missing playing id is retried as the wildcard.
    ZkModulatorTrigger channel = PlayTrigger(kObjectA);
    channel.midi.channel = 3;
    CZkModulatorInstance* instance = Attach(Modulator(1), channel, 1);
    ASSERT_NE(instance, nullptr);
    InstanceStepper stepper(*instance);
    for (int frame = 0; frame < 3; ++frame)
        stepper.Step();
    const float expected = 2.0f * kFrames / kRate;
    struct Case
    {
        ZkRTPCKey key;
        bool found;
    };
    const Case cases[] = {
        {ZkRTPCKey{kObjectA, 0, 0, 3, kZkMidiAny, nullptr}, true},
        {ZkRTPCKey{kObjectA, 5, 0, 3, kZkMidiAny, kVoice}, true},
        {ZkRTPCKey{kObjectA, 5, 0, 4, kZkMidiAny, nullptr}, false},
        {ZkRTPCKey{kObjectB, 0, 0, 3, kZkMidiAny, nullptr}, false},
        {ZkRTPCKey::ForObject(kObjectA), false},
    };
    for (const Case& c : cases)
    {
        float value = -1.0f;
        EXPECT_EQ(Modulator(1)->GetValue(c.key, value), c.found) << "playing id " << c.key.playingID << ", channel "
                                                                 << int{c.key.midiChannel};
        if (c.found)
        {
            EXPECT_FLOAT_EQ(value, expected);
        }
    }
    EXPECT_EQ(Modulator(1)->Instances().FindInstance(ZkRTPCKey{kObjectA, 5, 0, 3, kZkMidiAny, nullptr}), nullptr)
        << "a slot is found only by its own key";

    // A global modulator answers every key with its one instance.
    ASSERT_NE(Attach(Modulator(2), PlayTrigger(kObjectB, 8), 3), nullptr);
    float value = -1.0f;
    EXPECT_TRUE(Modulator(2)->GetValue(ZkRTPCKey{kObjectA, 5, 0, 3, 60, kVoice}, value));
    EXPECT_EQ(value, 0.0f);
}

TEST_F(ModulatorInstances, AGameParameterReachesRunningInstancesOnly)
{
    constexpr ZkUniqueID kSpeed = 40;
    ASSERT_EQ(m_rtpc.SetDefaultValue(kSpeed, 2.0f), ZK_Success);
    LoadItems(R"({"type": "lfo", "id": 1, "props": {"scope": 2},
                  "rtpc": [{"parameter": 40, "target": 2, "curve": 1, "points": [[0, 0], [100, 100]]}]})");
    CZkModulator* lfo = Modulator(1);
    CZkRegisteredObj* objectA = Register(1);
    CZkRegisteredObj* objectB = Register(2);
    CZkModulatorInstance* onA = Attach(lfo, PlayTrigger(objectA), 2);
    CZkModulatorInstance* onB = Attach(lfo, PlayTrigger(objectB), 2);
    ASSERT_NE(onA, nullptr);
    ASSERT_NE(onB, nullptr);
    onA->AddRef(); // kept by the test past its end
    auto frequency = [](CZkModulatorInstance* instance) {
        return static_cast<ZkLfoParams*>(instance->GetParamBlock())->frequency;
    };
    EXPECT_EQ(frequency(onA), 2.0f) << "the game parameter's value when it started";
    EXPECT_EQ(lfo->ActiveUses(), 2);

    ASSERT_EQ(m_rtpc.SetRTPCImmediate(kSpeed, 8.0f, ZkRTPCKey::ForObject(objectA)), ZK_Success);
    EXPECT_EQ(frequency(onA), 8.0f);
    EXPECT_EQ(frequency(onB), 2.0f) << "another game object's value";
    EXPECT_EQ(static_cast<ZkLfoParams*>(onA->GetParamBlock())->parametersChanged, 1);
    ASSERT_EQ(m_rtpc.SetRTPCImmediate(kSpeed, 6.0f, ZkRTPCKey::Global()), ZK_Success);
    EXPECT_EQ(frequency(onB), 6.0f) << "a global value reaches every instance";

    // The next frame takes the new frequency into the oscillator.
    InstanceStepper stepper(*onA);
    stepper.Step();
    EXPECT_FLOAT_EQ(static_cast<ZkLfoParams*>(onA->GetParamBlock())->oscillator.increment,
                    6.0f / 48000.0f * 6.2831855f);

    // Once the last instance has gone, the subscription is inactive again: nothing is told.
    for (CZkRegisteredObj* object : {objectA, objectB})
    {
        CZkModulatorInstance* instance = lfo->Instances().FindInstance(ZkRTPCKey::ForObject(object));
        instance->Term();
        lfo->Instances().RemoveKey(ZkRTPCKey::ForObject(object));
    }
    EXPECT_EQ(lfo->ActiveUses(), 0);
    EXPECT_EQ(m_rtpc.FindEntry(kSpeed)->active.Length(), 0u);
    ASSERT_EQ(m_rtpc.SetRTPCImmediate(kSpeed, 11.0f, ZkRTPCKey::Global()), ZK_Success);
    EXPECT_EQ(frequency(onA), 6.0f);
    onA->Release();
}

TEST_F(ModulatorInstances, AudioRateNeedsALinkableSubscriber)
{
    LoadItems(R"({"type": "lfo", "id": 1, "props": {"lfo_frequency": 1.0}},
                 {"type": "lfo", "id": 2, "props": {"lfo_frequency": 20.0}},
                 {"type": "lfo", "id": 3, "props": {"lfo_frequency": 20.0}},
                 {"type": "envelope", "id": 4, "props": {"env_attack_time": 0.04, "env_decay_time": 1.0}},
                 {"type": "envelope", "id": 5, "props": {"env_attack_time": 0.05, "env_decay_time": 1.0}},
                 {"type": "time_modulator", "id": 6})");
    ZkRTPCSubscription volume; // a node's voice volume: kind 2, bit 0
    volume.kind = ZkRTPCSubscriberKind_TargetList;
    ZkRTPCSubscription pitch; // bit 7 links too
    pitch.kind = ZkRTPCSubscriberKind_TargetList;
    pitch.bit = 7;
    ZkRTPCSubscription effect; // an effect's parameter is served by value
    effect.kind = ZkRTPCSubscriberKind_Effect;
    ZkRTPCSubscription lowPass;
    lowPass.kind = ZkRTPCSubscriberKind_TargetList;
    lowPass.bit = 3;
    for (ZkRTPCSubscription* subscription : {&effect, &lowPass})
    {
        ASSERT_EQ(Modulator(3)->AddSubscriber(subscription), ZK_Success);
        EXPECT_FALSE(Modulator(3)->HasAudioRateSubscriber());
    }
    ASSERT_EQ(Modulator(6)->AddSubscriber(&volume), ZK_Success);
    EXPECT_FALSE(Modulator(6)->HasAudioRateSubscriber()) << "a time modulator is not linkable";
    for (ZkUniqueID id : {1u, 2u, 4u, 5u})
    {
        ASSERT_EQ(Modulator(id)->AddSubscriber(&pitch), ZK_Success);
        ASSERT_EQ(Modulator(id)->AddSubscriber(&volume), ZK_Success);
        ASSERT_EQ(Modulator(id)->AddSubscriber(&volume), ZK_Success) << "present already";
        EXPECT_TRUE(Modulator(id)->HasAudioRateSubscriber());
    }
    EXPECT_EQ(Modulator(2)->Subscribers().Length(), 2u);
    EXPECT_LT(Modulator(2)->Subscribers()[0], Modulator(2)->Subscribers()[1]) << "sorted by address";

    struct Case
    {
        ZkUniqueID id;
        uint32_t audioRateFrames;
    };
    // 1 Hz <= 12000 / 1024 < 20 Hz; an attack of 1920 < 2048 <= 2400 samples.
    for (const Case& c : {Case{1, 0}, Case{2, kFrames}, Case{3, 0}, Case{4, kFrames}, Case{5, 0}})
    {
        CZkModulatorInstance* instance = NewInstance(Modulator(c.id), PlayTrigger(), 3);
        EXPECT_EQ(instance->Header().audioRateFrames, c.audioRateFrames) << "modulator " << c.id;
    }
    // A frequency driven up at run time switches the LFO to audio rate.
    CZkModulatorInstance* slow = NewInstance(Modulator(1), PlayTrigger(), 3);
    EXPECT_TRUE(slow->SetParam(ZkModParam_LfoFrequency, 30.0f));
    EXPECT_EQ(slow->Header().audioRateFrames, kFrames);
    EXPECT_FALSE(slow->SetParam(ZkModParam_LfoInitialPhase, 90.0f)) << "a running LFO keeps its phase";

    ZkRTPCSubscription more;
    ZK::MemoryMgr::FaultInjection::ScopedAllocationFailure failure(CZkModulator::kListPool, 1);
    EXPECT_EQ(Modulator(2)->AddSubscriber(&more), ZK_InsufficientMemory);
}

TEST_F(ModulatorInstances, AnEnvelopeReleasesWhenScheduledAndEnds)
{
    LoadItems(R"({"type": "envelope", "id": 1, "props": {"env_attack_time": 0.01, "env_decay_time": 0.01,
                  "env_sustain_level": 50.0, "env_release_time": 0.05}})");
    CZkModulatorInstance* instance = NewInstance(Modulator(1), PlayTrigger(), 3);
    ASSERT_NE(instance, nullptr);
    InstanceStepper stepper(*instance);
    for (int frame = 0; frame < 40; ++frame)
        stepper.Step();
    EXPECT_FLOAT_EQ(instance->Value(), 0.5f) << "a sustain time of -1 never releases by itself";
    EXPECT_EQ(instance->State(), ZkModulatorState_Playing);

    instance->ScheduleRelease(0);
    EXPECT_EQ(instance->State(), ZkModulatorState_Releasing);
    const int64_t releaseFrame = instance->Header().releaseFrame;
    instance->ScheduleRelease(5000);
    EXPECT_EQ(instance->Header().releaseFrame, releaseFrame) << "the first release stays";
    float previous = instance->Value();
    for (uint32_t frame = 0; frame < 10; ++frame)
    {
        const FrameResult result = stepper.Step();
        EXPECT_LT(result.value, previous) << "releasing from the next frame";
        previous = result.value;
        if (result.state == ZkModulatorState_Stopped)
            break;
    }
    EXPECT_EQ(previous, 0.0f);
    stepper.Step();
    EXPECT_EQ(instance->State(), ZkModulatorState_Stopped);
    EXPECT_EQ(instance->Value(), 0.0f);
    EXPECT_TRUE(instance->IsFinished());
}

TEST_F(ModulatorInstances, ARetriggeredEnvelopeResumesItsAttack)
{
    LoadItems(R"({"type": "envelope", "id": 1, "props": {"env_attack_time": 0.1, "env_attack_curve": 50.0,
                  "env_decay_time": 1.0, "scope": 2}})");
    CZkModulatorInstance* instance = Attach(Modulator(1), PlayTrigger(kObjectA), 2);
    ASSERT_NE(instance, nullptr);
    InstanceStepper stepper(*instance);
    for (int frame = 0; frame < 3; ++frame)
        stepper.Step();
    const float reached = instance->Value(); // 0.5 + 672 x 0.5 / 2400
    EXPECT_NEAR(reached, 0.64f, 1e-6);

    bool created = true;
    EXPECT_EQ(Attach(Modulator(1), PlayTrigger(kObjectA), 2, &created), instance);
    EXPECT_FALSE(created);
    EXPECT_EQ(instance->Header().elapsedFrames, 0);
    EXPECT_EQ(static_cast<ZkEnvelopeParams*>(instance->GetParamBlock())->startLevel, reached);
    // The attack resumes where it reaches that level (2400 + 2400 x 0.28): one more frame climbs on.
    stepper.Step();
    EXPECT_NEAR(instance->Value(), reached + 1024.0f * 0.5f / 2400.0f, 1e-5);
}

TEST_F(ModulatorInstances, FinishedInstances)
{
    LoadItems(R"({"type": "lfo", "id": 1})");
    ZkModulatorTrigger trigger = PlayTrigger(kObjectA, 3);
    CZkModulatorInstance* note = NewInstance(Modulator(1), trigger, 1);
    CZkModulatorInstance* object = NewInstance(Modulator(1), trigger, 2);
    EXPECT_TRUE(note->IsFinished()) << "a note instance that no link uses";
    note->AddUser();
    EXPECT_FALSE(note->IsFinished());
    EXPECT_FALSE(object->IsFinished()) << "a game-object instance serves without links";
    object->Term();
    EXPECT_TRUE(object->IsFinished());

    // Every user paused: a scoped instance holds still; a global one goes on.
    note->AddPausedUser();
    note->Advance(kFrames);
    EXPECT_EQ(note->Header().elapsedFrames, 0);
    CZkModulatorInstance* global = NewInstance(Modulator(1), trigger, 3);
    global->AddUser();
    global->AddPausedUser();
    global->Advance(kFrames);
    EXPECT_EQ(global->Header().elapsedFrames, kFrames);
    note->RemovePausedUser();
    note->RemoveUser();
    global->RemovePausedUser();
    global->RemoveUser();
}

// --- The faults of the kernels' inputs ---

TEST_F(ModulatorInstances, AnAttackCurveOfOneSkipsByTheFirstHalfOrTheWholeAttack)
{
    // Literally, (I - k) / (1 - k) is 0 / 0 for k = I = 1 and +inf for I > 1: truncating either is
    // undefined. I <= k takes h x I / k; above a curve of 1 the whole attack is skipped.
    for (float start : {1.0f, 1.5f})
    {
        for (bool audio : {false, true})
        {
            ZkEnvelopeRecord record;
            record.header.audioRateFrames = audio ? kFrames : 0;
            record.header.currentValue = start;
            record.header.releaseFrame = kNeverFrame;
            record.params = ZkEnvelopeParams{kNeverFrame, start, 4096, 1.0f, 0.25f, 2048, 1000};
            std::vector<float> buffer;
            std::vector<float> values;
            for (int frame = 0; frame < 6; ++frame)
            {
                const FrameResult result = StepRecord(record, buffer);
                values.push_back(result.value);
                for (float sample : result.samples)
                    ASSERT_TRUE(std::isfinite(sample));
            }
            SCOPED_TRACE(::testing::Message() << "start " << start << (audio ? ", audio rate" : ", control rate"));
            ASSERT_TRUE(std::isfinite(values[0]));
            EXPECT_FLOAT_EQ(values[5], 0.25f);
            if (audio)
                continue; // the same segments, a sample behind at the frame's end
            if (start == 1.0f)
            {
                // Skipped by h = 2048: the second half (slope 0 for a curve of 1) then the decay.
                EXPECT_FLOAT_EQ(values[0], 1.0f);
                EXPECT_FLOAT_EQ(values[1], 1.0f);
                EXPECT_NEAR(values[2], 1.0f - 0.75f * 1024 / 2048, 1e-5);
            }
            else
            {
                // Skipped by 2h: the decay runs from the first frame, from the level held.
                EXPECT_NEAR(values[0], 1.5f - 0.75f * 1024 / 2048, 1e-5);
            }
        }
    }
}

TEST_F(ModulatorInstances, FrequenciesWithoutCoefficientsLeaveTheSmootherOff)
{
    // A negative frequency (ln of a negative ratio) and a zero one with negative smoothing (cos of
    // infinity) would carry NaN into every value: the smoother is switched off instead.
    LoadItems(R"({"type": "lfo", "id": 1, "props": {"lfo_frequency": -1.0, "lfo_smoothing": 50.0, "lfo_waveform": 1, "lfo_attack": 0.0}},
                 {"type": "lfo", "id": 2, "props": {"lfo_frequency": 0.0, "lfo_smoothing": -50.0, "lfo_waveform": 3, "lfo_attack": 0.0}},
                 {"type": "lfo", "id": 3, "props": {"lfo_frequency": -1.0, "lfo_smoothing": 100.0, "lfo_waveform": 2,
                  "lfo_pulse_width": 50.0, "lfo_attack": 0.0}})");
    for (ZkUniqueID id : {1u, 2u, 3u})
    {
        CZkModulatorInstance* instance = NewInstance(Modulator(id), PlayTrigger(), 3);
        const ZkLfoOscillator& oscillator = static_cast<ZkLfoParams*>(instance->GetParamBlock())->oscillator;
        EXPECT_EQ(oscillator.gain, 1.0f) << "modulator " << id;
        EXPECT_EQ(oscillator.feedback, 0.0f) << "modulator " << id;
        InstanceStepper stepper(*instance);
        for (int frame = 0; frame < 8; ++frame)
        {
            const FrameResult result = stepper.Step();
            ASSERT_TRUE(std::isfinite(result.value)) << "modulator " << id << ", frame " << frame;
            EXPECT_GE(result.value, 0.0f);
            EXPECT_LE(result.value, 0.01f);
        }
    }
    // A frequency driven negative at run time takes the same way.
    ZkLfoOscillator oscillator;
    ZkModulatorMath::ComputeLfoCoefficients(oscillator, 4, -3.0f, 0.3f);
    EXPECT_EQ(oscillator.gain, 1.0f);
    EXPECT_EQ(oscillator.feedback, 0.0f);
}

TEST_F(ModulatorInstances, AnEndlessTimeSourceOfNoLengthReadsZero)
{
    // Literally, c mod 0 once 0 < c < T: a division by zero.
    LoadItems(R"({"type": "time_modulator", "id": 1, "props": {"time_duration": 0.0, "time_loops": 0}},
                 {"type": "time_modulator", "id": 2, "props": {"time_duration": 0.0, "time_loops": 2}})");
    for (ZkUniqueID id : {1u, 2u})
    {
        CZkModulatorInstance* instance = NewInstance(Modulator(id), PlayTrigger(), 3);
        InstanceStepper stepper(*instance);
        for (int frame = 0; frame < 5; ++frame)
        {
            const FrameResult result = stepper.Step();
            EXPECT_EQ(result.value, 0.0f);
            EXPECT_EQ(result.state, id == 1 ? ZkModulatorState_None : ZkModulatorState_Stopped)
                << "an endless source runs on; two loops of nothing are over at once";
        }
    }
}

TEST_F(ModulatorInstances, TimesBeyondTheSampleCountsAreHeldToThem)
{
    // samples(-1 s) would step a segment backwards; samples(1e30 s) does not fit 32 bits.
    LoadItems(R"({"type": "envelope", "id": 1, "props": {"env_attack_time": -1.0, "env_decay_time": 0.01, "env_sustain_level": 40.0}},
                 {"type": "envelope", "id": 2, "props": {"env_attack_time": 1e30, "env_decay_time": -5.0, "env_release_time": 1e30}},
                 {"type": "envelope", "id": 3, "props": {"env_attack_time": 0.01, "env_decay_time": 0.01, "env_sustain_time": 1e30}},
                 {"type": "lfo", "id": 4, "props": {"lfo_attack": -2.0}},
                 {"type": "time_modulator", "id": 5, "props": {"time_duration": 1e30, "time_loops": 100}})");
    auto envelope = [this](ZkUniqueID id) {
        return *static_cast<ZkEnvelopeParams*>(NewInstance(Modulator(id), PlayTrigger(), 3)->GetParamBlock());
    };
    EXPECT_EQ(envelope(1).attack, 0);
    EXPECT_EQ(envelope(2).attack, kMaxSegmentSamples);
    EXPECT_EQ(envelope(2).decay, 0);
    EXPECT_EQ(envelope(2).release, kMaxSegmentSamples);
    EXPECT_EQ(envelope(3).endFrame, int64_t{kMaxSegmentSamples} + 480 + 480) << "the sum is 64-bit";
    EXPECT_EQ(static_cast<ZkLfoParams*>(NewInstance(Modulator(4), PlayTrigger(), 3)->GetParamBlock())->attack, 0);
    EXPECT_EQ(static_cast<ZkTimeParams*>(NewInstance(Modulator(5), PlayTrigger(), 3)->GetParamBlock())->totalLength,
              int64_t{100} * kMaxSegmentSamples);

    for (ZkUniqueID id : {1u, 2u})
    {
        CZkModulatorInstance* instance = NewInstance(Modulator(id), PlayTrigger(), 3);
        InstanceStepper stepper(*instance);
        float previous = -1.0f;
        for (int frame = 0; frame < 6; ++frame)
        {
            const FrameResult result = stepper.Step();
            ASSERT_TRUE(result.value >= 0.0f && result.value <= 1.0f) << "modulator " << id << ": " << result.value;
            if (id == 2)
            {
                EXPECT_GT(result.value, previous) << "a very long attack climbs slowly";
                previous = result.value;
            }
        }
        if (id == 1)
        {
            EXPECT_FLOAT_EQ(instance->Value(), 0.4f) << "no attack: at the sustain after its decay";
        }
    }
}

TEST_F(ModulatorInstances, AgesBeyondTwoToTheThirtyOneSamples)
{
    constexpr int64_t kNearWrap = (int64_t{1} << 31) - 2048;
    // An envelope holding its sustain keeps it across 2^31 samples of age.
    for (bool audio : {false, true})
    {
        ZkEnvelopeRecord record;
        record.header.audioRateFrames = audio ? kFrames : 0;
        record.header.elapsedFrames = kNearWrap;
        record.header.currentValue = 0.5f;
        record.header.releaseFrame = kNeverFrame;
        record.params = ZkEnvelopeParams{kNeverFrame, 0.0f, 1024, 0.5f, 0.5f, 1024, 1024};
        std::vector<float> buffer;
        for (int frame = 0; frame < 4; ++frame)
        {
            const FrameResult result = StepRecord(record, buffer);
            EXPECT_EQ(result.value, 0.5f) << "frame " << frame;
            EXPECT_EQ(result.state, ZkModulatorState_None);
            for (float sample : result.samples)
                ASSERT_EQ(sample, 0.5f) << "frame " << frame;
        }
        // A release scheduled there still comes.
        record.header.releaseFrame = record.header.elapsedFrames;
        record.header.elapsedFrames += kFrames;
        const FrameResult released = StepRecord(record, buffer);
        EXPECT_EQ(released.value, 0.0f);
        EXPECT_EQ(released.state, ZkModulatorState_Stopped);
    }

    // An LFO past its 1 s attack keeps its full depth across 2^31 samples.
    LoadItems(R"({"type": "lfo", "id": 1, "props": {"lfo_depth": 100.0, "lfo_frequency": 20.0, "lfo_waveform": 3}})");
    CZkModulatorInstance* instance = NewInstance(Modulator(1), PlayTrigger(), 3);
    for (bool audio : {false, true})
    {
        ZkLfoRecord record{instance->Header(), *static_cast<ZkLfoParams*>(instance->GetParamBlock())};
        record.header.audioRateFrames = audio ? kFrames : 0;
        record.header.elapsedFrames = kNearWrap;
        std::vector<float> buffer;
        for (int frame = 0; frame < 4; ++frame)
        {
            const FrameResult result = StepRecord(record, buffer);
            EXPECT_GE(result.value, 0.0f) << "frame " << frame;
            EXPECT_LE(result.value, 1.0f) << "frame " << frame;
            if (audio)
            {
                EXPECT_EQ(result.peak, 1.0f) << "full depth";
            }
        }
    }
}
} // namespace
