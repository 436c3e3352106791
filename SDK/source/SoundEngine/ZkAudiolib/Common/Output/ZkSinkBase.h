// CZkSinkBase: the sink without hardware (plug-in 181, type 7: id 0xB50007). Every output device
// falls back to it when its real sink fails, is lost or is suspended, and runs on it during offline
// rendering. It takes every frame and drops it, always asks for exactly one buffer, and reports the
// 3-D capabilities its parameters gave it.
//
// Threading: engine thread. Ownership: made through the plug-in factory (the plug-in allocator) or
// in place by the device manager (memory pool 6, which the pool-6 plug-in allocator frees);
// Term destroys it through the allocator it is given.
#pragma once

#include <ZK/SoundEngine/Common/IZkSinkPlugin.h>

#include <cstdint>

namespace ZK::SoundEngine
{
class CZkSinkBase final : public ZK::IZkSinkPlugin
{
public:
    static constexpr uint32_t kPluginNumber = 181;
    static constexpr uint32_t kPluginID = (kPluginNumber << 16) | ZK::ZkPluginTypeSink; // 0xB50007

    static ZK::IZkPlugin* Create(ZK::IZkPluginMemAlloc* allocator);

    ZKRESULT Term(ZK::IZkPluginMemAlloc* allocator) override;
    ZKRESULT Reset() override { return ZK_Success; }
    ZKRESULT GetPluginInfo(ZK::ZkPluginInfo& info) override;

    // Takes the capabilities of its parameters (CZkSinkParamsBasic); a valid requested configuration
    // that is not objects becomes their configuration. The answer is objects when the parameters ask
    // for them and the configuration is not front centre alone, else the configuration. 1.
    ZKRESULT Init(ZK::IZkPluginMemAlloc* allocator, ZK::IZkSinkPluginContext* context, ZK::IZkPluginParam* params,
                  ZkChannelConfig& config) override;
    ZKRESULT IsDataNeeded(uint32_t& buffers) override;
    void DataReady() override {}
    bool IsStarved() override { return false; }
    void ResetStarved() override {}
    uint32_t SinkKind() override { return ZK::kZkSinkKind3DAudio; }
    ZKRESULT GetCapabilities(ZK::Zk3DAudioSinkCapabilities& capabilities) override;
    uint32_t Consume(ZkAudioBuffer* main, ZkAudioBuffer* passthrough, ZkAudioObjects* objects, ZkRamp ramp) override;

private:
    ZK::Zk3DAudioSinkCapabilities m_capabilities;
};
} // namespace ZK::SoundEngine
