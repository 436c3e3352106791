// The global plug-in context and the global callbacks: the one object through which plug-ins and
// other parts of the engine reach the engine's services (its format, random numbers, registration of
// plug-ins and callbacks, game parameters, ambisonic helpers, capture files...), and the callbacks
// they register for fixed points of the engine's life. Every callback receives the context first.
//
// Callback locations are single bits; a registration names a mask of them. The tick's stages call
// theirs in the order 2, 4, 8, 16, 32, 64; location 1 is called once at registration, 128 when the
// engine terminates, 1024 at the end of its initialisation; the output devices call 2048 and 4096.
// The callbacks of a location are called newest first.
//
// Threading: registration and removal on any thread (they take the global engine lock); callbacks
// run on the engine thread (or the thread that initialises or terminates the engine). The context's
// operations may be called from plug-ins on the engine's threads. Ownership: the context is one
// process-wide object, made on first use and destroyed at process exit.
#pragma once

#include <ZK/SoundEngine/Common/IZkPlugin.h>
#include <ZK/SoundEngine/Common/ZkAudioSettings.h>
#include <ZK/SoundEngine/Common/ZkChannelConfig.h>
#include <ZK/SoundEngine/Common/ZkCurveTypes.h>
#include <ZK/SoundEngine/Common/ZkEventCalls.h>
#include <ZK/SoundEngine/Common/ZkPositionTypes.h>
#include <ZK/SoundEngine/Common/ZkResult.h>
#include <ZK/SoundEngine/Common/ZkTypes.h>

#include <cstdint>

struct ZkPlatformInitSettings;

namespace ZK
{
class IZkStreamMgr;
class ZkMixerService;
} // namespace ZK

namespace ZK::SoundEngine
{
struct ZkInitSettings;
struct ZkGroupEntryRecord;
class CaptureFileWriter;
} // namespace ZK::SoundEngine

