// Transition rules and their look-up, stingers and playback speed through the music hierarchy,
// the speed-refresh request, and the preparation of music nodes with its roll-back.
#include "MusicBankFixture.h"

#include "ZkAudiolib/Common/Banks/BankManager.h"
#include "ZkAudiolib/Common/Banks/MediaIndex.h"

#include <ZK/SoundEngine/Common/ZkGameSyncCalls.h>

#include <map>

namespace
{
using namespace ZkMusicTest;
namespace Fault = ZK::MemoryMgr::FaultInjection;

std::string IdList(const std::vector<uint32_t>& ids)
{
    std::string text = "[";
    for (size_t index = 0; index < ids.size(); ++index)
        text += (index ? ", " : "") + std::to_string(ids[index]);
    return text + "]";
}

TEST_F(MusicBankTest, RuleFieldsReadBack)
{
    ASSERT_EQ(Load(Segment(20) + "," + Playlist(30, R"("rules": [{"sources": [20, 21], "destinations": [22],
        "source": {"fade_time": 100, "curve": 4, "offset": -250, "sync": 33, "cue": 7, "post_exit": 1},
        "destination": {"fade_time": 200, "curve": 5, "offset": 125, "cue": 8, "value": 20, "mode": 9, "entry": 11,
                        "pre_entry": 1, "use_source_cue": 3},
        "segment": {"id": 20, "fade_in_time": 10, "fade_in_curve": 1, "fade_in_offset": 1, "fade_out_time": 20,
                    "fade_out_curve": 2, "fade_out_offset": -1, "pre_entry": 1, "post_exit": 0}}, {}])")),
              ZK_Success);
    const auto* container = Find<CZkMusicPlaylistContainer>(30);
    ASSERT_EQ(container->RuleCount(), 2u);
    const ZkMusicTransitionRule& rule = container->Rule(0);
    ASSERT_EQ(rule.sourceCount, 2u);
    EXPECT_EQ(rule.sources[1], 21u);
    ASSERT_EQ(rule.destinationCount, 1u);
    EXPECT_EQ(rule.sourceFade.timeMs, 100u);
    EXPECT_EQ(rule.sourceFade.curve, 4u);
    EXPECT_EQ(rule.sourceFade.offset, -12000) << "ms x rate / 1000";
    EXPECT_EQ(rule.SyncKind(), 1u) << "low 5 bits of 33";
    EXPECT_EQ(rule.sourceCue, 7u);
    EXPECT_TRUE(rule.PlaysPostExit());
    EXPECT_EQ(rule.destinationFade.timeMs, 200u);
    EXPECT_EQ(rule.destinationFade.offset, 6000);
    EXPECT_EQ(rule.destinationCue, 8u);
    EXPECT_EQ(rule.destinationValue, 20u);
    EXPECT_EQ(rule.DestinationMode(), 1u) << "low 3 bits of 9";
    EXPECT_EQ(rule.EntryKind(), 3u) << "low 3 bits of 11";
    EXPECT_TRUE(rule.PlaysPreEntry());
    EXPECT_TRUE(rule.UsesSourceCue());
    ASSERT_NE(rule.segment, nullptr);
    EXPECT_EQ(rule.segment->segmentID, 20u);
    EXPECT_EQ(rule.segment->fadeIn.timeMs, 10u);
    EXPECT_EQ(rule.segment->fadeIn.curve, 1u);
    EXPECT_EQ(rule.segment->fadeIn.offset, 48);
    EXPECT_EQ(rule.segment->fadeOut.timeMs, 20u);
    EXPECT_EQ(rule.segment->fadeOut.curve, 2u);
    EXPECT_EQ(rule.segment->fadeOut.offset, -48);
    EXPECT_TRUE(rule.segment->playPreEntry);
    EXPECT_FALSE(rule.segment->playPostExit);
    EXPECT_EQ(container->Rule(1).index, 1u);
    EXPECT_EQ(container->Rule(1).segment, nullptr);
    EXPECT_EQ(container->Rule(1).sources[0], kAnyNode) << "the writer's default: any node";

    const ZkMusicTransitionRule& fallback = ZkMusicTransitionRule::ResetDefault();
    EXPECT_EQ(fallback.sources[0], kAnyNode);
    EXPECT_EQ(fallback.destinations[0], kAnyNode);
    EXPECT_EQ(fallback.SyncKind(), 7u);
    EXPECT_TRUE(fallback.PlaysPostExit());
    EXPECT_EQ(fallback.EntryKind(), 0u);
    EXPECT_FALSE(fallback.PlaysPreEntry());
    EXPECT_EQ(fallback.segment, nullptr);
}

