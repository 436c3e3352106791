// The modulator links of a play: the gains the voice reads (current, peak, ramps and audio-rate
// buffers, by parameter mask, in link and entry order, within the caller's capacities), pause and
// resume of the linked instances, their release, the hand-over of instances in an instance array,
// and the voice's modulation stage applying real links to blocks against a numpy model.
#include "SDK/source/SoundEngine/StreamMgr/StreamTestSupport.h"
#include "SDK/source/SoundEngine/ZkAudiolib/Common/Containers/EngineMemoryFixture.h"
#include "SDK/source/SoundEngine/ZkAudiolib/Common/Modulators/ModulatorFixture.h"

#include "MemoryMgr/ZkMemoryFaultInjection.h"
#include "ZkAudiolib/Common/Modulators/CZkModulatorLinks.h"
#include "ZkAudiolib/Common/Parameters/CZkModulatorMgr.h"
#include "ZkAudiolib/Common/Voice/CZkModulationStage.h"

#include <cmath>
#include <cstdio>
#include <fstream>
#include <random>

namespace
{
using namespace ZkModulatorTest;

constexpr ZkUniqueID kSlowLfo = 1;     // 4 Hz: control rate
constexpr ZkUniqueID kFastLfo = 2;     // 20 Hz with a volume subscriber: audio rate
constexpr ZkUniqueID kEnvelope = 3;    // attack 0, sustain 100 %: control rate, 0 then 1
constexpr ZkUniqueID kFastLfoB = 4;    // 30 Hz, audio rate
constexpr ZkUniqueID kSlowLfoB = 5;    // 2 Hz at 40 % depth

class ModulatorLinks : public ModulatorTest
{
protected:
    void SetUp() override
    {
        ModulatorTest::SetUp();
        LoadItems(R"({"type": "lfo", "id": 1, "props": {"scope": 0, "lfo_frequency": 4.0, "lfo_depth": 100}},
                     {"type": "lfo", "id": 2, "props": {"scope": 0, "lfo_frequency": 20.0, "lfo_depth": 100}},
                     {"type": "envelope", "id": 3, "props": {"scope": 0, "env_attack_time": 0, "env_decay_time": 1.0,
                                                              "env_sustain_level": 100}},
                     {"type": "lfo", "id": 4, "props": {"scope": 0, "lfo_frequency": 30.0, "lfo_depth": 80}},
                     {"type": "lfo", "id": 5, "props": {"scope": 1, "lfo_frequency": 2.0, "lfo_depth": 40,
                                                        "lfo_initial_phase": 90}})");
        m_volume.kind = ZkRTPCSubscriberKind_TargetList; // a voice volume: audio rate for fast ones
        for (ZkUniqueID id : {kFastLfo, kFastLfoB})
            ASSERT_EQ(Modulator(id)->AddSubscriber(&m_volume), ZK_Success);
        m_object = Register(7);
        m_handle.Init();
    }

    void TearDown() override
    {
        m_handle.Release();
        m_steppers.clear();
        for (ZkUniqueID id : {kFastLfo, kFastLfoB})
            Modulator(id)->RemoveSubscriber(&m_volume);
        ModulatorTest::TearDown();
    }

    // A new instance of the modulator for the play, stepped through `frames` engine frames (its
    // current value is then the frame before's, its pending output the last frame's).
    CZkModulatorInstance* Running(ZkUniqueID id, uint32_t frames = 2, ZkPlayingID playingID = 1)
    {
        CZkModulatorInstance* instance = NewInstance(Modulator(id), PlayTrigger(m_object, playingID), 0);
        if (instance == nullptr)
            return nullptr;
        m_steppers.push_back(std::make_unique<InstanceStepper>(*instance));
        for (uint32_t frame = 0; frame < frames; ++frame)
            m_steppers.back()->Step();
        return instance;
    }

