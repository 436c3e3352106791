// ZkKernelTables: the process-wide kernel pointers of the mixer (three slots), the interleave table
// and the resampler table. They start out holding the SSE forms (so a mix before the renderer's
// initialisation is still correct) and are filled once by the renderer's initialisation from the
// processor features: InitMixerKernels (which also picks the voice filters' look-ahead forms, see
// BiquadFilterSimd.h) and InitResamplerKernels install the AVX2 forms when the
// processor offers AVX2 and FMA, the operating system saves the YMM state, and the platform setting
// has not switched AVX off.
//
// Threading: written before rendering starts, read without locks afterwards.
#pragma once

#include "../Voice/ZkResamplerKernels.h"
#include "GainKernels.h"
#include "MixKernels.h"

struct ZkKernelTables
{
    ZkMixKernels::MixChannelFn mixChannel;
    ZkMixKernels::MixNinNFn mixNinN;
    ZkMixKernels::MixOneInNFn mixOneInN;
    ZkGainKernels::InterleaveTable interleave;
    ZkResamplerKernels::KernelTable resampler;

    static void InitMixerKernels();
    static void InitResamplerKernels();
    // The name of the mixer form installed ("sse" or "avx2").
    static const char* MixerFormName();
};

extern ZkKernelTables g_zkKernelTables;
