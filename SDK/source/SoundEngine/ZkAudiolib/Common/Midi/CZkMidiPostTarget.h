// CZkMidiPostTarget: the sender of the MIDI that the game posts on one playing id, for one node
// and game object. Its queue holds the posted events in ascending sample offset (counted from the
// start of the frame being prepared); each frame its manager takes out those that fall in the frame
// and lowers the others' offsets by the frame's length. A paused target keeps its queue as it is.
//
// Threading: audio thread. Ownership: reference counted, memory pool 0; the manager's list holds
// the first reference. The queue's nodes are its own (pool 0).
#pragma once

#include "ZkAudiolib/Common/Midi/CZkMidiTarget.h"

#include <ZK/SoundEngine/Common/ZkCallbackTypes.h>
#include <ZK/SoundEngine/Common/ZkMemoryMgr.h>

namespace ZK::SoundEngine
{
class CZkMidiPostMgr;

class CZkMidiPostTarget final : public CZkMidiTarget
{
public:
    static constexpr ZkMemoryId kPool = ZkMemID_Default;
    static constexpr uint8_t kKeepAlive = 0x01;
    static constexpr uint8_t kStopped = 0x02;
    static constexpr uint8_t kPaused = 0x04;

    struct QueuedEvent
    {
        ZkMIDIEvent event;
        uint32_t offset;
        QueuedEvent* next;
    };

    // A new target (count 1), not yet initialised; null out of memory.
    static CZkMidiPostTarget* Create(CZkMidiPostMgr& owner, CZkRegisteredObj* gameObject, ZkUniqueID nodeID,
                                     ZkPlayingID playingID);

    // Inserted after the queued events of an equal or earlier offset; false out of memory.
    bool Enqueue(const ZkMIDIEvent& event, uint32_t offset);
    // Moves the events with an offset under frames to take (event, offset), in order, and lowers
    // the others' offsets by frames.
    template <typename Take>
    void TakeFrame(uint32_t frames, Take take);
    void ClearQueue();

    bool HasQueuedEvents() const override { return m_head != nullptr; }
    CZkMidiDispatcher* GetOwner() const override;
    void MarkStopped() override;

    uint8_t TargetFlags() const { return m_flags; }
    void SetPaused(bool paused) { m_flags = static_cast<uint8_t>(paused ? m_flags | kPaused : m_flags & ~kPaused); }
    bool IsPaused() const { return (m_flags & kPaused) != 0; }

    CZkMidiPostTarget(CZkMidiPostMgr& owner, CZkRegisteredObj* gameObject, ZkUniqueID nodeID, ZkPlayingID playingID)
        : CZkMidiTarget(gameObject, nodeID, playingID), m_owner(&owner)
    {
    }
    ~CZkMidiPostTarget() override { ClearQueue(); }

protected:
    void Free() override;

private:
    CZkMidiPostMgr* m_owner;
    QueuedEvent* m_head = nullptr;
    QueuedEvent* m_tail = nullptr;
    uint8_t m_flags = 0;
};

template <typename Take>
void CZkMidiPostTarget::TakeFrame(uint32_t frames, Take take)
{
    while (m_head != nullptr && m_head->offset < frames)
    {
        QueuedEvent* due = m_head;
        m_head = due->next;
        if (m_head == nullptr)
            m_tail = nullptr;
        take(due->event, due->offset);
        ZK::MemoryMgr::Free(kPool, due);
    }
    for (QueuedEvent* later = m_head; later != nullptr; later = later->next)
        later->offset -= frames;
}
} // namespace ZK::SoundEngine
