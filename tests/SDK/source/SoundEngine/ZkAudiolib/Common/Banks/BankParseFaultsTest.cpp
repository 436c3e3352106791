// Damaged banks: every fault variant the bank writer makes of a full bank (cut files, chunk sizes
// beyond the file, wrong first chunks, bad counts, versions, another platform) gets the result the
// parse gives such input, from memory in place and copied; and a parse in which each allocation in
// turn fails ends cleanly.
#include "BankTestSupport.h"

#include <ZK/SoundEngine/Common/ZkIdFromName.h>

#include <set>

namespace
{
using namespace ZkBankTest;
namespace Faults = ZK::MemoryMgr::FaultInjection;

const char* const kFullBank = R"({"name": "Test.bnk",
 "media": [{"id": 100, "wave": {"rate": 48000, "frames": 480, "parts": [{"tone": 440}]}},
           {"id": 101, "wave": {"rate": 44100, "frames": 200, "parts": [{"tone": 660}]}}],
 "chunks": [{"tag": "BKHD"}, {"tag": "DIDX"}, {"tag": "DATA"},
  {"tag": "HIRC", "items": [
    {"type": "bus", "id": "Master", "device": "System"},
    {"type": "sound", "id": 200, "media": 100, "bus": "Master"},
    {"type": "action", "id": 300, "action": "play", "target": 200},
    {"type": "event", "id": "Play_Test", "actions": [300]},
    {"type": 11, "id": 77, "hex": "0102"}]},
  {"tag": "STID", "groups": [{"banks": [{"name": "Test"}, {"name": "Init"}]}]},
  {"tag": "PLAT", "name": "Linux"},
  {"tag": "STMG", "game_parameters": [{"id": 1006694123, "default": 100}, {"id": 1564184899, "default": 100}]},
  {"tag": "INIT", "plugins": [{"id": "0x00050043", "library": "NoSuchLibrary"}]},
  {"tag": "XTRA", "hex": "0102030405"}]})";

// The results a variant may give, by the start of its name.
std::set<ZKRESULT> Expected(const std::string& variant)
{
    const std::pair<const char*, std::set<ZKRESULT>> table[] = {
        {"Test.bnk", {ZK_Success}},
        {"Test.cut_before_", {ZK_Success}}, // a file that ends exactly after a chunk
        {"Test.cut_header_", {ZK_InvalidFile}},
        {"Test.cut_body_0_BKHD", {ZK_ShortBankRead}},
        {"Test.cut_body_1_DIDX", {ZK_ShortBankRead}},
        {"Test.cut_body_2_DATA", {ZK_InvalidFile}},
        {"Test.cut_body_3_HIRC", {ZK_Fail, ZK_ShortBankRead}},
        {"Test.cut_body_4_STID", {ZK_ShortBankRead}},
        {"Test.cut_body_5_PLAT", {ZK_Fail}},
        {"Test.cut_body_6_STMG", {ZK_ShortBankRead}},
        {"Test.cut_body_7_INIT", {ZK_Fail}},
        {"Test.cut_body_8_XTRA", {ZK_InvalidFile}},
        {"Test.size_huge_0_BKHD", {ZK_ShortBankRead}},
        {"Test.size_huge_1_DIDX", {ZK_ShortBankRead}},
        {"Test.size_huge_2_DATA", {ZK_InvalidFile}},
        {"Test.size_huge_3_HIRC", {ZK_InvalidFile}},
        {"Test.size_huge_4_STID", {ZK_ShortBankRead}},
        {"Test.size_huge_5_PLAT", {ZK_Fail}},
        {"Test.size_huge_6_STMG", {ZK_ShortBankRead}},
        {"Test.size_huge_7_INIT", {ZK_Fail}},
        {"Test.size_huge_8_XTRA", {ZK_InvalidFile}},
        {"Test.first_chunk_", {ZK_InvalidFile}},
        {"Test.no_header", {ZK_InvalidFile}},
        {"Test.unknown_tag", {ZK_Success}},
        {"Test.data_before_didx", {ZK_Success}},
        {"Test.didx_remainder", {ZK_Success}},
        {"Test.didx_out_of_order", {ZK_Success}}, // a load keeps the whole data: any order serves
        {"Test.didx_", {ZK_InvalidFile}}, // an entry at the end of "DATA" or one byte past it
        {"Test.version_", {ZK_WrongBankVersion}},
        {"Test.hirc_count_zero", {ZK_Success}},
        {"Test.hirc_", {ZK_InvalidFile}},
        {"Test.stmg_", {ZK_InvalidFile}},
        {"Test.stid_", {ZK_InvalidFile}},
        {"Test.init_", {ZK_InvalidFile}},
        {"Test.plat_other", {ZK_PlatformMismatch}},
    };
    for (const auto& [prefix, results] : table)
    {
        if (variant.rfind(prefix, 0) == 0)
            return results;
    }
    return {};
}

