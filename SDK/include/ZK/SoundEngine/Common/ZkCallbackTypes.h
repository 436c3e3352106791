// What the engine tells a playback's callback: the callback types a post asks for (the flags of
// PostEvent), and the record each type hands to the callback. Every record begins with
// ZkCallbackInfo (the post's cookie and game object); the callback casts the pointer it receives to
// the record of the type it is told.
//
// Threading: callbacks run on the engine's thread (or on the thread that renders, without one),
// never under the engine's playing-id lock: a callback may post, query and cancel callbacks.
// Ownership: a record lives on the engine's stack for the duration of the call; pointers in it
// (labels, cue names, custom info, matrices) are only valid during the call.
#pragma once

#include <ZK/SoundEngine/Common/ZkChannelConfig.h>
#include <ZK/SoundEngine/Common/ZkTypes.h>

#include <cstdint>

// Callback types (bits 0-19 of a post's flags) and the record each one receives.
enum ZkCallbackType : uint32_t
{
    ZkCallbackType_EndOfEvent = 0x1,             // ZkPlayingCallbackInfo, after everything of the post ended
    ZkCallbackType_SequenceItemEnd = 0x2,        // ZkSequenceItemCallbackInfo
    ZkCallbackType_Marker = 0x4,                 // ZkCueCallbackInfo
    ZkCallbackType_Duration = 0x8,               // ZkLengthCallbackInfo
    ZkCallbackType_SpeakerVolumeMatrix = 0x10,   // ZkSpeakerVolumeMatrixCallbackInfo (the matrix may be changed)
    ZkCallbackType_Starvation = 0x20,            // ZkPlayingCallbackInfo
    ZkCallbackType_MusicPlaylistSelect = 0x40,   // ZkPlaylistPickCallbackInfo (selection and done may be changed)
    ZkCallbackType_MusicPlaybackEvent = 0x80,    // ZkPlayingCallbackInfo
    ZkCallbackType_MusicBeat = 0x100,            // ZkMusicPointCallbackInfo
    ZkCallbackType_MusicBar = 0x200,
    ZkCallbackType_MusicSegmentEntry = 0x400,
    ZkCallbackType_MusicSegmentExit = 0x800,
    ZkCallbackType_MusicGrid = 0x1000,
    ZkCallbackType_MusicUserCue = 0x2000,        // ZkMusicPointCallbackInfo with the cue's name
    ZkCallbackType_MusicSwitchPoint = 0x4000,
    ZkCallbackType_MidiEvent = 0x10000,          // ZkMidiCallbackInfo
    ZkCallbackType_AllTypes = 0xFFFFF,
};

// Flags of a post beyond its callback types (bits 20-31); they ask for records, not callbacks.
// Plain values, so that they combine with the callback types.
constexpr uint32_t ZkPostFlag_RecordSegmentInfo = 0x200000;   // the music engine keeps the segment's information
constexpr uint32_t ZkPostFlag_RecordPlayPositions = 0x400000; // GetSourcePlayPosition answers for the playing id

struct ZkCallbackInfo
{
    void* cookie = nullptr;
    ZkGameObjectID gameObjID = 0;
};

struct ZkPlayingCallbackInfo : ZkCallbackInfo
{
    ZkPlayingID playingID = 0;
    ZkUniqueID eventID = 0;
};

// A dynamic sequence's item that ended, or was skipped (audio node 0: an empty item).
struct ZkSequenceItemCallbackInfo : ZkCallbackInfo
{
    ZkPlayingID playingID = 0;
    ZkUniqueID audioNodeID = 0;
    void* customInfo = nullptr;
};

// A marker of the media that a sound of the playback reached.
struct ZkCueCallbackInfo : ZkPlayingCallbackInfo
{
    uint32_t identifier = 0;
    uint32_t position = 0;        // sample frames from the start of the media
    const char* label = nullptr;  // the marker's text, or null
};

// The duration of a sound of the playback, once its source knows it.
struct ZkLengthCallbackInfo : ZkPlayingCallbackInfo
{
    float durationMs = 0.0f;
    float estimatedDurationMs = 0.0f; // at the sound's pitch
    ZkUniqueID audioNodeID = 0;
    ZkUniqueID mediaID = 0;
    bool isStreaming = false;
};

// The mix matrix of a voice, handed over before it is used: inputs rows by outputs columns, each
// row rounded up to 4 floats.
struct ZkSpeakerVolumeMatrixCallbackInfo : ZkPlayingCallbackInfo
{
    ZkChannelConfig inputConfig;
    ZkChannelConfig outputConfig;
    float* volumes = nullptr;
};

// The music engine offers its choice of a playlist item; the callback may replace the selection
// (an index below itemCount) or set done to finish the playlist.
struct ZkPlaylistPickCallbackInfo : ZkPlayingCallbackInfo
{
    ZkUniqueID playlistID = 0;
    uint32_t itemCount = 0;
    uint32_t selection = 0;
    uint32_t done = 0;
};

// Where the playing music segment stands. Times in milliseconds are signed; the four durations of
// the musical grid are in seconds at the current playback speed.
struct ZkSegmentInfo
{
    int32_t positionMs = 0;
    int32_t preEntryDurationMs = 0;
    int32_t activeDurationMs = 0;
    int32_t postExitDurationMs = 0;
    int32_t remainingToStartMs = 0;
    float beatDuration = 0.0f;
    float barDuration = 0.0f;
    float gridDuration = 0.0f;
    float gridOffset = 0.0f;
};
static_assert(sizeof(ZkSegmentInfo) == 36, "nine 32-bit fields");

// A music synchronisation point, or a user cue (with its name).
struct ZkMusicPointCallbackInfo : ZkCallbackInfo
{
    ZkPlayingID playingID = 0;
    ZkSegmentInfo segmentInfo;
    uint32_t musicType = 0;       // the ZkCallbackType bit that fired
    const char* cueName = nullptr;
};

// A MIDI event as the engine carries it (12 bytes): the status's high nibble as type (0x80 note
// off ... 0xE0 pitch bend; 0xFE an engine command), the channel, and the two data bytes, or for an
// engine command a 16-bit command and its 32-bit argument.
struct ZkMIDIEvent
{
    uint8_t type = 0;
    uint8_t channel = 0xFF;
    uint16_t unused = 0;
    union
    {
        uint16_t command = 0;
        uint8_t data[2]; // note, controller or pitch-bend low bits; velocity, value or high bits
    };
    uint16_t padding = 0;
    uint32_t commandArgument = 0;
};
static_assert(sizeof(ZkMIDIEvent) == 12, "MIDI events are 12 bytes");

struct ZkMidiCallbackInfo : ZkPlayingCallbackInfo
{
    ZkMIDIEvent midiEvent;
};
