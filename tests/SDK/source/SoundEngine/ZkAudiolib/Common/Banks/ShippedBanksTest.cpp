// The game's own banks (Trindle_Ostrel/Banks/Init.bnk and Main.bnk, written by the build from
// SoundProject/) through the parse: both load with the engine's own classes (the Init bank's output
// device share set and buses, Main's modulators, sounds, actions and events); with the tests' item
// kinds, the Init bank's master bus takes the main output onto "System", the game parameters get
// their defaults, and every media of Main.bnk lies inside its media block (a wave file, or the win
// fanfare's MIDI track media).
#include "BankTestSupport.h"

#include "ZkAudiolib/Common/Events/CZkEventObject.h"
#include "ZkAudiolib/Common/FrontEnd/EngineSettings.h"
#include "ZkAudiolib/Common/GameSyncs/CZkStateMgr.h"
#include "ZkAudiolib/Common/Hierarchy/CZkBus.h"
#include "ZkAudiolib/Common/Hierarchy/CZkPlaylistContainerNode.h"
#include "ZkAudiolib/Common/Parameters/CZkModulatorMgr.h"

#include <ZK/SoundEngine/Common/ZkIdFromName.h>

#include <algorithm>
#include <map>

namespace
{
using namespace ZkBankTest;

Bytes ShippedBank(const char* name)
{
    const std::filesystem::path path = std::filesystem::path(KP_SOURCE_DIR) / "Trindle_Ostrel" / "Banks" / name;
    EXPECT_TRUE(std::filesystem::exists(path)) << path << " is written by the build";
    return ZkSoundFixtures::ReadWholeFile(path);
}

class ShippedBanks : public BankParseTest
{
protected:
    void SetUp() override
    {
        BankParseTest::SetUp();
        GetEngineSettings().mainOutput = ZkOutputSettings{};
        m_buses.placements[ZK::SoundEngine::GetIDFromString("Master Audio Bus")] = {0, kSystem};
        m_buses.placements[ZK::SoundEngine::GetIDFromString("Music")] = {ZK::SoundEngine::GetIDFromString("Master Audio Bus")};
        m_buses.placements[ZK::SoundEngine::GetIDFromString("Effects")] = {ZK::SoundEngine::GetIDFromString("Master Audio Bus")};
        // Cues whose volume a modulator drives subscribe to it through the modulator manager.
        ASSERT_EQ(m_modulators.Init(), ZK_Success);
        g_pModulatorMgr = &m_modulators;
        // The Init bank declares the game's state groups.
        ASSERT_EQ(m_states.Init(), ZK_Success);
        ZK::SoundEngine::g_pStateMgr = &m_states;
    }
    void TearDown() override
    {
        GetEngineSettings().mainOutput = ZkOutputSettings{};
        m_modulators.TermInstances();
        m_modulators.Term();
        ZK::SoundEngine::g_pStateMgr = nullptr;
        m_states.Term();
        BankParseTest::TearDown();
        g_pModulatorMgr = nullptr;
    }
    ZK::SoundEngine::CZkModulatorMgr m_modulators;
    ZK::SoundEngine::CZkStateMgr m_states;
    static constexpr uint32_t kSystem = 0xE611314A;
};

TEST_F(ShippedBanks, WithTheEnginesClassesBothLoad)
{
    LoadedBank* initBank = nullptr;
    ASSERT_EQ(ParseMemory(ShippedBank("Init.bnk"), 0x50C63A23, ZkBankSourceMemoryCopy, &initBank), ZK_Success);
    ASSERT_EQ(initBank->itemCount, 4u) << "the System device share set and the three buses";
    EXPECT_NE(g_pObjectIndex->Table(ZkIndexKind::AudioDevices).Table().Find(kSystem), nullptr);
    const auto* master = dynamic_cast<const CZkBus*>(static_cast<CZkHierarchyNode*>(initBank->items[1]));
    ASSERT_NE(master, nullptr);
    EXPECT_TRUE(master->IsTopLevel());
    EXPECT_EQ(master->ChildBusCount(), 2u) << "Music and Effects";
    EXPECT_EQ(master->DeviceID(), kSystem);
    EXPECT_EQ(CZkBus::TopLevelCount(), 1u);
    EXPECT_EQ(GetEngineSettings().mainOutput.audioDeviceShareSetID, kSystem);
    ASSERT_EQ(ParseMemory(ShippedBank("Main.bnk"), ZK::SoundEngine::GetIDFromString("Main")), ZK_Success);
    // Every event of the game lists actions that were read before it.
    ZkIndexTable& events = g_pObjectIndex->Table(ZkIndexKind::Events);
    ASSERT_GT(events.Length(), 0u);
    for (uint32_t bucket = 0; bucket < events.Table().BucketCount(); ++bucket)
    {
        for (CZkIndexedObject* event = events.Table().Bucket(bucket); event != nullptr; event = event->pNextItem)
            EXPECT_GT(static_cast<CZkEventObject*>(event)->ActionCount(), 0u) << "event " << event->ID();
    }
    // The cues hang under two groups that name the Effects bus (the musics name Music themselves);
    // ten cues vary through playlists, three of them continuous.
    const ZkUniqueID effects = ZK::SoundEngine::GetIDFromString("Effects");
    std::map<ZkNodeCategory, uint32_t> categories;
    uint32_t continuous = 0;
    ZkIndexTable& nodes = g_pObjectIndex->Table(ZkIndexKind::Nodes);
    for (uint32_t bucket = 0; bucket < nodes.Table().BucketCount(); ++bucket)
    {
        for (CZkIndexedObject* object = nodes.Table().Bucket(bucket); object != nullptr; object = object->pNextItem)
        {
            const auto* node = static_cast<CZkHierarchyNode*>(object);
            ++categories[node->Category()];
            if (const auto* playlist = dynamic_cast<const CZkPlaylistContainerNode*>(node))
                continuous += playlist->IsContinuous() ? 1 : 0;
            const CZkHierarchyNode* top = node;
            while (top->Parent() != nullptr)
            {
                EXPECT_EQ(top->OutputBus(), nullptr) << "node " << top->ID() << " is heard through its parent's bus";
                top = top->Parent();
            }
            ASSERT_NE(top->OutputBus(), nullptr) << "node " << node->ID();
            if (top->OutputBus()->ID() == effects)
            {
                EXPECT_EQ(top->Category(), ZkNodeCategory_Group) << "node " << node->ID() << " hangs under a group";
            }
        }
    }
    EXPECT_EQ(categories[ZkNodeCategory_Group], 2u) << "UiCues and BattleCues";
    EXPECT_EQ(categories[ZkNodeCategory_Playlist], 10u);
    EXPECT_EQ(continuous, 3u) << "the city's fall and the two towers' destruction";
}

TEST_F(ShippedBanks, InitAndMainLoad)
{
    UseTestKinds();
    const Bytes init = ShippedBank("Init.bnk");
    LoadedBank* initBank = nullptr;
    ASSERT_EQ(ParseMemory(init, 0x50C63A23, ZkBankSourceMemoryCopy, &initBank), ZK_Success);
    EXPECT_EQ(initBank->itemCount, 4u) << "the System device share set, the master bus and its two children";
    EXPECT_EQ(GetEngineSettings().mainOutput.audioDeviceShareSetID, kSystem);
    bool found = false;
    EXPECT_EQ(m_rtpc.GetDefaultValue(1006694123, found), 100.0f);
    EXPECT_TRUE(found);
    EXPECT_EQ(m_rtpc.GetDefaultValue(1564184899, found), 100.0f);
    EXPECT_TRUE(found);
    EXPECT_STREQ(m_manager.BankNames().Find(ZK::SoundEngine::GetIDFromString("Main")), "Main.bnk");

    const Bytes main = ShippedBank("Main.bnk");
    LoadedBank* mainBank = nullptr;
    ASSERT_EQ(ParseMemory(main, ZK::SoundEngine::GetIDFromString("Main"), ZkBankSourceMemoryCopy, &mainBank), ZK_Success);
    ASSERT_EQ(m_manager.registrations.size(), 1u);
    const RecordingBankManager::Registration& media = m_manager.registrations[0];
    ASSERT_GT(media.entries.size(), 5u);
    // MIDI track media open with their ticks per quarter note (480, big-endian) and their tempo.
    const ZkUniqueID fanfare = ZK::SoundEngine::GetIDFromString("Media/win_fanfare");
    constexpr uint8_t kFanfareHeader[] = {0x01, 0xE0};
    for (const ZkMediaEntry& entry : media.entries)
    {
        EXPECT_LE(uint64_t{entry.offset} + entry.size, media.dataSize) << entry.mediaID;
        if (entry.mediaID == fanfare)
        {
            EXPECT_EQ(std::memcmp(mainBank->dataBlock + entry.offset, kFanfareHeader, 2), 0);
        }
        else
        {
            EXPECT_EQ(std::memcmp(mainBank->dataBlock + entry.offset, "RIFF", 4), 0) << entry.mediaID;
        }
    }
    EXPECT_EQ(std::count_if(media.entries.begin(), media.entries.end(),
                            [fanfare](const ZkMediaEntry& entry) { return entry.mediaID == fanfare; }),
              1);
    EXPECT_GT(m_index.Table(ZkIndexKind::Events).Length(), 5u);
    // One sound per media in the bank but the jingle's five notes, which its music segment's track
    // plays, the win fanfare's MIDI track media, whose notes play the instrument's sound, and the
    // prefetch copies of the screen musics' streamed segments (three of the menu,
    // the play field's intro, two segments, bridge and stinger, the fight's two segments and the
    // transition back to the calm), which their tracks start on: the
    // tracks stream them as sounds of stream type 1 do, and music items are none of these kinds
    // (they are left to the music engine); then the hover cue's silence, the ten playlists of the
    // cues that vary, the tower rubble's switch container, the city hit's layered container and the
    // two groups of the cues.
    constexpr size_t kJingleNotes = 5;
    constexpr size_t kMidiTrackMedia = 1;
    constexpr size_t kPrefetchedMusicSegments = 3 + 5 + 3;
    constexpr size_t kContainers = 10 + 1 + 1 + 2;
    EXPECT_EQ(m_index.Table(ZkIndexKind::Nodes).Length(),
              media.entries.size() - kJingleNotes - kMidiTrackMedia - kPrefetchedMusicSegments + 1 + kContainers);
    EXPECT_EQ(m_index.Table(ZkIndexKind::CustomEffects).Length(), 1u) << "the silence's parameters";
}
} // namespace
