// Continuous playlists heard through the running engine (offline rendering, the capture of the
// main output): one post walks through the list item after item. Each item is a tone burst of its
// own frequency, so the capture tells which item played when: a zero-crossing count per 10 ms
// names the burst, silence separates items, and a single-frequency correlation follows a fade.
#include "SDK/source/SoundEngine/ZkAudiolib/Common/Renderer/FirstSoundFixture.h"

#include "ZkAudiolib/Common/Hierarchy/CZkChildContextContainer.h"
#include "ZkAudiolib/Common/Hierarchy/CZkLiveInstance.h"
#include "ZkAudiolib/Common/Hierarchy/CZkPlayableNode.h"
#include "ZkAudiolib/Common/ObjectIndex/ObjectIndex.h"
#include "ZkAudiolib/Common/Playback/CZkContextPlayingInstance.h"
#include "ZkAudiolib/Common/Playback/CZkPlayChain.h"
#include "ZkAudiolib/Common/Playback/ZkVoiceLists.h"

#include <ZK/SoundEngine/Common/ZkGameSyncCalls.h>

#include <cmath>
#include <cstdlib>

namespace
{
using namespace ZkFirstSoundTest;

constexpr double kPi = 3.14159265358979323846;
constexpr ZkUniqueID kEvent = 931;
constexpr ZkUniqueID kPlaylist = 231;
constexpr uint32_t kWindow = 480; // 10 ms
// How close a queued item starts to its time: the queue keeps its exact sample, but a voice that
// starts a frame after its play was queued may begin up to a frame early.
constexpr double kStartTolerance = 2.0 * kFrames;
const uint32_t kHz[] = {500, 1000, 2000};

class HeardContinuousPlaylist : public FirstSound
{
protected:
    // A bank of three sounds (bursts of frames samples at 500, 1000 and 2000 Hz) under the playlist
    // whose keys are given, with its play action and event.
    // top: what the group holds and the event plays (the playlist, or containers above it).
    void WriteBank(const std::string& playlistKeys, uint32_t frames, const std::string& extraItems = "",
                   const std::string& children = "[220, 221, 222]", ZkUniqueID top = kPlaylist)
    {
        std::string media;
        for (uint32_t i = 0; i < 3; ++i)
        {
            media += (i != 0 ? ", " : "") + std::string(R"({"id": )") + std::to_string(120 + i) +
                     R"(, "wave": {"rate": 48000, "channels": 1, "frames": )" + std::to_string(frames) +
                     R"(, "parts": [{"tone": )" + std::to_string(kHz[i]) + R"(, "amp": 0.5}]}})";
        }
        const std::string bank = R"({"name": "HeardContinuous.bnk", "media": [)" + media + R"(],
            "chunks": [{"tag": "BKHD"}, {"tag": "DIDX"}, {"tag": "DATA"}, {"tag": "HIRC", "items": [
                {"type": "sound", "id": 220, "media": 120},
                {"type": "sound", "id": 221, "media": 121},
                {"type": "sound", "id": 222, "media": 122},)" +
                                 extraItems + R"(
                {"type": "playlist", "id": 231, "children": )" + children + R"(, "continuous": true, )" +
                                 playlistKeys + R"(},
                {"type": "group", "id": 240, "bus": "Effects", "children": [)" +
                                 std::to_string(top) + R"(]},
                {"type": "action", "id": 331, "action": "play", "target": )" + std::to_string(top) + R"(},
                {"type": "event", "id": 931, "actions": [331]}]}]})";
        ASSERT_NO_FATAL_FAILURE(WriteBankFile("HeardContinuous.bnk", bank));
    }

    void StartWithBank()
    {
        ASSERT_NO_FATAL_FAILURE(Start());
        ZkBankID bank = 0;
        ASSERT_EQ(LoadBank("HeardContinuous.bnk", bank), ZK_Success);
    }

    // Which of the three tones sounds in each 10 ms window with sound (-1: none), by its zero
    // crossings (10, 20 and 40 per window).
    static std::vector<int> ToneWindows(const std::vector<float>& left)
    {
        std::vector<int> tones;
        for (size_t start = 0; start + kWindow <= left.size(); start += kWindow)
        {
            // Only windows of sound throughout: a window that an item starts or ends in would count
            // too few crossings.
            uint32_t crossings = 0;
            uint32_t zeros = 0;
            bool loud = true;
            for (size_t i = start + 1; i < start + kWindow; ++i)
            {
                crossings += (left[i - 1] < 0.0f) != (left[i] < 0.0f) ? 1u : 0u;
                zeros = std::fabs(left[i]) < 1e-6f ? zeros + 1 : 0;
                loud = loud && zeros < 8;
            }
            int tone = -1;
            for (int t = 0; t < 3 && loud; ++t)
            {
                const double expected = 2.0 * kHz[t] * kWindow / kRate;
                if (std::fabs(crossings - expected) <= expected * 0.15)
                    tone = t;
            }
            tones.push_back(tone);
        }
        return tones;
    }

    // The order in which the tones played: runs of windows of one tone, windows of none skipped.
    static std::vector<int> ToneOrder(const std::vector<float>& left)
    {
        std::vector<int> order;
        int previous = -2;
        for (int tone : ToneWindows(left))
        {
            if (tone >= 0 && tone != previous)
                order.push_back(tone);
            if (tone >= 0)
                previous = tone;
        }
        return order;
    }

    // The amplitude of a tone of hz in the window starting at start.
    static double ToneAmplitude(const std::vector<float>& left, size_t start, uint32_t hz)
    {
        double re = 0.0;
        double im = 0.0;
        for (size_t i = start; i < start + kWindow && i < left.size(); ++i)
        {
            re += left[i] * std::cos(2.0 * kPi * hz * static_cast<double>(i) / kRate);
            im += left[i] * std::sin(2.0 * kPi * hz * static_cast<double>(i) / kRate);
        }
        return 2.0 * std::sqrt(re * re + im * im) / kWindow;
    }

    // Plays the bank's playlist of three items; the interval from one start to the next (fromStart)
    // or from one end to the next start is samples, within a frame.
    void ExpectIntervals(bool fromStart, double samples)
    {
        ASSERT_NO_FATAL_FAILURE(StartWithBank());
        ASSERT_NE(PostEvent(kEvent, kEmitter), 0u);
        RenderFrames(45);
        const std::vector<float> left = Left();
        const std::vector<Burst> bursts = Bursts(left);
        ASSERT_EQ(bursts.size(), 3u);
        EXPECT_EQ(ToneOrder(left), (std::vector<int>{0, 1, 2}));
        for (size_t i = 1; i < bursts.size(); ++i)
        {
            const double interval = fromStart ? static_cast<double>(bursts[i].first - bursts[i - 1].first)
                                              : static_cast<double>(bursts[i].first - bursts[i - 1].last - 1);
            EXPECT_NEAR(interval, samples, kStartTolerance) << "item " << i;
        }
    }

    // The first live instance of node id, as Instance; null when there is none or it is not one.
    template <typename Instance>
    static Instance* InstanceOf(ZkUniqueID id)
    {
        auto* node =
            static_cast<ZK::SoundEngine::CZkHierarchyNode*>(ZK::SoundEngine::g_pObjectIndex->GetNodePtrAndAddRef(id, false));
        if (node == nullptr)
            return nullptr;
        auto* instance = dynamic_cast<Instance*>(node->LiveInstances());
        node->Release(); // the instance holds its own reference on the node
        return instance;
    }

    static void CountEnd(ZkCallbackType type, ZkCallbackInfo* info)
    {
        if (type == ZkCallbackType_EndOfEvent)
            ++*static_cast<uint32_t*>(info->cookie);
    }
};

