// EventManager (declaration only): the engine's central object. The bank parser uses its message
// ring: it posts message 55 (replace the main output) through ReserveMessage and FinishMessage. The
// ring is the engine's real message ring. The output device manager reads the frame counter (it
// times device retries once a second) and resets the timing reference (the stamp of the last
// render) when a device starts again or is replaced.
//
// Threading: ReserveMessage and FinishMessage from any thread (the ring is lock-free for writers);
// the frame counter and the timing reference on the engine thread.
// Ownership: the engine's singleton (g_pEventMgr); the ring owns its buffer.
#pragma once

#include "ZkAudiolib/Common/FrontEnd/CZkMessageRing.h"

#include <ZK/SoundEngine/Common/ZkResult.h>

#include <cstdint>

namespace ZK::SoundEngine
{
class EventManager
{
public:
    uint8_t* ReserveMessage(uint16_t type, uint32_t size) { return m_ring.ReserveMessage(type, size); }
    void FinishMessage() { m_ring.FinishMessage(); }
    CZkMessageRing& Ring() { return m_ring; }

    // Stamps the last render time with now. Not built yet: 4, nothing stamped.
    ZKRESULT ResetTimingReference() { return ZK_NotImplemented; }

    uint32_t frameCounter = 0; // audio frames rendered since the start

private:
    CZkMessageRing m_ring;
};

// Null until the engine's initialisation creates the event manager.
inline EventManager* g_pEventMgr = nullptr;
} // namespace ZK::SoundEngine
