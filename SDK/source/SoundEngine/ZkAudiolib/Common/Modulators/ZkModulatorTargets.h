// The records that tie modulators to the objects whose parameters they drive.
//
// ZkModulatorTargetEntry: the modulators attached to one target object (a hierarchy node's
// parameter target list, a layer, an effect, another modulator), kept by the modulator manager in
// its target table by the target's address; each modulator pointer holds one reference.
// ZkModulatorTargetKey: what an object that starts modulators hands over: the target, the node
// whose play triggers them, the target's subscriber kind and the smallest scope its instances take.
// ZkModulatorKeyList: the {key, entry} pairs a play collected while its settings were gathered
// (eight inline, more in one block of memory pool 0), started together when the play starts.
//
// Threading: audio thread, under the global engine lock.
// Ownership: the manager owns the entries; a key list owns its block, not the entries (it lives no
// longer than the gathering and start of one play, during which no entry is freed).
#pragma once

#include "ZkAudiolib/Common/Containers/ZkArray.h"
#include "ZkAudiolib/Common/Containers/ZkInlineArray.h"

#include <cstdint>

namespace ZK::SoundEngine
{
class CZkHierarchyNode;
class CZkModulator;

struct ZkModulatorTargetKey
{
    const void* target = nullptr;
    CZkHierarchyNode* nodeInstance = nullptr; // the node whose play triggers (may be null)
    uint32_t kind = 0;                        // ZkRTPCSubscriberKind of the target
    int32_t minimumScope = 0;                 // 0 voice .. 3 global
};

struct ZkModulatorTargetEntry
{
    ZkModulatorTargetEntry* pNextItem = nullptr;
    uint32_t key = 0; // the target's address, truncated to 32 bits
    const void* target = nullptr;
    ZK::ZkArray<CZkModulator*> modulators; // each holds a reference

    static uint32_t KeyOf(const void* target) { return static_cast<uint32_t>(reinterpret_cast<uintptr_t>(target)); }
};

struct ZkModulatorKeyItem
{
    ZkModulatorTargetKey key;
    ZkModulatorTargetEntry* entry;
};

constexpr uint32_t kModulatorKeyListInline = 8;
using ZkModulatorKeyList = ZK::ZkInlineArray<ZkModulatorKeyItem, kModulatorKeyListInline>;
} // namespace ZK::SoundEngine
