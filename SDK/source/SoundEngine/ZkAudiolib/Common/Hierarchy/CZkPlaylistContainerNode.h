// CZkPlaylistContainerNode: bank hierarchy item type 5, node category 2. Each play selects one of
// its entries, at random (optionally weighted, with an avoid-repeat window, optionally shuffled)
// or in sequence (optionally bouncing back at the end), and remembers its selections in a play
// history kept per game object or once for all of them.
//
//   uint32 id, common node body, then: u16 loopCount, i16 loopRandomMin, i16 loopRandomMax,
//   f32 transitionTime, f32 transitionRandomMin, f32 transitionRandomMax (ms), u16 avoidRepeat,
//   u8 transitionKind, u8 randomType, u8 playMode, u8 flags (bit 1 restartEachPlay, bit 2
//   reverseAtEnd, bit 3 continuous, bit 4 globalScope), u32 N + N child ids, u16 M + M x {u32
//   child id, u32 weight}
//
// Bank reading trusts no count: a child or entry count past the item gives 7 (the children linked
// by the read are unlinked again). Weights are int32 in the list and the histories, so a weighted
// list whose total does not fit is refused with 7 rather than drawn from with a wrapped divisor.
// A play mode above 1 is refused with 7; random types 2 and 3 shuffle like 1; non-finite
// transition times count as 0.
//
// Threading: audio thread (bank loading under the global engine lock; the history blob on the
// game's thread under the engine lock and the node table's lock).
// Ownership: the object index's (pool 2); owns its entry list (pool 2) and its histories (pool 0).
#pragma once

#include "ZkAudiolib/Common/Hierarchy/CZkContainerNode.h"
#include "ZkAudiolib/Common/Hierarchy/CZkPlaylistEntries.h"

namespace ZK::SoundEngine
{
class CZkPlayChain;
struct CZkPlayChainItem;

class CZkPlaylistContainerNode final : public CZkContainerNode
{
public:
    // Mode byte A / B bits.
    static constexpr uint8_t kPlayModeRandom = 0;
    static constexpr uint8_t kPlayModeSequence = 1;

    // A new playlist (sequence mode, restartEachPlay and global scope) holding one reference, in
    // the actor-mixer table; null out of memory.
    static CZkPlaylistContainerNode* Create(ZkUniqueID id);
    // Reads the item body. 91 when node is not a playlist; 1; 7 a count past the item, a weighted
    // total above 2^31 - 1 or a play mode above 1; 35 an id twice in a random list; 52 the child
    // array; 2 the entry list; the common body's or a child's failure.
    static ZKRESULT ReadFromBank(CZkHierarchyNode* node, const uint8_t* body, uint32_t size, bool partial);

    explicit CZkPlaylistContainerNode(ZkUniqueID id);
    ~CZkPlaylistContainerNode() override;

    ZkNodeCategory Category() const override { return ZkNodeCategory_Playlist; }
    // Step mode plays one selected child (nothing selected: the play's chain continues, else 2).
    // Continuous mode pushes an item for the container on the play's chain (made when the play
    // has none) and plays its first entry; the played sound's instance walks on through the chain.
    ZKRESULT PlayChildren(PlayLaunchParams& params) override;
    // Drops the game object's history, then the node's own data for it.
    ZKRESULT RemoveGameObjectData(CZkGameObject* object) override;

    // The child the next step-mode play of the object selects, with a reference (its entry index in
    // selected, when given); null for none.
    CZkHierarchyNode* SelectForStep(CZkGameObject* object, int32_t* selected = nullptr);
    // The history of the object (the global one in global scope or without an object), created
    // on first use; null out of memory.
    CZkPlayHistory* FindOrCreateHistory(CZkGameObject* object);
    // Without an object every history goes; with one, that object's (per-object scope only).
    // Nothing in continuous mode.
    void ResetHistory(CZkGameObject* object);
    void ClearHistories();
    // Clears the histories and, once the container has played, stops it on every game object.
    void ResetPlayback();

    // The history blob's body of the container: u8 playMode, u32 R, R x {u64 game object id,
    // history}; in global scope one record of id -1 when the global history exists.
    bool WriteHistories(WriteBytesInterface& bytes) const;
    // Reads such a body. Every record is parsed and checked against the list before any history
    // changes; records of objects that are not registered (and of id -1 in per-object scope) are
    // parsed and dropped. 1; 2 short, another play mode, or a history that does not fit the list;
    // 52 out of memory.
    ZKRESULT ReadHistories(ZK::ZkByteCursor& cursor);

