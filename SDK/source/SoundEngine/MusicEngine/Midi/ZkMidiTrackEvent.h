// One event of a MIDI track media, read in place: the variable-length numbers of the format and
// the bounds of each event, checked against the end of the media before anything is taken.
//
// An event is a channel message (status 0x80-0xEF and its data bytes, or only the data bytes under
// running status), a system-exclusive block (0xF0 or 0xF7, a length, the bytes) or a meta event
// (0xFF, a type, a length, the bytes). Anything else, a controller number with its high bit set,
// a variable-length number whose fourth byte has its high bit set, or an event that runs past the
// end is malformed: the reader stops there.
//
// Threading: none (pure functions over bytes the caller keeps alive).
#pragma once

#include <cstdint>

namespace ZK::MusicEngine
{
struct ZkMidiTrackEvent
{
    uint32_t length = 0; // bytes of the event, from its first byte (status or data) on
    uint8_t status = 0;  // the status in effect: 0x80-0xEF, 0xF0, 0xF7 or 0xFF
    uint8_t data1 = 0;   // channel messages: the data bytes (data2 is 0 for one-byte messages)
    uint8_t data2 = 0;

    bool IsChannelMessage() const { return status >= 0x80 && status < 0xF0; }
};

namespace ZkMidiTrackBytes
{
// At most four bytes of 7 bits, most significant group first. False when the number runs past
// end or its fourth byte has its high bit set; position is then left where it was.
bool ReadVariableLength(const uint8_t*& position, const uint8_t* end, uint32_t& value);

// Reads the event that starts at position. runningStatus is the channel status of the previous
// channel message (0: none); it is updated as the format says (a channel status sets it, a
// system-exclusive or meta event clears it). False when the event is malformed (runningStatus is
// then left unchanged).
bool ReadEvent(const uint8_t* position, const uint8_t* end, uint8_t& runningStatus, ZkMidiTrackEvent& event);
} // namespace ZkMidiTrackBytes
} // namespace ZK::MusicEngine
