// CZkRegistryMgr: the active-emitter set and the per-tick position update.
#include "ZkAudiolib/Common/GameObjects/CZkRegistryMgr.h"

#include "ZkAudiolib/Common/GameObjects/CZkEmitter.h"
#include "ZkAudiolib/Common/GameObjects/CZkGeometryParams.h"
#include "ZkAudiolib/Common/GameObjects/CZkListener.h"

namespace ZK::SoundEngine
{
uint32_t CZkRegistryMgr::EmitterHash(const CZkEmitter* emitter)
{
    const auto p = static_cast<uint32_t>(reinterpret_cast<uintptr_t>(emitter));
    uint32_t h = (p ^ (p >> 16)) * 0x85EBCA6Bu;
    h ^= h >> 13;
    h *= 0xC2B2AE35u;
    h ^= h >> 16;
    return h;
}

int32_t CZkRegistryMgr::FindActiveSlot(uint32_t hash, const CZkEmitter* emitter) const
{
    for (int32_t slot = m_activeSet.FindFirst(hash); slot >= 0; slot = m_activeSet.FindNext(hash, slot))
    {
        const int32_t index = m_activeSet.At(slot).value;
        if (index >= 0 && static_cast<uint32_t>(index) < m_activeEmitters.Length() && m_activeEmitters[index] == emitter)
            return slot;
    }
    return -1;
}

bool CZkRegistryMgr::IsEmitterActive(const CZkEmitter* emitter) const
{
    return emitter != nullptr && FindActiveSlot(EmitterHash(emitter), emitter) >= 0;
}

ZKRESULT CZkRegistryMgr::ActivateEmitter(CZkGameObject* object)
{
    CZkEmitter* emitter = object->Emitter();
    if (emitter == nullptr)
        return ZK_Success;
    const uint32_t hash = EmitterHash(emitter);
    if (FindActiveSlot(hash, emitter) >= 0)
        return ZK_Success;
    const auto index = static_cast<int32_t>(m_activeEmitters.Length());
    if (m_activeSet.Insert(hash, index) != ZK_Success)
        return ZK_InsufficientMemory;
    if (m_activeEmitters.AddLast(emitter) == nullptr)
    {
        m_activeSet.Remove(hash, index);
        return ZK_InsufficientMemory;
    }
    m_lastInsertedHash = hash;
    return ZK_Success;
}

void CZkRegistryMgr::DeactivateEmitter(CZkGameObject* object)
{
    CZkEmitter* emitter = object->Emitter();
    if (emitter == nullptr)
        return;
    if (CZkGeometryParams* geometry = object->Geometry())
        geometry->ClearBuiltInMask();
    const uint32_t hash = EmitterHash(emitter);
    const int32_t slot = FindActiveSlot(hash, emitter);
    if (slot < 0)
        return;
    const int32_t freedIndex = m_activeSet.At(slot).value;
    m_activeSet.Remove(hash, freedIndex);

    const auto lastIndex = static_cast<int32_t>(m_activeEmitters.Length() - 1);
    if (m_activeEmitters.Length() > 1 && freedIndex != lastIndex)
    {
        // Find the entry of the last emitter: most often the one inserted last.
        int32_t moved = -1;
        if (m_lastInsertedHash != kNoLastHash)
        {
            for (int32_t at = m_activeSet.FindFirst(m_lastInsertedHash); at >= 0 && moved < 0;
                 at = m_activeSet.FindNext(m_lastInsertedHash, at))
            {
                if (m_activeSet.At(at).value == lastIndex)
                    moved = at;
            }
            m_lastInsertedHash = kNoLastHash;
        }
        if (moved < 0)
            moved = m_activeSet.FindByValue(lastIndex);
        if (moved >= 0)
            m_activeSet.At(moved).value = freedIndex;
        m_activeEmitters[static_cast<uint32_t>(freedIndex)] = m_activeEmitters[static_cast<uint32_t>(lastIndex)];
    }
    else if (freedIndex == lastIndex && EmitterHash(emitter) == m_lastInsertedHash)
    {
        m_lastInsertedHash = kNoLastHash;
    }
    m_activeEmitters.Erase(static_cast<uint32_t>(lastIndex));
}

void CZkRegistryMgr::FlushDirtyGameObjects()
{
    if (m_dirtyListeners.IsEmpty())
        return;
    for (CZkEmitter* emitter = CZkEmitter::First(); emitter != nullptr; emitter = emitter->Next())
    {
        if (emitter->owner->GetListenerSet().SharesAnyWith(m_dirtyListeners))
            emitter->SetDirty();
    }
    m_dirtyListeners.RemoveAll();
}

void CZkRegistryMgr::UpdateEmitter(CZkEmitter* emitter, ZKRESULT& result)
{
    if (emitter == nullptr || !emitter->IsDirty())
        return;
    CZkGeometryParams* geometry = emitter->owner->GetOrCreateGeometry();
    if (geometry == nullptr)
    {
        result = ZK_InsufficientMemory;
        return;
    }
    geometry->Update(); // clears the dirty bit
}

ZKRESULT CZkRegistryMgr::UpdatePositions()
{
    ZKRESULT result = ZK_Success;
    for (CZkListener* listener = CZkListener::First(); listener != nullptr; listener = listener->Next())
        UpdateEmitter(listener->owner->Emitter(), result);
    for (uint32_t index = 0; index < m_activeEmitters.Length(); ++index)
        UpdateEmitter(m_activeEmitters[index], result);
    return result;
}
} // namespace ZK::SoundEngine
