#include "ZkAudiolib/Common/Hierarchy/CZkNodeParams.h"

#include "ZkAudiolib/Common/Containers/ZkNew.h"
#include "ZkAudiolib/Common/ObjectIndex/ObjectIndex.h"

namespace ZK::SoundEngine
{
namespace
{
constexpr size_t kListEntryBytes = 7;
constexpr int32_t kBankPriority = 0;
} // namespace

bool CZkNodeParams::EnsureBlock()
{
    if (m_block == nullptr)
        m_block = ZK::ZkNew<ZkEffectSlotBlock>(kPool);
    return m_block != nullptr;
}

void CZkNodeParams::Free()
{
    ZK::ZkDelete(kPool, m_block);
    m_block = nullptr;
}

void CZkNodeParams::Replace(uint32_t slotIndex, ZkUniqueID effectID, bool isShareSet)
{
    ZkEffectSlot& slot = m_block->slots[slotIndex];
    const uint8_t shareSet = isShareSet ? 1 : 0;
    if (slot.effectID == effectID && slot.isShareSet == shareSet)
        return;
    slot.effectID = effectID;
    slot.isShareSet = shareSet;
    if (m_owner != nullptr)
    {
        m_owner->OnEffectSlotChanged(slot);
        m_owner->OnEffectSlotIndexChanged(slotIndex);
    }
}

ZKRESULT CZkNodeParams::SetSlotValue(uint32_t slotIndex, ZkUniqueID effectID, bool isShareSet, int32_t priority)
{
    if (slotIndex >= kEffectSlotCount)
        return ZK_InvalidParameter;
    if (!EnsureBlock())
        return ZK_InsufficientMemory;
    if (priority < m_block->priority)
        return ZK_Success;
    m_block->priority = priority;
    Replace(slotIndex, effectID, isShareSet);
    return ZK_Success;
}

ZKRESULT CZkNodeParams::SetSlotRendered(uint32_t slotIndex, bool rendered)
{
    if (slotIndex >= kEffectSlotCount)
        return ZK_InvalidParameter;
    if (!rendered && m_block == nullptr)
        return ZK_Success;
    if (!EnsureBlock())
        return ZK_InsufficientMemory;
    m_block->slots[slotIndex].rendered = rendered ? 1 : 0;
    if (rendered && m_block->slots[slotIndex].effectID != 0)
        Replace(slotIndex, 0, false);
    return ZK_Success;
}

ZKRESULT CZkNodeParams::SetBypassBits(uint8_t value, uint8_t mask)
{
    if (value == 0 && m_block == nullptr)
        return ZK_Success;
    if (!EnsureBlock())
        return ZK_InsufficientMemory;
    m_block->bypassBits = static_cast<uint8_t>((value & mask) | (m_block->bypassBits & ~mask));
    return ZK_Success;
}

ZKRESULT CZkNodeParams::ReadEffectList(ZK::ZkByteCursor& cursor)
{
    ZK::ZkByteCursor check = cursor;
    uint8_t count = 0;
    if (!check.Read(count))
        return ZK_InvalidFile;
    if (count == 0)
    {
        cursor = check;
        return ZK_Success;
    }
    uint8_t bypass = 0;
    if (!check.Read(bypass) || !check.Holds(count, kListEntryBytes))
        return ZK_InvalidFile;
    for (uint32_t index = 0; index < count; ++index)
    {
        const uint8_t* entry = check.Take(kListEntryBytes);
        const uint8_t slotIndex = entry[0];
        const auto effectID = ZK::LoadLittleEndian<uint32_t>(entry + 1);
        if (effectID == 0)
            continue;
        if (slotIndex >= kEffectSlotCount)
            return ZK_InvalidParameter;
        if (!EnsureBlock())
            return ZK_InsufficientMemory;
        // A value set with a priority (by the game) is not replaced by a bank's.
        if (m_block->priority >= 1)
            continue;
        m_block->priority = kBankPriority;
        Replace(slotIndex, effectID, entry[5] != 0);
    }
    cursor = check;
    return SetBypassBits(bypass, kBypassMaskAll);
}

CZkIndexedObject* CZkNodeParams::GetReferencedObject(uint32_t slotIndex) const
{
    if (m_block == nullptr || slotIndex >= kEffectSlotCount || g_pObjectIndex == nullptr)
        return nullptr;
    const ZkEffectSlot& slot = m_block->slots[slotIndex];
    if (slot.effectID == 0)
        return nullptr;
    return g_pObjectIndex->GetPtrAndAddRef(slot.isShareSet != 0 ? ZkIndexKind::SharedEffects : ZkIndexKind::CustomEffects,
                                           slot.effectID);
}
} // namespace ZK::SoundEngine
