#include "MusicEngine/Midi/CZkMidiTrackPlayerMgr.h"

#include "ZkAudiolib/Common/Midi/ZkMidiDispatchOrder.h"

#include <cmath>

namespace ZK::MusicEngine
{
namespace
{
constexpr uint8_t kNoteOff = 0x80;
constexpr uint8_t kNoteOn = 0x90;
} // namespace

CZkMidiTrackPlayerMgr::~CZkMidiTrackPlayerMgr()
{
    while (m_players != nullptr)
    {
        m_players->Stop(ZkMidiTrackSchedule::kStopNow);
        EndPlayer(m_players, nullptr);
    }
    m_dispatch.Term();
    Term();
}

void CZkMidiTrackPlayerMgr::Link(CZkMidiTrackPlayback& player)
{
    player.pNextTarget = m_players;
    m_players = &player;
}

uint32_t CZkMidiTrackPlayerMgr::PlayerCount() const
{
    uint32_t count = 0;
    for (const SoundEngine::CZkMidiTarget* player = m_players; player != nullptr; player = player->pNextTarget)
        ++count;
    return count;
}

void CZkMidiTrackPlayerMgr::AddToDispatch(CZkMidiTrackPlayback& player, const ZkMIDIEvent& event, uint32_t offset,
                                          uint32_t order)
{
    const uint32_t at = SoundEngine::ZkMidiDispatchOrder::Position(m_dispatch, offset, order);
    if (m_dispatch.Insert(at, DispatchEntry{&player, event, offset, order}) != nullptr)
        player.AddRef(); // else the event is dropped: the list cannot grow
}

void CZkMidiTrackPlayerMgr::AdvanceFrame(uint32_t advance, float speed, uint32_t frameLength)
{
    if (!(speed > 0.0f))
        speed = 1.0f;
    for (SoundEngine::CZkMidiTarget* target = m_players; target != nullptr; target = target->pNextTarget)
    {
        auto* player = static_cast<CZkMidiTrackPlayback*>(target);
        if (player->IsPaused())
            continue;
        const uint32_t end = player->Schedule().End();
        const bool ending = player->Schedule().Advance(advance, [&](const ZkMIDIEvent& event, uint32_t at, uint32_t order) {
            if (player->IsMuted() && event.type == kNoteOn && event.data[1] != 0)
                return; // nobody hears it
            const double real = std::round(static_cast<double>(at) / speed);
            const uint32_t offset = frameLength == 0 ? 0 : static_cast<uint32_t>(std::min<double>(real, frameLength - 1));
            AddToDispatch(*player, event, offset, order);
        });
        if (ending)
        {
            // Its notes end at its stop time: the player's own reference stays until then.
            const double real = std::round(static_cast<double>(end) / speed);
            player->releaseAt = static_cast<uint32_t>(std::min<double>(real, frameLength));
        }
    }

    CZkMidiTrackPlayback* before = nullptr;
    for (CZkMidiTrackPlayback* player = m_players; player != nullptr;)
    {
        auto* next = static_cast<CZkMidiTrackPlayback*>(player->pNextTarget);
        if (player->IsFinishedPlaying() && player->RefCount() == 1)
            EndPlayer(player, before);
        else
            before = player;
        player = next;
    }

    for (uint32_t i = 0; i < m_dispatch.Length(); ++i)
    {
        ReleaseStoppedBefore(m_dispatch[i].offset);
        // A player whose first event is not its track's first has jumped into the track: it takes
        // over from the ending players of its node and sends the controllers it skipped.
        const uint32_t order = m_dispatch[i].order;
        if ((order & SoundEngine::ZkMidiDispatchOrder::kFirst) != 0 &&
            (order & SoundEngine::ZkMidiDispatchOrder::kNumberMask) != 0)
            ResendControllers(m_dispatch, i);
        DispatchEntry& entry = m_dispatch[i];
        const ZkMIDIEvent& event = entry.event;
        if (event.type == kNoteOn || event.type == kNoteOff)
            entry.player->MarkSounding(event.channel, event.data[0], event.type == kNoteOn && event.data[1] != 0);
        ProcessEvent(*entry.player, event, entry.offset, true);
        entry.player->Release();
    }
    m_dispatch.RemoveAll();
    ReleaseStoppedBefore(CZkMidiTrackPlayback::kNoRelease);
    ProcessNotes(frameLength);
}

void CZkMidiTrackPlayerMgr::ReleaseStoppedBefore(uint32_t offset)
{
    for (SoundEngine::CZkMidiTarget* target = m_players; target != nullptr;)
    {
        auto* player = static_cast<CZkMidiTrackPlayback*>(target);
        target = target->pNextTarget;
        if (player->releaseAt == CZkMidiTrackPlayback::kNoRelease || player->releaseAt > offset)
            continue;
        const uint32_t at = player->releaseAt;
        player->releaseAt = CZkMidiTrackPlayback::kNoRelease;
        ReleaseNotesOf(*player, at);
        player->DropOwnReference(); // the list still holds it: it is freed at a later frame
    }
}

void CZkMidiTrackPlayerMgr::ReleaseNotesOf(CZkMidiTrackPlayback& player, uint32_t offset)
{
    for (uint8_t channel = 0; channel < 16; ++channel)
        for (uint8_t note = 0; note < 128; ++note)
        {
            if (!player.IsSounding(channel, note))
                continue;
            ZkMIDIEvent off;
            off.type = kNoteOff;
            off.channel = channel;
            off.data[0] = note;
            off.data[1] = 0;
            player.MarkSounding(channel, note, false);
            ProcessEvent(player, off, offset, true);
        }
}

void CZkMidiTrackPlayerMgr::EndPlayer(CZkMidiTrackPlayback* player, CZkMidiTrackPlayback* before)
{
    StopTarget(*player);
    if (before != nullptr)
        before->pNextTarget = player->pNextTarget;
    else
        m_players = static_cast<CZkMidiTrackPlayback*>(player->pNextTarget);
    player->pNextTarget = nullptr;
    player->MarkStopped();
    ForgetRecordOf(*player);
    player->DropOwnReference();
    player->Release();
}

bool CZkMidiTrackPlayerMgr::HasOtherTargetFor(const SoundEngine::ZkMidiChannelState& record,
                                              const SoundEngine::CZkMidiTarget& except) const
{
    for (const SoundEngine::CZkMidiTarget* player = m_players; player != nullptr; player = player->pNextTarget)
    {
        if (player != &except && record.IsFor(player->Node(), player->GameObject(), player->PlayingID()))
            return true;
    }
    return false;
}
} // namespace ZK::MusicEngine
