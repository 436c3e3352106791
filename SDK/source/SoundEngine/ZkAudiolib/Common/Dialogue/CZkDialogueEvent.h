// CZkDialogueEvent: a dialogue event (bank hierarchy item type 15): a decision tree that maps a
// path of argument values (speaker, line, ...) to the audio node to play, and custom properties the
// game reads. It lives in the object index's dialogue-event table.
//
// Bank body (little-endian, packed):
//   u32 event id, u8 probability in percent, u32 argument count n (the tree's depth),
//   n x {u32 argument id, u8 argument type} (not kept), u32 tree size L, u8 mode, L bytes of
//   tree nodes (CZkDecisionTree), then the property list {u8 m, m u8 ids, m 32-bit values} and
//   the ranged-property list {u8 k, k u8 ids, k pairs of 32-bit values}.
// Every field is read within the item's size (counts in 64 bits); a body that runs past it is
// refused whole with 7, before anything is changed.
//
// Custom property index i is the property of id (i + 74) mod 256.
//
// Threading: created and read on the bank thread under the global engine lock; the reference count
// changes under the dialogue-event table's lock (any thread); the tree and lists are read by the
// dialogue calls under the global engine lock, so a resolution never sees an event half read.
// Ownership: the object index's references (memory pool 1); the event owns its tree data and lists.
#pragma once

#include "ZkAudiolib/Common/Hierarchy/CZkDecisionTree.h"
#include "ZkAudiolib/Common/Hierarchy/ZkPackedPropList.h"
#include "ZkAudiolib/Common/ObjectIndex/CZkIndexedObject.h"

#include <ZK/SoundEngine/Common/ZkMemoryMgr.h>
#include <ZK/SoundEngine/Common/ZkResult.h>
#include <ZK/SoundEngine/Common/ZkTypes.h>

#include <cstdint>

namespace ZK::SoundEngine
{
class CZkDialogueEvent final : public CZkIndexedObject
{
public:
    static constexpr ZkMemoryId kPool = ZkMemID_BankData;
    static constexpr uint32_t kCustomPropertyBase = 74;

    // An event with an empty tree and no properties, holding one reference, in the dialogue-event
    // table; null when out of memory.
    static CZkDialogueEvent* Create(ZkUniqueID id);

    // Reads the bank body (from the id on) of size bytes. 1; 7 when a field runs past the body or
    // the tree size is not a whole number of nodes; 52 when the tree cannot be copied; 2 when a
    // property list cannot be allocated.
    ZKRESULT SetFromBank(const uint8_t* body, uint32_t size);

    uint32_t AddRef() override;
    // At 0 the event leaves its table and is destroyed.
    uint32_t Release() override;
    void Destroy() override;

    // The 32-bit value of custom property index, or null when the event has none.
    const uint8_t* FindCustomProperty(uint32_t index) const;

    // The ids of count argument names (an empty or null name gives 0; others are hashed as
    // GetIDFromString does). 1; 2 when count is not the event's argument count; 31 when names or
    // ids is null with a non-zero count.
    ZKRESULT ArgumentNamesToIDs(const char* const* names, uint32_t* ids, uint32_t count) const;
    ZKRESULT ArgumentNamesToIDsW(const wchar_t* const* names, uint32_t* ids, uint32_t count) const;

    const CZkDecisionTree& Tree() const { return m_tree; }
    uint32_t ArgumentCount() const { return m_tree.Depth(); }
    uint32_t PropertyCount() const { return m_properties.Count(); }
    uint32_t RangedPropertyCount() const { return m_ranges.Count(); }

    // Use Create (pool 1).
    explicit CZkDialogueEvent(ZkUniqueID id) : CZkIndexedObject(id) {}

private:
    template <typename Char>
    ZKRESULT NamesToIDs(const Char* const* names, uint32_t* ids, uint32_t count) const;

    CZkDecisionTree m_tree;
    ZkPackedPropList<4, kPool> m_properties;
    ZkPackedPropList<8, kPool> m_ranges;
};
} // namespace ZK::SoundEngine
