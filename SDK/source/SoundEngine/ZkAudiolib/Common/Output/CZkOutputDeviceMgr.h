// CZkOutputDeviceMgr: the engine's output devices. It owns the list of devices (the main device
// first), resolves output ids, carries out the output messages of the engine thread (add, remove
// and replace outputs, panning rules, capture, suspension), reports every device event to the
// application's audio-device status callback, decides once per tick how many buffers the devices
// want (UpdateDeviceStates), ends each rendered frame on every device, and runs the pacing thread
// "ZK Suspended", which wakes the engine thread once per buffer duration whenever no hardware
// device drives it (main device lost or waiting on the base sink, or rendering suspended).
//
// Render state: 0 running, 1 suspending (the output fades out), 2 suspended, 3 waking up. A
// suspension fades the output gain to 0 over at least two buffer durations, then moves every device
// onto the base sink; a wake-up puts them back at once and starts their sinks again.
//
// Threading: everything runs on the engine thread under the global engine lock, except the pacing
// thread, which only reads the idle, quit and render flags (atomics), and RaiseNotificationCounter,
// which the endpoint notifications call from any thread.
// Ownership: the manager owns its devices (memory pool 0), the capture name (pool 0), the union of
// the devices' listener sets (pool 4), the pacing thread and its event.
#pragma once

#include "ZkAudiolib/Common/Output/CZkOutputDevice.h"

#include <ZK/SoundEngine/Common/ZkOutputTypes.h>
#include <ZK/SoundEngine/Common/ZkResult.h>
#include <ZK/SoundEngine/Common/ZkTypes.h>

#include <cstdint>

namespace ZK::SoundEngine
{
class CZkBus;

class CZkOutputDeviceMgr
{
public:
    // The id of the share-set name "System": the built-in system output.
    static constexpr uint32_t kSystemShareSetID = 0xE611314Au;
    static constexpr uint32_t kDefaultBufferDurationMs = 21;
    static constexpr uint32_t kMaxDefaultDeviceRecords = 20;

    enum MainOutputStatus : int32_t
    {
        MainOutput_Unknown = 0,
        MainOutput_Ready = 1,   // the main device started on the share set it asked for
        MainOutput_Failed = 2,  // it failed or fell back to another share set
    };
    enum RenderState : uint32_t
    {
        Render_Running = 0,
        Render_Suspending = 1,
        Render_Suspended = 2,
        Render_WakingUp = 3,
    };

    // --- Look-ups ---
    // Output id 0 gives the main device; an id with a zero half is completed by the default
    // resolution first; then the device with exactly that id, or null.
    static CZkOutputDevice* GetDevice(ZkOutputDeviceID outputID);
    // Share set 0 gives the main device; a zero device id is resolved; then the same search.
    static CZkOutputDevice* FindDevice(uint32_t shareSetID, uint32_t deviceID);
    static CZkOutputDevice* GetMainDevice();
    // The device a root bus of the mix graph feeds: the share set of the bus (or of its nearest parent
    // that names one), then the first device of it whose listener set holds the listener, or, when
    // its set is empty and it is not split, the first whose listener no device claims. Without a bus:
    // the device whose output id is outputID, else the main device.
    static CZkOutputDevice* FindDeviceForBus(CZkBus* bus, ZkGameObjectID listener, ZkOutputDeviceID outputID);
    // Share set 0 becomes "System"; a device id of 0 becomes the share set's default device (the
    // first one flagged default in its device list, else the first), or stays 0.
    static void ResolveDefaultOutput(uint32_t& shareSetID, uint32_t& deviceID);
    // The plug-in key of the sink an audio-device share set names: the loaded share set's, or the
    // built-in system sink's for share set 0 and for "System" when no bank defines it. 1; 15 for a
    // share set no loaded bank defines.
    static ZKRESULT GetShareSetSinkPlugin(uint32_t shareSetID, uint32_t& pluginKey);
    static CZkOutputDevice* FirstDevice();
    static uint32_t DeviceCount();
    static int32_t GetMainOutputStatus();
    static const ZkListenerSet& ListenerUnion();