TEST_F(HeardContinuousPlaylist, ALoopCountOfTwoPlaysTheListTwiceThenEndsTheEventOnce)
{
    ASSERT_NO_FATAL_FAILURE(WriteBank(R"("loop_count": 2)", 2400));
    ASSERT_NO_FATAL_FAILURE(StartWithBank());
    uint32_t ends = 0;
    ASSERT_NE(PostEvent(kEvent, kEmitter, ZkCallbackType_EndOfEvent, &CountEnd, &ends), 0u);
    RenderFrames(40);
    EXPECT_EQ(ToneOrder(Left()), (std::vector<int>{0, 1, 2, 0, 1, 2}));
    EXPECT_EQ(ends, 1u);
}

TEST_F(HeardContinuousPlaylist, ALoopCountOfZeroPlaysOnPastAHundredItems)
{
    ASSERT_NO_FATAL_FAILURE(WriteBank(R"("loop_count": 0)", 480));
    ASSERT_NO_FATAL_FAILURE(StartWithBank());
    ASSERT_NE(PostEvent(kEvent, kEmitter), 0u);
    RenderFrames(130);
    EXPECT_GT(Bursts(Left()).size(), 100u);
    StopAll();
    RenderFrames(2);
}

// Kind 2 with 1000 ms items and an 800 ms transition: the overlap is half the item (500 ms); the
// next item starts 24,000 samples after the previous one and fades in over those 500 ms.
TEST_F(HeardContinuousPlaylist, ACrossFadeStartsTheNextItemAtTheOverlapAndFadesItIn)
{
    ASSERT_NO_FATAL_FAILURE(WriteBank(R"("transition_kind": 2, "transition_time": 800)", 48000));
    ASSERT_NO_FATAL_FAILURE(StartWithBank());
    ASSERT_NE(PostEvent(kEvent, kEmitter), 0u);
    RenderFrames(90);
    const std::vector<float> left = Left();
    const std::vector<Burst> bursts = Bursts(left);
    ASSERT_FALSE(bursts.empty());
    const size_t first = bursts[0].first;
    // The second tone's level, window by window, from the first item's start.
    std::vector<double> level;
    for (size_t start = first; start + kWindow <= first + 96000 && start + kWindow <= left.size(); start += kWindow)
        level.push_back(ToneAmplitude(left, start, kHz[1]));
    const double full = *std::max_element(level.begin(), level.end());
    ASSERT_GT(full, 0.2);
    // A line through the rising part (20% to 80% of full) meets 0 where the fade began and full
    // where it ended.
    double sx = 0, sy = 0, sxx = 0, sxy = 0;
    int n = 0;
    for (size_t w = 0; w < level.size(); ++w)
    {
        if (level[w] < 0.2 * full || level[w] > 0.8 * full)
            continue;
        const double x = (static_cast<double>(w) + 0.5) * kWindow;
        sx += x, sy += level[w], sxx += x * x, sxy += x * level[w], ++n;
    }
    ASSERT_GT(n, 10);
    const double slope = (n * sxy - sx * sy) / (n * sxx - sx * sx);
    const double offset = (sy - slope * sx) / n;
    const double begin = -offset / slope;
    const double end = (full - offset) / slope;
    EXPECT_NEAR(begin, 24000.0, kStartTolerance);
    EXPECT_NEAR(end - begin, 24000.0, kFrames);
}

