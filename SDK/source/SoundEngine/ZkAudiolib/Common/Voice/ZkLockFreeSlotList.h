// ZkLockFreeSlotList: a list of data slots that several threads fill, search and empty at the same
// time without a lock. The list is one 64-bit head word and a chain of cells {link word, data};
// the link word holds the next cell's address in bits 0-61, bit 62 "free" and bit 63 "being
// written". A cell in use (both flags clear) holds one data pointer; the same pointer may sit in
// several cells (one per registration).
//
// Cells are only ever pushed at the head and are freed only by Term, so a walk of the chain needs
// no lock: a cell seen once stays valid. Every change of a cell's state is a compare-and-swap of its
// link word, and a cell being written is never reported by a search. A removed cell is reused by a
// later Add; new cells are allocated only when every cell is in use.
//
// Threading: Add, Find and Remove may run concurrently on the same list from any threads. Init and
// Term run while no other thread uses the list.
// Ownership: the list owns its cells (from the memory pool its caller names, the same pool for
// Init, Add and Term); the data pointers belong to the caller.
#pragma once

#include <ZK/SoundEngine/Common/ZkMemoryMgr.h>
#include <ZK/SoundEngine/Common/ZkResult.h>

#include <atomic>
#include <cstdint>

namespace ZK::SoundEngine
{
namespace ZkLockFreeSlotList
{
using Head = std::atomic<uint64_t>;

constexpr uint64_t kFreeBit = uint64_t{1} << 62;
constexpr uint64_t kWritingBit = uint64_t{1} << 63;
constexpr uint64_t kFlagBits = kFreeBit | kWritingBit;

struct Cell
{
    std::atomic<uint64_t> link{0};
    std::atomic<void*> data{nullptr};
};

// Empties the list (the head becomes 0; cells of an earlier use must have been given back by Term)
// and pushes count free cells. 1, or 52 when a cell cannot be allocated (the cells made so far stay).
ZKRESULT Init(Head& head, uint32_t count, ZkMemoryId pool);
// Stores data in the first free cell, or in a new cell pushed at the head. 1, or 52 when no cell
// is free and none can be allocated (nothing is stored then).
ZKRESULT Add(Head& head, void* data, ZkMemoryId pool);
// The first cell in use holding data, or null.
Cell* Find(Head& head, const void* data);
// Marks every cell in use that holds data free.
void Remove(Head& head, const void* data);
// Marks this cell free when it is still in use and still holds data; false when it was not.
bool Release(Cell& cell, const void* data);
// Frees every cell; the head becomes 0.
void Term(Head& head, ZkMemoryId pool);
// Cells in the chain, in use or not (tests and diagnostics).
uint32_t CellCount(const Head& head);
} // namespace ZkLockFreeSlotList
} // namespace ZK::SoundEngine
