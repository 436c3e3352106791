// A music play as the rest of the engine sees it: StartPlay lists the root, counts the play at its
// node, registers the root with its playing id (callback flags, segment-table entry) and EndPlay
// undoes all of it, with the end of the playing id coming once; allocation failures leave nothing
// linked. Each frame the play record advances its clock at the node's speed, clamped to 0.25..4
// and quantised to whole samples per frame.
#include "MusicContextFixture.h"

#include "MemoryMgr/ZkMemoryFaultInjection.h"
#include "ZkAudiolib/Common/Playback/CZkPlayingMgr.h"

#include <ZK/SoundEngine/Common/ZkEngineControls.h>

#include <cmath>
#include <limits>

namespace ZkMusicContextTest
{
namespace
{
namespace Fault = ZK::MemoryMgr::FaultInjection;
using ZK::SoundEngine::g_pPlayingMgr;

int g_endOfEvents = 0;
void CountEndOfEvent(ZkCallbackType type, ZkCallbackInfo*)
{
    if (type == ZkCallbackType_EndOfEvent)
        ++g_endOfEvents;
}

class MusicPlayTest : public MusicContextTest
{
protected:
    static constexpr ZkPlayingID kPlayingID = 4242;

    void SetUp() override
    {
        MusicContextTest::SetUp();
        g_endOfEvents = 0;
    }

    // The post's playing id, with its pending reference dropped once the play is listed.
    void RegisterPlayingID(uint32_t flags)
    {
        ASSERT_EQ(g_pPlayingMgr->AddPlayingIDNoMessage(kPlayingID, kObject, &CountEndOfEvent, nullptr,
                                                        ZkCallbackType_EndOfEvent | flags, 0x1234),
                  ZK_Success);
    }

