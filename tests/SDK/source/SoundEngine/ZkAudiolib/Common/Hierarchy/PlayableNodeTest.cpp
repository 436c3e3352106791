// Playable and sound nodes: the MIDI filter, the initial delay, the sound's play up to the start of
// source playback, loop counts, ranges, layer links and the seconds-to-samples rounding.
#include "HierarchyFixture.h"

#include "ZkAudiolib/Common/Hierarchy/CZkContainerLayer.h"
#include "ZkAudiolib/Common/Voice/ZkAudioSettings.h"

namespace
{
using namespace ZkHierarchyTest;

class PlayableNode : public HierarchyTest
{
protected:
    void SetUp() override
    {
        HierarchyTest::SetUp();
        m_sound = CZkSoundNode::Create(300);
        ASSERT_NE(m_sound, nullptr);
    }
    void TearDown() override
    {
        m_sound->Release();
        HierarchyTest::TearDown();
    }
    static ZkMidiEvent NoteOn(uint8_t channel, uint8_t note, uint8_t velocity)
    {
        return ZkMidiEvent{ZkMidiEvent::kNoteOn, channel, note, velocity};
    }
    CZkSoundNode* m_sound = nullptr;
};

struct MidiCase
{
    const char* name;
    std::vector<std::pair<uint32_t, int32_t>> properties;
    ZkMidiEvent event;
    ZKRESULT expected;
    uint8_t note;
    uint8_t velocity;
};

TEST_F(PlayableNode, MidiFilter)
{
    const std::vector<MidiCase> cases = {
        {"mask 65535 accepts channel 0", {}, {9, 0, 60, 100}, ZK_Success, 60, 100},
        {"mask 65535 accepts channel 15", {}, {9, 15, 60, 100}, ZK_Success, 60, 100},
        {"mask 0 filters every note", {{ZkProp_MidiChannelMask, 0}}, {9, 3, 60, 100}, ZK_MidiEventFiltered, 60, 100},
        {"a channel outside the mask", {{ZkProp_MidiChannelMask, 0x2}}, {9, 0, 60, 100}, ZK_MidiEventFiltered, 60, 100},
        {"transposition", {{ZkProp_MidiTranspose, 5}}, {9, 0, 60, 100}, ZK_Success, 65, 100},
        {"transposition above 127 clamps before the key range test", {{ZkProp_MidiTranspose, 100}, {ZkProp_MidiKeyMin, 127}},
         {9, 0, 60, 100}, ZK_Success, 127, 100},
        {"a note below the key range", {{ZkProp_MidiKeyMin, 61}}, {9, 0, 60, 100}, ZK_MidiEventFiltered, 60, 100},
        {"a note above the key range", {{ZkProp_MidiKeyMax, 59}}, {9, 0, 60, 100}, ZK_MidiEventFiltered, 60, 100},
        {"a velocity offset to 0 or below gives 1", {{ZkProp_MidiVelocityOffset, -120}}, {9, 0, 60, 100}, ZK_Success, 60, 1},
        {"a velocity outside its range", {{ZkProp_MidiVelocityMin, 101}}, {9, 0, 60, 100}, ZK_MidiEventFiltered, 60, 100},
    };
    for (const MidiCase& test : cases)
    {
        SCOPED_TRACE(test.name);
        CZkSoundNode* sound = CZkSoundNode::Create(301);
        ASSERT_NE(sound, nullptr);
        for (const auto& [id, value] : test.properties)
            ASSERT_EQ(sound->SetIntProperty(id, value), ZK_Success);
        ZkMidiEvent event = test.event;
        bool walk = false;
        EXPECT_EQ(sound->FilterMidiEvent(event, nullptr, 0, walk), test.expected);
        if (test.expected == ZK_Success)
        {
            EXPECT_EQ(event.note, test.note);
            EXPECT_EQ(event.velocity, test.velocity);
        }
        sound->Release();
    }
}

TEST_F(PlayableNode, TheParentFiltersFirstWhenAsked)
{
    CZkSoundNode* parent = CZkSoundNode::Create(302);
    m_sound->SetParent(parent);
    ASSERT_EQ(parent->SetIntProperty(ZkProp_MidiTranspose, 12), ZK_Success);
    ASSERT_EQ(m_sound->SetIntProperty(ZkProp_MidiKeyMax, 70), ZK_Success);
    ZkMidiEvent event = NoteOn(0, 60, 90);
    bool walk = true;
    EXPECT_EQ(m_sound->FilterMidiEvent(event, nullptr, 0, walk), ZK_MidiEventFiltered) << "72 after the parent's transposition";
    EXPECT_FALSE(walk);
    event = NoteOn(0, 50, 90);
    walk = true;
    EXPECT_EQ(m_sound->FilterMidiEvent(event, nullptr, 0, walk), ZK_Success);
    EXPECT_EQ(event.note, 62);
    m_sound->SetParent(nullptr);
    parent->Release();
}

TEST_F(PlayableNode, GameParameterValuesTransposeForTheirKey)
{
    const ZkCurvePoint line[] = {{0.0f, 0.0f, 4}, {100.0f, 100.0f, 4}};
    ASSERT_EQ(m_sound->SubscribeRTPC(8000, 0, 0, 11, 1, 0, line, 2), ZK_Success);
    CZkRegisteredObj* object = Register(3);
    ZkRTPCKey key = ZkRTPCKey::ForObject(object);
    g_pRTPCMgr->SetRTPCImmediate(8000, 2.5f, key);
    ZkMidiEvent event = NoteOn(4, 60, 90);
    bool walk = false;
    EXPECT_EQ(m_sound->FilterMidiEvent(event, object, 0, walk), ZK_Success);
    EXPECT_EQ(event.note, 63) << "2.5 rounds half away from zero";
    event = NoteOn(4, 60, 90);
    EXPECT_EQ(m_sound->FilterMidiEvent(event, Register(4), 0, walk), ZK_Success);
    EXPECT_EQ(event.note, 60) << "another game object";
}

TEST_F(PlayableNode, InitialDelay)
{
    PlayLaunchParams params;
    EXPECT_EQ(m_sound->ApplyInitialDelay(params), ZK_Success) << "no delay";
    ASSERT_EQ(m_sound->SetFloatProperty(ZkProp_InitialDelay, -0.5f), ZK_Success);
    ASSERT_EQ(m_sound->SetRange(ZkProp_InitialDelay, ZkPropertyValue::FromFloat(0.0f), ZkPropertyValue::FromFloat(0.25f)),
              ZK_Success);
    EXPECT_EQ(m_sound->ApplyInitialDelay(params), ZK_Success) << "a negative total plays at once";

    ASSERT_EQ(m_sound->SetFloatProperty(ZkProp_InitialDelay, 0.5f), ZK_Success);
    ASSERT_EQ(m_sound->SetRange(ZkProp_InitialDelay, ZkPropertyValue::FromFloat(0.0f), ZkPropertyValue::FromFloat(0.0f)),
              ZK_Success);
    params.deferredStart = 1;
    params.startDelaySamples = 100;
    EXPECT_EQ(m_sound->ApplyInitialDelay(params), ZK_Success) << "a deferred play is never queued again";
    EXPECT_EQ(params.startDelaySamples, 100u + 24000u);

    params = PlayLaunchParams{};
    params.noInitialDelay = true;
    EXPECT_EQ(m_sound->ApplyInitialDelay(params), ZK_Success);
    params = PlayLaunchParams{};
    params.skipDelayOnce = true;
    EXPECT_EQ(m_sound->ApplyInitialDelay(params), ZK_Success);
    EXPECT_FALSE(params.skipDelayOnce);
    EXPECT_EQ(m_sound->ApplyInitialDelay(params), ZK_Fail) << "a delayed play needs the event manager";
}

TEST_F(PlayableNode, SoundPlayPublishesTheNoteAndNeedsAPlayingID)
{
    CZkRegisteredObj* object = Register(5);
    PlayLaunchParams params;
    params.gameObject = object;
    params.midiEvent = NoteOn(2, 81, 64);
    const uint32_t started = CZkPlayableNode::StartedInstanceCount();
    EXPECT_EQ(m_sound->Launch(params), ZK_Fail) << "a play without a playing id fails in its start";
    EXPECT_EQ(CZkPlayableNode::StartedInstanceCount(), started + 1);
    ZkRTPCKey key = ZkRTPCKey::ForObject(object);
    key.midiChannel = 2;
    key.midiNote = 81;
    float value = 0.0f;
    ZkRTPCKey scope = key;
    EXPECT_TRUE(g_pRTPCMgr->GetRTPCValue(kMidiNoteParam, scope, value));
    EXPECT_EQ(value, 81.0f);
    scope = key;
    EXPECT_TRUE(g_pRTPCMgr->GetRTPCValue(kMidiFrequencyParam, scope, value));
    EXPECT_FLOAT_EQ(value, 880.0f);

    // The MIDI play mode of the first node up the chain that overrides it (else the root's).
    AddNode(310);
    ASSERT_EQ(Parse(BankOfItems(Sound(R"("parent": 310, "behaviour": 4, "props": {"46": 2})", 320) + ", " +
                                Sound(R"("parent": 310, "props": {"46": 2})", 321))),
              ZK_Success);
    params.midiEvent = NoteOn(2, 81, 64);
    EXPECT_EQ(FindSound(320)->Launch(params), ZK_MidiEventFiltered) << "play mode 2";
    params.midiEvent = NoteOn(2, 81, 64);
    EXPECT_EQ(FindSound(321)->Launch(params), ZK_Fail) << "the parent's play mode 1: on to the play";
    EXPECT_EQ(CZkPlayableNode::StartedInstanceCount(), started + 3) << "every launch counts";
}

TEST_F(PlayableNode, LoopCountRangesAndLayers)
{
    EXPECT_EQ(m_sound->LoopCount(), 1u);
    EXPECT_FALSE(m_sound->IsInfiniteLoop(nullptr));
    ASSERT_EQ(m_sound->SetRange(ZkProp_LoopCount, ZkPropertyValue::FromInt(2), ZkPropertyValue::FromInt(2)), ZK_Success);
    EXPECT_EQ(m_sound->LoopCount(), 3u);
    ASSERT_EQ(m_sound->SetRange(ZkProp_LoopCount, ZkPropertyValue{}, ZkPropertyValue{}), ZK_Success);
    EXPECT_EQ(m_sound->Ranges().Count(), 1u) << "an empty range keeps the entry, as {0, 0}";
    ASSERT_EQ(m_sound->SetRange(ZkProp_Priority, ZkPropertyValue{}, ZkPropertyValue{}), ZK_Success);
    EXPECT_EQ(m_sound->Ranges().Count(), 1u) << "and adds none";
    ASSERT_EQ(m_sound->SetIntProperty(ZkProp_LoopCount, 0), ZK_Success);
    EXPECT_TRUE(m_sound->IsInfiniteLoop(nullptr));

    // The links only record layers; they are not touched.
    CZkContainerLayer* first = reinterpret_cast<CZkContainerLayer*>(uintptr_t{0x1000});
    CZkContainerLayer* second = reinterpret_cast<CZkContainerLayer*>(uintptr_t{0x2000});
    EXPECT_EQ(m_sound->AddLayerLink(first), ZK_Success);
    EXPECT_EQ(m_sound->AddLayerLink(second), ZK_Success);
    EXPECT_EQ(m_sound->RemoveLayerLink(first), ZK_Success);
    EXPECT_EQ(m_sound->RemoveLayerLink(first), ZK_Fail);
    EXPECT_EQ(m_sound->LayerLinkCount(), 1u);
    {
        ZK::MemoryMgr::FaultInjection::ScopedAllocationFailure failure(ZkMemID_Default, 1);
        CZkSoundNode* other = CZkSoundNode::Create(303);
        ASSERT_NE(other, nullptr);
        EXPECT_EQ(other->AddLayerLink(first), ZK_InsufficientMemory);
        EXPECT_EQ(other->LayerLinkCount(), 0u);
        other->Release();
    }
    EXPECT_EQ(m_sound->RemoveLayerLink(second), ZK_Success);
}

TEST_F(PlayableNode, SecondsToSamplesRoundsHalfAwayFromZero)
{
    EXPECT_EQ(CZkPlayableNode::SecondsToSamples(1.0f), 48000u);
    EXPECT_EQ(CZkPlayableNode::SecondsToSamples(-1.0f), 0u);
    const uint32_t rate = ZkAudioSettings::SampleRate();
    const uint16_t frames = ZkAudioSettings::FramesPerBuffer();
    SetAudioFormatGlobals(2, frames); // halves are exact
    EXPECT_EQ(CZkPlayableNode::SecondsToSamples(0.25f), 1u);
    EXPECT_EQ(CZkPlayableNode::SecondsToSamples(0.75f), 2u);
    EXPECT_EQ(CZkPlayableNode::SecondsToSamples(0.2f), 0u);
    SetAudioFormatGlobals(rate, frames);
}

TEST_F(PlayableNode, StopAndResumeResumeTheStateTransitionsWhenAsked)
{
    ZkActionParams params;
    params.code = ZkActionCode_Pause;
    EXPECT_EQ(m_sound->ExecuteAction(params), ZK_Success);
    params.pausesStateTransitions = params.resumesStateTransitions = true;
    EXPECT_EQ(m_sound->ExecuteAction(params), ZK_Success);
    EXPECT_EQ(m_sound->ExecuteAction(ZkActionCode_Resume, nullptr, 0, 4, 0), ZK_Success);
}
} // namespace
