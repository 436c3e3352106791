// Shared by the playback tests: the bus fixture's engine parts (memory, transitions, game
// parameters, registry, game syncs, object index, a bank manager, banks parsed from the bank
// writer's output) plus the playing manager, the voice command queue and the tests' recording render side in
// place of the renderer's voices; a registered game object; sounds read from writer-made banks; and playing
// instances made and started by hand, the way a play makes and starts them.
//
// An instance made by Make belongs to the test until Activate hands it to the active instances;
// the fixture frees whatever is left at the end.
#pragma once

#include "MemoryMgr/ZkMemoryFaultInjection.h"
#include "SDK/source/SoundEngine/ZkAudiolib/Common/Hierarchy/BusFixture.h"
#include "SDK/source/SoundEngine/ZkAudiolib/Common/Playback/PlayingMgrFixture.h"
#include "SDK/source/SoundEngine/ZkAudiolib/Common/Playback/RecordingRenderSide.h"
#include "ZkAudiolib/Common/Hierarchy/CZkSoundNode.h"
#include "ZkAudiolib/Common/Playback/CZkActiveInstances.h"
#include "ZkAudiolib/Common/Playback/CZkPlayingInstance.h"
#include "ZkAudiolib/Common/Playback/ZkVoiceLists.h"

#include <ZK/SoundEngine/Common/ZkCallbackTypes.h>
#include <algorithm>
#include <string>
#include <vector>

namespace ZkPlaybackTest
{
using namespace ZK::SoundEngine;
using ZK::MemoryMgr::FaultInjection::ScopedAllocationFailure;

constexpr ZkGameObjectID kObject = 7;

class PlaybackTest : public ZkHierarchyTest::BusTest
{
protected:
    void SetUp() override
    {
        ZkHierarchyTest::BusTest::SetUp();
        ZkPlayingTest::CreatePlayingManager();
        ASSERT_EQ(ZkVoiceLists::Init(), ZK_Success);
        m_savedRenderSide = g_pRenderSide;
        g_pRenderSide = &m_render;
        m_object = Register(kObject);
        ASSERT_NE(m_object, nullptr);
    }

    void TearDown() override
    {
        ZK::MemoryMgr::FaultInjection::Disarm();
        for (CZkPlayingInstance* instance : m_loose)
            CZkPlayingInstance::Free(instance);
        m_loose.clear();
        CZkActiveInstances::Term();
        CZkActiveInstances::GlobalLimiter().SetMaxCount(CZkActiveInstances::kDefaultMaxVoices);
        ZkVoiceLists::Term();
        ZkPlayingTest::DestroyPlayingManager();
        EXPECT_EQ(CZkActiveInstances::LimiterCount(), 0u) << "no limiter is left registered";
        g_pRenderSide = m_savedRenderSide;
        ZkHierarchyTest::BusTest::TearDown();
    }

    // A sound read from a writer-made bank (its keys as the writer takes them); a sound without keys
    // that is loaded already is taken as it is.
    CZkSoundNode* LoadSound(ZkUniqueID id, const std::string& keys = "")
    {
        if (keys.empty() && FindSound(id) != nullptr)
            return FindSound(id);
        EXPECT_EQ(Parse(BankOfItems(Sound(keys, id))), ZK_Success);
        CZkSoundNode* sound = FindSound(id);
        EXPECT_NE(sound, nullptr);
        return sound;
    }

    // The launch record of a play of the fixture's object.
    PlayLaunchParams Launch(ZkPlayingID playingID = 1) const
    {
        PlayLaunchParams params;
        params.gameObject = m_object;
        params.playingID = playingID;
        return params;
    }

    // An instance of the sound with the priority a play would give it; the test's until Activate.
    CZkPlayingInstance* Make(CZkSoundNode* sound, const PlayLaunchParams& params)
    {
        ZkPriorityRecord record;
        float radius = 0.0f;
        CZkHierarchyNode::ComputePlayPriority(record, sound, params.gameObject, radius);
        CZkPlayingInstance* instance = CZkPlayingInstance::Create(params, sound, &sound->Media(), record);
        EXPECT_NE(instance, nullptr);
        if (instance != nullptr)
            m_loose.push_back(instance);
        return instance;
    }
    CZkPlayingInstance* Make(CZkSoundNode* sound, float priority = 50.0f)
    {
        CZkPlayingInstance* instance = Make(sound, Launch());
        if (instance != nullptr)
            instance->priority.priority = priority;
        return instance;
    }

    // What a play does with an instance once its limits let it in: its node counts the play and
    // collects its limiters, Start, the first evaluation, the voice command, the active list.
    void Activate(CZkPlayingInstance* instance, ZkTimeMs fadeInMs = 0, bool paused = false)
    {
        ZkPlayCount play;
        play.gameObject = instance->GameObject();
        play.priority = instance->priority.priority;
        play.limiters = instance->IsDetached() ? nullptr : &instance->Limiters();
        play.checkLimits = false;
        EXPECT_EQ(instance->Node()->PlayCountUp(play), ZK_Success);
        instance->SetPlayCounted();
        EXPECT_EQ(instance->Start(), ZK_Success);
        instance->RefreshFromNode();
        EXPECT_EQ(instance->Play(fadeInMs, ZkCurveInterpolation_Linear, paused, false), ZK_Success);
        m_loose.erase(std::remove(m_loose.begin(), m_loose.end(), instance), m_loose.end());
        CZkActiveInstances::Add(instance);
    }

    // A posted event's playing id for the fixture's object, with a callback that counts the ends
    // of the event (the post's own pending reference is held until Posted releases it).
    ZkPlayingID Post(uint32_t& ends, ZkPlayingID playingID)
    {
        EXPECT_EQ(g_pPlayingMgr->AddPlayingIDNoMessage(playingID, kObject, &CountEnd, &ends,
                                                       ZkCallbackType_EndOfEvent, kEventID),
                  ZK_Success);
        return playingID;
    }
    static void Posted(ZkPlayingID playingID) { g_pPlayingMgr->RemovePlayingIDRef(playingID); }
    static void CountEnd(ZkCallbackType type, ZkCallbackInfo* info)
    {
        if (type == ZkCallbackType_EndOfEvent)
            ++*static_cast<uint32_t*>(info->cookie);
    }
    static constexpr ZkUniqueID kEventID = 0xE7E;

    // One audio frame as the engine tick runs it: transitions, the voice command queue, the render
    // pass's frame update, the deferred commands.
    void Frame()
    {
        g_pTransitionMgr->ProcessTransitions(++m_frame);
        ZkVoiceLists::ProcessActive();
        CZkActiveInstances::FrameUpdate();
        CZkActiveInstances::FlushCommands();
    }
    void Frames(uint32_t count)
    {
        for (uint32_t frame = 0; frame < count; ++frame)
            Frame();
    }

    static bool IsActive(const CZkPlayingInstance* instance)
    {
        for (const CZkPlayingInstance* at = CZkActiveInstances::First(); at != nullptr; at = at->pNextActive)
        {
            if (at == instance)
                return true;
        }
        return false;
    }

    RecordingRenderSide m_render;
    IZkRenderSide* m_savedRenderSide = nullptr;
    CZkRegisteredObj* m_object = nullptr;
    std::vector<CZkPlayingInstance*> m_loose;
    uint32_t m_frame = 0;
};
} // namespace ZkPlaybackTest
