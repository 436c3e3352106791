// The sound engine started as the game starts it, for the benchmarks that run it: the memory
// manager, a stream manager, the virtual audio system's empty platform (no endpoint: the main
// device runs the base sink), Init without the engine and bank threads, and offline rendering, so
// that each RenderAudio runs one tick on the benchmark's thread. Term and the managers' end in
// the destructor.
#pragma once

#include "Support/BenchMemory.h"

#include <Platform/Audio/VirtualAudioSystem.h>
#include <ZK/SoundEngine/Common/ZkEngineInit.h>
#include <ZK/SoundEngine/Common/ZkSoundEngine.h>
#include <ZK/SoundEngine/Common/ZkStreamMgrModule.h>

class BenchEngine
{
public:
    BenchEngine()
    {
        EnsureMemoryMgr();
        ZK::MemoryMgr::InitForThread();
        m_streamMgr = ZK::StreamMgr::Create(ZkStreamMgrSettings{});
        ZK::SoundEngine::ZkInitSettings settings;
        ZK::SoundEngine::GetDefaultInitSettings(settings);
        settings.engineThread = 0;
        settings.bankThread = 0;
        m_started = m_streamMgr != nullptr && ZK::SoundEngine::Init(&settings, nullptr) == ZK_Success;
        if (m_started)
            ZK::SoundEngine::SetOfflineRendering(true);
    }
    ~BenchEngine()
    {
        if (m_started)
            ZK::SoundEngine::Term();
        if (m_streamMgr != nullptr)
            m_streamMgr->Destroy();
        ZK::MemoryMgr::TermForThread();
    }
    BenchEngine(const BenchEngine&) = delete;
    BenchEngine& operator=(const BenchEngine&) = delete;

    bool Started() const { return m_started; }

private:
    ZK::Platform::ScopedVirtualAudioSystem m_audio;
    ZK::IZkStreamMgr* m_streamMgr = nullptr;
    bool m_started = false;
};
