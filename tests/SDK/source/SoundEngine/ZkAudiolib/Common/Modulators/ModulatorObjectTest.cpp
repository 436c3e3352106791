// Modulator objects read from banks written by tools/bank_writer.py: defaults, ranges and their
// clamps, driven parameters and their subscriptions, a second bank that only references, the
// body's counts read within the item, values that are not finite, unknown kinds and the lists kept
// when memory runs out.
#include "ModulatorFixture.h"

#include "MemoryMgr/ZkMemoryFaultInjection.h"
#include "ZkAudiolib/Common/Modulators/ZkModulatorProperties.h"
#include "ZkAudiolib/Common/Parameters/CZkModulatorMgr.h"

#include <cmath>
#include <limits>

namespace
{
using namespace ZkModulatorTest;

class ModulatorObjects : public ModulatorTest
{
protected:
    ZkLfoParams& LfoParams(CZkModulatorInstance* instance)
    {
        return *static_cast<ZkLfoParams*>(instance->GetParamBlock());
    }
};

TEST_F(ModulatorObjects, AnEmptyBodyGivesEveryDefault)
{
    LoadItems(R"({"type": "lfo", "id": 1}, {"type": "envelope", "id": 2}, {"type": "time_modulator", "id": 3})");
    CZkModulator* lfo = Modulator(1);
    ASSERT_NE(lfo, nullptr);
    EXPECT_EQ(lfo->Kind(), ZkModulatorKind_Lfo);
    EXPECT_EQ(Modulator(2)->Kind(), ZkModulatorKind_Envelope);
    EXPECT_EQ(Modulator(3)->Kind(), ZkModulatorKind_Time);
    EXPECT_EQ(lfo->RefCount(), 1u) << "the bank's reference";

    CZkModulatorInstance* instance = NewInstance(lfo, PlayTrigger(), ZkModulatorScope_Global);
    ASSERT_NE(instance, nullptr);
    const ZkLfoParams& lfoParams = LfoParams(instance);
    EXPECT_FLOAT_EQ(lfoParams.depth, 0.01f) << "1 %";
    EXPECT_EQ(lfoParams.frequency, 1.0f);
    EXPECT_EQ(lfoParams.oscillator.waveform, 0) << "sine";
    EXPECT_EQ(lfoParams.attack, static_cast<int32_t>(kRate)) << "1 s";

    CZkModulatorInstance* envelope = NewInstance(Modulator(2), PlayTrigger(), ZkModulatorScope_Global);
    const auto& envelopeParams = *static_cast<ZkEnvelopeParams*>(envelope->GetParamBlock());
    EXPECT_EQ(envelopeParams.attack, 100 * 48000);
    EXPECT_EQ(envelopeParams.decay, 200 * 48000);
    EXPECT_EQ(envelopeParams.release, 1000 * 48000);
    EXPECT_FLOAT_EQ(envelopeParams.sustainLevel, 0.003f);
    EXPECT_EQ(envelopeParams.endFrame, kNeverFrame) << "a sustain time of -1 has no timed release";

    CZkModulatorInstance* time = NewInstance(Modulator(3), PlayTrigger(), ZkModulatorScope_Global);
    const auto& timeParams = *static_cast<ZkTimeParams*>(time->GetParamBlock());
    EXPECT_EQ(timeParams.duration, 10 * 48000);
    EXPECT_EQ(timeParams.totalLength, 10 * 48000) << "one loop";
    EXPECT_EQ(timeParams.playbackRate, 1.0f);
}

TEST_F(ModulatorObjects, RangesAreAddedThenClampedAndBareValuesAreNot)
{
    LoadItems(R"({"type": "lfo", "id": 1, "props": {"lfo_frequency": 19000.0}, "ranges": {"lfo_frequency": [2000, 2000]}},
                 {"type": "lfo", "id": 2, "props": {"lfo_frequency": 30000.0}},
                 {"type": "lfo", "id": 3, "props": {"lfo_depth": 150.0, "lfo_initial_phase": -170.0},
                  "ranges": {"lfo_depth": [0, 0], "lfo_initial_phase": [-30, -30]}},
                 {"type": "time_modulator", "id": 4, "props": {"time_playback_rate": 0.5}, "ranges": {"time_playback_rate": [-1, -1]}},
                 {"type": "time_modulator", "id": 5, "props": {"time_loops": 3}, "ranges": {"time_loops": [-10, -10]}},
                 {"type": "time_modulator", "id": 6, "props": {"time_loops": 90}, "ranges": {"time_loops": [20, 20]}},
                 {"type": "time_modulator", "id": 7, "props": {"time_loops": 0}},
                 {"type": "envelope", "id": 8, "props": {"env_sustain_time": 1.0}, "ranges": {"env_sustain_time": [-3, -3]}},
                 {"type": "envelope", "id": 9, "props": {"env_sustain_time": -1.0}, "ranges": {"env_sustain_time": [2, 2]}})");
    const ZkRTPCKey global;
    struct Case
    {
        ZkUniqueID id;
        uint32_t property;
        float value;
    };
    for (const Case& c : {Case{1, ZkModProp_LfoFrequency, 20000.0f}, Case{2, ZkModProp_LfoFrequency, 30000.0f},
                          Case{3, ZkModProp_LfoDepth, 100.0f}, Case{3, ZkModProp_LfoInitialPhase, -180.0f},
                          Case{4, ZkModProp_TimePlaybackRate, 0.25f}, Case{8, ZkModProp_EnvSustainTime, -2.0f},
                          Case{9, ZkModProp_EnvSustainTime, 1.0f}})
        EXPECT_EQ(Modulator(c.id)->ReadProperty(c.property, global), c.value) << "modulator " << c.id;
    EXPECT_EQ(Modulator(5)->ReadLoops(), 1) << "a sum of 0 or less counts as 1";
    EXPECT_EQ(Modulator(6)->ReadLoops(), 100) << "at most 100";
    EXPECT_EQ(Modulator(7)->ReadLoops(), 0) << "0 without a range: endless";
    CZkModulatorInstance* endless = NewInstance(Modulator(7), PlayTrigger(), ZkModulatorScope_Global);
    EXPECT_EQ(static_cast<ZkTimeParams*>(endless->GetParamBlock())->totalLength, kNeverFrame);
}

TEST_F(ModulatorObjects, RangesDrawFromTheEngineGenerator)
{
    LoadItems(R"({"type": "lfo", "id": 1, "ranges": {"lfo_frequency": [0, 10]}},
                 {"type": "time_modulator", "id": 2, "props": {"time_loops": 2}, "ranges": {"time_loops": [0, 10]}})");
    // The draws as the generator gives them: min + (state >> 33) / (2^31 - 1) x (max - min), the
    // integer one rounded to nearest.
    ZK::ZkLcg64 model(77);
    ZK::ZkLcg64::Engine().Seed(77);
    const double fraction = model.RandomFraction();
    EXPECT_FLOAT_EQ(Modulator(1)->ReadProperty(ZkModProp_LfoFrequency, ZkRTPCKey{}),
                    static_cast<float>(1.0 + fraction * 10.0));
    const double loops = model.RandomFraction();
    EXPECT_EQ(Modulator(2)->ReadLoops(), 2 + static_cast<int32_t>(loops * 10.0 + 0.5));
}

TEST_F(ModulatorObjects, SubscriptionsDriveTheirParameterAndWaitForAnInstance)
{
    constexpr ZkUniqueID kSpeed = 40;
    ASSERT_EQ(m_rtpc.SetDefaultValue(kSpeed, 2.0f), ZK_Success);
    // LfoFrequency (parameter 2) from the game parameter through a doubling curve; an entry whose
    // parameter number takes two bytes (200: 0x81 0x48) lands on bit 200 mod 64 of the mask.
    LoadItems(R"({"type": "lfo", "id": 1, "rtpc": [
                    {"parameter": 40, "target": 2, "curve": 1, "points": [[0, 0], [100, 200]]},
                    {"parameter": 40, "target": 200, "curve": 2, "points": [[0, 0], [1, 1]]}]})");
    CZkModulator* lfo = Modulator(1);
    ASSERT_NE(lfo, nullptr);
    EXPECT_EQ(lfo->DrivenMask(), (uint64_t{1} << 2) | (uint64_t{1} << (200 % 64)));
    ZkRTPCSubscription* frequency = m_rtpc.FindSubscription(lfo, 2);
    ASSERT_NE(frequency, nullptr);
    EXPECT_EQ(frequency->kind, ZkRTPCSubscriberKind_Modulator);
    EXPECT_NE(m_rtpc.FindSubscription(lfo, 200), nullptr) << "decoded most significant group first";
    ZkRTPCParamEntry* entry = m_rtpc.FindEntry(kSpeed);
    ASSERT_NE(entry, nullptr);
    EXPECT_EQ(entry->active.Length(), 0u) << "inactive while nothing runs";

    // A driven property reads the game parameter's curve for the instance's key.
    EXPECT_EQ(lfo->ReadProperty(ZkModProp_LfoFrequency, ZkRTPCKey{}), 4.0f);
    CZkModulatorInstance* instance = NewInstance(lfo, PlayTrigger(), ZkModulatorScope_Global);
    ASSERT_NE(instance, nullptr);
    EXPECT_EQ(LfoParams(instance).frequency, 4.0f);
    EXPECT_EQ(lfo->ActiveUses(), 1);
    // Modulator parameters are below 64: the game-parameter manager activates by mask bit, so the
    // entry on parameter 200 stays inactive (and nothing reads it).
    EXPECT_EQ(entry->active.Length(), 1u) << "the frequency's subscription is active while an instance runs";
    instance->Term();
    EXPECT_EQ(lfo->ActiveUses(), 0);
    EXPECT_EQ(entry->active.Length(), 0u);

    // The modulator's end takes every subscription with it, the one beyond the mask's 64 bits too
    // (left behind, it would point at a freed modulator).
    m_banks.back()->ReleaseItemList();
    EXPECT_EQ(Modulator(1), nullptr);
    EXPECT_EQ(m_rtpc.SubscriptionCount(), 0u);
}

