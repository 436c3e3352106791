// CZkMidiTarget: the sender of MIDI events to one node for one game object under one playing id.
// Posted MIDI makes a CZkMidiPostTarget per (node, playing id, game object); a track player would be
// another kind, with a manager of its own. The MIDI manager's dispatch (CZkMidiDispatcher) knows a
// sender only through this class: its node, game object and playing id, whether a stop was asked of
// it and whether it still has events queued.
//
// Life cycle: made with a count of 1 (its manager's), Init (the node found, a pending reference on
// the playing id, linked into the manager's list), used, MarkStopped (once: the playing id's
// reference goes back), destroyed by its last Release. Note events and dispatch entries hold
// references while they refer to it.
//
// Threading: audio thread. Ownership: reference counted (the subclass's pool); it holds a reference
// on its game object and its node.
#pragma once

#include <ZK/SoundEngine/Common/ZkResult.h>
#include <ZK/SoundEngine/Common/ZkTypes.h>

#include <cstdint>

namespace ZK::SoundEngine
{
class CZkHierarchyNode;
class CZkMidiDispatcher;
class CZkPlayableNode;
class CZkRegisteredObj;

class CZkMidiTarget
{
public:
    CZkMidiTarget(CZkRegisteredObj* gameObject, ZkUniqueID nodeID, ZkPlayingID playingID);
    virtual ~CZkMidiTarget();
    CZkMidiTarget(const CZkMidiTarget&) = delete;
    CZkMidiTarget& operator=(const CZkMidiTarget&) = delete;

    // The node found (2 when it is not loaded) and the playing id's pending reference taken.
    virtual ZKRESULT Init();
    // A stop was asked of the sender and its voices stop with their fade (track players).
    virtual bool IsStopRequested() const { return false; }
    virtual bool HasQueuedEvents() const = 0;
    // The manager that dispatches the target's events (null once stopped).
    virtual CZkMidiDispatcher* GetOwner() const = 0;
    // Once: stopped, the playing id's pending reference given back, the owner forgotten.
    virtual void MarkStopped();

    void AddRef() { ++m_refCount; }
    // At 0 the target is destroyed (its subclass frees it).
    void Release();
    uint32_t RefCount() const { return m_refCount; }

    CZkRegisteredObj* GameObject() const { return m_gameObject; }
    bool HasNoGameObject() const { return m_noGameObject; }
    ZkUniqueID NodeID() const { return m_nodeID; }
    CZkPlayableNode* Node() const { return m_node; }
    // The target is a bus (found among the buses): it takes controllers only, and has no Node().
    bool TargetsBus() const { return m_bus != nullptr; }
    ZkPlayingID PlayingID() const { return m_playingID; }
    bool IsStopped() const { return m_stopped; }

    CZkMidiTarget* pNextTarget = nullptr; // the manager's list

protected:
    // The node by id from the object index (among the buses when the id names one), with a
    // reference; false when it is not loaded.
    bool FindNode();
    // The node id names a bus (set before Init): a bus takes the controllers only.
    void NameBus(bool isBus) { m_nodeIsBus = isBus; }
    // Frees the target (its subclass's pool).
    virtual void Free() = 0;

private:
    CZkRegisteredObj* m_gameObject;
    ZkPlayingID m_playingID;
    ZkUniqueID m_nodeID;
    CZkPlayableNode* m_node = nullptr;
    CZkHierarchyNode* m_bus = nullptr; // a reference held when the target is a bus
    bool m_noGameObject;
    bool m_nodeIsBus = false;
    bool m_stopped = false;
    bool m_holdsPlayingID = false;
    uint32_t m_refCount = 1;
};
} // namespace ZK::SoundEngine
