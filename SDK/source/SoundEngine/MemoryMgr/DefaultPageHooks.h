// The page hooks that ZK::MemoryMgr::GetDefaultSettings puts in ZkMemSettings: fresh read-write
// pages straight from the platform's virtual memory, and their return.
//
// The free hook releases the whole mapping when releaseSize is non-zero and decommits size bytes
// otherwise. Linux needs the length of a mapping to unmap it, so the release uses releaseSize (the
// allocator always passes the full length it mapped). The cookie is neither set nor read.
#pragma once

#include <cstddef>

namespace ZK::MemoryMgr
{
void* DefaultPageAlloc(size_t size, void** outCookie);
void DefaultPageFree(void* address, size_t size, void* cookie, size_t releaseSize);
} // namespace ZK::MemoryMgr
