#include "ZkAudiolib/Common/MixGraph/ZkMixBufferHold.h"

namespace ZK::SoundEngine
{
void ZkMixBufferHold::Release()
{
    if (data != nullptr)
    {
        frames = 0;
        allocator->Free(data);
        data = nullptr;
        validFrames = 0;
    }
    if (secondData != nullptr && secondOwned != 0)
    {
        secondAllocator->Free(secondData);
        secondOwned = 0;
    }
    secondData = nullptr;
}
} // namespace ZK::SoundEngine