TEST_F(MusicBankTest, RuleLookUp)
{
    std::vector<uint32_t> many;
    for (uint32_t id = 0; id < 1000; ++id)
        many.push_back(1000 + id * 7);
    // Segments 20 < playlist 31 (child of switch 30): an ancestor's id in a list matches.
    ASSERT_EQ(Load(Segment(20) + "," + Segment(21) + "," + Playlist(31, R"("children": [20])") + "," +
                   Switch(30, R"("children": [31, 21], "rules": [
                       {"sources": [1], "destinations": [2]},
                       {"sources": [20], "destinations": [-1]},
                       {"sources": [-1], "destinations": [21]},
                       {"sources": [31], "destinations": [5]},
                       {"sources": )" + IdList(many) + R"(, "destinations": [21, 22]},
                       {"sources": [], "destinations": [-1]}])")),
              ZK_Success);
    const auto* container = Find<CZkMusicSwitchContainer>(30);
    struct Case
    {
        const char* what;
        ZkUniqueID source, destination;
        uint32_t rule;
    };
    const Case cases[] = {
        {"no match: the first rule", 3, 4, 0},
        {"one match", 20, 4, 1},
        {"two match: the later wins", 20, 21, 2},
        {"an empty list matches nothing", 99, 99, 0},
        {"in the sorted list of 1,000, first", 1000, 22, 4},
        {"in the sorted list of 1,000, last", 1000 + 999 * 7, 22, 4},
        {"in the sorted list of 1,000, middle", 1000 + 500 * 7, 22, 4},
        {"between two ids of the list", 1001, 22, 0},
        {"a later rule of any source wins over the list", 1000 + 3 * 7, 21, 4},
    };
    for (const Case& c : cases)
    {
        const ZkMusicTransitionRule* rule = container->FindRule(c.source, c.destination);
        ASSERT_NE(rule, nullptr) << c.what;
        EXPECT_EQ(rule->index, c.rule) << c.what;
    }
    const ZkMusicTransitionRule* byAncestor = container->FindRuleWithAncestors(20, Node(20), 5, nullptr);
    ASSERT_NE(byAncestor, nullptr);
    EXPECT_EQ(byAncestor->index, 3u) << "the source's parent 31 is in the list";
    EXPECT_EQ(container->FindRule(20, 5)->index, 1u) << "without ancestors the segment's own rule";

    ASSERT_EQ(Load(Playlist(40), "Empty.bnk"), ZK_Success);
    EXPECT_EQ(Find<CZkMusicPlaylistContainer>(40)->FindRule(1, 2), nullptr) << "no rules at all";
}

TEST_F(MusicBankTest, EffectiveStingersThroughThreeLevels)
{
    ASSERT_EQ(Load(Segment(20, R"("stingers": [{"trigger": 1, "segment": 201}, {"trigger": 4, "segment": 204}])") + "," +
                   Playlist(30, R"("children": [20], "stingers": [{"trigger": 2, "segment": 302}, {"trigger": 1, "segment": 301}])") + "," +
                   Switch(40, R"("children": [30], "stingers": [{"trigger": 1, "segment": 401}, {"trigger": 2, "segment": 402},
                                                             {"trigger": 3, "segment": 403}])")),
              ZK_Success);
    struct Case
    {
        ZkUniqueID node;
        std::vector<std::pair<ZkUniqueID, ZkUniqueID>> expected; // (trigger, segment) in list order
    };
    // Each level's stinger takes out an earlier one of its trigger (the last entry moves into its
    // place) and is appended: the child's own stinger is the one in force.
    const Case cases[] = {
        {40, {{1, 401}, {2, 402}, {3, 403}}},
        {30, {{2, 302}, {3, 403}, {1, 301}}},
        {20, {{2, 302}, {3, 403}, {1, 201}, {4, 204}}},
    };
    for (const Case& c : cases)
    {
        ZK::ZkArray<ZkMusicStinger> list;
        ASSERT_EQ(Find<CZkMusicNode>(c.node)->EffectiveStingers(list), ZK_Success);
        std::vector<std::pair<ZkUniqueID, ZkUniqueID>> got;
        for (const ZkMusicStinger& stinger : list)
            got.emplace_back(stinger.triggerID, stinger.segmentID);
        EXPECT_EQ(got, c.expected) << c.node;
        list.Term();
    }
}

