// CZkPlayingMgr: the engine's table of live playing ids. A post registers its playing id with one
// pending reference; each scheduled action adds one and drops it when done, each playing instance
// is listed while it plays. When the last reference and the last instance are gone the playing id
// ends: its scoped game-parameter and modulator values are cleared, its play positions forgotten,
// and the end-of-event callback, when asked for, is the last thing the game hears of it. Until then
// the manager delivers every per-playing-id notification (markers, durations, volume matrices,
// starvation, dynamic-sequence items, music and MIDI) to the post's callback, and it keeps the
// per-bus and per-device metering callbacks (CZkMeteringCallbacks).
//
// Callbacks and cancelling: a notification copies what it needs under the lock and calls the game
// without it, so a callback may post, query and cancel. A cancel clears the callbacks of the
// matching playing ids and then waits until no callback is running any more (the in-flight event,
// signalled while none runs), so that after it returns the game's cookie is never used again; a
// cancel made from inside a callback does not wait for itself.
//
// Threading: everything may be called from any thread; one lock guards the table and every record.
// Ending a playing id clears game-parameter values and releases a game object, so the calls that
// drop the last reference (RemovePlayingIDRef, RemoveInstanceFromPlayingID) run on the engine
// thread, under the global engine lock.
// Ownership: the engine's singleton (memory pool 16), reached through g_pPlayingMgr; it owns its
// records (pool 0), each holding a game-object and an external-sources reference.
#pragma once

#include "Platform/PlatformEvent.h"
#include "Platform/PlatformLock.h"
#include "ZkAudiolib/Common/Containers/CZkHashTable.h"
#include "ZkAudiolib/Common/Playback/CZkMeteringCallbacks.h"
#include "ZkAudiolib/Common/Playback/ZkPlayingIdRecord.h"

#include <ZK/SoundEngine/Common/ZkCallbackTypes.h>
#include <ZK/SoundEngine/Common/ZkMemoryMgr.h>
#include <ZK/SoundEngine/Common/ZkResult.h>

namespace ZK::SoundEngine
{
struct ZkPostEventMessage;

// One marker that a voice reached, as the voice hands its markers over.
struct ZkMarkerNotice
{
    uint32_t identifier;
    uint32_t position;
    const char* label;
    ZkPlayingID playingID;
};

class CZkPlayingMgr
{
public:
    static constexpr ZkMemoryId kPool = ZkMemID_EngineSingletons;
    static constexpr ZkMemoryId kRecordPool = ZkMemID_Default;
    static constexpr uint32_t kInitialBucketCount = 11;

    CZkPlayingMgr() = default;
    ~CZkPlayingMgr();
    CZkPlayingMgr(const CZkPlayingMgr&) = delete;
    CZkPlayingMgr& operator=(const CZkPlayingMgr&) = delete;

    // --- Life cycle: CreateCallbackEvent, use, TermPlayingIDs, Term ---
    // The in-flight event (signalled) and 11 buckets. 1; 2 when the event cannot be made; 52 when
    // the buckets cannot.
    ZKRESULT CreateCallbackEvent();
    // Frees every record (no callback) and the buckets.
    void TermPlayingIDs();
    // Frees the metering tables and the event.
    void Term();

