// Helpers of the mixing tests: random planar buffers over owned memory and the kernel forms this
// processor can run.
#pragma once

#include <ZkAudiolib/Common/Mixing/MixKernels.h>
#include <ZK/SoundEngine/Common/ZkRuntimeEnvironmentMgr.h>

#include <gtest/gtest.h>

#include <random>
#include <vector>

inline std::vector<float> RandomSamples(size_t count, uint32_t seed, float range = 1.0f)
{
    std::mt19937 generator(seed);
    std::uniform_real_distribution<float> distribution(-range, range);
    std::vector<float> samples(count);
    for (float& s : samples)
        s = distribution(generator);
    return samples;
}

struct OwnedBuffer
{
    std::vector<float> samples;
    ZkAudioBuffer buffer;

    OwnedBuffer(ZkChannelConfig config, uint16_t frames, uint32_t seed)
        : samples(RandomSamples(config.NumChannels() * static_cast<size_t>(frames), seed))
    {
        buffer.AttachData(samples.data(), frames, config);
    }
    OwnedBuffer(const OwnedBuffer& other) : samples(other.samples), buffer(other.buffer)
    {
        buffer.data = samples.data();
    }
    float* Channel(uint32_t c) { return samples.data() + c * static_cast<size_t>(buffer.maxFrames); }
};

inline bool ProcessorRunsAvx2Kernels()
{
    const uint32_t flags = ZK::ZkRuntimeEnvironmentMgr::FlagsFromReport(ZK::ZkCpuidReport::ReadProcessor());
    return (flags & (ZK::ZK_SIMD_AVX2 | ZK::ZK_SIMD_FMA)) == (ZK::ZK_SIMD_AVX2 | ZK::ZK_SIMD_FMA);
}

// The vector forms of the mixer this processor can run.
inline std::vector<ZkMixKernels::MixerForm> RunnableVectorMixers()
{
    std::vector<ZkMixKernels::MixerForm> forms{ZkMixKernels::kSseMixer};
    if (ProcessorRunsAvx2Kernels())
        forms.push_back(ZkMixKernels::kAvx2Mixer);
    return forms;
}
