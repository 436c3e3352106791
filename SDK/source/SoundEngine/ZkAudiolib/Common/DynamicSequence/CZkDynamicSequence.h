// CZkDynamicSequence: a playback the game feeds item by item (ZK::SoundEngine::DynamicSequence).
// The game's Open creates it with its playing id as its id and puts it into the object index's
// dynamic-sequence table; every command then reaches it as a message on the engine thread. It
// takes items off its playlist one at a time (the latest item; the one before it is the previous
// item) and plays them on its game object with the playing id, through the play contexts it
// creates for them (CZkDynamicSequencePlayContext), which ask it for the next item when theirs is
// done.
//
// States: 0 stopped, 1 playing, 2 waiting for an item (the playlist ran out while playing). Pauses
// are counted apart from the state: commands (pause count) and all-objects actions (action pause
// count); Play is refused while actions keep it paused.
//
// Threading: the playlist, the latest item and the pause times are guarded by the sequence's own
// lock, which the game enters with LockPlaylist (any thread) and the engine thread takes to pop an
// item; everything else runs on the engine thread under the global engine lock. AddRef and Release
// run under the dynamic-sequence table's lock, from any thread.
// Ownership (memory pool 0): the table's reference (dropped by Close, or at the engine's
// termination), one per message in flight, one per play context and one per LockPlaylist until
// its UnlockPlaylist. The sequence holds a reference on its game object, on the external sources
// of its items and of the item being launched.
#pragma once

#include "Platform/PlatformLock.h"
#include "ZkAudiolib/Common/Hierarchy/ZkNodeTypes.h"
#include "ZkAudiolib/Common/ObjectIndex/CZkIndexedObject.h"

#include <ZK/SoundEngine/Common/ZkDynamicSequence.h>
#include <ZK/SoundEngine/Common/ZkMemoryMgr.h>

#include <atomic>
#include <thread>

namespace ZK::SoundEngine
{
class CZkGameObject;
class CZkHierarchyNode;
class CZkPlayingInstance;
class CZkRegisteredObj;
struct PlayLaunchParams;
struct ZkMediaRef;
struct ZkPriorityRecord;

class CZkDynamicSequence final : public CZkIndexedObject
{
public:
    static constexpr ZkMemoryId kPool = ZkMemID_Default;
    using Playlist = DynamicSequence::Playlist;
    using Item = DynamicSequence::ZkPlaylistItem;

    enum State : uint32_t
    {
        kStopped = 0,
        kPlaying = 1,
        kWaiting = 2,
    };
    // Commands of message 25.
    static constexpr uint32_t kCommandPlay = 0;
    static constexpr uint32_t kCommandPause = 1;
    static constexpr uint32_t kCommandResume = 2;
    static constexpr uint32_t kCommandClose = 3;
    static constexpr uint32_t kCommandStop = 4;
    static constexpr uint32_t kCommandBreak = 5;
    static constexpr uint32_t kCommandPlaylistUnlocked = 6;

    // A new sequence (count 1: the table's reference) in the dynamic-sequence table; null when
    // memory runs out (nothing is left in the table).
    static CZkDynamicSequence* Create(ZkPlayingID playingID, DynamicSequence::DynamicSequenceType type);
    // The sequence of the playing id with a reference added; null when there is none, or when it is
    // closing and withClosed is false.
    static CZkDynamicSequence* Find(ZkPlayingID playingID, bool withClosed);

    uint32_t AddRef() override;
    uint32_t Release() override;
    void Destroy() override;

    // --- Game thread ---
    void MarkClosing() { m_closing.store(true, std::memory_order_release); }
    bool IsClosing() const { return m_closing.load(std::memory_order_acquire); }
    // Enters the lock for the calling thread; the caller's reference is kept until UnlockPlaylist.
    Playlist* LockPlaylist();
    // Leaves the calling thread's LockPlaylist (2 when it holds none: nothing changes); a waiting
    // sequence with items is told by command 6. The reference LockPlaylist kept is given back. 1.
    ZKRESULT UnlockPlaylist();
    // Pause start (0 when not paused) and the paused frames gathered since the last call.
    void GetPauseTimes(uint32_t& pauseStart, uint32_t& pausedFrames);
    void GetPlayingItem(ZkUniqueID& audioNodeID, void*& customInfo);

