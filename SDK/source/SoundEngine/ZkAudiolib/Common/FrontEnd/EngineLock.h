// The global engine lock: held by the engine tick for a whole tick, by the queries that read live
// engine state, by bank loading, and by a writer that finds the message ring full and drains it.
// Whoever holds it is the only reader of the message ring.
//
// Threading: recursive (the engine re-enters it). Never taken while the bank-table lock is held,
// and taken before a node table's lock: a bus's destructor takes it, so whoever may drop a node's
// last reference holds it first.
// Ownership: one process-wide lock that lives for the whole program.
#pragma once

#include "Platform/PlatformLock.h"

namespace ZK::SoundEngine
{
extern ZK::Platform::ZkCriticalSection g_EngineLock;
} // namespace ZK::SoundEngine
