// The music engine for the music benchmarks: the sound engine started as Support/BenchEngine.h
// starts it, rendering offline frames of 1024 samples at 48 kHz, the music engine started with its
// default settings, and one writer-made bank loaded as a view of the caller's bytes (which outlive
// the engine: WrittenOnce keeps them). The music engine ends before the sound engine.
#pragma once

#include "Support/BenchEngine.h"

#include "ZkAudiolib/Common/Hierarchy/CZkHierarchyNode.h"
#include "ZkAudiolib/Common/ObjectIndex/ObjectIndex.h"

#include <ZK/SoundEngine/Common/ZkBankCalls.h>
#include <ZK/SoundEngine/Common/ZkEngineControls.h>
#include <ZK/SoundEngine/Common/ZkMusicEngine.h>

#include <cstdint>
#include <vector>

// The bytes of the bank Write makes, written once per program: the engine reads a loaded bank in
// place, so they stay for every run.
template <std::vector<uint8_t> (*Write)()>
const std::vector<uint8_t>& WrittenOnce()
{
    static const std::vector<uint8_t> bytes = Write();
    return bytes;
}

class MusicBenchEngine
{
public:
    static constexpr uint32_t kBlockFrames = 1024;
    static constexpr uint32_t kMixRate = 48000;

    explicit MusicBenchEngine(const std::vector<uint8_t>& bank)
    {
        if (!m_engine.Started())
            return;
        ZK::SoundEngine::SetOfflineRenderingFrameTime(static_cast<float>(kBlockFrames) / kMixRate);
        ZkMusicSettings music;
        ZK::MusicEngine::GetDefaultInitSettings(music);
        if (ZK::MusicEngine::Init(&music) != ZK_Success)
            return;
        m_music = true;
        ZkBankID bankID = 0;
        m_loaded = !bank.empty() &&
                   ZK::SoundEngine::LoadBankMemoryView(bank.data(), static_cast<uint32_t>(bank.size()), bankID) == ZK_Success;
    }
    ~MusicBenchEngine()
    {
        if (m_music)
            ZK::MusicEngine::Term();
    }
    MusicBenchEngine(const MusicBenchEngine&) = delete;
    MusicBenchEngine& operator=(const MusicBenchEngine&) = delete;

    // True when both engines run and the bank is loaded.
    bool Loaded() const { return m_loaded; }

    // The bank's node of that id as the class it is known to be; null when there is none.
    template <typename Node>
    static Node* Find(ZkUniqueID id)
    {
        return static_cast<Node*>(static_cast<ZK::SoundEngine::CZkHierarchyNode*>(
            ZK::SoundEngine::g_pObjectIndex->Table(ZK::SoundEngine::ZkIndexKind::Nodes).Table().Find(id)));
    }

private:
    BenchEngine m_engine;
    bool m_music = false;
    bool m_loaded = false;
};
