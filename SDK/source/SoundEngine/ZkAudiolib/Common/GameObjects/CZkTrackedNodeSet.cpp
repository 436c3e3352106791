#include "ZkAudiolib/Common/GameObjects/CZkTrackedNodeSet.h"

#include "ZkAudiolib/Common/GameObjects/CZkGameObject.h"

namespace ZK::SoundEngine
{
namespace
{
// The object id of value records: "every object" is reported as -4.
constexpr ZkGameObjectID kValueRecordAllObjects = ~ZkGameObjectID{3};
} // namespace

CZkTrackedNodeSet::~CZkTrackedNodeSet()
{
    // The nodes belong to the hierarchy and may already be gone: they are only let go.
    m_head = nullptr;
    m_keys.Term();
    m_ids[0].Term();
    m_ids[1].Term();
}

ZkGameObjectID CZkTrackedNodeSet::OwnerID() const { return owner != nullptr ? owner->ID() : ZK_ALL_GAME_OBJECTS; }

uint32_t CZkTrackedNodeSet::LowerBound(uint32_t key) const
{
    uint32_t low = 0;
    uint32_t high = m_keys.Length();
    while (low < high)
    {
        const uint32_t middle = low + (high - low) / 2;
        if (m_keys[middle].key < key)
            low = middle + 1;
        else
            high = middle;
    }
    return low;
}

bool CZkTrackedNodeSet::AddKey(uint32_t key)
{
    const uint32_t at = LowerBound(key);
    if (at < m_keys.Length() && m_keys[at].key == key)
        ++m_keys[at].count;
    else if (m_keys.Insert(at, KeyCount{key, 1}) == nullptr)
        return false;
    ++m_total;
    return true;
}

void CZkTrackedNodeSet::DropKey(uint32_t key)
{
    const uint32_t at = LowerBound(key);
    if (at == m_keys.Length() || m_keys[at].key != key)
        return;
    --m_total;
    if (--m_keys[at].count == 0)
        m_keys.Erase(at);
}

uint32_t CZkTrackedNodeSet::CountOfKey(uint32_t key) const
{
    const uint32_t at = LowerBound(key);
    return at < m_keys.Length() && m_keys[at].key == key ? m_keys[at].count : 0u;
}

bool CZkTrackedNodeSet::AddNode(IZkTrackedNode& node)
{
    const uint32_t key = node.TrackingKey();
    if (!AddKey(key))
        return false;
    node.trackedKey = key;
    for (uint32_t q = 0; q < IZkTrackedNode::kQuestions; ++q)
    {
        node.answers[q] = node.Answer(q) ? 1 : 0;
        m_yes[q] += node.answers[q];
    }
    node.nextTracked = m_head;
    m_head = &node;
    dirty = true;
    return true;
}

void CZkTrackedNodeSet::UpdateNode(IZkTrackedNode& node)
{
    for (uint32_t q = 0; q < IZkTrackedNode::kQuestions; ++q)
    {
        const uint8_t answer = node.Answer(q) ? 1 : 0;
        m_yes[q] = m_yes[q] - node.answers[q] + answer;
        node.answers[q] = answer;
    }
    const uint32_t key = node.TrackingKey();
    if (key != node.trackedKey && AddKey(key))
    {
        DropKey(node.trackedKey);
        node.trackedKey = key;
    }
    dirty = true;
}

void CZkTrackedNodeSet::RemoveNode(IZkTrackedNode& node)
{
    for (uint32_t q = 0; q < IZkTrackedNode::kQuestions; ++q)
    {
        m_yes[q] -= node.answers[q];
        node.answers[q] = 0;
    }
    DropKey(node.trackedKey);
    for (IZkTrackedNode** link = &m_head; *link != nullptr; link = &(*link)->nextTracked)
        if (*link == &node)
        {
            *link = node.nextTracked;
            break;
        }
    node.nextTracked = nullptr;
    dirty = true;
}

bool CZkTrackedNodeSet::AddNodeRef(const IZkTrackedNode& node) { return AddKey(node.trackedKey); }

void CZkTrackedNodeSet::ReleaseNodeRef(const IZkTrackedNode& node) { DropKey(node.trackedKey); }

bool CZkTrackedNodeSet::Contains(uint32_t id) const
{
    return m_ids[0].Find(id) != m_ids[0].Length() || m_ids[1].Find(id) != m_ids[1].Length();
}

void CZkTrackedNodeSet::CollectEntries(ZK::ZkArray<ZkTrackedRecord>& output, uint32_t id, float value) const
{
    const ZkGameObjectID object = OwnerID();
    for (uint32_t entry : m_ids[0])
        output.AddLast(ZkTrackedRecord{object, entry, value, ZkTrackedRecord::kKindEntry, {}});
    if (active)
        output.AddLast(ZkTrackedRecord{object, id != 0 ? id : m_values[0].id, value * m_values[0].weight,
                                       ZkTrackedRecord::kKindEntry, {}});
}

void CZkTrackedNodeSet::CollectValue(ZK::ZkArray<ZkTrackedRecord>& output, float value) const
{
    const ZkGameObjectID object = OwnerID() == ZK_ALL_GAME_OBJECTS ? kValueRecordAllObjects : OwnerID();
    for (const WeightedValue& weighted : m_values)
        if (weighted.id != 0 && weighted.weight > 0.0f)
            output.AddLast(ZkTrackedRecord{object, weighted.id, value * weighted.weight, ZkTrackedRecord::kKindValue, {}});
}
} // namespace ZK::SoundEngine
