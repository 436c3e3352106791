// Banks read from files through the real stream manager, its blocking device and I/O thread: by
// name from the base folder when the language folder does not have them, by id ("<id>.bnk"), with
// a media block larger than the reader's buffers, and files that are empty or missing.
#include "BankTestSupport.h"

#include "SDK/source/SoundEngine/StreamMgr/StreamTestSupport.h"

#include "StreamMgr/CZkFilePackageLowLevelIOBlocking.h"

#include <ZK/SoundEngine/Common/ZkStreamMgrModule.h>

#include <fstream>

namespace
{
using namespace ZkBankTest;

class ThreadedBankFile : public BankParseTest
{
protected:
    void SetUp() override
    {
        BankParseTest::SetUp();
        UseTestKinds();
        m_streamMgr = ZK::StreamMgr::Create(ZkStreamMgrSettings{});
        ASSERT_NE(m_streamMgr, nullptr);
        ASSERT_EQ(m_lowLevelIO.Init(ZkStreamTest::DefaultDeviceSettings()), ZK_Success);
        ASSERT_EQ(m_lowLevelIO.AddBasePath(m_folder.WPath().c_str()), ZK_Success);
        ASSERT_EQ(ZK::StreamMgr::SetCurrentLanguage(L"English(US)"), ZK_Success);
    }
    void TearDown() override
    {
        for (LoadedBank* bank : m_banks)
        {
            bank->ReleaseItemList();
            bank->Destroy();
        }
        m_banks.clear();
        m_manager.Reader().Close();
        m_lowLevelIO.Term();
        if (m_streamMgr != nullptr)
            m_streamMgr->Destroy();
        BankParseTest::TearDown();
    }
    void Save(const std::string& name, const Bytes& bytes)
    {
        std::ofstream out(m_folder.Path() / name, std::ios::binary);
        out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    }
    ZKRESULT ParseFile(const char* name, ZkBankID bankID, LoadedBank** parsed = nullptr)
    {
        BankRequest request;
        request.bankID = bankID;
        request.fileName = const_cast<char*>(name);
        request.sourceKind = name != nullptr ? ZkBankSourceByName : ZkBankSourceByID;
        LoadedBank* bank = nullptr;
        const ZKRESULT result = m_manager.ParseBank(request, bank, ZkBankParseLoad, false, false);
        if (bank != nullptr)
            m_banks.push_back(bank);
        if (parsed != nullptr)
            *parsed = bank;
        return result;
    }

    ZkStreamTest::TempDir m_folder;
    ZK::IZkStreamMgr* m_streamMgr = nullptr;
    ZK::StreamMgr::CZkFilePackageLowLevelIOBlocking m_lowLevelIO;
};

TEST_F(ThreadedBankFile, ABankWithALargeMediaBlockReadByNameAndById)
{
    // 3 s of stereo at 48 kHz: a media block of over half a megabyte, far more than two buffers.
    const Bytes bank = WriteBank(R"({"name": "Big.bnk",
        "media": [{"id": 100, "wave": {"rate": 48000, "channels": 2, "seconds": 3, "parts": [{"tone": 440}]}},
                  {"id": 101, "wave": {"rate": 48000, "frames": 100, "parts": [{"tone": 880}]}}],
        "chunks": [{"tag": "BKHD"}, {"tag": "DIDX"}, {"tag": "DATA"},
          {"tag": "HIRC", "items": [{"type": "sound", "id": 200, "media": 100}, {"type": "sound", "id": 201, "media": 101}]},
          {"tag": "PLAT", "name": "Linux"}]})");
    ASSERT_GT(bank.size(), 500000u);
    Save("Big.bnk", bank);
    Save("4242.bnk", bank);
    LoadedBank* byName = nullptr;
    ASSERT_EQ(ParseFile("Big.bnk", 1, &byName), ZK_Success);
    ASSERT_EQ(m_manager.registrations.size(), 1u);
    ASSERT_EQ(byName->entryCount, 2u);
    const ZkMediaEntry second = byName->Entry(1);
    ASSERT_LE(second.offset + second.size, byName->dataSize);
    // The copied block holds exactly the bank's bytes of the second media.
    const Bytes memoryBank = bank;
    LoadedBank* inMemory = nullptr;
    ASSERT_EQ(ParseMemory(memoryBank, 3, ZkBankSourceMemoryView, &inMemory), ZK_Success);
    const uint8_t* reference = m_manager.registrations.back().data;
    EXPECT_EQ(std::memcmp(byName->dataBlock, reference, byName->dataSize), 0);
    EXPECT_EQ(Find(ZkIndexKind::Nodes, 201)->RefCount(), 2u);

    LoadedBank* byID = nullptr;
    ASSERT_EQ(ParseFile(nullptr, 4242, &byID), ZK_Success);
    EXPECT_EQ(byID->dataSize, byName->dataSize);
    EXPECT_EQ(std::memcmp(byID->dataBlock, reference, byID->dataSize), 0);
}

TEST_F(ThreadedBankFile, EmptyAndMissingFiles)
{
    // The stream manager's answers are passed on: it opens no empty file for reading, and its
    // loose-file resolver answers 2 for a file none of its folders holds.
    Save("Empty.bnk", {});
    EXPECT_EQ(ParseFile("Empty.bnk", 1), ZK_Fail);
    EXPECT_EQ(ParseFile("Missing.bnk", 2), ZK_Fail);
    const Bytes bank = WriteBank(R"({"name": "Cut.bnk", "chunks": [{"tag": "BKHD"}, {"tag": "PLAT", "name": "Linux"}],
        "truncate": {"chunk": 1, "offset": 3}})");
    Save("Cut.bnk", bank);
    EXPECT_EQ(ParseFile("Cut.bnk", 3), ZK_InvalidFile) << "3 bytes into a chunk header";
}
} // namespace
