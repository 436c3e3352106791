// PinnedEventPrefetch: the events a game pinned in the stream cache, so that the beginnings of the
// streamed files they may play stay cached. One record per (game object, event), sorted by game
// object then event address; each holds a reference on its game object (none on its event: an event
// removes its records when it is destroyed) and a pin state: the files pinned at the active priority
// and those pinned at the inactive one.
//
// Threading: every operation takes the pinned-events lock; removal runs on the engine thread (event
// destruction), the stream manager's unpin calls are made with the lock held.
// Ownership: process-wide; the records array, the states and their file lists are memory pool 0.
// The array is freed whenever its last record goes.
#pragma once

#include <cstdint>

namespace ZK::SoundEngine
{
class CZkEventObject;

class PinnedEventPrefetch
{
public:
    // Every pin of the event goes: its files are unpinned at their priorities, its game object
    // released, its state freed. The event's destructor calls it first.
    static void RemoveEvent(const CZkEventObject* event);
    static uint32_t PinnedRecordCount();
};
} // namespace ZK::SoundEngine