    // --- Registration and references (playing id 0 is never registered) ---
    // A record with one pending reference for the post's playing id, game object and external
    // sources. Without a callback only the marker and music-cue types and the engine flags stay.
    // 1; 2 when the record cannot be made (the post must then fail); 31 for playing id 0.
    ZKRESULT AddPlayingID(const ZkPostEventMessage& message, ZkCallbackFunc callback, void* cookie,
                          uint32_t flags, ZkUniqueID eventID);
    ZKRESULT AddPlayingIDNoMessage(ZkPlayingID playingID, ZkGameObjectID gameObject, ZkCallbackFunc callback,
                                   void* cookie, uint32_t flags, ZkUniqueID eventID);
    // One pending reference more, or less (the last one may end the playing id). Unknown: nothing.
    void AddPlayingIDRef(ZkPlayingID playingID);
    void RemovePlayingIDRef(ZkPlayingID playingID);
    // True, with a pending reference added, when the playing id is registered for this game object
    // and event.
    bool HasPlayingID(ZkPlayingID playingID, ZkGameObjectID gameObject, ZkUniqueID eventID);
    // Lists the instance; the first one also gives the record its game object (a reference is
    // taken). flags receives the record's flags. 1 (also for an unknown playing id, which lists
    // nothing and gives flags 0); 2 for a null instance or when the list cannot grow.
    ZKRESULT AddInstanceToPlayingID(ZkPlayingID playingID, CZkPlayingInstance* instance,
                                    CZkRegisteredObj* gameObject, uint32_t& flags);
    // Takes the instance off the list (the others keep their order); the last one may end the
    // playing id.
    void RemoveInstanceFromPlayingID(ZkPlayingID playingID, CZkPlayingInstance* instance);
    // Records a modulator or game parameter holding values scoped to the playing id, cleared when it
    // ends. 1; 0 for an unknown playing id (the value has no owner: drop it); 52 out of memory.
    ZKRESULT RegisterScopedModulator(ZkPlayingID playingID, ZkUniqueID modulatorID);
    ZKRESULT RegisterScopedParameter(ZkPlayingID playingID, ZkUniqueID parameterID);

    // --- Queries ---
    ZkUniqueID GetEventIDFromPlayingID(ZkPlayingID playingID);        // 0 when unknown
    ZkGameObjectID GetGameObjectFromPlayingID(ZkPlayingID playingID); // all ones when unknown
    void* GetPlayingIDUserData(ZkPlayingID playingID);                // the cookie; null when unknown
    uint32_t GetPlayingIDFlags(ZkPlayingID playingID);                // the record's flags; 0 when unknown
    // The playing id's instances, or null. Engine thread only: the list lives while the engine
    // thread keeps the playing id alive.
    const ZkPlayingInstanceList* FindPlayingID(ZkPlayingID playingID);
    // count 0: counts the game object's playing ids. Otherwise writes up to count of them (table
    // order) and count becomes the number written. 1; 31 for a count with a null array.
    ZKRESULT GetPlayingIDsFromGameObject(ZkGameObjectID gameObject, uint32_t& count, ZkPlayingID* playingIDs);
    uint32_t PlayingIDCount();
    uint32_t BucketCount();

    // --- Notifications: each calls the playing id's callback when it asked for the type, and
    // answers whether it did ---
    bool NotifyDynamicSequenceItemEnd(ZkPlayingID playingID, ZkUniqueID audioNodeID, void* customInfo);
    bool NotifyMarker(const ZkMarkerNotice& marker);
    void NotifyMarkers(const ZkMarkerNotice* markers, uint32_t count);
    bool NotifyDuration(ZkPlayingID playingID, float durationMs, float estimatedDurationMs,
                        ZkUniqueID audioNodeID, ZkUniqueID mediaID, bool isStreaming);
    // The caller's record, completed with the cookie, playing id and event id; the callback may
    // change the matrix.
    bool NotifySpeakerVolumeMatrix(ZkPlayingID playingID, ZkSpeakerVolumeMatrixCallbackInfo& info);
    bool NotifyStarvation(ZkPlayingID playingID);
    // Offers the selection; the callback's selection is written back. Answers the callback's done
    // flag (false when nobody was called).
    bool NotifyPlaylistSelect(ZkPlayingID playingID, ZkUniqueID playlistID, uint32_t itemCount,
                              uint32_t& selection);
    bool NotifyMusicPlaybackEvent(ZkPlayingID playingID);
    // callbackType: the music type bit that fired (called when the playing id asked for any of its
    // bits).
    bool NotifyMusicSync(ZkPlayingID playingID, uint32_t callbackType, const ZkSegmentInfo& segmentInfo);
    bool NotifyMusicCallback(ZkPlayingID playingID, const ZkSegmentInfo& segmentInfo, const char* cueName);
    bool NotifyMidiEvent(ZkPlayingID playingID, const ZkMIDIEvent& midiEvent);

