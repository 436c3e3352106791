// CZkTrackedNodeSet: the game-object component that keeps count of the nodes playing on its object:
// how many references each node key holds, and how many of the tracked nodes answer yes to each of
// three questions the nodes answer about themselves. The geometry code also keeps two id lists and
// two weighted values here and collects them as records.
//
// Every set is in one global list (CZkListedComponent). A tracked node remembers its answers and
// key, so that an update counts only what changed and a removal takes back exactly what it added.
//
// Threading: audio thread, under the global engine lock. Ownership: the component belongs to its
// game object (pool 4); the key array (pool 9) and the id lists (pool 0) to the set; the nodes are
// only linked.
#pragma once

#include "ZkAudiolib/Common/Containers/ZkArray.h"
#include "ZkAudiolib/Common/GameObjects/CZkObjectComponent.h"

#include <ZK/SoundEngine/Common/ZkTypes.h>

#include <cstdint>

namespace ZK::SoundEngine
{
// A node the set tracks: it answers three yes/no questions about itself and names a key.
class IZkTrackedNode
{
public:
    static constexpr uint32_t kQuestions = 3;

    virtual bool Answer(uint32_t question) const = 0;
    virtual uint32_t TrackingKey() const = 0;

    // Kept by the set.
    uint8_t answers[kQuestions] = {};
    uint32_t trackedKey = 0;
    IZkTrackedNode* nextTracked = nullptr;

protected:
    ~IZkTrackedNode() = default;
};

// A collected record (32 bytes).
struct ZkTrackedRecord
{
    static constexpr uint32_t kKindEntry = 3;
    static constexpr uint32_t kKindValue = 1;

    ZkGameObjectID objectID;
    uint32_t id;
    float value;
    uint32_t kind;
    uint32_t reserved[3];
};
static_assert(sizeof(ZkTrackedRecord) == 32, "tracked records are 32 bytes");

class CZkTrackedNodeSet final : public CZkListedComponent<CZkTrackedNodeSet>
{
public:
    struct KeyCount
    {
        uint32_t key;
        uint32_t count;
    };
    struct WeightedValue
    {
        uint32_t id = 0; // 0: not set
        float weight = 0.0f;
    };

    ~CZkTrackedNodeSet() override;

    // Asks the node its questions and counts its yes answers and its key; links it. False when the
    // key cannot be stored (nothing is changed then).
    bool AddNode(IZkTrackedNode& node);
    // Asks again: the counters follow the answers that changed; a changed key moves its count.
    void UpdateNode(IZkTrackedNode& node);
    // Takes back what the node added and unlinks it.
    void RemoveNode(IZkTrackedNode& node);
    // One more (or one less) reference of the node's key.
    bool AddNodeRef(const IZkTrackedNode& node);
    void ReleaseNodeRef(const IZkTrackedNode& node);
    // The key is in either id list.
    bool Contains(uint32_t id) const;
    // A record {object, id, value, kind 3} per id of the first list, then, when the set is active,
    // one for id (the first value's id when 0) with value x the first weight.
    void CollectEntries(ZK::ZkArray<ZkTrackedRecord>& output, uint32_t id, float value) const;
    // A record {object (-4 for -1), id, value x weight, kind 1} per weighted value that is set and
    // weighs above 0.
    void CollectValue(ZK::ZkArray<ZkTrackedRecord>& output, float value) const;

    uint32_t CountOfKey(uint32_t key) const;
    uint32_t KeyCountTotal() const { return m_total; }
    uint32_t YesCount(uint32_t question) const { return m_yes[question]; }
    uint32_t DistinctKeys() const { return m_keys.Length(); }
    ZK::ZkArray<uint32_t>& IdList(uint32_t which) { return m_ids[which]; }
    WeightedValue& Value(uint32_t which) { return m_values[which]; }
    bool active = false;
    bool dirty = false;

private:
    bool AddKey(uint32_t key);
    void DropKey(uint32_t key);
    // Index of key, or where it would be inserted.
    uint32_t LowerBound(uint32_t key) const;
    ZkGameObjectID OwnerID() const;

    ZK::ZkArray<KeyCount, ZkMemID_VoicePipeline> m_keys; // sorted by key
    uint32_t m_total = 0;
    uint32_t m_yes[IZkTrackedNode::kQuestions] = {};
    ZK::ZkArray<uint32_t> m_ids[2];
    WeightedValue m_values[2];
    IZkTrackedNode* m_head = nullptr;
};
} // namespace ZK::SoundEngine
