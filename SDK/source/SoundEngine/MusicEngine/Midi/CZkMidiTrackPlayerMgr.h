// CZkMidiTrackPlayerMgr: the MIDI manager of the track players of one music play. Each frame of
// the play it advances every player by the frame's musical length, brings their events back to
// the frame's real samples at the play's speed, orders them in one list and dispatches them as the
// posted MIDI's manager does (CZkMidiDispatcher), then frees the players that have finished.
//
// Threading: audio thread (the play's frame, under the engine's lock). Ownership: made and freed
// with its play (memory pool 0); it owns its players (the list's reference) and its dispatch list.
#pragma once

#include "MusicEngine/Midi/CZkMidiTrackPlayback.h"
#include "ZkAudiolib/Common/Containers/ZkArray.h"
#include "ZkAudiolib/Common/Midi/CZkMidiDispatcher.h"

namespace ZK::MusicEngine
{
class CZkMidiTrackPlayerMgr final : public SoundEngine::CZkMidiDispatcher
{
public:
    static constexpr ZkMemoryId kPool = ZkMemID_Default;

    CZkMidiTrackPlayerMgr() = default;
    // Every player stopped at once and freed.
    ~CZkMidiTrackPlayerMgr() override;

    void Link(CZkMidiTrackPlayback& player);
    // One frame of frameLength samples played at speed: the players advance by advance samples of
    // musical time (the frame length at that speed), their events land at offset / speed.
    void AdvanceFrame(uint32_t advance, float speed, uint32_t frameLength);
    // The player's sounding notes get their note-offs now (at the start of the next frame).
    void ReleaseNotesOf(CZkMidiTrackPlayback& player, uint32_t offset = 0);
    // Every player that reads media stops at once; with onlyIfNotRelocated, one that can move to
    // another loaded copy of its media (RelocateMedia) plays on from there.
    void StopPlayersOfMedia(const uint8_t* media, bool onlyIfNotRelocated = false);
    // The same for the players that read the copy of their media that bank holds (the bank is
    // going: its copy would go from under the reader).
    void StopPlayersOfBank(const SoundEngine::LoadedBank* bank, bool onlyIfNotRelocated = false);
    uint32_t PlayerCount() const;

protected:
    bool HasOtherTargetFor(const SoundEngine::ZkMidiChannelState& record,
                           const SoundEngine::CZkMidiTarget& except) const override;

public:
    // One entry of a frame's dispatch list: a player's event at its sample offset, with the order
    // word of ZkMidiDispatchOrder.
    struct DispatchEntry
    {
        CZkMidiTrackPlayback* player; // a reference held
        ZkMIDIEvent event;
        uint32_t offset;
        uint32_t order;
    };
    using DispatchList = ZK::ZkArray<DispatchEntry>;
    // A player that jumps into its track (the entry list[trigger], its first event, numbered n)
    // takes over from the other ending players of its node, game object and playing id: their
    // entries after the trigger leave the list (their references released), sustain goes off on
    // every channel and their sounding notes end at the trigger's offset. Then the controllers of
    // the player's first n events, the last value of each, go out at that offset, except the
    // trigger's own controller on its channel (CZkMidiTrackPlayerMgrResend.cpp).
    void ResendControllers(DispatchList& list, uint32_t trigger);

private:
    // The two halves of ResendControllers.
    void CutEndingPlayer(DispatchList& list, uint32_t trigger, CZkMidiTrackPlayback& ending);
    void ResendFirstControllers(CZkMidiTrackPlayback& player, const DispatchEntry& trigger);
    void AddToDispatch(CZkMidiTrackPlayback& player, const ZkMIDIEvent& event, uint32_t offset, uint32_t order);
    // The players whose stop time lies at or before offset release their notes there.
    void ReleaseStoppedBefore(uint32_t offset);
    void EndPlayer(CZkMidiTrackPlayback* player, CZkMidiTrackPlayback* before);

    CZkMidiTrackPlayback* m_players = nullptr; // newest first
    ZK::ZkArray<DispatchEntry> m_dispatch;     // kept from frame to frame
};
} // namespace ZK::MusicEngine