    // Links the instance through the play's handle with these entries.
    void Link(CZkModulatorInstance* instance, std::initializer_list<ZkModulatorLinkEntry> entries)
    {
        ASSERT_EQ(m_handle.EnsureLinks(), ZK_Success);
        ASSERT_EQ(m_handle.links->AddInstance(instance, PlayTrigger(m_object), ZkModulatorTargetKey{}), ZK_Success);
        auto* node = const_cast<CZkModulatorLinks::LinkNode*>(m_handle.links->Head());
        while (node->instance != instance)
            node = node->next;
        for (const ZkModulatorLinkEntry& entry : entries)
            ASSERT_NE(node->entries.AddLast(entry), nullptr);
    }

    static float Current(const CZkModulatorInstance* instance) { return instance->Header().currentValue; }
    static float Last(const CZkModulatorInstance* instance) { return instance->PendingOutput()->lastValue; }

    ZkRTPCSubscription m_volume;
    CZkRegisteredObj* m_object = nullptr;
    ZkModulatorLinksHandle m_handle;
    std::vector<std::unique_ptr<InstanceStepper>> m_steppers;
};

// Every digit of a float, so that the model reads back the value the engine has.
std::string Digits(float value)
{
    char text[32];
    std::snprintf(text, sizeof(text), "%.9g", static_cast<double>(value));
    return text;
}

constexpr ZkModulatorLinkEntry Entry(uint8_t bit, float scale, float offset) { return ZkModulatorLinkEntry{offset, scale, bit}; }

TEST_F(ModulatorLinks, GainsAreTheProductOverTheEntriesOfTheMask)
{
    CZkModulatorInstance* slow = Running(kSlowLfo, 3);
    CZkModulatorInstance* envelope = Running(kEnvelope, 1);
    ASSERT_NE(slow, nullptr);
    ASSERT_NE(envelope, nullptr);
    ASSERT_NE(Current(slow), Last(slow)) << "a frame that moves";
    Link(slow, {Entry(0, 0.75f, 0.25f), Entry(7, 0.5f, 0.5f)});
    Link(envelope, {Entry(7, 1.0f, 0.0f), Entry(3, 2.0f, 1.0f)});
    const CZkModulatorLinks& links = *m_handle.links;
    const auto gain = [](float value, const ZkModulatorLinkEntry& e) { return value * e.scale + e.offset; };

    struct Case
    {
        const char* what;
        uint64_t mask;
        float current;
        float peak;
        uint32_t audio, control;
    };
    const float sc = Current(slow), sp = slow->PendingOutput()->peak;
    const float ec = Current(envelope), ep = envelope->PendingOutput()->peak;
    const Case cases[] = {
        {"no entry in the mask: exactly 1", uint64_t{1} << 9, 1.0f, 1.0f, 0, 0},
        {"the volume bit alone", 0x1, gain(sc, Entry(0, 0.75f, 0.25f)), gain(sp, Entry(0, 0.75f, 0.25f)), 0, 1},
        {"bits 0 and 7: both entries of one instance and the other's",
         0x81, gain(sc, Entry(0, 0.75f, 0.25f)) * gain(sc, Entry(7, 0.5f, 0.5f)) * gain(ec, Entry(7, 1, 0)),
         gain(sp, Entry(0, 0.75f, 0.25f)) * gain(sp, Entry(7, 0.5f, 0.5f)) * gain(ep, Entry(7, 1, 0)), 0, 3},
        {"a bit outside the volume", 0x8, gain(ec, Entry(3, 2, 1)), gain(ep, Entry(3, 2, 1)), 0, 1},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.what);
        EXPECT_FLOAT_EQ(links.GetGain(c.mask), c.current);
        EXPECT_FLOAT_EQ(links.GetTargetGain(c.mask), c.peak);
        uint32_t audio = 99, control = 99;
        links.CountForMask(c.mask, audio, control);
        EXPECT_EQ(audio, c.audio);
        EXPECT_EQ(control, c.control);
    }
    EXPECT_EQ(links.GetGain(uint64_t{1} << 9), 1.0f);
    EXPECT_EQ(ec, 0.0f) << "the envelope starts from 0";
    EXPECT_EQ(ep, 1.0f) << "and its first frame peaks at its sustain";
}

