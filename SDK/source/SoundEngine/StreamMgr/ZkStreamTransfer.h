// ZkStreamTransfer: one transfer a stream has prepared, from the moment its device takes it until
// the stream applies or drops it. An automatic stream's record becomes a buffer record once its
// data arrived (the same object moves from the stream's pending list to its buffer list).
//
// Threading: a record is read and written under its stream's lock; the fields the device's hook
// side uses (hookTransfer, nextWaiter, bytesMoved) are written under the device's I/O lock before
// the stream completes the record. Ownership: allocated by the device (memory id 7, through
// NewTransferRecord), owned by the stream's lists, freed by the stream through its device.
#pragma once

#include "MemoryMgr/ZkIOMemoryView.h"

#include <cstdint>

namespace ZK::StreamMgr
{
class CZkStreamTask;

// Low three bits of ZkStreamTransfer::state.
constexpr uint8_t kTransferPrepared = 0;
constexpr uint8_t kTransferCancelled = 2;
constexpr uint8_t kTransferDone = 3;        // completed, waiting for the records before it
constexpr uint8_t kTransferStateMask = 0x7;

struct ZkStreamTransfer
{
    ZkStreamTransfer* next = nullptr;             // in the stream's pending, cancelled or buffer list
    MemoryMgr::ZkIOMemoryView* view = nullptr;    // automatic streams: the I/O memory holding the data
    uint64_t dataPosition = 0;  // automatic: file position of the record's data
    uint32_t dataOffset = 0;    // automatic: offset of the stream's data in the view;
                                // standard: bytes of the request before this chunk
    uint32_t size = 0;          // bytes asked for (standard: the chunk; automatic: the record's data,
                                // cut to the bytes moved once the record is applied)
    uint32_t countedBytes = 0;  // automatic: bytes this record adds to the stream's buffered bytes
    uint32_t bytesMoved = 0;    // bytes of the record the hook moved, written by the device before it
                                // completes the record
    uint8_t state = kTransferPrepared;
    bool fromCache = false;     // served by a cached view: no hook transfer of its own
    void* hookTransfer = nullptr;             // the device's transfer that fills it (null: from cache)
    ZkStreamTransfer* nextWaiter = nullptr;   // deferred devices: next record served by the same transfer
    CZkStreamTask* owner = nullptr;

    uint8_t State() const { return state & kTransferStateMask; }
    void SetState(uint8_t newState) { state = static_cast<uint8_t>((state & ~kTransferStateMask) | newState); }
};

// A singly linked list of records with head, tail and count, oldest first.
struct ZkTransferList
{
    ZkStreamTransfer* head = nullptr;
    ZkStreamTransfer* tail = nullptr;
    uint32_t count = 0;

    bool Empty() const { return head == nullptr; }
    void PushBack(ZkStreamTransfer* record)
    {
        record->next = nullptr;
        if (tail)
            tail->next = record;
        else
            head = record;
        tail = record;
        ++count;
    }
    ZkStreamTransfer* PopFront()
    {
        ZkStreamTransfer* record = head;
        if (record)
        {
            head = record->next;
            if (!head)
                tail = nullptr;
            record->next = nullptr;
            --count;
        }
        return record;
    }
    // Removes the record; false when it is not in the list.
    bool Remove(ZkStreamTransfer* record)
    {
        ZkStreamTransfer* previous = nullptr;
        for (ZkStreamTransfer* current = head; current; previous = current, current = current->next)
        {
            if (current != record)
                continue;
            if (previous)
                previous->next = current->next;
            else
                head = current->next;
            if (tail == current)
                tail = previous;
            current->next = nullptr;
            --count;
            return true;
        }
        return false;
    }
    bool Contains(const ZkStreamTransfer* record) const
    {
        for (const ZkStreamTransfer* current = head; current; current = current->next)
        {
            if (current == record)
                return true;
        }
        return false;
    }
};
} // namespace ZK::StreamMgr