// Kind 1 with a 30 ms item: under 50 ms is too short to overlap, so the next item follows the end.
TEST_F(HeardContinuousPlaylist, AnOverlapOfAnItemTooShortStartsTheNextAtItsEnd)
{
    ASSERT_NO_FATAL_FAILURE(WriteBank(R"("transition_kind": 1, "transition_time": 1000)", 1440));
    ASSERT_NO_FATAL_FAILURE(StartWithBank());
    ASSERT_NE(PostEvent(kEvent, kEmitter), 0u);
    RenderFrames(12);
    const std::vector<Burst> bursts = Bursts(Left());
    ASSERT_EQ(bursts.size(), 3u);
    for (size_t i = 0; i < bursts.size(); ++i)
    {
        EXPECT_NEAR(static_cast<double>(bursts[i].last - bursts[i].first + 1), 1440.0, 4.0) << "item " << i;
        if (i > 0)
        {
            EXPECT_GT(bursts[i].first, bursts[i - 1].last) << "item " << i << " began before the one before ended";
        }
    }
}

// Kinds 3 and 5 time their items: the delay leaves its gap after each item, the trigger rate starts
// them at fixed intervals; either within a frame.
TEST_F(HeardContinuousPlaylist, ADelayLeavesItsGapAfterEachItem)
{
    ASSERT_NO_FATAL_FAILURE(WriteBank(R"("transition_kind": 3, "transition_time": 200)", 4800));
    ASSERT_NO_FATAL_FAILURE(ExpectIntervals(false, 9600.0));
}

