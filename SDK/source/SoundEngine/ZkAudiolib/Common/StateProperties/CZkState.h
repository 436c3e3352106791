// CZkState: the bank's state object (hierarchy item type 1): the property values that apply to an
// owner's state-driven properties while one state of one group is current. It is kept in the object
// index's state table; each state-group link that holds it keeps a reference, and remembers it as
// owned by the link's owner.
//
// Threading: the reference count and the table link change under the state table's lock; the
// bundle is read on the audio thread or under the global engine lock.
// Ownership: its references (memory pool 2); it owns its bundle (pool 0).
#pragma once

#include "ZkAudiolib/Common/Containers/ZkPackedIdTable.h"
#include "ZkAudiolib/Common/ObjectIndex/CZkIndexedObject.h"

#include <ZK/SoundEngine/Common/ZkResult.h>

#include <cstdint>

namespace ZK::SoundEngine
{
class CZkStateProperties;

class CZkState final : public CZkIndexedObject
{
public:
    static constexpr ZkMemoryId kPool = ZkMemID_BankObjects;
    using Bundle = ZK::ZkPackedIdTable<float>;

    // A new state object holding one reference, inserted in the object index's state table; null
    // when out of memory or without an object index.
    static CZkState* Create(ZkUniqueID id);
    // Reads the item body (starting with the id): uint32 id, uint16 count n, n uint16 property ids,
    // n f32 values. 1; 7 when the body is too short; 52 (the old bundle kept).
    static ZKRESULT ReadFromBank(CZkState* state, const uint8_t* body, uint32_t size);

    uint32_t AddRef() override;
    uint32_t Release() override;
    void Destroy() override;

    const Bundle& Values() const { return m_bundle; }

    CZkStateProperties* owner = nullptr; // the owner that last linked it

    // Use Create: a state object lives in the state table.
    explicit CZkState(ZkUniqueID id) : CZkIndexedObject(id) {}

private:
    Bundle m_bundle;
};
} // namespace ZK::SoundEngine
