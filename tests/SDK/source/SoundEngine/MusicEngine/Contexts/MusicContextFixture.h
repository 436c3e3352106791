// Shared by the music context tests: the running engine (no thread of its own, offline frames of
// 1024 samples at 48 kHz), the music engine, a registered game object, a music segment node to play,
// and two small test contexts: a leaf that records what reaches it and a timeline context that
// records the frames it processes.
#pragma once

#include "SDK/source/SoundEngine/ZkAudiolib/Common/Engine/EngineLifeFixture.h"

#include "MusicEngine/CZkMusicSegment.h"
#include "MusicEngine/Contexts/CZkMusicTimelineContext.h"
#include "ZkAudiolib/Common/FrontEnd/EngineHooks.h"
#include "ZkAudiolib/Common/GameObjects/CZkRegistryMgr.h"
#include "ZkAudiolib/Common/Parameters/CZkTransitionMgr.h"

#include "MusicEngine/MusicEngineState.h"

#include <ZK/SoundEngine/Common/ZkEngineControls.h>
#include <ZK/SoundEngine/Common/ZkMemoryMgr.h>
#include <ZK/SoundEngine/Common/ZkMusicEngine.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <new>
#include <utility>
#include <vector>

namespace ZkMusicContextTest
{
using namespace ZK::MusicEngine;

// A context allocated as the contexts are (pool 0; the last Release frees it).
template <typename Context, typename... Args>
Context* NewContext(Args&&... args)
{
    void* memory = ZK::MemoryMgr::Malloc(CZkMusicContext::kPool, sizeof(Context));
    return memory != nullptr ? new (memory) Context(std::forward<Args>(args)...) : nullptr;
}

// A leaf that keeps what reached it.
class RecordingLeaf final : public CZkMusicChild
{
public:
    void StopAt(uint32_t offset) override { stopsAt.push_back(offset); }
    void EndFrame() override { ++endFrames; }
    void Stop(uint32_t offset) override { stops.push_back(offset); }
    void Pause() override { paused = true; }
    void Resume() override { paused = false; }
    void ApplyFade(const void* key, float value) override { fades[key].push_back(value); }
    void SetParameter(uint32_t id, float value, float) override { parameters.emplace_back(id, value); }
    void ReleaseModulators() override { ++modulatorReleases; }
    void AddRef() override { ++refs; }
    void Release() override { --refs; }

    std::vector<uint32_t> stopsAt;
    std::vector<uint32_t> stops;
    std::map<const void*, std::vector<float>> fades;
    std::vector<std::pair<uint32_t, float>> parameters;
    int endFrames = 0;
    int modulatorReleases = 0;
    int refs = 0;
    bool paused = false;
};

// A timeline context over a music node that records the frames it processes.
class RecordingTimeline final : public CZkMusicTimelineContext
{
public:
    RecordingTimeline(CZkMusicContext* parentContext, CZkMusicNode* node, int* destroyed)
        : CZkMusicTimelineContext(parentContext), m_node(node), m_destroyed(destroyed)
    {
    }
    ~RecordingTimeline() override
    {
        if (m_destroyed != nullptr)
            ++*m_destroyed;
    }
    void Process(uint64_t time, uint32_t length, ZkMusicFrameInfo&) override
    {
        AddRef();
        frames.emplace_back(time, length);
        FinishFrame(time, length);
    }
    CZkMusicNode* GetNode() const override { return m_node; }
    // Seeks are recorded and succeed.
    ZKRESULT SeekByTime(int32_t& ms, bool snap) override
    {
        seeks.emplace_back(static_cast<float>(ms), snap);
        return ZK_Success;
    }
    ZKRESULT SeekByPercent(float& fraction, bool snap) override
    {
        seeks.emplace_back(fraction, snap);
        return ZK_Success;
    }

    // Plays without a play record: a context under test on its own.
    using CZkMusicContext::SetPlayState;

    std::vector<std::pair<uint64_t, uint32_t>> frames;
    std::vector<std::pair<float, bool>> seeks;

private:
    CZkMusicNode* m_node;
    int* m_destroyed;
};

class MusicContextTest : public ZkEngineLifeTest::EngineLifeTest
{
protected:
    static constexpr ZkGameObjectID kObject = 77;
    static constexpr uint32_t kFrame = 1024;

    void SetUp() override
    {
        EngineLifeTest::SetUp();
        settings.engineThread = 0;
        ASSERT_EQ(ZK::SoundEngine::Init(&settings, &platformSettings), ZK_Success);
        ASSERT_EQ(ZK::SoundEngine::SetOfflineRendering(true), ZK_Success);
        ASSERT_EQ(ZK::SoundEngine::SetOfflineRenderingFrameTime(1024.0f / 48000.0f), ZK_Success);
        ZkMusicSettings music;
        ZK::MusicEngine::GetDefaultInitSettings(music);
        ASSERT_EQ(ZK::MusicEngine::Init(&music), ZK_Success);
        ASSERT_EQ(ZK::SoundEngine::g_pRegistryMgr->RegisterObject(kObject), ZK_Success);
        m_object = ZK::SoundEngine::g_pRegistryMgr->GetObj(kObject);
        ASSERT_NE(m_object, nullptr);
        m_segment = CZkMusicSegment::Create(0x5E6);
        ASSERT_NE(m_segment, nullptr);
    }
    void TearDown() override
    {
        if (m_segment != nullptr)
            m_segment->Release();
        ZK::MusicEngine::Term();
        ZK::SoundEngine::EngineHooks::SetStateChangeHandler(nullptr);
        ZK::SoundEngine::EngineHooks::SetHierarchyItemHandler(nullptr);
        ZK::SoundEngine::EngineHooks::SetBankUnloadHandler(nullptr);
        EngineLifeTest::TearDown();
    }

    // One more transition-manager frame (what the engine does once per frame).
    static void TickTransitions()
    {
        ZK::SoundEngine::CZkTransitionMgr& manager = *ZK::SoundEngine::g_pTransitionMgr;
        manager.ProcessTransitions(manager.CurrentFrame() + 1);
    }

    // A root over the segment holding the creator's reference, not started.
    RecordingTimeline* LoneContext(int* destroyed = nullptr)
    {
        auto* context = NewContext<RecordingTimeline>(nullptr, m_segment, destroyed);
        context->AddRef();
        return context;
    }

    // Unlinks the leaf and drops the leaf's and the creator's references of a lone context.
    static void DropLone(RecordingTimeline* context, RecordingLeaf& leaf)
    {
        context->UnlinkChild(leaf);
        context->Release();
        context->Release();
    }

    ZK::SoundEngine::CZkRegisteredObj* m_object = nullptr;
    CZkMusicSegment* m_segment = nullptr;
};
} // namespace ZkMusicContextTest
