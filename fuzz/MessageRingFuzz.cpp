// The engine's message ring under a script of posts of every size, frame ends, engine reads and
// writers' drains, over a ring of any accepted capacity: every call returns, a message larger than
// the ring accepts is refused at once, and every accepted message is read once, in posting order.
#include "support/SoundMemory.h"

#include "ZkAudiolib/Common/FrontEnd/CZkMessageRing.h"
#include "ZkAudiolib/Common/FrontEnd/EngineLock.h"

#include <cstddef>
#include <cstdint>
#include <cstring>

using kp::fuzz::Check;

namespace
{
using namespace ZK::SoundEngine;


constexpr uint16_t kScriptMessage = 100;

// Checks that the messages come in posting order, none twice and none lost.
class OrderCheckingDispatcher final : public IZkMessageDispatcher
{
public:
    void Dispatch(const uint8_t* message, bool&) override { Take(message); }
    void Discard(const uint8_t* message) override { Take(message); }
    uint32_t next = 0;

private:
    void Take(const uint8_t* message)
    {
        const ZkMessageHeader header = ReadMessageHeader(message);
        Check(header.type == kScriptMessage && header.size >= 8);
        uint32_t sequence;
        std::memcpy(&sequence, message + 4, sizeof(sequence));
        Check(sequence == next);
        ++next;
    }
};
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    kp::fuzz::StartSoundMemory();
    kp::fuzz::InputBytes input(data, size);
    const uint32_t capacity = CZkMessageRing::kMinimumCapacityBytes + input.Word() % 4096;
    OrderCheckingDispatcher dispatcher;
    CZkMessageRing ring;
    Check(ring.Init(capacity, &dispatcher) == ZK_Success);
    const uint32_t largest = ring.LargestMessageBytes();
    uint32_t posted = 0;
    while (!input.Empty())
    {
        const uint8_t operation = input.Byte();
        switch (operation % 4)
        {
        case 0:
        case 1:
        {
            // A message of 8 bytes up to a little more than the largest the ring takes.
            const uint32_t messageSize = 8 + input.Word() % (largest + 8);
            uint8_t* message = ring.ReserveMessage(kScriptMessage, messageSize);
            Check((message != nullptr) == (messageSize <= largest));
            if (message != nullptr)
            {
                std::memcpy(message + 4, &posted, sizeof(posted));
                ++posted;
                ring.FinishMessage();
            }
            break;
        }
        case 2:
            ring.EndFrame(nullptr);
            break;
        default:
        {
            ZK::Platform::ZkScopedLock lock(g_EngineLock);
            bool deviceChanged = false;
            ring.ProcessMessages((operation & 4) != 0, deviceChanged);
            break;
        }
        }
        Check(ring.WriterCount() == 0 && ring.UsedBytes() < capacity);
    }
    ring.EndFrame(nullptr);
    {
        ZK::Platform::ZkScopedLock lock(g_EngineLock);
        bool deviceChanged = false;
        ring.ProcessMessages(false, deviceChanged);
    }
    Check(ring.IsEmpty() && dispatcher.next == posted);
    ring.Term();
    return 0;
}
