// CZkSharedItemArray: the engine-wide registry of live position-path players (the players that
// move the sound of one or several node instances along authored 3-D paths). The engine makes one
// array at its initialisation, holding at most the number of players its settings allow
// (sharedItemCapacity, 255 when 0), steps every playing player once per tick with the next frame
// number (ForEachActive) and destroys the array at its termination.
//
// Players are made by the node instances that play automation paths, which are not built yet: the
// array stays empty, so a tick steps no player.
//
// Life cycle: Clear (empty, no storage), Init (the pointer array), ForEachActive per tick, Term.
// Threading: the engine thread only. Ownership: the engine's singleton (memory pool 16,
// g_pSharedItemArray); the pointer array comes from memory pool 0, and the array owns its players.
#pragma once

#include <ZK/SoundEngine/Common/ZkMemoryMgr.h>
#include <ZK/SoundEngine/Common/ZkResult.h>

#include <cstdint>

namespace ZK::SoundEngine
{
class CZkPositionPath;

class CZkSharedItemArray
{
public:
    static constexpr ZkMemoryId kPool = ZkMemID_EngineSingletons;
    static constexpr ZkMemoryId kSlotsPool = ZkMemID_Default;
    static constexpr uint32_t kDefaultMaxPlayers = 255;

    CZkSharedItemArray() = default;
    ~CZkSharedItemArray() { Term(); }
    CZkSharedItemArray(const CZkSharedItemArray&) = delete;
    CZkSharedItemArray& operator=(const CZkSharedItemArray&) = delete;

    // Empty, without storage.
    void Clear();
    // A slot for each of maxPlayers players (kDefaultMaxPlayers for 0). 1; 52 out of memory.
    ZKRESULT Init(uint32_t maxPlayers);
    // Every player terminated and freed, the storage freed.
    void Term();

    // Steps every playing player to frame.
    void ForEachActive(uint32_t frame);

    uint32_t Count() const { return m_count; }
    uint32_t Capacity() const { return m_capacity; }
    uint32_t MaxPlayers() const { return m_maxPlayers; }

private:
    CZkPositionPath** m_players = nullptr;
    uint32_t m_count = 0;
    uint32_t m_capacity = 0;
    uint32_t m_maxPlayers = 0;
};

// Null until the engine's initialisation creates the array.
extern CZkSharedItemArray* g_pSharedItemArray;
} // namespace ZK::SoundEngine
