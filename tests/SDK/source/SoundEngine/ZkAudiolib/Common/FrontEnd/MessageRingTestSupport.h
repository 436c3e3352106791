// Shared by the message ring tests: a dispatcher that records what the ring hands it, and a poster
// of messages of the tests' own types.
#pragma once

#include "ZkAudiolib/Common/FrontEnd/CZkMessageRing.h"

#include <cstring>
#include <vector>

namespace ZkRingTest
{
constexpr uint16_t kTestMessageType = 100;

struct RecordedMessage
{
    uint16_t type;
    uint16_t size;
    uint32_t sequence; // the first body word (0 for a header-only message)
};

class RecordingDispatcher : public ZK::SoundEngine::IZkMessageDispatcher
{
public:
    void Dispatch(const uint8_t* message, bool& deviceChanged) override
    {
        dispatched.push_back(Record(message));
        if (dispatched.back().type == kDeviceChangeType)
            deviceChanged = true;
    }
    void Discard(const uint8_t* message) override { discarded.push_back(Record(message)); }

    std::vector<uint32_t> DispatchedSequences() const
    {
        std::vector<uint32_t> sequences;
        for (const RecordedMessage& message : dispatched)
            sequences.push_back(message.sequence);
        return sequences;
    }

    static constexpr uint16_t kDeviceChangeType = 130;
    std::vector<RecordedMessage> dispatched;
    std::vector<RecordedMessage> discarded;

private:
    static RecordedMessage Record(const uint8_t* message)
    {
        const ZK::SoundEngine::ZkMessageHeader header = ZK::SoundEngine::ReadMessageHeader(message);
        RecordedMessage record{header.type, header.size, 0};
        if (header.size >= 8)
            std::memcpy(&record.sequence, message + 4, sizeof(record.sequence));
        return record;
    }
};

// Posts a message of size bytes whose first body word (when it has a body) is sequence.
inline uint8_t* Post(ZK::SoundEngine::CZkMessageRing& ring, uint32_t size, uint32_t sequence,
                     uint16_t type = kTestMessageType)
{
    uint8_t* message = ring.ReserveMessage(type, size);
    if (message == nullptr)
        return nullptr;
    if (size >= 8)
        std::memcpy(message + 4, &sequence, sizeof(sequence));
    ring.FinishMessage();
    return message;
}
} // namespace ZkRingTest
