// ZkModulatorInstanceArray: modulator instances handed on from one play to the next (a container's
// next item, a run-time play action). Each element holds a reference on its instance and counts as
// one of its users, so a voice- or note-scope instance lives on while a later play may still join
// it. It grows as ZkArray does (c + c + c/2, 1 from empty).
//
// A plain record (a launch record carries one by value): a copy shares the block, and exactly one
// holder calls Term, which gives every element back and frees the block. CopyFrom makes a real
// copy (its own block, its own references).
//
// Threading: audio thread, under the global engine lock. Ownership: memory pool 0.
#pragma once

#include <ZK/SoundEngine/Common/ZkMemoryMgr.h>
#include <ZK/SoundEngine/Common/ZkResult.h>

#include <cstdint>

namespace ZK::SoundEngine
{
class CZkModulatorInstance;

struct ZkModulatorInstanceArray
{
    static constexpr ZkMemoryId kPool = ZkMemID_Default;

    CZkModulatorInstance** items = nullptr;
    uint32_t count = 0;
    uint32_t capacity = 0;

    uint32_t Length() const { return count; }
    CZkModulatorInstance* operator[](uint32_t index) const { return items[index]; }
    bool Contains(const CZkModulatorInstance* instance) const;

    // Appends the instance with a reference and a user. 1; 52 when the array cannot grow (the
    // instance is not taken).
    ZKRESULT Add(CZkModulatorInstance* instance);
    // Empties this array (its elements given back), then takes every element of other. 1; 52 when
    // the block cannot be had (the array stays empty).
    ZKRESULT CopyFrom(const ZkModulatorInstanceArray& other);
    // Every element loses its user and its reference; the block stays.
    void RemoveAll();
    // RemoveAll, then the block is freed.
    void Term();
};
} // namespace ZK::SoundEngine