TEST_F(ModulatorLinks, RampsAndBuffersComeInLinkOrderWithinTheCapacities)
{
    CZkModulatorInstance* fast = Running(kFastLfo);
    CZkModulatorInstance* slow = Running(kSlowLfo);
    CZkModulatorInstance* fastB = Running(kFastLfoB);
    CZkModulatorInstance* envelope = Running(kEnvelope, 1);
    ASSERT_EQ(fast->Header().audioRateFrames, kFrames);
    ASSERT_EQ(slow->Header().audioRateFrames, 0u);
    Link(fast, {Entry(0, 0.5f, 0.5f), Entry(7, 0.25f, 0.75f)});
    Link(slow, {Entry(0, 0.75f, 0.25f)});
    Link(fastB, {Entry(0, 0.1f, 0.9f)});
    Link(envelope, {Entry(7, 1.0f, 0.0f), Entry(3, 1.0f, 0.0f)});

    struct Case
    {
        uint32_t audioCapacity, controlCapacity;
        uint32_t audio, control;
    };
    for (const Case& c : {Case{8, 8, 3, 2}, Case{2, 1, 2, 1}, Case{0, 0, 0, 0}})
    {
        SCOPED_TRACE(::testing::Message() << "capacities " << c.audioCapacity << ", " << c.controlCapacity);
        ZkAudioRateModulation audio[8] = {};
        ZkControlRateModulation control[8] = {};
        uint32_t audioCount = 99, controlCount = 99;
        m_handle.links->GatherRamps(0x81, audio, c.audioCapacity, audioCount, control, c.controlCapacity, controlCount);
        ASSERT_EQ(audioCount, c.audio);
        ASSERT_EQ(controlCount, c.control);
        const ZkAudioRateModulation audioOrder[] = {{0.5f, 0.5f, fast->PendingOutput()->samples},
                                                    {0.75f, 0.25f, fast->PendingOutput()->samples},
                                                    {0.9f, 0.1f, fastB->PendingOutput()->samples}};
        for (uint32_t i = 0; i < audioCount; ++i)
        {
            EXPECT_EQ(audio[i].offset, audioOrder[i].offset) << i;
            EXPECT_EQ(audio[i].scale, audioOrder[i].scale) << i;
            EXPECT_EQ(audio[i].buffer, audioOrder[i].buffer) << i;
        }
        const ZkControlRateModulation controlOrder[] = {
            {Current(slow) * 0.75f + 0.25f, Last(slow) * 0.75f + 0.25f}, {0.0f, 1.0f}};
        for (uint32_t i = 0; i < controlCount; ++i)
        {
            EXPECT_FLOAT_EQ(control[i].start, controlOrder[i].start) << i;
            EXPECT_FLOAT_EQ(control[i].end, controlOrder[i].end) << i;
        }
    }
}

TEST_F(ModulatorLinks, APausedPlayHoldsItsInstancesAtTheirLastValue)
{
    CZkModulatorInstance* slow = Running(kSlowLfo);
    Link(slow, {Entry(0, 1.0f, 0.0f)});
    const float last = Last(slow);
    m_handle.links->PauseAll();
    EXPECT_EQ(slow->PendingOutput(), nullptr) << "the pending output is dropped";
    EXPECT_EQ(Current(slow), last) << "and its last value kept";
    EXPECT_TRUE(slow->IsHeld());
    uint32_t audio = 0, control = 0;
    m_handle.links->CountForMask(0x1, audio, control);
    EXPECT_EQ(control, 1u);
    ZkControlRateModulation ramp{};
    ZkAudioRateModulation none{};
    uint32_t audioCount = 0, controlCount = 0;
    m_handle.links->GatherRamps(0x1, &none, 1, audioCount, &ramp, 1, controlCount);
    EXPECT_EQ(ramp.start, last);
    EXPECT_EQ(ramp.end, last) << "a constant while paused";

    // Paused twice, resumed once: still held; an instance linked meanwhile is paused as deep.
    m_handle.links->PauseAll();
    CZkModulatorInstance* envelope = Running(kEnvelope, 1);
    Link(envelope, {Entry(0, 1.0f, 0.0f)});
    EXPECT_TRUE(envelope->IsHeld());
    m_handle.links->ResumeAll();
    EXPECT_TRUE(slow->IsHeld());
    EXPECT_TRUE(envelope->IsHeld());
    m_handle.links->ResumeAll();
    EXPECT_FALSE(slow->IsHeld());
    EXPECT_FALSE(envelope->IsHeld());
    m_handle.links->ResumeAll(); // not paused: nothing
    EXPECT_EQ(m_handle.links->PauseDepth(), 0u);

    // Links that go while paused give back their paused users: a second holder of the instance is
    // not left holding it still.
    ZkModulatorLinksHandle other;
    other.Init();
    ASSERT_EQ(other.EnsureLinks(), ZK_Success);
    ASSERT_EQ(other.links->AddInstance(slow, PlayTrigger(m_object), ZkModulatorTargetKey{}), ZK_Success);
    other.links->PauseAll();
    EXPECT_FALSE(slow->IsHeld()) << "one of its two users runs";
    m_handle.links->PauseAll();
    EXPECT_TRUE(slow->IsHeld());
    other.Release();
    EXPECT_TRUE(slow->IsHeld()) << "its one user left is paused";
    m_handle.links->ResumeAll();
    EXPECT_FALSE(slow->IsHeld());
}

