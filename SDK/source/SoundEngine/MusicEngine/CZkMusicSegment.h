// CZkMusicSegment: a stretch of music (bank item type 10, category 7) made of tracks. It has a
// duration and markers (cues), the first being the entry cue and the last the exit cue, and
// answers the cue and grid questions the playback contexts ask to find sync points.
//
// Positions given to and returned by the queries are relative to the entry cue unless said
// otherwise; every time is in samples at the engine's rate. The queries that read the first and
// the last marker are only asked of segments with at least one marker (a segment without markers
// gets no playback context); they answer neutral values for one without.
//
// The bank's markers must lie in ascending order within [0, duration]: the contexts' arithmetic
// takes entry <= exit <= duration, so other lists are refused (7) when the segment is read.
//
// Threading: read on the bank thread under the global engine lock; queries on the engine thread.
// Ownership: the object index's (pool 2); it owns its marker array (pool 0) and names (pool 2).
#pragma once

#include "MusicEngine/CZkMusicNode.h"

namespace ZK::MusicEngine
{
class CZkMusicContext;
class CZkMusicSegmentSequenceContext;

struct ZkMusicMarker
{
    ZkUniqueID id;
    int32_t position;    // samples from the segment's start
    char* name;          // null for an empty name
};

// Sync kinds of stingers and transition rules.
enum ZkMusicSyncKind : uint32_t
{
    ZkMusicSync_Immediate = 0,
    ZkMusicSync_NextGrid = 1,
    ZkMusicSync_NextBar = 2,
    ZkMusicSync_NextBeat = 3,
    ZkMusicSync_NextCue = 4,
    ZkMusicSync_NextCustomCue = 5,
    ZkMusicSync_EntryCue = 6,
    ZkMusicSync_ExitCue = 7,
};

class CZkMusicSegment final : public CZkMusicNode
{
public:
    static constexpr ZkMemoryId kMarkerPool = ZkMemID_Default;
    static constexpr ZkMemoryId kNamePool = ZkMemID_BankObjects;

    // A new segment holding one reference, in the node table; null out of memory.
    static CZkMusicSegment* Create(ZkUniqueID id);
    // The payload (from the object id on). 1; 91 the node is not a segment; 7 a field, count,
    // name or time out of the item or out of range, markers out of order or past the duration;
    // 52 the temporary marker array; 2 a name or the marker array; the shared payload's results.
    ZKRESULT ReadFromBank(const uint8_t* payload, uint32_t size);

    explicit CZkMusicSegment(ZkUniqueID id) : CZkMusicNode(id) {}
    ~CZkMusicSegment() override;

    SoundEngine::ZkNodeCategory Category() const override { return kCategoryMusicSegment; }
    // A play of the segment by itself: a root sequence context with the request's start-paused
    // bit, started with the request's fade-in. 1; 2 out of memory, for a segment without markers
    // or when the music engine refuses the play (nothing stays linked).
    ZKRESULT Play(SoundEngine::PlayLaunchParams& params) override;
    // The segment played by itself under a parent context (a switch destination, a stinger),
    // holding the creator's reference; null out of memory or without markers.
    CZkMusicSegmentSequenceContext* CreateSequenceContext(CZkMusicContext* parentContext);

    int32_t Duration() const { return m_duration; }
    uint32_t MarkerCount() const { return m_markerCount; }
    const ZkMusicMarker& Marker(uint32_t index) const { return m_markers[index]; }

    // --- Queries (positions relative to the entry cue) ---
    int32_t PreEntryLength() const;
    int32_t ActiveLength() const;
    int32_t PostExitLength() const;
    // The position of the cue (the exit cue left out) nearest to position; ties to the earlier.
    int32_t NearestCue(int32_t position) const;
    // Whether a sync point of the kind lies at or after position (one sample later with
    // excludeCurrent); point receives it, cueID (in: the cue filter, 0 any) the marker id of kinds
    // 4 to 7 and 0 for the others.
    bool NextSyncPoint(uint32_t kind, int32_t position, bool excludeCurrent, ZkUniqueID& cueID, int32_t& point) const;
    // A random cue at or after position (the exit cue left out, the entry cue too with
    // skipEntry), among those of id filter (0 any); the entry cue at 0 when there is none. Draws
    // from the engine's generator.
    void RandomCue(int32_t position, bool skipEntry, ZkUniqueID filter, ZkUniqueID& cueID, int32_t& cuePosition) const;
    uint32_t CountCues(ZkUniqueID id) const;
    // Beats, bars and grid lines in [start, start + length), clipped to the active length.
    void CountGridLines(int32_t start, int32_t length, uint32_t& beats, uint32_t& bars, uint32_t& gridLines) const;
    // Calls report(marker) for each marker strictly between the entry and exit cues whose position
    // lies in [start + entry, start + entry + length) (cut at the segment's start). Returns the count.
    template <typename Report>
    uint32_t ForEachMarkerInWindow(int32_t start, int32_t length, Report report) const;
    // The same, reported to the playing manager's music callback for the playing id.
    uint32_t NotifyMarkersInWindow(int32_t start, int32_t length, ZkPlayingID playingID) const;

private:
    bool AcceptsChild(SoundEngine::ZkNodeCategory category) const override { return category == kCategoryMusicTrack; }
    ZKRESULT ReadMarkers(ZK::ZkByteCursor& cursor);
    void FreeMarkers(ZkMusicMarker* markers, uint32_t count);
    int32_t Entry() const { return m_markerCount > 0 ? m_markers[0].position : 0; }

    ZkMusicMarker* m_markers = nullptr;
    uint32_t m_markerCount = 0;
    int32_t m_duration = 0;
};

template <typename Report>
uint32_t CZkMusicSegment::ForEachMarkerInWindow(int32_t start, int32_t length, Report report) const
{
    if (m_markerCount < 3)
        return 0;
    int64_t from = int64_t{start} + Entry();
    int64_t to = from + length;
    if (to <= 0)
        return 0;
    if (from < 0)
        from = 0;
    uint32_t reported = 0;
    for (uint32_t index = 1; index + 1 < m_markerCount; ++index)
    {
        const int64_t position = m_markers[index].position;
        if (position >= from && position < to)
        {
            report(m_markers[index]);
            ++reported;
        }
    }
    return reported;
}
} // namespace ZK::MusicEngine
