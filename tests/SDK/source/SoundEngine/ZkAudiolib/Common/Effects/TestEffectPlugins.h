// The plug-ins of the effect-object tests, registered through the plug-in registry: an in-place
// gain effect whose parameter 0 multiplies its input (its parameter object keeps the gain and logs
// every value it is sent), and a mixer plug-in of type 6 that sums its inputs.
//
// The gain's parameter block is empty (gain 1.0) or one f32 (the gain); any other size is refused
// with 31.
#pragma once

#include "ZkAudiolib/Common/Plugins/PluginRegistry.h"

#include <ZK/SoundEngine/Common/IZkEffectPlugin.h>
#include <ZK/SoundEngine/Common/IZkPlugin.h>
#include <ZK/SoundEngine/Common/IZkPluginMemAlloc.h>
#include <ZK/SoundEngine/Common/ZkAudioBuffer.h>

#include <cstring>
#include <new>
#include <vector>

namespace ZkEffectTest
{
constexpr uint32_t kTestCompany = 0x40;
constexpr uint32_t kGainNumber = 7;
constexpr uint32_t kGainKey = ZK::ZkMakePluginKey(ZK::ZkPluginTypeEffect, kTestCompany, kGainNumber);
constexpr uint16_t kGainParam = 0;
constexpr ZKRESULT kGainRefusal = ZK_InvalidParameter;

struct SentValue
{
    uint16_t paramID;
    float value;
};

class GainParams final : public ZK::IZkPluginParam
{
public:
    static inline uint32_t live = 0; // parameter objects alive (blocks and clones)

    static ZK::IZkPluginParam* Create(ZK::IZkPluginMemAlloc* allocator)
    {
        void* memory = ZK_PLUGIN_MALLOC(allocator, sizeof(GainParams));
        return memory != nullptr ? new (memory) GainParams : nullptr;
    }
    GainParams() { ++live; }
    ~GainParams() override { --live; }
    ZKRESULT SetParam(uint16_t paramID, const void* value, uint32_t size) override
    {
        if (size != sizeof(float))
            return ZK_InvalidParameter;
        float x = 0.0f;
        std::memcpy(&x, value, sizeof(x));
        sent.push_back({paramID, x});
        if (paramID == kGainParam)
            gain = x;
        return ZK_Success;
    }
    ZK::IZkPluginParam* Clone(ZK::IZkPluginMemAlloc* allocator) override
    {
        void* memory = ZK_PLUGIN_MALLOC(allocator, sizeof(GainParams));
        if (memory == nullptr)
            return nullptr;
        auto* clone = new (memory) GainParams;
        clone->gain = gain;
        return clone;
    }
    ZKRESULT Init(ZK::IZkPluginMemAlloc*, const void* block, uint32_t size) override
    {
        return size == 0 ? ZK_Success : SetParamsBlock(block, size);
    }
    ZKRESULT Term(ZK::IZkPluginMemAlloc* allocator) override
    {
        this->~GainParams();
        ZK_PLUGIN_FREE(allocator, this);
        return ZK_Success;
    }
    ZKRESULT SetParamsBlock(const void* block, uint32_t size) override
    {
        if (size != sizeof(float))
            return kGainRefusal;
        std::memcpy(&gain, block, sizeof(gain));
        return ZK_Success;
    }

    float gain = 1.0f;
    std::vector<SentValue> sent;
};

class GainEffect final : public ZK::IZkInPlaceEffectPlugin
{
public:
    static ZK::IZkPlugin* Create(ZK::IZkPluginMemAlloc* allocator)
    {
        void* memory = ZK_PLUGIN_MALLOC(allocator, sizeof(GainEffect));
        return memory != nullptr ? new (memory) GainEffect : nullptr;
    }
    ZKRESULT Term(ZK::IZkPluginMemAlloc* allocator) override
    {
        this->~GainEffect();
        ZK_PLUGIN_FREE(allocator, this);
        return ZK_Success;
    }
    ZKRESULT Reset() override { return ZK_Success; }
    ZKRESULT GetPluginInfo(ZK::ZkPluginInfo& info) override
    {
        info = ZK::ZkPluginInfo{};
        info.type = ZK::ZkPluginTypeEffect;
        info.buildVersion = ZK::ZK_PLUGIN_BUILD_VERSION;
        info.processesInPlace = 1;
        return ZK_Success;
    }
    ZKRESULT Init(ZK::IZkPluginMemAlloc*, ZK::IZkEffectPluginContext*, ZK::IZkPluginParam* params,
                  ZK::ZkEffectFormat&) override
    {
        m_params = static_cast<GainParams*>(params);
        return ZK_Success;
    }
    void Execute(ZkAudioBuffer* buffer) override
    {
        const float gain = m_params != nullptr ? m_params->gain : 1.0f;
        for (uint32_t channel = 0; channel < buffer->NumChannels(); ++channel)
        {
            float* samples = buffer->GetChannel(channel);
            for (uint32_t frame = 0; frame < buffer->validFrames; ++frame)
                samples[frame] *= gain;
        }
    }
    ZKRESULT SkipTime(uint32_t&) override { return ZK_Success; }

private:
    GainParams* m_params = nullptr;
};
// Starts the registry with the test gain effect (and its parameter object) registered.
inline ZKRESULT StartRegistryWithGain()
{
    GainParams::live = 0;
    const ZKRESULT started = ZK::SoundEngine::PluginRegistry::Init(nullptr);
    if (started != ZK_Success)
        return started;
    return ZK::SoundEngine::PluginRegistry::RegisterPlugin(ZK::ZkPluginTypeEffect, kTestCompany, kGainNumber,
                                                           &GainEffect::Create, &GainParams::Create, nullptr);
}
} // namespace ZkEffectTest
