#include "ZkKernelTables.h"

#include <Plugins/Effects/Common/BiquadFilterSimd.h>

#include <ZK/SoundEngine/Common/ZkRuntimeEnvironmentMgr.h>

ZkKernelTables g_zkKernelTables = {
    ZkMixKernels::kSseMixer.mixChannel,
    ZkMixKernels::kSseMixer.mixNinN,
    ZkMixKernels::kSseMixer.mixOneInN,
    ZkGainKernels::MakeInterleaveTable(),
    ZkResamplerKernels::MakeSseTable(),
};

void ZkKernelTables::InitMixerKernels()
{
    const bool avx2 = ZK::ZkRuntimeEnvironmentMgr::Instance()->CanUseAvx2Kernels();
    const ZkMixKernels::MixerForm& form = avx2 ? ZkMixKernels::kAvx2Mixer : ZkMixKernels::kSseMixer;
    g_zkKernelTables.mixChannel = form.mixChannel;
    g_zkKernelTables.mixNinN = form.mixNinN;
    g_zkKernelTables.mixOneInN = form.mixOneInN;
    g_zkKernelTables.interleave = ZkGainKernels::MakeInterleaveTable();
    // The voices' filters run in the same instruction set as the mix they feed.
    BiquadUseWideForms(avx2);
}

void ZkKernelTables::InitResamplerKernels()
{
    g_zkKernelTables.resampler = ZK::ZkRuntimeEnvironmentMgr::Instance()->CanUseAvx2Kernels()
                                     ? ZkResamplerKernels::MakeAvx2Table()
                                     : ZkResamplerKernels::MakeSseTable();
}

const char* ZkKernelTables::MixerFormName()
{
    return g_zkKernelTables.mixChannel == ZkMixKernels::kAvx2Mixer.mixChannel ? ZkMixKernels::kAvx2Mixer.name
                                                                              : ZkMixKernels::kSseMixer.name;
}