TEST_F(ModulatorObjects, ASecondBankOnlyReferencesTheModulator)
{
    LoadItems(R"({"type": "lfo", "id": 1, "props": {"lfo_frequency": 5.0}})");
    LoadItems(R"({"type": "lfo", "id": 1, "props": {"lfo_frequency": 9.0}})");
    CZkModulator* lfo = Modulator(1);
    ASSERT_NE(lfo, nullptr);
    EXPECT_EQ(lfo->RefCount(), 2u);
    EXPECT_EQ(lfo->StoredValue(ZkModProp_LfoFrequency), 5.0f) << "the body is not read again";
}

// Each damaged body runs past its item by one count (literally read, the counts would take the
// bytes of the next item, or of the chunk's end).
TEST_F(ModulatorObjects, CountsAreReadWithinTheItem)
{
    const std::string next = R"(, {"type": "lfo", "id": 99, "props": {"lfo_depth": 50.0, "lfo_frequency": 2.0}})";
    const std::string entry = R"({"parameter": 40, "target": 2, "curve": 1, "points": [[0, 0], [1, 1]]})";
    struct Case
    {
        const char* what;
        std::string item;
    };
    const Case cases[] = {
        {"property count", R"({"type": "lfo", "id": 1, "props": {"lfo_depth": 10.0}, "prop_count": 2})"},
        {"range count", R"({"type": "lfo", "id": 1, "ranges": {"lfo_depth": [0, 1]}, "range_count": 2})"},
        {"subscription count", R"({"type": "lfo", "id": 1, "rtpc": [)" + entry + R"(], "rtpc_count": 2})"},
        {"point count", R"({"type": "envelope", "id": 1, "rtpc": [{"parameter": 40, "target": 8, "curve": 1,
                           "points": [[0, 0], [1, 1]], "point_count": 3}]})"},
    };
    for (const Case& c : cases)
    {
        const Bytes bank = ZkBankTest::WriteBank(
            ZkBankTest::Bank(R"({"tag": "BKHD"}, {"tag": "HIRC", "items": [)" + c.item + next + "]}"));
        EXPECT_EQ(ParseMemory(bank, static_cast<ZkBankID>(m_banks.size() + 1)), ZK_InvalidFile) << c.what;
        EXPECT_EQ(m_rtpc.SubscriptionCount(), 0u) << c.what << ": nothing subscribed";
    }
    // The same bodies with their counts right are read.
    LoadItems(R"({"type": "lfo", "id": 2, "props": {"lfo_depth": 10.0}, "ranges": {"lfo_depth": [0, 1]},
                  "rtpc": [)" + entry + "]}" + next);
}

