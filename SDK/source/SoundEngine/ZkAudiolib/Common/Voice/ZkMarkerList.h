// ZkMarkerList: the markers a voice carries through its pipeline. The voice keeps one array of
// marker records; each pipeline buffer holds a window on it (the index of its first marker and
// the number of its markers). A stage that consumes input frames at a rate of its own (the
// resampling stage, an out-of-place effect) moves the markers of the frames it consumed from its
// input's window to its output with RemoveRange: a moved marker's position becomes 0 (it now lies
// at the start of what the output delivers) and the window's start moves past it.
//
// Threading: the thread rendering the voice. Ownership: the voice owns the array and the labels
// it marked as its own; the routines here allocate nothing and hold no state.
#pragma once

#include <cstdint>

namespace ZK::SoundEngine
{
struct ZkPipelineMarker
{
    uint32_t position;     // sample frame inside the buffer the marker belongs to
    const char* label;     // NUL-terminated, or null
    uint8_t ownsLabel;     // the voice made its own copy of the label
    uint32_t identifier;   // the marker's id in its media
    uint32_t cuePosition;  // its position in the media, in sample frames
    uint32_t playingID;    // the play it belongs to
};

// The markers of one pipeline buffer: records [first, first + count) of the voice's array.
struct ZkMarkerWindow
{
    uint32_t first = 0;
    uint32_t count = 0;
};

namespace ZkMarkerList
{
// Moves the markers of input frames [start, start + frames) (unsigned 32-bit arithmetic) to the
// output: each is given position 0, the window's first index grows and its count drops by the
// number moved, and outputCount grows by it. Nothing happens for an empty window. The window must
// lie inside the array (not checked: the voice keeps it so).
void RemoveRange(ZkPipelineMarker* markers, ZkMarkerWindow& window, uint32_t& outputCount, uint32_t start,
                 uint32_t frames);
} // namespace ZkMarkerList
} // namespace ZK::SoundEngine
