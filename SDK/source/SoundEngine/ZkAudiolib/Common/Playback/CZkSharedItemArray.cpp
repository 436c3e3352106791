#include "ZkAudiolib/Common/Playback/CZkSharedItemArray.h"

#include "ZkAudiolib/Common/Positioning/CZkPositionPath.h"

#include <new>

namespace ZK::SoundEngine
{
CZkSharedItemArray* g_pSharedItemArray = nullptr;

void CZkSharedItemArray::Clear()
{
    m_players = nullptr;
    m_count = 0;
    m_capacity = 0;
    m_maxPlayers = 0;
    m_now = 0;
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
    for (uint32_t index = 0; index < m_count; ++index)
    {
        m_players[index]->~CZkPositionPath();
        ZK::MemoryMgr::Free(CZkPositionPath::kPool, m_players[index]);
    }
    if (m_players != nullptr)
        ZK::MemoryMgr::Free(kSlotsPool, m_players);
    Clear();
}

bool CZkSharedItemArray::Contains(const CZkPositionPath* player) const
{
    for (uint32_t index = 0; index < m_count; ++index)
    {
        if (m_players[index] == player)
            return true;
    }
    return false;
}

CZkPositionPath* CZkSharedItemArray::Create()
{
    if (m_count >= m_maxPlayers || m_count >= m_capacity)
        return nullptr;
    void* memory = ZK::MemoryMgr::Malloc(CZkPositionPath::kPool, sizeof(CZkPositionPath));
    if (memory == nullptr)
        return nullptr;
    auto* player = new (memory) CZkPositionPath();
    m_players[m_count++] = player;
    return player;
}

ZKRESULT CZkSharedItemArray::Destroy(CZkPositionPath* player)
{
    for (uint32_t index = 0; index < m_count; ++index)
    {
        if (m_players[index] != player)
            continue;
        m_players[index] = m_players[--m_count];
        player->~CZkPositionPath();
        ZK::MemoryMgr::Free(CZkPositionPath::kPool, player);
        return ZK_Success;
    }
    return ZK_ItemNotFound;
}

ZKRESULT CZkSharedItemArray::AddUser(CZkPositionPath* player, float* offset)
{
    if (!Contains(player))
        return ZK_Fail;
    const ZKRESULT result = player->AddUser(offset);
    // The new user follows from the next frame on, like the others.
    if (result == ZK_Success && player->GetState() == CZkPositionPath::State_Running)
        player->Step(m_now + 1);
    return result;
}

ZKRESULT CZkSharedItemArray::RemoveUser(CZkPositionPath* player, float* offset)
{
    if (!Contains(player))
        return ZK_Success;
    const ZKRESULT result = player->RemoveUser(offset);
    if (result == ZK_Success && player->UserCount() == 0 && player->ExtraRefs() <= 0)
        Destroy(player);
    return result;
}

ZKRESULT CZkSharedItemArray::AddRef(CZkPositionPath* player)
{
    if (!Contains(player) || player->IsClosed())
        return ZK_Fail;
    player->AddExtraRef();
    return ZK_Success;
}

ZKRESULT CZkSharedItemArray::Release(CZkPositionPath* player)
{
    if (Contains(player) && player->ReleaseExtraRef() && player->UserCount() == 0)
        Destroy(player);
    return ZK_Success;
}

ZKRESULT CZkSharedItemArray::Pause(CZkPositionPath* player)
{
    if (!Contains(player) || player->GetState() != CZkPositionPath::State_Running)
        return ZK_NotPlaying;
    player->Pause(m_now);
    return ZK_Success;
}

ZKRESULT CZkSharedItemArray::Resume(CZkPositionPath* player)
{
    if (!Contains(player) || player->GetState() != CZkPositionPath::State_Paused)
        return ZK_NotPaused;
    player->Resume(m_now);
    return ZK_Success;
}

ZKRESULT CZkSharedItemArray::Start(CZkPositionPath* player, ZkSavedPathState* saved)
{
    if (!Contains(player) || !player->IsIdle())
        return ZK_Fail;
    if (player->HasStarted())
    {
        player->ApplyStartOffset();
        return ZK_Fail;
    }
    const ZKRESULT result = player->StartVertex(m_now);
    if (result != ZK_Success || player->IsContinuous() || saved == nullptr)
        return result;
    // One path per play: the next play of the node takes the next path.
    player->NextPath();
    saved->index = player->CurrentIndex();
    ZkPathPlayedFlags* flags = player->PlayedFlags();
    if (flags != saved->flags)
    {
        if (flags != nullptr)
            flags->AddRef();
        if (saved->flags != nullptr)
            saved->flags->Release();
        saved->flags = flags;
    }
    return result;
}

ZKRESULT CZkSharedItemArray::Forward(CZkPositionPath* player, ZkPositionPathDef* paths, uint32_t pathCount,
                                     uint8_t playlistFlags, bool loop, const ZkSavedPathState* saved)
{
    if (!Contains(player))
        return ZK_Fail;
    return player->Init(paths, pathCount, playlistFlags, loop, saved);
}

void CZkSharedItemArray::ForEachActive(uint32_t frame)
{
    m_now = frame;
    for (uint32_t index = 0; index < m_count; ++index)
    {
        if (m_players[index]->GetState() == CZkPositionPath::State_Running)
            m_players[index]->Step(frame);
    }
}
} // namespace ZK::SoundEngine
