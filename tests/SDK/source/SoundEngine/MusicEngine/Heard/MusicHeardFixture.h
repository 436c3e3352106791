// The heard fixture of the music tests: the first-sound engine with the music engine started
// before the banks load and ended before the engine, and the test's bank written from its
// description at set-up.
#pragma once

#include "SDK/source/SoundEngine/ZkAudiolib/Common/Renderer/FirstSoundFixture.h"

#include <ZK/SoundEngine/Common/ZkMusicEngine.h>

#include <string>

namespace ZkFirstSoundTest
{

class MusicHeard : public FirstSound
{
protected:
    using BankDescription = std::string (*)();

    MusicHeard(const char* bankName, BankDescription description)
        : m_bankName(bankName), m_description(description)
    {
    }

    void SetUp() override
    {
        FirstSound::SetUp();
        ASSERT_NO_FATAL_FAILURE(WriteBankFile(m_bankName, m_description()));
    }
    void TearDown() override
    {
        ZK::MusicEngine::Term();
        FirstSound::TearDown();
    }
    void BeforeBanksLoad() override { ASSERT_EQ(ZK::MusicEngine::Init(nullptr), ZK_Success); }

    // Starts the engine with the test's bank loaded.
    void StartMusic() { ASSERT_NO_FATAL_FAILURE(Start(m_bankName)); }

private:
    const char* m_bankName;
    BankDescription m_description;
};

} // namespace ZkFirstSoundTest
