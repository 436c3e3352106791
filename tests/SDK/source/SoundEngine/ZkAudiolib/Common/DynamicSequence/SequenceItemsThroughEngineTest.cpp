// What a dynamic sequence's play contexts hand from one item to the next, heard through the running
// engine: a continuous playlist inside an item (only its last chain item advances the sequence), a
// position path (the next item's instance takes the path's player over), and memory running out at
// any allocation of a run (the failed item is reported and skipped; nothing is left behind).
#include "SDK/source/SoundEngine/ZkAudiolib/Common/DynamicSequence/HeardSequenceFixture.h"

#include "MemoryMgr/ZkMemoryFaultInjection.h"
#include "ZkAudiolib/Common/ObjectIndex/ObjectIndex.h"
#include "ZkAudiolib/Common/Playback/CZkActiveInstances.h"
#include "ZkAudiolib/Common/Playback/CZkPlayingInstance.h"
#include "ZkAudiolib/Common/Playback/CZkPlayingMgr.h"
#include "ZkAudiolib/Common/Playback/CZkSharedItemArray.h"
#include "ZkAudiolib/Common/Positioning/CZkPositionPath.h"

#include <algorithm>

namespace
{
using namespace ZkHeardSequenceTest;
namespace FaultInjection = ZK::MemoryMgr::FaultInjection;
using ZK::SoundEngine::CZkActiveInstances;
using ZK::SoundEngine::g_pSharedItemArray;

constexpr ZkUniqueID kPlaylist = 250;
constexpr ZkUniqueID kPathSound = 226;
int g_playlistInfo;

// A continuous playlist of tones 0 and 1 (sounds of their own), and a tone-0 sound moving along a
// path from x = 0 to x = 100 over 100 frames of 21 ms.
const std::string kExtraItems = R"(
                {"type": "sound", "id": 224, "media": 120},
                {"type": "sound", "id": 225, "media": 121},
                {"type": "playlist", "id": 250, "children": [224, 225], "continuous": true, "loop_count": 1,
                 "bus": "Effects"},
                {"type": "sound", "id": 226, "media": 120, "bus": "Effects", "positioning": 35,
                 "path": {"mode": 4, "vertices": [[0, 0, 0, 2100], [100, 0, 0, 0]], "items": [[0, 2]]}},)";

class SequenceItemsThroughEngine : public HeardDynamicSequence
{
protected:
    void SetUp() override
    {
        HeardDynamicSequence::SetUp();
        ASSERT_NO_FATAL_FAILURE(StartWithBank(kExtraItems));
    }
    // The tones heard, in order. Every item is kItemFrames long: a burst of items joined without a
    // gap (a sample-accurate run) is cut into item-long stretches.
    std::vector<int> HeardTones() const
    {
        const std::vector<float> left = Left();
        std::vector<int> tones;
        for (const Burst& burst : Bursts(left))
        {
            const size_t length = burst.last - burst.first + 1;
            const size_t items = std::max<size_t>(1, (length + kItemFrames / 2) / kItemFrames);
            for (size_t item = 0; item < items; ++item)
                tones.push_back(ToneOf(left, burst.first + item * length / items,
                                       burst.first + (item + 1) * length / items - 1));
        }
        return tones;
    }
    static size_t SequenceCount()
    {
        using namespace ZK::SoundEngine;
        ZK::Platform::ZkScopedLock guard(g_EngineLock);
        return g_pObjectIndex->Table(ZkIndexKind::DynamicSequences).Length();
    }
    static uint32_t PlayingIDCount()
    {
        ZK::Platform::ZkScopedLock guard(ZK::SoundEngine::g_EngineLock);
        return ZK::SoundEngine::g_pPlayingMgr->PlayingIDCount();
    }
    static float PathX()
    {
        ZK::Platform::ZkScopedLock guard(ZK::SoundEngine::g_EngineLock);
        const ZK::SoundEngine::CZkPlayingInstance* play = CZkActiveInstances::First();
        return play != nullptr ? play->AutomationOffset(0) : -1.0f;
    }
};

// An item that is a continuous playlist: the playlist's first item hands its duty on to the chain's
// next item, and only that one takes the sequence's next item, after it; each instance that
// played reports the item it belongs to, so the playlist item is reported by both of its items.
// Both types: a sample-accurate run starts its next item from the end notice of the chain's last
// item, on that item's voice.
TEST_F(SequenceItemsThroughEngine, AContinuousPlaylistItemAdvancesTheSequenceOnlyFromItsLastChainItem)
{
    for (const auto type : {Sequence::DynamicSequenceType_NormalTransition, Sequence::DynamicSequenceType_SampleAccurate})
    {
        SCOPED_TRACE(type);
        captured.clear();
        {
            std::lock_guard guard(m_heard.lock);
            m_heard.items.clear();
        }
        const ZkPlayingID id = OpenWithNodes(type, {{kPlaylist, &g_playlistInfo}, {kSounds[2], &g_info[2]}});
        ASSERT_EQ(Sequence::Play(id), ZK_Success);
        ASSERT_EQ(Sequence::Close(id), ZK_Success);
        RenderFrames(40);
        EXPECT_EQ(HeardTones(), (std::vector<int>{0, 1, 2}));
        const std::vector<std::pair<ZkUniqueID, void*>> expected = {
            {kPlaylist, &g_playlistInfo}, {kPlaylist, &g_playlistInfo}, {kSounds[2], &g_info[2]}};
        EXPECT_EQ(HeardItems(), expected);
    }
}

