// Prepared events over the standard banks: the media an event plays come into the media index as
// prepared copies read from their loose files (or copied from a loaded bank), the banks of its
// sounds are prepared structure-only, and everything goes again with the last unpreparation.
#include "PreparationFixture.h"

#include "SDK/source/SoundEngine/ZkAudiolib/Common/Containers/EngineMemoryFixture.h"

#include <set>
#include <sstream>

namespace
{
using namespace ZkPreparationTest;

class EventPreparation : public PreparationTest
{
protected:
    void ExpectNothingPrepared()
    {
        EXPECT_EQ(MediaCount(), 0u);
        EXPECT_EQ(FindBank("Sounds"), nullptr) << "the structure-only bank went with its last preparation";
        for (ZkUniqueID sound : {kSoundA, kSoundB, kSoundC, kSoundUnused})
            EXPECT_FALSE(NodeLoaded(sound)) << sound;
    }
};

// The media an event prepares, as prepared_media.py reads them from the banks' description.
std::set<ZkUniqueID> MediaOfEvent(const std::filesystem::path& descriptions, ZkUniqueID event)
{
    std::istringstream output(ZkEngineTest::RunPythonOracle(
        "SDK/source/SoundEngine/ZkAudiolib/Common/Preparation/prepared_media.py",
        "\"" + descriptions.string() + "\" " + std::to_string(event)));
    std::set<ZkUniqueID> media;
    for (unsigned long id = 0; output >> id;)
        media.insert(static_cast<ZkUniqueID>(id));
    return media;
}

TEST_F(EventPreparation, AnEventPreparesExactlyTheMediaItPlaysFromTheirLooseFiles)
{
    ASSERT_NO_FATAL_FAILURE(StartWithStandardBanks());
    // One sound, two (the collected array grows from empty), a chain, an event that plays itself.
    for (ZkUniqueID event : {kPlayOne, kPlayTwo, kPlayChain, kPlaysItself})
    {
        SCOPED_TRACE(event);
        const std::set<ZkUniqueID> expected = MediaOfEvent(m_folder.Path() / "description.json", event);
        ASSERT_FALSE(expected.empty());
        ASSERT_EQ(Prepare(event), ZK_Success);
        EXPECT_EQ(EventPreparations(event), 1u);
        EXPECT_EQ(MediaCount(), expected.size());
        for (ZkUniqueID media : expected)
            EXPECT_EQ(Prepared(media), LooseMedia(media)) << "read from " << media << ".oxm";
        ASSERT_NE(FindBank("Sounds"), nullptr);
        EXPECT_FALSE(FindBank("Sounds")->IsLoaded()) << "prepared, not loaded";
        EXPECT_TRUE(NodeLoaded(kSoundUnused)) << "the structure of the whole bank";
        ASSERT_EQ(Unprepare(event), ZK_Success);
        EXPECT_EQ(EventPreparations(event), 0u);
        ExpectNothingPrepared();
    }
}

TEST_F(EventPreparation, CountsPreparationsAndUndoesThemWithTheLast)
{
    ASSERT_NO_FATAL_FAILURE(StartWithStandardBanks());
    ASSERT_EQ(Prepare(kPlayOne), ZK_Success);
    ASSERT_EQ(Prepare(kPlayOne), ZK_Success);
    EXPECT_EQ(EventPreparations(kPlayOne), 2u);
    EXPECT_EQ(References(kMediaA), 1u) << "the second preparation only counts";
    ASSERT_EQ(Unprepare(kPlayOne), ZK_Success);
    EXPECT_EQ(Prepared(kMediaA), LooseMedia(kMediaA)) << "still prepared once";
    ASSERT_EQ(Unprepare(kPlayOne), ZK_Success);
    ExpectNothingPrepared();
    EXPECT_EQ(Unprepare(kPlayOne), ZK_Success) << "an event that is not prepared: nothing to do";
    EXPECT_EQ(Unprepare(kMissingEvent), ZK_InvalidID);
}

TEST_F(EventPreparation, AFailedPreparationLeavesNothingPrepared)
{
    ASSERT_NO_FATAL_FAILURE(StartWithStandardBanks());
    struct Row
    {
        const char* what;
        std::vector<ZkUniqueID> events;
        ZKRESULT result;
    };
    const Row rows[] = {
        {"the second event is not loaded", {kPlayOne, kMissingEvent}, ZK_InvalidID},
        {"a play-event action names an event that is not loaded", {kPlaysMissing}, ZK_Fail},
        {"an event not loaded alone", {kMissingEvent}, ZK_InvalidID},
        {"a null name hashes to 0", {0}, ZK_InvalidID},
    };
    for (const Row& row : rows)
    {
        SCOPED_TRACE(row.what);
        EXPECT_EQ(PrepareEvent(Preparation_Load, row.events.data(), static_cast<uint32_t>(row.events.size())),
                  row.result);
        for (ZkUniqueID event : row.events)
            EXPECT_EQ(EventPreparations(event), 0u);
        ExpectNothingPrepared();
    }
}

TEST_F(EventPreparation, AMissingOrShortLooseFileFailsThePreparation)
{
    ASSERT_NO_FATAL_FAILURE(StartWithStandardBanks());
    const Bytes loose = LooseMedia(kMediaB);
    RemoveFile("101.oxm");
    EXPECT_NE(Prepare(kPlayTwo), ZK_Success);
    ExpectNothingPrepared();
    WriteFile("101.oxm", Bytes(loose.begin(), loose.begin() + static_cast<std::ptrdiff_t>(loose.size() / 2)));
    EXPECT_EQ(Prepare(kPlayTwo), ZK_Fail) << "a short read";
    ExpectNothingPrepared();
}

TEST_F(EventPreparation, WithItsBankLoadedAnEventCopiesTheBanksMedia)
{
    ASSERT_NO_FATAL_FAILURE(StartWithStandardBanks());
    ZkBankID sounds = 0;
    ASSERT_EQ(LoadBank("Sounds.bnk", sounds), ZK_Success);
    RemoveFile("100.oxm"); // nothing is read from files
    ASSERT_EQ(Prepare(kPlayOne), ZK_Success);
    EXPECT_EQ(Prepared(kMediaA), BankCopy(kMediaA)) << "the bank's copy (its tone), not the loose file's";
    EXPECT_NE(Prepared(kMediaA), LooseMedia(kMediaB));
    LoadedBank* bank = FindBank("Sounds");
    ASSERT_NE(bank, nullptr);
    EXPECT_TRUE(bank->IsLoaded());
    EXPECT_EQ(bank->preparationCount.load(), 1) << "the loaded record gains the preparation";
    EXPECT_EQ(References(kMediaA), 2u) << "the bank's registration and the preparation";
    ASSERT_EQ(Unprepare(kPlayOne), ZK_Success);
    EXPECT_EQ(References(kMediaA), 1u) << "the bank's registration";
    EXPECT_FALSE(BankCopy(kMediaA).empty()) << "the loaded bank keeps its media";
    EXPECT_EQ(UnloadBank(sounds, nullptr), ZK_Success);
}

TEST_F(EventPreparation, ClearingPreparedEventsUndoesEveryPreparation)
{
    ASSERT_NO_FATAL_FAILURE(StartWithStandardBanks());
    ASSERT_EQ(Prepare(kPlayOne), ZK_Success);
    ASSERT_EQ(Prepare(kPlayOne), ZK_Success);
    ASSERT_EQ(Prepare(kPlayChain), ZK_Success);
    ASSERT_EQ(ClearPreparedEvents(), ZK_Success);
    EXPECT_EQ(EventPreparations(kPlayOne), 0u);
    EXPECT_EQ(EventPreparations(kPlayChain), 0u);
    ExpectNothingPrepared();
}
} // namespace

