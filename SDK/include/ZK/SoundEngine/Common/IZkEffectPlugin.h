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

class ZkAudioObjects;

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

// What every effect plug-in answers besides processing: whether it takes a new version of media it
// references (after a bank change), and its start with the running format.
class IZkEffectPlugin : public IZkPlugin
{
public:
    // The media of mediaIndex changed: true when the instance wants the new version.
    virtual bool TakesNewMedia(uint32_t /*mediaIndex*/) { return false; }
    // The new version, with the data the instance held before: 1 when it took it (the old data is
    // then no longer used), anything else when it refused (it keeps the old).
    virtual ZKRESULT SetNewMedia(uint32_t /*mediaIndex*/, const uint8_t* /*data*/, uint32_t /*size*/,
                                 const uint8_t* /*oldData*/)
    {
        return ZK_Fail;
    }
    // format may be changed by an out-of-place effect to the configuration it outputs.
    virtual ZKRESULT Init(IZkPluginMemAlloc* allocator, IZkEffectPluginContext* context, IZkPluginParam* params,
                          ZkEffectFormat& format) = 0;
};

class IZkInPlaceEffectPlugin : public IZkEffectPlugin
{
public:
    // Processes buffer->validFrames frames in place; may change validFrames and the buffer's state.
    virtual void Execute(ZkAudioBuffer* buffer) = 0;
    // Advances the effect's time without audio (a virtual voice); frames in and out.
    virtual ZKRESULT SkipTime(uint32_t& frames) = 0;
};

// An effect that writes a block of its own: it reads in from frame inOffset on, lowers
// in->validFrames by the frames it consumed, appends to out (raising out->validFrames) and sets
// out->state: 45 when out is full, 17 when it has nothing more to give after the input ended, 43
// when it needs more input.
class IZkOutOfPlaceEffectPlugin : public IZkEffectPlugin
{
public:
    virtual void Execute(ZkAudioBuffer* in, uint32_t inOffset, ZkAudioBuffer* out) = 0;
    // frames: output frames to skip in; input frames that corresponds to out.
    virtual ZKRESULT SkipTime(uint32_t& frames) = 0;
};

// An in-place effect that processes audio objects: it gets a list whose first object is the block
// (key -1, unit gains, every channel) and may attach buffers of its own to the list (from the
// audio buffer pool), which the host releases after the call.
class IZkObjectEffectPlugin : public IZkEffectPlugin
{
public:
    virtual void Execute(ZkAudioObjects* objects) = 0;
    virtual ZKRESULT SkipTime(uint32_t& frames) = 0;
};
} // namespace ZK
