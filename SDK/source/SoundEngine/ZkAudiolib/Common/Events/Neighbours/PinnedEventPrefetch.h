// PinnedEventPrefetch (declaration only): the media prefetch records of events pinned in the
// stream cache. An event that goes first drops its records. Nothing pins an event yet, so there is
// never a record to drop.
//
// Threading: any thread; the records have a lock of their own. Ownership: the records are the
// front end's.
#pragma once

namespace ZK::SoundEngine
{
class CZkEventObject;

class PinnedEventPrefetch
{
public:
    // Not built yet: nothing to remove.
    static void RemoveEvent(const CZkEventObject*) {}
};
} // namespace ZK::SoundEngine
