// The faults of preparation that are mended, each with the case that shows it: a load that reuses
// a prepared record, a record unloaded while prepared, DecodeBank over a malformed image. (An
// event with two media and an event that plays itself are rows of the event tests.)
#include "PreparationFixture.h"

#include "ZkAudiolib/Common/Hierarchy/ZkMediaRef.h"
#include "ZkAudiolib/Common/Hierarchy/ZkStreamRef.h"

namespace
{
using namespace ZkPreparationTest;

using PreparationFaults = PreparationTest;

// A media read as a voice reads it: taken at the start, given back at the stop.
bool PlayOnce(ZkUniqueID mediaID, const Bytes& expected)
{
    ZkMediaRef media;
    media.Init();
    media.SetMedia(mediaID);
    const uint8_t* data = nullptr;
    uint32_t size = 0;
    LoadedBank* bank = nullptr;
    if (ZkStreamRef::Acquire(media, data, size, bank) != ZK_Success || data == nullptr)
        return false;
    const bool same = Bytes(data, data + size) == expected;
    ZkStreamRef::Release(media, bank);
    return same;
}

TEST_F(PreparationFaults, ABankLoadedOverItsPreparedRecordStaysLoadedAcrossItsMediaUsers)
{
    ASSERT_NO_FATAL_FAILURE(StartWithStandardBanks());
    ASSERT_EQ(PrepareBank(Preparation_Load, "Sounds", ZkBankContent_StructureOnly), ZK_Success);
    ZkBankID sounds = 0;
    ASSERT_EQ(LoadBank("Sounds.bnk", sounds), ZK_Success);
    const Bytes slice = MediaSlices(FileBytes("Sounds.bnk"))[kMediaA];
    // The load takes its own reference on the record the preparation made: the first user's
    // release must not take the bank's media away while it counts as loaded.
    EXPECT_TRUE(PlayOnce(kMediaA, slice));
    EXPECT_TRUE(PlayOnce(kMediaA, slice)) << "the second play finds the media";
    const LoadedBank* bank = FindBank("Sounds");
    ASSERT_NE(bank, nullptr);
    EXPECT_EQ(bank->loadCount.load(), 1);
    EXPECT_NE(bank->dataBlock, nullptr);
    ASSERT_EQ(UnloadBank(sounds, nullptr), ZK_Success);
    EXPECT_EQ(Manager().DetachedCount(), 1u) << "unloaded while prepared";
    ASSERT_EQ(PrepareBank(Preparation_Unload, sounds), ZK_Success) << "a later unpreparation does not find it";
    EXPECT_EQ(Manager().DetachedCount(), 1u);
}

TEST_F(PreparationFaults, ARecordUnloadedWhilePreparedIsFreedAtTheEnd)
{
    ASSERT_NO_FATAL_FAILURE(WriteBanks(StandardBanks()));
    const int64_t before = SettledBlocks();
    ASSERT_EQ(Init(&settings, &platformSettings), ZK_Success);
    ZkBankID bank = 0;
    ASSERT_EQ(LoadBank("Buses.bnk", bank), ZK_Success);
    ASSERT_EQ(LoadBank("Events.bnk", bank), ZK_Success);
    ASSERT_EQ(Prepare(kPlayTwo), ZK_Success);
    ZkBankID sounds = 0;
    ASSERT_EQ(LoadBank("Sounds.bnk", sounds), ZK_Success);
    ASSERT_EQ(UnloadBank(sounds, nullptr), ZK_Success);
    ASSERT_EQ(Unprepare(kPlayTwo), ZK_Success);
    EXPECT_EQ(Manager().DetachedCount(), 1u);
    Term();
    EXPECT_EQ(SettledBlocks(), before) << "the detached record and its entries went at the end";
}

TEST_F(PreparationFaults, TenEnginesEndedWithPreparationsLeaveNoBlock)
{
    ASSERT_NO_FATAL_FAILURE(WriteBanks(StandardBanks()));
    const int64_t before = SettledBlocks();
    for (int cycle = 0; cycle < 10; ++cycle)
    {
        ASSERT_EQ(Init(&settings, &platformSettings), ZK_Success);
        ZkBankID bank = 0;
        ASSERT_EQ(LoadBank("Buses.bnk", bank), ZK_Success);
        ASSERT_EQ(LoadBank("Events.bnk", bank), ZK_Success);
        ASSERT_EQ(Prepare(kPlayChain), ZK_Success);
        ASSERT_EQ(Prepare(kPlayOne), ZK_Success);
        ASSERT_EQ(PrepareBank(Preparation_Load, "Sounds", ZkBankContent_All), ZK_Success);
        Term();
        ASSERT_EQ(SettledBlocks(), before) << cycle;
    }
}

TEST_F(PreparationFaults, DecodeBankBoundsEveryChunkAndEntryByTheImage)
{
    ASSERT_NO_FATAL_FAILURE(WriteBanks(StandardBanks(), true));
    ASSERT_EQ(Init(&settings, &platformSettings), ZK_Success);
    ASSERT_EQ(U8TestCodec::Register(), ZK_Success);
    for (const char* file : {"Sounds.size_huge_0_BKHD.bnk", "Sounds.size_huge_2_DATA.bnk",
                             "Sounds.didx_size_past_data.bnk", "Sounds.didx_offset_at_end.bnk",
                             "Sounds.cut_header_3_HIRC_3.bnk", "Sounds.data_before_didx.bnk"})
    {
        SCOPED_TRACE(file);
        const Bytes image = FileBytes(file);
        ASSERT_FALSE(image.empty());
        const int64_t blocks = SettledBlocks();
        void* out = nullptr;
        uint32_t outSize = 0;
        EXPECT_EQ(DecodeBank(image.data(), static_cast<uint32_t>(image.size()), ZkMemID_Default, out, outSize),
                  ZK_InvalidFile);
        EXPECT_EQ(out, nullptr);
        EXPECT_EQ(SettledBlocks(), blocks) << "nothing allocated";
    }
    // No image, or one shorter than a chunk header: nothing written.
    const Bytes image = FileBytes("Sounds.bnk");
    for (const uint8_t* bytes : {static_cast<const uint8_t*>(nullptr), image.data()})
    {
        void* out = &m_folder;
        uint32_t outSize = 123;
        EXPECT_EQ(DecodeBank(bytes, 7, ZkMemID_Default, out, outSize), ZK_InvalidFile);
        EXPECT_EQ(out, &m_folder);
        EXPECT_EQ(outSize, 123u);
    }
}
} // namespace
