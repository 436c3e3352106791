// The engine reading its banks from a file package: the shipped Init.bnk and Main.bnk packed (no
// loose bank under the base path) load by name and by id into the same event table as the loose
// files, and a bank packed for two languages is the one of the current language.
#include "EngineWithBanksFixture.h"

#include "SDK/source/SoundEngine/StreamMgr/PackageTestSupport.h"
#include "SDK/source/SoundEngine/ZkAudiolib/Common/SoundFixtures.h"

#include "ZkAudiolib/Common/Events/CZkEventObject.h"
#include "ZkAudiolib/Common/FrontEnd/EngineLock.h"
#include "ZkAudiolib/Common/ObjectIndex/ObjectIndex.h"

#include <ZK/SoundEngine/Common/ZkIdFromName.h>

#include <map>
#include <tuple>
#include <vector>

namespace
{
using namespace ZkEngineLifeTest;
namespace fs = std::filesystem;

const fs::path kShippedBanks = fs::path(KP_SOURCE_DIR) / "Trindle_Ostrel" / "Banks";

class EnginePackages : public EngineLifeTest
{
protected:
    void SetUp() override
    {
        EngineLifeTest::SetUp();
        UseVirtualSpeakersWithoutEngineThread();
        ASSERT_EQ(ZK::StreamMgr::SetCurrentLanguage(L""), ZK_Success);
        ASSERT_EQ(m_io.Init(ZkStreamTest::DefaultDeviceSettings()), ZK_Success);
        ASSERT_EQ(m_io.AddBasePath(m_dir.WPath().c_str()), ZK_Success);
    }
    void TearDown() override
    {
        Term();
        m_io.Term();
        ZK::StreamMgr::SetCurrentLanguage(L"");
        EngineLifeTest::TearDown();
    }

    // Each event Main.bnk's description names: its action count and its play targets' records.
    static std::map<ZkUniqueID, std::vector<uint64_t>> EventTable()
    {
        std::map<ZkUniqueID, std::vector<uint64_t>> table;
        ZK::Platform::ZkScopedLock guard(g_EngineLock);
        for (ZkUniqueID id : GameEventIDs())
        {
            auto* event = static_cast<CZkEventObject*>(g_pObjectIndex->GetPtrAndAddRef(ZkIndexKind::Events, id));
            if (event == nullptr)
                continue;
            std::vector<uint64_t>& row = table[id];
            row.push_back(event->ActionCount());
            event->ForEachPlayTarget([&](CZkHierarchyNode* node) {
                const ZkObjectInfo info = CZkEventObject::PlayTargetInfo(*node);
                row.push_back(uint64_t{info.audioNodeID} << 32 | info.sourceID);
            });
            event->Release();
        }
        return table;
    }

    bool EventLoaded(const char* name)
    {
        ZK::Platform::ZkScopedLock guard(g_EngineLock);
        CZkIndexedObject* event = g_pObjectIndex->GetPtrAndAddRef(ZkIndexKind::Events, GetIDFromString(name));
        if (event != nullptr)
            event->Release();
        return event != nullptr;
    }

