#include "ZkAudiolib/Common/Hierarchy/ZkStreamRef.h"

namespace ZK::SoundEngine::ZkStreamRef
{
ZKRESULT Acquire(const ZkMediaRef& media, const uint8_t*& data, uint32_t& size, LoadedBank*& bank)
{
    bank = nullptr;
    if (media.IsResident())
    {
        data = static_cast<const uint8_t*>(media.data);
        size = media.mediaSize;
        return ZK_Success;
    }
    data = nullptr;
    size = 0;
    return ZK_NotImplemented; // the bank manager's media index (GetMedia) does not exist yet
}

void Release(const ZkMediaRef&, LoadedBank*)
{
    // Resident media needs nothing; media of the media index is never handed out yet.
}
} // namespace ZK::SoundEngine::ZkStreamRef
