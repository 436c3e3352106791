// A track player's media when the bank that holds its copy goes: the player takes the same media
// again from the media index (another loaded bank's copy, a prepared copy or the game's), moves its
// reader there and plays on without losing its place; only a player that finds no other copy stops.
#include "MusicEngine/Midi/CZkMidiTrackPlayback.h"
#include "MusicEngine/Midi/CZkMidiTrackPlayerMgr.h"

#include "ZkAudiolib/Common/Hierarchy/ZkStreamRef.h"

namespace ZK::MusicEngine
{
bool CZkMidiTrackPlayback::RelocateMedia()
{
    if (m_mediaRef == nullptr)
        return false; // the caller's bytes: nothing else to read them from
    if (m_mediaRef->IsResident())
        return true; // the node's own bytes stay where they are
    const uint8_t* data = nullptr;
    uint32_t size = 0;
    SoundEngine::LoadedBank* bank = nullptr;
    if (SoundEngine::ZkStreamRef::Acquire(*m_mediaRef, data, size, bank) != ZK_Success)
        return false;
    CZkMidiTrackReader& reader = m_schedule.Reader();
    // A copy of another size is not the same track (a prefetch, say): the reader's place in it
    // would not be the same event.
    if (size != reader.Length())
    {
        SoundEngine::ZkStreamRef::Release(*m_mediaRef, bank);
        return false;
    }
    reader.Relocate(data); // before the old copy is let go: its bank may be freed with it
    SoundEngine::ZkStreamRef::Release(*m_mediaRef, m_mediaBank);
    m_media = data;
    m_mediaBank = bank;
    return true;
}

namespace
{
template <typename Reads>
void StopPlayersThatRead(SoundEngine::CZkMidiTarget* players, bool onlyIfNotRelocated, Reads reads)
{
    for (SoundEngine::CZkMidiTarget* target = players; target != nullptr; target = target->pNextTarget)
    {
        auto* player = static_cast<CZkMidiTrackPlayback*>(target);
        // A stopped player reads nothing more: it lets its media go when the manager frees it.
        if (player->Schedule().IsStopped() || !reads(*player))
            continue;
        if (onlyIfNotRelocated && player->RelocateMedia())
            continue;
        player->Stop(ZkMidiTrackSchedule::kStopNow);
    }
}
} // namespace

void CZkMidiTrackPlayerMgr::StopPlayersOfMedia(const uint8_t* media, bool onlyIfNotRelocated)
{
    StopPlayersThatRead(m_players, onlyIfNotRelocated,
                        [media](const CZkMidiTrackPlayback& player) { return player.Media() == media; });
}

void CZkMidiTrackPlayerMgr::StopPlayersOfBank(const SoundEngine::LoadedBank* bank, bool onlyIfNotRelocated)
{
    if (bank == nullptr)
        return;
    StopPlayersThatRead(m_players, onlyIfNotRelocated,
                        [bank](const CZkMidiTrackPlayback& player) { return player.MediaBank() == bank; });
}
} // namespace ZK::MusicEngine