    // --- Continuous play ---
    // Pushes an item for the container on the chain with its loop counter (loopCount 0: finite and
    // infinite; else loopCount plus a draw from the loop range, at least 1). False out of memory.
    bool PushChainItem(CZkPlayChain& chain);
    // The entry a chain item of this container plays next, with its node (a reference); null
    // when the item's loops are done, nothing is eligible, or no entry's node is loaded.
    CZkHierarchyNode* SelectForChain(CZkPlayChainItem& item, CZkGameObject* object, int32_t& index);
    // The time between items (ms, not negative): the bank's time, a draw from its range, and the
    // state and game-parameter offsets of the transition time for the object and playing id.
    float GetTransitionTime(CZkGameObject* object, ZkPlayingID playingID);
    uint8_t TransitionKind() const { return m_transitionKind; }
    // Whether a play of the container never ends by itself (a continuous playlist without a loop
    // count).
    bool PlaysWithoutEnd() const { return m_continuous && m_loopCount == 0; }

    const CZkPlaylistEntries* Entries() const { return m_entries; }
    uint8_t PlayMode() const { return m_playMode; }
    bool IsContinuous() const { return m_continuous; }
    bool IsGlobalScope() const { return m_globalScope; }
    bool HasPlayed() const { return m_hasPlayed; }
    ZkRandomSettings RandomSettings() const;
    uint32_t ObjectHistoryCount() const { return m_objectHistories.Length(); }
    CZkPlayHistory* GlobalHistory() const { return m_globalHistory; }

private:
    struct ObjectHistory
    {
        CZkGameObject* object;
        CZkPlayHistory* history;
    };
    ZKRESULT ReadSettings(ZK::ZkByteCursor& cursor);
    ZKRESULT ReadEntries(ZK::ZkByteCursor& cursor);
    CZkPlayHistory* NewHistory() const;
    uint32_t FindObject(CZkGameObject* object, bool& found) const;
    // Sets the object's history (the container registers with the object when it had none); the
    // old one is released. False out of memory (history is then the caller's).
    bool SetObjectHistory(CZkGameObject* object, CZkPlayHistory* history);
    // Whether a history can serve the list as it is.
    bool Fits(const CZkPlayHistory& history) const;
    // The node of entry index with a reference when it may play; null otherwise.
    CZkHierarchyNode* PlayableEntry(uint32_t index, CZkGameObject* object) const;
    int32_t NextIndex(CZkPlayHistory& history, bool firstAttempt, int32_t previous);
    void UnlinkChildren();
    ZKRESULT PlayContinuous(PlayLaunchParams& params);
    ZKRESULT PlayTriggerRate(PlayLaunchParams& params);
    // The chain-local history of a continuous play (created on first use; null out of memory).
    CZkPlayHistory* ChainHistory(CZkPlayChainItem& item, CZkGameObject* object);
    // Keeps the persistent sequence history one step behind a chain's.
    void FollowChain(const CZkSequenceHistory& chain, CZkGameObject* object);
    // Whether the chain's top item is this container's.
    bool OwnsTop(const CZkPlayChain* chain) const;

    CZkPlaylistEntries* m_entries = nullptr;
    ZK::ZkArray<ObjectHistory> m_objectHistories;
    CZkPlayHistory* m_globalHistory = nullptr;
    float m_transitionTime = 0.0f;
    float m_transitionRandomMin = 0.0f;
    float m_transitionRandomMax = 0.0f;
    uint16_t m_loopCount = 1;
    int16_t m_loopRandomMin = 0;
    int16_t m_loopRandomMax = 0;
    uint16_t m_avoidRepeatCount = 0;
    uint8_t m_transitionKind = 0;
    uint8_t m_randomType = 0;
    uint8_t m_playMode = kPlayModeSequence;
    bool m_weighted = false;
    bool m_restartEachPlay = true;
    bool m_reverseAtEnd = false;
    bool m_continuous = false;
    bool m_globalScope = true;
    bool m_hasPlayed = false;
};
} // namespace ZK::SoundEngine