// The item after one moving along a position path takes the path's player over: the path runs on
// from where the item before left it instead of starting again at x = 0.
TEST_F(SequenceItemsThroughEngine, TheItemAfterOneWithAPositionPathContinuesThatPath)
{
    const ZkPlayingID id = OpenWithNodes(Sequence::DynamicSequenceType_NormalTransition,
                                         {{kPathSound, nullptr}, {kPathSound, nullptr}});
    ASSERT_EQ(Sequence::Play(id), ZK_Success);
    RenderFrames(4); // the first item plays (4800 samples: into its fifth frame)
    ASSERT_NE(g_pSharedItemArray, nullptr);
    ASSERT_EQ(g_pSharedItemArray->Count(), 1u);
    const uint32_t startFrame = g_pSharedItemArray->Player(0)->VertexStartFrame();
    const float reached = PathX();
    EXPECT_GT(reached, 2.0f);
    RenderFrames(3); // the second item plays (it starts within three frames of the first's end)
    ASSERT_EQ(HeardItems().size(), 1u) << "the first item ended";
    ASSERT_EQ(g_pSharedItemArray->Count(), 1u) << "one player for both items";
    EXPECT_EQ(g_pSharedItemArray->Player(0)->VertexStartFrame(), startFrame);
    EXPECT_GT(PathX(), reached) << "the path went on from where the first item left it";
    ASSERT_EQ(Sequence::Close(id), ZK_Success);
    RenderFrames(10);
    EXPECT_EQ(g_pSharedItemArray->Count(), 0u);
}

// Memory runs out at each allocation of memory pool 0 in turn, over the whole run of a normal
// sequence from its Play (each item's play context and play chain, the engine's own): every item
// is reported once, in order, a failed one skipped; the closed sequence ends once; no sequence,
// playing id, instance or voice is left.
TEST_F(SequenceItemsThroughEngine, MemoryRunningOutAnywhereInARunLeavesNothingBehind)
{
    RenderFrames(2);
    const uint32_t playingIDs = PlayingIDCount();
    const std::vector<std::pair<ZkUniqueID, void*>> items = {
        {kSounds[0], &g_info[0]}, {kSounds[1], &g_info[1]}, {kSounds[2], &g_info[2]}};
    const auto run = [&](uint32_t failAt) {
        captured.clear();
        {
            std::lock_guard guard(m_heard.lock);
            m_heard.items.clear();
            m_heard.ends = 0;
        }
        const ZkPlayingID id = OpenWithNodes(Sequence::DynamicSequenceType_NormalTransition, items);
        ASSERT_NE(id, 0u);
        if (failAt == 0)
            FaultInjection::CountOnly(ZkMemID_Default);
        else
            FaultInjection::FailNth(ZkMemID_Default, failAt);
        EXPECT_EQ(Sequence::Play(id), ZK_Success);
        EXPECT_EQ(Sequence::Close(id), ZK_Success);
        RenderFrames(30);
        FaultInjection::Disarm();
        RenderFrames(2);
    };
    ASSERT_NO_FATAL_FAILURE(run(0));
    const uint32_t allocations = FaultInjection::CountedAllocations();
    ASSERT_GE(allocations, 5u) << "three play contexts and two play chains at least";
    // Which items some failure made skip (their tone was not heard).
    bool skipped[3] = {};
    for (uint32_t failAt = 1; failAt <= allocations; ++failAt)
    {
        SCOPED_TRACE(failAt);
        ASSERT_NO_FATAL_FAILURE(run(failAt));
        EXPECT_EQ(SequenceCount(), 0u);
        EXPECT_EQ(PlayingIDCount(), playingIDs);
        EXPECT_EQ(CZkActiveInstances::First(), nullptr);
        EXPECT_EQ(VoiceCount(), 0u);
        std::lock_guard guard(m_heard.lock);
        EXPECT_EQ(m_heard.items, items);
        EXPECT_EQ(m_heard.ends, 1u);
        const std::vector<int> tones = HeardTones();
        for (int tone = 0; tone < 3; ++tone)
            skipped[tone] = skipped[tone] || std::find(tones.begin(), tones.end(), tone) == tones.end();
    }
    // The first item fails in the sequence's own play, the others in the play of the item before.
    EXPECT_TRUE(skipped[0] && skipped[1] && skipped[2]);
}
} // namespace
