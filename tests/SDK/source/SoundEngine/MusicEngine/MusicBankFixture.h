// The music objects on the running engine (no engine thread, rendering offline) with the music
// engine started at a look-ahead factor of 1.5: banks written by tools/bank_writer.py from item
// descriptions, loaded from memory, and the nodes they build found in the object index.
#pragma once

#include "SDK/source/SoundEngine/ZkAudiolib/Common/Engine/EngineLifeFixture.h"
#include "SDK/source/SoundEngine/ZkAudiolib/Common/SoundFixtures.h"

#include "MemoryMgr/ZkMemoryFaultInjection.h"
#include "MusicEngine/CZkMusicPlaylistContainer.h"
#include "MusicEngine/CZkMusicSegment.h"
#include "MusicEngine/CZkMusicSwitchContainer.h"
#include "MusicEngine/CZkMusicTrack.h"
#include "MusicEngine/MusicEngineState.h"
#include "ZkAudiolib/Common/FrontEnd/EngineHooks.h"
#include "ZkAudiolib/Common/ObjectIndex/ObjectIndex.h"
#include "ZkAudiolib/Common/Voice/ZkAudioSettings.h"

#include <ZK/SoundEngine/Common/ZkBankCalls.h>
#include <ZK/SoundEngine/Common/ZkEngineControls.h>
#include <ZK/SoundEngine/Common/ZkMusicEngine.h>

#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

namespace ZkMusicTest
{
using namespace ZK::MusicEngine;
using ZK::SoundEngine::CZkHierarchyNode;
using ZK::SoundEngine::g_pObjectIndex;
using ZK::SoundEngine::ZkIndexKind;

constexpr float kLookAheadFactor = 1.5f;

class MusicBankTest : public ZkEngineLifeTest::EngineLifeTest
{
protected:
    void SetUp() override
    {
        EngineLifeTest::SetUp();
        ClearHooks();
        settings.engineThread = 0;
        ASSERT_EQ(ZK::SoundEngine::Init(&settings, &platformSettings), ZK_Success);
        ASSERT_EQ(ZK::SoundEngine::SetOfflineRendering(true), ZK_Success);
        ZkMusicSettings music;
        ZK::MusicEngine::GetDefaultInitSettings(music);
        music.lookAheadFactor = kLookAheadFactor;
        ASSERT_EQ(ZK::MusicEngine::Init(&music), ZK_Success);
        ASSERT_EQ(ZK::SoundEngine::ZkAudioSettings::SampleRate(), 48000u);
    }
    void TearDown() override
    {
        ZK::MusicEngine::Term();
        EngineLifeTest::TearDown();
        ClearHooks();
    }
    static void ClearHooks()
    {
        ZK::SoundEngine::EngineHooks::SetStateChangeHandler(nullptr);
        ZK::SoundEngine::EngineHooks::SetHierarchyItemHandler(nullptr);
        ZK::SoundEngine::EngineHooks::SetBankUnloadHandler(nullptr);
    }

    static std::string BankOf(const std::string& items, const std::string& name = "Music.bnk",
                              const std::string& extraChunks = "")
    {
        return R"({"name": ")" + name + R"(", "chunks": [{"tag": "BKHD"})" + extraChunks +
               R"(, {"tag": "HIRC", "items": [)" + items + "]}]}";
    }
    // Loads a bank of these items; bankID receives its id.
    static ZKRESULT LoadDescription(const std::string& description, ZkBankID& bankID)
    {
        const ZkSoundFixtures::Bytes bank = ZkSoundFixtures::WriteBank(description);
        if (bank.empty())
            return ZK_Fail;
        return ZK::SoundEngine::LoadBankMemoryCopy(bank.data(), static_cast<uint32_t>(bank.size()), bankID);
    }
    static ZKRESULT Load(const std::string& items, const std::string& name = "Music.bnk")
    {
        ZkBankID bankID = 0;
        return LoadDescription(BankOf(items, name), bankID);
    }
    // The banks of several item lists, written by one run of the writer (bank i is "Bank<i>.bnk").
    static std::vector<ZkSoundFixtures::Bytes> WriteBanks(const std::vector<std::string>& itemLists)
    {
        ZkSoundFixtures::ScratchFolder folder;
        std::string descriptions = "[";
        for (size_t index = 0; index < itemLists.size(); ++index)
            descriptions += (index ? ", " : "") + BankOf(itemLists[index], "Bank" + std::to_string(index) + ".bnk");
        const auto description = folder.Path() / "banks.json";
        std::ofstream(description) << descriptions << "]";
        const std::string command = "python3 \"" + std::string(KP_SOURCE_DIR) + "/tools/bank_writer.py\" --out-dir \"" +
                                    folder.Path().string() + "\" \"" + description.string() + "\"";
        std::vector<ZkSoundFixtures::Bytes> banks;
        if (std::system(command.c_str()) != 0)
        {
            ADD_FAILURE() << "bank_writer.py refused: " << descriptions;
            return banks;
        }
        for (size_t index = 0; index < itemLists.size(); ++index)
            banks.push_back(ZkSoundFixtures::ReadWholeFile(folder.Path() / ("Bank" + std::to_string(index) + ".bnk")));
        return banks;
    }
    static ZKRESULT LoadBytes(const ZkSoundFixtures::Bytes& bank, ZkBankID& bankID)
    {
        return ZK::SoundEngine::LoadBankMemoryCopy(bank.data(), static_cast<uint32_t>(bank.size()), bankID);
    }

    static CZkHierarchyNode* Node(ZkUniqueID id)
    {
        return static_cast<CZkHierarchyNode*>(g_pObjectIndex->Table(ZkIndexKind::Nodes).Table().Find(id));
    }
    template <typename T>
    static T* Find(ZkUniqueID id)
    {
        return static_cast<T*>(Node(id));
    }
    static uint32_t NodeCount() { return g_pObjectIndex->Table(ZkIndexKind::Nodes).Table().Length(); }
};

// A track of one in-memory source (media_size 0 unless given) and no clips.
inline std::string Track(ZkUniqueID id, const std::string& keys = "")
{
    return R"({"type": "music_track", "id": )" + std::to_string(id) + (keys.empty() ? "" : ", " + keys) + "}";
}
inline std::string Segment(ZkUniqueID id, const std::string& keys = "")
{
    return R"({"type": "music_segment", "id": )" + std::to_string(id) + (keys.empty() ? "" : ", " + keys) + "}";
}
inline std::string Playlist(ZkUniqueID id, const std::string& keys = "")
{
    return R"({"type": "music_playlist", "id": )" + std::to_string(id) + (keys.empty() ? "" : ", " + keys) + "}";
}
inline std::string Switch(ZkUniqueID id, const std::string& keys = "")
{
    return R"({"type": "music_switch", "id": )" + std::to_string(id) + (keys.empty() ? "" : ", " + keys) + "}";
}
} // namespace ZkMusicTest
