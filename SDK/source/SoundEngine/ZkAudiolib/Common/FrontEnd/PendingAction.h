// PendingAction: one action of a posted event on its way to execution: the action, when it is due
// (frame and sample offset inside that frame), the post's play record (external sources and the
// MIDI event of a MIDI post), the post's playing id and the playing id the game named (the filter
// an action's commands use: 0 for any), the game object (null when the action acts for every game
// object) and, while it waits in the paused list, how many pauses hold it there.
//
// The event manager makes one per action of a post and hands it to EnqueuePendingAction, which
// takes the references on the action and the playing id; it gives both back when the record goes
// (executed or removed).
//
// Threading: engine thread, under the global engine lock.
// Ownership: the event manager's (memory pool 0). The record holds one reference on its game object
// and one on its external-source array; its destructor gives them back.
#pragma once

#include "ZkAudiolib/Common/GameObjects/CZkRegisteredObj.h"
#include "ZkAudiolib/Common/Hierarchy/PlayLaunchParams.h"

#include <ZK/SoundEngine/Common/ZkMemoryMgr.h>
#include <ZK/SoundEngine/Common/ZkTypes.h>

#include <cstdint>

namespace ZK::SoundEngine
{
class CZkEventAction;
class ZkExternalSourceArray;

// What a post hands to each of its actions besides the game object: the external sources (a
// reference each holder takes) and, for a MIDI post, the MIDI event and its value.
struct ZkPlayRecord
{
    ZkExternalSourceArray* externalSources = nullptr;
    ZkMidiEvent midiEvent;
    uint32_t midiValue = 0;
};

class PendingAction
{
public:
    static constexpr ZkMemoryId kPool = ZkMemID_Default;

    // Takes a reference on the game object (null: every game object).
    PendingAction(CZkEventAction* pendingAction, CZkRegisteredObj* object);
    // Gives back the game object's and the external sources' references.
    ~PendingAction();
    PendingAction(const PendingAction&) = delete;
    PendingAction& operator=(const PendingAction&) = delete;

    // Takes a reference on the record's external sources.
    void SetPlayRecord(const ZkPlayRecord& record);
    const ZkPlayRecord& PlayRecord() const { return m_play; }
    CZkRegisteredObj* GameObject() const { return m_gameObject; }

    CZkEventAction* action;
    uint32_t dueFrame = 0;
    uint32_t sampleOffset = 0; // samples into the due frame, handed to the action
    uint32_t pausedAtFrame = 0;
    ZkPlayingID playingID = 0;
    ZkPlayingID playingIDFilter = 0; // the playing id the game named when posting (0: any)
    uint32_t pauseCount = 0;         // pauses beyond the first while in the paused list
    bool isPaused = false;           // in the paused list (else the active list, or not yet listed)
    PendingAction* pNextExtracted = nullptr; // chains the records a walker took out of a list

private:
    ZkPlayRecord m_play;
    CZkRegisteredObj* m_gameObject;
};
} // namespace ZK::SoundEngine
