// CZkGameObject: the engine's record of one game object (a 64-bit id chosen by the game): its
// parameter scope, ten component slots created on first need, its reference count and its
// registered flag.
//
// Reference counting: the registry holds the first reference. Holders that keep an object beyond
// the current message (playing instances, pending actions, MIDI targets, music contexts) take one
// with AddRef and give it back with Release. An object is active while its count exceeds 1, or
// while it is unregistered but still held; active objects have their emitter in the registry's
// active-emitter set. The last Release destroys the object.
//
// Threading: audio thread, or the game thread under the global engine lock.
// Ownership: the registry and the holders own it by their references (memory pool 4); the object
// owns its components.
#pragma once

#include "ZkAudiolib/Common/GameObjects/CZkObjectComponent.h"
#include "ZkAudiolib/Common/GameObjects/CZkParamScope.h"

#include <ZK/SoundEngine/Common/ZkMemoryMgr.h>
#include <ZK/SoundEngine/Common/ZkResult.h>
#include <ZK/SoundEngine/Common/ZkTypes.h>

#include <cstdint>

namespace ZK::SoundEngine
{
class CZkEmitter;
class CZkListenerRouting;
class CZkGeometryParams;
class CZkListener;
class CZkObjectValueList;
class CZkPerObjectNodeList;
class CZkTrackedNodeSet;
class ZkSortedIdArray;

enum ZkComponentSlot : uint32_t
{
    ZkComponentSlot_Emitter = 0,
    ZkComponentSlot_ListenerRouting = 1,
    ZkComponentSlot_Geometry = 2,
    ZkComponentSlot_Listener = 3,
    ZkComponentSlot_PerObjectNodeList = 4,
    ZkComponentSlot_ValueList = 5,
    ZkComponentSlot_TrackedNodeSet = 6,
    ZkComponentSlotCount = 10,
};

class CZkGameObject
{
public:
    static constexpr ZkMemoryId kPool = ZkMemID_GameObjects;

    explicit CZkGameObject(ZkGameObjectID id) : m_id(id) {}
    virtual ~CZkGameObject();
    CZkGameObject(const CZkGameObject&) = delete;
    CZkGameObject& operator=(const CZkGameObject&) = delete;

    ZkGameObjectID ID() const { return m_id; }
    uint32_t RefCount() const { return m_refCount; }
    bool IsRegistered() const { return m_registered != 0; }
    bool IsActive() const { return m_refCount > 1 || !IsRegistered(); }
    CZkParamScope& ParamScope() { return m_paramScope; }

    // Takes a reference (activating the emitter when the object becomes active).
    void AddRef();
    // Gives one back (deactivating the emitter when it stops being active); the last one destroys
    // the object, which must not be used afterwards.
    void Release();
    // The registry lets its own reference go (the object becomes unregistered).
    void ReleaseRegistryReference();

    // Existing components (null when absent).
    CZkEmitter* Emitter() const;
    CZkListener* Listener() const;
    CZkListenerRouting* ListenerRouting() const;
    CZkGeometryParams* Geometry() const;
    CZkObjectValueList* ValueList() const;
    CZkPerObjectNodeList* PerObjectNodeList() const;
    CZkTrackedNodeSet* TrackedNodeSet() const;

    // The object's own routing, else the default routing (null when neither exists). No creation.
    CZkListenerRouting* GetListenerRouting() const;
    // The listeners the object's emitter is heard by (own routing or default; empty when none).
    const ZkSortedIdArray& GetListenerSet() const;
    // Positions x listeners: the standard rays of the geometry; 0 without emitter.
    uint32_t GetRayCount() const;
    // A game parameter bound to built-in type `type` (1 to 9) is read for this object: an object
    // with an emitter has its geometry mark the type in use and bring the built-in values up to
    // date first (when the type is new or the emitter moved). 1 (also without an emitter); 52 when
    // the geometry cannot be made.
    ZKRESULT UseBuiltInParam(uint32_t type);

    // Components created on first need: null when out of memory or when the component's Init
    // refuses; the second form reports why (52, or the Init result).
    CZkEmitter* GetOrCreateEmitter();
    CZkListener* GetOrCreateListener();
    CZkListenerRouting* GetOrCreateListenerRouting(ZKRESULT* result = nullptr);
    CZkGeometryParams* GetOrCreateGeometry(ZKRESULT* result = nullptr);
    CZkObjectValueList* GetOrCreateValueList();
    CZkTrackedNodeSet* GetOrCreateTrackedNodeSet();

    CZkObjectComponent* Slot(uint32_t slot) const { return m_slots[slot]; }

protected:
    template <typename T>
    T* GetOrCreate(uint32_t slot, ZKRESULT* result);
    void DestroyComponents();

private:
    void DestroySelf();

    CZkParamScope m_paramScope;
    CZkObjectComponent* m_slots[ZkComponentSlotCount] = {};
    ZkGameObjectID m_id;
    uint32_t m_refCount = 1;
    uint8_t m_registered = 1;
};
} // namespace ZK::SoundEngine
