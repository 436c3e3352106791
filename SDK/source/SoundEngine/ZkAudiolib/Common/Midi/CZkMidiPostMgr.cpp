#include "ZkAudiolib/Common/Midi/CZkMidiPostMgr.h"

#include "ZkAudiolib/Common/Containers/ZkNew.h"
#include "ZkAudiolib/Common/FrontEnd/EventManager.h"
#include "ZkAudiolib/Common/Plugins/GlobalCallbacks.h"
#include "ZkAudiolib/Common/Voice/ZkAudioSettings.h"

namespace ZK::SoundEngine
{
CZkMidiPostMgr* g_pMidiPostMgr = nullptr;

CZkMidiPostMgr* CZkMidiPostMgr::Create()
{
    if (g_pMidiPostMgr != nullptr)
        return g_pMidiPostMgr;
    CZkMidiPostMgr* manager = ZK::ZkNew<CZkMidiPostMgr>(kPool);
    if (manager == nullptr)
        return nullptr;
    if (GlobalCallbacks::Register(&OnFrame, ZK::ZkGlobalCallbackLocation_BeginRender, manager, 0) != ZK_Success)
    {
        ZK::ZkDelete(kPool, manager);
        return nullptr;
    }
    g_pMidiPostMgr = manager;
    return manager;
}

void CZkMidiPostMgr::Destroy()
{
    CZkMidiPostMgr* manager = g_pMidiPostMgr;
    if (manager == nullptr)
        return;
    GlobalCallbacks::Unregister(&OnFrame, ZK::ZkGlobalCallbackLocation_BeginRender);
    g_pMidiPostMgr = nullptr;
    ZK::ZkDelete(kPool, manager);
}

void CZkMidiPostMgr::OnFrame(ZK::IZkGlobalPluginContext*, ZK::ZkGlobalCallbackLocation, void* cookie)
{
    auto* manager = static_cast<CZkMidiPostMgr*>(cookie);
    const uint64_t frame = g_pEventMgr != nullptr ? uint64_t{g_pEventMgr->frameCounter} + 1 : 1;
    manager->m_frameSampleTime = frame * ZkAudioSettings::FramesPerBuffer();
    // The targets' events of this frame are dispatched here once MIDI can be posted: until then
    // there is no target.
}

ZKRESULT CZkMidiPostMgr::ExecuteActionOnPlayingID(uint32_t, ZkPlayingID)
{
    return ZK_NotImplemented;
}

ZKRESULT CZkMidiPostMgr::StopMidiOnEvent(ZkUniqueID, ZkGameObjectID, ZkPlayingID)
{
    return ZK_NotImplemented;
}
} // namespace ZK::SoundEngine
