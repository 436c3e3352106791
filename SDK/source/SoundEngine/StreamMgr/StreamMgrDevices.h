// The stream manager's device array and the operations on it that the manager, the devices and
// the exported functions share. The index of an entry is its device id; ids are never renumbered,
// an entry is null while its device is destroyed, and the next device takes the first null entry.
//
// Threading: no lock (as every exported function of the stream manager): one thread at a time.
// Ownership: the array owns its devices between StartDevice and DestroyDevice/DestroyAllDevices.
#pragma once

#include <ZK/SoundEngine/Common/ZkResult.h>
#include <ZK/SoundEngine/Common/ZkStreamMgrTypes.h>

#include <cstdint>

namespace ZK::StreamMgr
{
class CZkStreamDevice;
class CZkStreamTask;

// The device with that id, or null.
CZkStreamDevice* GetDevice(uint32_t deviceId);
uint32_t DeviceCount();

// Takes the first null entry, growing the array when none is free; ZK_InvalidDeviceID when it
// cannot grow.
uint32_t ReserveDeviceId();
// Runs the device's Init; on success the device fills its entry and the id is returned, else the
// device is destroyed, the entry stays null and ZK_InvalidDeviceID is returned.
uint32_t StartDevice(uint32_t deviceId, CZkStreamDevice* device, const ZkDeviceSettings& settings);
// ReserveDeviceId and StartDevice for a device already constructed (destroyed when no id is left).
uint32_t AddDevice(CZkStreamDevice* device, const ZkDeviceSettings& settings);

// Destroys every device in index order and frees the array.
void DestroyAllDevices();

// A stream of the given priority could not be allocated on the requesting device: every device
// frees the streams whose owners destroyed them, and the requesting one also kills its ready stream
// of lowest priority below the given one. True when a stream was killed.
bool ReleaseMemoryForStream(CZkStreamDevice* requesting, uint8_t priority);

// Opens, on the I/O thread, the file of a stream whose open was deferred (nothing to do, 1, when
// the stream has none or is to be destroyed). 2 when the open fails (the file-not-found result of
// the resolver included).
ZKRESULT RunDeferredOpen(CZkStreamTask* stream);
} // namespace ZK::StreamMgr
