#include "ZkAudiolib/Common/GameObjects/CZkParamScope.h"

#include "ZkAudiolib/Common/Parameters/CZkModulatorMgr.h"
#include "ZkAudiolib/Common/Parameters/CZkRTPCMgr.h"

namespace ZK::SoundEngine
{
ZKRESULT CZkParamScope::AddSorted(ZK::ZkArray<ZkUniqueID>& ids, ZkUniqueID id)
{
    uint32_t low = 0;
    uint32_t high = ids.Length();
    while (low < high)
    {
        const uint32_t middle = low + (high - low) / 2;
        if (ids[middle] < id)
            low = middle + 1;
        else
            high = middle;
    }
    if (low < ids.Length() && ids[low] == id)
        return ZK_Success;
    return ids.Insert(low, id) != nullptr ? ZK_Success : ZK_InsufficientMemory;
}

ZKRESULT CZkParamScope::AddParameter(ZkUniqueID id) { return AddSorted(m_parameters, id); }
ZKRESULT CZkParamScope::AddModulator(ZkUniqueID id) { return AddSorted(m_modulators, id); }

bool CZkParamScope::HasParameter(ZkUniqueID id) const { return m_parameters.Find(id) != m_parameters.Length(); }

void CZkParamScope::Clear(const ZkRTPCKey& key)
{
    if (g_pModulatorMgr != nullptr)
    {
        for (ZkUniqueID id : m_modulators)
            g_pModulatorMgr->StopForKey(id, key);
    }
    m_modulators.Term();
    if (g_pRTPCMgr != nullptr)
    {
        for (ZkUniqueID id : m_parameters)
            g_pRTPCMgr->UnsubscribeKey(id, key);
    }
    m_parameters.Term();
}
} // namespace ZK::SoundEngine
