// CZkMidiNote: what one MIDI note started, shared by the note-on that played it and the note-off
// (or stop command) that ends it. It keeps the playing instances the note started (its voices) and
// the delayed plays that an initial delay queued for it (its actions). A note is alive while either
// list holds something; a released note stays with its MIDI manager until it is no longer alive.
//
// Voice kinds say what a note-off does to the voice: kind 2 hands the note-off over (its modulators
// are released and it plays on to its end), kind 3 stops it at the note-off's sample. A voice joins
// when its playing instance is made for a play that carries the note and leaves when the instance
// is destroyed; each holds a reference on the note meanwhile, and so does each queued action.
//
// Threading: audio thread (under the global engine lock). Ownership: reference counted, memory
// pool 0; the note events of its note-on and note-off and its voices and actions hold it.
#pragma once

#include "ZkAudiolib/Common/Midi/ZkMidiNoteList.h"

#include <ZK/SoundEngine/Common/ZkCallbackTypes.h>
#include <ZK/SoundEngine/Common/ZkMemoryMgr.h>

#include <cstdint>

namespace ZK::SoundEngine
{
class CZkEventAction;
class CZkGameObject;
class CZkPlayingInstance;

class CZkMidiNote
{
public:
    static constexpr ZkMemoryId kPool = ZkMemID_Default;
    // What a note-off does to a voice.
    static constexpr uint8_t kVoiceHandedNoteOff = 2;
    static constexpr uint8_t kVoiceStoppedAtNoteOff = 3;

    struct Voice
    {
        uint8_t kind;
        CZkPlayingInstance* instance;
    };
    struct Action
    {
        CZkEventAction* action;
    };

    // A note of the note-on (or play command) event, count 1, with its two lists' blocks; null when
    // any allocation fails (nothing is left behind).
    static CZkMidiNote* Create(const ZkMIDIEvent& event, CZkGameObject* gameObject);

    void AddRef() { ++m_refCount; }
    // At 0 the lists are emptied and the note freed. The new count.
    uint32_t Release();

    // The voice kind of a play whose node resolved this derived MIDI mode (2: the node hands its
    // note-offs to its voices).
    static uint8_t VoiceKindForMode(uint32_t derivedMidiMode)
    {
        return derivedMidiMode == 2 ? kVoiceHandedNoteOff : kVoiceStoppedAtNoteOff;
    }

    // The instance joins the voices (a reference on the note is taken); false when no list node can
    // be had (the instance then plays without the note).
    bool AddVoice(CZkPlayingInstance* instance, uint8_t kind);
    // The instance leaves (its reference is given back, which may free the note).
    void RemoveVoice(const CZkPlayingInstance* instance);
    // The same for a queued delayed play.
    bool AddAction(CZkEventAction* action);
    void RemoveAction(const CZkEventAction* action);

    template <typename Visit>
    void ForEachVoice(Visit visit) const
    {
        m_voices.ForEach(visit);
    }
    template <typename Visit>
    void ForEachAction(Visit visit) const
    {
        m_actions.ForEach(visit);
    }
    // A voice of this kind from now on (a stop asked of a track player turns every voice to 3).
    void SetVoiceKind(const CZkPlayingInstance* instance, uint8_t kind);

    bool IsAlive() const { return !m_voices.IsEmpty() || !m_actions.IsEmpty(); }
    uint32_t VoiceCount() const { return m_voices.Count(); }
    uint32_t ActionCount() const { return m_actions.Count(); }
    const ZkMIDIEvent& Event() const { return m_event; }
    CZkGameObject* GameObject() const { return m_gameObject; }
    uint32_t RefCount() const { return m_refCount; }

    // Use Create and Release.
    CZkMidiNote(const ZkMIDIEvent& event, CZkGameObject* gameObject) : m_event(event), m_gameObject(gameObject) {}
    ~CZkMidiNote() = default;
    CZkMidiNote(const CZkMidiNote&) = delete;
    CZkMidiNote& operator=(const CZkMidiNote&) = delete;

private:
    ZkMIDIEvent m_event;
    uint32_t m_refCount = 1;
    CZkGameObject* m_gameObject;
    ZkMidiNoteList<Voice> m_voices;
    ZkMidiNoteList<Action> m_actions;
};
} // namespace ZK::SoundEngine
