// Prepared banks: PrepareBank with its media reads each media into a block of its own; the counts
// keep the bank until its last preparation; a loaded bank only gains the count; unloading and
// clearing leave prepared banks alone.
#include "PreparationFixture.h"

namespace
{
using namespace ZkPreparationTest;

class BankPreparation : public PreparationTest
{
protected:
    void SetUp() override
    {
        PreparationTest::SetUp();
        ASSERT_NO_FATAL_FAILURE(StartWithStandardBanks());
        m_slices = MediaSlices(FileBytes("Sounds.bnk"));
        ASSERT_EQ(m_slices.size(), 4u);
    }

    void ExpectMediaPrepared()
    {
        EXPECT_EQ(MediaCount(), m_slices.size());
        for (const auto& [id, slice] : m_slices)
        {
            EXPECT_EQ(Prepared(id), slice) << "media " << id << ": its \"DATA\" slice, in a block of its own";
            EXPECT_EQ(References(id), 1u);
        }
    }
    void ExpectBankGone()
    {
        EXPECT_EQ(FindBank("Sounds"), nullptr);
        EXPECT_EQ(MediaCount(), 0u);
        EXPECT_FALSE(NodeLoaded(kSoundA));
    }

    std::map<ZkUniqueID, Bytes> m_slices;
};

TEST_F(BankPreparation, WithItsMediaEachMediaIsABlockEqualToItsSlice)
{
    // The id, narrow and wide forms name the same bank.
    ASSERT_EQ(PrepareBank(Preparation_Load, "Sounds.bnk", ZkBankContent_All), ZK_Success);
    ExpectMediaPrepared();
    EXPECT_TRUE(NodeLoaded(kSoundA));
    const LoadedBank* bank = FindBank("Sounds");
    ASSERT_NE(bank, nullptr);
    EXPECT_EQ(bank->preparationCount.load(), 1);
    EXPECT_EQ(bank->structureCount, 1);
    EXPECT_EQ(bank->dataBlock, nullptr) << "no copy of the whole data";
    ASSERT_EQ(PrepareBank(Preparation_Unload, L"Sounds", ZkBankContent_All), ZK_Success);
    ExpectBankGone();
}

TEST_F(BankPreparation, StructureThenMediaReadsTheMediaOnceAndTheCountsKeepTheBank)
{
    const ZkBankID sounds = GetIDFromString("Sounds");
    ASSERT_EQ(PrepareBank(Preparation_Load, "Sounds", ZkBankContent_StructureOnly), ZK_Success);
    EXPECT_EQ(MediaCount(), 0u);
    EXPECT_TRUE(NodeLoaded(kSoundA));
    ASSERT_EQ(PrepareBank(Preparation_Load, "Sounds", ZkBankContent_All), ZK_Success);
    ExpectMediaPrepared();
    ASSERT_EQ(PrepareBank(Preparation_Load, "Sounds", ZkBankContent_All), ZK_Success);
    ExpectMediaPrepared(); // a third preparation finds the media prepared
    const LoadedBank* bank = FindBank("Sounds");
    ASSERT_NE(bank, nullptr);
    EXPECT_EQ(bank->preparationCount.load(), 3);
    EXPECT_EQ(bank->structureCount, 3);

    EXPECT_EQ(UnloadBank(sounds, nullptr), ZK_Fail) << "prepared, not loaded";
    EXPECT_EQ(ClearBanks(), ZK_Success);
    EXPECT_EQ(FindBank("Sounds"), bank) << "clearing the banks keeps the prepared ones";
    ASSERT_EQ(PrepareBank(Preparation_Unload, sounds), ZK_Success);
    ASSERT_EQ(PrepareBank(Preparation_Unload, sounds), ZK_Success);
    EXPECT_EQ(FindBank("Sounds"), bank) << "kept until the last preparation";
    ASSERT_EQ(PrepareBank(Preparation_Unload, sounds), ZK_Success);
    ExpectBankGone();
    EXPECT_EQ(PrepareBank(Preparation_Unload, sounds), ZK_Success) << "a bank that is not there";
}

TEST_F(BankPreparation, ALoadedBankGainsTheCountButNotItsMedia)
{
    ZkBankID sounds = 0;
    ASSERT_EQ(LoadBank("Sounds.bnk", sounds), ZK_Success);
    EXPECT_EQ(PrepareBank(Preparation_Load, sounds, ZkBankContent_StructureOnly), ZK_Success);
    EXPECT_EQ(PrepareBank(Preparation_Load, sounds, ZkBankContent_All), ZK_BankAlreadyLoaded);
    LoadedBank* bank = FindBank("Sounds");
    ASSERT_NE(bank, nullptr);
    EXPECT_EQ(bank->preparationCount.load(), 2);
    EXPECT_TRUE(Prepared(kMediaA).empty()) << "the loaded bank's copies serve";
    ASSERT_EQ(UnloadBank(sounds, nullptr), ZK_Success);
    EXPECT_EQ(FindBank("Sounds"), nullptr) << "the unload takes it out of the table";
}

TEST_F(BankPreparation, AMediaIndexThatTheStreamCannotFollowOrThatLeavesTheDataFails)
{
    ASSERT_NO_FATAL_FAILURE(WriteBanks(StandardBanks(), true));
    const struct
    {
        const char* file;
        ZKRESULT result;
    } rows[] = {
        {"Sounds.didx_out_of_order.bnk", ZK_InvalidFile}, // an entry behind the reader's position
        {"Sounds.didx_offset_at_end.bnk", ZK_InvalidFile},
        {"Sounds.didx_size_past_data.bnk", ZK_InvalidFile},
        {"Sounds.cut_body_2_DATA.bnk", ZK_Fail}, // a media read short
        {"Sounds.size_huge_2_DATA.bnk", ZK_Fail},
    };
    for (const auto& row : rows)
    {
        SCOPED_TRACE(row.file);
        EXPECT_EQ(PrepareBank(Preparation_Load, row.file, ZkBankContent_All), row.result);
        EXPECT_EQ(Manager().BankTable().Length(), 2u) << "the buses and the events only";
        EXPECT_EQ(MediaCount(), 0u);
        EXPECT_FALSE(NodeLoaded(kSoundA));
    }
    // With the media already in the index, the entries' order does not matter: nothing is read.
    ZkBankID sounds = 0;
    ASSERT_EQ(LoadBank("Sounds.bnk", sounds), ZK_Success);
    EXPECT_EQ(PrepareBank(Preparation_Load, "Sounds.didx_out_of_order.bnk", ZkBankContent_All),
              ZK_Success);
    EXPECT_EQ(Prepared(kMediaA), m_slices[kMediaA]) << "copied from the loaded bank";
}
} // namespace
