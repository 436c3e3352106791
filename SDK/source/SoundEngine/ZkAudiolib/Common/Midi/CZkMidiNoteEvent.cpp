#include "ZkAudiolib/Common/Midi/CZkMidiNoteEvent.h"

#include "ZkAudiolib/Common/Containers/ZkNew.h"
#include "ZkAudiolib/Common/FrontEnd/EventManager.h"
#include "ZkAudiolib/Common/GameObjects/CZkRegisteredObj.h"
#include "ZkAudiolib/Common/Hierarchy/CZkPlayableNode.h"
#include "ZkAudiolib/Common/Midi/CZkMidiNote.h"
#include "ZkAudiolib/Common/Midi/CZkMidiTarget.h"
#include "ZkAudiolib/Common/Midi/ZkMidiChannelState.h"
#include "ZkAudiolib/Common/Modulators/CZkModulatorLinks.h"
#include "ZkAudiolib/Common/Playback/CZkPlayingInstance.h"
#include "ZkAudiolib/Common/Playback/ZkVoiceLists.h"
#include "ZkAudiolib/Common/Voice/ZkAudioSettings.h"

#include <ZK/SoundEngine/Common/ZkMidiTypes.h>

#include <cmath>

namespace ZK::SoundEngine
{
namespace
{
constexpr uint32_t kImmediateCurve = ZkCurveInterpolation_Linear;
// Fade of a voice whose sender was asked to stop (a track player's stop).
constexpr ZkTimeMs kStopRequestedFadeMs = 0;
constexpr uint32_t kMillisecondsPerSecond = 1000;
// The mode that plays with no stop-mode choice of the node (EventManager::StopPendingActionsOfAction):
// every waiting record of the action, and the paused ones of the game object.
constexpr uint32_t kStopEveryRecordOfAction = 3;

bool IsNoteType(uint8_t type)
{
    return type == ZkMidiEventType_NoteOff || type == ZkMidiEventType_NoteOn || type == ZkMidiEventType_NoteAftertouch;
}

void ReleaseModulatorsAt(CZkPlayingInstance& instance, int32_t offset)
{
    ZkModulatorLinksHandle& links = instance.ModulatorLinks();
    if (links.links != nullptr)
        links.links->ReleaseAll(offset);
    else
        links.releaseFrame = offset; // what attaches later is released from there
}
} // namespace

void StopVoiceAtOffset(CZkPlayingInstance& instance, int32_t offset)
{
    if (offset >= 0)
    {
        const int32_t pending = instance.PendingStopOffset();
        if (pending == -1 || offset < pending)
            instance.SetPendingStopOffset(offset);
    }
    // A stop point makes the voice cut its last block there; without one it is silenced now.
    instance.StopWithFade(0, kImmediateCurve, instance.PendingStopOffset() == -1);
}

CZkMidiNoteEvent::CZkMidiNoteEvent(CZkMidiTarget* target, CZkPlayableNode* node) : m_target(target), m_node(node)
{
    m_target->AddRef();
    if (m_node != nullptr)
        m_node->AddRef();
}

CZkMidiNoteEvent::~CZkMidiNoteEvent()
{
    if (m_note != nullptr)
        m_note->Release();
    if (m_node != nullptr)
        m_node->Release();
    m_target->Release();
}

CZkMidiNoteEvent* CZkMidiNoteEvent::Create(CZkMidiTarget* target, CZkPlayableNode* node)
{
    return ZK::ZkNew<CZkMidiNoteEvent>(kPool, target, node);
}

void CZkMidiNoteEvent::Release()
{
    if (--m_refCount == 0)
        ZK::ZkDelete(kPool, this);
}

bool CZkMidiNoteEvent::Init(const ZkMIDIEvent& event, uint32_t offset)
{
    m_flags &= static_cast<uint8_t>(~kStarted);
    m_event = event;
    SetOffset(static_cast<int32_t>(offset > INT32_MAX ? INT32_MAX : offset));
    if (IsNoteOff())
    {
        m_flags |= kFinished;
        return true;
    }
    if (IsNoteOnWithVelocity() || IsPlayCommand())
    {
        m_note = CZkMidiNote::Create(event, m_target->GameObject());
        return m_note != nullptr;
    }
    if (event.type == ZkMidiEventType_Command)
        return event.command < kFirstRefusedCommand;
    m_flags |= kActed | kStarted | kFinished;
    return true;
}

bool CZkMidiNoteEvent::Matches(const CZkMidiNoteEvent& noteOff, const CZkMidiNoteEvent& candidate)
{
    return IsNoteType(noteOff.Type()) && IsNoteType(candidate.Type()) && noteOff.Channel() == candidate.Channel() &&
           noteOff.m_event.data[0] == candidate.m_event.data[0] && !candidate.Has(kFinished);
}

void CZkMidiNoteEvent::PairWith(CZkMidiNoteEvent& candidate)
{
    if (candidate.IsNoteOnWithVelocity())
    {
        m_event.type = ZkMidiEventType_NoteOff;
        m_event.data[1] = candidate.m_event.data[1];
        if (candidate.m_note != nullptr)
        {
            candidate.m_note->AddRef();
            if (m_note != nullptr)
                m_note->Release();
            m_note = candidate.m_note;
        }
    }
    candidate.m_flags |= kFinished;
}

void CZkMidiNoteEvent::BecomeNoteOff()
{
    m_event.type = ZkMidiEventType_NoteOff;
    m_flags = static_cast<uint8_t>((m_flags & ~(kActed | kStarted)) | kFinished);
}

bool CZkMidiNoteEvent::CanAct(bool releaseAllowed) const
{
    return (m_target->GameObject() != nullptr || m_target->HasNoGameObject()) && releaseAllowed && !Has(kStarted) &&
           m_offset < static_cast<int32_t>(ZkAudioSettings::FramesPerBuffer());
}

bool CZkMidiNoteEvent::Update(uint32_t frames, bool releaseAllowed, ZkMidiChannelState& record)
{
    const uint8_t type = m_event.type;
    if (type == ZkMidiEventType_Command)
        return UpdateCommand(frames, releaseAllowed, record);
    if (type != ZkMidiEventType_NoteOff && type != ZkMidiEventType_NoteOn)
        return true;

    if (CanAct(releaseAllowed))
    {
        if (IsNoteOff())
            ReleaseVoices();
        m_flags |= kStarted;
    }
    // A note-on plays once its time has come; a note-off has no source of its own to reach (no
    // source of this engine takes notes), its release is the step above.
    if (!Has(kActed) && Has(kStarted))
    {
        if (IsNoteOnWithVelocity())
            PlayNote();
        m_flags |= kActed;
    }
    if (IsNoteOnWithVelocity() && !Has(kFinished) && Has(kActed) && (m_note == nullptr || !m_note->IsAlive()) &&
        !m_target->HasQueuedEvents())
        m_flags |= kFinished;
    SetOffset(m_offset - static_cast<int32_t>(frames));
    return Has(kStarted) && Has(kFinished);
}

bool CZkMidiNoteEvent::UpdateCommand(uint32_t frames, bool releaseAllowed, ZkMidiChannelState& record)
{
    if (CanAct(releaseAllowed))
    {
        ExecuteCommand(record);
        m_flags |= kStarted | kActed;
    }
    SetOffset(m_offset - static_cast<int32_t>(frames));
    if (!Has(kStarted))
        return false;
    if (IsPlayCommand())
        return Has(kStoppedByCommand) || m_note == nullptr || !m_note->IsAlive();
    return true;
}

void CZkMidiNoteEvent::ExecuteCommand(ZkMidiChannelState& record)
{
    const uint16_t command = m_event.command;
    if (command == ZkMidiCommand_Play)
    {
        PlayNote();
        return;
    }
    for (CZkMidiNoteEvent* play = record.head; play != nullptr; play = play->pNext)
    {
        if (!play->IsPlayCommand() || !play->Has(kStarted) || play->Has(kStoppedByCommand) || play->m_note == nullptr)
            continue;
        CZkMidiNote& note = *play->m_note;
        note.ForEachVoice([&](CZkMidiNote::Voice& voice) {
            CZkPlayingInstance& instance = *voice.instance;
            switch (command)
            {
            case ZkMidiCommand_Stop: StopVoiceAtOffset(instance, m_offset); break;
            case ZkMidiCommand_Pause: instance.Pause(0, kImmediateCurve); break;
            case ZkMidiCommand_Resume: instance.Resume(0, kImmediateCurve, false); break;
            case ZkMidiCommand_SeekMs:
                instance.SeekToSamples(static_cast<uint32_t>(uint64_t{ZkAudioSettings::SampleRate()} *
                                                             m_event.commandArgument / kMillisecondsPerSecond));
                break;
            case ZkMidiCommand_SeekSamples: instance.SeekToSamples(m_event.commandArgument); break;
            default: break;
            }
        });
        if (g_pEventMgr != nullptr && (command == ZkMidiCommand_Pause || command == ZkMidiCommand_Resume))
        {
            note.ForEachAction([&](CZkMidiNote::Action& entry) {
                if (command == ZkMidiCommand_Pause)
                    g_pEventMgr->PausePendingActionsOfActionObj(entry.action);
                else
                    g_pEventMgr->ResumePendingActionsOfActionObj(entry.action);
            });
        }
        if (command == ZkMidiCommand_Stop)
            play->m_flags |= kStoppedByCommand;
    }
}

void CZkMidiNoteEvent::PlayNote()
{
    if (m_node == nullptr)
        return;
    PlayLaunchParams launch;
    launch.gameObject = m_target->GameObject();
    launch.playingID = m_target->PlayingID();
    if (m_event.type != ZkMidiEventType_Command)
    {
        launch.midiEvent.type = static_cast<uint8_t>(m_event.type >> 4);
        launch.midiEvent.channel = m_event.channel;
        launch.midiEvent.note = m_event.data[0];
        launch.midiEvent.velocity = m_event.data[1];
        launch.midiValue = m_event.commandArgument;
    }
    // The voice starts on the event's own sample of the frame.
    launch.sampleOffset = static_cast<uint32_t>(m_offset);
    launch.startDelaySamples = static_cast<uint32_t>(m_offset);
    launch.midiNote = m_note;
    launch.launchFlags |= PlayLaunchParams::kFlagFirstItem;
    const uint32_t voicesBefore = m_note != nullptr ? m_note->VoiceCount() : 0;
    // A note is a launch of its own: the voice queue starts a launch's voices together, once all
    // are ready, and a note that shared the launch of the music clips started in this frame would
    // wait with them for a streamed clip's first data (past its own note-off, unheard).
    ZkVoiceLists::IncrementLaunchCounter();
    (void)m_node->Launch(launch); // a node that declines leaves the note without voices
    ZkVoiceLists::IncrementLaunchCounter();
    launch.FreeArrays();
    if (m_note != nullptr)
        TimeStartsInOutputSamples(*m_note, voicesBefore, m_offset);
}

void CZkMidiNoteEvent::TimeStartsInOutputSamples(CZkMidiNote& note, uint32_t firstVoice, int32_t offset)
{
    // An instance counts its start delay down in samples of its source (frames x its pitch ratio),
    // so a delay of offset would start a pitched note at offset / ratio. The voices this play just
    // made wait offset x ratio source samples instead: each note starts on its own output sample.
    uint32_t index = 0;
    note.ForEachVoice([&](CZkMidiNote::Voice& voice) {
        if (index++ < firstVoice)
            return;
        const double ratio = voice.instance->GetPitchRatio();
        *voice.instance->StartDelayCounter() = static_cast<int32_t>(std::lround(offset * ratio));
    });
}

void CZkMidiNoteEvent::ReleaseVoices()
{
    if (m_note == nullptr)
        return;
    const bool stopRequested = m_target->IsStopRequested();
    m_note->ForEachVoice([&](CZkMidiNote::Voice& voice) {
        CZkPlayingInstance& instance = *voice.instance;
        ReleaseModulatorsAt(instance, m_offset);
        if (stopRequested)
        {
            voice.kind = CZkMidiNote::kVoiceStoppedAtNoteOff;
            instance.StopWithFade(kStopRequestedFadeMs, kImmediateCurve, true);
        }
        else if (voice.kind == CZkMidiNote::kVoiceStoppedAtNoteOff)
        {
            StopVoiceAtOffset(instance, m_offset);
        }
    });
    if (g_pEventMgr != nullptr)
    {
        m_note->ForEachAction([&](CZkMidiNote::Action& entry) {
            g_pEventMgr->StopPendingActionsOfAction(entry.action, m_target->GameObject(), kStopEveryRecordOfAction);
        });
    }
}

void CZkMidiNoteEvent::StopVoices()
{
    if (m_note == nullptr)
        return;
    m_note->ForEachVoice([](CZkMidiNote::Voice& voice) { voice.instance->StopWithFade(0, kImmediateCurve, true); });
    if (g_pEventMgr != nullptr)
    {
        m_note->ForEachAction([&](CZkMidiNote::Action& entry) {
            g_pEventMgr->StopPendingActionsOfAction(entry.action, m_target->GameObject(), kStopEveryRecordOfAction);
        });
    }
}

void CZkMidiNoteEvent::PauseVoices()
{
    if (m_note == nullptr)
        return;
    m_note->ForEachVoice([](CZkMidiNote::Voice& voice) { voice.instance->Pause(0, kImmediateCurve); });
    if (g_pEventMgr != nullptr)
        m_note->ForEachAction([](CZkMidiNote::Action& entry) { g_pEventMgr->PausePendingActionsOfActionObj(entry.action); });
}

void CZkMidiNoteEvent::ResumeVoices()
{
    if (m_note == nullptr)
        return;
    m_note->ForEachVoice([](CZkMidiNote::Voice& voice) { voice.instance->Resume(0, kImmediateCurve, false); });
    if (g_pEventMgr != nullptr)
        m_note->ForEachAction([](CZkMidiNote::Action& entry) { g_pEventMgr->ResumePendingActionsOfActionObj(entry.action); });
}
} // namespace ZK::SoundEngine
