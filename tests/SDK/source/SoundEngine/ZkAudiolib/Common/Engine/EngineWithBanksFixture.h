// Shared by the tests of a running engine with the game's banks: the engine-life fixture with one
// virtual speaker endpoint, the blocking low-level I/O over the banks the build writes
// (Trindle_Ostrel/Banks), and the game's start: Init, then Init.bnk and Main.bnk. The engine runs
// without its own thread unless a test asks for it, so each RenderAudio ticks on the test's thread.
#pragma once

#include "EngineLifeFixture.h"

#include "SDK/source/SoundEngine/ZkAudiolib/Common/Containers/EngineMemoryFixture.h"

#include "SDK/source/SoundEngine/StreamMgr/StreamTestSupport.h"

#include "StreamMgr/CZkFilePackageLowLevelIOBlocking.h"

#include <ZK/SoundEngine/Common/ZkBankCalls.h>
#include <ZK/SoundEngine/Common/ZkEngineControls.h>

#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

namespace ZkEngineLifeTest
{
// Every event id Main.bnk's description gives (the events the game posts).
inline std::vector<ZkUniqueID> GameEventIDs()
{
    std::istringstream output(ZkEngineTest::RunPythonOracle(
        "SDK/source/SoundEngine/ZkAudiolib/Common/Engine/game_events.py",
        "\"" + std::string(KP_SOURCE_DIR) + "/SoundProject/Main.json\""));
    std::vector<ZkUniqueID> ids;
    for (unsigned long id = 0; output >> id;)
        ids.push_back(static_cast<ZkUniqueID>(id));
    return ids;
}

class EngineWithBanks : public EngineLifeTest
{
protected:
    void SetUp() override
    {
        EngineLifeTest::SetUp();
        UseVirtualSpeakersWithoutEngineThread();
        ASSERT_EQ(m_io.Init(ZkStreamTest::DefaultDeviceSettings()), ZK_Success);
        const std::filesystem::path banks = std::filesystem::path(KP_SOURCE_DIR) / "Trindle_Ostrel" / "Banks";
        ASSERT_EQ(m_io.AddBasePath(banks.wstring().c_str()), ZK_Success);
    }
    void TearDown() override
    {
        Term();
        m_io.Term();
        EngineLifeTest::TearDown();
    }

    // The game's start: the engine, then its two banks; one frame applies what the Init bank
    // queued (the main output).
    void StartLikeTheGame()
    {
        ASSERT_EQ(Init(&settings, &platformSettings), ZK_Success);
        ZkBankID bank = 0;
        ASSERT_EQ(LoadBank("Init.bnk", bank), ZK_Success);
        ASSERT_EQ(LoadBank("Main.bnk", bank), ZK_Success);
        ASSERT_EQ(RenderAudio(true), ZK_Success);
    }

    ZK::StreamMgr::CZkFilePackageLowLevelIOBlocking m_io;
};
} // namespace ZkEngineLifeTest
