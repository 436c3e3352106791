// CZkMMDeviceNotifier: the engine's shared list of the system's audio render endpoints and the
// receiver of the system's endpoint notifications. It lists every render endpoint (any state) with
// its device id (the FNV-1 id of its id string), queues the notifications that the system delivers
// on its own threads, and applies them on the engine thread (ProcessNotifications, from the device
// update): an endpoint that came is listed, one that went is dropped, and the output devices on an
// endpoint that went, changed state or stopped being the default of their role are marked lost,
// so that the device manager opens them again. 33 notifications before a tick overflow the queue:
// the whole list is then rebuilt instead.
//
// One notifier per process, made on demand (the engine thread's start, a sink's Init, an output
// replacement, the endpoint-access factory) and released by the engine thread's end. The
// process-wide factory (memory pool 16) lives from the renderer's start to its end.
//
// Threading: the notification callbacks run on the system's threads and only queue (and raise the
// device manager's counter and wake the engine thread); everything else runs on the engine thread
// under the notifier's lock, which the sinks take through the endpoint-access interface. The
// shared pointer is guarded by a process-wide lock.
// Ownership: the notifier (pool 5) holds one reference to each listed endpoint and to its
// enumerator; its reference count starts at 1 (the shared pointer's).
#pragma once

#include "ZkAudiolib/Common/Containers/ZkArray.h"
#include "ZkAudiolib/Common/Output/IZkEndpointAccess.h"
#include "ZkAudiolib/Common/Output/ZkEndpointNotificationQueue.h"

#include <Platform/Audio/EndpointInterfaces.h>
#include <Platform/PlatformLock.h>
#include <ZK/SoundEngine/Common/ZkResult.h>

#include <atomic>
#include <cstdint>

namespace ZK::SoundEngine
{
class CZkMMDeviceNotifier final : public ZK::Platform::IEndpointNotificationClient, public IZkEndpointAccess
{
public:
    static constexpr ZkMemoryId kPool = ZkMemID_Processing;
    static constexpr ZkMemoryId kFactoryPool = ZkMemID_EngineSingletons;
    // Sink plug-in numbers whose devices follow a default endpoint.
    static constexpr uint32_t kSystemSinkNumber = 174;
    static constexpr uint32_t kCommunicationsSinkNumber = 176;

    // --- The shared notifier and the factory ---
    // 1, or 52 when the factory cannot be allocated.
    static ZKRESULT CreateFactory();
    static void DestroyFactory();
    static IZkEndpointAccessFactory* Factory();
    // The shared notifier, made when missing; null when it cannot be made (no enumerator, no
    // memory).
    static CZkMMDeviceNotifier* AcquireShared();
    // The shared notifier if it exists.
    static CZkMMDeviceNotifier* Shared();
    // Drops the shared notifier (its reference).
    static void ReleaseShared();

    // A notifier over a new enumerator of the installed endpoint provider, its endpoints listed and
    // its notifications registered; null when there is no enumerator or no memory.
    static CZkMMDeviceNotifier* Create();

    // --- Engine thread ---
    // Applies the queued notifications (or rebuilds the list after an overflow). 1.
    ZKRESULT ProcessNotifications();
    // The endpoint of that id (0: default console) is active or unplugged.
    bool IsDeviceActive(uint32_t deviceID);
    // The default render endpoint of the role, with a reference added, and its id; null when none.
    ZK::Platform::IEndpoint* GetDefaultEndpoint(ZK::Platform::DeviceRole role, uint32_t& deviceID);

    // --- IZkEndpointAccess ---
    uint32_t GetEndpointCount() override;
    ZK::Platform::IEndpoint* GetEndpoint(uint32_t index, uint32_t& deviceID) override;
    void Lock() override { m_lock.Enter(); }
    void Unlock() override { m_lock.Leave(); }
    ZK::Platform::IEndpoint* FindEndpoint(uint32_t deviceID, uint32_t& foundID) override;

    // --- IEndpointNotificationClient (system threads) ---
    ZK::Platform::AudioResult QueryInterface(ZK::Platform::InterfaceId id, void** object) override;
    uint32_t AddRef() override;
    uint32_t Release() override;
    ZK::Platform::AudioResult OnDeviceStateChanged(const wchar_t* id, uint32_t state) override;
    ZK::Platform::AudioResult OnDeviceAdded(const wchar_t* id) override;
    ZK::Platform::AudioResult OnDeviceRemoved(const wchar_t* id) override;
    ZK::Platform::AudioResult OnDefaultDeviceChanged(ZK::Platform::DataFlow flow, ZK::Platform::DeviceRole role,
                                                     const wchar_t* id) override;
    ZK::Platform::AudioResult OnPropertyValueChanged(const wchar_t* id, const ZK::Platform::PropertyKey& key) override;

    // Tests and diagnostics.
    uint32_t QueuedNotifications() const { return m_queue.Count(); }
    bool QueueOverflowed() const { return m_queue.Overflowed(); }

    CZkMMDeviceNotifier() = default;
    ~CZkMMDeviceNotifier() override;

private:
    struct Entry
    {
        ZK::Platform::IEndpoint* endpoint;
        uint32_t deviceID;
    };

    void ListEndpoints();
    void ReleaseEndpoints();
    // Under the lock: the index of the entry with that id, or the count.
    uint32_t IndexOf(uint32_t deviceID) const;
    void Queue(const wchar_t* id, ZkEndpointNotificationQueue::Kind kind);
    void Apply(const wchar_t* id, ZkEndpointNotificationQueue::Kind kind);

    ZkArray<Entry, kPool> m_endpoints;
    ZK::Platform::IEndpointEnumerator* m_enumerator = nullptr;
    ZkEndpointNotificationQueue m_queue;
    ZK::Platform::ZkCriticalSection m_lock;
    std::atomic<uint32_t> m_references{1};
    bool m_registered = false;
};

// The device id of an endpoint: the FNV-1 id of its id string; kInvalidEndpointID for none or when
// the id string cannot be read.
uint32_t EndpointDeviceID(ZK::Platform::IEndpoint* endpoint);
} // namespace ZK::SoundEngine
