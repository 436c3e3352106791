// Dynamic sequences heard through the running engine (offline rendering, the capture of the main
// output): each item is a tone burst of its own frequency, so the capture tells which item played
// when; the game's callback hears each item's end and the sequence's end.
#include "SDK/source/SoundEngine/ZkAudiolib/Common/Renderer/FirstSoundFixture.h"

#include "ZkAudiolib/Common/FrontEnd/EngineLock.h"
#include "ZkAudiolib/Common/GameObjects/CZkRegisteredObj.h"
#include "ZkAudiolib/Common/GameObjects/CZkRegistryMgr.h"
#include "ZkAudiolib/Common/ObjectIndex/ObjectIndex.h"

#include <ZK/SoundEngine/Common/ZkDynamicDialogue.h>
#include <ZK/SoundEngine/Common/ZkDynamicSequence.h>
#include <ZK/SoundEngine/Common/ZkMemoryMgr.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <mutex>
#include <thread>

namespace
{
using namespace ZkFirstSoundTest;
namespace Sequence = ZK::SoundEngine::DynamicSequence;

constexpr uint32_t kItemFrames = 4800; // 100 ms
const uint32_t kHz[] = {500, 1000, 2000};
constexpr ZkUniqueID kSounds[] = {220, 221, 222};
int g_info[3];

struct Burst
{
    size_t first;
    size_t last;
};

struct Heard
{
    std::mutex lock;
    std::condition_variable changed;
    std::vector<std::pair<ZkUniqueID, void*>> items;
    uint32_t ends = 0;
    bool endAfterItems = true;
};

void RecordHeard(ZkCallbackType type, ZkCallbackInfo* info)
{
    auto& heard = *static_cast<Heard*>(info->cookie);
    std::lock_guard guard(heard.lock);
    if (type == ZkCallbackType_SequenceItemEnd)
    {
        const auto* item = static_cast<ZkSequenceItemCallbackInfo*>(info);
        heard.items.emplace_back(item->audioNodeID, item->customInfo);
        heard.endAfterItems = heard.endAfterItems && heard.ends == 0;
    }
    else if (type == ZkCallbackType_EndOfEvent)
    {
        ++heard.ends;
    }
    heard.changed.notify_all();
}

class HeardDynamicSequence : public FirstSound
{
protected:
    // Three sounds of kItemFrames samples at 500, 1000 and 2000 Hz on the Effects bus.
    void StartWithBank()
    {
        std::string media;
        for (uint32_t i = 0; i < 3; ++i)
        {
            media += (i != 0 ? ", " : "") + std::string(R"({"id": )") + std::to_string(120 + i) +
                     R"(, "wave": {"rate": 48000, "channels": 1, "frames": )" + std::to_string(kItemFrames) +
                     R"(, "parts": [{"tone": )" + std::to_string(kHz[i]) + R"(, "amp": 0.5}]}})";
        }
        const std::string bank = R"({"name": "HeardSequence.bnk", "media": [)" + media + R"(],
            "chunks": [{"tag": "BKHD"}, {"tag": "DIDX"}, {"tag": "DATA"}, {"tag": "HIRC", "items": [
                {"type": "sound", "id": 220, "media": 120},
                {"type": "sound", "id": 221, "media": 121},
                {"type": "sound", "id": 222, "media": 122},
                {"type": "group", "id": 240, "bus": "Effects", "children": [220, 221, 222]},
                {"type": "dialogue_event", "id": "Greeting", "arguments": ["Speaker", "Line"],
                 "tree": {"Anna": {"Hello": 220, "Bye": 222}, "Ben": {"Hello": 221}}}]}]})";
        ASSERT_NO_FATAL_FAILURE(WriteBankFile("HeardSequence.bnk", bank));
        ASSERT_NO_FATAL_FAILURE(Start());
        ZkBankID id = 0;
        ASSERT_EQ(LoadBank("HeardSequence.bnk", id), ZK_Success);
    }

    ZkPlayingID OpenWithItems(Sequence::DynamicSequenceType type, const std::vector<uint32_t>& items)
    {
        const ZkPlayingID id = Sequence::Open(kEmitter, ZkCallbackType_SequenceItemEnd | ZkCallbackType_EndOfEvent,
                                              &RecordHeard, &m_heard, type);
        EXPECT_NE(id, 0u);
        Sequence::Playlist* playlist = Sequence::LockPlaylist(id);
        EXPECT_NE(playlist, nullptr);
        if (playlist == nullptr)
            return id;
        for (uint32_t item : items)
            EXPECT_EQ(playlist->Enqueue(kSounds[item], 0, &g_info[item]), ZK_Success);
        EXPECT_EQ(Sequence::UnlockPlaylist(id), ZK_Success);
        return id;
    }

    std::vector<float> Left() const
    {
        std::vector<float> left;
        for (size_t i = 0; i < captured.size(); i += channels)
            left.push_back(captured[i]);
        return left;
    }

    // Runs of sound separated by at least gap silent samples.
    static std::vector<Burst> Bursts(const std::vector<float>& left, size_t gap = 32)
    {
        std::vector<Burst> bursts;
        size_t quiet = gap;
        for (size_t i = 0; i < left.size(); ++i)
        {
            if (std::fabs(left[i]) < 1e-6f)
            {
                ++quiet;
                continue;
            }
            if (quiet >= gap || bursts.empty())
                bursts.push_back({i, i});
            bursts.back().last = i;
            quiet = 0;
        }
        return bursts;
    }

    // The tone of a stretch of sound, by its zero crossings (-1: none of the three).
    static int ToneOf(const std::vector<float>& left, size_t first, size_t last)
    {
        uint32_t crossings = 0;
        for (size_t i = first + 1; i <= last; ++i)
            crossings += (left[i - 1] < 0.0f) != (left[i] < 0.0f) ? 1u : 0u;
        const double seconds = static_cast<double>(last - first + 1) / kRate;
        for (int tone = 0; tone < 3; ++tone)
        {
            const double expected = 2.0 * kHz[tone] * seconds;
            if (std::fabs(crossings - expected) <= expected * 0.1)
                return tone;
        }
        return -1;
    }

    std::vector<std::pair<ZkUniqueID, void*>> HeardItems()
    {
        std::lock_guard guard(m_heard.lock);
        return m_heard.items;
    }

    Heard m_heard;
};

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
