// CZkStateProperties: what every hierarchy node and effect object implements so that some of its
// properties follow state groups. For each group it subscribes to, the owner holds a
// CZkStateGroupLink; the link holds, per state, the bank's state object (CZkState) whose bundle gives
// the property values that apply while that state is current. When the state manager changes a
// group's state it moves the links' values (at once, or through transitions) and the owner is told
// of every change through OnStateValueChanged.
//
// Owners supply their storage (EnsureStateStorage / StateStorage) and decide what a value change
// does. Their destructors call ClearTransitions and RemoveAllStateGroups(false) while their storage
// still exists.
//
// Threading: audio thread, or under the global engine lock (bank loading).
// Ownership: the owner owns its links (memory pool 2) through its storage; links hold references on
// their state objects.
#pragma once

#include "ZkAudiolib/Common/Containers/ZkArray.h"
#include "ZkAudiolib/Common/Bytes/ZkByteCursor.h"
#include "ZkAudiolib/Common/StateProperties/ZkStatePropertyTypes.h"

#include <ZK/SoundEngine/Common/ZkResult.h>
#include <ZK/SoundEngine/Common/ZkTypes.h>

#include <cstdint>

namespace ZK::SoundEngine
{
class CZkStateProperties
{
public:
    CZkStateProperties() = default;
    virtual ~CZkStateProperties() = default;
    CZkStateProperties(const CZkStateProperties&) = delete;
    CZkStateProperties& operator=(const CZkStateProperties&) = delete;

    // A state transition on one of the owner's values was created: true keeps it running, false
    // makes the value jump to its target.
    virtual bool OnStateTransitionStarted(uint16_t propertyID) = 0;
    // A running state transition on one of the owner's values ended or was removed.
    virtual void OnStateTransitionEnded() = 0;
    // The owner has storage, at least one link, and the property is in its list.
    virtual bool IsStateDriven(uint16_t propertyID) const;
    virtual bool HasStateProperty(uint16_t propertyID) const;
    virtual void SetStateProperties(uint32_t count, const ZkStatePropertyInput* entries, bool apply);
    // Called at the end of ApplyCurrentStates: the owner reads its values back.
    virtual void OnStatesApplied() {}
    virtual void OnStateValueChanged(uint16_t /*propertyID*/, uint8_t /*kind*/, ZkUniqueID /*groupID*/,
                                     float /*oldValue*/, float /*newValue*/, bool /*transitionEnded*/)
    {
    }
    // After the property list or the state-use flag changed, and after a state chunk was read.
    virtual void OnStateUseChanged() {}
    virtual void RemoveStateGroup(ZkUniqueID groupID, bool apply);
    // The owner's link for the group, created when absent; null when no storage or the group is
    // unknown to the state manager.
    virtual CZkStateGroupLink* AddStateGroup(ZkUniqueID groupID, bool apply);
    // Makes the links and their states those of the records. 1; 52 no storage or no link; the last
    // failure of a state otherwise.
    virtual ZKRESULT SetStateGroups(uint32_t count, const ZkStateGroupInput* groups, const ZkStateInput* states);
    // Reads the state chunk of a node or effect-object bank body from cursor (moved past it on 1).
    // 1; 7 when a count or field runs past the body (nothing applied); 52; 2 unknown group; 16
    // missing state object.
    virtual ZKRESULT ReadStateChunk(ZK::ZkByteCursor& cursor);
    // Moves cursor past a state chunk without applying it: false when the chunk runs past the bytes
    // (for readers that check a whole body before applying any of it).
    static bool SkipStateChunk(ZK::ZkByteCursor& cursor);
    virtual bool EnsureStateStorage() = 0;
    virtual ZkStateStorage* StateStorage() const = 0;

    // Every link takes its current state's values (running transitions are retargeted at once).
    void ApplyCurrentStates();
    void RemoveAllStateGroups(bool apply);
    void ClearTransitions();
    void PauseTransitions(bool pause);
    // Appends the group's sync type to syncTypes (once); sync type 0 (immediate) leaves only 0.
    void CollectSyncType(ZkUniqueID groupID, ZK::ZkArray<uint32_t>& syncTypes) const;
    void SetStateEnabled(bool enabled);
    bool IsStateUseEnabled() const { return m_stateUse != 0; }

    CZkStateGroupLink* FindLink(ZkUniqueID groupID) const;
    const ZK::ZkArray<ZkStateProperty>* StatePropertyList() const;

private:
    bool ResizePropertyList(uint32_t count);
    void UnlinkAndDestroy(CZkStateGroupLink* link);

    uint8_t m_stateUse = 1;
};
} // namespace ZK::SoundEngine
