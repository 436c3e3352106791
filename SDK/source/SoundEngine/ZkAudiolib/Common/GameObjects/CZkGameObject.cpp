#include "ZkAudiolib/Common/GameObjects/CZkGameObject.h"

#include "ZkAudiolib/Common/Containers/ZkNew.h"
#include "ZkAudiolib/Common/GameObjects/CZkEmitter.h"
#include "ZkAudiolib/Common/GameObjects/CZkGeometryParams.h"
#include "ZkAudiolib/Common/GameObjects/CZkListener.h"
#include "ZkAudiolib/Common/GameObjects/CZkListenerRouting.h"
#include "ZkAudiolib/Common/GameObjects/CZkObjectValueList.h"
#include "ZkAudiolib/Common/GameObjects/CZkPerObjectNodeList.h"
#include "ZkAudiolib/Common/GameObjects/CZkRegisteredObj.h"
#include "ZkAudiolib/Common/GameObjects/CZkRegistryMgr.h"
#include "ZkAudiolib/Common/GameObjects/CZkTrackedNodeSet.h"
#include "ZkAudiolib/Common/GameSyncs/CZkSwitchMgr.h"

namespace ZK::SoundEngine
{
CZkGameObject::~CZkGameObject() { DestroyComponents(); }

void CZkGameObject::DestroyComponents()
{
    for (CZkObjectComponent*& slot : m_slots)
    {
        if (slot != nullptr)
        {
            CZkObjectComponent* component = slot;
            slot = nullptr;
            ZK::ZkDelete(kPool, component);
        }
    }
}

CZkRegisteredObj::~CZkRegisteredObj()
{
    if (g_pSwitchMgr != nullptr)
        g_pSwitchMgr->RemoveGameObject(this);
    ZkRTPCKey key;
    key.gameObject = this;
    ParamScope().Clear(key);
}

void CZkGameObject::DestroySelf()
{
    // Every game object is made as a CZkRegisteredObj (the registry's creator).
    ZK::ZkDelete(kPool, static_cast<CZkRegisteredObj*>(this));
}

void CZkGameObject::AddRef()
{
    if (m_refCount <= 1 && IsRegistered())
    {
        ++m_refCount;
        if (m_refCount > 1 && g_pRegistryMgr != nullptr)
            g_pRegistryMgr->ActivateEmitter(this);
        return;
    }
    ++m_refCount;
}

void CZkGameObject::Release()
{
    const bool wasActive = IsActive();
    const uint32_t oldCount = m_refCount--;
    if (g_pRegistryMgr != nullptr && (oldCount == 1 || (wasActive && IsRegistered() && m_refCount < 2)))
        g_pRegistryMgr->DeactivateEmitter(this);
    if (m_refCount == 0)
        DestroySelf();
}

void CZkGameObject::ReleaseRegistryReference()
{
    const uint32_t oldCount = m_refCount--;
    m_registered = 0;
    if (oldCount == 1)
    {
        if (g_pRegistryMgr != nullptr)
            g_pRegistryMgr->DeactivateEmitter(this);
        DestroySelf();
    }
}

template <typename T>
T* CZkGameObject::GetOrCreate(uint32_t slot, ZKRESULT* result)
{
    if (m_slots[slot] != nullptr)
    {
        if (result != nullptr)
            *result = ZK_Success;
        return static_cast<T*>(m_slots[slot]);
    }
    T* component = ZK::ZkNew<T>(kPool);
    if (component == nullptr)
    {
        if (result != nullptr)
            *result = ZK_InsufficientMemory;
        return nullptr;
    }
    m_slots[slot] = component;
    component->owner = this;
    const ZKRESULT initResult = component->Init(m_id);
    if (result != nullptr)
        *result = initResult;
    if (initResult != ZK_Success)
    {
        m_slots[slot] = nullptr;
        ZK::ZkDelete(kPool, component);
        return nullptr;
    }
    return component;
}

CZkEmitter* CZkGameObject::Emitter() const { return static_cast<CZkEmitter*>(m_slots[ZkComponentSlot_Emitter]); }
CZkListener* CZkGameObject::Listener() const { return static_cast<CZkListener*>(m_slots[ZkComponentSlot_Listener]); }
CZkListenerRouting* CZkGameObject::ListenerRouting() const
{
    return static_cast<CZkListenerRouting*>(m_slots[ZkComponentSlot_ListenerRouting]);
}
CZkGeometryParams* CZkGameObject::Geometry() const
{
    return static_cast<CZkGeometryParams*>(m_slots[ZkComponentSlot_Geometry]);
}
CZkObjectValueList* CZkGameObject::ValueList() const
{
    return static_cast<CZkObjectValueList*>(m_slots[ZkComponentSlot_ValueList]);
}

CZkPerObjectNodeList* CZkGameObject::PerObjectNodeList() const
{
    return static_cast<CZkPerObjectNodeList*>(m_slots[ZkComponentSlot_PerObjectNodeList]);
}

CZkPerObjectNodeList* CZkRegisteredObj::GetOrCreatePerObjectNodeList()
{
    return GetOrCreate<CZkPerObjectNodeList>(ZkComponentSlot_PerObjectNodeList, nullptr);
}

CZkTrackedNodeSet* CZkGameObject::TrackedNodeSet() const
{
    return static_cast<CZkTrackedNodeSet*>(m_slots[ZkComponentSlot_TrackedNodeSet]);
}

CZkTrackedNodeSet* CZkGameObject::GetOrCreateTrackedNodeSet()
{
    return GetOrCreate<CZkTrackedNodeSet>(ZkComponentSlot_TrackedNodeSet, nullptr);
}

CZkListenerRouting* CZkGameObject::GetListenerRouting() const
{
    CZkListenerRouting* own = ListenerRouting();
    return own != nullptr ? own : CZkListenerRouting::ExistingDefault();
}

const ZkSortedIdArray& CZkGameObject::GetListenerSet() const
{
    static const ZkSortedIdArray kNoListeners;
    const CZkListenerRouting* routing = GetListenerRouting();
    return routing != nullptr ? routing->Listeners() : kNoListeners;
}

uint32_t CZkGameObject::GetRayCount() const
{
    const CZkEmitter* emitter = Emitter();
    return emitter != nullptr ? uint32_t{emitter->PositionCount()} * GetListenerSet().Length() : 0;
}

ZKRESULT CZkGameObject::UseBuiltInParam(uint32_t type)
{
    CZkEmitter* emitter = Emitter();
    if (emitter == nullptr)
        return ZK_Success;
    ZKRESULT result = ZK_Success;
    CZkGeometryParams* geometry = GetOrCreateGeometry(&result);
    if (geometry == nullptr)
        return result;
    if (geometry->UseBuiltIn(type) || emitter->IsDirty())
        geometry->Update();
    return ZK_Success;
}

CZkEmitter* CZkGameObject::GetOrCreateEmitter() { return GetOrCreate<CZkEmitter>(ZkComponentSlot_Emitter, nullptr); }
CZkListener* CZkGameObject::GetOrCreateListener() { return GetOrCreate<CZkListener>(ZkComponentSlot_Listener, nullptr); }
CZkListenerRouting* CZkGameObject::GetOrCreateListenerRouting(ZKRESULT* result)
{
    return GetOrCreate<CZkListenerRouting>(ZkComponentSlot_ListenerRouting, result);
}
CZkGeometryParams* CZkGameObject::GetOrCreateGeometry(ZKRESULT* result)
{
    return GetOrCreate<CZkGeometryParams>(ZkComponentSlot_Geometry, result);
}

CZkObjectValueList* CZkGameObject::GetOrCreateValueList()
{
    return GetOrCreate<CZkObjectValueList>(ZkComponentSlot_ValueList, nullptr);
}
} // namespace ZK::SoundEngine
