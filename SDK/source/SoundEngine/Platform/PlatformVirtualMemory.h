// Virtual memory: address ranges reserved, committed, decommitted and released in whole pages.
// Linux maps at page alignment only, so the allocation granularity is reported as the page size.
// Reserved pages are inaccessible until committed; decommitted pages give their memory back and read
// as zero when committed again. Partial pages are widened to the whole pages that hold them.
//
// Thread safety: any thread may call these; the caller owns the ranges it reserved and keeps two
// threads from changing the same pages at once.
#pragma once

#include <cstddef>

namespace ZK::Platform
{
size_t PageSize();
size_t AllocationGranularity();

// Reserves an address range of size bytes (rounded up to pages). Null on failure.
void* ReserveAddressRange(size_t size);
// Reserves and commits in one step, read-write. Null on failure.
void* ReserveAndCommit(size_t size);
// Makes pages of a reserved range readable and writable. False on failure.
bool CommitPages(void* address, size_t size);
// Returns the memory of committed pages to the system; the range stays reserved.
bool DecommitPages(void* address, size_t size);
// Gives back a whole range obtained from ReserveAddressRange or ReserveAndCommit.
bool ReleaseAddressRange(void* address, size_t size);
} // namespace ZK::Platform