TEST_F(HeardContinuousPlaylist, ATriggerRateStartsItemsAtItsInterval)
{
    ASSERT_NO_FATAL_FAILURE(WriteBank(R"("transition_kind": 5, "transition_time": 250)", 4800));
    ASSERT_NO_FATAL_FAILURE(ExpectIntervals(true, 12000.0));
}

// A stop between two items of a delayed playlist ends the play: the queued next item goes with it.
TEST_F(HeardContinuousPlaylist, StopAllInTheGapBetweenItemsEndsThePlay)
{
    ASSERT_NO_FATAL_FAILURE(WriteBank(R"("transition_kind": 3, "transition_time": 200)", 4800));
    ASSERT_NO_FATAL_FAILURE(StartWithBank());
    uint32_t ends = 0;
    ASSERT_NE(PostEvent(kEvent, kEmitter, ZkCallbackType_EndOfEvent, &CountEnd, &ends), 0u);
    RenderFrames(8); // the first item (4,800 samples) is over, the second due 9,600 samples later
    ASSERT_EQ(Bursts(Left()).size(), 1u);
    StopAll();
    captured.clear();
    RenderFrames(40);
    EXPECT_TRUE(Bursts(Left()).empty()) << "the playlist played on after the stop";
    EXPECT_EQ(ends, 1u);
}

// A stop aimed at the queued next item's own node, below the playlist, passes that item over: the
// playlist goes on with the one after it. A stop of the playlist itself ends the play.
TEST_F(HeardContinuousPlaylist, AStopOfTheNextItemsNodePassesItOver)
{
    struct Case
    {
        ZkUniqueID stopped;
        std::vector<int> heard;
    };
    const Case cases[] = {{221, {0, 2}}, {kPlaylist, {0}}};
    const std::string stops = R"(
                {"type": "action", "id": 332, "action": "stop", "target": 221},
                {"type": "event", "id": 932, "actions": [332]},
                {"type": "action", "id": 333, "action": "stop", "target": 231},
                {"type": "event", "id": 933, "actions": [333]},)";
    ASSERT_NO_FATAL_FAILURE(WriteBank(R"("transition_kind": 3, "transition_time": 200)", 4800, stops));
    ASSERT_NO_FATAL_FAILURE(StartWithBank());
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.stopped);
        captured.clear();
        ASSERT_NE(PostEvent(kEvent, kEmitter), 0u);
        RenderFrames(8); // the first item is over, the second queued
        ASSERT_NE(PostEvent(c.stopped == kPlaylist ? 933u : 932u, kEmitter), 0u);
        RenderFrames(40);
        EXPECT_EQ(ToneOrder(Left()), c.heard);
    }
}

// A play paused before its first item's length is known: the cross-fade's next item, queued as
// soon as it is, waits paused with the item and starts as far into the play as without the pause.
TEST_F(HeardContinuousPlaylist, TheNextItemOfAPausedItemWaitsForTheResume)
{
    const std::string pauses = R"(
                {"type": "action", "id": 332, "action": "pause", "target": 231},
                {"type": "event", "id": 932, "actions": [332]},
                {"type": "action", "id": 333, "action": "resume", "target": 231},
                {"type": "event", "id": 933, "actions": [333]},)";
    ASSERT_NO_FATAL_FAILURE(WriteBank(R"("transition_kind": 2, "transition_time": 800)", 48000, pauses));
    ASSERT_NO_FATAL_FAILURE(StartWithBank());
    ASSERT_NE(PostEvent(kEvent, kEmitter), 0u);
    ASSERT_NE(PostEvent(932, kEmitter), 0u);
    RenderFrames(40); // past where the next item would be due without the pause
    EXPECT_TRUE(Bursts(Left()).empty()) << "something played while the playlist was paused";
    captured.clear();
    ASSERT_NE(PostEvent(933, kEmitter), 0u);
    RenderFrames(40);
    const std::vector<float> left = Left();
    const std::vector<Burst> bursts = Bursts(left);
    ASSERT_FALSE(bursts.empty());
    // The second tone is under way half an item after the first began, not before.
    const size_t first = bursts[0].first;
    EXPECT_LT(ToneAmplitude(left, first + 20000, kHz[1]), 0.01) << "the next item came during the pause";
    EXPECT_GT(ToneAmplitude(left, first + 36000, kHz[1]), 0.1) << "the next item did not follow the resume";
}

