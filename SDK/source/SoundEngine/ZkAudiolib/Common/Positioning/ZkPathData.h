// ZkPathData: the position path automation of a node's positioning settings: the vertices, the
// playlist of paths cut from them, the automation mode word, the default duration of each path's
// last vertex, and the node's saved path state (which path its next play takes, and the played
// flags of a random playlist).
//
// The path count keeps the positioning settings' listener-relative flag in bit 31; every
// operation here keeps that bit as it is.
//
// Mode word (the bank's path mode byte, parameter 68): bit 0 random order, bit 1 continuous (the
// playlist flags of the player), bit 2 a player for each instance of a play, bit 3 loop. A play
// starts a player only when the data has vertices, paths and a mode that is not 0.
//
// Threading: the engine thread (bank reads and plays hold the global engine lock).
// Ownership: the vertex and path arrays are the data's own, in its pool (memory pool 2 for a
// node's settings, 5 for a play's copy); the saved state holds one reference on its flags.
#pragma once

#include "ZkAudiolib/Common/Positioning/ZkPathPlayedFlags.h"
#include "ZkAudiolib/Common/Positioning/ZkPositionPathTypes.h"

#include <ZK/SoundEngine/Common/ZkMemoryMgr.h>
#include <ZK/SoundEngine/Common/ZkResult.h>

#include <cstdint>

namespace ZK::SoundEngine
{
class CZkPositionPath;

struct ZkPathData
{
    static constexpr ZkMemoryId kNodePool = ZkMemID_BankObjects;
    static constexpr ZkMemoryId kPlayPool = ZkMemID_Processing;
    static constexpr uint32_t kListenerRelativeBit = 0x80000000u;
    static constexpr uint32_t kCountMask = 0x7FFFFFFFu;
    static constexpr uint16_t kModeRandom = 0x01;
    static constexpr uint16_t kModeContinuous = 0x02;
    static constexpr uint16_t kModePlayerPerInstance = 0x04;
    static constexpr uint16_t kModeLoop = 0x08;

    uint16_t mode = 0;
    uint32_t lastVertexDurationMs = 0;
    ZkPositionVertex* vertices = nullptr;
    uint32_t vertexCount = 0;
    ZkPositionPathDef* paths = nullptr;
    uint32_t pathCountWord = 0;
    ZkSavedPathState saved;
    ZkMemoryId pool = kNodePool;

    // All fields zero (nothing freed).
    void Clear();
    // Replaces the paths: the V vertices copied, one path per item. 1; 31 when V or K is 0 or an
    // array is missing; 52 out of memory; 2 when an item's vertices do not lie within the V
    // vertices (no paths then). The last vertex of every path takes the default duration.
    ZKRESULT Set(const ZkPositionVertex* newVertices, uint32_t newVertexCount, const ZkPathItem* items,
                 uint32_t itemCount);
    // Whether Set with these arguments would change the paths. The duration of each path's last
    // vertex is not compared (the default duration overwrites it).
    bool Differs(const ZkPositionVertex* newVertices, uint32_t newVertexCount, const ZkPathItem* items,
                 uint32_t itemCount) const;
    // The default duration, written into the last vertex of every path.
    void SetLastVertexDuration(uint32_t milliseconds);
    // The random ranges of path index (x, z, y); nothing for an index beyond the paths.
    void SetRanges(uint32_t index, float rangeX, float rangeZ, float rangeY);
    // A copy of source's mode, default duration, vertices, paths and flag bit in this data's pool
    // (the saved state is not copied). 1; 52 out of memory (this data left empty).
    ZKRESULT CopyFrom(const ZkPathData& source);
    // Initialises player from the paths, the mode and the listener-relative bit, sharing the saved
    // state given. The player's Init result.
    ZKRESULT StartPlayer(CZkPositionPath& player, const ZkSavedPathState* savedState) const;
    // Frees the arrays, zeroes the counts and gives back the saved state.
    void Term();
    // Gives back the saved state's played flags.
    void ReleasePlayedFlags() { saved.Clear(); }

    uint32_t PathCount() const { return pathCountWord & kCountMask; }
    bool IsListenerRelative() const { return (pathCountWord & kListenerRelativeBit) != 0; }
    void SetListenerRelative(bool relative)
    {
        pathCountWord = relative ? pathCountWord | kListenerRelativeBit : pathCountWord & ~kListenerRelativeBit;
    }
    // Vertices, paths and a mode: a play may start a player.
    bool CanPlay() const { return vertexCount != 0 && PathCount() != 0 && mode != 0; }

private:
    void FreeArrays();
};
} // namespace ZK::SoundEngine
