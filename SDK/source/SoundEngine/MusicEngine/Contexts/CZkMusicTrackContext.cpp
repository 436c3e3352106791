#include "MusicEngine/Contexts/CZkMusicTrackContext.h"

#include "MusicEngine/CZkMusicSegment.h"
#include "MusicEngine/CZkMusicTrack.h"
#include "MusicEngine/Contexts/CZkMusicSegmentContext.h"
#include "MusicEngine/Contexts/CZkMusicSourceInstance.h"
#include "MusicEngine/Contexts/CZkMusicTimelineContext.h"
#include "MusicEngine/Contexts/ZkClipAutomation.h"
#include "MusicEngine/Midi/CZkMidiTrackPlayback.h"
#include "ZkAudiolib/Common/FrontEnd/EventManager.h"
#include "ZkAudiolib/Common/FrontEnd/PendingAction.h"
#include "ZkAudiolib/Common/GameObjects/CZkRegisteredObj.h"
#include "ZkAudiolib/Common/Modulators/ZkModulatorTargets.h"
#include "ZkAudiolib/Common/Modulators/ZkModulatorTrigger.h"
#include "ZkAudiolib/Common/ObjectIndex/ObjectIndex.h"
#include "ZkAudiolib/Common/Parameters/CZkModulatorMgr.h"
#include "ZkAudiolib/Common/Voice/ZkAudioSettings.h"

#include <algorithm>
#include <new>

namespace ZK::MusicEngine
{
// A clip starts: its record, where its source starts reading, how long it sounds from there, how
// early it starts for its stream, and the automation that waits for it.
class ZkClipStartAction final : public ZkMusicAction
{
public:
    ZkClipStartAction(int32_t time, const ZkMusicClip& clipRecord, int32_t position, int32_t remaining, int32_t early)
        : ZkMusicAction(time), clip(clipRecord), sourcePosition(position), duration(remaining), lookAhead(early)
    {
    }
    ~ZkClipStartAction() override { ZkClipAutomation::DestroyList(automation); }
    uint32_t Kind() const override { return 0; }

    ZkMusicClip clip;
    int32_t sourcePosition;
    int32_t duration;
    int32_t lookAhead;
    ZkClipAutomation* automation = nullptr;
};

namespace
{
constexpr uint32_t kKindClipStart = 0;
constexpr uint32_t kKindClipEvent = 3;
// A MIDI source's codec: its clips play through a MIDI-track player.
constexpr uint32_t kMidiCodec = 16;

// The end of a clip: its leaf stops there. An audio clip's instance may carry automation, applied
// first; a MIDI clip's player releases its sounding notes.
class ZkClipStopAction final : public ZkMusicAction
{
public:
    ZkClipStopAction(int32_t time, CZkMusicSourceInstance& clipInstance, bool automated)
        : ZkMusicAction(time), leaf(&clipInstance.Leaf()), instance(&clipInstance), hasAutomation(automated)
    {
    }
    ZkClipStopAction(int32_t time, CZkMidiTrackPlayback& player) : ZkMusicAction(time), leaf(&player) {}
    uint32_t Kind() const override { return kKindStop; }
    const CZkMusicChild* StopTarget() const override { return leaf; }

    CZkMusicChild* leaf;
    CZkMusicSourceInstance* instance = nullptr; // an audio clip's
    bool hasAutomation = false;
};

class ZkClipEventAction final : public ZkMusicAction
{
public:
    ZkClipEventAction(int32_t time, ZkUniqueID id) : ZkMusicAction(time), eventID(id) {}
    uint32_t Kind() const override { return kKindClipEvent; }

