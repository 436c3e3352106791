#include "MusicEngine/Contexts/CZkMusicSilenceContext.h"

#include <new>

namespace ZK::MusicEngine
{
CZkMusicSilenceContext* CZkMusicSilenceContext::Create(CZkMusicContext& parentContext, CZkRegisteredObj* gameObject,
                                                       const ZkMusicPlayInfo& playInfo, uint8_t option)
{
    void* memory = ZK::MemoryMgr::Malloc(kPool, sizeof(CZkMusicSilenceContext));
    if (memory == nullptr)
        return nullptr;
    auto* context = new (memory) CZkMusicSilenceContext(&parentContext);
    context->AddRef();
    if (context->Attach(gameObject, playInfo, option) != ZK_Success || context->AppendItem(0, nullptr) == nullptr)
    {
        // Its last release unlinks it from the parent it was attached to.
        context->Stop(0);
        context->Release();
        return nullptr;
    }
    return context;
}
} // namespace ZK::MusicEngine
