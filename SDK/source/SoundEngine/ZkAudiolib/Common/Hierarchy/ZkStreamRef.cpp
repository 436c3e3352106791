#include "ZkAudiolib/Common/Hierarchy/ZkStreamRef.h"

#include "ZkAudiolib/Common/Banks/BankManager.h"

namespace ZK::SoundEngine::ZkStreamRef
{
ZKRESULT Acquire(const ZkMediaRef& media, const uint8_t*& data, uint32_t& size, LoadedBank*& bank)
{
    bank = nullptr;
    data = nullptr;
    size = 0;
    if (media.IsResident())
    {
        data = static_cast<const uint8_t*>(media.data);
        size = media.mediaSize;
        return ZK_Success;
    }
    if (g_pBankManager == nullptr)
        return ZK_Fail;
    const ZkMediaBlock block = g_pBankManager->GetMedia(media.mediaID, bank);
    if (block.data == nullptr)
        return ZK_Fail;
    data = block.data;
    size = block.size;
    return ZK_Success;
}

void Release(const ZkMediaRef& media, LoadedBank* bank)
{
    if (media.IsResident() || g_pBankManager == nullptr)
        return;
    g_pBankManager->ReleaseMedia(media.mediaID);
    if (bank != nullptr)
        LoadedBank::Release(bank, false);
}
} // namespace ZK::SoundEngine::ZkStreamRef