TEST_F(ModulatorObjects, ValuesThatAreNotFiniteEndTheRead)
{
    const char* items[] = {
        R"({"type": "lfo", "id": 1, "props": {"lfo_frequency": {"f32": "nan"}}})",
        R"({"type": "envelope", "id": 1, "props": {"env_attack_time": {"f32": "inf"}}})",
        R"({"type": "lfo", "id": 1, "ranges": {"lfo_depth": [0, {"f32": "-inf"}]}})",
        R"({"type": "lfo", "id": 1, "rtpc": [{"parameter": 4, "target": 2, "points": [[0, 0], [1, NaN]]}]})",
    };
    for (const char* item : items)
    {
        const Bytes bank = ZkBankTest::WriteBank(ZkBankTest::Bank(R"({"tag": "BKHD"}, {"tag": "HIRC", "items": [)" +
                                                                  std::string(item) + "]}"));
        EXPECT_EQ(ParseMemory(bank, static_cast<ZkBankID>(m_banks.size() + 1)), ZK_InvalidFile) << item;
    }
    // An integer property may hold any bit pattern: its value is an integer.
    LoadItems(R"({"type": "lfo", "id": 2, "props": {"lfo_waveform": {"u32": 2143289344}}})");
}

TEST_F(ModulatorObjects, BadKindsSubscriptionsToModulatorsAndMemory)
{
    EXPECT_EQ(CZkModulator::Create(1, 3), nullptr) << "kind 3 is not a modulator";
    EXPECT_EQ(CZkModulator::Create(1, -1), nullptr);
    {
        ZK::MemoryMgr::FaultInjection::ScopedAllocationFailure failure(CZkModulator::kPool, 1);
        EXPECT_EQ(CZkModulator::Create(1, ZkModulatorKind_Lfo), nullptr) << "pool 2 exhausted";
    }

    // A modulator driven by another modulator (parameter type 2) waits for the manager's target
    // table: the read ends with its answer.
    const Bytes driven = ZkBankTest::WriteBank(ZkBankTest::Bank(
        R"({"tag": "BKHD"}, {"tag": "HIRC", "items": [{"type": "lfo", "id": 3, "rtpc": [
             {"parameter": 1, "parameter_type": 2, "target": 2, "points": [[0, 0], [1, 1]]}]}]})"));
    EXPECT_EQ(ParseMemory(driven), ZK_NotImplemented);

    // A list that cannot be allocated keeps the previous one (2).
    LoadItems(R"({"type": "lfo", "id": 4, "props": {"lfo_frequency": 5.0}})");
    CZkModulator* lfo = Modulator(4);
    const uint8_t body[] = {4, 0, 0, 0, 1, ZkModProp_LfoFrequency, 0, 0, 0x20, 0x41, 0, 0, 0};
    {
        ZK::MemoryMgr::FaultInjection::ScopedAllocationFailure failure(CZkModulator::kListPool, 1);
        EXPECT_EQ(lfo->SetFromBank(body, sizeof(body)), ZK_Fail);
    }
    EXPECT_EQ(lfo->StoredValue(ZkModProp_LfoFrequency), 5.0f);
    EXPECT_EQ(lfo->SetFromBank(body, sizeof(body)), ZK_Success);
    EXPECT_EQ(lfo->StoredValue(ZkModProp_LfoFrequency), 10.0f);
}