    ZkUniqueID eventID;
};

bool IsMidiSource(const SoundEngine::ZkMediaRef& media)
{
    return static_cast<uint32_t>(media.sourceType) >> 16 == kMidiCodec;
}

uint32_t NotBelowZero(int32_t value)
{
    return static_cast<uint32_t>(std::max(value, 0));
}
} // namespace

int32_t PositionInSource(int64_t position, int32_t length)
{
    if (length <= 0)
        return 0;
    const int64_t wrapped = position % length;
    return static_cast<int32_t>(wrapped < 0 ? wrapped + length : wrapped);
}

CZkMusicTrackContext* CZkMusicTrackContext::Create(CZkMusicSegmentContext& parentContext, CZkMusicTrack& track,
                                                   uint32_t subTrack)
{
    void* memory = ZK::MemoryMgr::Malloc(kPool, sizeof(CZkMusicTrackContext));
    if (memory == nullptr)
        return nullptr;
    auto* context = new (memory) CZkMusicTrackContext(parentContext, track, subTrack);
    context->AddRef(); // its own, dropped at its first OnStopped
    context->AttachToParent();
    return context;
}

CZkMusicTrackContext::CZkMusicTrackContext(CZkMusicSegmentContext& parentContext, CZkMusicTrack& track, uint32_t subTrack)
    : CZkMusicContext(&parentContext), m_track(track), m_subTrack(subTrack)
{
    m_track.AddRef();
    m_links.Init();
}

CZkMusicTrackContext::~CZkMusicTrackContext()
{
    m_actions.Clear();
    ZkClipAutomation::DestroyList(m_activeAutomation);
    m_links.Release();
    m_track.Release();
}

void CZkMusicTrackContext::OnLastRelease()
{
    if (parent != nullptr)
        static_cast<CZkMusicSegmentContext*>(parent)->DropStopsOf(*this);
    CZkMusicContext::OnLastRelease();
}

CZkMusicSegmentContext& CZkMusicTrackContext::Segment() const
{
    return *static_cast<CZkMusicSegmentContext*>(parent);
}

CZkMusicPlayRecord* CZkMusicTrackContext::PlayRecord() const
{
    return parent != nullptr ? Segment().PlayRecord() : nullptr;
}

void CZkMusicTrackContext::TriggerModulators(int32_t triggerKind)
{
    if (SoundEngine::g_pModulatorMgr == nullptr)
        return;
    SoundEngine::ZkModulatorKeyList keys;
    m_track.RegisterModulatorKeys(keys, false);
    if (keys.IsEmpty())
        return;
    SoundEngine::ZkModulatorTrigger trigger;
    if (const CZkMusicPlayRecord* record = PlayRecord(); record != nullptr)
    {
        trigger.gameObject = record->gameObject;
        trigger.playingID = record->PlayingID();
    }
    trigger.triggerKind = triggerKind;
    // A modulator that cannot be attached leaves the track unmodulated by it.
    SoundEngine::g_pModulatorMgr->ProcessForKeyList(keys, trigger, &m_links);
}

void CZkMusicTrackContext::ReleaseModulators()
{
    TriggerModulators(kTrackModulatorsRelease);
}

void CZkMusicTrackContext::OnPlay()
{
    CZkMusicContext::OnPlay();
    TriggerModulators(kTrackModulatorsPlay);
    if (!HasBuiltActions())
        BuildClipActions();
}

void CZkMusicTrackContext::OnStopped()
{
    AddRef();
    ZkClipAutomation::DestroyList(m_activeAutomation);
    m_activeAutomation = nullptr;
    m_actions.Clear();
    CZkMusicContext::OnStopped();
    if (parent != nullptr)
        Segment().DropStopsOf(*this);
    ReleasePlayers();
    if ((m_flags & kSelfReferenceDropped) == 0)
    {
        m_flags |= kSelfReferenceDropped;
        Release();
    }
    Release();
}

void CZkMusicTrackContext::BuildClipActions()
{
    m_flags |= kActionsBuilt;
    const auto& clips = m_track.Clips();
    for (uint32_t index = 0; index < clips.Length(); ++index)
    {
        const ZkMusicClip& clip = clips[index];
        if (clip.subTrack != m_subTrack)
            continue;
        const SoundEngine::ZkMediaRef* media = m_track.MediaOf(clip.sourceID);
        const int32_t lookAhead = m_track.ClipLookAhead(clip, m_trackStart);
        const int64_t clipEnd = int64_t{clip.start} + clip.audibleLength;
        if (clipEnd > m_trackStart)
        {
            int32_t duration = clip.audibleLength;
            int32_t position = clip.startOffset;
            int32_t time = clip.start - lookAhead;
            if (clip.start < m_trackStart)
            {
                // Entered in its middle: where the source stands then, wrapping at its length.
                duration -= m_trackStart - clip.start;
                position = PositionInSource(int64_t{m_trackStart} + clip.startOffset - clip.start, clip.sourceDuration);
                time = m_trackStart - lookAhead;
            }
            auto* start = ZkMusicAction::Create<ZkClipStartAction>(time, clip, position, duration, lookAhead);
            if (start != nullptr)
            {
                if (media == nullptr || !IsMidiSource(*media))
                {
                    ZkClipAutomation** tail = &start->automation;
                    for (uint32_t kind = 0; kind < kClipAutomationKinds; ++kind)
                    {
                        for (const ZkMusicClipCurve& curve : m_track.Curves())
                        {
                            if (curve.clipIndex != index || curve.kind != kind || curve.curve.PointCount() == 0)
                                continue;
                            if (ZkClipAutomation* record = ZkClipAutomation::Create(kind, curve.curve, clip.start))
                            {
                                *tail = record;
                                tail = &record->next;
                            }
                        }
                    }
                }
                m_actions.Insert(start);
            }
        }
        if (clip.eventID != 0 && clipEnd >= m_trackStart)
        {
            if (auto* event = ZkMusicAction::Create<ZkClipEventAction>(clip.start, clip.eventID))
                m_actions.Insert(event);
        }
    }
}

void CZkMusicTrackContext::ProcessTrack(int32_t trackTime, uint32_t length, float speed)
{
    AddRef();
    if (PlayState() == kStopping)
        length = std::min(length, StopOffset());
    RunDueClipActions(trackTime, length, speed);
    const auto frameEnd = static_cast<int32_t>(static_cast<int64_t>(trackTime) + length);
    for (ZkClipAutomation* record = m_activeAutomation; record != nullptr; record = record->next)
        record->ApplyAt(frameEnd);
    Release();
}

void CZkMusicTrackContext::RunDueClipActions(int32_t trackTime, uint32_t length, float speed)
{
    const auto frameEnd = static_cast<int32_t>(static_cast<int64_t>(trackTime) + length);
    ZkMusicAction* action = nullptr;
    while (m_actions.PopDue(trackTime, length, action) == ZK_DataReady)
    {
        const int32_t offset = action->time - trackTime;
        switch (action->Kind())
        {
        case kKindClipStart:
            StartClip(*static_cast<ZkClipStartAction*>(action), offset, speed, frameEnd);
            break;
        case ZkMusicAction::kKindStop:
        {
            auto* stop = static_cast<ZkClipStopAction*>(action);
            // The automation is applied before the stop: the stop may end the instance.
            if (stop->hasAutomation)
                ApplyAndDropAutomation(stop->instance, frameEnd);
            stop->leaf->StopAt(NotBelowZero(offset));
            break;
        }
        case kKindClipEvent:
            PostClipEvent(static_cast<ZkClipEventAction*>(action)->eventID, offset);
            break;
        default:
            break;
        }
        ZkMusicAction::Destroy(action);
    }
}

void CZkMusicTrackContext::StartClip(ZkClipStartAction& action, int32_t offset, float speed, int32_t frameEnd)
{
    const SoundEngine::ZkMediaRef* media = m_track.MediaOf(action.clip.sourceID);
    if (media == nullptr)
        return; // a clip whose source is missing (an event clip has none) is skipped silently
    CZkMusicPlayRecord* record = PlayRecord();
    if (record == nullptr)
        return;
    if (IsMidiSource(*media))
    {
        StartMidiPlayer(action, *media, offset);
        return;
    }
    ZkClipStartRequest request;
    request.trackContext = this;
    request.clip = &action.clip;
    request.media = media;
    request.gameObject = record->gameObject;
    request.playingID = record->PlayingID();
    request.externalSources = record->playInfo.externalSources;
    request.option = record->option;
    request.sourcePosition = NotBelowZero(action.sourcePosition);
    request.frameOffset = NotBelowZero(offset + action.lookAhead);
    request.speed = speed;
    CZkMusicSourceInstance* instance = nullptr;
    const ZKRESULT started = m_track.StartClip(request, instance);
    if (started != ZK_Success || instance == nullptr)
    {
        if (instance != nullptr)
            instance->Leaf().StopAt(0);
        return; // the waiting automation goes with the action
    }
    if (PlayState() == kStopping)
    {
        instance->Leaf().StopAt(StopOffset());
        for (ZkClipAutomation* record = action.automation; record != nullptr; record = record->next)
        {
            record->leaf = instance;
            record->ApplyAt(frameEnd);
        }
        return;
    }
    const int32_t soundingFrom = std::max(action.clip.start, m_trackStart);
    auto* stop = ZkMusicAction::Create<ZkClipStopAction>(soundingFrom + action.duration, *instance, action.automation != nullptr);
    if (stop != nullptr)
        m_actions.Insert(stop);
    // The waiting automation moves to the active list, bound to the instance.
    while (ZkClipAutomation* record = action.automation)
    {
        action.automation = record->next;
        record->leaf = instance;
        if (record->kind == ZkClipAutomation_FadeIn)
            AlignToFrame(*instance, ZK::SoundEngine::ZkAudioSettings::FramesPerBuffer(), speed, action.lookAhead);
        else if (record->kind == ZkClipAutomation_FadeOut)
            instance->SetFadeOutFlag();
        record->next = m_activeAutomation;
        m_activeAutomation = record;
    }
}

void CZkMusicTrackContext::StartMidiPlayer(const ZkClipStartAction& action, const SoundEngine::ZkMediaRef& media,
                                           int32_t offset)
{
    CZkMusicPlayRecord* record = PlayRecord();
    ZkMidiTrackPlayRequest request;
    request.mediaRef = &media;
    request.gameObject = record->gameObject;
    request.playingID = record->PlayingID();
    request.track = &m_track;
    request.trackContext = this;
    // The player reads its media from where the clip's source starts and begins inside this frame;
    // both are in music time, which its manager brings to the frame's samples at the play's speed.
    request.startOffset = NotBelowZero(action.sourcePosition);
    request.firstFrameOffset = NotBelowZero(offset);
    CZkMidiTrackPlayback* player = nullptr;
    if (CZkMidiTrackPlayback::Create(record->TrackPlayers(), request, player) != ZK_Success)
        return; // no target node, unreadable media or no memory: the clip is silent
    if (PlayState() == kStopping)
    {
        player->StopAt(StopOffset());
        return;
    }
    const int32_t soundingFrom = std::max(action.clip.start, m_trackStart);
    if (auto* stop = ZkMusicAction::Create<ZkClipStopAction>(soundingFrom + action.duration, *player))
        m_actions.Insert(stop);
}

void CZkMusicTrackContext::ReleasePlayers()
{
    ForEachChild([](CZkMusicChild& child) {
        auto* player = dynamic_cast<CZkMidiTrackPlayback*>(&child);
        if (player == nullptr)
            return;
        // A player that has reached its stop time ends its notes on its own; one that has not (the
        // context stopped at once, or while paused) stops now, as the context did.
        if (!player->IsFinishedPlaying())
            player->Stop(ZkMidiTrackSchedule::kStopNow);
        player->LeaveContext();
    });
}

void CZkMusicTrackContext::PostClipEvent(ZkUniqueID eventID, int32_t offset)
{
    CZkMusicPlayRecord* record = PlayRecord();
    if (record == nullptr || SoundEngine::g_pObjectIndex == nullptr || SoundEngine::g_pEventMgr == nullptr)
        return;
    SoundEngine::CZkIndexedObject* event =
        SoundEngine::g_pObjectIndex->GetPtrAndAddRef(SoundEngine::ZkIndexKind::Events, eventID);
    if (event == nullptr)
        return;
    SoundEngine::ZkPlayRecord play;
    play.externalSources = record->playInfo.externalSources;
    CZkRegisteredObj* object = record->gameObject;
    SoundEngine::g_pEventMgr->EnqueueEventActions(event, object, object != nullptr ? object->ID() : ZK_ALL_GAME_OBJECTS,
                                                  record->PlayingID(), 0, play, NotBelowZero(offset), false);
    event->Release();
}

void CZkMusicTrackContext::ApplyAndDropAutomation(const CZkMusicSourceInstance* leaf, int32_t trackTime)
{
    ZkClipAutomation** link = &m_activeAutomation;
    while (ZkClipAutomation* record = *link)
    {
        if (record->leaf != leaf)
        {
            link = &record->next;
            continue;
        }
        record->ApplyAt(trackTime);
        *link = record->next;
        ZkClipAutomation::Destroy(record);
    }
}

void CZkMusicTrackContext::ForgetLeaf(const CZkMusicChild& leaf)
{
    m_actions.RemoveStopsOf(&leaf);
    ZkClipAutomation** link = &m_activeAutomation;
    while (ZkClipAutomation* record = *link)
    {
        if (record->leaf == nullptr || &record->leaf->Leaf() != &leaf)
        {
            link = &record->next;
            continue;
        }
        *link = record->next;
        ZkClipAutomation::Destroy(record);
    }
}

bool CZkMusicTrackContext::ComputeRestart(const CZkMusicSourceInstance& instance, int32_t& lookAhead, int32_t& position)
{
    if (PlayState() == kStopping || parent == nullptr)
        return false;
    const ZkMusicClip& clip = instance.Clip();
    const SoundEngine::ZkMediaRef* media = m_track.MediaOf(clip.sourceID);
    int32_t early = media != nullptr && m_track.IsStreamedMedia(*media) ? m_track.LookAhead() : 0;
    const auto frame = static_cast<int32_t>(ZK::SoundEngine::ZkAudioSettings::FramesPerBuffer());
    if (frame > 0)
        early = frame * ((early + frame - 1) / frame);
    const CZkMusicPlayRecord* record = PlayRecord();
    const int64_t now = int64_t{Segment().NowInSegment()} + Segment().Segment().PreEntryLength() -
                        (record != nullptr ? record->frameAdvance : 0);
    if (now + early >= int64_t{clip.start} + clip.audibleLength)
        return false;
    lookAhead = early;
    const int64_t sinceStart = int64_t{clip.startOffset} + early + now - clip.start;
    position = sinceStart > 0 ? PositionInSource(sinceStart, clip.sourceDuration) : 0;
    return true;
}
} // namespace ZK::MusicEngine
