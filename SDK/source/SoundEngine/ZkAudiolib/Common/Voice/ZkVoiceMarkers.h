// ZkVoiceMarkers: the array of markers a voice carries through its pipeline. The source appends the
// markers it finds in each buffer (a pipeline buffer holds a window on them, see ZkMarkerList);
// once a block's markers have been handed to the game they are removed from the front, and the
// stages holding windows on later markers are told how many went (ConsumeMarkers).
//
// The array starts with room for 5 markers and grows by the room needed plus 5 (pool 5). A label
// points into the media's marker table unless the voice made its own copy (OwnLabels, before the
// media goes away): own copies are freed with their marker.
//
// Threading: the thread rendering the voice. Ownership: the voice's; memory pool 5.
#pragma once

#include "ZkAudiolib/Common/Voice/ZkMarkerList.h"

#include <ZK/SoundEngine/Common/ZkMemoryMgr.h>
#include <ZK/SoundEngine/Common/ZkResult.h>

#include <cstdint>

namespace ZK::SoundEngine
{
class ZkVoiceMarkers
{
public:
    static constexpr ZkMemoryId kPool = ZkMemID_Processing;
    static constexpr uint32_t kInitialCapacity = 5;
    static constexpr uint32_t kGrowth = 5;

    ZkVoiceMarkers() = default;
    ~ZkVoiceMarkers() { Term(); }
    ZkVoiceMarkers(const ZkVoiceMarkers&) = delete;
    ZkVoiceMarkers& operator=(const ZkVoiceMarkers&) = delete;

    // Room for the first markers. 1 or 52.
    ZKRESULT Init();
    // Frees the labels the voice owns, then the array.
    void Term();
    // Room for more markers after the last. 1 or 52 (the array unchanged).
    ZKRESULT Reserve(uint32_t more);
    // Appends within the room reserved (nothing beyond it).
    void Append(const ZkPipelineMarker& marker);
    // Removes the first count markers, freeing the labels the voice owns; the rest move down.
    void RemoveFront(uint32_t count);
    // Copies every label the voice does not own yet (pool 5). 1 or 52 (the markers copied so far
    // keep their copies).
    ZKRESULT OwnLabels();

    ZkPipelineMarker* Data() { return m_markers; }
    const ZkPipelineMarker& operator[](uint32_t index) const { return m_markers[index]; }
    uint32_t Count() const { return m_count; }
    uint32_t Capacity() const { return m_capacity; }

private:
    void FreeLabel(ZkPipelineMarker& marker);

    ZkPipelineMarker* m_markers = nullptr;
    uint32_t m_count = 0;
    uint32_t m_capacity = 0;
};
} // namespace ZK::SoundEngine
