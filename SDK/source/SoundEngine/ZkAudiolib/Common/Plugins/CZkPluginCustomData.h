// CZkPluginCustomData: the engine-wide table of the opaque blocks the game hands to plug-ins
// (SendPluginCustomGameData, message 53). A block is addressed by the object that hosts the
// plug-in (a bus's node id), a game object, and the plug-in's key (ZkMakePluginKey of its type,
// company and id). A block sent for the invalid game object (all bits set) serves every game object
// that has no block of its own.
//
// Threading: none of its own. The table is changed only by the message handler and read only by
// plug-in processing, both on the engine thread under the global engine lock; Clear runs at the
// renderer's end.
// Ownership: the table (memory pool 0) owns the blocks posted as owned (memory pool 5, the copies
// the interface makes) and frees them on replacement, removal and Clear.
#pragma once

#include <ZK/SoundEngine/Common/ZkMemoryMgr.h>
#include <ZK/SoundEngine/Common/ZkResult.h>
#include <ZK/SoundEngine/Common/ZkTypes.h>

#include <cstdint>

namespace ZK::SoundEngine
{
class CZkPluginCustomData
{
public:
    static constexpr ZkMemoryId kTablePool = ZkMemID_Default;
    static constexpr ZkMemoryId kDataPool = ZkMemID_Processing;
    static constexpr ZkGameObjectID kAnyGameObject = ~ZkGameObjectID{0};

    // Stores data (size bytes) for (object, game object, plug-in), replacing the block there (freed
    // when owned); null data or size 0 removes the entry. 1; 52 when the table cannot grow (an
    // owned block is then freed).
    static ZKRESULT Post(ZkUniqueID objectID, ZkGameObjectID gameObject, uint32_t pluginType, uint32_t companyID,
                         uint32_t pluginID, void* data, uint32_t size, bool owned);
    // The block for (object, game object, plug-in key), else the one for (object, any game object,
    // plug-in key); null and 0 when neither exists.
    static void Find(ZkUniqueID objectID, ZkGameObjectID gameObject, uint32_t pluginKey, const void*& data,
                     uint32_t& size);
    // Frees every owned block, then the table.
    static void Clear();

    static uint32_t EntryCount();
};
} // namespace ZK::SoundEngine
