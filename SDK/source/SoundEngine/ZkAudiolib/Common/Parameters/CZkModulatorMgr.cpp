#include "ZkAudiolib/Common/Parameters/CZkModulatorMgr.h"

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

// No modulator can be loaded yet: every id is unknown.
bool CZkModulatorMgr::GetValue(ZkUniqueID, const ZkRTPCKey&, float&) const
{
    return false;
}

bool CZkModulatorMgr::IsModulator(ZkUniqueID) const
{
    return false;
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
