// The exported ZkMixer functions: thin calls through the kernel tables, plus the filtered and
// bypassed matrix mixes that drive a voice's filter pair around the matrix kernel.
#include <ZK/SoundEngine/Common/ZkMixer.h>

#include "ZkKernelTables.h"

#include <ZK/SoundEngine/Common/ZkMemoryMgr.h>
#include <Plugins/Effects/Common/ZkSrcLpHpFilter.h>

#include <cstddef>

namespace
{
// Filtered scratch up to this size lives on the stack; above it, pool memory.
constexpr size_t kMaxStackScratchBytes = 32768;
constexpr size_t kScratchSlackBytes = 16;
constexpr uint32_t kScratchAlignment = 16;
} // namespace

namespace ZkMixer
{
void MixChannel(float* in, float* out, float gain, float gainStep, unsigned int frames)
{
    g_zkKernelTables.mixChannel(in, out, gain, gainStep, frames);
}

void MixOneInNChannels(float* in, ZkAudioBuffer* out, ZkChannelConfig config, ZkRamp& base, const float* previousVolumes,
                       const float* nextVolumes, float oneOverFrames, unsigned short frames)
{
    g_zkKernelTables.mixOneInN(in, out, config, base, previousVolumes, nextVolumes, oneOverFrames, frames);
}

void MixNinNChannels(ZkAudioBuffer* in, ZkAudioBuffer* out, ZkRamp& base, const float* previousMatrix,
                     const float* nextMatrix, float oneOverFrames, unsigned short frames)
{
    g_zkKernelTables.mixNinN(in, out, base, previousMatrix, nextMatrix, oneOverFrames, frames);
}

void MixFilterNinNChannels(ZkAudioBuffer* in, ZkAudioBuffer* out, ZkRamp& base, const float* previousMatrix,
                           const float* nextMatrix, float oneOverFrames, unsigned short frames,
                           CZkSrcLpHpFilter* filter)
{
    const ZkChannelConfig filterConfig = filter->GetChannelConfig();
    const size_t scratchBytes = static_cast<size_t>(filterConfig.NumChannels()) * frames * sizeof(float) + kScratchSlackBytes;

    alignas(16) unsigned char stackScratch[kMaxStackScratchBytes];
    void* scratch = stackScratch;
    bool fromPool = false;
    if (scratchBytes > kMaxStackScratchBytes)
    {
        scratch = ZK::MemoryMgr::Malign(ZkMemID_Processing, scratchBytes, kScratchAlignment);
        fromPool = scratch != nullptr;
    }

    ZkAudioBuffer* source = in;
    ZkAudioBuffer filtered;
    if (scratch != nullptr)
    {
        filtered.AttachData(scratch, frames, filterConfig);
        filter->ProcessOutOfPlace(in, &filtered);
        source = &filtered;
    }
    // Without scratch memory the mix goes on unfiltered rather than dropping the voice.
    g_zkKernelTables.mixNinN(source, out, base, previousMatrix, nextMatrix, oneOverFrames, frames);
    filter->AdvanceAfterMix();

    if (fromPool)
        ZK::MemoryMgr::Free(ZkMemID_Processing, scratch);
}

void MixBypassNinNChannels(ZkAudioBuffer* in, ZkAudioBuffer* out, ZkRamp& base, const float* previousMatrix,
                           const float* nextMatrix, float oneOverFrames, unsigned short frames,
                           CZkSrcLpHpFilter* filter)
{
    const uint32_t channels = in->NumChannels();
    for (uint32_t channel = 0; channel < channels; ++channel)
        filter->KeepStateCurrent(in, channel);
    g_zkKernelTables.mixNinN(in, out, base, previousMatrix, nextMatrix, oneOverFrames, frames);
}

void ApplyGain(ZkAudioBuffer* in, ZkAudioBuffer* out, ZkRamp gain, bool toShort)
{
    ZkGainKernels::ApplyGainSse(in, out, gain, toShort);
}

void ApplyGainAndInterleave(ZkAudioBuffer* in, ZkAudioBuffer* out, ZkRamp gain, bool toShort)
{
    const uint32_t cell = ZkGainKernels::InterleaveCell(ZkGainKernels::LayoutClassOf(in->channelConfig),
                                                        ZkGainKernels::LayoutClassOf(out->channelConfig), toShort);
    g_zkKernelTables.interleave.cells[cell](in, out, gain);
}
} // namespace ZkMixer
