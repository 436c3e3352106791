// VirtualAudioSystem: audio endpoints that exist only in memory, for tests and CI machines without
// a sound card. Install it as the endpoint provider (InstallEndpointProvider) before the sound
// engine starts; the engine then finds these endpoints, opens streams on them and writes to them
// as it would to a sound card.
//
// What a test controls:
//   - the endpoints: id strings, friendly names, states, default endpoint per role, mix format
//     (rate, channels), device format, device period; endpoints can be added, disabled, removed or
//     invalidated (their streams then fail as a device that disappeared);
//   - the policy of each endpoint: refuse formats, offer a closest match, refuse automatic rate
//     conversion, fail Activate, GetMixFormat, Initialize or Start, fail GetBuffer or
//     GetCurrentPadding at call n;
//   - the clock: by hand (Advance(frames) plays that many queued frames of every started stream
//     and sets each stream's event: the test decides when time passes), or in real time (a thread
//     of the layer advances every stream at its rate and sets its event once per period);
//   - spatial sound per endpoint: the dynamic objects offered (0: not enabled) and available, the
//     object formats, and a failure of any call of the spatial client, its stream and objects at
//     call n; a spatial stream's updates follow the clock (each Advance owes it an update of that
//     many frames), and a test may wait for updates to end, with a deadline;
//   - notifications: the Notify functions tell every registered notification client, on the
//     calling thread or (RaiseNotificationsFromThread) on a thread of the system's own.
// What a test reads (Capture): every frame released to an endpoint, in order, as 32-bit floats
// (silent releases as zeros), with the size and flags of each release; what the clock played and
// the frames it found missing (underruns); each Initialize call with its format, flags and
// duration; the buffer size; the stream properties and ducking preference asked for; call counts;
// for spatial sound (SpatialCapture) the activation records, and for every audio object its type
// and, per update, its samples, volume and position.
//
// Threading: every function may be called from any thread; one lock guards the whole system.
// Notifications are delivered with that lock released. Ownership: objects handed out keep the
// system's state alive, so a test may end the system before the engine has released them; the
// system must stay installed while the engine may make new enumerators.
#pragma once