// A seek moves an item of a playlist only while the playlist does not time its items by the item's
// own length: the overlapping and rate-timed kinds refuse it (the item plays on from where it was),
// a plain or delayed one, and the first item of one that follows each end, take it.
TEST_F(HeardContinuousPlaylist, ASeekIsRefusedWhileThePlaylistTimesItsItems)
{
    struct Case
    {
        const char* keys;
        bool seeks;
    };
    const Case cases[] = {
        {R"("transition_kind": 0)", true},
        {R"("transition_kind": 1, "transition_time": 200)", false},
        {R"("transition_kind": 2, "transition_time": 200)", false},
        {R"("transition_kind": 3, "transition_time": 200)", true},
        {R"("transition_kind": 4)", true},
        {R"("transition_kind": 5, "transition_time": 1500)", false},
    };
    const std::string seek = R"(
                {"type": "action", "id": 332, "action": "seek", "target": 231, "relative": 1, "value": 0.5},
                {"type": "event", "id": 932, "actions": [332]},)";
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.keys);
        ASSERT_NO_FATAL_FAILURE(WriteBank(c.keys, 48000, seek));
        ASSERT_NO_FATAL_FAILURE(StartWithBank());
        ASSERT_NE(PostEvent(kEvent, kEmitter), 0u);
        RenderFrames(5);
        ASSERT_NE(PostEvent(932, kEmitter), 0u);
        RenderFrames(40);
        const std::vector<float> left = Left();
        const std::vector<Burst> bursts = Bursts(left);
        ASSERT_FALSE(bursts.empty());
        // Seeking half-way at about 5,000 samples ends the first item near 29,000; unmoved, it
        // sounds until 48,000.
        const double late = ToneAmplitude(left, bursts[0].first + 40000, kHz[0]);
        if (c.seeks)
            EXPECT_LT(late, 0.01);
        else
            EXPECT_GT(late, 0.2);
        StopAll();
        RenderFrames(2);
        Term(); // the next case starts the engine again with its own bank
        captured.clear();
    }
}

// An item told to leave a container (as a switch container tells the children it lets finish)
// ends without going on inside it: the playlists of that container and below are left, the one
// above goes on. Outer playlist 230 plays inner playlist 231 (tones 0 and 1), then tone 2.
TEST_F(HeardContinuousPlaylist, AnItemLeavingAContainerGoesOnAboveIt)
{
    struct Case
    {
        ZkUniqueID left; // 0: none
        std::vector<int> heard;
    };
    const Case cases[] = {{0, {0, 1, 2}}, {kPlaylist, {0, 2}}, {230, {0}}};
    const std::string outer = R"(
                {"type": "playlist", "id": 230, "children": [231, 222], "continuous": true},)";
    // The inner playlist comes after the outer one in the bank: it names its parent itself.
    ASSERT_NO_FATAL_FAILURE(WriteBank(R"("loop_count": 1, "parent": 230)", 4800, outer, "[220, 221]", 230));
    ASSERT_NO_FATAL_FAILURE(StartWithBank());
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.left);
        captured.clear();
        ASSERT_NE(PostEvent(kEvent, kEmitter), 0u);
        RenderFrames(2); // the first item plays
        if (c.left != 0)
        {
            using namespace ZK::SoundEngine;
            auto* container = static_cast<CZkHierarchyNode*>(g_pObjectIndex->GetNodePtrAndAddRef(c.left, false));
            ASSERT_NE(container, nullptr);
            auto* playing = InstanceOf<CZkContextPlayingInstance>(220);
            EXPECT_NE(playing, nullptr) << "the first item plays along a chain";
            if (playing != nullptr)
                playing->LeaveContainer(container);
            container->Release();
        }
        RenderFrames(20);
        EXPECT_EQ(ToneOrder(Left()), c.heard);
    }
}

