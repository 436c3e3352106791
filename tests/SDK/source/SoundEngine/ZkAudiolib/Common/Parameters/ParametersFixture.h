// Shared by the game-parameter and game-object tests: the memory manager, then the transition
// manager, the game-parameter manager and the registry, created and destroyed as the engine does.
#pragma once

#include "SDK/source/SoundEngine/ZkAudiolib/Common/Containers/EngineMemoryFixture.h"

#include "ZkAudiolib/Common/Containers/ZkNew.h"
#include "ZkAudiolib/Common/GameObjects/CZkListenerRouting.h"
#include "ZkAudiolib/Common/GameObjects/CZkRegistryMgr.h"
#include "ZkAudiolib/Common/Parameters/CZkParamTargetRegistry.h"
#include "ZkAudiolib/Common/Parameters/CZkRTPCMgr.h"
#include "ZkAudiolib/Common/Parameters/CZkTransitionMgr.h"

#include <gtest/gtest.h>

namespace ZkParamTest
{
using namespace ZK::SoundEngine;

class ParametersTest : public ZkEngineTest::EngineMemoryTest
{
protected:
    void SetUp() override
    {
        ZkEngineTest::EngineMemoryTest::SetUp();
        g_pTransitionMgr = ZK::ZkNew<CZkTransitionMgr>(ZkMemID_EngineSingletons);
        g_pRTPCMgr = ZK::ZkNew<CZkRTPCMgr>(ZkMemID_EngineSingletons);
        g_pRegistryMgr = ZK::ZkNew<CZkRegistryMgr>(ZkMemID_EngineSingletons);
        ASSERT_NE(g_pTransitionMgr, nullptr);
        ASSERT_EQ(g_pRTPCMgr->Init(), ZK_Success);
        ASSERT_EQ(g_pRegistryMgr->Init(), ZK_Success);
    }

    void TearDown() override
    {
        ZK::MemoryMgr::FaultInjection::Disarm();
        TearDownManagers();
        ZkEngineTest::EngineMemoryTest::TearDown();
    }

    void TearDownManagers()
    {
        if (g_pRegistryMgr != nullptr)
            g_pRegistryMgr->Term();
        if (g_pRTPCMgr != nullptr)
            g_pRTPCMgr->Term();
        if (g_pTransitionMgr != nullptr)
            g_pTransitionMgr->Term();
        CZkParamTargetRegistry::Instance().Term();
        TermPositioningGlobals();
        ZK::ZkDelete(ZkMemID_EngineSingletons, g_pRegistryMgr);
        ZK::ZkDelete(ZkMemID_EngineSingletons, g_pRTPCMgr);
        ZK::ZkDelete(ZkMemID_EngineSingletons, g_pTransitionMgr);
        g_pRegistryMgr = nullptr;
        g_pRTPCMgr = nullptr;
        g_pTransitionMgr = nullptr;
    }

    // Runs frames first..last of the transition pass.
    static void RunFrames(uint32_t first, uint32_t last)
    {
        for (uint32_t frame = first; frame <= last; ++frame)
            g_pTransitionMgr->ProcessTransitions(frame);
    }

    CZkRegisteredObj* Register(ZkGameObjectID id)
    {
        EXPECT_EQ(g_pRegistryMgr->RegisterObject(id), ZK_Success);
        return g_pRegistryMgr->GetObj(id);
    }
};
} // namespace ZkParamTest
