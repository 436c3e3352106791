// Shared by the bus tests: the hierarchy fixture with buses read from banks that the bank writer
// makes, and small helpers to find them and to count plays through them.
#pragma once

#include "HierarchyFixture.h"

#include "ZkAudiolib/Common/FrontEnd/EngineSettings.h"
#include "ZkAudiolib/Common/Hierarchy/CZkBus.h"
#include "ZkAudiolib/Common/Renderer/CZkAudioRenderer.h"

#include <ZK/SoundEngine/Common/ZkIdFromName.h>

#include <string>

namespace ZkHierarchyTest
{
class BusTest : public HierarchyTest
{
protected:
    void SetUp() override
    {
        HierarchyTest::SetUp();
        CZkAudioRenderer::ClearGraphDirty();
        // The bank parse ties the first bus to the main output's share set: start from none.
        GetEngineSettings().mainOutput = ZkOutputSettings{};
    }
    void TearDown() override
    {
        CZkBus::UnmuteBackgroundMusic();
        GetEngineSettings().bgmMuteCallback = nullptr;
        GetEngineSettings().bgmMuteCookie = nullptr;
        HierarchyTest::TearDown();
        GetEngineSettings().mainOutput = ZkOutputSettings{};
        EXPECT_EQ(CZkBus::TopLevelCount(), 0u) << "every bus left the top-level list";
        CZkAudioRenderer::ClearGraphDirty();
    }

    // A bus item: "id" and "parent" may be names; keys are the writer's bus keys.
    static std::string Bus(const std::string& id, const std::string& keys = "", const char* type = "bus")
    {
        return std::string(R"({"type": ")") + type + R"(", "id": ")" + id + "\"" + (keys.empty() ? "" : ", " + keys) + "}";
    }

    static ZkUniqueID Id(const char* name) { return ZK::SoundEngine::GetIDFromString(name); }

    static CZkBus* FindBus(const char* name)
    {
        auto* node = static_cast<CZkHierarchyNode*>(g_pObjectIndex->Table(ZkIndexKind::Buses).Table().Find(Id(name)));
        return dynamic_cast<CZkBus*>(node);
    }

    // Parses a bank of these items and expects it to load.
    void Load(const std::string& items) { ASSERT_EQ(Parse(BankOfItems(items)), ZK_Success); }

    // One play counted at node (and so at its buses); undone by Stop.
    static void Play(CZkHierarchyNode* node)
    {
        ZkPlayCount play;
        play.toBus = !node->IsBus();
        ASSERT_EQ(node->PlayCountUp(play), ZK_Success);
    }
    static void Stop(CZkHierarchyNode* node) { node->PlayCountDown(nullptr, !node->IsBus()); }
};
} // namespace ZkHierarchyTest