    // --- Cancelling (game thread): no more callbacks for the matching playing ids; then waits for
    // a running callback, unless called from inside one ---
    void CancelCallbacksByPlayingID(ZkPlayingID playingID);
    void CancelCallbacksByCookie(void* cookie);
    void CancelCallbacksByGameObject(ZkGameObjectID gameObject);

    // --- Metering callbacks (CZkMeteringCallbacks) ---
    ZKRESULT SetBusVolumeCallback(ZkUniqueID busID, ZkBusVolumeCallbackFunc callback, void* cookie)
    {
        return m_metering.SetBusVolumeCallback(busID, callback, cookie);
    }
    ZKRESULT SetBusMeteringCallback(ZkUniqueID busID, ZkBusMeteringCallbackFunc callback,
                                    ZkMeteringFlags flags, void* cookie)
    {
        return m_metering.SetBusMeteringCallback(busID, callback, flags, cookie);
    }
    ZKRESULT SetOutputDeviceMeteringCallback(ZkOutputDeviceID deviceID,
                                             ZkOutputDeviceMeteringCallbackFunc callback,
                                             ZkMeteringFlags flags, void* cookie)
    {
        return m_metering.SetOutputDeviceMeteringCallback(deviceID, callback, flags, cookie);
    }
    bool NotifyBusMetering(ZkUniqueID busID, ZkChannelConfig channelConfig, const void* meteringData,
                           ZkGameObjectID gameObject)
    {
        return m_metering.NotifyBusMetering(busID, channelConfig, meteringData, gameObject);
    }
    bool NotifyBusVolume(ZkUniqueID busID, ZkSpeakerVolumeMatrixCallbackInfo& info)
    {
        return m_metering.NotifyBusVolume(busID, info);
    }
    ZkMeteringFlags GetBusMeteringFlags(ZkUniqueID busID) { return m_metering.GetBusMeteringFlags(busID); }
    bool HasBusVolumeCallback(ZkUniqueID busID) { return m_metering.HasBusVolumeCallback(busID); }

private:
    using RecordTable =
        ZK::CZkHashTable<ZkPlayingIdRecord, &ZkPlayingIdRecord::next, &ZkPlayingIdRecord::playingID>;

    ZKRESULT Register(ZkPlayingID playingID, ZkGameObjectID gameObject,
                      ZkExternalSourceArray* externalSources, ZkCallbackFunc callback, void* cookie,
                      uint32_t flags, ZkUniqueID eventID);
    ZKRESULT RegisterScoped(ZkPlayingID playingID, ZkUniqueID id, bool isModulator);
    // Entered with the lock held once; always leaves it. Ends the record when nothing refers to it.
    void EndCheckAndUnlock(ZkPlayingIdRecord* record);
    static void FreeRecord(ZkPlayingIdRecord* record);
    // Under the lock, in table order; visit must not add or remove records.
    template <typename Visit> void ForEachRecord(Visit visit)
    {
        for (uint32_t bucket = 0; bucket < m_records.BucketCount(); ++bucket)
        {
            for (ZkPlayingIdRecord* record = m_records.Bucket(bucket); record != nullptr;
                 record = record->next)
                visit(*record);
        }
    }

    // The notification protocol: under the lock, the record's callback and cookie and the info's
    // playing-id fields; then the call without the lock.
    template <typename Info>
    bool Deliver(ZkPlayingID playingID, uint32_t wantedTypes, uint32_t type, Info& info);
    // Entered with the lock held once; leaves it, runs the callback and marks it finished.
    void CallUnlocked(ZkCallbackFunc callback, uint32_t type, ZkCallbackInfo& info);
    template <typename Match> void CancelCallbacks(Match match);

    ZK::Platform::ZkCriticalSection m_lock;
    RecordTable m_records;
    // Signalled while no callback runs; reset while m_callbacksRunning > 0 (under m_lock).
    ZK::Platform::ZkEvent m_inFlight;
    uint32_t m_callbacksRunning = 0;
    CZkMeteringCallbacks m_metering;
};

// Null before the engine's initialisation creates the manager and after its termination.
extern CZkPlayingMgr* g_pPlayingMgr;
} // namespace ZK::SoundEngine
