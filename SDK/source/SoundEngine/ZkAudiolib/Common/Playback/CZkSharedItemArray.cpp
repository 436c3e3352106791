#include "ZkAudiolib/Common/Playback/CZkSharedItemArray.h"

namespace ZK::SoundEngine
{
CZkSharedItemArray* g_pSharedItemArray = nullptr;

void CZkSharedItemArray::Clear()
{
    m_players = nullptr;
    m_count = 0;
    m_capacity = 0;
    m_maxPlayers = 0;
}

ZKRESULT CZkSharedItemArray::Init(uint32_t maxPlayers)
{
    Term();
    const uint32_t slots = maxPlayers != 0 ? maxPlayers : kDefaultMaxPlayers;
    void* memory = ZK::MemoryMgr::Malloc(kSlotsPool, sizeof(CZkPositionPath*) * size_t{slots});
    if (memory == nullptr)
        return ZK_InsufficientMemory;
    m_players = static_cast<CZkPositionPath**>(memory);
    m_capacity = slots;
    m_maxPlayers = slots;
    return ZK_Success;
}

void CZkSharedItemArray::Term()
{
    // Players are made only by the node instances that play paths (not built yet): none to free.
    if (m_players != nullptr)
        ZK::MemoryMgr::Free(kSlotsPool, m_players);
    Clear();
}

void CZkSharedItemArray::ForEachActive(uint32_t)
{
    // Each playing player steps to the frame; the array holds none until paths are played.
}
} // namespace ZK::SoundEngine
