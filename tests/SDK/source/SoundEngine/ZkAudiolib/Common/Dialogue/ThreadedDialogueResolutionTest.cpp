// A game thread resolving weighted dialogue events while the engine thread draws from the engine's
// random generator under the global engine lock, as its play actions draw their probability: the
// resolution takes the same lock for its draws, so ThreadSanitizer sees no race on the generator.
#include "SDK/source/SoundEngine/ZkAudiolib/Common/Banks/BankManagerFixture.h"

#include "ZkAudiolib/Common/Containers/ZkLcg64.h"
#include "ZkAudiolib/Common/FrontEnd/EngineLock.h"

#include <ZK/SoundEngine/Common/ZkDynamicDialogue.h>

#include <gtest/gtest.h>

#include <thread>

namespace
{
using namespace ZkBankManagerTest;

class ThreadedDialogueResolution : public BankManagerTest
{
};

TEST_F(ThreadedDialogueResolution, GameThreadResolvesWhileTheEngineThreadDraws)
{
    StartManager();
    LoadCopy(WriteBank(R"({"name": "Race.bnk", "chunks": [{"tag": "BKHD"}, {"tag": "HIRC", "items": [
      {"type": "dialogue_event", "id": "Race", "arguments": ["Speaker"], "mode": "weighted", "probability": 90,
       "tree": {"*": {"node": 1, "weight": 40}, "Anna": {"node": 2, "weight": 60}}}]}]})"));
    constexpr uint32_t kRounds = 3000;
    std::thread engine([] {
        for (uint32_t round = 0; round < kRounds; ++round)
        {
            ZK::Platform::ZkScopedLock guard(g_EngineLock);
            ZK::ZkLcg64::Engine().Draw();
        }
    });
    uint32_t resolved = 0;
    const char* path[] = {"Anna"};
    for (uint32_t round = 0; round < kRounds; ++round)
    {
        const ZkUniqueID node = ZK::SoundEngine::DynamicDialogue::ResolveDialogueEvent("Race", path, 1);
        ASSERT_LE(node, 2u);
        resolved += node != 0 ? 1u : 0u;
    }
    engine.join();
    EXPECT_GT(resolved, kRounds / 2);
}
} // namespace
