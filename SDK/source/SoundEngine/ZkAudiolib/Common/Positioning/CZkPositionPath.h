// CZkPositionPath: the player of one play's position path automation. It walks a playlist of
// paths (ZkPositionPathDef), each a list of vertices with the time to reach the next one, moving
// linearly from vertex to vertex frame by frame, each vertex displaced by a random offset within
// its path's ranges, and it moves the automation offset of every user (the node instances of the
// play) by the change of position since the last frame. Users move by differences: an instance
// that joins a running player keeps the offset it had and follows the path from there.
//
// Playlist: bit 0 of the playlist flags draws the paths in random order (a path may come again
// before all were played; the played flags only tell when every path has come once), bit 1 plays
// the paths one after another (continuous); without it a play takes one path and the owner saves
// the index of the next one for the next play. Loop repeats a continuous playlist.
//
// Random numbers come from the engine's generator (ZkLcg64::Engine()): a jitter draws x, z, y in
// that order, each (draw x 2^-30 - 1) x the range.
//
// Life cycle: construct (idle, nothing held), Init (the playlist), StartVertex at a frame, Step
// each frame while running, Pause and Resume, Term (gives everything back). The shared item array
// (CZkSharedItemArray) makes, starts, steps and destroys the players.
// Threading: the engine thread, under the global engine lock. Ownership: the shared item array's
// (memory pool 0); the user and listener arrays (pool 0) and one reference on the played flags
// are the player's; the paths belong to the path data they were given from.
#pragma once

#include "ZkAudiolib/Common/Containers/ZkArray.h"
#include "ZkAudiolib/Common/Positioning/ZkPathPlayedFlags.h"
#include "ZkAudiolib/Common/Positioning/ZkPositionPathTypes.h"

#include <ZK/SoundEngine/Common/ZkPositionTypes.h>
#include <ZK/SoundEngine/Common/ZkResult.h>
#include <ZK/SoundEngine/Common/ZkTypes.h>

#include <cstdint>

namespace ZK::SoundEngine
{
// The position and orientation of one listener as the player last saw it.
struct ZkPathListenerEntry
{
    ZkGameObjectID listenerID;
    ZkTransform transform;
};

class CZkPositionPath
{
public:
    static constexpr ZkMemoryId kPool = ZkMemID_Default;

    enum State : uint32_t
    {
        State_Idle = 0,
        State_Running = 1,
        State_Paused = 2,
    };
    static constexpr uint8_t kPlaylistRandom = 0x01;
    static constexpr uint8_t kPlaylistContinuous = 0x02;

    CZkPositionPath() = default;
    ~CZkPositionPath() { Term(); }
    CZkPositionPath(const CZkPositionPath&) = delete;
    CZkPositionPath& operator=(const CZkPositionPath&) = delete;

    // Takes the playlist. With a saved state that holds played flags: shares them and makes the
    // saved index current. Without: path 0 is current with new cleared flags (one reference), and
    // in random order a first path is drawn. 1; 2 while not idle or when the flags cannot be made
    // (no flags kept then).
    ZKRESULT Init(ZkPositionPathDef* paths, uint32_t pathCount, uint8_t playlistFlags, bool loop,
                  const ZkSavedPathState* saved);
    // Starts the current path's first vertex at frame: the users' offsets move to its (jittered)
    // position, and the player runs. 1; 2 without a current path; 37 when it has no vertex.
    ZKRESULT StartVertex(uint32_t frame);
    // One frame of a running player: the position at frame, the users moved by its change, the
    // next vertex when this one ended.
    void Step(uint32_t frame);
    // Chooses the next path. 1 when playback goes on with vertex 0 of it; 17 when the playlist is
    // done (not continuous, or wrapped without loop).
    ZKRESULT NextPath();
    // A started player given to a new play: every user's offset takes the start position.
    void ApplyStartOffset();
    void Pause(uint32_t frame);
    void Resume(uint32_t frame);
    // Idle (not initialised, or the playlist ended), its users released, its flags given back.
    void Term();
    // Gives back the player's reference on the played flags.
    void ReleasePlayedFlags();

