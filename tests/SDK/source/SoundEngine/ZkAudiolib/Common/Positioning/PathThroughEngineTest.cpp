// A position path through the running engine (offline rendering): a posted play starts its
// node's player at the engine's frame, the tick steps it, a pause action holds it (PauseNow) for
// 50 frames and the end of its vertex comes 50 frames later, the resume action lets it go on, and
// the play's end leaves no player. And the offset that game parameters drive through parameters
// 20-22, from a play's start.
#include "SDK/source/SoundEngine/ZkAudiolib/Common/Renderer/FirstSoundFixture.h"

#include "ZkAudiolib/Common/Playback/CZkActiveInstances.h"
#include "ZkAudiolib/Common/Playback/CZkPlayingInstance.h"
#include "ZkAudiolib/Common/Playback/CZkSharedItemArray.h"
#include "ZkAudiolib/Common/Positioning/CZkPositionPath.h"

#include <ZK/SoundEngine/Common/ZkGameSyncCalls.h>

namespace
{
using namespace ZkFirstSoundTest;
using ZK::SoundEngine::CZkActiveInstances;
using ZK::SoundEngine::CZkPositionPath;
using ZK::SoundEngine::g_pSharedItemArray;

class PathThroughEngine : public FirstSound
{
protected:
    void SetUp() override
    {
        FirstSound::SetUp();
        // From x = 0 to x = 100 in 100 frames of 21 ms, then the path ends; a looping tone.
        ASSERT_NO_FATAL_FAILURE(WriteBankFile("Path.bnk", R"({"name": "Path.bnk",
            "media": [{"id": 110, "wave": {"rate": 48000, "channels": 1, "loop": {"periods": 250, "of": 1000},
                                           "parts": [{"tone": 1000, "amp": 0.5}]}}],
            "chunks": [{"tag": "BKHD"}, {"tag": "DIDX"}, {"tag": "DATA"},
              {"tag": "HIRC", "items": [
                {"type": "sound", "id": 220, "media": 110, "bus": "Effects", "props": {"loop_count": 0},
                 "positioning": 35, "path": {"mode": 4, "vertices": [[0, 0, 0, 2100], [100, 0, 0, 0]], "items": [[0, 2]]}},
                {"type": "action", "id": 320, "action": "play", "target": 220},
                {"type": "event", "id": "Play_Path", "actions": [320]},
                {"type": "action", "id": 321, "action": "pause", "target": 220},
                {"type": "event", "id": "Pause_Path", "actions": [321]},
                {"type": "action", "id": 322, "action": "resume", "target": 220},
                {"type": "event", "id": "Resume_Path", "actions": [322]},
                {"type": "action", "id": 323, "action": "stop", "target": 220},
                {"type": "sound", "id": 230, "media": 110, "bus": "Effects", "props": {"loop_count": 0}, "positioning": 3,
                 "rtpc": [{"parameter": "Offset_X", "target": 20, "points": [[0, 0], [100, 50]]}]},
                {"type": "action", "id": 330, "action": "play", "target": 230},
                {"type": "event", "id": "Play_Offset", "actions": [330]},
                {"type": "action", "id": 331, "action": "stop", "target": 230},
                {"type": "event", "id": "Stop_Offset", "actions": [331]},
                {"type": "event", "id": "Stop_Path", "actions": [323]}]}]})"));
    }
    static float OffsetX()
    {
        const ZK::SoundEngine::CZkPlayingInstance* play = CZkActiveInstances::First();
        return play != nullptr ? play->AutomationOffset(0) : -1.0f;
    }
    void Frames(uint32_t count)
    {
        for (uint32_t frame = 0; frame < count; ++frame)
            ASSERT_EQ(RenderAudio(true), ZK_Success);
    }
};

TEST_F(PathThroughEngine, APauseActionHoldsThePlayerFor50Frames)
{
    ASSERT_NO_FATAL_FAILURE(Start());
    ZkBankID bank = 0;
    ASSERT_EQ(LoadBank("Path.bnk", bank), ZK_Success);
    ASSERT_NE(PostEvent("Play_Path", kEmitter), 0u);
    ASSERT_NO_FATAL_FAILURE(Frames(1));
    ASSERT_NE(g_pSharedItemArray, nullptr);
    ASSERT_EQ(g_pSharedItemArray->Count(), 1u) << "the play made its player";
    CZkPositionPath* player = g_pSharedItemArray->Player(0);
    const uint32_t end = player->VertexEndFrame();
    EXPECT_EQ(end, player->VertexStartFrame() + 100);
    ASSERT_NO_FATAL_FAILURE(Frames(10));
    const float before = OffsetX();
    EXPECT_GT(before, 0.0f);

    ASSERT_NE(PostEvent("Pause_Path", kEmitter), 0u);
    ASSERT_NO_FATAL_FAILURE(Frames(1));
    EXPECT_EQ(player->GetState(), uint32_t{CZkPositionPath::State_Paused});
    const float held = OffsetX();
    ASSERT_NO_FATAL_FAILURE(Frames(49));
    EXPECT_EQ(OffsetX(), held) << "the paused play's sound stays where it was";
    ASSERT_NE(PostEvent("Resume_Path", kEmitter), 0u);
    ASSERT_NO_FATAL_FAILURE(Frames(1));
    EXPECT_EQ(player->GetState(), uint32_t{CZkPositionPath::State_Running});
    EXPECT_EQ(player->VertexEndFrame(), end + 50) << "the end of the vertex, 50 frames later";
    ASSERT_NO_FATAL_FAILURE(Frames(100));
    EXPECT_NEAR(OffsetX(), 100.0f, 1e-2);
    EXPECT_TRUE(player->IsIdle());

    ASSERT_NE(PostEvent("Stop_Path", kEmitter), 0u);
    ASSERT_NO_FATAL_FAILURE(Frames(3));
    EXPECT_EQ(CZkActiveInstances::First(), nullptr);
    EXPECT_EQ(g_pSharedItemArray->Count(), 0u) << "the play's end leaves no player";
}
// Parameters 20-22 drive the offset through a game parameter's curve (0 at 0, 50 at 100; no
// attenuation, so unscaled). Their changes reach a running play as deltas; a play that starts while
// the curve already gives an offset takes its whole value when it reads its node.
TEST_F(PathThroughEngine, AGameParameterMovesThePlayFromItsStart)
{
    ASSERT_NO_FATAL_FAILURE(Start());
    ZkBankID bank = 0;
    ASSERT_EQ(LoadBank("Path.bnk", bank), ZK_Success);
    struct Row
    {
        float atStart;
        float later;
    };
    for (const Row row : {Row{100.0f, 50.0f}, Row{0.0f, 60.0f}, Row{40.0f, 0.0f}})
    {
        ASSERT_EQ(SetRTPCValue("Offset_X", row.atStart, kEmitter), ZK_Success);
        ASSERT_NO_FATAL_FAILURE(Frames(1));
        ASSERT_NE(PostEvent("Play_Offset", kEmitter), 0u);
        ASSERT_NO_FATAL_FAILURE(Frames(2));
        EXPECT_FLOAT_EQ(OffsetX(), row.atStart / 2.0f) << "started at " << row.atStart;
        ASSERT_EQ(SetRTPCValue("Offset_X", row.later, kEmitter), ZK_Success);
        ASSERT_NO_FATAL_FAILURE(Frames(2));
        EXPECT_FLOAT_EQ(OffsetX(), row.later / 2.0f) << "moved from " << row.atStart << " to " << row.later;
        ASSERT_NE(PostEvent("Stop_Offset", kEmitter), 0u);
        ASSERT_NO_FATAL_FAILURE(Frames(3));
        ASSERT_EQ(CZkActiveInstances::First(), nullptr);
    }
}
} // namespace