class BankParseFaults : public BankParseTest
{
protected:
    void SetUp() override
    {
        BankParseTest::SetUp();
        UseTestKinds();
        m_buses.placements[ZK::SoundEngine::GetIDFromString("Master")] = {0, 0xE611314A};
    }
    // Parses a bank and gives its record up at once, so that each parse starts from the same engine.
    ZKRESULT ParseAndRelease(const Bytes& bank, uint32_t sourceKind)
    {
        LoadedBank* parsed = nullptr;
        const ZKRESULT result = ParseMemory(bank, 1, sourceKind, &parsed);
        if (parsed != nullptr)
        {
            std::erase(m_banks, parsed);
            parsed->ReleaseItemList();
            parsed->Destroy();
        }
        m_buses.topLevel.clear();
        return result;
    }
};

TEST_F(BankParseFaults, EveryFaultVariantOfTheWriterGivesItsResult)
{
    const std::map<std::string, Bytes> banks = ZkSoundFixtures::WriteBankWithFaultVariants(kFullBank);
    ASSERT_GT(banks.size(), 50u);
    ASSERT_EQ(ParseAndRelease(banks.at("Test.bnk"), ZkBankSourceMemoryCopy), ZK_Success) << "keeps the platform";
    for (const auto& [name, bytes] : banks)
    {
        const std::set<ZKRESULT> expected = Expected(name);
        ASSERT_FALSE(expected.empty()) << name << " has no expected result";
        if (bytes.empty())
            continue; // an empty file cannot be a memory bank
        for (uint32_t sourceKind : {ZkBankSourceMemoryCopy, ZkBankSourceMemoryView})
        {
            const ZKRESULT result = ParseAndRelease(bytes, sourceKind);
            EXPECT_TRUE(expected.count(result) == 1) << name << (sourceKind == ZkBankSourceMemoryView ? " in place" : "")
                                                     << " gave " << result;
        }
    }
    EXPECT_EQ(m_index.Table(ZkIndexKind::Nodes).Length(), 0u) << "every object released with its bank";
}

TEST_F(BankParseFaults, EachAllocationFailingInTurnEndsTheParseCleanly)
{
    const Bytes bank = WriteBank(kFullBank);
    ASSERT_EQ(ParseAndRelease(bank, ZkBankSourceMemoryCopy), ZK_Success);
    FreeBankIdentification();
    Faults::CountOnly(Faults::kAnyPool);
    ASSERT_EQ(ParseAndRelease(bank, ZkBankSourceMemoryCopy), ZK_Success);
    const uint32_t allocations = Faults::CountedAllocations();
    Faults::Disarm();
    ASSERT_GT(allocations, 5u);
    for (uint32_t failing = 1; failing <= allocations; ++failing)
    {
        FreeBankIdentification();
        m_manager.BankNames().Term();
        m_rtpc.Term();
        ASSERT_EQ(m_rtpc.Init(), ZK_Success);
        ZKRESULT result;
        {
            Faults::ScopedAllocationFailure failure(Faults::kAnyPool, failing);
            result = ParseAndRelease(bank, ZkBankSourceMemoryCopy);
        }
        EXPECT_TRUE(result == ZK_InsufficientMemory || result == ZK_Fail || result == ZK_Success)
            << "allocation " << failing << " gave " << result;
        EXPECT_EQ(m_index.Table(ZkIndexKind::Nodes).Length(), 0u) << "allocation " << failing;
    }
}
} // namespace
