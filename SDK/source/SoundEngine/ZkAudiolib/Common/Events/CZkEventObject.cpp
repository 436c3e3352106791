#include "ZkAudiolib/Common/Events/CZkEventObject.h"

#include "ZkAudiolib/Common/Containers/ZkNew.h"
#include "ZkAudiolib/Common/FrontEnd/PinnedEventPrefetch.h"
#include "ZkAudiolib/Common/Hierarchy/CZkSoundNode.h"
#include "ZkAudiolib/Common/ObjectIndex/ObjectIndex.h"

namespace ZK::SoundEngine
{
namespace
{
ZkIndexTable& EventTable() { return g_pObjectIndex->Table(ZkIndexKind::Events); }
} // namespace

CZkEventObject* CZkEventObject::Create(ZkUniqueID id)
{
    return ZK::ZkNew<CZkEventObject>(kPool, id);
}

CZkEventObject::~CZkEventObject()
{
    PinnedEventPrefetch::RemoveEvent(this);
    while (m_firstAction != nullptr)
    {
        CZkEventAction* action = m_firstAction;
        m_firstAction = action->pNextAction;
        action->pNextAction = nullptr;
        action->isListed = false;
        action->Release();
    }
}

ZKRESULT CZkEventObject::AddToIndex() { return EventTable().Insert(this); }

uint32_t CZkEventObject::AddRef() { return EventTable().AddRef(this); }

uint32_t CZkEventObject::Release() { return EventTable().Release(this); }

void CZkEventObject::Destroy() { ZK::ZkDelete(kPool, this); }

uint32_t CZkEventObject::ActionCount() const
{
    uint32_t count = 0;
    for (const CZkEventAction* action = m_firstAction; action != nullptr; action = action->pNextAction)
        ++count;
    return count;
}

ZKRESULT CZkEventObject::ReadFromBank(const uint8_t* body, uint32_t size)
{
    ZK::ZkByteCursor cursor(body, size);
    uint32_t count = 0;
    if (!cursor.Skip(sizeof(uint32_t)) || !cursor.ReadVarUint(count))
        return ZK_InvalidFile;
    CZkEventAction** tail = &m_firstAction;
    while (*tail != nullptr)
        tail = &(*tail)->pNextAction;
    ZkIndexTable& actions = g_pObjectIndex->Table(ZkIndexKind::Actions);
    for (uint32_t index = 0; index < count; ++index)
    {
        uint32_t actionID = 0;
        if (!cursor.Read(actionID))
            return ZK_InvalidFile;
        if (actionID == 0)
            return ZK_InvalidShareSetID;
        // Every object of the action table is an action; the look-up adds the event's reference.
        auto* action = static_cast<CZkEventAction*>(actions.GetPtrAndAddRef(actionID));
        if (action == nullptr)
            return ZK_Fail;
        if (action->isListed)
        {
            // The list runs through the action itself: an action already listed (by this event
            // or another) cannot be listed again without cutting the other list.
            action->Release();
            continue;
        }
        action->isListed = true;
        action->pNextAction = nullptr;
        *tail = action;
        tail = &action->pNextAction;
    }
    return ZK_Success;
}

ZkObjectInfo CZkEventObject::PlayTargetInfo(const CZkHierarchyNode& node)
{
    const auto* sound = dynamic_cast<const CZkSoundNode*>(&node);
    return ZkObjectInfo{node.ID(), sound != nullptr ? sound->Media().mediaID : 0, 0};
}

ZKRESULT CZkEventObject::CollectPlayTargets(uint32_t& capacity, ZkObjectInfo* out) const
{
    const uint32_t limit = capacity;
    uint32_t count = 0;
    ForEachPlayTarget([&](CZkHierarchyNode* node) {
        if (limit != 0 && count >= limit)
            return;
        if (limit != 0)
            out[count] = PlayTargetInfo(*node);
        ++count;
    });
    capacity = count;
    return limit != 0 ? ZK_Success : ZK_PartialSuccess;
}
} // namespace ZK::SoundEngine
