// A track player that jumps into its track takes over the MIDI state of its node: the players it
// replaces (ending ones of the same node, game object and playing id) let go of their notes and of
// the sustain pedal, and the controllers that the jumping player skipped (those of the events
// before its first one) go out again with the value each had last, so that volume, expression and
// the like sound as if the track had played from its start.
//
// Audio thread (the play's frame, under the engine's lock); nothing is allocated: the controller
// values are gathered in a table on the stack.
#include "MusicEngine/Midi/CZkMidiTrackPlayerMgr.h"

#include "ZkAudiolib/Common/Midi/ZkMidiDispatchOrder.h"

#include <ZK/SoundEngine/Common/ZkMidiTypes.h>

#include <cstring>

namespace ZK::MusicEngine
{
namespace
{
constexpr uint8_t kChannels = 16;
constexpr uint8_t kControllers = 128;
constexpr uint8_t kControllerSustain = 64;
constexpr uint8_t kControllerResetAll = 121;
constexpr uint8_t kNoValue = 0xFF; // controller values are 0 to 127

ZkMIDIEvent ControlChange(uint8_t channel, uint8_t controller, uint8_t value)
{
    ZkMIDIEvent event;
    event.type = ZkMidiEventType_Controller;
    event.channel = channel;
    event.data[0] = controller;
    event.data[1] = value;
    return event;
}

bool SameTriple(const SoundEngine::CZkMidiTarget& a, const SoundEngine::CZkMidiTarget& b)
{
    return a.Node() == b.Node() && a.GameObject() == b.GameObject() && a.PlayingID() == b.PlayingID();
}

// The last value of every controller of the events numbered below count, per channel; a
// reset-all-controllers message forgets its channel's earlier values and is kept itself.
struct GatheredControllers
{
    uint8_t values[kChannels][kControllers];
    uint16_t resetChannels = 0;

    GatheredControllers() { std::memset(values, kNoValue, sizeof(values)); }

    // Walks reader (its own copy: the player's place is not touched) from the first event up to
    // count, or to the end of the track. False when the track ended first.
    bool Walk(CZkMidiTrackReader& reader, uint32_t count)
    {
        reader.Reset();
        ZkMidiChannelMessage message;
        uint32_t number = 0;
        while (reader.GetNextEvent(message, number))
        {
            if (number >= count)
                return true;
            if (message.type != ZkMidiEventType_Controller || message.channel >= kChannels ||
                message.data1 >= kControllers)
                continue;
            if (message.data1 == kControllerResetAll)
            {
                std::memset(values[message.channel], kNoValue, sizeof(values[message.channel]));
                resetChannels = static_cast<uint16_t>(resetChannels | 1u << message.channel);
                continue;
            }
            values[message.channel][message.data1] = message.data2;
        }
        return false;
    }
};
} // namespace

void CZkMidiTrackPlayerMgr::ResendControllers(DispatchList& list, uint32_t trigger)
{
    if (trigger >= list.Length() || list[trigger].player == nullptr)
        return;
    const DispatchEntry entry = list[trigger];
    CZkMidiTrackPlayback& player = *entry.player;
    for (SoundEngine::CZkMidiTarget* target = m_players; target != nullptr; target = target->pNextTarget)
    {
        auto* other = static_cast<CZkMidiTrackPlayback*>(target);
        if (other != &player && other->Schedule().IsEnding() && !other->Schedule().IsStopped() &&
            SameTriple(*other, player))
            CutEndingPlayer(list, trigger, *other);
    }
    ResendFirstControllers(player, entry);
}

void CZkMidiTrackPlayerMgr::CutEndingPlayer(DispatchList& list, uint32_t trigger, CZkMidiTrackPlayback& ending)
{
    // Entries before the trigger have been dispatched already.
    for (uint32_t i = list.Length(); i > trigger + 1; --i)
    {
        if (list[i - 1].player != &ending)
            continue;
        list.Erase(i - 1);
        ending.Release(); // the entry's reference
    }
    const uint32_t offset = list[trigger].offset;
    for (uint8_t channel = 0; channel < kChannels; ++channel)
        ProcessEvent(ending, ControlChange(channel, kControllerSustain, 0), offset, true);
    // The pedal is off at once, so that the note-offs it held go now rather than when the
    // controller arrives.
    ClearSustain(ending);
    ReleaseNotesOf(ending, offset);
}

void CZkMidiTrackPlayerMgr::ResendFirstControllers(CZkMidiTrackPlayback& player, const DispatchEntry& trigger)
{
    const uint32_t count = trigger.order & SoundEngine::ZkMidiDispatchOrder::kNumberMask;
    if (count == 0)
        return;
    // A copy of the reader, walked without its loop: every pass of a looping track sets the same
    // controllers in the same order, so one whole pass and the part of the next one up to the
    // trigger leave the values that count events would, however many passes count spans.
    CZkMidiTrackReader reader = player.Schedule().Reader();
    reader.SetLoop(false);
    GatheredControllers gathered;
    if (!gathered.Walk(reader, count) && reader.EventNumber() > 0)
    {
        const uint32_t passEvents = reader.EventNumber() + 1;
        if (count > passEvents)
            gathered.Walk(reader, count % passEvents);
    }

    const bool triggerIsController = trigger.event.type == ZkMidiEventType_Controller;
    for (uint8_t channel = 0; channel < kChannels; ++channel)
    {
        // The trigger's own controller goes out with the trigger, later than any value gathered.
        auto repeatsTrigger = [&](uint8_t controller) {
            return triggerIsController && trigger.event.channel == channel && trigger.event.data[0] == controller;
        };
        if ((gathered.resetChannels >> channel & 1u) != 0 && !repeatsTrigger(kControllerResetAll))
            ProcessEvent(player, ControlChange(channel, kControllerResetAll, 0), trigger.offset, true);
        for (uint8_t controller = 0; controller < kControllers; ++controller)
        {
            const uint8_t value = gathered.values[channel][controller];
            if (value != kNoValue && !repeatsTrigger(controller))
                ProcessEvent(player, ControlChange(channel, controller, value), trigger.offset, true);
        }
    }
}
} // namespace ZK::MusicEngine
