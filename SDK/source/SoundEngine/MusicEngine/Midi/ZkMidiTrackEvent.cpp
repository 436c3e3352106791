#include "MusicEngine/Midi/ZkMidiTrackEvent.h"

#include <cstddef>

namespace ZK::MusicEngine::ZkMidiTrackBytes
{
namespace
{
constexpr uint32_t kMaxVariableLengthBytes = 4;
constexpr uint8_t kControlChange = 0xB0;

// Data bytes after the status of a channel message: one for program change (0xC0) and channel
// pressure (0xD0), two for the others.
uint32_t DataBytesOf(uint8_t status)
{
    const uint8_t kind = status & 0xF0;
    return kind == 0xC0 || kind == 0xD0 ? 1 : 2;
}

// A system-exclusive or meta event: the bytes before the length, then a length and that many bytes.
bool ReadBlockEvent(const uint8_t* start, const uint8_t* end, uint32_t bytesBeforeLength, ZkMidiTrackEvent& event)
{
    if (static_cast<size_t>(end - start) < bytesBeforeLength)
        return false;
    const uint8_t* position = start + bytesBeforeLength;
    uint32_t length = 0;
    if (!ReadVariableLength(position, end, length))
        return false;
    if (static_cast<size_t>(end - position) < length)
        return false;
    event.length = static_cast<uint32_t>(position - start) + length;
    event.data1 = 0;
    event.data2 = 0;
    return true;
}
} // namespace

bool ReadVariableLength(const uint8_t*& position, const uint8_t* end, uint32_t& value)
{
    const uint8_t* cursor = position;
    uint32_t result = 0;
    for (uint32_t index = 0; index < kMaxVariableLengthBytes; ++index)
    {
        if (cursor >= end)
            return false;
        const uint8_t byte = *cursor++;
        result = (result << 7) | (byte & 0x7F);
        if ((byte & 0x80) == 0)
        {
            value = result;
            position = cursor;
            return true;
        }
    }
    return false; // a fourth byte that announces a fifth
}

bool ReadEvent(const uint8_t* position, const uint8_t* end, uint8_t& runningStatus, ZkMidiTrackEvent& event)
{
    if (position >= end)
        return false;
    const uint8_t first = *position;
    if (first == 0xF0 || first == 0xF7 || first == 0xFF)
    {
        event.status = first;
        if (!ReadBlockEvent(position, end, first == 0xFF ? 2 : 1, event))
            return false;
        runningStatus = 0;
        return true;
    }
    if (first >= 0xF0)
        return false; // another system status: not part of this format
    const bool hasStatus = (first & 0x80) != 0;
    const uint8_t status = hasStatus ? first : runningStatus;
    if (status == 0)
        return false; // data bytes with no channel status before them
    const uint32_t dataBytes = DataBytesOf(status);
    const uint32_t length = (hasStatus ? 1 : 0) + dataBytes;
    if (static_cast<size_t>(end - position) < length)
        return false;
    const uint8_t* data = position + (hasStatus ? 1 : 0);
    if ((status & 0xF0) == kControlChange && (data[0] & 0x80) != 0)
        return false;
    event.status = status;
    event.length = length;
    event.data1 = data[0];
    event.data2 = dataBytes == 2 ? data[1] : 0;
    runningStatus = status;
    return true;
}
} // namespace ZK::MusicEngine::ZkMidiTrackBytes