TEST_F(MusicBankTest, PlaybackSpeedMultipliesPropertyStateAndGameParameterUpTheHierarchy)
{
    const std::string description = R"({"name": "Speed.bnk", "chunks": [{"tag": "BKHD"},
        {"tag": "STMG", "state_groups": [{"id": 500}], "game_parameters": [{"id": 600, "default": 0}]},
        {"tag": "HIRC", "items": [{"type": "state", "id": 700, "values": {"13": 2.0}},)" +
                                    Segment(20, R"("props": {"54": 0.5})") + "," +
                                    Playlist(30, R"("children": [20], "state": {"properties": [[13, 0]],
                                        "groups": [{"id": 500, "states": [[501, 700]]}]})") + "," +
                                    Switch(40, R"("children": [30], "rtpc": [{"parameter": 600, "target": 13, "curve": 1,
                                        "points": [[0, 1, 4], [100, 3, 4]]}])") + "]}]}";
    ZkBankID bankID = 0;
    ASSERT_EQ(LoadDescription(description, bankID), ZK_Success);
    ASSERT_EQ(ZK::SoundEngine::SetState(500, 501), ZK_Success);
    ASSERT_EQ(ZK::SoundEngine::SetRTPCValue(600, 50.0f), ZK_Success);
    ASSERT_EQ(ZK::SoundEngine::RenderAudio(true), ZK_Success);
    const ZkRTPCKey key = ZkRTPCKey::Global();
    struct Case
    {
        ZkUniqueID node;
        float own;
        float effective;
    };
    // Segment: property 0.5; playlist: state value 2; switch: the curve at 50 gives 2.
    const Case cases[] = {{20, 0.5f, 2.0f}, {30, 2.0f, 4.0f}, {40, 2.0f, 2.0f}};
    for (const Case& c : cases)
    {
        const auto* node = Find<CZkMusicNode>(c.node);
        EXPECT_FLOAT_EQ(node->OwnSpeedFactor(key), c.own) << c.node;
        EXPECT_FLOAT_EQ(node->EffectivePlaybackSpeed(1.0f, key), c.effective) << c.node;
        EXPECT_FLOAT_EQ(node->EffectivePlaybackSpeed(0.25f, key), c.effective * 0.25f) << c.node;
    }
}

TEST_F(MusicBankTest, PropertyFiftyFourAndParameterThirteenRaiseTheSpeedRefresh)
{
    ASSERT_EQ(Load(Segment(20) + "," + Playlist(30, R"("children": [20])")), ZK_Success);
    auto* segment = Find<CZkMusicNode>(20);
    auto* playlist = Find<CZkMusicNode>(30);
    MusicEngineState& music = MusicEngineState::Get();
    uint8_t value = 99;
    const auto refresh = [&]() -> int
    {
        value = 99;
        return music.TakeSpeedRefresh(value) ? value : -1;
    };
    ASSERT_EQ(refresh(), -1);
    EXPECT_EQ(segment->SetFloatProperty(kPropPlaybackSpeed, 2.0f), ZK_Success);
    EXPECT_EQ(refresh(), 0);
    EXPECT_FLOAT_EQ(segment->GetFloatProperty(kPropPlaybackSpeed), 2.0f);
    EXPECT_EQ(segment->SetFloatProperty(kPropPlaybackSpeed, 2.0f), ZK_Success);
    EXPECT_EQ(refresh(), -1) << "the same value again";
    EXPECT_EQ(segment->SetFloatProperty(0, 3.0f), ZK_Success);
    EXPECT_EQ(refresh(), -1) << "another property";

    segment->NotifyParam(kParamPlaybackSpeed);
    EXPECT_EQ(refresh(), 0);
    segment->NotifyParam(12);
    EXPECT_EQ(refresh(), -1);
    playlist->NotifyParamMask(1ull << kParamPlaybackSpeed, 7);
    EXPECT_EQ(refresh(), 7);
    playlist->NotifyParamMask(0x1 | 0x4, 7);
    EXPECT_EQ(refresh(), -1);
    playlist->NotifyParamWithValue(kParamPlaybackSpeed, 9);
    EXPECT_EQ(refresh(), 9);
    playlist->ReceiveParamValue(kParamPlaybackSpeed, ZkRTPCKey::Global(), 1.0f, 0.0f, nullptr);
    EXPECT_EQ(refresh(), 0);
    playlist->ReceiveParamValue(3, ZkRTPCKey::Global(), 1.0f, 0.0f, nullptr);
    EXPECT_EQ(refresh(), -1) << "other parameters go to the node's targets";
}

