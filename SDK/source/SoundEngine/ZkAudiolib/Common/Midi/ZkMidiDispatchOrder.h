// The order of a frame's MIDI dispatch list, shared by the managers that fill one (posted MIDI and
// the music's track players). Entries go by sample offset; among equal offsets a sender's first
// event goes before the others' later ones and an ending sender's events go last. An entry's order
// word: bits 0-29 the sender's event number, bit 30 the sender is ending, bit 31 its first event.
#pragma once

#include <cstdint>

namespace ZK::SoundEngine
{
struct ZkMidiDispatchOrder
{
    static constexpr uint32_t kNumberMask = (1u << 30) - 1;
    static constexpr uint32_t kEnding = 1u << 30;
    static constexpr uint32_t kFirst = 1u << 31;

    // Where an entry of offset and order goes in dispatch, a list in dispatch order of entries with
    // the members offset and order.
    template <typename Entries>
    static uint32_t Position(const Entries& dispatch, uint32_t offset, uint32_t order)
    {
        uint32_t at = dispatch.Length();
        while (at > 0 && dispatch[at - 1].offset > offset)
            --at;
        uint32_t equal = at;
        while (equal > 0 && dispatch[equal - 1].offset == offset)
            --equal;
        for (uint32_t i = equal; i < at; ++i)
        {
            const uint32_t other = dispatch[i].order;
            if (((other & kEnding) != 0 && (order & kEnding) == 0) || ((other & kFirst) == 0 && (order & kFirst) != 0))
                return i;
        }
        return at;
    }
};
} // namespace ZK::SoundEngine
