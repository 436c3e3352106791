// The music track's side of its MIDI clips: which node they play and at which tempo (the track's
// own settings or those of the music nodes above it), and the list of the players that play them,
// which the track's volume changes reach.
#include "MusicEngine/CZkMusicTrack.h"

#include "MusicEngine/Midi/CZkMidiTrackPlayback.h"
#include "ZkAudiolib/Common/GameObjects/CZkRegisteredObj.h"

namespace ZK::MusicEngine
{
namespace
{
// The first level, from the track up through the music nodes above it, that overrides the setting
// or gives it a value other than 0 decides it; readTrack and readNode read one level.
template <typename Value, typename ReadTrack, typename ReadNode>
Value SettingInForce(const CZkMusicTrack& track, ReadTrack readTrack, ReadNode readNode)
{
    bool overrides = false;
    Value value{};
    readTrack(track, overrides, value);
    if (overrides || value != Value{})
        return value;
    for (const SoundEngine::CZkHierarchyNode* level = track.Parent();
         level != nullptr && CZkMusicNode::IsMusicNode(level); level = level->Parent())
    {
        readNode(*static_cast<const CZkMusicNode*>(level), overrides, value);
        if (overrides || value != Value{})
            return value;
    }
    return Value{};
}
} // namespace

ZkUniqueID CZkMusicTrack::MidiTargetInForce(bool& isBus) const
{
    // Each level read sets isBus: the level that decides is the last one read.
    isBus = false;
    return SettingInForce<ZkUniqueID>(
        *this, [&](const CZkMusicTrack& track, bool& overrides, ZkUniqueID& id) { track.MidiTarget(overrides, id, isBus); },
        [&](const CZkMusicNode& node, bool& overrides, ZkUniqueID& id) { node.MidiTarget(overrides, id, isBus); });
}

float CZkMusicTrack::MidiTempoInForce() const
{
    return SettingInForce<float>(
        *this, [](const CZkMusicTrack& track, bool& overrides, float& tempo) { track.MidiTempo(overrides, tempo); },
        [](const CZkMusicNode& node, bool& overrides, float& tempo) { node.MidiTempo(overrides, tempo); });
}

void CZkMusicTrack::LinkMidiPlayer(CZkMidiTrackPlayback& player)
{
    player.nextOnTrack = m_midiPlayers;
    m_midiPlayers = &player;
}

void CZkMusicTrack::UnlinkMidiPlayer(CZkMidiTrackPlayback& player)
{
    CZkMidiTrackPlayback** link = &m_midiPlayers;
    while (*link != nullptr && *link != &player)
        link = &(*link)->nextOnTrack;
    if (*link != nullptr)
        *link = player.nextOnTrack;
    player.nextOnTrack = nullptr;
}

void CZkMusicTrack::UpdateContribution(SoundEngine::CZkGameObject* object)
{
    for (CZkMidiTrackPlayback* player = m_midiPlayers; player != nullptr; player = player->nextOnTrack)
    {
        if (object == nullptr || static_cast<SoundEngine::CZkGameObject*>(player->GameObject()) == object)
            player->RefreshVolumeFactors();
    }
    CZkSourceNode::UpdateContribution(object);
}
} // namespace ZK::MusicEngine
