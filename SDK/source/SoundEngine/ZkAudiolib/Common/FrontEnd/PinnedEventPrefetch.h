// PinnedEventPrefetch: the events a game pinned in the stream cache, so that the beginnings of the
// streamed files they may play stay cached and the events start without waiting for the disk.
//
// One record per (game object, event), sorted by game object then event address; each holds a
// reference on its game object (none on its event: an event removes its records when it is
// destroyed) and a pin state: the files pinned at the active priority (what the event would play
// with the current switch and state values), those pinned at the inactive priority (what it could
// play otherwise), and the groups its targets depend on. One reference-counted group subscriber per
// group id serves every record; when a group changes, the records are refreshed: the new files are
// pinned before the old ones are unpinned, so that a file wanted by both never leaves the cache.
//
// Threading: every operation takes the pinned-events lock (process-wide, recursive). Pin, Unpin,
// the refreshes and RemoveEvent run on the engine thread (message 36, group notifications, event
// destruction); GetStatus runs on the caller's thread. The stream manager's pinning operations are
// called with the lock held, which keeps them to one thread at a time.
// Ownership: process-wide; the records array, the pin states, their sorted lists and the subscriber
// table are memory pool 0, the subscribers pool 7. Arrays are freed when they become empty.
#pragma once

#include <ZK/SoundEngine/Common/ZkResult.h>
#include <ZK/SoundEngine/Common/ZkTypes.h>

#include <cstdint>

namespace ZK::SoundEngine
{
class CZkEventObject;
class CZkRegisteredObj;
class CZkRTPCOverrideFilter;

class PinnedEventPrefetch
{
public:
    // A new pin of (game object or null, event) takes a game-object reference and pins the files
    // its targets collect; a pin that exists only moves its files to the new priorities. Out of
    // memory the pin is not made (no error: the interface already answered).
    static void Pin(const CZkEventObject* event, CZkRegisteredObj* gameObject, int8_t activePriority,
                    int8_t inactivePriority);
    // The pin of (game object, event) goes: its files are unpinned, its groups released.
    static void Unpin(const CZkEventObject* event, CZkRegisteredObj* gameObject);
    // Every pin of the event goes. The event's destructor calls it first.
    static void RemoveEvent(const CZkEventObject* event);
    // Buffering of the pin's files: the smallest percentage of them (100 without files) and whether
    // any reports a full cache. 2 when there is no such pin or a file's status fails, else 1.
    static ZKRESULT GetStatus(const CZkEventObject* event, CZkRegisteredObj* gameObject, float& percent,
                              bool& cacheFull);
    // A group's new value (its subscriber's notification): refreshes the records of the game object,
    // or every record for a change without game object (those a filter sets apart excepted), the
    // targets taking the changed group at its new value.
    static void OnGroupChanged(ZkUniqueID groupID, ZkUniqueID value, CZkRegisteredObj* gameObject,
                               const CZkRTPCOverrideFilter* filter);
    // Every pin goes (the engine's termination).
    static void Term();

    static uint32_t PinnedRecordCount();
    // Group ids that have a subscriber.
    static uint32_t SubscribedGroupCount();
};
} // namespace ZK::SoundEngine
