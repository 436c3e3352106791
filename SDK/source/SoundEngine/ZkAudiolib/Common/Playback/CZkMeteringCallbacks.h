// CZkMeteringCallbacks: the game's callbacks registered per bus and per output device: a bus's
// volume-matrix callback (for voices without a playing id), a bus's metering callback with the
// measurements it wants, and an output device's metering callback. Registering tells the mix graph
// what the bus now needs (a volume callback flag, metering flags); the render pass then calls back
// through NotifyBusVolume and NotifyBusMetering.
//
// One entry per bus (per device); registering again replaces it. A bus volume entry goes with a
// null callback; a metering entry goes only with a null callback and non-zero flags (a null
// callback with flags 0 keeps an entry that asks for nothing).
//
// Threading: registrations from any thread; they take the global engine lock (under which the
// output devices and the mix graph's flags change), then the tables' own lock, never the other way
// round. Notifications run on the engine thread under the tables' lock, and so do the callbacks.
// Ownership: part of the playing manager; the three arrays are its own (memory pool 0).
#pragma once

#include "Platform/PlatformLock.h"
#include "ZkAudiolib/Common/Containers/ZkArray.h"

#include <ZK/SoundEngine/Common/ZkMeteringCallbacks.h>
#include <ZK/SoundEngine/Common/ZkOutputTypes.h>
#include <ZK/SoundEngine/Common/ZkResult.h>
#include <ZK/SoundEngine/Common/ZkTypes.h>

namespace ZK::SoundEngine
{
class CZkMeteringCallbacks
{
public:
    CZkMeteringCallbacks() = default;
    ~CZkMeteringCallbacks() { Term(); }
    CZkMeteringCallbacks(const CZkMeteringCallbacks&) = delete;
    CZkMeteringCallbacks& operator=(const CZkMeteringCallbacks&) = delete;

    // 1; 15 when the bus is not loaded; 52 when the table cannot grow (nothing changes then).
    ZKRESULT SetBusVolumeCallback(ZkUniqueID busID, ZkBusVolumeCallbackFunc callback, void* cookie);
    ZKRESULT SetBusMeteringCallback(ZkUniqueID busID, ZkBusMeteringCallbackFunc callback,
                                    ZkMeteringFlags flags, void* cookie);
    // Device 0 is the main device; the entry is kept under the device's own output id. 1; 93 when
    // no such device exists; 52 when the table cannot grow.
    ZKRESULT SetOutputDeviceMeteringCallback(ZkOutputDeviceID deviceID,
                                             ZkOutputDeviceMeteringCallbackFunc callback,
                                             ZkMeteringFlags flags, void* cookie);

    // Calls the bus's metering callback with its cookie and flags and the caller's meter. True when
    // the bus has an entry.
    bool NotifyBusMetering(ZkUniqueID busID, ZkChannelConfig channelConfig, const void* meteringData,
                           ZkGameObjectID gameObject);
    // Writes the entry's cookie into info and calls the bus's volume callback. True when the bus has
    // an entry.
    bool NotifyBusVolume(ZkUniqueID busID, ZkSpeakerVolumeMatrixCallbackInfo& info);

    ZkMeteringFlags GetBusMeteringFlags(ZkUniqueID busID);
    bool HasBusVolumeCallback(ZkUniqueID busID);

    void Term();

private:
    struct BusVolumeEntry
    {
        ZkUniqueID id;
        ZkBusVolumeCallbackFunc callback;
        void* cookie;
    };
    struct BusMeteringEntry
    {
        ZkUniqueID id;
        ZkBusMeteringCallbackFunc callback;
        ZkMeteringFlags flags;
        void* cookie;
    };
    struct DeviceMeteringEntry
    {
        ZkOutputDeviceID id;
        ZkOutputDeviceMeteringCallbackFunc callback;
        ZkMeteringFlags flags;
        void* cookie;
    };

    // Under m_lock: the entry is added or replaced, or removed.
    template <typename Entry> ZKRESULT Store(ZK::ZkArray<Entry>& table, const Entry& entry, bool remove);
    template <typename Entry> static Entry* Find(ZK::ZkArray<Entry>& table, decltype(Entry::id) id);

    ZK::Platform::ZkCriticalSection m_lock;
    ZK::ZkArray<BusVolumeEntry> m_busVolume;
    ZK::ZkArray<BusMeteringEntry> m_busMetering;
    ZK::ZkArray<DeviceMeteringEntry> m_deviceMetering;
};
} // namespace ZK::SoundEngine
