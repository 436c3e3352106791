// ZkMidiChannelState: what a MIDI manager keeps per (node, game object, playing id) that receives
// events: the note events waiting or playing, in ascending sample offset, and the channels whose
// notes controller 64 (sustain) holds.
//
// Threading: audio thread. Ownership: a plain record in its manager's array; the manager owns the
// note events of its list (one reference each).
#pragma once

#include <ZK/SoundEngine/Common/ZkTypes.h>

#include <cstdint>

namespace ZK::SoundEngine
{
class CZkMidiNoteEvent;
class CZkPlayableNode;
class CZkRegisteredObj;

struct ZkMidiChannelState
{
    const CZkPlayableNode* node = nullptr;
    const CZkRegisteredObj* gameObject = nullptr;
    ZkPlayingID playingID = 0;
    CZkMidiNoteEvent* head = nullptr;
    CZkMidiNoteEvent* tail = nullptr;
    uint16_t sustainMask = 0; // bit n: channel n held by controller 64

    bool Holds(uint8_t channel) const { return channel < 16 && (sustainMask >> channel & 1u) != 0; }
    bool IsFor(const CZkPlayableNode* n, const CZkRegisteredObj* object, ZkPlayingID id) const
    {
        return node == n && gameObject == object && playingID == id;
    }
};
} // namespace ZK::SoundEngine