TEST_F(ModulatorLinks, AGlobalInstanceIsNeverHeldByPausedLinks)
{
    CZkModulatorInstance* global = NewInstance(Modulator(kSlowLfo), PlayTrigger(), 3);
    ASSERT_EQ(global->Scope(), ZkModulatorScope_Global);
    InstanceStepper stepper(*global);
    stepper.Step();
    Link(global, {Entry(0, 1.0f, 0.0f)});
    m_handle.links->PauseAll();
    EXPECT_FALSE(global->IsHeld());
    EXPECT_NE(global->PendingOutput(), nullptr);
    m_handle.links->ResumeAll();
}

TEST_F(ModulatorLinks, ReleaseAllSchedulesOnceFromTheFirstCall)
{
    CZkModulatorInstance* envelope = Running(kEnvelope, 3);
    Link(envelope, {Entry(0, 1.0f, 0.0f)});
    const int64_t elapsed = envelope->Header().elapsedFrames;
    m_handle.links->ReleaseAll(100);
    EXPECT_EQ(envelope->Header().releaseFrame, elapsed + 100);
    EXPECT_EQ(envelope->State(), ZkModulatorState_Releasing);
    m_handle.links->ReleaseAll(0);
    EXPECT_EQ(envelope->Header().releaseFrame, elapsed + 100) << "the second call leaves the first release frame";
}