    // --- Message handlers (engine thread) ---
    // 1 also when the output exists already; 97 listener sets in conflict; 52 out of memory.
    static ZKRESULT AddOutput(const ZkOutputSettings& settings, const ZkGameObjectID* listeners, uint32_t count);
    // 1, or 2 for no device with exactly that id.
    static ZKRESULT RemoveOutput(ZkOutputDeviceID outputID, bool notify);
    static ZKRESULT ReplaceOutput(const ZkOutputSettings& settings, ZkOutputDeviceID oldOutputID);
    static ZKRESULT ReplaceMainOutput(const ZkOutputSettings& settings);
    // 2 for no device; else the rule is stored, the listeners recompute their positioning, 1.
    static ZKRESULT SetPanningRule(ZkOutputDeviceID outputID, uint32_t rule);
    static void StartOutputCapture(const wchar_t* fileName);
    static void StopOutputCapture();
    static void AddOutputCaptureMarker(const char* text);
    // 1 when the change completed; 3 when nothing changed or it completes over the next updates.
    static ZKRESULT SetSuspended(bool suspend, bool renderWhileSuspended, uint32_t delayMs);
    // Every device of (share set, device) rebuilds its effect of the slot / takes the share set's
    // bypass value. kAnyDeviceID reaches every device of the share set (a bank's refresh).
    static constexpr uint32_t kAnyDeviceID = 0xFFFFFFFFu;
    static void RefreshDeviceEffects(uint32_t shareSetID, uint32_t deviceID, uint32_t slot);
    static void SetDeviceShareSetValue(uint32_t shareSetID, uint32_t deviceID, uint8_t value);

    // --- Creation ---
    // Starts the share set's sink (offline: the base sink). A sink answering 4, 15 or 88 sends the
    // device to "System" (or, when a "System" device exists, that device takes the listener set
    // instead); 52 gives up; 90 runs the base sink as a working one; anything else waits on the base
    // sink. Then the default speaker angles, the listener check against the devices of the same
    // share set (97), the link (main devices first), a capture file when a capture runs, and the
    // main-output status. The listener set goes to the device (52 when it cannot be copied); the
    // caller's set is emptied.
    static ZKRESULT CreateDevice(ZkOutputDeviceID outputID, const ZkOutputSettings& settings, ZkListenerSet& listeners,
                                 uint32_t carriedValue, bool isMain, bool isReplacement, bool deviceIDDefaulted);

    // --- Per tick and per frame ---
    // The number of buffers to render this tick (the engine's platform hook calls it with false).
    static uint32_t UpdateDeviceStates(bool force);
    static uint32_t PlatformUpdateDevices() { return UpdateDeviceStates(false); }
    // Every device not in state 0 moves onto the base sink. The first failure, else 1.
    static ZKRESULT InitPendingDevices(bool renderWhileSuspended);
    static void EndFrame();

    // --- Render state ---
    static uint32_t GetRenderState();
    static bool RendersWhileSuspended();
    // No device drives the engine: the pacing thread does.
    static bool IsIdle();
    static bool ShouldWakeEngine();
    static float CurrentOutputGain();
    static float PreviousOutputGain();
    static uint32_t CountdownMs();

    // --- Endpoint notifications (any thread) ---
    static void RaiseNotificationCounter();
    static int32_t NotificationCounter();
    static int32_t ProcessedNotificationCount();

    // --- Life cycle ---
    // The render state, the pacing thread "ZK Suspended" and the placeholder main device (output id
    // 0, on the base sink in state 1). 1; 2 when the event or the thread cannot be made; 52 when the
    // device cannot be made.
    static ZKRESULT StartPacingThread();
    // Destroys every device (the main device last), frees the capture name and the listener union,
    // stops the pacing thread and resets the counters.
    static void TermDevices();

    static void SetAudioDeviceStatusCallback(ZkAudioDeviceStatusCallback callback);
    static void ReportDeviceEvent(const CZkOutputDevice& device, ZkAudioDeviceEvent event, ZKRESULT result);

private:
    static void Link(CZkOutputDevice* device);
    static void Unlink(CZkOutputDevice* device);
    static void DestroyDevice(CZkOutputDevice* device);
    // Unlinks, reports the removal (when asked and a real sink ran) and destroys the device.
    static void RemoveDevice(CZkOutputDevice* device, bool notify);
    static void RebuildListenerUnion();
    static void OpenNumberedCaptureFile(CZkOutputDevice& device);
    static ZKRESULT CompleteTransition(bool renderWhileSuspended);
    static uint32_t BufferDurationMs();
    static void PacingThreadMain(void* argument);
};
} // namespace ZK::SoundEngine