TEST_F(ModulatorObjects, TheManagerFindsLoadedModulators)
{
    CZkModulatorMgr manager;
    ASSERT_EQ(manager.Init(), ZK_Success);
    LoadItems(R"({"type": "lfo", "id": 1}, {"type": "envelope", "id": 2}, {"type": "time_modulator", "id": 3})");
    EXPECT_TRUE(manager.IsModulator(1));
    EXPECT_TRUE(manager.IsModulator(2));
    EXPECT_FALSE(manager.IsModulator(3)) << "time modulators serve by value, not by link";
    EXPECT_FALSE(manager.IsModulator(4)) << "unknown";
    float value = -1.0f;
    EXPECT_FALSE(manager.GetValue(1, ZkRTPCKey{}, value)) << "no instance yet";
    CZkModulatorInstance* instance = Attach(Modulator(3), PlayTrigger(), ZkModulatorScope_Global);
    ASSERT_NE(instance, nullptr);
    EXPECT_TRUE(manager.GetValue(3, ZkRTPCKey{}, value));
    EXPECT_EQ(value, 0.0f);
    EXPECT_FALSE(manager.GetValue(4, ZkRTPCKey{}, value));
    EXPECT_EQ(Modulator(3)->RefCount(), 2u) << "the bank and the instance; the look-ups gave theirs back";
    manager.Term();
}
} // namespace
