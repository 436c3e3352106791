// ZkSortedIdArray: an ascending array of distinct 64-bit game-object ids (unsigned order), for
// keep-lists, the dirty-listener list and the listener sets of the routing (ZkListenerSet). One id
// lives inside the object; more go to memory pool 4. Look-ups are binary searches; merging and
// intersection tests are merge walks over two ascending arrays.
//
// Threading: none of its own; the owner's lock protects it.
// Ownership: owns its storage.
#pragma once

#include "ZkAudiolib/Common/Containers/ZkInlineArray.h"

#include <ZK/SoundEngine/Common/ZkResult.h>
#include <ZK/SoundEngine/Common/ZkTypes.h>

#include <algorithm>

namespace ZK::SoundEngine
{
class ZkSortedIdArray
{
public:
    // 1 (also when present), or 52 when the array cannot grow.
    ZKRESULT Add(ZkGameObjectID id)
    {
        const uint32_t index = LowerBound(id);
        if (index < m_ids.Length() && m_ids[index] == id)
            return ZK_Success;
        return m_ids.Insert(index, id) != nullptr ? ZK_Success : ZK_InsufficientMemory;
    }
    // True when the id was there.
    bool Remove(ZkGameObjectID id)
    {
        const uint32_t index = LowerBound(id);
        if (index >= m_ids.Length() || m_ids[index] != id)
            return false;
        m_ids.Erase(index);
        return true;
    }
    // Room for capacity ids. 1 or 52.
    ZKRESULT Reserve(uint32_t capacity) { return m_ids.Reserve(capacity); }
    // Makes this array a copy of other. False when out of memory (unchanged).
    bool Assign(const ZkSortedIdArray& other)
    {
        if (&other == this)
            return true;
        if (m_ids.Reserve(other.Length()) != ZK_Success)
            return false;
        m_ids.RemoveAll();
        for (ZkGameObjectID id : other)
            m_ids.AddLast(id);
        return true;
    }
    // Adds every id of other that is not yet here; an id that cannot be stored is dropped.
    void Union(const ZkSortedIdArray& other)
    {
        for (ZkGameObjectID id : other)
            Add(id);
    }
    // True when both arrays hold a common id.
    bool SharesAnyWith(const ZkSortedIdArray& other) const
    {
        const ZkGameObjectID* a = begin();
        const ZkGameObjectID* b = other.begin();
        while (a != end() && b != other.end())
        {
            if (*a == *b)
                return true;
            if (*a < *b)
                ++a;
            else
                ++b;
        }
        return false;
    }
    bool Contains(ZkGameObjectID id) const { return std::binary_search(begin(), end(), id); }

    uint32_t Length() const { return m_ids.Length(); }
    bool IsEmpty() const { return m_ids.IsEmpty(); }
    const ZkGameObjectID* Data() const { return m_ids.Data(); }
    ZkGameObjectID operator[](uint32_t index) const { return m_ids[index]; }
    const ZkGameObjectID* begin() const { return m_ids.begin(); }
    const ZkGameObjectID* end() const { return m_ids.end(); }
    void RemoveAll() { m_ids.RemoveAll(); }
    void Term() { m_ids.Term(); }

private:
    uint32_t LowerBound(ZkGameObjectID id) const
    {
        return static_cast<uint32_t>(std::lower_bound(begin(), end(), id) - begin());
    }

    ZK::ZkInlineArray<ZkGameObjectID, 1, ZkMemID_GameObjects> m_ids;
};

// The listener ids of a routing: the same ascending id array.
using ZkListenerSet = ZkSortedIdArray;
} // namespace ZK::SoundEngine
