#include "ZkAudiolib/Common/Parameters/CZkModulatorMgr.h"

#include "ZkAudiolib/Common/Modulators/CZkModulator.h"
#include "ZkAudiolib/Common/ObjectIndex/ObjectIndex.h"

#include <cstring>

namespace ZK::SoundEngine
{
CZkModulatorMgr* g_pModulatorMgr = nullptr;

ZKRESULT CZkModulatorMgr::Init()
{
    if (m_engine != nullptr)
        return ZK_Success;
    void* memory = ZK::MemoryMgr::Malloc(kEnginePool, sizeof(Engine));
    if (memory == nullptr)
        return ZK_InsufficientMemory;
    std::memset(memory, 0, sizeof(Engine));
    m_engine = static_cast<Engine*>(memory);
    return ZK_Success;
}

void CZkModulatorMgr::Term()
{
    // No target entry can exist before modulators do: the buckets are all the table holds.
    m_targets.Term();
    TermInstances();
}

void CZkModulatorMgr::TermInstances()
{
    if (m_engine == nullptr)
        return;
    // Instances and batches come with the modulators; until then the engine holds none.
    ZK::MemoryMgr::Free(kEnginePool, m_engine);
    m_engine = nullptr;
}

void CZkModulatorMgr::Update()
{
    // A frame steps the instance list in order, pushes the values and purges the finished
    // instances; the list stays empty until modulators exist, so there is nothing to do.
}

namespace
{
// The loaded modulator of the id with a reference for the call (released by the holder).
struct ModulatorRef
{
    explicit ModulatorRef(ZkUniqueID id)
        : modulator(g_pObjectIndex != nullptr ? static_cast<CZkModulator*>(
                                                    g_pObjectIndex->GetPtrAndAddRef(ZkIndexKind::Modulators, id))
                                              : nullptr)
    {
    }
    ~ModulatorRef()
    {
        if (modulator != nullptr)
            modulator->Release();
    }
    ModulatorRef(const ModulatorRef&) = delete;
    ModulatorRef& operator=(const ModulatorRef&) = delete;
    CZkModulator* modulator;
};
} // namespace

bool CZkModulatorMgr::GetValue(ZkUniqueID modulatorID, const ZkRTPCKey& key, float& value) const
{
    const ModulatorRef found(modulatorID);
    return found.modulator != nullptr && found.modulator->GetValue(key, value);
}

bool CZkModulatorMgr::IsModulator(ZkUniqueID modulatorID) const
{
    const ModulatorRef found(modulatorID);
    return found.modulator != nullptr && found.modulator->IsLinkable();
}

ZKRESULT CZkModulatorMgr::AddSubscription(ZkUniqueID, ZkRTPCSubscription*)
{
    return ZK_NotImplemented;
}

ZKRESULT CZkModulatorMgr::RemoveSubscription(ZkRTPCSubscription*, ZkUniqueID)
{
    return ZK_NotImplemented;
}

ZKRESULT CZkModulatorMgr::StopForKey(ZkUniqueID, const ZkRTPCKey&)
{
    return ZK_NotImplemented;
}
} // namespace ZK::SoundEngine
