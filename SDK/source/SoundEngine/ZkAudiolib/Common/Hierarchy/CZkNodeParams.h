// CZkNodeParams: the effect chain of a node or bus: its owner and a block of four effect slots with
// bypass bits, created on first need. A slot names an effect object by id (0 = empty), optionally a
// share set, and may be marked rendered (its effect was baked into the media: the slot then holds
// no effect). Sets carry a priority: a set with a lower priority than the block's highest leaves
// the block as it is, so a value given by the game is not replaced by a bank's.
//
// The owner hears of every slot whose effect changed: first OnEffectSlotChanged with the slot
// record, then OnEffectSlotIndexChanged with its index (it re-resolves its effect and updates its
// live voices).
//
// Threading: audio thread (bank data applied there, messages, node code); GetReferencedObject takes
// the object index's table locks.
// Ownership: the chain owns its slot block (memory pool 2); Free gives it back. The owner outlives
// the chain (the chain is one of its fields).
#pragma once

#include "ZkAudiolib/Common/Bytes/ZkByteCursor.h"

#include <ZK/SoundEngine/Common/ZkMemoryMgr.h>
#include <ZK/SoundEngine/Common/ZkResult.h>
#include <ZK/SoundEngine/Common/ZkTypes.h>

#include <cstdint>

namespace ZK::SoundEngine
{
class CZkIndexedObject;

constexpr uint32_t kEffectSlotCount = 4;
constexpr uint8_t kBypassAllSlots = 0x10;
constexpr uint8_t kBypassMaskAll = 0x1F;

struct ZkEffectSlot
{
    ZkUniqueID effectID = 0; // 0: empty
    uint8_t rendered = 0;
    uint8_t isShareSet = 0;
};

struct ZkEffectSlotBlock
{
    int32_t priority = 0; // the highest priority a slot was set with
    ZkEffectSlot slots[kEffectSlotCount];
    uint8_t bypassBits = 0; // bits 0-3: slots 0-3, bit 4: all
};

class IZkEffectSlotOwner
{
public:
    virtual void OnEffectSlotChanged(const ZkEffectSlot& slot) = 0;
    virtual void OnEffectSlotIndexChanged(uint32_t slotIndex) = 0;

protected:
    ~IZkEffectSlotOwner() = default;
};

class CZkNodeParams
{
public:
    static constexpr ZkMemoryId kPool = ZkMemID_BankObjects;

    explicit CZkNodeParams(IZkEffectSlotOwner* owner) : m_owner(owner) {}
    ~CZkNodeParams() { Free(); }
    CZkNodeParams(const CZkNodeParams&) = delete;
    CZkNodeParams& operator=(const CZkNodeParams&) = delete;

    // 31 for an index above 3; 52 when the block cannot be made. A priority below the stored one
    // changes nothing (1); otherwise the priority is stored and a different effect replaces the
    // slot's (the owner is told). 1.
    ZKRESULT SetSlotValue(uint32_t slotIndex, ZkUniqueID effectID, bool isShareSet, int32_t priority);
    // Marks the slot rendered or not. A rendered slot loses its effect (the owner is told). 31 for an
    // index above 3; 52 when the block cannot be made for a non-zero value; 1.
    ZKRESULT SetSlotRendered(uint32_t slotIndex, bool rendered);
    // bypass = (value & mask) | (bypass & ~mask). 52 when the block cannot be made; 1.
    ZKRESULT SetBypassBits(uint8_t value, uint8_t mask);
    // The bus and effect-object form of an effect list: uint8 count; with a count, uint8 bypass bits
    // and count entries {uint8 slot, uint32 effect id, uint8 share-set flag, uint8 unused}. 1; 7 when
    // the list runs past the cursor (nothing changed); 31 for a slot index above 3; 52.
    ZKRESULT ReadEffectList(ZK::ZkByteCursor& cursor);
    // The slot's effect object with a reference added (the caller releases it); null without a
    // block, for an empty slot or an effect object that is not loaded.
    CZkIndexedObject* GetReferencedObject(uint32_t slotIndex) const;
    void Free();

    const ZkEffectSlotBlock* Block() const { return m_block; }
    uint8_t BypassBits() const { return m_block != nullptr ? m_block->bypassBits : 0; }
    IZkEffectSlotOwner* Owner() const { return m_owner; }

private:
    bool EnsureBlock();
    // Puts (effect, share-set flag) into the slot and tells the owner when they differ.
    void Replace(uint32_t slotIndex, ZkUniqueID effectID, bool isShareSet);

    IZkEffectSlotOwner* m_owner;
    ZkEffectSlotBlock* m_block = nullptr;
};
} // namespace ZK::SoundEngine
