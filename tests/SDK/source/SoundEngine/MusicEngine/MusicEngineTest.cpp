// The music engine's entry points over an empty playing list, on the running engine (without its
// thread, rendering offline, so each RenderAudio renders one frame on the test's thread): what Init
// hooks in and what it refuses, the per-frame callback stopping at Term while the termination
// callback still runs at the engine's end, state changes applied at once, unknown playing ids, and
// banks holding music objects. The segment table on a clock the test moves.
#include "SDK/source/SoundEngine/ZkAudiolib/Common/Containers/EngineMemoryFixture.h"
#include "SDK/source/SoundEngine/ZkAudiolib/Common/Engine/EngineLifeFixture.h"
#include "SDK/source/SoundEngine/ZkAudiolib/Common/SoundFixtures.h"

#include "MemoryMgr/ZkMemoryFaultInjection.h"
#include "MusicEngine/CZkSegmentInfoTable.h"
#include "MusicEngine/MusicEngineHooks.h"
#include "MusicEngine/MusicEngineState.h"
#include "ZkAudiolib/Common/FrontEnd/EngineHooks.h"

#include <ZK/SoundEngine/Common/ZkBankCalls.h>
#include <ZK/SoundEngine/Common/ZkEngineControls.h>
#include <ZK/SoundEngine/Common/ZkGameSyncCalls.h>
#include <ZK/SoundEngine/Common/ZkMusicEngine.h>
#include <ZK/SoundEngine/Common/ZkQueryParameters.h>

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace
{
namespace Fault = ZK::MemoryMgr::FaultInjection;
using ZK::MusicEngine::CZkSegmentInfoTable;
using ZK::MusicEngine::MusicEngineState;

// --- The segment table, stamped by a clock of nanoseconds the test sets ---

int64_t g_nowNs = 0;
int64_t TestClock()
{
    return g_nowNs;
}
constexpr int64_t kNsPerSecond = 1'000'000'000;
constexpr int64_t kNsPerMs = 1'000'000;

ZkSegmentInfo Segment(int32_t position, int32_t preEntry, int32_t active, int32_t postExit)
{
    ZkSegmentInfo info;
    info.positionMs = position;
    info.preEntryDurationMs = preEntry;
    info.activeDurationMs = active;
    info.postExitDurationMs = postExit;
    info.beatDuration = 0.5f;
    return info;
}

bool SameRecord(const ZkSegmentInfo& a, const ZkSegmentInfo& b)
{
    return std::memcmp(&a, &b, sizeof(ZkSegmentInfo)) == 0;
}

class SegmentTableTest : public ZkEngineTest::EngineMemoryTest
{
protected:
    void SetUp() override
    {
        ZkEngineTest::EngineMemoryTest::SetUp();
        g_nowNs = 5 * kNsPerSecond;
    }
    void TearDown() override
    {
        m_table.Release();
        ZkEngineTest::EngineMemoryTest::TearDown();
    }
    CZkSegmentInfoTable m_table{&TestClock, kNsPerSecond};
};

TEST_F(SegmentTableTest, TheReadMovesThePositionOnByTheWholeMillisecondsSinceTheLastWrite)
{
    struct ReadCase
    {
        const char* label;
        ZkSegmentInfo written;
        bool extrapolate;
        int64_t elapsedNs;
        int32_t position;
    };
    const std::vector<ReadCase> cases = {
        {"an active duration", Segment(1000, 0, 5000, 0), true, 2'900'000, 1002},
        {"only a pre-entry duration", Segment(1000, 300, 0, 0), true, 7 * kNsPerMs, 1007},
        {"only a post-exit duration", Segment(-50, 0, 0, 40), true, 12 * kNsPerMs, -38},
        {"no positive duration", Segment(1000, 0, 0, 0), true, 12 * kNsPerMs, 1000},
        {"negative durations", Segment(1000, -5, -5, -5), true, 12 * kNsPerMs, 1000},
        {"extrapolation not asked for", Segment(1000, 0, 5000, 0), false, 12 * kNsPerMs, 1000},
        {"less than a millisecond", Segment(1000, 0, 5000, 0), true, 999'999, 1000},
    };
    for (const ReadCase& c : cases)
    {
        ASSERT_EQ(m_table.Add(7), ZK_Success) << c.label;
        m_table.Write(7, c.written);
        g_nowNs += c.elapsedNs;
        ZkSegmentInfo read;
        ASSERT_EQ(m_table.Read(7, read, c.extrapolate), ZK_Success) << c.label;
        EXPECT_EQ(read.positionMs, c.position) << c.label;
        ZkSegmentInfo expected = c.written;
        expected.positionMs = c.position;
        EXPECT_TRUE(SameRecord(read, expected)) << c.label << ": only the position moves";
    }
}

TEST_F(SegmentTableTest, EntriesAreAddedWrittenAndRemovedByPlayingId)
{
    for (ZkPlayingID id : {11u, 12u, 13u})
        ASSERT_EQ(m_table.Add(id), ZK_Success);
    m_table.Write(11, Segment(1, 1, 1, 1));
    m_table.Write(12, Segment(2, 2, 2, 2));
    m_table.Write(13, Segment(3, 3, 3, 3));
    m_table.Write(14, Segment(4, 4, 4, 4)); // no entry: nothing
    EXPECT_EQ(m_table.Count(), 3u);

    m_table.Remove(12);
    m_table.Remove(99);
    EXPECT_EQ(m_table.Count(), 2u);
    ZkSegmentInfo untouched = Segment(9, 9, 9, 9);
    ZkSegmentInfo read = untouched;
    EXPECT_EQ(m_table.Read(12, read, false), ZK_Fail);
    EXPECT_TRUE(SameRecord(read, untouched)) << "a missing entry leaves the record as it was";
    ASSERT_EQ(m_table.Read(11, read, false), ZK_Success);
    EXPECT_TRUE(SameRecord(read, Segment(1, 1, 1, 1)));
    ASSERT_EQ(m_table.Read(13, read, false), ZK_Success);
    EXPECT_TRUE(SameRecord(read, Segment(3, 3, 3, 3))) << "the later entry moved down with its record";

    // Adding an id that has an entry starts it again from zero, stamped now.
    ASSERT_EQ(m_table.Add(13), ZK_Success);
    g_nowNs += 50 * kNsPerMs;
    ASSERT_EQ(m_table.Read(13, read, true), ZK_Success);
    EXPECT_TRUE(SameRecord(read, ZkSegmentInfo{}));
    EXPECT_EQ(m_table.Count(), 2u);
}

TEST_F(SegmentTableTest, AnAddThatCannotGrowTheArrayChangesNothing)
{
    ASSERT_EQ(m_table.Add(1), ZK_Success);
    {
        Fault::ScopedAllocationFailure refused(ZkMemID_Default, 1);
        EXPECT_EQ(m_table.Add(2), ZK_InsufficientMemory);
    }
    EXPECT_EQ(m_table.Count(), 1u);
    ZkSegmentInfo read;
    EXPECT_EQ(m_table.Read(2, read, false), ZK_Fail);
    EXPECT_EQ(m_table.Read(1, read, false), ZK_Success);
}

// --- The music engine on the running engine ---

using ZK::SoundEngine::EngineHooks::GetBankUnloadHandler;
using ZK::SoundEngine::EngineHooks::GetHierarchyItemHandler;
using ZK::SoundEngine::EngineHooks::GetStateChangeHandler;

class MusicEngineTest : public ZkEngineLifeTest::EngineLifeTest
{
protected:
    void SetUp() override
    {
        EngineLifeTest::SetUp();
        ClearHooks();
        settings.engineThread = 0;
        ASSERT_EQ(ZK::SoundEngine::Init(&settings, &platformSettings), ZK_Success);
        ASSERT_EQ(ZK::SoundEngine::SetOfflineRendering(true), ZK_Success);
        ASSERT_EQ(ZK::SoundEngine::SetOfflineRenderingFrameTime(1024.0f / 48000.0f), ZK_Success);
        ZK::MusicEngine::GetDefaultInitSettings(m_music);
        m_engineBlocks = EngineBlocks();
    }
    void TearDown() override
    {
        ZK::MusicEngine::Term();
        EngineLifeTest::TearDown();
        ClearHooks();
    }

    // The hooks outlive the music engine; tests start without them.
    static void ClearHooks()
    {
        ZK::SoundEngine::EngineHooks::SetStateChangeHandler(nullptr);
        ZK::SoundEngine::EngineHooks::SetHierarchyItemHandler(nullptr);
        ZK::SoundEngine::EngineHooks::SetBankUnloadHandler(nullptr);
    }

    // Whether the per-frame callback ran in a frame: it takes up a speed-refresh request.
    static bool FrameCallbackRuns()
    {
        MusicEngineState::Get().RequestSpeedRefresh(3);
        EXPECT_EQ(ZK::SoundEngine::RenderAudio(true), ZK_Success);
        uint8_t value = 0;
        return !MusicEngineState::Get().TakeSpeedRefresh(value);
    }

    static bool HooksInstalled()
    {
        return GetStateChangeHandler() == &ZK::MusicEngine::ZkMusicStateChangeHook &&
               GetHierarchyItemHandler() == &ZK::MusicEngine::ZkMusicObjectFactoryHook &&
               GetBankUnloadHandler() == &ZK::MusicEngine::ZkMusicBankUnloadHook;
    }

    ZkMusicSettings m_music;
    int64_t m_engineBlocks = 0;
};

TEST_F(MusicEngineTest, InitHooksInAndAfterTermOnlyTheEnginesEndRunsTheTerminationCallback)
{
    EXPECT_EQ(m_music.lookAheadFactor, 1.0f);
    m_music.lookAheadFactor = 2.5f;
    ASSERT_EQ(ZK::MusicEngine::Init(&m_music), ZK_Success);
    EXPECT_TRUE(HooksInstalled());
    EXPECT_EQ(MusicEngineState::Get().LookAheadFactor(), 2.5f);
    EXPECT_TRUE(FrameCallbackRuns());
    EXPECT_EQ(ZK::MusicEngine::Init(nullptr), ZK_Fail) << "running already";
    EXPECT_EQ(MusicEngineState::Get().LookAheadFactor(), 2.5f);

    ZK::MusicEngine::Term();
    EXPECT_FALSE(FrameCallbackRuns());
    EXPECT_TRUE(MusicEngineState::Get().IsRunning()) << "released only at the engine's end";
    EXPECT_TRUE(HooksInstalled());

    ASSERT_EQ(CZkSegmentInfoTable::ProcessTable().Add(41), ZK_Success);
    ZK::SoundEngine::Term();
    EXPECT_FALSE(MusicEngineState::Get().IsRunning()) << "the termination callback ran";
    EXPECT_EQ(CZkSegmentInfoTable::ProcessTable().Count(), 0u);
    EXPECT_EQ(EngineBlocks(), 0) << "the record block and the table's array are freed";
    // The hooks find an empty music state: a state change is applied at once, no item is taken.
    EXPECT_FALSE(ZK::MusicEngine::ZkMusicStateChangeHook(1, 2));
    const uint8_t musicItem[5] = {11, 0, 0, 0, 0};
    EXPECT_EQ(ZK::MusicEngine::ZkMusicObjectFactoryHook(musicItem, nullptr, 0), ZK_PartialSuccess);
}

TEST_F(MusicEngineTest, WithoutItsRecordBlockInitRegistersNothing)
{
    {
        Fault::ScopedAllocationFailure refused(ZkMemID_Default, 1);
        EXPECT_EQ(ZK::MusicEngine::Init(&m_music), ZK_Fail);
    }
    EXPECT_FALSE(MusicEngineState::Get().IsRunning());
    EXPECT_EQ(GetStateChangeHandler(), nullptr);
    EXPECT_EQ(GetHierarchyItemHandler(), nullptr);
    EXPECT_EQ(GetBankUnloadHandler(), nullptr);
    EXPECT_FALSE(FrameCallbackRuns());
    EXPECT_EQ(EngineBlocks(), m_engineBlocks);
    EXPECT_EQ(ZK::MusicEngine::Init(&m_music), ZK_Success) << "a later start is whole";
}

TEST_F(MusicEngineTest, AStateChangeWithNoMusicPlayingIsAppliedAtOnce)
{
    ASSERT_EQ(ZK::MusicEngine::Init(&m_music), ZK_Success);
    // A state group with a transition time: the change is still applied in the frame it is made.
    const ZkSoundFixtures::Bytes bank = ZkSoundFixtures::WriteBank(
        R"({"name": "States.bnk", "chunks": [{"tag": "BKHD"}, {"tag": "STMG", "state_groups": [{"id": 5, "default_time": 100}]}]})");
    ZkBankID bankID = 0;
    ASSERT_EQ(ZK::SoundEngine::LoadBankMemoryCopy(bank.data(), static_cast<uint32_t>(bank.size()), bankID), ZK_Success);
    ASSERT_EQ(ZK::SoundEngine::SetState(5, 7), ZK_Success);
    ASSERT_EQ(ZK::SoundEngine::RenderAudio(true), ZK_Success);
    ZkUniqueID state = 0;
    ASSERT_EQ(ZK::SoundEngine::Query::GetState(5, state), ZK_Success);
    EXPECT_EQ(state, 7u);
    EXPECT_EQ(MusicEngineState::Get().PendingCount(), 0u) << "nothing held for a sync point";
}

TEST_F(MusicEngineTest, AnUnknownPlayingIdAnswers2AndLeavesTheRecord)
{
    ASSERT_EQ(ZK::MusicEngine::Init(&m_music), ZK_Success);
    ZkSegmentInfo info = Segment(5, 6, 7, 8);
    EXPECT_EQ(ZK::MusicEngine::GetPlayingSegmentInfo(12345, info, true), ZK_Fail);
    EXPECT_TRUE(SameRecord(info, Segment(5, 6, 7, 8)));
}

TEST_F(MusicEngineTest, AMalformedMusicObjectFailsItsBankWith7AndOtherHandlerItemsAreSkipped)
{
    ASSERT_EQ(ZK::MusicEngine::Init(&m_music), ZK_Success);
    const auto bank = [](const std::string& items, const std::string& name)
    {
        return ZkSoundFixtures::WriteBank(R"({"name": ")" + name + R"(", "chunks": [{"tag": "BKHD"}, {"tag": "HIRC", "items": [)" +
                                          items + "]}]}");
    };
    const ZkSoundFixtures::Bytes music = bank(R"({"type": 11, "id": 900, "hex": "0102030405"})", "Music.bnk");
    const ZkSoundFixtures::Bytes others =
        bank(R"({"type": 0, "id": 901, "hex": "01"}, {"type": 30, "id": 902, "hex": "0203"})", "Others.bnk");
    ZkBankID bankID = 0;
    EXPECT_EQ(ZK::SoundEngine::LoadBankMemoryCopy(music.data(), static_cast<uint32_t>(music.size()), bankID),
              ZK_InvalidFile);
    EXPECT_EQ(ZK::SoundEngine::LoadBankMemoryCopy(others.data(), static_cast<uint32_t>(others.size()), bankID),
              ZK_Success);
    EXPECT_EQ(ZK::SoundEngine::UnloadBank(bankID, nullptr), ZK_Success);
}
} // namespace