TEST_F(ModulatorLinks, InstancesOfAScopeAreHandedOnInAnInstanceArray)
{
    CZkModulatorInstance* voiceScope = Running(kSlowLfo);
    CZkModulatorInstance* noteA = NewInstance(Modulator(kSlowLfoB), PlayTrigger(m_object, 1), 1);
    CZkModulatorInstance* noteB = NewInstance(Modulator(kSlowLfoB), PlayTrigger(m_object, 2), 1);
    ASSERT_EQ(noteA->Scope(), ZkModulatorScope_Note);
    for (CZkModulatorInstance* instance : {voiceScope, noteA, noteB})
        Link(instance, {Entry(0, 1.0f, 0.0f)});

    ZkModulatorInstanceArray collected;
    m_handle.links->CollectInstancesWithTag(ZkModulatorScope_Note, collected);
    ASSERT_EQ(collected.Length(), 2u);
    EXPECT_EQ(collected[0], noteA);
    EXPECT_EQ(collected[1], noteB);
    EXPECT_FALSE(collected.Contains(voiceScope));
    EXPECT_EQ(collected.capacity, 2u) << "grown 0, 1, 2 as the engine's arrays grow";
    {
        // The array cannot grow for the second: it is skipped, the first kept.
        ZkModulatorInstanceArray partial;
        ZK::MemoryMgr::FaultInjection::ScopedAllocationFailure failure(ZkMemID_Default, 2);
        m_handle.links->CollectInstancesWithTag(ZkModulatorScope_Note, partial);
        ASSERT_EQ(partial.Length(), 1u);
        EXPECT_EQ(partial[0], noteA);
        partial.Term();
    }

    // The array keeps the instances alive and counted as users after the links have gone.
    m_handle.Release();
    EXPECT_FALSE(noteA->IsFinished()) << "the array is a user";
    ZkModulatorInstanceArray copy;
    ASSERT_EQ(copy.CopyFrom(collected), ZK_Success);
    collected.Term();
    EXPECT_FALSE(noteA->IsFinished());
    EXPECT_TRUE(copy.Contains(noteB));
    ASSERT_EQ(copy.CopyFrom(copy), ZK_Success) << "itself: unchanged";
    EXPECT_EQ(copy.Length(), 2u);
    copy.Term();
    EXPECT_TRUE(noteA->IsFinished()) << "no user left";
    EXPECT_EQ(copy.items, nullptr);

    // Elements the array cannot take are skipped; a copy that cannot get its block stays empty.
    ZkModulatorInstanceArray full;
    ASSERT_EQ(full.Add(noteA), ZK_Success);
    {
        ZK::MemoryMgr::FaultInjection::ScopedAllocationFailure failure(ZkMemID_Default, 1);
        EXPECT_EQ(full.Add(noteB), ZK_InsufficientMemory);
    }
    EXPECT_EQ(full.Length(), 1u);
    ZkModulatorInstanceArray two;
    ASSERT_EQ(two.Add(noteA), ZK_Success);
    ASSERT_EQ(two.Add(noteB), ZK_Success);
    {
        ZK::MemoryMgr::FaultInjection::ScopedAllocationFailure failure(ZkMemID_Default, 1);
        EXPECT_EQ(full.CopyFrom(two), ZK_InsufficientMemory);
    }
    EXPECT_EQ(full.Length(), 0u);
    full.Term();
    two.Term();
}

// --- The voice's modulation stage over real links ---

class StageOwner final : public IZkModulationOwner
{
public:
    explicit StageOwner(const CZkModulatorLinks* links) : m_links(links) {}
    const CZkModulatorLinks* GetModulatorLinks() const override { return m_links; }
    bool HasConstantModulation() const override { return false; }
    int32_t GetStopFrame() const override { return -1; }

private:
    const CZkModulatorLinks* m_links;
};

TEST_F(ModulatorLinks, AControlRateRampFrom0To1Over8FramesMultipliesByEighths)
{
    CZkModulatorInstance* envelope = Running(kEnvelope, 1);
    Link(envelope, {Entry(0, 1.0f, 0.0f)});
    ASSERT_EQ(Current(envelope), 0.0f);
    ASSERT_EQ(Last(envelope), 1.0f);
    StageOwner owner(m_handle.links);
    CZkModulationStage stage;
    ASSERT_EQ(stage.SetOwner(&owner), ZK_Success);
    std::vector<float> samples(16, 1.0f);
    ZkAudioBuffer buffer;
    buffer.AttachData(samples.data(), 8, ZkChannelConfig::Anonymous(2));
    stage.Process(buffer);
    for (uint32_t channel = 0; channel < 2; ++channel)
        for (uint32_t k = 0; k < 8; ++k)
            EXPECT_EQ(samples[channel * 8 + k], 0.125f * static_cast<float>(k)) << "channel " << channel << " frame " << k;
}

