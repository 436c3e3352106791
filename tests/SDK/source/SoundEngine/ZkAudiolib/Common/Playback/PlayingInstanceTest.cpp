// Playing instances: what construction takes from the launch (key, MIDI velocity, sequence and
// exemption, flags), gain factors and the gain, the priority and game parameter 17, the deferred
// commands from the render side, the behaviours below the threshold, the virtual count, the
// playback parameters, what the render side asks of an instance, and the media it holds.
#include "PlaybackFixture.h"
#include "SDK/source/SoundEngine/ZkAudiolib/Common/SoundFixtures.h"
#include "ZkAudiolib/Common/FrontEnd/ZkExternalSourceArray.h"
#include "ZkAudiolib/Common/Hierarchy/CZkInstanceLimiter.h"
#include "ZkAudiolib/Common/Parameters/CZkRTPCMgr.h"
#include "ZkAudiolib/Common/Playback/ZkValueContributions.h"
#include "ZkAudiolib/Common/Voice/CZkVoicePipelineStage.h"

#include <cmath>

namespace
{
using namespace ZkPlaybackTest;

constexpr ZkUniqueID kVelocityParam = 129;

using PlayingInstance = PlaybackTest;

ZkMidiEvent Midi(uint8_t type, uint8_t channel, uint8_t note, uint8_t velocity)
{
    ZkMidiEvent event;
    event.type = type;
    event.channel = channel;
    event.note = note;
    event.velocity = velocity;
    return event;
}

TEST_F(PlayingInstance, TheKeyAndTheVelocityOfANoteOn)
{
    CZkSoundNode* sound = LoadSound(200);
    PlayLaunchParams params = Launch(5);
    params.midiEvent = Midi(ZkMidiEvent::kNoteOn, 3, 60, 100);
    CZkPlayingInstance* noteOn = Make(sound, params);
    ZkRTPCKey key = noteOn->Key();
    EXPECT_EQ(key.gameObject, m_object);
    EXPECT_EQ(key.playingID, 5u);
    EXPECT_EQ(key.midiChannel, 3);
    EXPECT_EQ(key.midiNote, 60);
    EXPECT_EQ(key.instance, noteOn);
    float velocity = 0.0f;
    ASSERT_TRUE(g_pRTPCMgr->GetRTPCValue(kVelocityParam, key, velocity));
    EXPECT_EQ(velocity, 100.0f);
    EXPECT_EQ(key.instance, noteOn) << "the value is the instance's own";

    struct Row
    {
        const char* what;
        ZkMidiEvent event;
        uint8_t note;
    };
    const Row rows[] = {
        {"a note-on of velocity 0", Midi(ZkMidiEvent::kNoteOn, 3, 61, 0), 61},
        {"a note-off", Midi(ZkMidiEvent::kNoteOff, 3, 62, 90), 62},
        {"a controller", Midi(0xB, 3, 63, 90), ZkMidiEvent::kAnyNote},
    };
    for (const Row& row : rows)
    {
        params.midiEvent = row.event;
        CZkPlayingInstance* instance = Make(sound, params);
        ZkRTPCKey scope = instance->Key();
        EXPECT_EQ(scope.midiNote, row.note) << row.what;
        float value = 0.0f;
        EXPECT_FALSE(g_pRTPCMgr->GetRTPCValue(kVelocityParam, scope, value) && scope.instance == instance)
            << row.what << " sets no velocity";
    }

    // The instance's values go with it.
    m_loose.erase(std::find(m_loose.begin(), m_loose.end(), noteOn));
    CZkPlayingInstance::Free(noteOn);
    ZkRTPCKey gone = key;
    EXPECT_FALSE(g_pRTPCMgr->GetRTPCValue(kVelocityParam, gone, velocity) && gone.instance == key.instance);
}

TEST_F(PlayingInstance, WhatConstructionTakesFromTheLaunch)
{
    CZkSoundNode* sound = LoadSound(200);
    CZkPlayingInstance* first = Make(sound);
    CZkPlayingInstance* second = Make(sound);
    EXPECT_EQ(second->priority.sequence, first->priority.sequence + 1) << "newer instances rank by sequence";
    EXPECT_FALSE(first->IsExempt());
    EXPECT_EQ(first->StopByte(), 0x22);
    EXPECT_EQ(first->PendingStopOffset(), -1);
    EXPECT_EQ(first->LoopCount(), 1u);
    EXPECT_FALSE(first->IsDetached());
    EXPECT_EQ(m_object->RefCount(), 3u) << "the registry's and one per instance";

    PlayLaunchParams params = Launch();
    params.sequenceNumber = 77;
    params.launchFlags |= PlayLaunchParams::kFlagRunTimeAction | PlayLaunchParams::kFlagFadingIn;
    CZkPlayingInstance* continued = Make(sound, params);
    EXPECT_EQ(continued->priority.sequence, 77u);
    EXPECT_TRUE(continued->IsExempt()) << "a play that carries a sequence number is exempt from limits";
    EXPECT_TRUE(continued->IsDetached());
    EXPECT_TRUE((continued->LimitByte() & CZkPlayingInstance::kLimitFadingIn) != 0);
}

TEST_F(PlayingInstance, ValueContributions)
{
    int owner = 0;
    int other = 0;
    struct Row
    {
        const char* what;
        float factor;
        const void* owner;
        uint8_t kind;
        bool exclusive;
        bool result;
        uint32_t length;
        float product;
    };
    const Row rows[] = {
        {"a factor of 1.0 adds nothing", 1.0f, &owner, 0, false, true, 0, 1.0f},
        {"a factor is added", 0.5f, &owner, 0, false, true, 1, 0.5f},
        {"the same owner and kind replace it", 0.25f, &owner, 0, false, true, 1, 0.25f},
        {"the other kind is another entry", 0.5f, &owner, 1, false, true, 2, 0.125f},
        {"1.0 removes the entry", 1.0f, &owner, 1, false, true, 1, 0.25f},
        {"another owner", 0.5f, &other, 1, false, true, 2, 0.125f},
        {"exclusive kind 1 beside a kind-0 entry changes nothing", 0.1f, &owner, 1, true, false, 2, 0.125f},
        {"exclusive kind 0 replaces the other kind's entry", 0.5f, &other, 0, true, true, 2, 0.125f},
        {"exclusive kind 0 keeps even 1.0", 1.0f, &other, 0, true, true, 2, 0.25f},
    };
    ZkValueContributions contributions;
    for (const Row& row : rows)
    {
        EXPECT_EQ(contributions.Set(row.factor, row.owner, row.kind, row.exclusive), row.result) << row.what;
        EXPECT_EQ(contributions.Length(), row.length) << row.what;
        EXPECT_FLOAT_EQ(contributions.Product(), row.product) << row.what;
    }
    ASSERT_TRUE(contributions.Set(0.5f, &owner, ZkValueContributions::kKeptBit | 1, false));
    contributions.DropUnkept();
    EXPECT_EQ(contributions.Length(), 1u) << "only the kept entry survives an evaluation";
    EXPECT_FLOAT_EQ(contributions.Product(), 0.5f);
    contributions.Term();
}

TEST_F(PlayingInstance, TheGainIsTheFactorsTimesTheFades)
{
    CZkPlayingInstance* instance = Make(LoadSound(200));
    int owner = 0;
    instance->SetContribution(&owner, 0, 0.5f, false);
    EXPECT_FLOAT_EQ(instance->LinearGain(), 0.5f);
    instance->PauseNow(false);
    instance->ResumeNow();
    EXPECT_EQ(instance->LinearGain(), 0.0f) << "a pause silences until the gain is recomputed";
    instance->Resume(0, ZkCurveInterpolation_Linear, false);
    EXPECT_FLOAT_EQ(instance->LinearGain(), 0.5f);
    instance->SetContribution(&owner, 0, 0.0f, true);
    EXPECT_FLOAT_EQ(instance->LinearGain(), 1.0f);
    instance->SetContribution(&owner, 0, -2.0f, false);
    EXPECT_EQ(instance->LinearGain(), 0.0f) << "a gain below 0 is 0";
}

TEST_F(PlayingInstance, PriorityChangesMoveTheBaseAndKeepTheDistancePart)
{
    CZkSoundNode* sound = LoadSound(200);
    struct Row
    {
        const char* what;
        float priority;
        float base;
        float delta;
        float expected;
    };
    const Row rows[] = {
        {"no distance part", 50.0f, 50.0f, 20.0f, 70.0f},
        {"a distance part that raises", 60.0f, 50.0f, 20.0f, 80.0f},
        {"a distance part that lowers stays lowering", 40.0f, 50.0f, 20.0f, 60.0f},
        {"clamped to 100", 90.0f, 90.0f, 30.0f, 100.0f},
        {"clamped to 0", 10.0f, 10.0f, -30.0f, 0.0f},
    };
    for (const Row& row : rows)
    {
        ZkPriorityRecord record;
        record.priority = row.priority;
        record.basePriority = row.base;
        CZkPlayingInstance* instance = CZkPlayingInstance::Create(Launch(), sound, &sound->Media(), record);
        ASSERT_NE(instance, nullptr);
        m_loose.push_back(instance);
        instance->SetParameterValue(17, 0.0f, row.delta);
        EXPECT_FLOAT_EQ(instance->priority.priority, row.expected) << row.what;
        EXPECT_FLOAT_EQ(instance->priority.basePriority, row.base + row.delta) << row.what;
    }

    // The limiters move the instance when its priority changes.
    CZkPlayingInstance* low = Make(sound, 20.0f);
    CZkPlayingInstance* high = Make(sound, 80.0f);
    Activate(low);
    Activate(high);
    const CZkInstanceLimiter& global = CZkActiveInstances::GlobalLimiter();
    ASSERT_EQ(global.HeldCount(), 2u);
    EXPECT_EQ(global.At(0), high);
    low->SetPriority(90.0f);
    EXPECT_EQ(global.At(0), low);
    low->SetPriority(NAN);
    EXPECT_FLOAT_EQ(low->priority.priority, 50.0f) << "a priority that is not a number ranks as 50";
    EXPECT_EQ(global.At(1), low);
}

TEST_F(PlayingInstance, TheRenderSideReportsBackThroughDeferredCommands)
{
    CZkSoundNode* sound = LoadSound(200);
    CZkPlayingInstance* instance = Make(sound);
    Activate(instance);
    Frame();
    RecordingRenderSide::KnowDuration(instance, 1500.0f);
    EXPECT_EQ(instance->SourceState(), CZkPlayingInstance::kSourceDurationKnown);
    EXPECT_EQ(CZkActiveInstances::QueuedCommands(), 1u);
    EXPECT_TRUE((instance->Status() & CZkPlayingInstance::kStatusEndNotice) == 0) << "applied at the flush";
    CZkActiveInstances::FlushCommands();
    EXPECT_TRUE((instance->Status() & CZkPlayingInstance::kStatusEndNotice) != 0);

    RecordingRenderSide::EndVoice(instance);
    EXPECT_EQ(instance->Voice(), nullptr) << "the voice is gone at once";
    EXPECT_EQ(CZkActiveInstances::ActiveCount(), 1u);
    CZkActiveInstances::FlushCommands();
    EXPECT_EQ(CZkActiveInstances::ActiveCount(), 0u) << "voice ended: removed and destroyed";
    EXPECT_EQ(m_object->RefCount(), 1u) << "the instance's reference went with it";
    EXPECT_EQ(sound->LiveInstances(), nullptr);

    // No node for a command: the queue is applied first, then the command takes a node.
    CZkPlayingInstance* first = Make(sound);
    CZkPlayingInstance* second = Make(sound);
    Activate(first);
    Activate(second);
    RecordingRenderSide::KnowDuration(first, 10.0f);
    {
        ScopedAllocationFailure noNode(ZkMemID_Default, 1);
        RecordingRenderSide::EndVoice(second);
    }
    EXPECT_TRUE((first->Status() & CZkPlayingInstance::kStatusEndNotice) != 0) << "applied by the flush";
    EXPECT_EQ(CZkActiveInstances::QueuedCommands(), 1u);
    CZkActiveInstances::FlushCommands();
    EXPECT_FALSE(IsActive(second));
    EXPECT_TRUE(IsActive(first));
}

TEST_F(PlayingInstance, BehavioursBelowTheThreshold)
{
    struct Row
    {
        const char* what;
        const char* keys;
        uint8_t behaviour;
        uint8_t queue;
    };
    const Row rows[] = {
        {"continue", R"("below_threshold": 0, "queue": 2)", 0, 2},
        {"stop", R"("below_threshold": 1)", 1, 0},
        {"virtual", R"("below_threshold": 2, "queue": 1)", 2, 1},
        {"by looping: a sound that ends stops", R"("below_threshold": 3)", 1, 1},
        {"by looping: a sound that loops forever goes virtual",
         R"("below_threshold": 3, "props": {"loop_count": 0})", 2, 1},
    };
    ZkUniqueID id = 300;
    for (const Row& row : rows)
    {
        CZkPlayingInstance* instance = Make(LoadSound(++id, row.keys));
        uint8_t queue = 9;
        EXPECT_EQ(instance->GetVirtualBehaviour(queue), row.behaviour) << row.what;
        EXPECT_EQ(queue, row.queue) << row.what;
        uint8_t kind = 9;
        EXPECT_EQ(instance->GetNodePlayMode(kind), row.behaviour) << row.what;
        EXPECT_EQ(instance->HasDefaultPlayMode(), row.behaviour == 0) << row.what;
    }
}

TEST_F(PlayingInstance, VirtualInstancesLeaveTheCounts)
{
    CZkPlayingInstance* instance = Make(LoadSound(200));
    Activate(instance);
    const CZkInstanceLimiter& global = CZkActiveInstances::GlobalLimiter();
    instance->EnterVirtual();
    instance->EnterVirtual();
    EXPECT_EQ(CZkActiveInstances::ExcludedCount(), 1u);
    EXPECT_EQ(global.VirtualCount(), 1u);
    EXPECT_EQ(instance->LimitStanding(), ZkLimitStanding::Virtual);
    instance->LeaveVirtual();
    EXPECT_EQ(CZkActiveInstances::ExcludedCount(), 0u);
    EXPECT_EQ(global.VirtualCount(), 0u);
    EXPECT_EQ(instance->LimitStanding(), ZkLimitStanding::HoldsPlace);
    instance->EnterVirtual();
    RecordingRenderSide::EndVoice(instance);
    CZkActiveInstances::FlushCommands();
    EXPECT_EQ(CZkActiveInstances::ExcludedCount(), 0u) << "its end takes it out of the count";
    EXPECT_EQ(global.HeldCount(), 0u);
}

TEST_F(PlayingInstance, PlaybackParametersAndTheVoice)
{
    CZkPlayingInstance* instance = Make(LoadSound(200, R"("props": {"2": -1200})"));
    Activate(instance);
    Frame();
    EXPECT_FLOAT_EQ(instance->GetPitchRatio(), 0.5f);
    instance->SetParameterValue(5, 0.0f, 3.0f);
    EXPECT_EQ(instance->ValueSlot(11), 3.0f) << "parameter 5 goes to slot 11";
    EXPECT_EQ(instance->ValueSlot(4), 0.0f);
    instance->SetParameterValue(33, 0.0f, 2.0f);
    EXPECT_EQ(instance->Counter(), 2u);
    instance->SetParameterValue(30, 0.0f, 1.0f);
    instance->SetParameterValue(59, 0.0f, 1.0f);
    EXPECT_EQ(instance->ValueSlot(0), 0.0f) << "parameter 59 does nothing here";
    ASSERT_EQ(m_render.bypassDeltas.size(), 1u);
    EXPECT_EQ(m_render.bypassDeltas[0], std::make_pair(1u, int16_t{1})) << "parameter 30: effect slot 1";

    instance->SetEffectBypass(0x13, 0x11);
    EXPECT_TRUE(instance->OwnBypass()) << "bit 4 is the instance's own switch";
    ASSERT_EQ(m_render.bypassSets.size(), 1u);
    EXPECT_EQ(m_render.bypassSets[0], std::make_pair(uint8_t{0x13}, uint8_t{0x01}));

    instance->priority.priority = 73.6f;
    const ZkMixerInputId input = instance->GetMixerInputId();
    EXPECT_EQ(input.marker, 0x3860009u);
    EXPECT_EQ(input.channel, 73u);
    EXPECT_EQ(input.zero, 0u);

    ZkEffectDescription slot;
    EXPECT_TRUE(instance->ForwardSlot54(0, slot));
    PlayLaunchParams detached = Launch();
    detached.launchFlags |= PlayLaunchParams::kFlagRunTimeAction;
    EXPECT_FALSE(Make(LoadSound(200), detached)->ForwardSlot54(0, slot));

    EXPECT_EQ(instance->TakePendingStopOffset(), -1);
    instance->SetPendingStopOffset(0);
    EXPECT_EQ(instance->TakePendingStopOffset(), 0);
    EXPECT_EQ(instance->PendingStopOffset(), -1);
}

TEST_F(PlayingInstance, WhatAVoicesSourceReadsAndReports)
{
    // Volume -6 dB with an offset of -4, low-pass 30, high-pass 20 (properties 0, 6, 3, 4).
    CZkPlayingInstance* instance =
        Make(LoadSound(200, R"("plugin": 65537, "props": {"0": -6, "6": -4, "3": 30, "4": 20})"));
    EXPECT_EQ(instance->CodecKey(), 0x10001u) << "the media's type word";
    EXPECT_TRUE(instance->WaitsForBuffering()) << "from its creation";
    EXPECT_EQ(instance->MediaFormat().channelConfig.word, 0x4101u) << "mono until a source read the media";
    const uint32_t flags = ZkCallbackType_EndOfEvent | ZkCallbackType_Marker | 0x400000u;
    ASSERT_EQ(g_pPlayingMgr->AddPlayingIDNoMessage(9, kObject, &CountEnd, nullptr, flags, kEventID), ZK_Success);
    PlayLaunchParams launch = Launch(9);
    CZkPlayingInstance* reported = Make(LoadSound(200), launch);
    Activate(instance);
    Activate(reported);
    EXPECT_EQ(instance->CallbackFlags(), 0u) << "playing id 1 is not registered";
    EXPECT_EQ(reported->CallbackFlags(), flags) << "kept from joining its playing id";
    g_pPlayingMgr->CancelCallbacksByPlayingID(9);
    EXPECT_EQ(reported->CallbackFlags(), flags);
    reported->RefreshCallbackFlags();
    EXPECT_EQ(reported->CallbackFlags(), 0x400000u) << "a cancel leaves the post's flags";
    Posted(9);

    EXPECT_FLOAT_EQ(instance->GetVolumeDb(), -10.0f);
    EXPECT_FLOAT_EQ(instance->GetLowPass(), 30.0f);
    EXPECT_FLOAT_EQ(instance->GetHighPass(), 20.0f);
    instance->priority.priority = 73.6f;
    EXPECT_EQ(instance->IntegerPriority(), 73u);
    instance->priority.priority = std::nanf("");
    EXPECT_EQ(instance->IntegerPriority(), 50u) << "ranked as the default";

    ZkAudioFormat stereo{44100, ZkChannelConfig(0x3102), 16};
    instance->SetMediaFormat(stereo);
    EXPECT_EQ(instance->MediaFormat().sampleRate, 44100u);
    instance->SeekToPercent(0.25f, true);
    EXPECT_EQ(instance->StopByte() & CZkPlayingInstance::kSeekMask, CZkPlayingInstance::kSeekByPercent);
    instance->FinishSeek(12);
    EXPECT_EQ(instance->StopByte() & CZkPlayingInstance::kSeekMask, 0u);
    EXPECT_EQ(instance->SeekPosition(), 12u) << "what the decoder skips after its block";
    EXPECT_TRUE(instance->WaitsForBuffering()) << "a seek leaves the wait";
    EXPECT_EQ(instance->HandleVirtual(kVirtualModeSkipTime), CZkPlayingInstance::kResumeAsItStands)
        << "the source kept its position while virtual";
}

TEST_F(PlayingInstance, PreparedOnceWithTheNodesLoopCount)
{
    CZkPlayingInstance* instance = Make(LoadSound(200, R"("props": {"loop_count": 3})"));
    instance->MarkPrepared();
    EXPECT_EQ(instance->LoopCount(), 3u);
    EXPECT_TRUE((instance->Status() & CZkPlayingInstance::kStatusPrepared) != 0);
    instance->StopLooping();
    instance->MarkPrepared();
    EXPECT_EQ(instance->LoopCount(), 1u) << "prepared once";
}

TEST_F(PlayingInstance, ExternalSourcesNeedTheirEntry)
{
    // A source plug-in of the external-source range: the media come with the post, by cookie.
    CZkSoundNode* sound = LoadSound(200, R"("plugin": "0x80002", "plugin_params": "")");
    ASSERT_EQ(sound->Media().sourceType, 0x80002);
    PlayLaunchParams params = Launch(0);
    EXPECT_EQ(CZkPlayingInstance::PlaySoundNode(sound, sound->Media(), params), ZK_Fail) << "no entries";
    ZkExternalSourceInfo records[2];
    records[0].cookie = 5;
    records[0].fileID = 12;
    records[1].cookie = 100; // the sound's source id
    records[1].fileName = L"voice.wem";
    ZkExternalSourceArray* sources = ZkExternalSourceArray::Create(records, 1);
    params.externalSources = sources;
    EXPECT_EQ(CZkPlayingInstance::PlaySoundNode(sound, sound->Media(), params), ZK_Fail)
        << "no entry matches";
    sources->Release();

    // A matching entry: the instance owns a copy of the media by that name; without a playing id
    // the play fails at its start and the copy goes with the instance.
    sources = ZkExternalSourceArray::Create(records, 2);
    params.externalSources = sources;
    EXPECT_EQ(CZkPlayingInstance::PlaySoundNode(sound, sound->Media(), params), ZK_Fail);
    {
        ScopedAllocationFailure noCopy(ZkMemID_Default, 1);
        EXPECT_EQ(CZkPlayingInstance::PlaySoundNode(sound, sound->Media(), params), ZK_InsufficientMemory);
    }
    sources->Release();
    EXPECT_EQ(sound->Activity(), nullptr) << "nothing is left counted";
}

TEST_F(PlayingInstance, AStartedInstanceHoldsItsMediaAndTheBankThatSuppliedIt)
{
    ASSERT_EQ(Parse(ZkSoundFixtures::WriteBank(R"({"name": "Media.bnk",
        "media": [{"id": 100, "wave": {"rate": 48000, "seconds": 0.05, "parts": [{"tone": 440, "amp": 0.5}]}}],
        "chunks": [{"tag": "BKHD"}, {"tag": "DIDX"}, {"tag": "DATA"},
                   {"tag": "HIRC", "items": [{"type": "sound", "id": 200, "media": 100}]}]})")),
              ZK_Success);
    LoadedBank* bank = m_loaded.back();
    const int32_t loads = bank->loadCount.load();
    CZkSoundNode* sound = FindSound(200);
    ASSERT_NE(sound, nullptr);
    uint32_t ends = 0;
    const ZkPlayingID playingID = Post(ends, 9);
    PlayLaunchParams params = Launch(playingID);
    ASSERT_EQ(CZkPlayingInstance::PlaySoundNode(sound, sound->Media(), params), ZK_Success);
    CZkPlayingInstance* instance = CZkActiveInstances::First();
    ASSERT_NE(instance->MediaData(), nullptr) << "taken from the media index";
    EXPECT_EQ(instance->MediaSize(), sound->Media().mediaSize);
    EXPECT_EQ(bank->loadCount.load(), loads + 1) << "the bank stays while the instance reads it";
    EXPECT_TRUE(instance->UsesMedia(instance->MediaData()));
    EXPECT_TRUE(instance->UsesBank(bank)) << "no voice to move to another copy";

    Frame();
    CZkActiveInstances::StopUsingMedia(instance->MediaData());
    EXPECT_EQ(instance->PendingStopOffset(), 0);
    RecordingRenderSide::EndVoice(instance);
    CZkActiveInstances::FlushCommands();
    Posted(playingID);
    EXPECT_EQ(ends, 1u);
    EXPECT_EQ(bank->loadCount.load(), loads) << "given back with the media";
}
} // namespace
