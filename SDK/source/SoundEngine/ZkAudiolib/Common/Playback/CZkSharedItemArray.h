// CZkSharedItemArray: the engine-wide registry of live position-path players (the players that
// move the sound of one or several node instances along authored 3-D paths). The engine makes one
// array at its initialisation, holding at most the number of players its settings allow
// (sharedItemCapacity, 255 when 0), steps every playing player once per tick with the next frame
// number (ForEachActive) and destroys the array at its termination.
//
// The node instances of a play are the users of its player (each adds its automation offset);
// play actions that hand a player on hold extra references. A player lives while it has a user or
// an extra reference: the last RemoveUser or Release destroys it. A full array makes no player,
// and the play goes on without path movement.
//
// Frames: the array keeps the frame of the last tick (CurrentFrame); a player starts, pauses and
// resumes at that frame, and a user that joins a running player has it stepped to the next one.
//
// Life cycle: Clear (empty, no storage), Init (the pointer array), then Create, AddUser, Start ...
// and ForEachActive per tick, Term.
// Threading: the engine thread only. Ownership: the engine's singleton (memory pool 16,
// g_pSharedItemArray); the pointer array and the players come from memory pool 0, and the array
// owns its players.
#pragma once

#include "ZkAudiolib/Common/Positioning/ZkPathPlayedFlags.h"
#include "ZkAudiolib/Common/Positioning/ZkPositionPathTypes.h"

#include <ZK/SoundEngine/Common/ZkMemoryMgr.h>
#include <ZK/SoundEngine/Common/ZkPositionTypes.h>
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

    // A new idle player; null when the array holds its maximum or memory runs out.
    CZkPositionPath* Create();
    // Removes, terminates and frees player. 1; 36 when it is not in the array.
    ZKRESULT Destroy(CZkPositionPath* player);
    // offset (a node instance's automation offset, x, y, z) becomes a user of player. 1; 2 when the player
    // is not in the array, is closed or its users cannot grow; 40 when offset already uses it.
    ZKRESULT AddUser(CZkPositionPath* player, float* offset);
    // offset stops using player, which is destroyed when no user and no extra reference is left.
    // 1 (also when the player is not in the array); 41 when offset is not a user.
    ZKRESULT RemoveUser(CZkPositionPath* player, float* offset);
    // An extra reference (a play action handing the player on). 1; 2 when absent or closed.
    ZKRESULT AddRef(CZkPositionPath* player);
    // Gives an extra reference back; the player goes when none and no user is left. 1.
    ZKRESULT Release(CZkPositionPath* player);
    // 1; 38 unless player plays (Pause) and 39 unless it is paused (Resume).
    ZKRESULT Pause(CZkPositionPath* player);
    ZKRESULT Resume(CZkPositionPath* player);
    // Starts a play of player: 2 when it is not idle; a player that started before only moves its
    // users to its start position (2). Else the first vertex starts at the current frame, and in
    // a playlist that is not continuous the next path is chosen at once and saved (index and
    // played flags) for the next play of the node. The start's result.
    ZKRESULT Start(CZkPositionPath* player, ZkSavedPathState* saved);
    // CZkPositionPath::Init of player (2 when it is not in the array).
    ZKRESULT Forward(CZkPositionPath* player, ZkPositionPathDef* paths, uint32_t pathCount, uint8_t playlistFlags,
                     bool loop, const ZkSavedPathState* saved);
    // Steps every playing player to frame, which becomes the current frame.
    void ForEachActive(uint32_t frame);

    bool Contains(const CZkPositionPath* player) const;
    CZkPositionPath* Player(uint32_t index) const { return m_players[index]; }
    uint32_t CurrentFrame() const { return m_now; }

    uint32_t Count() const { return m_count; }
    uint32_t Capacity() const { return m_capacity; }
    uint32_t MaxPlayers() const { return m_maxPlayers; }

private:
    CZkPositionPath** m_players = nullptr;
    uint32_t m_count = 0;
    uint32_t m_capacity = 0;
    uint32_t m_maxPlayers = 0;
    uint32_t m_now = 0;
};

// Null until the engine's initialisation creates the array.
extern CZkSharedItemArray* g_pSharedItemArray;
} // namespace ZK::SoundEngine
