// Source plug-ins (type 2): plug-ins that produce a voice's samples instead of media, and the three
// context interfaces through which a running source asks the engine about its voice.
//
// Calling order: the engine's source host creates the instance through the plug-in registry,
// checks its plug-in info (type 2, this engine's build version), calls Init with the source
// context, the parameter object and an output format (32-bit float mono at the engine rate; the
// plug-in may change it), then Reset, then Execute once per audio frame until it answers 17 (its
// last buffer) or the voice stops; TimeSkip replaces Execute while the voice is virtual; Term ends
// it. Seek, StopLooping, GetDuration and GetEnvelope may come between any two frames.
//
// The virtual operations keep their order: plug-ins built against these interfaces call and fill
// them by position.
//
// Threading: an instance and its contexts are used by the thread rendering its voice only.
// Ownership: the instance was allocated through the allocator it receives in Term and frees itself
// there; the contexts and the parameter object belong to the host and live while the instance runs.
#pragma once

#include <ZK/SoundEngine/Common/IZkPlugin.h>
#include <ZK/SoundEngine/Common/ZkAudioBuffer.h>
#include <ZK/SoundEngine/Common/ZkAudioFormat.h>
#include <ZK/SoundEngine/Common/ZkChannelConfig.h>
#include <ZK/SoundEngine/Common/ZkPositionTypes.h>
#include <ZK/SoundEngine/Common/ZkResult.h>
#include <ZK/SoundEngine/Common/ZkTypes.h>

#include <cstdint>

namespace ZK
{
class IZkGlobalPluginContext;
class IZkRuntimeEnvironment;

// What the voice of a source knows of itself.
class IZkVoicePluginContext
{
public:
    virtual ~IZkVoicePluginContext() = default;
    virtual ZkPlayingID GetPlayingID() const = 0;
    // The stream priority of the voice's instance.
    virtual int8_t GetPriority() const = 0;
    // The instance's pitch as a rate ratio (2^(cents / 1200)); value is a caller's hint, unused.
    virtual float GetPitchRatio(float value) const = 0;
};

// The game object that plays the source: its emitters and the listeners that hear it.
class IZkGameObjectPluginContext
{
public:
    virtual ~IZkGameObjectPluginContext() = default;
    // The listeners the object is heard by (an ascending array of ids; null without a game object).
    virtual const void* GetListenerDataPointer() const = 0;
    // Emitter positions x listeners.
    virtual uint32_t GetRayCount() const = 0;
    // 1 with the position, 2 when index is out of range.
    virtual ZKRESULT GetEmitterPosition(uint32_t index, ZkTransform& position) const = 0;
    virtual uint32_t GetEmitterPositionCount() const = 0;
    // 1 with the emitter's record (its position and the input channels it emits), 2 when index is
    // out of range.
    virtual ZKRESULT GetPositionRecord(uint32_t index, ZkChannelEmitter& record) const = 0;
    // The emitter's 3-bit multi-position mode and its scaling factor.
    virtual uint32_t GetPositioningMode() const = 0;
    virtual float GetPositioningValue() const = 0;
    // Copies up to count listener ids (count becomes the number copied); whether all fitted.
    virtual bool GetListeners(ZkGameObjectID* ids, uint32_t& count) const = 0;
    // 1 with the listener's position, 2 when the listener is unknown.
    virtual ZKRESULT GetListenerData(ZkGameObjectID listener, ZkTransform& position) const = 0;
};

// The engine as a running source sees it.
class IZkSourcePluginContext
{
public:
    virtual ~IZkSourcePluginContext() = default;
    virtual IZkGlobalPluginContext* GetGlobalContext() const = 0;
    virtual IZkGameObjectPluginContext* GetGameObjectInfo() = 0;
    // Monitoring is not kept in this system: 4.
    virtual ZKRESULT PostMonitorData(const void* data, uint32_t size) = 0;
    // The index-th media of the plug-in; null and 0 when absent.
    virtual void GetPluginMedia(uint32_t index, const uint8_t*& data, uint32_t& size) = 0;
    // Custom game data: none here (null, 0, result 0).
    virtual uint32_t GetPluginCustomData(const void*& data, uint32_t& size) = 0;
    // The output the voice feeds is not known to a source: 2.
    virtual ZKRESULT GetOutputID(ZkUniqueID& id) const = 0;
    virtual bool CanPostMonitorData() const = 0;
    virtual ZKRESULT GetParentChannelInfo(uint32_t& info) const = 0;
    virtual float GetDownstreamGain() const = 0;
    // The configuration of the bus the voice feeds is not known to a source: 2, zeroed.
    virtual ZKRESULT GetParentChannelConfig(ZkChannelConfig& config) const = 0;
    virtual IZkRuntimeEnvironment* GetRuntimeEnvironment() const = 0;
    virtual ZkGameObjectID GetGameObjectID() const = 0;
    // The instance's loop count, 0 for infinite looping.
    virtual uint16_t GetNumLoops() const = 0;
    virtual IZkVoicePluginContext* GetVoiceInfo() = 0;
    // The id of the node that plays the source.
    virtual ZkUniqueID GetNodeID() const = 0;
    // The user data stored with the instance's playing id (null without).
    virtual void* GetCookie() const = 0;
    // The first MIDI event of the instance that still sounds, or null.
    virtual const void* GetMidiEvent() const = 0;
    // The registry's codec of key 0x40001 (null when none is registered), and its destruction.
    virtual void* GetCodec() = 0;
    virtual void DestroyCodec(void* codec) = 0;
};

class IZkSourcePlugin : public IZkPlugin
{
public:
    // Whether the source wants the voice's notes (false for sources that ignore them).
    virtual bool SupportsNotes() const { return false; }
    virtual uint32_t GetNoteQuery() const { return 0; }
    // format may be changed to what the source writes.
    virtual ZKRESULT Init(IZkPluginMemAlloc* allocator, IZkSourcePluginContext* context, IZkPluginParam* params,
                          ZkAudioFormat& format) = 0;
    // Play time over every loop in ms; 0 for infinite looping.
    virtual float GetDuration() const = 0;
    // The linear level of the source's envelope now.
    virtual float GetEnvelope() const = 0;
    virtual ZKRESULT StopLooping() = 0;
    // Moves to frame; 2 when the source cannot reach it.
    virtual ZKRESULT Seek(uint32_t frame) = 0;
    // Advances without output: frames in, frames served out; 45 more to come, 17 the end.
    virtual ZKRESULT TimeSkip(uint32_t& frames) = 0;
    // Fills buffer->maxFrames frames at most, sets validFrames and the state (45, 17 or 2).
    virtual void Execute(ZkAudioBuffer* buffer) = 0;
};
} // namespace ZK
