#include "ZkAudiolib/Common/Hierarchy/PlayLaunchParams.h"

#include "ZkAudiolib/Common/FrontEnd/ZkExternalSourceArray.h"

namespace ZK::SoundEngine
{
void PlayLaunchParams::FreeArrays()
{
    if (externalSources != nullptr)
        externalSources->Release();
    externalSources = nullptr;
    modulatorInstances.Term();
}
} // namespace ZK::SoundEngine