// --- Preparation ---

class MusicPreparation : public MusicBankTest
{
protected:
    // Media 901 and 902 in the bank, each in memory in a track of its own, each track in a
    // segment; the playlist container 30 holds both segments and prepares segment 21 through a
    // rule's transition segment, then 99 (not loaded) through another; the playlist container 31
    // prepares segment 20 as its stinger's and 21 as its transition segment (whose own stinger is
    // 20 again). A media counts as prepared while its entry holds more references than the bank's.
    void SetUp() override
    {
        MusicBankTest::SetUp();
        const std::string description = R"({"name": "Prepared.bnk",
            "media": [{"id": 901, "wave": {"rate": 48000, "frames": 64, "parts": [{"tone": 440}]}},
                      {"id": 902, "wave": {"rate": 48000, "frames": 64, "parts": [{"tone": 880}]}}],
            "chunks": [{"tag": "BKHD"}, {"tag": "DIDX"}, {"tag": "DATA"}, {"tag": "HIRC", "items": [)" +
                                        Track(10, R"("sources": [{"source": 901, "media_size": 1}])") + "," +
                                        Track(11, R"("sources": [{"source": 902, "media_size": 1}])") + "," +
                                        Segment(20, R"("children": [10])") + "," +
                                        Segment(21, R"("children": [11], "stingers": [{"trigger": 1, "segment": 20}])") + "," +
                                        Playlist(30, R"("children": [20, 21], "rules": [{"segment": {"id": 21}}, {"segment": {"id": 99}}])") + "," +
                                        Playlist(31, R"("stingers": [{"trigger": 2, "segment": 20}], "rules": [{"segment": {"id": 21}}])") + "]}]}";
        ZkBankID bankID = 0;
        ASSERT_EQ(LoadDescription(description, bankID), ZK_Success);
        m_baseline[0] = References(901);
        m_baseline[1] = References(902);
    }
    static uint32_t References(ZkUniqueID media)
    {
        const auto* entry = ZK::SoundEngine::g_pBankManager->Media().Find(media);
        return entry != nullptr ? entry->refCount : 0;
    }
    bool Prepared(ZkUniqueID media) const { return References(media) > m_baseline[media - 901]; }
    void ExpectNothingPrepared(const std::string& what) const
    {
        EXPECT_EQ(References(901), m_baseline[0]) << what;
        EXPECT_EQ(References(902), m_baseline[1]) << what;
    }
    uint32_t m_baseline[2] = {};
};

TEST_F(MusicPreparation, AContainerPreparesItsSegmentsAndUndoesThemOnAFailure)
{
    ASSERT_GT(m_baseline[0], 0u) << "the bank's copies are registered";
    auto* failing = Find<CZkMusicNode>(30);
    EXPECT_EQ(failing->PrepareMedia(), ZK_Fail) << "the second rule's segment is not loaded";
    ExpectNothingPrepared("a transition segment that is not loaded");

    auto* container = Find<CZkMusicNode>(31);
    ASSERT_EQ(container->PrepareMedia(), ZK_Success);
    EXPECT_TRUE(Prepared(901));
    EXPECT_TRUE(Prepared(902)) << "through the transition segment";
    container->UnprepareMedia();
    ExpectNothingPrepared("after the unprepare");
}

TEST_F(MusicPreparation, EveryAllocationFailedInTurnRollsThePreparationBack)
{
    auto* container = Find<CZkMusicNode>(31);
    for (ZkMemoryId pool : {ZkMemID_Default, ZkMemID_BankObjects})
    {
        for (uint32_t nth = 1;; ++nth)
        {
            ZKRESULT result;
            {
                Fault::ScopedAllocationFailure refused(pool, nth);
                result = container->PrepareMedia();
            }
            if (result == ZK_Success)
            {
                container->UnprepareMedia();
                ExpectNothingPrepared("after the unprepare");
                break;
            }
            ExpectNothingPrepared("allocation " + std::to_string(nth) + " of pool " + std::to_string(pool));
            ASSERT_LT(nth, 200u);
        }
    }
}
} // namespace
