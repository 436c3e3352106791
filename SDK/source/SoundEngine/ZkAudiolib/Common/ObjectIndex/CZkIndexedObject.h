// CZkIndexedObject: the base of every reference-counted engine object that the object index finds
// by id (hierarchy nodes, buses, events, actions, effect objects, modulators, states, dynamic
// sequences...). The object is itself the chain element of its index table: it carries the next
// object of its bucket, its 32-bit id and its reference count (1 after construction: the creator's
// reference).
//
// Each kind of object names its own table: its AddRef and Release call that table's AddRef and
// Release (ZkIndexTable), which change the count under the table's lock and, at the last release,
// unlink the object and Destroy it before the lock is left.
//
// Threading: the link and the count change only under the lock of the object's table.
// Ownership: the object lives as long as its count; Destroy runs its destructor and gives its memory
// back to the pool it came from.
#pragma once

#include <ZK/SoundEngine/Common/ZkTypes.h>

#include <cstdint>

namespace ZK::SoundEngine
{
class CZkIndexedObject
{
public:
    explicit CZkIndexedObject(ZkUniqueID id) : key(id) {}
    virtual ~CZkIndexedObject() = default;
    CZkIndexedObject(const CZkIndexedObject&) = delete;
    CZkIndexedObject& operator=(const CZkIndexedObject&) = delete;

    virtual uint32_t AddRef() = 0;
    virtual uint32_t Release() = 0;
    // Runs the destructor and frees the object's memory in its pool.
    virtual void Destroy() = 0;

    ZkUniqueID ID() const { return key; }
    uint32_t RefCount() const { return refCount; }

    CZkIndexedObject* pNextItem = nullptr; // next object of the same bucket (not owned)
    ZkUniqueID key;
    uint32_t refCount = 1;
};
} // namespace ZK::SoundEngine
