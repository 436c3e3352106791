// A shared item array that stands in for the engine's (g_pSharedItemArray) while a test runs.
// Terminate it before the memory fixture checks that every block was given back.
#pragma once

#include "ZkAudiolib/Common/Playback/CZkSharedItemArray.h"

#include <gtest/gtest.h>

namespace ZkPlaybackTest
{
class SharedItemArrayScope
{
public:
    // The array (maxPlayers, 0 for the default) becomes the engine's.
    void Begin(uint32_t maxPlayers = 0)
    {
        array.Clear();
        ASSERT_EQ(array.Init(maxPlayers), ZK_Success);
        m_saved = ZK::SoundEngine::g_pSharedItemArray;
        ZK::SoundEngine::g_pSharedItemArray = &array;
    }
    // Every player freed; the engine's array as it was.
    void End()
    {
        array.Term();
        ZK::SoundEngine::g_pSharedItemArray = m_saved;
    }
    ZK::SoundEngine::CZkSharedItemArray array;

private:
    ZK::SoundEngine::CZkSharedItemArray* m_saved = nullptr;
};
} // namespace ZkPlaybackTest
