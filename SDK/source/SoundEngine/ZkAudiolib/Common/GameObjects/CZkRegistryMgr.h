// CZkRegistryMgr: the engine's table of registered game objects. It owns the CZkRegisteredObj
// records, hands them out by id, keeps the active-emitter set (emitters updated every tick), and
// executes the messages that register, unregister, position and route game objects.
//
// Game-object ids are 64-bit; the table buckets them by the low 32 bits modulo a prime bucket count
// and grows as the engine's hash tables do (29, 53, 97, ... at a load above 0.9).
//
// Threading: everything runs on the engine thread inside the tick, or on the game thread inside a
// query that holds the global engine lock. The registry has no lock of its own.
// Ownership: one registry (memory pool 16), reached through g_pRegistryMgr; it holds one reference
// on each registered object. Init/Term leave no state behind.
#pragma once

#include "ZkAudiolib/Common/Containers/CZkHashTable.h"
#include "ZkAudiolib/Common/Containers/ZkArray.h"
#include "ZkAudiolib/Common/GameObjects/CZkListenerRouting.h"
#include "ZkAudiolib/Common/GameObjects/CZkObjectValueList.h"
#include "ZkAudiolib/Common/GameObjects/CZkRegisteredObj.h"
#include "ZkAudiolib/Common/GameObjects/ZkIdHashSet.h"
#include "ZkAudiolib/Common/GameObjects/ZkNodeIdList.h"
#include "ZkAudiolib/Common/GameObjects/ZkSortedIdArray.h"

#include <ZK/SoundEngine/Common/ZkPositionTypes.h>
#include <ZK/SoundEngine/Common/ZkResult.h>
#include <ZK/SoundEngine/Common/ZkTypes.h>

#include <cstdint>

namespace ZK::SoundEngine
{
class CZkEmitter;

class CZkRegistryMgr
{
public:
    static constexpr ZkMemoryId kPool = ZkMemID_EngineSingletons;
    static constexpr uint32_t kInitialActiveEmitters = 128;
    static constexpr uint32_t kNoLastHash = 0xFFFFFFFFu;

    CZkRegistryMgr() = default;
    ~CZkRegistryMgr() { Term(); }
    CZkRegistryMgr(const CZkRegistryMgr&) = delete;
    CZkRegistryMgr& operator=(const CZkRegistryMgr&) = delete;

    // 1, or 52 when an allocation fails (nothing is kept).
    ZKRESULT Init();
    // Unregisters everything (the engine's own object last) and frees all storage.
    void Term();

    CZkRegisteredObj* GetObj(ZkGameObjectID id) const;
    // Calls visit(object) for every registered object; visit must not register or unregister.
    template <typename Visit>
    void ForEachObject(Visit visit) const
    {
        for (uint32_t bucket = 0; bucket < m_objects.BucketCount(); ++bucket)
        {
            for (const TableNode* node = m_objects.Bucket(bucket); node != nullptr; node = node->pNextItem)
                visit(*node->object);
        }
    }
    CZkRegisteredObj* GetObjAndAddref(ZkGameObjectID id);
    bool IsGameObjectActive(ZkGameObjectID id) const;
    // Appends every active object's id. 1, or 52 when the array cannot grow.
    ZKRESULT GetActiveGameObjects(ZK::ZkArray<ZkGameObjectID>& ids) const;
    uint32_t ObjectCount() const { return m_objects.Length(); }
    uint32_t BucketCount() const { return m_objects.BucketCount(); }