    // --- Engine thread ---
    // Message 24: the sequence plays on this object (a reference is taken).
    void SetGameObject(CZkRegisteredObj* object);
    // Message 25.
    void ExecuteCommand(uint32_t command, ZkTimeMs transitionMs, uint32_t curve);
    void Play(ZkTimeMs transitionMs, uint32_t curve);
    void Pause(ZkTimeMs transitionMs, uint32_t curve);
    void Resume(ZkTimeMs transitionMs, uint32_t curve);
    void Stop(ZkTimeMs transitionMs, uint32_t curve);
    void Break();
    void OnPlaylistUnlocked();
    // Command 3: closed; the sequence's playing-id reference and the table's reference go.
    void Close();
    // Message 58: the playing item seeks. 1 (also when stopped); 2 without a game object; 15
    // without an item or its node.
    ZKRESULT Seek(float fraction, int32_t milliseconds, bool isFraction, bool snapToNearestMarker);
    // A stop (0), pause (1) or resume (2) of every object, or of the sequence's game object.
    void OnActionCommand(ZkActionCode code, CZkGameObject* object);
    // The next item of the playlist becomes the latest (empty items are reported and dropped). Its
    // node id, delay and custom info; 0 when none (the state then becomes 2 unless stopped).
    ZkUniqueID PopNextItem(uint32_t& delayMs, void*& customInfo);
    // Plays the node as the sequence's item. 1; 2 without a game object; 15 when the node is not
    // loaded; the play's failure.
    ZKRESULT PlayItem(ZkUniqueID nodeID, uint32_t delayMs, ZkTimeMs transitionMs, uint32_t curve);
    // For a play context whose item is done: the latest item becomes the previous one and the next
    // is popped; sources (the context's reference) is replaced by the new latest item's.
    ZkUniqueID AdvanceItem(uint32_t& delayMs, void*& customInfo, ZkExternalSourceArray*& sources);
    // The playing instance of a play whose target is this sequence (pool 0); null out of memory.
    CZkPlayingInstance* CreatePlayContext(const PlayLaunchParams& params, CZkHierarchyNode* node,
                                          const ZkMediaRef* media, const ZkPriorityRecord& priority);
    // At the engine's termination: a sequence not closed drops its playing-id reference and the
    // table's reference.
    void ReleaseAtTermination();

    // --- State, as the engine thread sees it ---
    uint32_t GetState() const { return m_state.load(std::memory_order_relaxed); }
    DynamicSequence::DynamicSequenceType Type() const { return m_type; }
    ZkPlayingID PlayingID() const { return m_playingID; }
    CZkRegisteredObj* GameObject() const { return m_gameObject; }
    uint32_t PauseCount() const { return m_pauseCount; }
    uint32_t ActionPauseCount() const { return m_actionPauseCount; }
    uint32_t SequenceID() const { return m_sequenceID; }
    const Item& LatestItem() const { return m_latest; }
    const Item& PreviousItem() const { return m_previous; }
    bool IsClosed() const { return m_closeHandled; }

    CZkDynamicSequence(ZkPlayingID playingID, DynamicSequence::DynamicSequenceType type);
    ~CZkDynamicSequence() override;

private:
    // Sends a command to the previous and the latest item's nodes.
    void TellItems(ZkActionCode code, ZkTimeMs transitionMs, uint32_t curve);
    ZKRESULT TellNode(ZkUniqueID nodeID, const ZkActionParams& params);
    void NotifyItem(ZkUniqueID nodeID, void* customInfo);
    uint32_t FrameCounter() const;
    void EndPause();

    Playlist m_playlist;
    ZK::Platform::ZkCriticalSection m_lock;
    // The thread inside LockPlaylist, and how often it entered.
    std::atomic<std::thread::id> m_playlistHolder{};
    uint32_t m_playlistHolds = 0;
    // Written on the engine thread; UnlockPlaylist reads it on the game's (under the lock, which
    // every change to 2 holds).
    std::atomic<uint32_t> m_state{kStopped};
    uint32_t m_pauseCount = 0;
    CZkRegisteredObj* m_gameObject = nullptr;
    // The external sources of the item being launched (a reference).
    ZkExternalSourceArray* m_currentSources = nullptr;
    ZkPlayingID m_playingID;
    std::atomic<bool> m_closing{false};
    bool m_closeHandled = false;
    DynamicSequence::DynamicSequenceType m_type;
    Item m_previous;
    Item m_latest;
    uint32_t m_actionPauseCount = 0;
    uint32_t m_pauseStart = 0;
    uint32_t m_pausedFrames = 0;
    // Shared by the launches of one sample-accurate run (0: none yet).
    uint32_t m_sequenceID = 0;
};
} // namespace ZK::SoundEngine