namespace ZK
{
enum ZkGlobalCallbackLocation : uint32_t
{
    ZkGlobalCallbackLocation_Register = 0x1,      // once, for the callback being registered
    ZkGlobalCallbackLocation_Begin = 0x2,         // a tick starts
    ZkGlobalCallbackLocation_PreProcessMessages = 0x4, // before a frame's messages, when frames render
    ZkGlobalCallbackLocation_PostMessagesProcessed = 0x8, // game objects flushed, positions not yet
    ZkGlobalCallbackLocation_BeginRender = 0x10,  // a frame's render starts
    ZkGlobalCallbackLocation_EndRender = 0x20,    // a frame has rendered
    ZkGlobalCallbackLocation_End = 0x40,          // a tick ends
    ZkGlobalCallbackLocation_Term = 0x80,         // the engine terminates
    ZkGlobalCallbackLocation_Reserved256 = 0x100, // never called
    ZkGlobalCallbackLocation_Reserved512 = 0x200, // never called
    ZkGlobalCallbackLocation_Init = 0x400,        // the engine's initialisation ends
    ZkGlobalCallbackLocation_Suspend = 0x800,     // the output devices suspend rendering
    ZkGlobalCallbackLocation_WakeupFromSuspend = 0x1000, // and wake up again
    ZkGlobalCallbackLocation_Num = 13,            // the number of locations
};
// Masks of locations are below this value.
constexpr uint32_t ZkGlobalCallbackLocation_Limit = 1u << ZkGlobalCallbackLocation_Num;

typedef void (*ZkGlobalCallbackFunc)(IZkGlobalPluginContext* context, ZkGlobalCallbackLocation location,
                                     void* cookie);

// The virtual operations keep this order: plug-ins built against it call them by position.
class IZkGlobalPluginContext
{
public:
    virtual ~IZkGlobalPluginContext() = default;
    // The stream manager (null before it is created).
    virtual IZkStreamMgr* GetStreamMgr() const = 0;
    // Samples per audio frame.
    virtual uint16_t GetMaxBufferLength() const = 0;
    virtual bool IsRenderingOffline() const = 0;
    virtual uint32_t GetSampleRate() const = 0;
    // The engine keeps no monitoring stream: 4.
    virtual ZKRESULT PostMonitorData(void* data, uint32_t size) = 0;
    virtual ZKRESULT RegisterPlugin(ZkPluginType type, uint32_t companyID, uint32_t pluginID,
                                    ZkCreatePluginCallback createFunc, ZkCreateParamCallback createParamFunc) = 0;
    virtual ZKRESULT RegisterCodec(uint32_t companyID, uint32_t pluginID, ZkCreateCodecCallback fileCreateFunc,
                                   ZkCreateCodecCallback bankCreateFunc) = 0;
    // As ZK::SoundEngine::RegisterGlobalCallback; 31 for plug-in type 0.
    virtual ZKRESULT RegisterGlobalCallback(ZkPluginType type, uint32_t companyID, uint32_t pluginID,
                                            ZkGlobalCallbackFunc callback, uint32_t locations, void* cookie) = 0;
    virtual ZKRESULT UnregisterGlobalCallback(ZkGlobalCallbackFunc callback, uint32_t locations) = 0;
    // The engine-global panning record.
    virtual const void* GetGlobalPanningRecord() const = 0;
    // As ZK::SoundEngine::SetRTPCValue (a message applied at the next tick).
    virtual ZKRESULT SetRTPCValue(ZkUniqueID parameterID, float value, ZkGameObjectID gameObject, ZkTimeMs transitionMs,
                                  ZkCurveInterpolation curve, bool bypassInternalInterpolation) = 0;
    virtual ZKRESULT SendPluginCustomGameData(ZkUniqueID busID, ZkGameObjectID gameObject, ZkPluginType type,
                                              uint32_t companyID, uint32_t pluginID, const void* data,
                                              uint32_t size) = 0;
    // The ambisonic coefficients of one direction (radians; azimuth positive to the right, elevation
    // up) for an ambisonic configuration. 2 for any other configuration.
    virtual ZKRESULT ComputeAmbisonicsEncoding(float azimuth, float elevation, ZkChannelConfig config,
                                               float* coefficients) const = 0;
    // The decoding matrix of count unit directions for an ambisonic configuration of order 1 to 5:
    // one row per channel, each of count values, rows every count rounded up to 4 floats. 2 for
    // another configuration or a direction whose squared length is not in (0.9, 1.1).
    virtual ZKRESULT ComputeWeightedAmbisonicsDecodingFromSampledSphere(const ZkVector* directions, uint32_t count,
                                                                        ZkChannelConfig config,
                                                                        float* matrix) const = 0;
    // A settings record of an Init bank, with a reference added; null when absent.
    virtual const ZK::SoundEngine::ZkGroupEntryRecord* FindGroupEntry(ZkUniqueID id) = 0;
    // Azimuth and elevation (radians) of a point in the orientation frame of a listener game object.
    // 2 when the object is not a registered listener.
    virtual ZKRESULT ComputeSphericalCoordinates(ZkGameObjectID gameObject, const ZkVector& position,
                                                 float& azimuth, float& elevation) const = 0;
    virtual const ZkPlatformInitSettings* GetPlatformInitSettings() const = 0;
    virtual const ZK::SoundEngine::ZkInitSettings* GetInitSettings() const = 0;
    // 2 before the engine's initialisation.
    virtual ZKRESULT GetAudioSettings(ZkAudioSettings& settings) const = 0;
    virtual ZkUniqueID GetIDFromString(const char* name) const = 0;
    // Posts an event at once, on the engine thread, without a message: its actions are scheduled
    // before the call returns. The playing id, or 0.
    virtual ZkPlayingID PostEventSync(ZkUniqueID eventID, ZkGameObjectID gameObject, uint32_t flags,
                                      ZkCallbackFunc callback, void* cookie, uint32_t externalSourceCount,
                                      ZkExternalSourceInfo* externalSources) = 0;
    // MIDI posted and stopped on an event at once (as PostMIDIOnEvent and StopMIDIOnEvent, without a
    // message): the posts are queued before the call returns. The post answers its playing id, or
    // 0 (no posts, an event not loaded, too many posts, a refused registration, or an object that
    // is neither all ones nor registered with an emitter); the stop answers 1, or 2 for a non-zero
    // event that is not loaded.
    virtual ZkPlayingID PostMIDIOnEventSync(ZkUniqueID eventID, ZkGameObjectID gameObject, ZkMIDIPost* posts,
                                            uint16_t count, bool absoluteOffsets, uint32_t flags,
                                            ZkCallbackFunc callback, void* cookie, ZkPlayingID playingID) = 0;
    virtual ZKRESULT StopMIDIOnEventSync(ZkUniqueID eventID, ZkGameObjectID gameObject, ZkPlayingID playingID) = 0;
    // The platform's endpoint-notification factory.
    virtual void* GetEndpointNotificationFactory() const = 0;
    // The mixing service for plug-ins when which is 0, else null.
    virtual ZkMixerService* GetMixerService(uint32_t which) const = 0;
    // Audio frames rendered since the engine started.
    virtual uint32_t GetBufferTick() const = 0;
    // The next value of the engine's random generator (31 bits).
    virtual uint32_t GetRandomValue() = 0;
    // Capture files: a block of samples, a new writer (the default factory), the writer closed and
    // the caller's pointer cleared.
    virtual ZKRESULT PassSampleData(ZK::SoundEngine::CaptureFileWriter* writer, const void* samples,
                                    uint32_t byteCount) = 0;
    virtual ZKRESULT CreateCaptureWriter(const wchar_t* fileName, uint32_t sampleRate, uint32_t sampleFormat,
                                         ZkChannelConfig config, ZK::SoundEngine::CaptureFileWriter*& writer) = 0;
    virtual ZKRESULT CloseCaptureWriter(ZK::SoundEngine::CaptureFileWriter*& writer) = 0;
    // The buffer's duration in whole milliseconds, the divisor of the engine's device time-out.
    virtual uint32_t GetFrameTimingValue() const = 0;
    // The sample rate, as GetSampleRate.
    virtual uint32_t GetOutputSampleRate() const = 0;
    // Samples per audio frame, as a 32-bit value.
    virtual uint32_t GetSamplesPerFrame() const = 0;
    // The matrix of direct (unpositioned) routing from one configuration to another (the mixing
    // kernels' volume-matrix layout). 1.
    virtual ZKRESULT ComputeSpeakerVolumesDirect(ZkChannelConfig input, ZkChannelConfig output,
                                                 float centrePercentage, float* matrix) const = 0;
    // Sets a game parameter's value at once (on the engine thread), for the object (all ones: the
    // global scope) or, when the object is not registered, for no object.
    virtual ZKRESULT SetRTPCValueSync(ZkUniqueID parameterID, float value, ZkGameObjectID gameObject,
                                      ZkTimeMs transitionMs, ZkCurveInterpolation curve,
                                      bool bypassInternalInterpolation) = 0;
};
} // namespace ZK

namespace ZK::SoundEngine
{
// Adds the callback (with its cookie) to the list of every location in the mask, and calls it at
// once for location 1 when that bit is set. Registering twice adds twice. 31 for a null callback or a
// mask of 8192 or more; 52 when a list cannot grow (the lists of the lower bits keep their entry).
ZKRESULT RegisterGlobalCallback(ZK::ZkGlobalCallbackFunc callback, uint32_t locations, void* cookie = nullptr,
                                ZK::ZkPluginType type = ZK::ZkPluginTypeNone, uint32_t companyID = 0,
                                uint32_t pluginID = 0);
// Removes the callback's first entry from the list of every location in the mask. 31 for a mask of
// 8192 or more, or when a list of the mask does not hold the callback (the others are still done).
ZKRESULT UnregisterGlobalCallback(ZK::ZkGlobalCallbackFunc callback, uint32_t locations);
ZK::IZkGlobalPluginContext* GetGlobalPluginContext();
} // namespace ZK::SoundEngine
