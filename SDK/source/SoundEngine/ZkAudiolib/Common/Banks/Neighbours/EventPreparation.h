// The preparation of events (declaration only): the count of preparations an event object holds
// and the undoing of what they prepared (its actions' banks, nodes and media, and the preparation's
// reference on the event). Clearing the prepared events walks the event table through these.
//
// Event preparations are not built yet: no event is ever prepared.
//
// Threading: the bank thread, under the global engine lock and the event table's lock.
// Ownership: the event's own counts; the caller holds a reference on the event.
#pragma once

#include <ZK/SoundEngine/Common/ZkResult.h>

#include <cstdint>

namespace ZK::SoundEngine
{
class CZkIndexedObject;

namespace EventPreparation
{
// Not built yet: no event is prepared (0).
inline uint32_t Count(const CZkIndexedObject*)
{
    return 0;
}
// Sets the count to 0, undoes the preparation of the event's actions and drops the preparation's
// reference. Not built yet: 4, nothing undone.
inline ZKRESULT Clear(CZkIndexedObject*)
{
    return ZK_NotImplemented;
}
} // namespace EventPreparation
} // namespace ZK::SoundEngine
