// What a switch container plays for each value of its group and how each child follows a change:
// CZkSwitchValueEntry (a value and the ids of the children assigned to it, in bank order, each id
// once) in CZkSwitchValueList, and CZkSwitchChildSettings (fade times and the change flags of one
// child) in CZkSwitchChildSettingsTable, sorted by child id. A child without settings stops
// nothing and fades nothing: mode 0, times 0, no flags.
//
// Threading: audio thread (bank loading under the global engine lock).
// Ownership: the container's; entries are pool 0 (a block for the count the bank announces, then
// single entries), their id arrays keep one id inline.
#pragma once

#include "ZkAudiolib/Common/Containers/ZkArray.h"
#include "ZkAudiolib/Common/Containers/ZkInlineArray.h"

#include <ZK/SoundEngine/Common/ZkResult.h>
#include <ZK/SoundEngine/Common/ZkTypes.h>

#include <cstdint>

namespace ZK::SoundEngine
{
struct CZkSwitchValueEntry
{
    CZkSwitchValueEntry* next = nullptr;
    ZkUniqueID value = 0;
    ZK::ZkInlineArray<ZkUniqueID, 1> children;
    bool fromBlock = false;

    bool Contains(ZkUniqueID child) const
    {
        for (ZkUniqueID id : children)
        {
            if (id == child)
                return true;
        }
        return false;
    }
};

class CZkSwitchValueList
{
public:
    CZkSwitchValueList() = default;
    ~CZkSwitchValueList() { Clear(); }
    CZkSwitchValueList(const CZkSwitchValueList&) = delete;
    CZkSwitchValueList& operator=(const CZkSwitchValueList&) = delete;

    // Makes room for count more entries in one block (the bank's count). 1; 2 out of memory.
    ZKRESULT Reserve(uint32_t count);
    // Appends child to value's entry (a new entry at the end for a new value). 1; 57 when the
    // value already lists the child; 2 out of memory.
    ZKRESULT Assign(ZkUniqueID value, ZkUniqueID child);
    // The entry of value; null when it has none.
    const CZkSwitchValueEntry* Find(ZkUniqueID value) const;
    const CZkSwitchValueEntry* First() const { return m_head; }
    void Clear();

private:
    CZkSwitchValueEntry* NewEntry();

    CZkSwitchValueEntry* m_head = nullptr;
    CZkSwitchValueEntry* m_tail = nullptr;
    // Unused entries of the block, and the blocks themselves (each block's first word links them).
    CZkSwitchValueEntry* m_spare = nullptr;
    uint32_t m_spareCount = 0;
    void* m_blocks = nullptr;
};

struct CZkSwitchChildSettings
{
    static constexpr uint8_t kModeMask = 0x07;
    static constexpr uint8_t kFirstOnly = 0x08;
    static constexpr uint8_t kContinueAcross = 0x10;
    // Mode 1 stops the child with its fade-out at a change; any other lets it finish.
    static constexpr uint8_t kModeStopWithFade = 1;

    ZkUniqueID childID = 0;
    uint32_t fadeOutMs = 0;
    uint32_t fadeInMs = 0;
    uint8_t flags = 0;

    uint8_t Mode() const { return flags & kModeMask; }
    bool FirstOnly() const { return (flags & kFirstOnly) != 0; }
    bool ContinueAcross() const { return (flags & kContinueAcross) != 0; }
    // The flags as stored from the bank's two bytes.
    static uint8_t FromBank(uint8_t flagsHigh, uint8_t mode)
    {
        return static_cast<uint8_t>(((flagsHigh & 3) << 3) | (mode & kModeMask));
    }
};

class CZkSwitchChildSettingsTable
{
public:
    // Inserts or overwrites the child's settings. 1; 2 out of memory.
    ZKRESULT Set(const CZkSwitchChildSettings& settings);
    void Remove(ZkUniqueID child);
    // The child's settings, or the defaults (mode 0, times 0, no flags).
    CZkSwitchChildSettings For(ZkUniqueID child) const;
    uint32_t Length() const { return m_settings.Length(); }
    void Clear() { m_settings.Term(); }

private:
    uint32_t LowerBound(ZkUniqueID child, bool& found) const;

    ZK::ZkArray<CZkSwitchChildSettings> m_settings;
};
} // namespace ZK::SoundEngine