    // --- Messages ---
    // Registers an object (again: no change). 1; 2 out of memory (nothing is left behind).
    ZKRESULT RegisterObject(ZkGameObjectID id);
    // 1; 2 for an unknown id. A held object stays alive, unregistered, until its last holder.
    ZKRESULT UnregisterObject(ZkGameObjectID id);
    // Unregisters every object except the engine's own and the ids of keepList (null: keep none).
    void UnregisterAll(const ZkSortedIdArray* keepList);
    // 1; 2 for an unknown id or an object without emitter; 52 when the positions find no memory.
    ZKRESULT SetPosition(ZkGameObjectID id, const ZkChannelEmitter* records, uint32_t count, uint32_t mode);
    // 1; 2 unknown id; 31 for a factor that is not finite and positive.
    ZKRESULT SetScalingFactor(ZkGameObjectID id, float factor);
    // The routing messages (14, 16, 17, 19, 20). Each: 1, 2 for an unknown object, 52 when the
    // routing cannot be made; the operations that change which listeners are heard mark the mix
    // graph for a refresh.
    ZKRESULT SetListeners(ZkGameObjectID id, const ZkListenerSet& listeners, ZkListenerOperation operation);
    ZKRESULT SetDefaultListeners(const ZkListenerSet& listeners, ZkListenerOperation operation);
    ZKRESULT ResetListenersToDefault(ZkGameObjectID id);
    ZKRESULT SetGameObjectAuxSendValues(ZkGameObjectID id, const ZkAuxSendValue* values, uint32_t count);
    ZKRESULT SetGameObjectOutputBusVolume(ZkGameObjectID emitterID, ZkGameObjectID listenerID, float volume);
    // 1; 2 unknown emitter object or no emitter; 52 out of memory.
    ZKRESULT SetObjectObstructionAndOcclusion(ZkGameObjectID emitterID, ZkGameObjectID listenerID, float obstruction,
                                              float occlusion);
    ZKRESULT SetMultipleObstructionAndOcclusion(ZkGameObjectID emitterID, ZkGameObjectID listenerID,
                                                const ZkObstructionOcclusionValues* values, uint32_t count);

    // --- Active emitters ---
    ZKRESULT ActivateEmitter(CZkGameObject* object);
    void DeactivateEmitter(CZkGameObject* object);
    uint32_t ActiveEmitterCount() const { return m_activeEmitters.Length(); }
    CZkEmitter* ActiveEmitter(uint32_t index) const { return m_activeEmitters[index]; }
    bool IsEmitterActive(const CZkEmitter* emitter) const;
    static uint32_t EmitterHash(const CZkEmitter* emitter);

    // Gives a registered object a listener component (an id that names no registered object: none).
    void EnsureListener(ZkGameObjectID listenerID);

    // --- Per tick ---
    // Puts a listener whose position, orientation or scaling changed into the dirty-listener list.
    ZKRESULT AddDirtyListener(ZkGameObjectID id) { return m_dirtyListeners.Add(id); }
    uint32_t DirtyListenerCount() const { return m_dirtyListeners.Length(); }
    void FlushDirtyGameObjects();
    // 1; 52 when a dirty emitter's geometry cannot be made (that emitter stays dirty).
    ZKRESULT UpdatePositions();

    // --- Value lists ---
    ZKRESULT RecordObjectValue(CZkGameObject* object, uint32_t key, uint32_t value);
    ZKRESULT AddObjectValue(CZkGameObject* object, uint32_t key, ZkObjectValue value);
    ZkObjectValue GetObjectValue(CZkGameObject* object, uint32_t key) const;
    ZKRESULT ClearObjectValue(uint32_t key, CZkGameObject* object);

    // Hierarchy nodes keeping runtime data without a game object.
    ZKRESULT AddNodeWithoutObject(ZkUniqueID id, bool isBus) { return m_nodesWithoutObject.Add(id, isBus); }
    const ZkNodeIdList& NodesWithoutObject() const { return m_nodesWithoutObject; }

private:
    struct TableNode
    {
        TableNode* pNextItem = nullptr;
        uint32_t bucketKey = 0; // low 32 bits of the id
        ZkGameObjectID id = 0;
        CZkRegisteredObj* object = nullptr;
    };
    using ObjectTable = ZK::CZkHashTable<TableNode, &TableNode::pNextItem, &TableNode::bucketKey>;

    TableNode* FindNode(ZkGameObjectID id) const;
    void RemoveNode(TableNode* node);
    int32_t FindActiveSlot(uint32_t hash, const CZkEmitter* emitter) const;
    void UpdateEmitter(CZkEmitter* emitter, ZKRESULT& result);

    ZkNodeIdList m_nodesWithoutObject;
    ObjectTable m_objects;
    ZkIdHashSet m_activeSet;
    ZK::ZkArray<CZkEmitter*> m_activeEmitters;
    uint32_t m_lastInsertedHash = kNoLastHash;
    ZkSortedIdArray m_dirtyListeners;
};

extern CZkRegistryMgr* g_pRegistryMgr;
} // namespace ZK::SoundEngine
