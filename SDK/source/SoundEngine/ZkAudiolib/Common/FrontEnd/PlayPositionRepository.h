// PlayPositionRepository: where the voice pipeline reports how far the sounds of each playing id
// have played, and how well their streams are buffered, so that the game can ask from its own
// thread (GetSourcePlayPosition, GetSourceStreamBuffering) without taking the global engine lock.
//
// Position records are keyed by (playing id, source): the source reports its format and position
// each frame; a record whose sample rate is still 1 has no information yet and is not listed. A
// reported position may be extrapolated by the time since its report, never past the duration.
// Buffering records are keyed by playing id: with several streamed sources the smallest buffered
// amount is kept (StreamBufferingRepository).
//
// Threading: one critical section guards both arrays: the voice pipeline's threads and the
// playing manager write, the game's thread reads. The render pass refreshes the time stamp.
// Ownership: one repository (memory pool 0) created by the engine's Init and destroyed by its
// Term, reached through g_pPlayPositionRepository; it owns both arrays. Sources are only keys.
#pragma once

#include "ZkAudiolib/Common/Containers/ZkArray.h"

#include "Platform/PlatformLock.h"

#include <ZK/SoundEngine/Common/ZkEventCalls.h>
#include <ZK/SoundEngine/Common/ZkResult.h>
#include <ZK/SoundEngine/Common/ZkTypes.h>

#include <cstdint>

namespace ZK::SoundEngine
{
// What a source reports about its play position.
struct ZkPlayPositionInfo
{
    uint32_t positionSamples;
    float rate;
    uint32_t durationSamples;
    uint32_t sampleRate;
};

class PlayPositionRepository
{
public:
    static constexpr ZkMemoryId kPool = ZkMemID_Default;
    static constexpr uint32_t kInitialRecords = 8;
    // A record's sample rate before its source has reported its format.
    static constexpr uint32_t kNoInformation = 1;
    static constexpr uint32_t kUnknownSamples = 0xFFFFFFFFu;
    // Buffering status: the stream has all it needs.
    static constexpr int32_t kBufferingComplete = 1;
    // Buffering status of a source that does not lower the playing id's amount.
    static constexpr int32_t kBufferingIgnored = 2;

    PlayPositionRepository() = default;
    ~PlayPositionRepository() { Term(); }
    PlayPositionRepository(const PlayPositionRepository&) = delete;
    PlayPositionRepository& operator=(const PlayPositionRepository&) = delete;

    // Room for the first 8 position records. 1, or 52.
    ZKRESULT Init();
    // Frees both arrays.
    void Term();

    // --- Positions (the voice pipeline) ---
    // A record with no information yet, unless (playing id, source) has one; dropped when the array
    // cannot grow.
    void AddSource(ZkPlayingID playingID, const void* source);
    void RemoveSource(ZkPlayingID playingID, const void* source);
    // Every position and buffering record of the playing id (it has ended).
    void RemovePlayingID(ZkPlayingID playingID);
    // Stores what the source reports, stamped with the repository's time stamp and the engine
    // frame; a new record refreshes the stamp first.
    void SetPositionInfo(ZkPlayingID playingID, const ZkPlayPositionInfo& info, const void* source);
    void UpdatePosition(ZkPlayingID playingID, const void* source, float rate);
    // The render pass, at the start of each frame.
    void RefreshTimeStamp();
    uint32_t PositionRecordCount();

    // --- Queries (the game's thread) ---
    // Fills up to count entries (count 0: no limit, only counting; positions may then be null) with
    // the records of the playing id that have information, in report order; count becomes the
    // number of entries. 1 with at least one, else 2.
    ZKRESULT GetSourcePlayPosition(ZkPlayingID playingID, ZkSourcePlayPosition* positions, uint32_t& count,
                                   bool extrapolate);

    // --- Buffering (StreamBufferingRepository) ---
    void SetBuffering(ZkPlayingID playingID, const void* source, int32_t buffered, int32_t status);
    // 1, or 2 when the playing id has no record.
    ZKRESULT GetBuffering(ZkPlayingID playingID, int32_t& buffered, int32_t& status);
    void RemoveBuffering(ZkPlayingID playingID);

private:
    struct PositionRecord
    {
        ZkPlayingID playingID;
        const void* source;
        int64_t timeStamp;
        ZkPlayPositionInfo info;
        uint32_t frame;
    };
    struct BufferingRecord
    {
        ZkPlayingID playingID;
        const void* source;
        int32_t buffered;
        int32_t status;
    };

    // Under the lock. Length() when absent.
    uint32_t FindPosition(ZkPlayingID playingID, const void* source) const;
    uint32_t FindBuffering(ZkPlayingID playingID) const;
    PositionRecord* AppendPosition(ZkPlayingID playingID, const void* source);

    ZK::Platform::ZkCriticalSection m_lock;
    ZK::ZkArray<PositionRecord, kPool> m_positions;
    ZK::ZkArray<BufferingRecord, kPool> m_buffering;
    int64_t m_timeStamp = 0;
};

// Null before the engine's initialisation and after its termination.
extern PlayPositionRepository* g_pPlayPositionRepository;

// The buffering side of the repository, as the streamed sources and the playing manager call it.
// Each does nothing (or answers 2) without a repository.
namespace StreamBufferingRepository
{
// Without a record for the playing id, one is added. With one: the same source overwrites both
// values; another source, unless its status is 2, lowers the amount to its own when smaller and
// sets the status unless the stored status is 1.
void Set(ZkPlayingID playingID, const void* source, int32_t buffered, int32_t status);
ZKRESULT Get(ZkPlayingID playingID, int32_t& buffered, int32_t& status);
void Remove(ZkPlayingID playingID);
} // namespace StreamBufferingRepository
} // namespace ZK::SoundEngine
