// Shared by the tests of the engine's start and end: a memory manager whose allocations go through
// counting hooks (so a test sees every block the engine still holds), the stream manager that Init
// requires, an empty virtual audio system as the platform's endpoints (no test reaches the machine's
// sound system), and settings records the test adjusts before Init. TearDown terminates the engine
// whatever the test left.
#pragma once

#include "SDK/source/SoundEngine/MemoryMgr/MemoryTestSupport.h"
#include "SDK/source/SoundEngine/ZkAudiolib/Common/ProcessThreads.h"

#include "MemoryMgr/ZkMemoryFaultInjection.h"
#include "StreamMgr/StreamMgrDevices.h"
#include "ZkAudiolib/Common/FrontEnd/EngineSettings.h"

#include <Platform/Audio/VirtualAudioSystem.h>
#include <ZK/SoundEngine/Common/IZkStreamMgr.h>
#include <ZK/SoundEngine/Common/ZkEngineInit.h>
#include <ZK/SoundEngine/Common/ZkStreamMgrModule.h>

#include <gtest/gtest.h>

#include <malloc.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <cstring>

namespace ZkEngineLifeTest
{
using namespace ZK::SoundEngine;
using ZkProcessTest::HasThreadNamed;
using ZkProcessTest::MappingCount;

using ZkMemoryTest::CountingAllocator;

class EngineLifeTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_EQ(ZkMemoryTest::InitCountingMemory(), ZK_Success);
        m_streamMgr = ZK::StreamMgr::Create(ZkStreamMgrSettings{});
        ASSERT_NE(m_streamMgr, nullptr);
        m_savedSettings = GetEngineSettings();
        GetDefaultInitSettings(settings);
        GetDefaultPlatformInitSettings(platformSettings);
        m_baseline = CountingAllocator::LiveBlocks();
    }
    void TearDown() override
    {
        ZK::MemoryMgr::FaultInjection::Disarm();
        Term();
        GetEngineSettings() = m_savedSettings;
        if (m_streamMgr != nullptr)
            m_streamMgr->Destroy();
        ZK::MemoryMgr::TermForThread();
        ZK::MemoryMgr::Term();
    }

    // One virtual speaker endpoint for the main device, and no engine thread: each RenderAudio ticks
    // on the test's thread.
    void UseVirtualSpeakersWithoutEngineThread()
    {
        ZK::Platform::VirtualEndpointSettings speakers;
        speakers.id = L"{virtual}.speakers";
        speakers.friendlyName = L"Speakers";
        m_audio->AddEndpoint(speakers);
        settings.engineThread = 0;
    }

    // The blocks the engine holds beyond what the test's set-up holds. A stream its owner closed
    // (a bank's file, once read) is freed by the I/O thread whenever that thread next runs, which
    // on a busy machine can be seconds later: such streams are reclaimed here first, so the count
    // does not depend on how the I/O thread was scheduled.
    int64_t EngineBlocks() const
    {
        ZK::StreamMgr::ReleaseMemoryForStream(nullptr, 0);
        return CountingAllocator::LiveBlocks() - m_baseline;
    }

    void DestroyStreamManager()
    {
        if (m_streamMgr != nullptr)
            m_streamMgr->Destroy();
        m_streamMgr = nullptr;
    }

    ZkInitSettings settings;
    ZkPlatformInitSettings platformSettings;
    ZK::Platform::ScopedVirtualAudioSystem m_audio;

private:
    ZK::IZkStreamMgr* m_streamMgr = nullptr;
    ZkInitSettings m_savedSettings;
    int64_t m_baseline = 0;
};
} // namespace ZkEngineLifeTest
