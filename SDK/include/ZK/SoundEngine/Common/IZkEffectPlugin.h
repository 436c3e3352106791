// Effect plug-ins (type 3) and the host context an effect instance talks to the engine through.
// An in-place effect processes the buffer it is given and leaves its result there.
//
// Calling order: the engine creates the instance through the plug-in registry, checks its plug-in
// info, calls Init with the running format (sample rate and channel configuration), then Execute
// once per frame, Reset when processing restarts (for example when the effect leaves a bypass),
// and Term at the end.
//
// Threading: an instance is used by one rendering thread at a time. Ownership: the instance was
// allocated through the allocator it receives in Term and frees itself there; the host context
// belongs to the engine object that runs the effect.
#pragma once

#include <ZK/SoundEngine/Common/IZkPlugin.h>
#include <ZK/SoundEngine/Common/ZkAudioBuffer.h>
#include <ZK/SoundEngine/Common/ZkChannelConfig.h>
#include <ZK/SoundEngine/Common/ZkResult.h>
#include <ZK/SoundEngine/Common/ZkTypes.h>

#include <cstdint>

namespace ZK
{
class IZkRuntimeEnvironment;
class IZkStreamMgr;

// The running format handed to Init: the engine sample rate and the channel configuration of the
// buffers the effect will process.
struct ZkEffectFormat
{
    uint32_t sampleRate = 0;
    ZkChannelConfig channelConfig;
};

class IZkEffectPluginContext
{
public:
    virtual ~IZkEffectPluginContext() = default;
    virtual IZkGlobalPluginContext* GetGlobalContext() const = 0;
    // Monitoring is not kept in this system: 4.
    virtual ZKRESULT PostMonitoring(const void* data, uint32_t size) = 0;
    // The media the effect references by index; null and 0 when there is none.
    virtual void FindMedia(uint32_t mediaIndex, const uint8_t*& data, uint32_t& size) = 0;
    // Custom game data for this effect; null and 0 (and result 0) when there is none.
    virtual uint32_t GetCustomData(const void*& data, uint32_t& size) = 0;
    // Linear gain of what the effect's output feeds.
    virtual float GetOwnerGain() const = 0;
    // The channel configuration the effect's output is mixed into. 1, or 2 with a zero configuration
    // when there is none.
    virtual ZKRESULT GetOutputConfig(ZkChannelConfig& config) const = 0;
    virtual IZkRuntimeEnvironment* GetRuntimeEnvironment() const = 0;
    virtual ZkUniqueID GetNodeID() const = 0;
    virtual bool IsActive() const = 0;
    virtual void GetMediaCount(uint32_t& count) const = 0;
    virtual IZkStreamMgr* GetStreamMgr() const = 0;
};

class IZkInPlaceEffectPlugin : public IZkPlugin
{
public:
    virtual ZKRESULT Init(IZkPluginMemAlloc* allocator, IZkEffectPluginContext* context, IZkPluginParam* params,
                          ZkEffectFormat& format) = 0;
    // Processes buffer->validFrames frames in place; may change validFrames and the buffer's state.
    virtual void Execute(ZkAudioBuffer* buffer) = 0;
    // Advances the effect's time without audio (a virtual voice); frames in and out.
    virtual ZKRESULT SkipTime(uint32_t& frames) = 0;
};
} // namespace ZK