#include "Platform/Audio/EndpointProvider.h"
#include "Platform/Audio/SpatialInterfaces.h"
#include "Platform/Audio/WaveFormat.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace ZK::Platform
{
struct VirtualEndpointSettings
{
    std::wstring id;
    std::wstring friendlyName;
    uint32_t state = kDeviceStateActive;
    uint32_t mixRate = 48000;
    uint16_t mixChannels = 2;
    uint32_t mixChannelMask = 0;       // 0: the standard mask of the channel count
    bool mixFormatExtensible = true;   // false: GetMixFormat answers a plain float format
    bool hasDeviceFormat = true;       // false: the device-format property is empty
    uint16_t deviceFormatChannels = 0; // 0: the mix channels
    int64_t defaultPeriod = 10 * kDurationUnitsPerMillisecond;
    int64_t minimumPeriod = 3 * kDurationUnitsPerMillisecond;
};

struct VirtualEndpointPolicy
{
    static constexpr uint32_t kNever = 0;

    bool refuseEveryFormat = false;      // IsFormatSupported and Initialize refuse every format
    bool refuseOtherChannelCounts = false; // only the mix format's channel count is supported
    bool offerClosestMatch = false;      // an unsupported format is answered with closestMatch
    WaveFormat closestMatch;
    bool refuseAutoConversion = false;   // a rate other than the mix rate is refused even when
                                         // the stream asks for automatic conversion
    bool failActivate = false;
    bool failGetMixFormat = false;
    bool failInitialize = false;
    bool failStart = false;
    uint32_t failGetBufferAtCall = kNever; // 1-based count of the endpoint's GetBuffer calls
    uint32_t failPaddingAtCall = kNever;   // 1-based count of its GetCurrentPadding calls
    bool offloadCapable = false;
};

struct VirtualRelease
{
    uint32_t frames = 0;
    uint32_t flags = 0;
};

struct VirtualInitializeCall
{
    uint32_t flags = 0;
    int64_t bufferDuration = 0;
    int64_t periodicity = 0;
    WaveFormat format;
    AudioResult result = kAudioOk;
};

struct VirtualEndpointCapture
{
    uint16_t channels = 0;                    // of the stream that wrote last
    uint32_t sampleRate = 0;
    std::vector<float> written;               // interleaved, every frame released
    std::vector<VirtualRelease> releases;     // each ReleaseBuffer, in order
    std::vector<float> played;                // what the clock consumed (underruns as zeros)
    uint64_t underrunFrames = 0;
    std::vector<VirtualInitializeCall> initializeCalls;
    uint32_t bufferFrames = 0;                // of the stream initialised last
    uint32_t getBufferCalls = 0;
    uint32_t paddingCalls = 0;
    uint32_t starts = 0;
    uint32_t stops = 0;
    uint32_t openStreams = 0;                 // stream clients not yet released
    int32_t duckingOptOut = -1;               // -1: never asked; else the last preference
    bool hasProperties = false;
    StreamClientProperties properties;        // the last SetClientProperties
};

// The spatial sound of an endpoint: how many dynamic objects it offers (0: not enabled), how many
// of those a stream may still activate, and the object formats it takes.
struct VirtualSpatialSettings
{
    static constexpr uint32_t kAllOffered = 0xFFFFFFFFu;

    uint32_t maxDynamicObjects = 0;
    uint32_t availableDynamicObjects = kAllOffered; // kAllOffered: the maximum
    std::vector<WaveFormat> formats{MakeFloatFormat(48000, 1)};
    bool captureSamples = true; // false: updates keep only their frame counts (long runs)
};

// The calls of the spatial client, its enumerator, stream and objects, each counted per endpoint
// and each able to fail at a chosen call.
enum class SpatialCall : uint32_t
{
    Activate,
    GetMaxDynamicObjectCount,
    GetFormatEnumerator,
    GetFormatCount,
    GetFormat,
    ActivateStream,
    GetAvailableDynamicObjectCount,
    ActivateDynamicObject,
    ActivateStaticObject,
    Start,
    BeginUpdate,
    EndUpdate,
    GetObjectBuffer,
    Count
};
constexpr uint32_t kSpatialCallKinds = static_cast<uint32_t>(SpatialCall::Count);

struct VirtualSpatialPolicy
{
    // 1-based count of the endpoint's calls of each kind at which that call fails; 0 never.
    uint32_t failAtCall[kSpatialCallKinds] = {};

    void FailAt(SpatialCall call, uint32_t n) { failAtCall[static_cast<uint32_t>(call)] = n; }
};

struct VirtualObjectPosition
{
    float x = 0.0f;
    float y = 0.0f;
    float z = 0.0f;
    bool operator==(const VirtualObjectPosition&) const = default;
};

// One audio object of a spatial stream, over every update since it was activated: the samples it
// played (zeros where its buffer was not written), and its volume and position at each update.
struct VirtualObjectCapture
{
    uint32_t type = 0;
    uint32_t firstUpdate = 0; // the stream's update count when the object was activated
    std::vector<float> samples;
    std::vector<float> volumes;
    std::vector<VirtualObjectPosition> positions;
    bool released = false;
};

struct VirtualSpatialCapture
{
    std::vector<SpatialClientActivationParams> clientActivations;
    std::vector<SpatialStreamActivationParams> streamActivations; // objectFormat points nowhere
    std::vector<WaveFormat> streamFormats;                        // the format of each
    std::vector<VirtualObjectCapture> objects;                    // in activation order
    std::vector<uint32_t> updateFrames;                           // of each update ended
    uint32_t calls[kSpatialCallKinds] = {};
    uint32_t openClients = 0;
    uint32_t openStreams = 0;
    uint32_t starts = 0;

    uint32_t Calls(SpatialCall call) const { return calls[static_cast<uint32_t>(call)]; }
};

// What an endpoint's started stream holds at a moment: frames released and not yet played, the
// size of its buffer, and every frame released since the stream was made (all 0 without a started
// stream).
struct VirtualStreamFill
{
    uint32_t queuedFrames = 0;
    uint32_t bufferFrames = 0;
    uint64_t releasedFrames = 0;
};

class VirtualAudioSystem final : public IEndpointProvider
{
public:
    VirtualAudioSystem();
    ~VirtualAudioSystem();
    VirtualAudioSystem(const VirtualAudioSystem&) = delete;
    VirtualAudioSystem& operator=(const VirtualAudioSystem&) = delete;

    // --- Endpoints ---
    // The first active endpoint added becomes the default of every role that has none.
    void AddEndpoint(const VirtualEndpointSettings& settings);
    // The endpoint is no longer listed or found; its streams fail as invalidated.
    void RemoveEndpoint(const std::wstring& id);
    // The endpoint stays listed; its open streams fail as invalidated from now on.
    void InvalidateEndpoint(const std::wstring& id);
    void SetEndpointState(const std::wstring& id, uint32_t state);
    // An empty id leaves the role without a default endpoint.
    void SetDefaultEndpoint(DeviceRole role, const std::wstring& id);
    void SetPolicy(const std::wstring& id, const VirtualEndpointPolicy& policy);
    VirtualEndpointCapture Capture(const std::wstring& id) const;
    // The capture so far, handed over; the endpoint's frames written, releases and frames played
    // start again empty (counts, calls and formats are kept). A long run takes its capture piece
    // by piece instead of keeping all of it.
    VirtualEndpointCapture TakeCapture(const std::wstring& id);
    // How full the endpoint's started stream is, without copying its capture.
    VirtualStreamFill Fill(const std::wstring& id) const;

    // --- Spatial sound ---
    void SetSpatial(const std::wstring& id, const VirtualSpatialSettings& settings);
    void SetSpatialPolicy(const std::wstring& id, const VirtualSpatialPolicy& policy);
    VirtualSpatialCapture SpatialCapture(const std::wstring& id) const;
    // Waits until the endpoint's spatial streams have ended at least updates updates in all (true),
    // or the deadline passed (false).
    bool WaitForSpatialUpdates(const std::wstring& id, uint32_t updates, uint32_t deadlineMilliseconds) const;

    // --- Clock ---
    // Plays frames of every started stream (fewer when fewer are queued: the rest is an underrun)
    // and sets each started stream's event; every started spatial stream is owed an update of that
    // many more frames and its event is set.
    void Advance(uint32_t frames);
    // A thread of the system advances every started stream at its own rate, once per period.
    void StartRealTimeClock(uint32_t periodMilliseconds = 10);
    void StopRealTimeClock();

    // --- Notifications (delivered to every registered client, on the calling thread) ---
    void NotifyStateChanged(const std::wstring& id, uint32_t state);
    void NotifyAdded(const std::wstring& id);
    void NotifyRemoved(const std::wstring& id);
    void NotifyDefaultChanged(DataFlow flow, DeviceRole role, const std::wstring& id);
    void NotifyPropertyChanged(const std::wstring& id, const PropertyKey& key);
    // Runs raise on a thread of the system's own and waits for it to end.
    void RaiseNotificationsFromThread(const std::function<void(VirtualAudioSystem&)>& raise);
    uint32_t RegisteredNotificationClients() const;

    AudioResult CreateEnumerator(IEndpointEnumerator** enumerator) override;

    struct State;

private:
    std::shared_ptr<State> m_state;
};

// While alive, the virtual system is the installed endpoint provider; ALSA's comes back after.
class ScopedVirtualAudioSystem
{
public:
    ScopedVirtualAudioSystem() { InstallEndpointProvider(&m_system); }
    ~ScopedVirtualAudioSystem() { InstallEndpointProvider(nullptr); }
    ScopedVirtualAudioSystem(const ScopedVirtualAudioSystem&) = delete;
    ScopedVirtualAudioSystem& operator=(const ScopedVirtualAudioSystem&) = delete;

    VirtualAudioSystem& operator*() { return m_system; }
    VirtualAudioSystem* operator->() { return &m_system; }

private:
    VirtualAudioSystem m_system;
};
} // namespace ZK::Platform
