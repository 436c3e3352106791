// EventManager (declaration only): the engine's central object, of which the bank parser uses the
// message ring: it posts message 55 (replace the main output) through ReserveMessage and
// FinishMessage. The ring is the engine's real message ring.
//
// Threading: ReserveMessage and FinishMessage from any thread (the ring is lock-free for writers).
// Ownership: the engine's singleton (g_pEventMgr); the ring owns its buffer.
#pragma once

#include "ZkAudiolib/Common/FrontEnd/CZkMessageRing.h"

#include <cstdint>

namespace ZK::SoundEngine
{
class EventManager
{
public:
    uint8_t* ReserveMessage(uint16_t type, uint32_t size) { return m_ring.ReserveMessage(type, size); }
    void FinishMessage() { m_ring.FinishMessage(); }
    CZkMessageRing& Ring() { return m_ring; }

private:
    CZkMessageRing m_ring;
};

// Null until the engine's initialisation creates the event manager.
inline EventManager* g_pEventMgr = nullptr;
} // namespace ZK::SoundEngine
