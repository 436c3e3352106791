// The channel messages a MIDI track reader finds due in one advance: a singly linked list in time
// order, each entry with its offset in ms from the start of the advanced span and the number of
// its event in the track. The track player turns them into dispatch entries.
//
// Threading: audio thread only, as the reader that fills the list.
// Ownership: the list owns its entries (memory pool 0, one allocation per entry); Clear frees them.
// An entry that cannot be allocated is dropped: the list keeps the events it could hold.
#pragma once

#include <ZK/SoundEngine/Common/ZkMemoryMgr.h>

#include <cstdint>

namespace ZK::MusicEngine
{
// One channel message as the engine's event records carry it: the status's high nibble (a note on
// with velocity 0 is given as a note off), the channel, and the data bytes (the second is 0 for
// program change and channel pressure).
struct ZkMidiChannelMessage
{
    uint8_t type = 0;
    uint8_t channel = 0;
    uint8_t data1 = 0;
    uint8_t data2 = 0;
};

struct ZkMidiDueEvent
{
    ZkMidiChannelMessage message;
    float offsetMs = 0.0f;
    uint32_t eventNumber = 0;
    ZkMidiDueEvent* next = nullptr;
};

class ZkMidiDueList
{
public:
    static constexpr ZkMemoryId kPool = ZkMemID_Default;

    ZkMidiDueList() = default;
    ~ZkMidiDueList() { Clear(); }
    ZkMidiDueList(const ZkMidiDueList&) = delete;
    ZkMidiDueList& operator=(const ZkMidiDueList&) = delete;

    // Appends an entry at the tail; false (nothing appended) when the pool is out of memory.
    bool Append(const ZkMidiChannelMessage& message, float offsetMs, uint32_t eventNumber);
    // Frees every entry.
    void Clear();

    const ZkMidiDueEvent* First() const { return m_head; }
    uint32_t Count() const;

private:
    ZkMidiDueEvent* m_head = nullptr;
    ZkMidiDueEvent* m_tail = nullptr;
};
} // namespace ZK::MusicEngine