    ZkStreamTest::TempDir m_dir;
    ZkStreamTest::TempDir m_sources;
    ZK::StreamMgr::CZkFilePackageLowLevelIOBlocking m_io;
};

TEST_F(EnginePackages, TheShippedBanksLoadFromAPackageAsFromLooseFiles)
{
    for (const char* bank : {"Init.bnk", "Main.bnk"})
        fs::copy_file(kShippedBanks / bank, m_sources.Path() / bank);
    ASSERT_TRUE(ZkPackageTest::WritePackage(m_sources.Path(), m_dir.Path() / "Banks.pck", 16));
    uint32_t packageId = 0;
    ASSERT_EQ(m_io.LoadFilePackage(L"Banks.pck", packageId), ZK_Success);
    ASSERT_EQ(Init(&settings, &platformSettings), ZK_Success);
    ZkBankID bank = 0;
    ASSERT_EQ(LoadBank("Init.bnk", bank), ZK_Success) << "by name";
    EXPECT_EQ(bank, GetIDFromString("Init"));
    ASSERT_EQ(LoadBank(GetIDFromString("Main")), ZK_Success) << "by id";
    const auto packed = EventTable();
    EXPECT_EQ(packed.size(), GameEventIDs().size()) << "every event the game posts";

    Term();
    EXPECT_EQ(m_io.UnloadAllFilePackages(), ZK_Success);
    for (const char* name : {"Init.bnk", "Main.bnk"})
        fs::copy_file(kShippedBanks / name, m_dir.Path() / name);
    ASSERT_EQ(Init(&settings, &platformSettings), ZK_Success);
    ASSERT_EQ(LoadBank("Init.bnk", bank), ZK_Success);
    ASSERT_EQ(LoadBank("Main.bnk", bank), ZK_Success);
    EXPECT_EQ(EventTable(), packed);
}

// One bank, packed for two languages with different tones: the current language decides.
TEST_F(EnginePackages, TheCurrentLanguageDecidesWhichPackedBankLoads)
{
    fs::copy_file(kShippedBanks / "Init.bnk", m_sources.Path() / "Init.bnk");
    const auto voiceBank = [](const char* event, int tone) {
        return std::string(R"({"name": "Voice.bnk", "media": [{"id": 700, "wave": {"rate": 48000, "seconds": 0.1,
            "parts": [{"tone": )") +
               std::to_string(tone) + R"(, "amp": 0.5}]}}],
            "chunks": [{"tag": "BKHD"}, {"tag": "DIDX"}, {"tag": "DATA"}, {"tag": "HIRC", "items": [
              {"type": "sound", "id": 800, "media": 700, "bus": "Effects"},
              {"type": "action", "id": 801, "action": "play", "target": 800},
              {"type": "event", "id": ")" +
               event + R"(", "actions": [801]}]}]})";
    };
    for (const auto& [folder, event, tone] : {std::tuple{"English(US)", "Hello_English", 440},
                                              std::tuple{"French(Canada)", "Hello_French", 660}})
    {
        const ZkSoundFixtures::Bytes bank = ZkSoundFixtures::WriteBank(voiceBank(event, tone));
        ASSERT_FALSE(bank.empty());
        fs::create_directories(m_sources.Path() / folder);
        std::ofstream(m_sources.Path() / folder / "Voice.bnk", std::ios::binary)
            .write(reinterpret_cast<const char*>(bank.data()), static_cast<std::streamsize>(bank.size()));
    }
    ASSERT_TRUE(ZkPackageTest::WritePackage(m_sources.Path(), m_dir.Path() / "Voices.pck"));
    ASSERT_EQ(ZK::StreamMgr::SetCurrentLanguage(L"English(US)"), ZK_Success);
    uint32_t packageId = 0;
    ASSERT_EQ(m_io.LoadFilePackage(L"Voices.pck", packageId), ZK_Success);
    ASSERT_EQ(Init(&settings, &platformSettings), ZK_Success);
    ZkBankID bank = 0;
    ASSERT_EQ(LoadBank("Init.bnk", bank), ZK_Success);
    ASSERT_EQ(LoadBank("Voice.bnk", bank), ZK_Success);
    EXPECT_TRUE(EventLoaded("Hello_English"));
    EXPECT_FALSE(EventLoaded("Hello_French"));
    ASSERT_EQ(UnloadBank("Voice.bnk", nullptr), ZK_Success);
    ASSERT_EQ(ZK::StreamMgr::SetCurrentLanguage(L"French(Canada)"), ZK_Success);
    ASSERT_EQ(LoadBank("Voice.bnk", bank), ZK_Success);
    EXPECT_TRUE(EventLoaded("Hello_French"));
    EXPECT_FALSE(EventLoaded("Hello_English"));
}
} // namespace
