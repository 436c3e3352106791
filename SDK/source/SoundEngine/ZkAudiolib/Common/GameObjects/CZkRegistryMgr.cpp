// CZkRegistryMgr: life cycle, the object table, registration and reference release.
#include "ZkAudiolib/Common/GameObjects/CZkRegistryMgr.h"

#include "ZkAudiolib/Common/Containers/ZkNew.h"
#include "ZkAudiolib/Common/GameObjects/CZkEmitter.h"
#include "ZkAudiolib/Common/GameObjects/CZkListener.h"
#include "ZkAudiolib/Common/GameObjects/CZkListenerRouting.h"

namespace ZK::SoundEngine
{
CZkRegistryMgr* g_pRegistryMgr = nullptr;

namespace
{
constexpr ZkMemoryId kTablePool = ZkMemID_Default;
} // namespace

ZKRESULT CZkRegistryMgr::Init()
{
    if (m_nodesWithoutObject.Init() != ZK_Success || m_activeSet.Create(kInitialActiveEmitters, kTablePool) != ZK_Success ||
        m_activeEmitters.Reserve(kInitialActiveEmitters) != ZK_Success)
    {
        m_nodesWithoutObject.Term();
        m_activeSet.Destroy();
        m_activeEmitters.Term();
        return ZK_InsufficientMemory;
    }
    m_lastInsertedHash = kNoLastHash;
    return ZK_Success;
}

void CZkRegistryMgr::Term()
{
    UnregisterAll(nullptr);
    if (TableNode* node = FindNode(ZK_ENGINE_INTERNAL_GAME_OBJECT))
    {
        CZkRegisteredObj* object = node->object;
        RemoveNode(node);
        object->ReleaseRegistryReference();
    }
    m_objects.Term();
    m_nodesWithoutObject.Term();
    m_activeSet.Destroy();
    m_activeEmitters.Term();
    m_dirtyListeners.Term();
    m_lastInsertedHash = kNoLastHash;
}

CZkRegistryMgr::TableNode* CZkRegistryMgr::FindNode(ZkGameObjectID id) const
{
    if (m_objects.BucketCount() == 0)
        return nullptr;
    const auto bucketKey = static_cast<uint32_t>(id);
    for (TableNode* node = m_objects.Bucket(bucketKey % m_objects.BucketCount()); node != nullptr; node = node->pNextItem)
    {
        if (node->id == id)
            return node;
    }
    return nullptr;
}

void CZkRegistryMgr::RemoveNode(TableNode* node)
{
    m_objects.Unlink(node);
    ZK::ZkDelete(kTablePool, node);
}

CZkRegisteredObj* CZkRegistryMgr::GetObj(ZkGameObjectID id) const
{
    const TableNode* node = FindNode(id);
    return node != nullptr ? node->object : nullptr;
}

CZkRegisteredObj* CZkRegistryMgr::GetObjAndAddref(ZkGameObjectID id)
{
    CZkRegisteredObj* object = GetObj(id);
    if (object != nullptr)
        object->AddRef();
    return object;
}

bool CZkRegistryMgr::IsGameObjectActive(ZkGameObjectID id) const
{
    const CZkRegisteredObj* object = GetObj(id);
    return object != nullptr && object->IsActive();
}

ZKRESULT CZkRegistryMgr::GetActiveGameObjects(ZK::ZkArray<ZkGameObjectID>& ids) const
{
    for (uint32_t bucket = 0; bucket < m_objects.BucketCount(); ++bucket)
    {
        for (const TableNode* node = m_objects.Bucket(bucket); node != nullptr; node = node->pNextItem)
        {
            if (node->object->IsActive() && ids.AddLast(node->id) == nullptr)
                return ZK_InsufficientMemory;
        }
    }
    return ZK_Success;
}

ZKRESULT CZkRegistryMgr::RegisterObject(ZkGameObjectID id)
{
    TableNode* node = FindNode(id);
    if (node == nullptr)
    {
        auto* object = ZK::ZkNew<CZkRegisteredObj>(CZkGameObject::kPool, id);
        if (object == nullptr)
            return ZK_Fail;
        if (!m_objects.Rehash() || (node = ZK::ZkNew<TableNode>(kTablePool)) == nullptr)
        {
            object->ReleaseRegistryReference();
            return ZK_Fail;
        }
        node->bucketKey = static_cast<uint32_t>(id);
        node->id = id;
        node->object = object;
        m_objects.Insert(node); // buckets exist: Rehash succeeded
    }
    CZkRegisteredObj* object = node->object;

    if (object->Emitter() == nullptr)
    {
        if (CZkEmitter* emitter = object->GetOrCreateEmitter())
        {
            const ZkChannelEmitter origin = {kZkDefaultTransform, kZkAllInputChannels};
            emitter->SetPositions(&origin, 1, MultiPositionType_SingleSource);
        }
    }

    // Routings that already name this object as a listener need it to have a listener component.
    for (const CZkListenerRouting* routing = CZkListenerRouting::First(); routing != nullptr; routing = routing->Next())
    {
        if (routing->HasListener(id))
        {
            object->GetOrCreateListener();
            break;
        }
    }

    if (object->Emitter() != nullptr || object->Listener() != nullptr)
        return ZK_Success;
    RemoveNode(node);
    object->ReleaseRegistryReference();
    return ZK_Fail;
}

ZKRESULT CZkRegistryMgr::UnregisterObject(ZkGameObjectID id)
{
    TableNode* node = FindNode(id);
    if (node == nullptr)
        return ZK_Fail;
    CZkRegisteredObj* object = node->object;
    RemoveNode(node);
    object->ReleaseRegistryReference();
    return ZK_Success;
}

void CZkRegistryMgr::UnregisterAll(const ZkSortedIdArray* keepList)
{
    for (uint32_t bucket = 0; bucket < m_objects.BucketCount(); ++bucket)
    {
        TableNode* node = m_objects.Bucket(bucket);
        while (node != nullptr)
        {
            TableNode* next = node->pNextItem;
            if (node->id != ZK_ENGINE_INTERNAL_GAME_OBJECT && (keepList == nullptr || !keepList->Contains(node->id)))
            {
                CZkRegisteredObj* object = node->object;
                RemoveNode(node);
                object->ReleaseRegistryReference();
            }
            node = next;
        }
    }
}

void CZkRegistryMgr::EnsureListener(ZkGameObjectID listenerID)
{
    if (CZkRegisteredObj* listener = GetObj(listenerID))
        listener->GetOrCreateListener();
}
} // namespace ZK::SoundEngine
