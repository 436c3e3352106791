// The media index: the copies that loaded banks and the game bring, which one a source gets, the
// references that keep entries and banks alive, prepared copies, growth of the table and of the
// copy lists, and the refusal of bank entries that reach past their data.
#include "BankManagerFixture.h"

#include "ZkAudiolib/Common/Hierarchy/ZkMediaRef.h"

#include "MemoryMgr/ZkMemoryFaultInjection.h"

#include <ZK/SoundEngine/Common/ZkPluginCalls.h>

namespace
{
using namespace ZkBankManagerTest;
namespace Fault = ZK::MemoryMgr::FaultInjection;

class MediaIndexTest : public BankManagerTest
{
protected:
    void SetUp() override
    {
        BankManagerTest::SetUp();
        StartManager();
    }

    // The media handed out for the id, given back at once (its bank reference too).
    ZkMediaBlock Peek(ZkUniqueID mediaID)
    {
        LoadedBank* holder = nullptr;
        const ZkMediaBlock block = m_manager->GetMedia(mediaID, holder);
        if (block.data != nullptr)
            m_manager->ReleaseMedia(mediaID);
        if (holder != nullptr)
            LoadedBank::Release(holder, false);
        return block;
    }

    static ZkMediaPreparation InMemory(ZkUniqueID mediaID, uint32_t size)
    {
        ZkMediaPreparation media;
        media.mediaID = mediaID;
        media.fileID = mediaID;
        media.inMemorySize = size;
        media.flags = kMediaKindInMemory << kMediaKindShift;
        return media;
    }
};

// The copy list of a media grows from 1 to 2 when a second bank brings it (a growth by half its
// capacity would stay at 1 and lose the second copy).
TEST_F(MediaIndexTest, TwoBanksHoldingOneMediaGiveItTwoCopiesAndUnloadingOneKeepsTheOther)
{
    const ZkBankID first = LoadCopy(MediaBank("First.bnk", {{100, 32}}, 1));
    const ZkBankID second = LoadCopy(MediaBank("Second.bnk", {{100, 32}}, 50));
    uint32_t references = 0;
    EXPECT_EQ(CopiesOf(100, &references), 2u);
    EXPECT_EQ(references, 2u);
    EXPECT_EQ(Peek(100).data[0], 50) << "the newest among equal sizes";
    ASSERT_EQ(UnloadBank(second, nullptr), ZK_Success);
    EXPECT_EQ(CopiesOf(100, &references), 1u);
    EXPECT_EQ(references, 1u);
    const ZkMediaBlock left = Peek(100);
    ASSERT_NE(left.data, nullptr);
    EXPECT_EQ(left.data[0], 1);
    EXPECT_EQ(left.memoryID, kNoMediaMemoryID);
    ASSERT_EQ(UnloadBank(first, nullptr), ZK_Success);
    EXPECT_EQ(m_manager->Media().Length(), 0u);
}

TEST_F(MediaIndexTest, TheLongerOfTwoCopiesIsHandedOut)
{
    LoadCopy(MediaBank("Full.bnk", {{100, 64}}, 1));
    LoadCopy(MediaBank("Prefetch.bnk", {{100, 16}}, 80));
    EXPECT_EQ(Peek(100).size, 64u) << "the full copy, though the prefetch is newer";
    EXPECT_EQ(Peek(100).data[0], 1);
    EXPECT_EQ(Peek(999).data, nullptr);
}

TEST_F(MediaIndexTest, TheGamesMediaCanBeUnsetOnlyWhenNoSourceReadsIt)
{
    uint8_t block[24] = {7};
    uint8_t other[24] = {9};
    ZkSourceSettings media[2] = {{300, block, sizeof(block)}, {301, other, sizeof(other)}};
    ASSERT_EQ(SetMedia(media, 2), ZK_Success);
    LoadedBank* holder = nullptr;
    const ZkMediaBlock used = m_manager->GetMedia(300, holder);
    EXPECT_EQ(used.data, block);
    EXPECT_EQ(holder, nullptr) << "a game copy has no bank";

    ZKRESULT results[3] = {ZK_NotImplemented, ZK_NotImplemented, ZK_NotImplemented};
    ZkSourceSettings tried[3] = {media[0], media[1], {302, other, sizeof(other)}};
    EXPECT_EQ(TryUnsetMedia(tried, 3, results), ZK_MediaInUse);
    EXPECT_EQ(results[0], ZK_MediaInUse);
    EXPECT_EQ(results[1], ZK_Success);
    EXPECT_EQ(results[2], ZK_NotImplemented) << "a media not in the index leaves its result unwritten";
    EXPECT_EQ(CopiesOf(300), 1u) << "left as it was";
    EXPECT_EQ(CopiesOf(301), 0u);

    EXPECT_EQ(UnsetMedia(media, 1), ZK_MediaInUse) << "its users are stopped";
    EXPECT_EQ(CopiesOf(300), 0u);
    m_manager->ReleaseMedia(300);
    EXPECT_EQ(m_manager->Media().Length(), 0u);
    EXPECT_EQ(UnsetMedia(media, 2), ZK_Success) << "nothing left to unset";
}

TEST_F(MediaIndexTest, SetMediaAddsAllItsRecordsOrNone)
{
    uint8_t block[8] = {};
    ZkSourceSettings media[3] = {{400, block, sizeof(block)}, {401, block, sizeof(block)}, {402, nullptr, 8}};
    EXPECT_EQ(SetMedia(media, 3), ZK_Fail);
    EXPECT_EQ(m_manager->Media().Length(), 0u);
    media[2] = {402, block, 0};
    EXPECT_EQ(SetMedia(media, 3), ZK_Fail) << "a size of 0";
    EXPECT_EQ(m_manager->Media().Length(), 0u);

    // Out of memory anywhere: what the records before it added goes again.
    Fault::CountOnly(ZkMemID_Default);
    ASSERT_EQ(SetMedia(media, 2), ZK_Success);
    const uint32_t allocations = Fault::CountedAllocations();
    Fault::Disarm();
    ASSERT_EQ(UnsetMedia(media, 2), ZK_Success);
    for (uint32_t nth = 1; nth <= allocations; ++nth)
    {
        Fault::FailNth(ZkMemID_Default, nth);
        const ZKRESULT result = SetMedia(media, 2);
        Fault::Disarm();
        if (result == ZK_Success)
            EXPECT_EQ(UnsetMedia(media, 2), ZK_Success) << nth;
        else
            EXPECT_EQ(result, ZK_InsufficientMemory) << nth;
        EXPECT_EQ(m_manager->Media().Length(), 0u) << nth;
    }
}

TEST_F(MediaIndexTest, TheTableGrowsToTheNextPrimeAboveNineTenthsFull)
{
    uint8_t block[4] = {};
    std::vector<ZkSourceSettings> media;
    for (ZkUniqueID id = 1; id <= 28; ++id)
        media.push_back({id, block, sizeof(block)});
    ASSERT_EQ(SetMedia(media.data(), 26), ZK_Success);
    EXPECT_EQ(m_manager->Media().BucketCount(), 29u);
    ASSERT_EQ(SetMedia(&media[26], 1), ZK_Success) << "made while 26 entries exist: 26 / 29 <= 0.9";
    EXPECT_EQ(m_manager->Media().BucketCount(), 29u);
    ASSERT_EQ(SetMedia(&media[27], 1), ZK_Success) << "made while 27 entries exist: 27 / 29 > 0.9";
    EXPECT_EQ(m_manager->Media().BucketCount(), 53u);
    EXPECT_EQ(UnsetMedia(media.data(), 28), ZK_Success);
}

// A memory view's "DIDX" entries are used in place: one that points past the data it names is
// refused before anything is registered.
TEST_F(MediaIndexTest, ABankEntryReachingPastItsDataIsRefused)
{
    struct Case
    {
        uint32_t offset;
        uint32_t size;
        ZKRESULT result;
    };
    const Case cases[] = {
        {0, 64, ZK_Success}, {32, 32, ZK_Success}, {33, 32, ZK_InvalidFile}, {0, 65, ZK_InvalidFile},
        {0xFFFFFFF0u, 0x20, ZK_InvalidFile}, // the sum overflows 32 bits
    };
    uint8_t data[64] = {};
    for (const Case& c : cases)
    {
        const ZkMediaEntry entries[2] = {{500, 0, 16}, {501, c.offset, c.size}};
        LoadedBank* bank = LoadedBank::Create(9, data);
        ASSERT_NE(bank, nullptr);
        bank->entries = reinterpret_cast<const uint8_t*>(entries);
        bank->entryCount = 2;
        bank->dataSize = sizeof(data);
        EXPECT_EQ(m_manager->RegisterBankMedia(data, *bank), c.result) << c.offset << " + " << c.size;
        if (c.result != ZK_Success)
        {
            EXPECT_EQ(bank->registeredMedia, 0u);
            EXPECT_EQ(m_manager->Media().Length(), 0u) << "nothing registered";
        }
        m_manager->ReleaseBankMedia(*bank);
        EXPECT_EQ(m_manager->Media().Length(), 0u);
        bank->entries = nullptr;
        bank->Destroy();
    }
}

TEST_F(MediaIndexTest, OutOfMemoryWhileLoadingLeavesNoBankAndNoMedia)
{
    const Bytes bank = MediaBank("Sweep.bnk", {{100, 16}, {101, 16}, {102, 16}});
    ZkBankID bankID = 0;
    Fault::CountOnly(ZkMemID_Default);
    ASSERT_EQ(LoadBankMemoryView(bank.data(), static_cast<uint32_t>(bank.size()), bankID), ZK_Success);
    const uint32_t allocations = Fault::CountedAllocations();
    Fault::Disarm();
    ASSERT_EQ(UnloadBank(bankID, bank.data()), ZK_Success);
    ASSERT_GT(allocations, 3u);
    for (uint32_t nth = 1; nth <= allocations; ++nth)
    {
        Fault::FailNth(ZkMemID_Default, nth);
        const ZKRESULT result = LoadBankMemoryView(bank.data(), static_cast<uint32_t>(bank.size()), bankID);
        Fault::Disarm();
        if (result == ZK_Success)
        {
            EXPECT_EQ(m_manager->Media().Length(), 3u) << nth;
            ASSERT_EQ(UnloadBank(bankID, bank.data()), ZK_Success);
        }
        else
            EXPECT_EQ(result, ZK_InsufficientMemory) << nth;
        EXPECT_EQ(m_manager->BankTable().Length(), 0u) << nth;
        EXPECT_EQ(m_manager->Media().Length(), 0u) << nth;
    }
}

TEST_F(MediaIndexTest, PreparingAMediaABankHoldsCopiesItWithoutReadingItsFile)
{
    // No stream manager: a file read would fail.
    const ZkBankID bankID = LoadCopy(MediaBank("Holds.bnk", {{100, 32}}, 5));
    ZkMediaRef node;
    node.Init();
    node.mediaID = 100;
    node.fileID = 100;
    node.mediaSize = 32;
    node.SetKind(kMediaKindInMemory);
    ASSERT_EQ(node.Prepare(), ZK_Success);
    const ZkMediaBlock prepared = Peek(100);
    EXPECT_EQ(prepared.memoryID, BankManager::kPreparedMediaMemID) << "the prepared copy comes first";
    EXPECT_EQ(prepared.data[0], 5);
    EXPECT_EQ(reinterpret_cast<uintptr_t>(prepared.data) % BankManager::kPreparedMediaAlignment, 0u);
    EXPECT_EQ(m_manager->LoadMediaEntry(InMemory(100, 32)), ZK_Success) << "prepared already";
    uint32_t references = 0;
    CopiesOf(100, &references);
    EXPECT_EQ(references, 3u) << "the bank and two preparations";

    ASSERT_EQ(UnloadBank(bankID, nullptr), ZK_Success);
    EXPECT_EQ(Peek(100).data[0], 5) << "the prepared copy outlives the bank";
    node.Unprepare();
    m_manager->ReleaseMediaReference(100);
    EXPECT_EQ(m_manager->Media().Length(), 0u);

    // A bank loaded after the preparation only takes a reference: its media is read prepared.
    uint8_t block[16] = {42};
    ZkSourceSettings game{600, block, sizeof(block)};
    ASSERT_EQ(SetMedia(&game, 1), ZK_Success);
    ASSERT_EQ(m_manager->LoadMediaEntry(InMemory(600, 16)), ZK_Success);
    ASSERT_EQ(UnsetMedia(&game, 1), ZK_MediaInUse) << "the preparation holds it";
    const ZkBankID later = LoadCopy(MediaBank("Later.bnk", {{600, 16}}, 9));
    EXPECT_EQ(CopiesOf(600, &references), 0u);
    EXPECT_EQ(references, 2u);
    EXPECT_EQ(Peek(600).data[0], 42);
    ASSERT_EQ(UnloadBank(later, nullptr), ZK_Success);
    m_manager->ReleaseMediaReference(600);
    EXPECT_EQ(m_manager->Media().Length(), 0u);
}

TEST_F(MediaIndexTest, MediaThatNeedNoPreparationAreLeftAlone)
{
    ZkMediaPreparation streamed = InMemory(700, 32);
    streamed.flags = kMediaKindOwned << kMediaKindShift;
    EXPECT_EQ(m_manager->LoadMediaEntry(streamed), ZK_Success);
    EXPECT_EQ(m_manager->LoadMediaEntry(InMemory(701, 0)), ZK_Success);
    EXPECT_EQ(m_manager->Media().Length(), 0u);
    streamed.flags |= kMediaFlagPrefetch;
    EXPECT_NE(m_manager->LoadMediaEntry(streamed), ZK_Success) << "a prefetch is read from its file: none here";
    EXPECT_EQ(m_manager->Media().Length(), 0u) << "nothing left behind";
}

TEST_F(MediaIndexTest, WhileCollectingPreparationsAreKeptSortedByFile)
{
    m_manager->SetCollectingMedia(true);
    for (int32_t file : {30, 10, 20})
    {
        ZkMediaRef media;
        media.Init();
        media.mediaID = static_cast<ZkUniqueID>(file + 1);
        media.fileID = file;
        media.mediaSize = 8;
        media.SetKind(kMediaKindInMemory);
        ASSERT_EQ(media.Prepare(), ZK_Success);
        media.Unprepare(); // nothing was loaded to give back
    }
    ASSERT_EQ(m_manager->CollectedMedia().Length(), 3u);
    EXPECT_EQ(m_manager->CollectedMedia()[0].fileID, 10u);
    EXPECT_EQ(m_manager->CollectedMedia()[1].fileID, 20u);
    EXPECT_EQ(m_manager->CollectedMedia()[2].fileID, 30u);
    EXPECT_EQ(m_manager->Media().Length(), 0u);
    m_manager->SetCollectingMedia(false);
    EXPECT_EQ(m_manager->CollectedMedia().Length(), 0u);
}
} // namespace
