// Task memory: blocks the audio endpoint layer hands to its callers (endpoint id strings, stream
// formats, property values), which the caller gives back with FreeTaskMemory. The layer counts
// the blocks it has handed out and not yet got back, so tests can check that every one returns.
//
// Threading: any thread. Ownership: a block belongs to whoever the layer handed it to.
#pragma once

#include <cstddef>
#include <cstdint>

namespace ZK::Platform
{
// A block of at least size bytes, aligned for any type; null when out of memory.
void* AllocateTaskMemory(size_t size);
// Gives a block back; null does nothing.
void FreeTaskMemory(void* block);
// A copy of a wide text in task memory (null for null text or when out of memory).
wchar_t* DuplicateTaskText(const wchar_t* text);
// Blocks handed out and not given back, over the whole process.
int64_t TaskMemoryBlocksInUse();
} // namespace ZK::Platform
