// CZkMMDeviceNotifier (declaration only): the shared list of the system's audio endpoints and the
// queue of their change notifications, and the process-wide factory that makes it on demand. The
// renderer's start makes the factory and its end destroys it; the engine thread makes the shared
// notifier when it starts and releases it when it ends; the device update drains the queue.
//
// The one stand-in that answers success: until the endpoints exist the factory is "made, with no
// notifier" (1), because the renderer's start returns the factory's failure and the engine could
// not start otherwise. Nothing else is claimed: there is no notifier and no queue to drain.
//
// Threading: engine thread (the factory: renderer start and end). Ownership: the engine's.
#pragma once

#include <ZK/SoundEngine/Common/ZkResult.h>

namespace ZK::SoundEngine
{
class CZkMMDeviceNotifier
{
public:
    // The endpoint-notification factory: 1, with no notifier behind it.
    static ZKRESULT CreateFactory() { return ZK_Success; }
    static void DestroyFactory() {}
    // The shared notifier, made when missing. Not built yet: none.
    static CZkMMDeviceNotifier* AcquireShared() { return nullptr; }
    // The shared notifier if it exists. Not built yet: none.
    static CZkMMDeviceNotifier* Shared() { return nullptr; }
    static void ReleaseShared() {}
    // Applies the queued endpoint notifications. Not built yet: 4, nothing applied.
    ZKRESULT ProcessNotifications() { return ZK_NotImplemented; }
};
} // namespace ZK::SoundEngine
