// ZkValueContributions: the gain factors that make up a playing instance's gain besides its fades:
// one per (owner, kind) — the modified-property gains of the nodes on the play's way (kind 0 for a
// game object's record, 1 for the global one), and factors that other parts set on the instance.
// A kind may carry the kept bit: such entries survive the evaluation of the node's properties, the
// others are dropped and gathered again.
//
// Threading: engine thread, under the global engine lock. Ownership: owns its array (pool 0).
#pragma once

#include "ZkAudiolib/Common/Containers/ZkArray.h"

#include <cstdint>

namespace ZK::SoundEngine
{
class ZkValueContributions
{
public:
    static constexpr uint8_t kKindBit = 0x01;
    static constexpr uint8_t kKeptBit = 0x02;

    struct Entry
    {
        const void* owner;
        uint8_t kind;
        float factor;
    };

    // Keyed by (owner, kind bit). With exclusive, an owner holds one kind only: a kind-1 factor
    // does not replace the owner's kind-0 entry (false, nothing changes), a kind-0 factor replaces
    // its kind-1 entry. Then a factor other than 1.0 (or any factor, exclusive with kind 0) is added
    // or replaces the entry; otherwise the entry is removed. True (an entry that cannot be added is
    // left out).
    bool Set(float factor, const void* owner, uint8_t kind, bool exclusive);
    // Removes the entry of (owner, kind bit); false when there is none.
    bool Remove(const void* owner, uint8_t kind);
    // Drops every entry without the kept bit.
    void DropUnkept();
    // The product of the factors (1.0 when empty).
    float Product() const;
    uint32_t Length() const { return m_entries.Length(); }
    const Entry& operator[](uint32_t index) const { return m_entries[index]; }
    void Term() { m_entries.Term(); }

private:
    // Index of the (owner, kind bit) entry, or Length().
    uint32_t IndexOf(const void* owner, uint8_t kind) const;

    ZK::ZkArray<Entry> m_entries;
};
} // namespace ZK::SoundEngine
