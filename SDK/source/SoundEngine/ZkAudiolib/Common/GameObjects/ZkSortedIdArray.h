// ZkSortedIdArray: an ascending array of distinct 64-bit game-object ids (memory pool 4), for
// keep-lists and the dirty-listener list. Look-ups are binary searches.
//
// Threading: none of its own; the owner's lock protects it.
// Ownership: owns its storage.
#pragma once

#include "ZkAudiolib/Common/Containers/ZkArray.h"

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
        const ZkGameObjectID* at = std::lower_bound(m_ids.begin(), m_ids.end(), id);
        const auto index = static_cast<uint32_t>(at - m_ids.begin());
        if (index < m_ids.Length() && m_ids[index] == id)
            return ZK_Success;
        return m_ids.Insert(index, id) != nullptr ? ZK_Success : ZK_InsufficientMemory;
    }
    bool Contains(ZkGameObjectID id) const { return std::binary_search(m_ids.begin(), m_ids.end(), id); }
    uint32_t Length() const { return m_ids.Length(); }
    bool IsEmpty() const { return m_ids.IsEmpty(); }
    const ZkGameObjectID* Data() const { return m_ids.Data(); }
    void RemoveAll() { m_ids.RemoveAll(); }
    void Term() { m_ids.Term(); }

private:
    ZK::ZkArray<ZkGameObjectID, ZkMemID_GameObjects> m_ids;
};
} // namespace ZK::SoundEngine
