#include "ZkAudiolib/Common/Hierarchy/PlayLaunchParams.h"

#include "ZkAudiolib/Common/FrontEnd/ZkExternalSourceArray.h"
#include "ZkAudiolib/Common/ObjectIndex/CZkIndexedObject.h"
#include "ZkAudiolib/Common/Playback/CZkPlayChain.h"

namespace ZK::SoundEngine
{
void ZkPlayPath::Push(uint32_t index, bool continuous)
{
    if (depth < kMaxLevels)
    {
        indices[depth] = static_cast<uint16_t>(index);
        const uint32_t bit = 1u << depth;
        continuousMask = continuous ? continuousMask | bit : continuousMask & ~bit;
    }
    ++depth;
}

uint32_t ZkPlayPath::ContinuousDepthBelow(uint32_t below) const
{
    for (uint32_t level = below < kMaxLevels ? below : kMaxLevels; level-- > 0;)
    {
        if (IsContinuous(level))
            return level + 1;
    }
    return 0;
}

void PlayLaunchParams::FreeArrays()
{
    if (externalSources != nullptr)
        externalSources->Release();
    externalSources = nullptr;
    if (playChain != nullptr)
        playChain->Release();
    playChain = nullptr;
    if (playTarget != nullptr)
        playTarget->Release();
    playTarget = nullptr;
    modulatorInstances.Term();
}

bool PlayLaunchParams::CopyTo(PlayLaunchParams& copy) const
{
    copy = *this;
    copy.modulatorInstances = ZkModulatorInstanceArray{};
    if (modulatorInstances.Length() != 0 && copy.modulatorInstances.CopyFrom(modulatorInstances) != ZK_Success)
    {
        copy.modulatorInstances = ZkModulatorInstanceArray{};
        copy.externalSources = nullptr;
        copy.playChain = nullptr;
        copy.playTarget = nullptr;
        return false;
    }
    if (externalSources != nullptr)
        externalSources->AddRef();
    if (playChain != nullptr)
        playChain->AddRef();
    if (playTarget != nullptr)
        playTarget->AddRef();
    return true;
}
} // namespace ZK::SoundEngine
