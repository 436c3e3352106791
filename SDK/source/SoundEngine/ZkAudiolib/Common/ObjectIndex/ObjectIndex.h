// ObjectIndex: the one directory of the engine's reference-counted objects, one locked table per
// kind. Any thread finds an object by its 32-bit id and gets it with a reference added, which it
// releases when done. Banks' creators insert their objects; the last release removes them.
//
// Life cycle: construct, InitTables (engine Init), use, ReleaseSynthesizedObjects and bank clearing
// at engine Term, FreeTables, destroy. Tables start with kInitialBucketCount buckets and grow by
// CZkHashTable::Rehash as objects arrive, so large banks keep short chains.
//
// Threading: all operations may be called from any thread; each table has its own lock.
// Ownership: the index owns the tables' bucket arrays; objects are owned by their references.
#pragma once

#include "ZkAudiolib/Common/ObjectIndex/ZkIndexTable.h"

#include <ZK/SoundEngine/Common/ZkResult.h>
#include <ZK/SoundEngine/Common/ZkTypes.h>

#include <cstdint>

namespace ZK::SoundEngine
{
// The tables, in their fixed order.
enum class ZkIndexKind : uint32_t
{
    Nodes = 0,            // hierarchy nodes other than buses, music nodes, synthesized sound nodes
    Buses = 1,
    States = 2,
    Events = 3,
    Actions = 4,
    Layers = 5,           // layers of layered containers
    Attenuations = 6,
    Modulators = 7,
    DynamicSequences = 8, // created at run time
    DialogueEvents = 9,
    SharedEffects = 10,
    CustomEffects = 11,   // also source plug-in objects created at run time
    AudioDevices = 12,
    SettingsGroups = 13,  // the settings records of Init banks, found by plug-ins
};
constexpr uint32_t kIndexTableCount = 14;

// Id bit of the objects the engine synthesizes for source plug-ins; no bank object has it.
constexpr ZkUniqueID kSynthesizedObjectIdBit = 0x80000000u;

// A settings record (six values) as an Init bank's "STMG" chunk stores it.
struct ZkGroupEntryRecord
{
    ZkUniqueID id;
    float values[6];
};
static_assert(sizeof(ZkGroupEntryRecord) == 28, "group entries are seven 32-bit fields");

// A node named by id and bus flag.
struct ZkNodeKey
{
    ZkUniqueID id;
    uint8_t isBus;
};

class ObjectIndex
{
public:
    static constexpr uint32_t kInitialBucketCount = 11;

    ObjectIndex() = default;
    ~ObjectIndex() { FreeTables(); }
    ObjectIndex(const ObjectIndex&) = delete;
    ObjectIndex& operator=(const ObjectIndex&) = delete;

    // Gives every table kInitialBucketCount empty buckets. False when memory runs out (the tables
    // set up so far keep their buckets until FreeTables).
    bool InitTables();
    // Frees every bucket array; counts and capacities become 0.
    void FreeTables();

    ZkIndexTable& Table(ZkIndexKind kind) { return m_tables[static_cast<uint32_t>(kind)]; }
    ZkIndexTable& GetNodeTable(bool isBus) { return Table(isBus ? ZkIndexKind::Buses : ZkIndexKind::Nodes); }

    CZkIndexedObject* GetPtrAndAddRef(ZkIndexKind kind, ZkUniqueID id) { return Table(kind).GetPtrAndAddRef(id); }
    CZkIndexedObject* GetNodePtrAndAddRef(ZkUniqueID id, bool isBus) { return GetNodeTable(isBus).GetPtrAndAddRef(id); }
    CZkIndexedObject* GetNodePtrAndAddRef(const ZkNodeKey& key) { return GetNodePtrAndAddRef(key.id, key.isBus != 0); }

    // At termination: releases once every object of the node and custom-effect tables whose id has
    // kSynthesizedObjectIdBit set.
    void ReleaseSynthesizedObjects();
    // At termination, under the dynamic-sequence table's lock: each sequence that was not closed
    // drops its playing-id reference in the playing manager and the table's reference (a closed
    // one gave both back when it closed).
    void ReleaseDynamicSequences();

    // The settings object of id in the settings-group table gains a reference (its values stay as
    // they were), or a new one (count 1, the record's values) is made: 1; 2 out of memory.
    ZKRESULT FindOrCreateGroupEntry(ZkUniqueID id, const ZkGroupEntryRecord& record);
    // The record of the settings object of id, with a reference added on the object (the caller
    // releases it through the settings-group table); null when absent. Plug-ins reach it through
    // the global plug-in context.
    const ZkGroupEntryRecord* FindGroupEntry(ZkUniqueID id);
    // At termination: the settings objects go with all their references (banks keep no list of the
    // ones they read).
    void ReleaseGroupEntries();

private:
    ZkIndexTable m_tables[kIndexTableCount];
};

// The engine's object index; null before the engine's initialisation and after its termination.
extern ObjectIndex* g_pObjectIndex;
} // namespace ZK::SoundEngine