namespace
{
// A bank of a chain of events: event 3000 + i plays event 3000 + i + 1, the last plays sound A.
std::string ChainBank(uint32_t length)
{
    std::string items;
    for (uint32_t index = 0; index < length; ++index)
    {
        const uint32_t event = 3000 + index;
        const uint32_t action = 4000 + index;
        const bool last = index + 1 == length;
        items += (index != 0 ? ", " : "") +
                 (last ? R"({"type": "action", "id": )" + std::to_string(action) +
                             R"(, "action": "play", "target": 200, "bank": "Sounds"})"
                       : R"({"type": "action", "id": )" + std::to_string(action) +
                             R"(, "action": "post_event", "target": )" + std::to_string(event + 1) + "}") +
                 R"(, {"type": "event", "id": )" + std::to_string(event) + R"(, "actions": [)" +
                 std::to_string(action) + "]}";
    }
    // Events are read after the actions they list; the chain's later events are looked up when it
    // is prepared, so their order in the bank does not matter.
    return R"({"name": "Chain.bnk", "chunks": [{"tag": "BKHD"}, {"tag": "STID", "groups": [{"banks": [{"name": "Sounds"}]}]}, {"tag": "HIRC", "items": [)" +
           items + "]}]}";
}

TEST_F(EventPreparation, AChainOfEventsIsFollowedTo32EventsAndNoDeeper)
{
    ASSERT_NO_FATAL_FAILURE(StartWithStandardBanks());
    for (uint32_t length : {32u, 33u})
    {
        SCOPED_TRACE(length);
        ASSERT_NO_FATAL_FAILURE(WriteBanks(ChainBank(length)));
        ZkBankID chain = 0;
        ASSERT_EQ(LoadBank("Chain.bnk", chain), ZK_Success);
        const ZKRESULT prepared = Prepare(3000);
        if (length == 32)
        {
            ASSERT_EQ(prepared, ZK_Success);
            EXPECT_EQ(Prepared(kMediaA), LooseMedia(kMediaA));
            ASSERT_EQ(Unprepare(3000), ZK_Success);
        }
        else
            EXPECT_EQ(prepared, ZK_Fail) << "deeper than 32: taken for a runaway";
        ExpectNothingPrepared();
        ASSERT_EQ(UnloadBank(chain, nullptr), ZK_Success);
    }
}
} // namespace
