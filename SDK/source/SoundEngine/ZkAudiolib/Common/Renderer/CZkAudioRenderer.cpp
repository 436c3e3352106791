#include "ZkAudiolib/Common/Renderer/CZkAudioRenderer.h"
#include "ZkAudiolib/Common/Renderer/CZkAudioRendererFrame.h"

#include "ZkAudiolib/Common/FrontEnd/EngineSettings.h"
#include "ZkAudiolib/Common/Mixing/ZkKernelTables.h"
#include "ZkAudiolib/Common/Output/CZkMMDeviceNotifier.h"
#include "ZkAudiolib/Common/Output/CZkOutputDeviceMgr.h"
#include "ZkAudiolib/Common/Plugins/CZkPluginCustomData.h"
#include "ZkAudiolib/Common/Playback/ZkVoiceLists.h"
#include "ZkAudiolib/Common/Output/ZkPlatformAudio.h"
#include "ZkAudiolib/Common/Panning/ZkSpeakerPan.h"
#include "ZkAudiolib/Common/Plugins/PluginRegistry.h"

#include <ZK/SoundEngine/Common/IZkStreamMgr.h>
#include <ZK/SoundEngine/Common/ZkMemoryMgr.h>

#include <atomic>

namespace ZK::SoundEngine
{
namespace
{
std::atomic<int32_t> g_graphDirty{CZkAudioRenderer::kGraphClean};
} // namespace

void CZkAudioRenderer::SetGraphDirty(uint32_t level)
{
    if (g_graphDirty.load(std::memory_order_relaxed) != kGraphRebuildAll)
        g_graphDirty.store(static_cast<int32_t>(level) + 1, std::memory_order_relaxed);
}

void CZkAudioRenderer::SetGraphRebuildAll()
{
    g_graphDirty.store(kGraphRebuildAll, std::memory_order_relaxed);
}

int32_t CZkAudioRenderer::GraphDirty()
{
    return g_graphDirty.load(std::memory_order_relaxed);
}

void CZkAudioRenderer::ClearGraphDirty()
{
    g_graphDirty.store(kGraphClean, std::memory_order_relaxed);
}

ZKRESULT InitRenderer()
{
    ZkKernelTables::InitResamplerKernels();
    ZkKernelTables::InitMixerKernels();
    if (!ZK::MemoryMgr::IsInitialized() || ZK::IZkStreamMgr::m_pStreamMgr == nullptr)
        return ZK_Fail;
    ZKRESULT result = CZkMMDeviceNotifier::CreateFactory();
    if (result != ZK_Success)
        return result;
    result = PluginRegistry::Init(GetEngineSettings().pluginFolder);
    if (result != ZK_Success)
        return result;
    result = ZkVoiceLists::Init();
    if (result != ZK_Success)
        return result;
    CZkSpeakerPan::InitTables();
    CZkAudioRenderer::SetJobCallback(GetEngineSettings().jobCallback);
    return CZkOutputDeviceMgr::StartPacingThread();
}

void CZkAudioRenderer::Term()
{
    CZkSpeakerPan::TermTables();
    DestroyAllBuses();
    ZkVoiceLists::Term();
    PluginRegistry::Term();
    CZkPluginCustomData::Clear();
    PlatformAudio::DestroyDefaultObject();
    ClearGraphDirty();
    SetJobCallback(nullptr);
    RendererFrame::ResetStarvationMark();
}
} // namespace ZK::SoundEngine
