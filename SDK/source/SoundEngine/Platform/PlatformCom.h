// The per-thread component-system set-up that the engine's audio threads pair at their start and
// end. Linux has no such system to start, so the layer only counts: every successful Initialize
// must be matched by one Uninitialize on the same thread, and tests read the count to check the
// pairing.
//
// Threading: each thread has its own count; every function acts on the calling thread's.
#pragma once

#include <cstdint>

namespace ZK::Platform
{
// Starts the calling thread's apartment (nestable). True: the caller must Uninitialize once.
bool InitializeApartment();
// Ends one Initialize of the calling thread. False when the thread has none left to end.
bool UninitializeApartment();
// Initializes of the calling thread not yet matched.
uint32_t ApartmentInitCount();
} // namespace ZK::Platform
