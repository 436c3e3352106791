// The authored form of a position path: vertices with the time to reach the next one, and the
// playlist entries that cut the vertex array into paths, each with its random ranges.
//
// Threading and ownership: plain records. The vertex and path arrays belong to the path data that
// holds them (ZkPathData); a player only points into them.
#pragma once

#include <cstdint>

namespace ZK::SoundEngine
{
// One vertex (16 bytes, as the bank stores it): a position and the milliseconds the sound takes to
// move from it to the next vertex.
struct ZkPositionVertex
{
    float x;
    float y;
    float z;
    uint32_t durationMs;
};
static_assert(sizeof(ZkPositionVertex) == 16, "ZkPositionVertex is 16 bytes");

// One path of a playlist: its vertices (inside the path data's vertex array) and the random range
// of each vertex's offset. The ranges are kept in the bank's order: x, then z, then y.
struct ZkPositionPathDef
{
    ZkPositionVertex* vertices;
    uint32_t vertexCount;
    float rangeX;
    float rangeZ;
    float rangeY;
};

// A playlist entry as the bank stores it (8 bytes): the path's first vertex and its vertex count.
struct ZkPathItem
{
    uint32_t firstVertex;
    uint32_t vertexCount;
};
static_assert(sizeof(ZkPathItem) == 8, "ZkPathItem is 8 bytes");
} // namespace ZK::SoundEngine