    // A started root; the creator's reference is the test's.
    RecordingTimeline* StartRoot(ZKRESULT expected, int* destroyed = nullptr)
    {
        auto* root = NewContext<RecordingTimeline>(nullptr, m_segment, destroyed);
        root->AddRef();
        EXPECT_EQ(root->Attach(m_object, ZkMusicPlayInfo{nullptr, kPlayingID}, 0), expected);
        return root;
    }
};

TEST_F(MusicPlayTest, APlayIsListedCountedAndRegisteredUntilItsRootGoes)
{
    RegisterPlayingID(ZkPostFlag_RecordSegmentInfo);
    int destroyed = 0;
    RecordingTimeline* root = StartRoot(ZK_Success, &destroyed);
    g_pPlayingMgr->RemovePlayingIDRef(kPlayingID);

    EXPECT_EQ(MusicEngineState::Get().FirstPlaying(), root);
    ASSERT_NE(root->playRecord, nullptr);
    EXPECT_EQ(root->playRecord->PlayingID(), kPlayingID);
    EXPECT_EQ(root->playRecord->gameObject, m_object);
    EXPECT_NE(root->callbackFlags & ZkPostFlag_RecordSegmentInfo, 0u) << "the playing id's flags";
    EXPECT_EQ(m_segment->PlayCount(), 1);
    const auto* members = g_pPlayingMgr->FindPlayingID(kPlayingID);
    ASSERT_NE(members, nullptr);
    EXPECT_EQ(members->Length(), 1u);
    ZkSegmentInfo info;
    EXPECT_EQ(ZK::MusicEngine::GetPlayingSegmentInfo(kPlayingID, info, false), ZK_Success)
        << "the play has its entry in the segment table";

    root->Release();
    EXPECT_EQ(destroyed, 1);
    EXPECT_EQ(MusicEngineState::Get().FirstPlaying(), nullptr);
    EXPECT_EQ(m_segment->PlayCount(), 0);
    EXPECT_EQ(ZK::MusicEngine::GetPlayingSegmentInfo(kPlayingID, info, false), ZK_Fail);
    EXPECT_EQ(g_pPlayingMgr->FindPlayingID(kPlayingID), nullptr) << "the playing id ended with its play";
    EXPECT_EQ(g_endOfEvents, 1);
}

TEST_F(MusicPlayTest, WithoutTheSegmentBitAPlayHasNoSegmentTableEntry)
{
    RegisterPlayingID(0);
    RecordingTimeline* root = StartRoot(ZK_Success);
    ZkSegmentInfo info;
    EXPECT_EQ(ZK::MusicEngine::GetPlayingSegmentInfo(kPlayingID, info, false), ZK_Fail);
    root->Release();
    g_pPlayingMgr->RemovePlayingIDRef(kPlayingID);
    EXPECT_EQ(g_endOfEvents, 1);
}

TEST_F(MusicPlayTest, APlayThatCannotGetItsRecordFailsWithNothingLinked)
{
    RegisterPlayingID(ZkPostFlag_RecordSegmentInfo);
    int destroyed = 0;
    Fault::FailNth(ZkMemID_Default, 2); // the context is the first allocation, its record the second
    RecordingTimeline* root = StartRoot(ZK_Fail, &destroyed);
    Fault::Disarm();
    EXPECT_EQ(root->playRecord, nullptr);
    EXPECT_EQ(MusicEngineState::Get().FirstPlaying(), nullptr);
    EXPECT_EQ(m_segment->PlayCount(), 0);
    root->Stop(0);
    root->Release();
    EXPECT_EQ(destroyed, 1);
    g_pPlayingMgr->RemovePlayingIDRef(kPlayingID);
    EXPECT_EQ(g_endOfEvents, 1) << "the playing id still ends, once";
}

TEST_F(MusicPlayTest, TheClockAdvancesAtTheNodesSpeedClampedAndQuantisedToWholeSamplesPerFrame)
{
    struct SpeedCase
    {
        const char* label;
        float property;
        uint32_t advance;
        bool speedSent;
    };
    const std::vector<SpeedCase> cases = {
        {"normal speed", 1.0f, 1024, false},
        {"an octave up", 2.0f, 2048, true},
        {"below the lowest speed", 0.1f, 256, true},
        {"above the highest speed", 10.0f, 4096, true},
        {"less than a sample per frame away from 1", 1.0001f, 1024, false},
        {"not a number", std::numeric_limits<float>::quiet_NaN(), 1024, false},
    };
    for (const SpeedCase& c : cases)
    {
        ASSERT_EQ(m_segment->SetFloatProperty(ZK::MusicEngine::kPropPlaybackSpeed, c.property), ZK_Success) << c.label;
        RegisterPlayingID(0);
        RecordingTimeline* root = StartRoot(ZK_Success);
        RecordingLeaf leaf;
        root->LinkChild(leaf);
        root->OnPlay();
        CZkMusicPlayRecord* record = root->playRecord;
        record->Advance(kFrame);
        record->Advance(kFrame);

        using Frame = std::pair<uint64_t, uint32_t>;
        EXPECT_EQ(root->frames, (std::vector<Frame>{{0, c.advance}, {c.advance, c.advance}})) << c.label;
        EXPECT_EQ(record->clock, 2u * c.advance) << c.label;
        EXPECT_EQ(leaf.endFrames, 2) << c.label;
        const float speed = static_cast<float>(c.advance) / kFrame;
        using Parameter = std::pair<uint32_t, float>;
        std::vector<Parameter> sent;
        if (c.speedSent)
            sent.emplace_back(kParamIdPlaybackSpeed, speed);
        EXPECT_EQ(leaf.parameters, sent) << c.label << ": the speed reaches the tree once, when it changes";

        root->Pause();
        record->Advance(kFrame);
        EXPECT_EQ(record->clock, 2u * c.advance) << c.label << ": a paused play does not advance";

        root->UnlinkChild(leaf);
        root->Release();
        root->Release();
        g_pPlayingMgr->RemovePlayingIDRef(kPlayingID);
    }
}

TEST_F(MusicPlayTest, FramesThatCreateNothingAllocateNothing)
{
    ASSERT_EQ(m_segment->SetFloatProperty(ZK::MusicEngine::kPropPlaybackSpeed, 1.5f), ZK_Success);
    RegisterPlayingID(ZkPostFlag_RecordSegmentInfo);
    RecordingTimeline* root = StartRoot(ZK_Success);
    RecordingLeaf leaf;
    root->LinkChild(leaf);
    root->PlayWithFade(ZkMusicFadeParams{0, 4, 0});
    Fault::CountOnly(ZkMemID_Default);
    for (int frame = 0; frame < 100; ++frame)
    {
        root->playRecord->Advance(kFrame);
        if (frame == 50)
            root->playRecord->speedEvaluated = false; // a speed refresh on the way
    }
    EXPECT_EQ(Fault::CountedAllocations(), 0u);
    Fault::Disarm();
    EXPECT_EQ(root->playRecord->clock, 100u * 1536u);
    root->UnlinkChild(leaf);
    root->Release();
    root->Release();
    g_pPlayingMgr->RemovePlayingIDRef(kPlayingID);
}

TEST_F(MusicPlayTest, TheFrameCallbackAdvancesEveryPlayingRootOnce)
{
    RegisterPlayingID(0);
    RecordingTimeline* root = StartRoot(ZK_Success);
    root->OnPlay();
    ASSERT_EQ(ZK::SoundEngine::RenderAudio(true), ZK_Success);
    ASSERT_EQ(ZK::SoundEngine::RenderAudio(true), ZK_Success);
    EXPECT_EQ(root->playRecord->clock, 2u * kFrame);
    root->Release();
    g_pPlayingMgr->RemovePlayingIDRef(kPlayingID);
}
} // namespace
} // namespace ZkMusicContextTest
