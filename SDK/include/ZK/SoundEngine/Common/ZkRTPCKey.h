// ZkRTPCKey: the scope of a game-parameter value (and of other per-scope settings). Six parts, from
// the widest to the most specific: game object, playing id, MIDI target id, MIDI channel, MIDI note,
// playing instance. Each part may be a wildcard ("any"): null, 0 or 255. The key of wildcards only
// is the global scope.
//
// Threading and ownership: a plain value; the pointers name engine objects without owning them.
#pragma once

#include <ZK/SoundEngine/Common/ZkTypes.h>

#include <cstdint>

namespace ZK::SoundEngine
{
class CZkRegisteredObj;
class CZkPlayingInstance;
} // namespace ZK::SoundEngine

// The key's levels, widest first (the depth of a value-tree node).
enum ZkRTPCKeyLevel : uint32_t
{
    ZkRTPCKeyLevel_Global = 0,
    ZkRTPCKeyLevel_GameObject = 1,
    ZkRTPCKeyLevel_PlayingID = 2,
    ZkRTPCKeyLevel_MidiTarget = 3,
    ZkRTPCKeyLevel_MidiChannel = 4,
    ZkRTPCKeyLevel_MidiNote = 5,
    ZkRTPCKeyLevel_Instance = 6,
};

constexpr uint8_t kZkMidiAny = 255;

struct ZkRTPCKey
{
    ZK::SoundEngine::CZkRegisteredObj* gameObject = nullptr;
    ZkPlayingID playingID = 0;
    uint32_t midiTargetID = 0;
    uint8_t midiChannel = kZkMidiAny;
    uint8_t midiNote = kZkMidiAny;
    ZK::SoundEngine::CZkPlayingInstance* instance = nullptr;

    static ZkRTPCKey Global() { return ZkRTPCKey{}; }
    static ZkRTPCKey ForObject(ZK::SoundEngine::CZkRegisteredObj* object, ZkPlayingID playing = 0)
    {
        ZkRTPCKey key;
        key.gameObject = object;
        key.playingID = playing;
        return key;
    }

    bool HasPart(uint32_t level) const
    {
        switch (level)
        {
        case ZkRTPCKeyLevel_GameObject: return gameObject != nullptr;
        case ZkRTPCKeyLevel_PlayingID: return playingID != 0;
        case ZkRTPCKeyLevel_MidiTarget: return midiTargetID != 0;
        case ZkRTPCKeyLevel_MidiChannel: return midiChannel != kZkMidiAny;
        case ZkRTPCKeyLevel_MidiNote: return midiNote != kZkMidiAny;
        case ZkRTPCKeyLevel_Instance: return instance != nullptr;
        default: return false;
        }
    }
    // Sets the part of one level to its wildcard.
    void ClearPart(uint32_t level)
    {
        switch (level)
        {
        case ZkRTPCKeyLevel_GameObject: gameObject = nullptr; break;
        case ZkRTPCKeyLevel_PlayingID: playingID = 0; break;
        case ZkRTPCKeyLevel_MidiTarget: midiTargetID = 0; break;
        case ZkRTPCKeyLevel_MidiChannel: midiChannel = kZkMidiAny; break;
        case ZkRTPCKeyLevel_MidiNote: midiNote = kZkMidiAny; break;
        case ZkRTPCKeyLevel_Instance: instance = nullptr; break;
        default: break;
        }
    }
    // The deepest level whose part is set; ZkRTPCKeyLevel_Global for the global key.
    uint32_t DeepestLevel() const
    {
        for (uint32_t level = ZkRTPCKeyLevel_Instance; level > ZkRTPCKeyLevel_Global; --level)
        {
            if (HasPart(level))
                return level;
        }
        return ZkRTPCKeyLevel_Global;
    }
    bool IsGlobal() const { return DeepestLevel() == ZkRTPCKeyLevel_Global; }

    // True when every part of this key that is not a wildcard equals the same part of other.
    bool Matches(const ZkRTPCKey& other) const
    {
        return (gameObject == nullptr || gameObject == other.gameObject) &&
               (playingID == 0 || playingID == other.playingID) &&
               (midiTargetID == 0 || midiTargetID == other.midiTargetID) &&
               (midiChannel == kZkMidiAny || midiChannel == other.midiChannel) &&
               (midiNote == kZkMidiAny || midiNote == other.midiNote) &&
               (instance == nullptr || instance == other.instance);
    }

    bool operator==(const ZkRTPCKey&) const = default;
};
