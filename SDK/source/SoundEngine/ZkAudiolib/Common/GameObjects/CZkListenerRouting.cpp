#include "ZkAudiolib/Common/GameObjects/CZkListenerRouting.h"

#include "ZkAudiolib/Common/Containers/ZkNew.h"
#include "ZkAudiolib/Common/GameObjects/CZkGameObject.h"
#include "ZkAudiolib/Common/GameObjects/CZkRegistryMgr.h"

namespace ZK::SoundEngine
{
namespace
{
CZkListenerRouting* s_defaultRouting = nullptr;
} // namespace

CZkListenerRouting* CZkListenerRouting::GetDefault()
{
    if (s_defaultRouting == nullptr)
    {
        s_defaultRouting = ZK::ZkNew<CZkListenerRouting>(CZkGameObject::kPool);
        if (s_defaultRouting != nullptr)
        {
            s_defaultRouting->m_ownListeners = 1;
            s_defaultRouting->m_ownSends = 1;
        }
    }
    return s_defaultRouting;
}

CZkListenerRouting* CZkListenerRouting::ExistingDefault() { return s_defaultRouting; }

void CZkListenerRouting::DestroyDefault()
{
    CZkListenerRouting* routing = s_defaultRouting;
    s_defaultRouting = nullptr;
    ZK::ZkDelete(CZkGameObject::kPool, routing);
}

void TermPositioningGlobals() { CZkListenerRouting::DestroyDefault(); }

void CZkListenerRouting::FreeStorage()
{
    m_listeners.Term();
    m_dry.Term();
    m_aux.Term();
}

const ZkListenerGainTable& CZkListenerRouting::EffectiveDryTable() const
{
    const CZkListenerRouting* source = OwnsListeners() || ExistingDefault() == nullptr ? this : ExistingDefault();
    return source->m_dry;
}

const ZkListenerGainTable& CZkListenerRouting::EffectiveAuxTable() const
{
    const CZkListenerRouting* source = OwnsSends() || ExistingDefault() == nullptr ? this : ExistingDefault();
    return source->m_aux;
}

void CZkListenerRouting::RecomputeOwn()
{
    m_listeners.RemoveAll();
    m_listeners.Union(EffectiveDryTable().Ids());
    m_listeners.Union(EffectiveAuxTable().Ids());
    if (g_pRegistryMgr == nullptr)
        return;
    for (ZkGameObjectID id : m_listeners)
        g_pRegistryMgr->EnsureListener(id);
}

void CZkListenerRouting::Recompute()
{
    RecomputeOwn();
    if (!IsDefault())
        return;
    for (CZkListenerRouting* routing = First(); routing != nullptr; routing = routing->Next())
    {
        if (routing != this && (!routing->OwnsListeners() || !routing->OwnsSends()))
            routing->RecomputeOwn();
    }
}

bool CZkListenerRouting::CopyDefaults(bool& copyNeededButFailed)
{
    copyNeededButFailed = false;
    if (OwnsListeners())
        return false;
    const CZkListenerRouting* defaults = ExistingDefault();
    if (defaults != nullptr && !m_dry.CopyFrom(defaults->m_dry))
    {
        copyNeededButFailed = true;
        return false;
    }
    m_ownListeners = 1;
    return true;
}

void CZkListenerRouting::SetListeners(const ZkListenerSet& listeners)
{
    m_ownListeners = 1;
    for (uint32_t index = m_dry.Length(); index-- > 0;)
    {
        const ZkGameObjectID id = m_dry[index].listenerID;
        if (!listeners.Contains(id))
            m_dry.Remove(id, 0);
    }
    for (ZkGameObjectID id : listeners)
    {
        if (m_dry.Find(id, 0) == nullptr)
            m_dry.Insert(id, 0, 1.0f);
    }
    Recompute();
}

void CZkListenerRouting::AddListeners(const ZkListenerSet& listeners)
{
    bool copyFailed = false;
    const bool copied = CopyDefaults(copyFailed);
    if (copyFailed)
        return; // out of memory: the routing stays as it was
    bool insertFailed = false;
    for (ZkGameObjectID id : listeners)
    {
        if (m_dry.Find(id, 0) == nullptr && m_dry.Insert(id, 0, 1.0f) == nullptr)
            insertFailed = true;
    }
    if (!insertFailed || copied)
        Recompute();
}

void CZkListenerRouting::RemoveListeners(const ZkListenerSet& listeners)
{
    bool copyFailed = false;
    const bool copied = CopyDefaults(copyFailed);
    if (copyFailed)
    {
        // Without an own copy there is nothing to remove from: follow the defaults.
        m_ownListeners = 0;
        m_dry.RemoveAll();
        Recompute();
        return;
    }
    bool removed = false;
    for (ZkGameObjectID id : listeners)
        removed = m_dry.Remove(id, 0) || removed;
    if (removed || copied)
        Recompute();
}

void CZkListenerRouting::Apply(ZkListenerOperation operation, const ZkListenerSet& listeners)
{
    switch (operation)
    {
    case ZkListenerOperation_Set: SetListeners(listeners); break;
    case ZkListenerOperation_Add: AddListeners(listeners); break;
    default: RemoveListeners(listeners); break;
    }
}

void CZkListenerRouting::ResetToDefault()
{
    m_ownListeners = 0;
    m_dry.RemoveAll();
    Recompute();
}

void CZkListenerRouting::SetAllDryLevels(float gain)
{
    bool copyFailed = false;
    const bool copied = CopyDefaults(copyFailed);
    if (copyFailed)
        return;
    for (uint32_t index = 0; index < m_dry.Length(); ++index)
        m_dry[index].gain = gain;
    if (copied)
        Recompute();
}

void CZkListenerRouting::SetDryLevel(ZkGameObjectID listenerID, float gain)
{
    bool copyFailed = false;
    const bool copied = CopyDefaults(copyFailed);
    if (copyFailed)
        return;
    bool inserted = false;
    if (ZkListenerGainTable::Entry* entry = m_dry.Find(listenerID, 0))
        entry->gain = gain;
    else
        inserted = m_dry.Insert(listenerID, 0, gain) != nullptr;
    if (inserted || copied)
        Recompute();
}

void CZkListenerRouting::SetAuxSends(const ZkAuxSendValue* values, uint32_t count)
{
    const bool wasOwn = OwnsSends();
    m_ownSends = 1;
    if (m_aux.SetSends(values, count) || !wasOwn)
        Recompute();
}
} // namespace ZK::SoundEngine
