#include "ZkAudiolib/Common/Midi/CZkMidiDispatcher.h"

#include "ZkAudiolib/Common/Hierarchy/CZkPlayableNode.h"
#include "ZkAudiolib/Common/Midi/CZkMidiNote.h"
#include "ZkAudiolib/Common/Midi/CZkMidiNoteEvent.h"
#include "ZkAudiolib/Common/Midi/CZkMidiTarget.h"
#include "ZkAudiolib/Common/Parameters/CZkRTPCMgr.h"
#include "ZkAudiolib/Common/Playback/CZkPlayingMgr.h"

#include <ZK/SoundEngine/Common/ZkMidiTypes.h>

namespace ZK::SoundEngine
{
namespace
{
constexpr uint8_t kControllerSustain = 64;
constexpr uint8_t kControllerAllSoundOff = 120;
constexpr uint8_t kControllerResetAll = 121;
constexpr uint8_t kControllerAllNotesOff = 123;
constexpr uint8_t kSustainOnValue = 64;
constexpr uint8_t kChannels = 16;
constexpr float kPitchBendStep = 128.0f;
// The type of the event that flushes a stopped target's notes: no channel message of its own.
constexpr uint8_t kFlushEventType = 0xF0;

bool IsBus(const CZkPlayableNode* node)
{
    const uint32_t category = node->Category();
    return category == ZkNodeCategory_Bus || category == ZkNodeCategory_BusType18;
}
} // namespace

CZkMidiDispatcher::~CZkMidiDispatcher()
{
    Term();
}

ZkMidiChannelState* CZkMidiDispatcher::FindOrAddRecord(const CZkMidiTarget& target)
{
    for (uint32_t i = 0; i < m_records.Length(); ++i)
    {
        if (m_records[i].IsFor(target.Node(), target.GameObject(), target.PlayingID()))
            return &m_records[i];
    }
    ZkMidiChannelState record;
    record.node = target.Node();
    record.gameObject = target.GameObject();
    record.playingID = target.PlayingID();
    return m_records.AddLast(record);
}

const ZkMidiChannelState* CZkMidiDispatcher::FindRecord(const CZkMidiTarget& target) const
{
    for (uint32_t i = 0; i < m_records.Length(); ++i)
    {
        if (m_records[i].IsFor(target.Node(), target.GameObject(), target.PlayingID()))
            return &m_records[i];
    }
    return nullptr;
}

void CZkMidiDispatcher::ClearSustain(const CZkMidiTarget& target)
{
    for (uint32_t i = 0; i < m_records.Length(); ++i)
    {
        if (m_records[i].IsFor(target.Node(), target.GameObject(), target.PlayingID()))
        {
            m_records[i].sustainMask = 0;
            return;
        }
    }
}

void CZkMidiDispatcher::Insert(ZkMidiChannelState& record, CZkMidiNoteEvent* noteEvent)
{
    // After every event of an equal offset: events of one sample keep their order. Events mostly
    // come in time order: the tail is the usual place.
    if (record.tail == nullptr || record.tail->Offset() <= noteEvent->Offset())
    {
        noteEvent->pNext = nullptr;
        (record.tail != nullptr ? record.tail->pNext : record.head) = noteEvent;
        record.tail = noteEvent;
        return;
    }
    CZkMidiNoteEvent* before = nullptr;
    for (CZkMidiNoteEvent* at = record.head; at != nullptr && at->Offset() <= noteEvent->Offset(); at = at->pNext)
        before = at;
    noteEvent->pNext = before != nullptr ? before->pNext : record.head;
    (before != nullptr ? before->pNext : record.head) = noteEvent;
    if (noteEvent->pNext == nullptr)
        record.tail = noteEvent;
}

void CZkMidiDispatcher::Unlink(ZkMidiChannelState& record, CZkMidiNoteEvent* before, CZkMidiNoteEvent* noteEvent)
{
    (before != nullptr ? before->pNext : record.head) = noteEvent->pNext;
    if (record.tail == noteEvent)
        record.tail = before;
    noteEvent->pNext = nullptr;
}

void CZkMidiDispatcher::ReleaseAsNoteOff(ZkMidiChannelState& record, CZkMidiTarget& target,
                                         CZkMidiNoteEvent& candidate, uint32_t offset)
{
    CZkMidiNoteEvent* noteOff = CZkMidiNoteEvent::Create(&target, target.Node());
    if (noteOff == nullptr)
        return;
    ZkMIDIEvent event = candidate.Event();
    event.type = ZkMidiEventType_NoteOff;
    if (!noteOff->Init(event, offset))
    {
        noteOff->Release();
        return;
    }
    noteOff->PairWith(candidate);
    Insert(record, noteOff);
}

void CZkMidiDispatcher::ProcessEvent(CZkMidiTarget& target, const ZkMIDIEvent& event, uint32_t offset, bool matchTarget)
{
    if (target.PlayingID() != 0 && g_pPlayingMgr != nullptr)
        g_pPlayingMgr->NotifyMidiEvent(target.PlayingID(), event);
    OnEventProcessed(target, event);
    ZkMidiChannelState* record = FindOrAddRecord(target);
    if (record == nullptr)
        return; // the records cannot grow: the event is dropped
    // A bus takes the controllers only; a sound or container every event.
    if (target.TargetsBus() ? event.type != ZkMidiEventType_Controller
                            : target.Node() == nullptr || (IsBus(target.Node()) && event.type != ZkMidiEventType_Controller))
        return;

    CZkMidiNoteEvent* noteEvent = CZkMidiNoteEvent::Create(&target, target.Node());
    if (noteEvent == nullptr)
        return;
    if (!noteEvent->Init(event, offset))
    {
        noteEvent->Release();
        return;
    }

    if (noteEvent->IsNoteOff())
    {
        CZkMidiNoteEvent* candidate = record->head;
        while (candidate != nullptr && (!CZkMidiNoteEvent::Matches(*noteEvent, *candidate) ||
                                        (matchTarget && candidate->Target() != &target)))
            candidate = candidate->pNext;
        if (candidate == nullptr)
        {
            noteEvent->Release(); // a note-off without its note-on
            return;
        }
        noteEvent->PairWith(*candidate);
    }
    else if (event.type == ZkMidiEventType_Controller &&
             (event.data[0] == kControllerAllSoundOff || event.data[0] == kControllerAllNotesOff))
    {
        for (CZkMidiNoteEvent* at = record->head; at != nullptr; at = at->pNext)
        {
            if (at->Target() == &target && at->IsNoteOnWithVelocity() && at->Channel() == event.channel &&
                at->Has(CZkMidiNoteEvent::kStarted) && !at->Has(CZkMidiNoteEvent::kFinished) &&
                at->Offset() <= static_cast<int32_t>(offset))
                ReleaseAsNoteOff(*record, target, *at, offset);
        }
    }
    Insert(*record, noteEvent);
}

void CZkMidiDispatcher::ProcessNotes(uint32_t frames)
{
    for (uint32_t i = 0; i < m_records.Length(); ++i)
    {
        CZkMidiNoteEvent* before = nullptr;
        for (CZkMidiNoteEvent* noteEvent = m_records[i].head; noteEvent != nullptr;)
        {
            ZkMidiChannelState& record = m_records[i];
            CZkMidiNoteEvent* next = noteEvent->pNext;
            const bool releaseAllowed = !(noteEvent->IsNoteOff() && record.Holds(noteEvent->Channel()));
            if (!noteEvent->Update(frames, releaseAllowed, record))
            {
                before = noteEvent;
                noteEvent = next;
                continue;
            }
            const uint8_t type = noteEvent->Type();
            if (type != ZkMidiEventType_NoteOff && type != ZkMidiEventType_NoteOn && type != ZkMidiEventType_Command)
                DispatchChannelMessage(record, *noteEvent->Target(), noteEvent->Event());
            Unlink(record, before, noteEvent);
            if (noteEvent->IsNoteOff())
                AddReleased(noteEvent);
            else
                noteEvent->Release();
            noteEvent = next;
        }
    }
    FreeDeadReleased();
}

void CZkMidiDispatcher::AddReleased(CZkMidiNoteEvent* noteEvent)
{
    noteEvent->pNext = nullptr;
    (m_releasedTail != nullptr ? m_releasedTail->pNext : m_releasedHead) = noteEvent;
    m_releasedTail = noteEvent;
}

template <typename Leaves>
void CZkMidiDispatcher::RemoveReleasedIf(Leaves leaves, bool stopVoices)
{
    CZkMidiNoteEvent* before = nullptr;
    for (CZkMidiNoteEvent* noteEvent = m_releasedHead; noteEvent != nullptr;)
    {
        CZkMidiNoteEvent* next = noteEvent->pNext;
        if (!leaves(*noteEvent))
        {
            before = noteEvent;
            noteEvent = next;
            continue;
        }
        (before != nullptr ? before->pNext : m_releasedHead) = next;
        if (m_releasedTail == noteEvent)
            m_releasedTail = before;
        if (stopVoices)
            noteEvent->StopVoices();
        noteEvent->Release();
        noteEvent = next;
    }
}

void CZkMidiDispatcher::FreeDeadReleased()
{
    RemoveReleasedIf([](const CZkMidiNoteEvent& noteEvent) { return noteEvent.Note() == nullptr || !noteEvent.Note()->IsAlive(); },
                     false);
}

uint32_t CZkMidiDispatcher::ReleasedCount() const
{
    uint32_t count = 0;
    for (const CZkMidiNoteEvent* noteEvent = m_releasedHead; noteEvent != nullptr; noteEvent = noteEvent->pNext)
        ++count;
    return count;
}

void CZkMidiDispatcher::DispatchChannelMessage(ZkMidiChannelState& record, const CZkMidiTarget& target,
                                               const ZkMIDIEvent& event)
{
    if (g_pRTPCMgr == nullptr)
        return;
    ZkRTPCKey key;
    key.gameObject = target.HasNoGameObject() ? nullptr : target.GameObject();
    key.midiTargetID = target.NodeID();
    key.midiChannel = event.channel;
    const bool namesNote = event.type == ZkMidiEventType_NoteOff || event.type == ZkMidiEventType_NoteOn ||
                           event.type == ZkMidiEventType_NoteAftertouch;
    key.midiNote = namesNote ? event.data[0] : kZkMidiAny;

    if (event.type == ZkMidiEventType_PitchBend)
    {
        const float value = static_cast<float>((event.data[1] & 0x7F) * 128 + (event.data[0] & 0x7F)) / kPitchBendStep;
        g_pRTPCMgr->SetRTPCImmediate(kMidiPitchBendParam, value, key);
        return;
    }
    if (event.type != ZkMidiEventType_Controller)
        return;
    const uint8_t controller = event.data[0];
    const uint8_t value = event.data[1];
    if (controller == kControllerAllSoundOff || controller == kControllerAllNotesOff)
        return;
    if (controller == kControllerResetAll)
    {
        record.sustainMask = 0;
        for (uint32_t id = kMidiFirstResetParam; id <= kMidiLastResetParam; ++id)
        {
            TransParamsBase now{0, ZkCurveInterpolation_Linear, false};
            g_pRTPCMgr->ResetRTPCValueForKey(id, key, now);
        }
        return;
    }
    g_pRTPCMgr->SetRTPCImmediate(uint32_t{controller} + 1, static_cast<float>(value), key);
    if (controller == kControllerSustain && event.channel < kChannels)
    {
        const auto bit = static_cast<uint16_t>(1u << event.channel);
        record.sustainMask = static_cast<uint16_t>(value >= kSustainOnValue ? record.sustainMask | bit
                                                                            : record.sustainMask & ~bit);
    }
}

void CZkMidiDispatcher::StopTarget(CZkMidiTarget& target)
{
    for (uint8_t channel = 0; channel < kChannels; ++channel)
    {
        ZkMIDIEvent sustainOff;
        sustainOff.type = ZkMidiEventType_Controller;
        sustainOff.channel = channel;
        sustainOff.data[0] = kControllerSustain;
        sustainOff.data[1] = 0;
        if (ZkMidiChannelState* record = FindOrAddRecord(target))
            DispatchChannelMessage(*record, target, sustainOff);
    }
    if (ZkMidiChannelState* record = FindOrAddRecord(target))
    {
        record->sustainMask = 0;
        CZkMidiNoteEvent* before = nullptr;
        for (CZkMidiNoteEvent* noteEvent = record->head; noteEvent != nullptr;)
        {
            CZkMidiNoteEvent* next = noteEvent->pNext;
            if (noteEvent->Target() == &target)
            {
                noteEvent->SetOffset(0);
                if (noteEvent->IsNoteOnWithVelocity() && !noteEvent->Has(CZkMidiNoteEvent::kFinished))
                {
                    if (!noteEvent->Has(CZkMidiNoteEvent::kStarted))
                    {
                        Unlink(*record, before, noteEvent);
                        noteEvent->Release();
                        noteEvent = next;
                        continue;
                    }
                    noteEvent->BecomeNoteOff();
                }
            }
            before = noteEvent;
            noteEvent = next;
        }
    }
    ZkMIDIEvent flush;
    flush.type = kFlushEventType;
    flush.channel = 0xFF;
    ProcessEvent(target, flush, 0, true);
    ProcessNotes(0);

    RemoveReleasedIf([&target](const CZkMidiNoteEvent& noteEvent) { return noteEvent.Target() == &target; }, true);
}

template <typename Action>
void CZkMidiDispatcher::ForEachNoteEventOf(const CZkMidiTarget& target, Action action)
{
    for (uint32_t i = 0; i < m_records.Length(); ++i)
        for (CZkMidiNoteEvent* noteEvent = m_records[i].head; noteEvent != nullptr; noteEvent = noteEvent->pNext)
            if (noteEvent->Target() == &target)
                action(*noteEvent);
    for (CZkMidiNoteEvent* noteEvent = m_releasedHead; noteEvent != nullptr; noteEvent = noteEvent->pNext)
        if (noteEvent->Target() == &target)
            action(*noteEvent);
}

void CZkMidiDispatcher::PauseTarget(const CZkMidiTarget& target)
{
    ForEachNoteEventOf(target, [](CZkMidiNoteEvent& noteEvent) { noteEvent.PauseVoices(); });
}

void CZkMidiDispatcher::ResumeTarget(const CZkMidiTarget& target)
{
    ForEachNoteEventOf(target, [](CZkMidiNoteEvent& noteEvent) { noteEvent.ResumeVoices(); });
}

void CZkMidiDispatcher::ForgetRecordOf(const CZkMidiTarget& target)
{
    for (uint32_t i = 0; i < m_records.Length(); ++i)
    {
        ZkMidiChannelState& record = m_records[i];
        if (!record.IsFor(target.Node(), target.GameObject(), target.PlayingID()))
            continue;
        if (record.head == nullptr && !HasOtherTargetFor(record, target))
            m_records.EraseSwap(i);
        return;
    }
}

void CZkMidiDispatcher::Term()
{
    for (uint32_t i = 0; i < m_records.Length(); ++i)
    {
        for (CZkMidiNoteEvent* noteEvent = m_records[i].head; noteEvent != nullptr;)
        {
            CZkMidiNoteEvent* next = noteEvent->pNext;
            noteEvent->Release();
            noteEvent = next;
        }
    }
    m_records.Term();
    while (m_releasedHead != nullptr)
    {
        CZkMidiNoteEvent* next = m_releasedHead->pNext;
        m_releasedHead->StopVoices();
        m_releasedHead->Release();
        m_releasedHead = next;
    }
    m_releasedTail = nullptr;
}
} // namespace ZK::SoundEngine
