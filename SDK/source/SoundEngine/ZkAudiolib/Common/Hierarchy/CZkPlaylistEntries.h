// The entry lists of a playlist container: the children it selects from, in bank order.
// CZkWeightedPlaylist (random mode) keeps {child id, weight} and refuses duplicates at the bank
// read; CZkSequencePlaylist (sequence mode) keeps ids only, duplicates allowed, every weight 50000.
// Both answer the weight source the play histories draw from.
//
// Threading: audio thread (bank loading under the global engine lock).
// Ownership: owned by the container (pool 2); the arrays are pool 0.
#pragma once

#include "ZkAudiolib/Common/Containers/ZkArray.h"
#include "ZkAudiolib/Common/Hierarchy/CZkPlayHistory.h"

#include <ZK/SoundEngine/Common/ZkTypes.h>

namespace ZK::SoundEngine
{
constexpr int32_t kDefaultEntryWeight = 50000;

class CZkPlaylistEntries : public IZkWeightSource
{
public:
    static constexpr ZkMemoryId kPool = ZkMemID_BankObjects;

    // The list of a play mode (0 random: weighted, else sequence); null out of memory.
    static CZkPlaylistEntries* Create(uint8_t playMode);
    virtual ~CZkPlaylistEntries() = default;
    void Release();

    virtual ZkUniqueID ID(uint32_t index) const = 0;
    // 1; 2 out of memory.
    virtual ZKRESULT Append(ZkUniqueID id, int32_t weight) = 0;
    virtual void Remove(ZkUniqueID id) = 0;
    virtual void Clear() = 0;
    // The index of the first entry of that id, or -1.
    virtual int32_t IndexOf(ZkUniqueID id) const = 0;
    bool Contains(ZkUniqueID id) const { return IndexOf(id) >= 0; }
    virtual void SetWeight(uint32_t index, int32_t weight) = 0;
    // The sum of the weights (64 bits: the container checks it fits a history's int32).
    virtual int64_t TotalWeight() const = 0;
};

class CZkWeightedPlaylist final : public CZkPlaylistEntries
{
public:
    uint32_t Count() const override { return m_entries.Length(); }
    int32_t Weight(uint32_t index) const override { return m_entries[index].weight; }
    ZkUniqueID ID(uint32_t index) const override { return m_entries[index].id; }
    ZKRESULT Append(ZkUniqueID id, int32_t weight) override;
    void Remove(ZkUniqueID id) override;
    void Clear() override { m_entries.RemoveAll(); }
    int32_t IndexOf(ZkUniqueID id) const override;
    void SetWeight(uint32_t index, int32_t weight) override { m_entries[index].weight = weight; }
    int64_t TotalWeight() const override;

private:
    struct Entry
    {
        ZkUniqueID id;
        int32_t weight;
    };
    ZK::ZkArray<Entry> m_entries;
};

class CZkSequencePlaylist final : public CZkPlaylistEntries
{
public:
    uint32_t Count() const override { return m_ids.Length(); }
    int32_t Weight(uint32_t) const override { return kDefaultEntryWeight; }
    ZkUniqueID ID(uint32_t index) const override { return m_ids[index]; }
    ZKRESULT Append(ZkUniqueID id, int32_t) override { return m_ids.AddLast(id) != nullptr ? ZK_Success : ZK_Fail; }
    void Remove(ZkUniqueID id) override;
    void Clear() override { m_ids.RemoveAll(); }
    int32_t IndexOf(ZkUniqueID id) const override;
    void SetWeight(uint32_t, int32_t) override {}
    int64_t TotalWeight() const override { return int64_t{kDefaultEntryWeight} * Count(); }

private:
    ZK::ZkArray<ZkUniqueID> m_ids;
};
} // namespace ZK::SoundEngine
