// The engine side of the message ring: what a reader does with each message. The ring handles
// frame, wrap and abandoned markers itself and hands every other message here, in ring order.
//
// Threading: Dispatch is called by the ring's one reader, always under the global engine lock (the
// engine tick, or a writer draining a full ring). Discard is called at termination, when no writer
// or reader is left.
// Ownership: the message memory belongs to the ring and is valid only during the call.
#pragma once

#include <cstdint>

namespace ZK::SoundEngine
{
class IZkMessageDispatcher
{
public:
    // Applies one message (header at message[0..3]). Sets deviceChanged when the message changed
    // the output devices, so that the tick recomputes what it renders.
    virtual void Dispatch(const uint8_t* message, bool& deviceChanged) = 0;
    // Releases what a message holds without applying it (references, copies).
    virtual void Discard(const uint8_t* message) = 0;

protected:
    ~IZkMessageDispatcher() = default;
};
} // namespace ZK::SoundEngine