// A switch container as an item of a continuous playlist: a value of one child hands the playlist's
// chain on to that child, which continues it itself (the container counts no chain); a value of two
// gives each child a chain of its own that comes back through the container, the last child to
// leave it continuing the incoming chain. Either way the list goes on after the switch's children,
// and once it has ended the container counts no chain (none of its children's, nor the list's).
TEST_F(HeardContinuousPlaylist, ASwitchItemOfOneChildHandsTheChainOnToIt)
{
    struct Case
    {
        const char* what;
        ZkUniqueID value;
        bool oneChild;
    };
    const Case cases[] = {{"one child", 61, true}, {"two children", 62, false}};
    const std::string switchItem = R"(
                {"type": "switch", "id": 235, "group": 600, "default": 61, "children": [220, 221],
                 "values": [{"value": 61, "children": [220]}, {"value": 62, "children": [220, 221]}]},)";
    ASSERT_NO_FATAL_FAILURE(WriteBank(R"("loop_count": 1)", 4800, switchItem, "[235, 222]"));
    ASSERT_NO_FATAL_FAILURE(StartWithBank());
    using namespace ZK::SoundEngine;
    auto* node = static_cast<CZkHierarchyNode*>(g_pObjectIndex->GetNodePtrAndAddRef(235, false));
    ASSERT_NE(node, nullptr);
    node->Release(); // the bank keeps it
    auto* container = dynamic_cast<CZkChildContextContainer*>(node);
    ASSERT_NE(container, nullptr);
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.what);
        captured.clear();
        ASSERT_EQ(SetSwitch(600, c.value, kEmitter), ZK_Success);
        ASSERT_NE(PostEvent(kEvent, kEmitter), 0u);
        RenderFrames(2); // the switch's children play
        if (c.oneChild)
        {
            EXPECT_EQ(container->ChainCount(), 0u) << "the child continues the list's chain itself";
        }
        RenderFrames(20);
        EXPECT_EQ(container->ChainCount(), 0u) << "the list has ended";
        // The two children together are no single tone; what matters is the item after them.
        const std::vector<int> order = ToneOrder(Left());
        ASSERT_FALSE(order.empty());
        EXPECT_EQ(order.back(), 2) << "the list goes on after the switch";
        if (c.oneChild)
        {
            EXPECT_EQ(order, (std::vector<int>{0, 2}));
        }
    }
}

// A play that continues the item before it (as a sequence's next item does) joins that item's
// fade and pause: started half-way through the item's one-second fade-in, the next item rises with
// it instead of starting at full level; started while the item is paused, it waits paused with it.
TEST_F(HeardContinuousPlaylist, AContinuedPlayJoinsTheFadeAndThePauseOfTheItemBefore)
{
    using namespace ZK::SoundEngine;
    const std::string extra = R"(
                {"type": "action", "id": 334, "action": "play", "target": 220, "props": {"fade_time": 1000}},
                {"type": "event", "id": 934, "actions": [334]},
                {"type": "action", "id": 335, "action": "pause", "target": 240},
                {"type": "event", "id": 935, "actions": [335]},
                {"type": "action", "id": 336, "action": "resume", "target": 240},
                {"type": "event", "id": 936, "actions": [336]},)";
    ASSERT_NO_FATAL_FAILURE(WriteBank(R"("loop_count": 1)", 96000, extra));
    ASSERT_NO_FATAL_FAILURE(StartWithBank());
    // Plays sound 221 as the continuation of the instance of 220.
    const auto continueWith221 = [](CZkPlayingInstance& before) {
        auto* next = dynamic_cast<CZkPlayableNode*>(
            static_cast<CZkHierarchyNode*>(g_pObjectIndex->GetNodePtrAndAddRef(221, false)));
        ASSERT_NE(next, nullptr);
        PlayLaunchParams launch;
        launch.gameObject = before.GameObject();
        launch.playingID = before.PlayingID();
        launch.playChain = CZkPlayChain::Create();
        launch.handedFade = before.FadeTransition();
        launch.handedPause = before.PauseTransition();
        launch.handedPauseCount = before.PauseCount();
        EXPECT_EQ(next->Launch(launch), ZK_Success);
        ZkVoiceLists::IncrementLaunchCounter();
        launch.FreeArrays();
        next->Release();
    };

    ASSERT_NE(PostEvent(934, kEmitter), 0u);
    RenderFrames(24); // half-way through the fade-in
    CZkPlayingInstance* before = InstanceOf<CZkPlayingInstance>(220);
    ASSERT_NE(before, nullptr);
    ASSERT_NE(before->FadeTransition(), nullptr) << "the item is fading in";
    const size_t launched = Left().size();
    ASSERT_NO_FATAL_FAILURE(continueWith221(*before));
    RenderFrames(8);
    std::vector<float> left = Left();
    // Both tones rise together: in every window the next item is as loud as the item before.
    for (size_t start = launched + 2 * kFrames; start + kWindow <= left.size(); start += kWindow)
    {
        const double first = ToneAmplitude(left, start, kHz[0]);
        EXPECT_GT(first, 0.05);
        EXPECT_NEAR(ToneAmplitude(left, start, kHz[1]), first, 0.1 * first) << "at " << start;
    }
    StopAll();
    RenderFrames(3);

    captured.clear();
    ASSERT_NE(PostEvent(934, kEmitter), 0u);
    RenderFrames(50); // the fade-in is over
    ASSERT_NE(PostEvent(935, kEmitter), 0u);
    RenderFrames(2);
    before = InstanceOf<CZkPlayingInstance>(220);
    ASSERT_NE(before, nullptr);
    ASSERT_TRUE(before->IsPaused());
    ASSERT_NO_FATAL_FAILURE(continueWith221(*before));
    captured.clear();
    RenderFrames(10);
    EXPECT_TRUE(Bursts(Left()).empty()) << "the next item played while the item before was paused";
    ASSERT_NE(PostEvent(936, kEmitter), 0u);
    captured.clear();
    RenderFrames(10);
    left = Left();
    EXPECT_GT(ToneAmplitude(left, left.size() - kWindow, kHz[0]), 0.2);
    EXPECT_GT(ToneAmplitude(left, left.size() - kWindow, kHz[1]), 0.2) << "the next item resumes with the item before";
    StopAll();
    RenderFrames(3);
}

