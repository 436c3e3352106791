// Dynamic sequences heard through the running engine: sample-accurate runs on one voice, normal
// runs item after item, dialogue lines, closed sequences freed, and a game thread filling the
// playlist while the engine plays it.
#include "SDK/source/SoundEngine/ZkAudiolib/Common/DynamicSequence/HeardSequenceFixture.h"

#include "ZkAudiolib/Common/GameObjects/CZkRegisteredObj.h"
#include "ZkAudiolib/Common/GameObjects/CZkRegistryMgr.h"
#include "ZkAudiolib/Common/ObjectIndex/ObjectIndex.h"

#include <ZK/SoundEngine/Common/ZkDynamicDialogue.h>
#include <ZK/SoundEngine/Common/ZkMemoryMgr.h>

#include <atomic>
#include <chrono>
#include <thread>

namespace
{
using namespace ZkHeardSequenceTest;

// Type 0: each item's source follows the one before on its voice: A sounds for exactly its
// length from the start latency on and B from the very next sample, C likewise; a sine fitted to
// each item's stretch leaves no residual above -60 dB, which a sample missing or repeated at a
// boundary would (one sample of the wrong tone alone gives about -33 dB).
TEST_F(HeardDynamicSequence, ASampleAccurateSequenceJoinsItsItemsWithoutAGap)
{
    ASSERT_NO_FATAL_FAILURE(StartWithBank());
    const ZkPlayingID id = OpenWithItems(Sequence::DynamicSequenceType_SampleAccurate, {0, 1, 2});
    ASSERT_EQ(Sequence::Play(id), ZK_Success);
    ASSERT_EQ(Sequence::Close(id), ZK_Success);
    RenderFrames(3);
    EXPECT_EQ(VoiceCount(), 1u) << "the next item waits on the voice of the one playing";
    RenderFrames(27);
    const std::vector<float> left = Left();
    const std::vector<Burst> bursts = Bursts(left);
    std::string heard;
    for (const Burst& burst : bursts)
        heard += " [" + std::to_string(burst.first) + ", " + std::to_string(burst.last) + "]";
    ASSERT_EQ(bursts.size(), 1u) << "no silence between the items; heard" << heard;
    // The first tone starts at phase 0: its first sample is silent.
    EXPECT_EQ(bursts[0].first, kStartLatency + 1);
    EXPECT_EQ(bursts[0].last - bursts[0].first + 2, 3u * kItemFrames);
    ASSERT_GE(left.size(), kStartLatency + 3 * kItemFrames);
    for (uint32_t item = 0; item < 3; ++item)
    {
        SCOPED_TRACE(item);
        const size_t start = kStartLatency + item * kItemFrames;
        EXPECT_EQ(ToneOf(left, start + 10, start + kItemFrames - 10), static_cast<int>(item));
        EXPECT_LT(FitResidualDb(left, start, kItemFrames, kHz[item]), -60.0);
    }
    const std::vector<std::pair<ZkUniqueID, void*>> expected = {
        {kSounds[0], &g_info[0]}, {kSounds[1], &g_info[1]}, {kSounds[2], &g_info[2]}};
    EXPECT_EQ(HeardItems(), expected);
    EXPECT_EQ(VoiceCount(), 0u);
    std::lock_guard guard(m_heard.lock);
    EXPECT_EQ(m_heard.ends, 1u);
    EXPECT_TRUE(m_heard.endAfterItems);
}

// Type 0 with a stereo item between mono ones: a source of another channel layout cannot continue
// the block, so it starts on its voice at the next frame; the gap is the rest of the frame in which
// the item before ended.
TEST_F(HeardDynamicSequence, ASampleAccurateItemOfAnotherLayoutStartsAtTheNextFrame)
{
    ASSERT_NO_FATAL_FAILURE(StartWithBank());
    const ZkPlayingID id = OpenWithItems(Sequence::DynamicSequenceType_SampleAccurate, {0, 3, 1});
    ASSERT_EQ(Sequence::Play(id), ZK_Success);
    ASSERT_EQ(Sequence::Close(id), ZK_Success);
    RenderFrames(30);
    const std::vector<float> left = Left();
    const std::vector<Burst> bursts = Bursts(left);
    ASSERT_EQ(bursts.size(), 3u);
    const int tones[] = {0, 3, 1};
    size_t expectedFirst = kStartLatency;
    for (size_t i = 0; i < bursts.size(); ++i)
    {
        SCOPED_TRACE(i);
        // Every tone starts at phase 0: its first sample is silent.
        EXPECT_EQ(bursts[i].first, expectedFirst + 1);
        EXPECT_EQ(bursts[i].last - bursts[i].first + 2, kItemFrames);
        EXPECT_EQ(ToneOf(left, bursts[i].first, bursts[i].last), tones[i]);
        const size_t end = bursts[i].last + 1;
        expectedFirst = (end + kFrames - 1) / kFrames * kFrames;
    }
    const std::vector<std::pair<ZkUniqueID, void*>> expected = {
        {kSounds[0], &g_info[0]}, {kSounds[3], &g_info[3]}, {kSounds[1], &g_info[1]}};
    EXPECT_EQ(HeardItems(), expected);
    std::lock_guard guard(m_heard.lock);
    EXPECT_EQ(m_heard.ends, 1u);
}

// Type 0 stopped while its next item waits on the voice of the one playing: the voice goes, the
// waiting item never sounds, and both items' ends are reported (the sequence's end follows).
TEST_F(HeardDynamicSequence, AStoppedSampleAccurateSequenceEndsTheItemWaitingOnItsVoice)
{
    ASSERT_NO_FATAL_FAILURE(StartWithBank());
    const ZkPlayingID id = OpenWithItems(Sequence::DynamicSequenceType_SampleAccurate, {0, 1, 2});
    ASSERT_EQ(Sequence::Play(id), ZK_Success);
    RenderFrames(3);
    ASSERT_EQ(VoiceCount(), 1u);
    ASSERT_EQ(Sequence::Stop(id), ZK_Success);
    ASSERT_EQ(Sequence::Close(id), ZK_Success);
    RenderFrames(12);
    const std::vector<float> left = Left();
    const std::vector<Burst> bursts = Bursts(left);
    ASSERT_EQ(bursts.size(), 1u);
    EXPECT_LT(bursts[0].last - bursts[0].first + 1, kItemFrames) << "the first item is cut";
    EXPECT_EQ(ToneOf(left, bursts[0].first, bursts[0].last), 0);
    // The stop reaches the latest item (the one waiting) before the one before it.
    const std::vector<std::pair<ZkUniqueID, void*>> expected = {{kSounds[1], &g_info[1]}, {kSounds[0], &g_info[0]}};
    EXPECT_EQ(HeardItems(), expected);
    EXPECT_EQ(VoiceCount(), 0u);
    std::lock_guard guard(m_heard.lock);
    EXPECT_EQ(m_heard.ends, 1u);
}

// Type 1: each item starts once the one before is gone, on a frame boundary after its last
// sample; the gap this measures is the rest of that frame and the next item's start lead (at most
// three frames here).
TEST_F(HeardDynamicSequence, ANormalSequencePlaysItsItemsInTurnAndReportsEachEndThenItsOwn)
{
    ASSERT_NO_FATAL_FAILURE(StartWithBank());
    const ZkPlayingID id = OpenWithItems(Sequence::DynamicSequenceType_NormalTransition, {0, 1, 2});
    ASSERT_EQ(Sequence::Play(id), ZK_Success);
    ASSERT_EQ(Sequence::Close(id), ZK_Success);
    RenderFrames(40);
    const std::vector<float> left = Left();
    const std::vector<Burst> bursts = Bursts(left);
    ASSERT_EQ(bursts.size(), 3u);
    for (size_t i = 0; i < bursts.size(); ++i)
    {
        SCOPED_TRACE(i);
        EXPECT_EQ(ToneOf(left, bursts[i].first, bursts[i].last), static_cast<int>(i));
        EXPECT_NEAR(static_cast<double>(bursts[i].last - bursts[i].first + 1), kItemFrames, 4.0)
            << "every item plays whole";
        if (i == 0)
            continue;
        const size_t gap = bursts[i].first - bursts[i - 1].last - 1;
        EXPECT_GT(gap, 0u) << "the next item starts only after the one before is gone";
        EXPECT_LE(gap, 3u * kFrames);
    }
    const std::vector<std::pair<ZkUniqueID, void*>> expected = {
        {kSounds[0], &g_info[0]}, {kSounds[1], &g_info[1]}, {kSounds[2], &g_info[2]}};
    EXPECT_EQ(HeardItems(), expected);
    std::lock_guard guard(m_heard.lock);
    EXPECT_EQ(m_heard.ends, 1u) << "the closed sequence ends once";
    EXPECT_TRUE(m_heard.endAfterItems) << "after its last item";
}

// A stopped item of a normal sequence starts nothing, but its end is still reported.
TEST_F(HeardDynamicSequence, AStoppedItemOfANormalSequenceStartsNothingButIsReported)
{
    ASSERT_NO_FATAL_FAILURE(StartWithBank());
    const ZkPlayingID id = OpenWithItems(Sequence::DynamicSequenceType_NormalTransition, {0, 1});
    ASSERT_EQ(Sequence::Play(id), ZK_Success);
    RenderFrames(2);
    ASSERT_EQ(Sequence::Stop(id), ZK_Success);
    RenderFrames(12);
    EXPECT_EQ(Bursts(Left()).size(), 1u);
    const std::vector<std::pair<ZkUniqueID, void*>> expected = {{kSounds[0], &g_info[0]}};
    EXPECT_EQ(HeardItems(), expected);
    ZkUniqueID node = 1;
    void* info = nullptr;
    ASSERT_EQ(Sequence::GetPlayingItem(id, node, info), ZK_Success);
    EXPECT_EQ(node, 0u);
    ASSERT_EQ(Sequence::Close(id), ZK_Success);
    RenderFrames(2);
}
// Dialogue to sequence: the audio nodes that (speaker, line) paths resolve to are played in the
// order the game queued them.
TEST_F(HeardDynamicSequence, DialogueLinesResolvedIntoThePlaylistAreHeardInOrder)
{
    ASSERT_NO_FATAL_FAILURE(StartWithBank());
    const char* const lines[][2] = {{"Ben", "Hello"}, {"Anna", "Bye"}, {"Anna", "Hello"}};
    const ZkPlayingID id = Sequence::Open(kEmitter, 0, nullptr, nullptr, Sequence::DynamicSequenceType_NormalTransition);
    ASSERT_NE(id, 0u);
    // Resolved before the playlist is locked: a resolution takes the engine's lock, which the
    // engine holds while it takes the playlist's.
    std::vector<ZkUniqueID> nodes;
    for (const auto& line : lines)
    {
        const char* path[] = {line[0], line[1]};
        nodes.push_back(ZK::SoundEngine::DynamicDialogue::ResolveDialogueEvent("Greeting", path, 2));
        EXPECT_NE(nodes.back(), 0u) << line[0] << " " << line[1];
    }
    Sequence::Playlist* playlist = Sequence::LockPlaylist(id);
    ASSERT_NE(playlist, nullptr);
    for (const ZkUniqueID node : nodes)
        EXPECT_EQ(playlist->Enqueue(node), ZK_Success);
    ASSERT_EQ(Sequence::UnlockPlaylist(id), ZK_Success);
    ASSERT_EQ(Sequence::Play(id), ZK_Success);
    ASSERT_EQ(Sequence::Close(id), ZK_Success);
    RenderFrames(40);
    const std::vector<float> left = Left();
    std::vector<int> tones;
    for (const Burst& burst : Bursts(left))
        tones.push_back(ToneOf(left, burst.first, burst.last));
    EXPECT_EQ(tones, (std::vector<int>{1, 2, 0}));
}
// Closed sequences are freed once their items are done: none stays in the object index, their game
// object is no longer held, and the engine's memory is back where it was.
TEST_F(HeardDynamicSequence, OpenedPlayedAndClosedSequencesLeaveNothingBehind)
{
    ASSERT_NO_FATAL_FAILURE(StartWithBank());
    RenderFrames(2);
    int64_t blocks = 0;
    for (int index = 0; index < 200; ++index)
    {
        // The first hundred let the engine's tables grow to what the run needs.
        if (index == 100)
        {
            RenderFrames(12);
            blocks = EngineBlocks();
        }
        const ZkPlayingID id = OpenWithItems(Sequence::DynamicSequenceType_NormalTransition, {static_cast<uint32_t>(index % 3)});
        ASSERT_EQ(Sequence::Play(id), ZK_Success);
        ASSERT_EQ(Sequence::Close(id), ZK_Success);
        if (index % 10 == 9)
            RenderFrames(2);
    }
    RenderFrames(12);
    {
        ZK::Platform::ZkScopedLock guard(ZK::SoundEngine::g_EngineLock);
        EXPECT_EQ(ZK::SoundEngine::g_pObjectIndex->Table(ZK::SoundEngine::ZkIndexKind::DynamicSequences).Length(), 0u);
        const ZK::SoundEngine::CZkRegisteredObj* object = ZK::SoundEngine::g_pRegistryMgr->GetObj(kEmitter);
        ASSERT_NE(object, nullptr);
        EXPECT_FALSE(object->IsActive()) << "no sequence holds the game object";
    }
    EXPECT_EQ(HeardItems().size(), 200u);
    EXPECT_EQ(EngineBlocks(), blocks);
}
class ThreadedDynamicSequence : public HeardDynamicSequence
{
};

// The game thread locks the playlist, appends an item and unlocks, again and again, while another
// thread renders (and so ticks the engine, which pops the items under the same lock): every item
// plays once, in order, and the closed sequence ends once.
TEST_F(ThreadedDynamicSequence, AGameThreadFillsThePlaylistWhileTheEnginePlaysIt)
{
    constexpr uint32_t kItems = 24;
    static int items[kItems];
    ASSERT_NO_FATAL_FAILURE(StartWithBank());
    const ZkPlayingID id = OpenWithItems(Sequence::DynamicSequenceType_NormalTransition, {});
    ASSERT_EQ(Sequence::Play(id), ZK_Success);
    std::atomic<bool> rendering{true};
    std::thread renderer([&] {
        ZK::MemoryMgr::InitForThread(); // as every thread of the engine
        while (rendering.load())
            (void)RenderAudio(true);
        ZK::MemoryMgr::TermForThread();
    });
    for (uint32_t index = 0; index < kItems; ++index)
    {
        Sequence::Playlist* playlist = Sequence::LockPlaylist(id);
        ASSERT_NE(playlist, nullptr);
        EXPECT_EQ(playlist->Enqueue(kSounds[index % 3], 0, &items[index]), ZK_Success);
        EXPECT_EQ(Sequence::UnlockPlaylist(id), ZK_Success);
        std::this_thread::yield();
    }
    {
        std::unique_lock guard(m_heard.lock);
        EXPECT_TRUE(m_heard.changed.wait_for(guard, std::chrono::seconds(60),
                                             [&] { return m_heard.items.size() >= kItems; }));
    }
    ASSERT_EQ(Sequence::Close(id), ZK_Success);
    {
        std::unique_lock guard(m_heard.lock);
        EXPECT_TRUE(m_heard.changed.wait_for(guard, std::chrono::seconds(60), [&] { return m_heard.ends != 0; }));
    }
    rendering.store(false);
    renderer.join();
    std::vector<std::pair<ZkUniqueID, void*>> expected;
    for (uint32_t index = 0; index < kItems; ++index)
        expected.emplace_back(kSounds[index % 3], &items[index]);
    EXPECT_EQ(HeardItems(), expected);
    std::lock_guard guard(m_heard.lock);
    EXPECT_EQ(m_heard.ends, 1u);
}
} // namespace