TEST_F(ModulatorLinks, TheStageMultipliesByEveryRampAndBufferAsTheNumpyModelDoes)
{
    // Instances with real values: control rate (two LFOs, the envelope) and audio rate (two LFOs).
    CZkModulatorInstance* control[] = {Running(kSlowLfo, 4), Running(kSlowLfoB, 3, 2), Running(kEnvelope, 1)};
    CZkModulatorInstance* audio[] = {Running(kFastLfo, 3), Running(kFastLfoB, 2)};
    const ZkModulatorLinkEntry controlEntries[] = {Entry(0, 0.75f, 0.25f), Entry(7, 0.5f, 0.5f), Entry(0, 0.6f, 0.4f)};
    const ZkModulatorLinkEntry audioEntries[] = {Entry(7, 0.5f, 0.5f), Entry(0, 0.3f, 0.7f)};
    const ZkStreamTest::TempDir folder;
    std::mt19937 random(44);
    std::uniform_real_distribution<float> sample(-1.0f, 1.0f);

    for (uint32_t controls = 0; controls <= 3; ++controls)
        for (uint32_t audios = 0; audios <= 2; ++audios)
            for (uint32_t channels : {1u, 6u})
                for (uint16_t frames : {uint16_t{1024}, uint16_t{1016}})
                {
                    SCOPED_TRACE(::testing::Message() << controls << " control-rate, " << audios << " audio-rate, "
                                                      << channels << " channels, " << frames << " frames");
                    m_handle.Release();
                    std::string controlJson, audioJson;
                    for (uint32_t i = 0; i < controls; ++i)
                    {
                        Link(control[i], {controlEntries[i]});
                        controlJson += std::string(i ? ", " : "") + "{\"current\": " + Digits(Current(control[i])) +
                                       ", \"last\": " + Digits(Last(control[i])) +
                                       ", \"scale\": " + Digits(controlEntries[i].scale) +
                                       ", \"offset\": " + Digits(controlEntries[i].offset) + "}";
                    }
                    for (uint32_t i = 0; i < audios; ++i)
                    {
                        Link(audio[i], {audioEntries[i]});
                        const std::string path = (folder.Path() / ("m" + std::to_string(i) + ".f32")).string();
                        std::ofstream(path, std::ios::binary)
                            .write(reinterpret_cast<const char*>(audio[i]->PendingOutput()->samples), kFrames * 4);
                        audioJson += std::string(i ? ", " : "") + "{\"buffer\": \"" + path +
                                     "\", \"scale\": " + Digits(audioEntries[i].scale) +
                                     ", \"offset\": " + Digits(audioEntries[i].offset) + "}";
                    }
                    std::vector<float> block(size_t{channels} * frames);
                    for (float& s : block)
                        s = sample(random);
                    const std::vector<float> input = block;
                    const std::string in = (folder.Path() / "in.f32").string();
                    const std::string out = (folder.Path() / "out.f64").string();
                    std::ofstream(in, std::ios::binary)
                        .write(reinterpret_cast<const char*>(input.data()), static_cast<std::streamsize>(input.size() * 4));
                    ZkAudioBuffer buffer;
                    buffer.AttachData(block.data(), frames, ZkChannelConfig::Anonymous(channels));
                    StageOwner owner(controls + audios != 0 ? m_handle.links : nullptr);
                    CZkModulationStage stage;
                    ASSERT_EQ(stage.SetOwner(&owner), ZK_Success);
                    stage.Process(buffer);

                    const std::string json = "{\"frames\": " + std::to_string(frames) + ", \"channels\": " +
                                             std::to_string(channels) + ", \"input\": \"" + in + "\", \"output\": \"" +
                                             out + "\", \"control\": [" + controlJson + "], \"audio\": [" + audioJson + "]}";
                    ZkEngineTest::RunCommand("/usr/bin/python3 \"" + std::string(KP_SOURCE_DIR) +
                                             "/tests/SDK/source/SoundEngine/ZkAudiolib/Common/Voice/modulation_gain_model.py\" '" +
                                             json + "'");
                    std::vector<double> expected(block.size());
                    std::ifstream(out, std::ios::binary)
                        .read(reinterpret_cast<char*>(expected.data()), static_cast<std::streamsize>(expected.size() * 8));
                    size_t wrong = 0;
                    for (size_t i = 0; i < block.size(); ++i)
                    {
                        if (std::fabs(block[i] - expected[i]) > 1e-6 * std::fabs(expected[i]) + 1e-12 && wrong++ < 5)
                            ADD_FAILURE() << "sample " << i << ": " << block[i] << " model " << expected[i];
                    }
                    EXPECT_EQ(wrong, 0u);
                    std::filesystem::remove(out);
                }
}
} // namespace