// A continuous playlist below 32 levels of step playlists: its level lies too deep for the path to
// record, and no level above it is continuous, so its items' instances keep a path of depth 0. The
// next item is found all the same and nothing is written outside the path.
TEST_F(HeardContinuousPlaylist, AContinuousPlaylistBelowThirtyTwoLevelsPlaysOn)
{
    std::string nested;
    for (ZkUniqueID level = 0; level < 32; ++level)
    {
        const ZkUniqueID child = level == 31 ? kPlaylist : 401 + level;
        nested += R"(
                {"type": "playlist", "id": )" + std::to_string(400 + level) + R"(, "children": [)" +
                  std::to_string(child) + "]},";
    }
    ASSERT_NO_FATAL_FAILURE(WriteBank(R"("loop_count": 1)", 2400, nested, "[220, 221, 222]", 400));
    ASSERT_NO_FATAL_FAILURE(StartWithBank());
    ASSERT_NE(PostEvent(kEvent, kEmitter), 0u);
    RenderFrames(12);
    EXPECT_EQ(ToneOrder(Left()), (std::vector<int>{0, 1, 2}));
}

// A loop-count-0 playlist whose only child cannot start tries again no more than once a frame and
// leaves every tick.
TEST_F(HeardContinuousPlaylist, AChildThatCannotStartIsTriedAtMostOnceAFrame)
{
    ASSERT_NO_FATAL_FAILURE(WriteBank(R"("loop_count": 0)", 480, R"(
                {"type": "sound", "id": 223, "media": 129, "media_size": 960},)",
                                      "[223]"));
    ASSERT_NO_FATAL_FAILURE(StartWithBank());
    ASSERT_NE(PostEvent(kEvent, kEmitter), 0u);
    const uint32_t before = ZK::SoundEngine::CZkPlayableNode::StartedInstanceCount();
    RenderFrames(20);
    const uint32_t tries = ZK::SoundEngine::CZkPlayableNode::StartedInstanceCount() - before;
    EXPECT_GE(tries, 1u);
    // The post launches the playlist and its child; then the child once a frame at most.
    EXPECT_LE(tries, 20u + 2u);
    EXPECT_TRUE(Bursts(Left()).empty());
    StopAll();
    RenderFrames(3);
}
} // namespace
