// CZkPositionPath: the listener cache, the transforms of the listeners a listener-relative path
// is heard by, as the player last saw them.
#include "ZkAudiolib/Common/GameObjects/CZkListener.h"
#include "ZkAudiolib/Common/GameObjects/CZkRegisteredObj.h"
#include "ZkAudiolib/Common/GameObjects/CZkRegistryMgr.h"
#include "ZkAudiolib/Common/Positioning/CZkPositionPath.h"

namespace ZK::SoundEngine
{
namespace
{
const CZkListener* RegisteredListener(ZkGameObjectID id)
{
    const CZkRegisteredObj* object = g_pRegistryMgr != nullptr ? g_pRegistryMgr->GetObj(id) : nullptr;
    return object != nullptr ? object->Listener() : nullptr;
}
} // namespace

void CZkPositionPath::UpdateListenerCache(const ZkGameObjectID* ids, uint32_t count)
{
    for (uint32_t n = 0; n < count; ++n)
    {
        const ZkGameObjectID id = ids[n];
        uint32_t entry = 0;
        while (entry < m_listeners.Length() && m_listeners[entry].listenerID != id)
            ++entry;
        const CZkListener* listener = RegisteredListener(id);
        if (listener == nullptr)
        {
            m_listeners.EraseSwap(entry);
            continue;
        }
        if (entry < m_listeners.Length())
            m_listeners[entry].transform = listener->Transform();
        else
            m_listeners.AddLast({id, listener->Transform()}); // no entry this time when it cannot grow
    }
}

const ZkTransform* CZkPositionPath::GetListenerSnapshot(ZkGameObjectID listenerID) const
{
    for (const ZkPathListenerEntry& entry : m_listeners)
    {
        if (entry.listenerID == listenerID)
            return &entry.transform;
    }
    return nullptr;
}
} // namespace ZK::SoundEngine
