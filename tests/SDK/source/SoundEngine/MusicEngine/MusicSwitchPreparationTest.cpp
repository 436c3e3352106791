// A music switch container prepared by game sync (the engine's settings ask for it): with one
// argument only the children of the default value and of the prepared values are prepared, a
// value prepared later reaches the container, and its preparations nest; with two arguments it
// prepares child by child.
#include "MusicBankFixture.h"

#include "ZkAudiolib/Common/Banks/BankManager.h"
#include "ZkAudiolib/Common/Banks/MediaIndex.h"
#include "ZkAudiolib/Common/FrontEnd/EngineSettings.h"
#include "ZkAudiolib/Common/GameSyncs/CZkStateMgr.h"

namespace
{
using namespace ZkMusicTest;
using ZK::SoundEngine::g_pStateMgr;

constexpr ZkUniqueID kGroup = 700;
constexpr uint32_t kStateGroupType = 1;

class MusicSwitchPreparation : public MusicBankTest
{
protected:
    // Segments 20, 21 and 22, each with a track of media 901, 902 and 903; switch 40 picks them by
    // the state of group 700 (any value: 20, state 1: 21, state 2: 22); switch 41 has a second
    // argument.
    void SetUp() override
    {
        MusicBankTest::SetUp();
        ZK::SoundEngine::GetEngineSettings().gameSyncPreparation = 1;
        std::string media, items;
        for (int index = 0; index < 3; ++index)
        {
            const std::string suffix = std::to_string(index);
            media += std::string(index ? ", " : "") + R"({"id": 90)" + std::to_string(index + 1) +
                     R"(, "wave": {"rate": 48000, "frames": 64, "parts": [{"tone": 440}]}})";
            items += Track(10 + index, R"("sources": [{"source": 90)" + std::to_string(index + 1) + R"(, "media_size": 1}])") + "," +
                     Segment(20 + index, R"("children": [1)" + suffix + "]") + ",";
        }
        items += Switch(40, R"("children": [20, 21, 22], "arguments": [[700, 1]],
                                "tree": {"children": {"*": 20, "1": 21, "2": 22}})");
        const std::string description = R"({"name": "Switches.bnk", "media": [)" + media +
                                        R"(], "chunks": [{"tag": "BKHD"}, {"tag": "DIDX"}, {"tag": "DATA"}, {"tag": "HIRC", "items": [)" +
                                        items + "]}]}";
        ZkBankID bankID = 0;
        ASSERT_EQ(LoadDescription(description, bankID), ZK_Success);
        for (ZkUniqueID media = 901; media <= 903; ++media)
            m_baseline.push_back(References(media));
    }
    static uint32_t References(ZkUniqueID media)
    {
        const auto* entry = ZK::SoundEngine::g_pBankManager->Media().Find(media);
        return entry != nullptr ? entry->refCount : 0;
    }
    // A media is prepared while its entry holds more references than the bank's own.
    std::vector<bool> PreparedMedia() const
    {
        return {References(901) > m_baseline[0], References(902) > m_baseline[1], References(903) > m_baseline[2]};
    }
    std::vector<uint32_t> m_baseline;
};

TEST_F(MusicSwitchPreparation, OnlyTheDefaultAndThePreparedValuesArePreparedAndTheCountNests)
{
    ASSERT_EQ(g_pStateMgr->PrepareGameSync(kStateGroupType, kGroup, 2, true), ZK_Success);
    auto* container = Find<CZkMusicSwitchContainer>(40);
    ASSERT_EQ(container->PrepareMedia(), ZK_Success);
    EXPECT_EQ(PreparedMedia(), (std::vector<bool>{true, false, true}));
    ASSERT_EQ(container->PrepareMedia(), ZK_Success);
    EXPECT_EQ(container->PreparationCount(), 2u);

    ASSERT_EQ(g_pStateMgr->PrepareGameSync(kStateGroupType, kGroup, 1, true), ZK_Success);
    EXPECT_EQ(PreparedMedia(), (std::vector<bool>{true, true, true})) << "a value prepared later reaches the container";
    ASSERT_EQ(g_pStateMgr->PrepareGameSync(kStateGroupType, kGroup, 2, false), ZK_Success);
    EXPECT_EQ(PreparedMedia(), (std::vector<bool>{true, true, false}));

    container->UnprepareMedia();
    EXPECT_EQ(container->PreparationCount(), 1u);
    EXPECT_EQ(PreparedMedia(), (std::vector<bool>{true, true, false})) << "still prepared once";
    container->UnprepareMedia();
    EXPECT_EQ(container->PreparationCount(), 0u);
    EXPECT_EQ(PreparedMedia(), (std::vector<bool>{false, false, false}));
    ASSERT_EQ(g_pStateMgr->PrepareGameSync(kStateGroupType, kGroup, 2, true), ZK_Success);
    EXPECT_EQ(PreparedMedia(), (std::vector<bool>{false, false, false})) << "the container left the group";
    container->UnprepareMedia();
    EXPECT_EQ(container->PreparationCount(), 0u);
}

TEST_F(MusicSwitchPreparation, AFailureTakesBackWhatWasPrepared)
{
    // A value whose node is not loaded: the nodes prepared before it are unprepared again.
    ASSERT_EQ(Load(Switch(42, R"("arguments": [[700, 1]], "tree": {"children": {"*": 20, "1": 99, "2": 22}})"), "Broken.bnk"),
              ZK_Success);
    ASSERT_EQ(g_pStateMgr->PrepareGameSync(kStateGroupType, kGroup, 1, true), ZK_Success);
    ASSERT_EQ(g_pStateMgr->PrepareGameSync(kStateGroupType, kGroup, 2, true), ZK_Success);
    auto* container = Find<CZkMusicSwitchContainer>(42);
    EXPECT_EQ(container->PrepareMedia(), ZK_Fail);
    EXPECT_EQ(container->PreparationCount(), 0u);
    EXPECT_EQ(PreparedMedia(), (std::vector<bool>{false, false, false}));
}

TEST_F(MusicSwitchPreparation, TwoArgumentsArePreparedChildByChild)
{
    // The same segments under a container of two arguments, in a bank of their own.
    ZK::SoundEngine::ClearBanks();
    std::string media, items;
    for (int index = 0; index < 3; ++index)
    {
        media += std::string(index ? ", " : "") + R"({"id": 90)" + std::to_string(index + 1) +
                 R"(, "wave": {"rate": 48000, "frames": 64, "parts": [{"tone": 440}]}})";
        items += Track(10 + index, R"("sources": [{"source": 90)" + std::to_string(index + 1) + R"(, "media_size": 1}])") + "," +
                 Segment(20 + index, R"("children": [1)" + std::to_string(index) + "]") + ",";
    }
    items += Switch(44, R"("children": [20, 21, 22], "arguments": [[700, 1], [800, 0]])");
    ZkBankID bankID = 0;
    ASSERT_EQ(LoadDescription(R"({"name": "TwoArgs.bnk", "media": [)" + media +
                                  R"(], "chunks": [{"tag": "BKHD"}, {"tag": "DIDX"}, {"tag": "DATA"}, {"tag": "HIRC", "items": [)" +
                                  items + "]}]}",
                              bankID),
              ZK_Success);
    m_baseline.clear();
    for (ZkUniqueID media = 901; media <= 903; ++media)
        m_baseline.push_back(References(media));
    auto* container = Find<CZkMusicSwitchContainer>(44);
    ASSERT_EQ(container->PrepareMedia(), ZK_Success);
    EXPECT_EQ(PreparedMedia(), (std::vector<bool>{true, true, true}));
    EXPECT_EQ(container->PreparationCount(), 0u);
    container->UnprepareMedia();
    EXPECT_EQ(PreparedMedia(), (std::vector<bool>{false, false, false}));
}
} // namespace
