// PlayLaunchParams: what a node's play takes when a play is launched (by a play action, a dynamic
// sequence or a container's next item): the game object, the playing id, the fade-in, the MIDI event
// that started it, the delays the play has gathered on its way down the hierarchy, its launch flags
// and the external sources of its post.
//
// Threading and ownership: a plain record on the launching code's stack; the game object and node
// pointers are the caller's (their references are held by the caller). The record holds one
// reference on its external-source array, on its play chain, its play target and the modulator instances it hands on
// (a reference and a user each), which FreeArrays gives back: every launcher calls it once the launch is done,
// whatever its result. A plain copy of the record shares them (only one of the copies frees them); CopyTo takes references
// of its own.
#pragma once

#include "ZkAudiolib/Common/Modulators/ZkModulatorInstanceArray.h"

#include <ZK/SoundEngine/Common/ZkCurveTypes.h>
#include <ZK/SoundEngine/Common/ZkTypes.h>

#include <cstdint>

namespace ZK::SoundEngine
{
class CZkGameObject;
class CZkIndexedObject;
class CZkMidiNote;
class CZkPlayChain;
class CZkPositionPath;
class CZkTransition;
class ZkExternalSourceArray;

// The path a play took through the containers: the child index each container selected, by depth,
// and which of those containers play continuously (their next item follows the current one).
// Levels from 32 down are counted in depth but not recorded.
struct ZkPlayPath
{
    static constexpr uint32_t kMaxLevels = 32;

    uint32_t depth = 0;
    uint16_t indices[kMaxLevels] = {};
    uint32_t continuousMask = 0;

    // Records index at the current depth (levels below 32 only), marks the level continuous or
    // not, and goes one level down.
    void Push(uint32_t index, bool continuous);
    bool IsContinuous(uint32_t level) const { return level < kMaxLevels && (continuousMask >> level & 1u) != 0; }
    // 1 + the deepest continuous level below below (0 when there is none).
    uint32_t ContinuousDepthBelow(uint32_t below) const;
    // The depth lowered to 1 + the deepest continuous level, or 0 when no level is continuous.
    void TrimToContinuous() { depth = ContinuousDepthBelow(kMaxLevels); }
};

// A MIDI event as plays carry it. Type: the status's high nibble (8 note-off, 9 note-on, 0xA key
// pressure, ...); 0 for a play that no MIDI event started.
struct ZkMidiEvent
{
    static constexpr uint8_t kNoteOff = 0x8;
    static constexpr uint8_t kNoteOn = 0x9;
    static constexpr uint8_t kKeyPressure = 0xA;
    static constexpr uint8_t kAnyNote = 255;

    uint8_t type = 0;
    uint8_t channel = 0xFF;
    uint8_t note = 0;
    uint8_t velocity = 0;

    bool IsNoteOnWithVelocity() const { return type == kNoteOn && velocity != 0; }
    bool HasNote() const { return type == kNoteOff || type == kNoteOn || type == kKeyPressure; }
};

struct PlayLaunchParams
{
    // Launch flags.
    static constexpr uint8_t kFlagFirstItem = 0x02;     // the first item of its play (every action launch)
    static constexpr uint8_t kFlagRunTimeAction = 0x04; // launched by a run-time play action's flag: the
                                                        // instance is detached (not positioned, no limits)
    static constexpr uint8_t kFlagFadingIn = 0x08;      // a fade-in of the play is already running
    static constexpr uint8_t kFlagRateTimed = 0x10;     // an item of a playlist that starts its items at
                                                        // a rate: the item refuses seeks
    static constexpr uint8_t kFlagsAtInit = 0x03;

    // Every field back to its initial value (the arrays must have been freed).
    void Init() { *this = PlayLaunchParams{}; }
    // Gives back the arrays the record holds (the external sources' reference) and its play chain.
    void FreeArrays();
    // A copy for one child's play: every field, with references of its own on the external sources,
    // the play chain and the modulator instances. False when the instances could not be copied
    // (the copy then holds nothing and need not be freed).
    bool CopyTo(PlayLaunchParams& copy) const;

    CZkGameObject* gameObject = nullptr;
    ZkPlayingID playingID = 0;
    ZkTimeMs fadeInTime = 0;
    uint32_t fadeInCurve = ZkCurveInterpolation_Linear;
    // The posting call's external sources (a reference held), or null.
    ZkExternalSourceArray* externalSources = nullptr;
    ZkMidiEvent midiEvent;
    uint32_t midiValue = 0; // the 32-bit value a MIDI post carries with its event
    // The MIDI note the play is for (not held: its note event keeps it for the launch), or null.
    // The playing instances the play makes join its voices; a delayed play joins its actions.
    CZkMidiNote* midiNote = nullptr;
    uint32_t sampleOffset = 0;
    // Samples the play waits before it starts, gathered from the initial delays of the nodes it
    // went through while its start was deferred.
    uint32_t startDelaySamples = 0;
    // Non-zero: the start is deferred (the initial delays add to startDelaySamples instead of
    // queuing a delayed play).
    uint32_t deferredStart = 0;
    bool noInitialDelay = false; // the play takes no initial delay at all
    bool skipDelayOnce = false;  // the next initial delay is skipped (a delayed play arriving)
    // The continuation's modulator instances: those a run-time play action hands on to the play
    // it launches (the note-scope instances of the play before it).
    ZkModulatorInstanceArray modulatorInstances;
    uint32_t sequenceNumber = 0;
    ZkUniqueID nodeID = 0;
    float volumeFactor = 1.0f;
    // The chain of container items the play continues (a reference held), or null; and the path of
    // child indices it took.
    CZkPlayChain* playChain = nullptr;
    ZkPlayPath path;
    // A trigger-rate playlist's pass that comes back to it: the entry its previous pass selected
    // (-1: none, a first pass).
    int32_t nextIndex = -1;
    // The position-path player the play before hands on, with its path id (held by the launcher
    // for the launch), or null.
    CZkPositionPath* handedPathPlayer = nullptr;
    uint32_t handedPathID = 0;
    // The running fade and pause transitions of the item before (null: none) and its pause count,
    // which the next item of its play joins: it fades and stays paused with it. Not held: the
    // launcher keeps the item before alive for the launch.
    CZkTransition* handedFade = nullptr;
    CZkTransition* handedPause = nullptr;
    uint32_t handedPauseCount = 0;
    // What the play is for: kind 2, a dynamic sequence (playTarget, a reference held), whose play
    // contexts become the play's instances; 0 none.
    static constexpr uint8_t kPlayTargetDynamicSequence = 2;
    uint8_t playTargetKind = 0;
    CZkIndexedObject* playTarget = nullptr;
    uint8_t launchFlags = kFlagsAtInit;
    // 1: the play starts paused.
    uint8_t playType = 0;
};
} // namespace ZK::SoundEngine