    // Keeps the cache entry of each listener current from the registered listener of that id; an
    // id that names no registered listener loses its entry; a new id is appended (nothing when the
    // cache cannot grow).
    void UpdateListenerCache(const ZkGameObjectID* ids, uint32_t count);
    // The cached transform of a listener; null when it has no entry.
    const ZkTransform* GetListenerSnapshot(ZkGameObjectID listenerID) const;

    // --- Users (the automation offsets of the node instances the player moves: x, y, z) ---
    // 1; 40 when offset is already a user; 2 when the player is closed to users or the array
    // cannot grow. A user that joins a started player takes its current position.
    ZKRESULT AddUser(float* offset);
    // 1; 41 when offset is not a user.
    ZKRESULT RemoveUser(float* offset);
    uint32_t UserCount() const { return m_users.Length(); }
    bool IsClosed() const { return m_closed != 0; }
    int16_t ExtraRefs() const { return m_extraRefs; }
    void AddExtraRef() { ++m_extraRefs; }
    // One extra reference less; true when none is left.
    bool ReleaseExtraRef() { return m_extraRefs <= 0 || --m_extraRefs == 0; }

    bool IsIdle() const { return m_state == State_Idle; }
    uint32_t GetState() const { return m_state; }
    bool HasStarted() const { return m_started != 0; }
    void SetLoop(bool loop) { m_loop = loop ? 1 : 0; }
    void SetNodeId(uint32_t id) { m_nodeID = id; }
    void SetInstanceId(uint32_t id) { m_instanceID = id; }
    uint32_t NodeId() const { return m_nodeID; }
    uint32_t InstanceId() const { return m_instanceID; }
    void SetListenerRelative(bool relative) { m_listenerRelative = relative ? 1 : 0; }
    bool IsListenerRelative() const { return m_listenerRelative != 0; }

    uint16_t CurrentIndex() const { return m_currentIndex; }
    uint16_t VertexIndex() const { return m_vertexIndex; }
    uint8_t PlaylistFlags() const { return m_playlistFlags; }
    bool IsContinuous() const { return (m_playlistFlags & kPlaylistContinuous) != 0; }
    ZkPathPlayedFlags* PlayedFlags() const { return m_playedFlags; }
    uint32_t VertexStartFrame() const { return m_vertexStart; }
    uint32_t VertexEndFrame() const { return m_vertexEnd; }
    const ZkVector& LastApplied() const { return m_lastApplied; }
    const ZkVector& StartPosition() const { return m_start; }

private:
    // Draws the path of a random playlist; true when every path had been played (the flags start
    // again). The drawn path is current in a continuous playlist.
    bool PickRandomPath();
    void NextVertex();
    void Jitter(ZkVector& position) const;
    // Adds move to every user's offset.
    void MoveUsers(const ZkVector& move);
    // The frames a vertex lasts: its milliseconds in whole frames, at least 1.
    static uint32_t VertexFrames(const ZkPositionVertex& vertex);
    void SetTiming(uint32_t startFrame, uint32_t frames);

    uint32_t m_state = State_Idle;
    ZkPositionPathDef* m_paths = nullptr;
    ZkPathPlayedFlags* m_playedFlags = nullptr;
    ZkPositionPathDef* m_current = nullptr;
    uint16_t m_currentIndex = 0;
    uint16_t m_pathCount = 0;
    uint16_t m_vertexIndex = 0;
    uint8_t m_playlistFlags = 0;
    uint8_t m_started = 0;
    uint8_t m_loop = 0;
    uint8_t m_listenerRelative = 0;
    uint8_t m_closed = 0;
    int16_t m_extraRefs = 0;
    ZK::ZkArray<float*> m_users;
    ZK::ZkArray<ZkPathListenerEntry> m_listeners;
    uint32_t m_vertexStart = 0;
    uint32_t m_vertexEnd = 0;
    uint32_t m_frames = 0;
    uint32_t m_pausedFrame = 0;
    float m_slope = 0.0f;
    float m_offset = 0.0f;
    ZkVector m_start = {};
    ZkVector m_delta = {};
    ZkVector m_lastApplied = {};
    uint32_t m_nodeID = 0;
    uint32_t m_instanceID = 0;
};
} // namespace ZK::SoundEngine
