// ZkActivitySlabs: the engine's pool of activity records: slabs of 128 records (memory pool 0), each
// with its own free list and free count, kept in one list. A record is taken from the first slab
// with a free one (a new slab is prepended when none has); a slab whose records are all free again
// is unlinked and freed, so an idle engine holds no slab.
//
// Threading: audio thread, under the global engine lock; the list head is published with a release
// store when a slab is added or removed.
// Ownership: the pool owns its slabs; a record taken is the taker's until it is given back.
#pragma once

#include "ZkAudiolib/Common/Hierarchy/ZkActivityRecord.h"

#include <cstdint>

namespace ZK::SoundEngine
{
namespace ZkActivitySlabs
{
constexpr uint32_t kRecordsPerSlab = 128;

// A record constructed with these arguments; null when no slab can be had.
ZkActivityRecord* Take(uint16_t maxCount, bool olderFirst, bool virtualOnLimit, uint64_t limiterKey, bool globalLimit);
// Destroys the record and returns it to its slab.
void Give(ZkActivityRecord* record);
// Slabs and records in use (queries and tests).
uint32_t SlabCount();
uint32_t RecordsInUse();
} // namespace ZkActivitySlabs
} // namespace ZK::SoundEngine
