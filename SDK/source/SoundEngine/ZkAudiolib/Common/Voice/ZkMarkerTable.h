// ZkMarkerTable: the markers of one media, as its header declares them ("cue " points and their
// "labl" texts): a count and an array of {marker id, position in sample frames, label or null}.
// The media header parser fills it; a voice's source copies the markers that fall in each buffer.
//
// Life cycle: Init(count) (an earlier content is freed first), SetLabel per label, Term.
// Threading: used by one thread at a time (the thread parsing the header, then the voice's).
// Ownership: the table owns its array and its label copies (memory pool 5).
#pragma once

#include <ZK/SoundEngine/Common/ZkMemoryMgr.h>
#include <ZK/SoundEngine/Common/ZkResult.h>

#include <cstdint>

namespace ZK::SoundEngine
{
struct ZkMarker
{
    uint32_t id;
    uint32_t position; // sample frames from the start of the media
    char* label;       // NUL-terminated copy, or null
};

class ZkMarkerTable
{
public:
    static constexpr ZkMemoryId kPool = ZkMemID_Processing;

    ZkMarkerTable() = default;
    ~ZkMarkerTable() { Term(); }
    ZkMarkerTable(const ZkMarkerTable&) = delete;
    ZkMarkerTable& operator=(const ZkMarkerTable&) = delete;

    // count markers {id 0, position 0, no label}. 1, or 52 (the table is then empty).
    ZKRESULT Init(uint32_t count);
    // Copies size bytes of text and a NUL as the label of marker index (replacing an earlier one).
    // 1; 31 for an index beyond the count; 52 when the copy cannot be allocated.
    ZKRESULT SetLabel(uint32_t index, const char* text, uint32_t size);
    // Frees every label, then the array.
    void Term();

    uint32_t Count() const { return m_count; }
    ZkMarker& operator[](uint32_t index) { return m_markers[index]; }
    const ZkMarker& operator[](uint32_t index) const { return m_markers[index]; }
    // The index of the first marker with this id, or Count() when there is none.
    uint32_t IndexOf(uint32_t id) const;

private:
    ZkMarker* m_markers = nullptr;
    uint32_t m_count = 0;
};
} // namespace ZK::SoundEngine
