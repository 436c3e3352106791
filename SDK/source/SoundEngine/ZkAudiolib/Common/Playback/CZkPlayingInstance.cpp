// CZkPlayingInstance: creation, start and destruction, the limiters, and what the render side asks
// and reports. The playback operations and fades are in CZkPlayingInstancePlayback.cpp, the
// evaluation of the node's parameters in CZkPlayingInstanceParams.cpp.
#include "ZkAudiolib/Common/Playback/CZkPlayingInstance.h"

#include "ZkAudiolib/Common/Containers/ZkNew.h"
#include "ZkAudiolib/Common/DynamicSequence/CZkDynamicSequence.h"
#include "ZkAudiolib/Common/GameObjects/CZkRegisteredObj.h"
#include "ZkAudiolib/Common/Hierarchy/CZkHierarchyNode.h"
#include "ZkAudiolib/Common/Hierarchy/CZkInstanceLimiter.h"
#include "ZkAudiolib/Common/Hierarchy/CZkPlayableNode.h"
#include "ZkAudiolib/Common/Hierarchy/ZkMediaRef.h"
#include "ZkAudiolib/Common/Hierarchy/ZkStreamRef.h"
#include "ZkAudiolib/Common/Midi/CZkMidiNote.h"
#include "ZkAudiolib/Common/Parameters/CZkRTPCMgr.h"
#include "ZkAudiolib/Common/Parameters/CZkTransitionMgr.h"
#include "ZkAudiolib/Common/Playback/CZkActiveInstances.h"
#include "ZkAudiolib/Common/Playback/CZkContextPlayingInstance.h"
#include "ZkAudiolib/Common/Playback/CZkPlayingMgr.h"
#include "ZkAudiolib/Common/Playback/IZkRenderSide.h"
#include "ZkAudiolib/Common/Playback/ZkVoiceLists.h"

#include <cmath>

namespace ZK::SoundEngine
{
namespace
{
// The built-in game parameter that a note-on's velocity sets for its instance.
constexpr ZkUniqueID kVelocityParam = 129;
constexpr float kCentsPerOctave = 1200.0f;
} // namespace

CZkPlayingInstance* CZkPlayingInstance::Create(const PlayLaunchParams& params, CZkHierarchyNode* node,
                                               const ZkMediaRef* media, const ZkPriorityRecord& priority)
{
    // A dynamic sequence's play gets the sequence's play context, which asks it for the next item.
    if (params.playTargetKind == PlayLaunchParams::kPlayTargetDynamicSequence && params.playTarget != nullptr)
        return static_cast<CZkDynamicSequence*>(params.playTarget)->CreatePlayContext(params, node, media, priority);
    // A play that goes on along a chain of containers gets an instance that continues it.
    if (params.playChain != nullptr)
        return ZK::ZkNew<CZkContextPlayingInstance>(kPool, params, node, media, priority);
    return ZK::ZkNew<CZkPlayingInstance>(kPool, params, node, media, priority, 0u);
}

void CZkPlayingInstance::Free(CZkPlayingInstance* instance)
{
    if (instance == nullptr)
        return;
    instance->Destroy();
    ZK::ZkDelete(kPool, instance);
}

CZkPlayingInstance::CZkPlayingInstance(const PlayLaunchParams& params, CZkHierarchyNode* node,
                                       const ZkMediaRef* media, const ZkPriorityRecord& record,
                                       uint32_t creationArgument)
    : CZkNodeInstanceBase(params.gameObject, node,
                          (params.launchFlags & PlayLaunchParams::kFlagRunTimeAction) != 0),
      m_playingID(params.playingID), m_media(media), m_seekPosition(creationArgument),
      m_stopByte(creationArgument != 0 ? static_cast<uint8_t>(kStopAtCreation | kSeekBySamples)
                                       : kStopAtCreation),
      m_startDelay(static_cast<int32_t>(params.startDelaySamples)), m_midiEvent(params.midiEvent)
{
    priority = record;
    if (params.sequenceNumber != 0)
    {
        priority.sequence = params.sequenceNumber;
        m_limitByte |= kLimitExempt;
        m_voiceGroup = params.sequenceNumber;
    }
    else
    {
        priority.sequence = Sequence();
    }
    m_distancePart = RankedPriority(record.priority) - record.basePriority;
    if ((params.launchFlags & PlayLaunchParams::kFlagFadingIn) != 0)
        m_limitByte |= kLimitFadingIn;
    m_rateTimed = (params.launchFlags & PlayLaunchParams::kFlagRateTimed) != 0;

    OfferPathPlayer(params.handedPathPlayer, params.handedPathID);
    m_key.playingID = m_playingID;
    m_key.midiChannel = m_midiEvent.channel;
    m_key.midiNote = m_midiEvent.HasNote() ? m_midiEvent.note : ZkMidiEvent::kAnyNote;
    m_key.instance = this;
    if (m_midiEvent.IsNoteOnWithVelocity() && g_pRTPCMgr != nullptr)
        g_pRTPCMgr->SetRTPCImmediate(kVelocityParam, static_cast<float>(m_midiEvent.velocity), m_key);
    JoinMidiNote(params.midiNote);
}

CZkPlayingInstance::~CZkPlayingInstance()
{
    LeaveMidiNote();
}

void CZkPlayingInstance::JoinMidiNote(CZkMidiNote* note)
{
    // The note's note-off reaches the instance: kind 2 when the node hands note-offs to its voices
    // (derived MIDI mode 2), else kind 3 (stopped at the note-off). Without a list node the
    // instance plays on without the note.
    if (note == nullptr || Node() == nullptr)
        return;
    const uint8_t kind = CZkMidiNote::VoiceKindForMode(Node()->GetMidiSettings().DerivedMode());
    if (note->AddVoice(this, kind))
        m_midiNote = note;
}

void CZkPlayingInstance::LeaveMidiNote()
{
    CZkMidiNote* note = m_midiNote;
    m_midiNote = nullptr;
    if (note != nullptr)
        note->RemoveVoice(this);
}

ZKRESULT CZkPlayingInstance::Start()
{
    if (Node() == nullptr)
        return ZK_Fail;
    if (Node()->AddLiveInstance(this) != ZK_Success)
        return ZK_InsufficientMemory;
    m_inNodeList = true;
    JoinLayers();
    ZKRESULT result = CZkNodeInstanceBase::Start();
    if (result != ZK_Success)
        return result;
    if (!IsDetached())
    {
        result = JoinLimiters();
        if (result != ZK_Success)
            return result;
    }
    if (m_playingID == 0)
        return ZK_Fail;
    result = JoinPlayingID();
    if (result != ZK_Success)
        return result;
    AcquireMedia();
    return ZK_Success;
}

void CZkPlayingInstance::AcquireMedia()
{
    if (m_media != nullptr && m_mediaData != nullptr)
        ZkStreamRef::Release(*m_media, m_mediaBank);
    if (m_media == nullptr || ZkStreamRef::Acquire(*m_media, m_mediaData, m_mediaSize, m_mediaBank) != ZK_Success)
    {
        m_mediaData = nullptr;
        m_mediaSize = 0;
        m_mediaBank = nullptr;
    }
}

ZKRESULT CZkPlayingInstance::JoinPlayingID()
{
    if (m_inPlayingID)
        return ZK_Success;
    if (g_pPlayingMgr == nullptr)
        return ZK_Fail;
    const ZKRESULT result = g_pPlayingMgr->AddInstanceToPlayingID(
        m_playingID, this, static_cast<CZkRegisteredObj*>(GameObjectOf()), m_callbackFlags);
    m_inPlayingID = result == ZK_Success;
    return result;
}

void CZkPlayingInstance::RefreshCallbackFlags()
{
    m_callbackFlags = g_pPlayingMgr != nullptr ? g_pPlayingMgr->GetPlayingIDFlags(m_playingID) : 0;
}

ZKRESULT CZkPlayingInstance::JoinLimiters()
{
    if (m_limiters.AddLast(&CZkActiveInstances::GlobalLimiter()) == nullptr)
        return ZK_InsufficientMemory;
    for (CZkInstanceLimiter* limiter : m_limiters)
    {
        if (limiter->Insert(this) != ZK_Success)
            return ZK_InsufficientMemory;
        if (IsCountedVirtual())
            limiter->AddVirtual(1);
    }
    return ZK_Success;
}

void CZkPlayingInstance::RegisterInLimiters()
{
    if (IsDetached())
        return; // a detached instance is never limited
    if (Node() != nullptr)
    {
        ZkPlayCount collect;
        collect.gameObject = GameObjectOf();
        collect.priority = priority.priority;
        collect.limiters = &m_limiters;
        collect.checkLimits = false;
        collect.countPlay = false;
        Node()->PlayCountUp(collect);
    }
    JoinLimiters(); // an instance left out of a limiter it cannot join is simply not limited by it
}

void CZkPlayingInstance::LeaveLimiters()
{
    if (IsCountedVirtual())
    {
        m_limitByte &= static_cast<uint8_t>(~kLimitCountedVirtual);
        for (CZkInstanceLimiter* limiter : m_limiters)
            limiter->AddVirtual(-1);
        CZkActiveInstances::AddExcluded(-1);
    }
    if (m_limitersLeft)
        return;
    m_limitersLeft = true;
    for (CZkInstanceLimiter* limiter : m_limiters)
        limiter->Remove(this);
    m_limiters.Term();
    if (m_playCounted && Node() != nullptr)
        Node()->PlayCountDown(GameObjectOf(), true);
}

void CZkPlayingInstance::EnterVirtual()
{
    if (IsCountedVirtual())
        return;
    m_limitByte |= kLimitCountedVirtual;
    for (CZkInstanceLimiter* limiter : m_limiters)
        limiter->AddVirtual(1);
    CZkActiveInstances::AddExcluded(1);
}

void CZkPlayingInstance::LeaveVirtual()
{
    SetSecondFlag(kFlagMadeVirtual, false); // a limiter that sent it virtual sees it play again
    if (!IsCountedVirtual())
        return;
    m_limitByte &= static_cast<uint8_t>(~kLimitCountedVirtual);
    for (CZkInstanceLimiter* limiter : m_limiters)
        limiter->AddVirtual(-1);
    CZkActiveInstances::AddExcluded(-1);
}

void CZkPlayingInstance::JoinHandedTransitions(CZkTransition* fade, CZkTransition* pause, uint32_t pauseCount)
{
    JoinTransition(fade, true);
    JoinTransition(pause, false);
    if (pauseCount > 0)
    {
        // Play starts it paused, as deep as the item before.
        m_pauseCount = pauseCount;
        SetRequestedStartState(kStartPaused);
    }
}

void CZkPlayingInstance::JoinTransition(CZkTransition* transition, bool fadeSlot)
{
    CZkTransition*& slot = fadeSlot ? m_fade : m_pause;
    if (transition == nullptr || slot != nullptr || g_pTransitionMgr == nullptr ||
        g_pTransitionMgr->AddTransitionUser(transition, this) != ZK_Success)
        return;
    slot = transition;
    if (fadeSlot)
    {
        m_fadeVolume = transition->CurrentValue();
        if (transition->Kind() == kFadeIn)
            m_limitByte |= kLimitFadingIn;
    }
    else
    {
        m_pauseVolume = transition->CurrentValue();
    }
    m_flags |= kFlagGainDirty;
}

void CZkPlayingInstance::LeaveTransitions()
{
    for (CZkTransition** slot : {&m_fade, &m_pause})
    {
        if (*slot != nullptr && g_pTransitionMgr != nullptr)
            g_pTransitionMgr->RemoveTransitionUser(*slot, this); // freed at the next frame without users
        *slot = nullptr;
    }
}

void CZkPlayingInstance::Destroy()
{
    OnTeardown();
    LeaveMidiNote();
    LeaveLimiters();
    LeaveTransitions();
    m_status &= static_cast<uint8_t>(~kStatusEndNotice);
    ZkVoiceLists::RemoveInstance(this);
    if (m_inPlayingID && g_pPlayingMgr != nullptr)
        g_pPlayingMgr->RemoveInstanceFromPlayingID(m_playingID, this);
    m_inPlayingID = false;
    m_contributions.Term();
    if (m_inNodeList && Node() != nullptr)
    {
        LeaveLayers();
        Node()->RemoveLiveInstance(this);
    }
    m_inNodeList = false;
    if (m_media != nullptr && m_mediaData != nullptr)
        ZkStreamRef::Release(*m_media, m_mediaBank);
    m_mediaData = nullptr;
    m_mediaBank = nullptr;
    if (m_media != nullptr && (m_media->flags & kMediaFlagInstanceOwned) != 0)
    {
        // The play made this reference for the instance (a copy in pool 0) and handed it over.
        auto* owned = const_cast<ZkMediaRef*>(m_media);
        owned->Free();
        ZK::ZkDelete(ZkMediaRef::kPool, owned);
    }
    m_media = nullptr;
    // The values scoped to the instance go while its key still names a live game object.
    m_scope.Clear(m_key);
    Term();
}

void CZkPlayingInstance::Kill(uint32_t reason)
{
    if (IsKilled())
        return;
    m_status |= kStatusKilled;
    if (reason != kKillStop && reason != kKillLimit)
        return;
    LeaveTransitions();
    LeavePath();
    if (IsPaused() && m_pendingStopOffset == 0)
        m_pendingStopOffset = -1;
    m_status &= static_cast<uint8_t>(~kStatusEndNotice);
    m_status |= kStatusDead;
    // Without a voice and without a start command to give it one, nothing else would end it.
    if (m_played && m_voice == nullptr && !m_startQueued)
        PostEndNotification(1);
}

ZkLimitStanding CZkPlayingInstance::LimitStanding() const
{
    if ((m_stopByte & kStopRequested) != 0 || (m_status & (kStatusKilled | kStatusStopping)) != 0)
        return ZkLimitStanding::Stopping;
    if ((m_limitByte & (kLimitCountedVirtual | kLimitExempt)) != 0 || (SecondFlags() & kFlagMadeVirtual) != 0)
        return ZkLimitStanding::Virtual;
    if (StartsVirtual())
        return ZkLimitStanding::Transitional;
    return ZkLimitStanding::HoldsPlace;
}

void CZkPlayingInstance::OnOverLimit(bool toVirtual, uint8_t reason)
{
    if (toVirtual)
        HandleVirtualLimit(reason);
    else
        StopForLimit(reason);
}

// --- The render side ---

void CZkPlayingInstance::PostEndNotification(int32_t value)
{
    m_voice = nullptr;
    if (m_endPosted)
        return; // the render side and the voice queue may both report a voice that never was
    m_endPosted = true;
    CZkActiveInstances::PostCommand(this, kCommandVoiceEnded, value, 0.0f);
}

void CZkPlayingInstance::OnSourceDuration(float timeMs)
{
    SetSourceState(kSourceDurationKnown);
    CZkActiveInstances::PostCommand(this, kCommandEndNotice, 0, timeMs);
}

void CZkPlayingInstance::ApplyDeferredCommand(uint32_t type, int32_t value, float floatValue)
{
    if (type == kCommandEndNotice)
    {
        m_status |= kStatusEndNotice;
        OnEndNotice(floatValue);
    }
    else if (type == kCommandVoiceEnded && value == 1)
    {
        m_status &= static_cast<uint8_t>(~kStatusEndNotice);
        m_status |= kStatusEnded;
    }
}

void CZkPlayingInstance::MarkSourceStarted()
{
    if (SourceState() != kSourceDurationKnown)
        SetSourceState(kSourceStarted);
}

void CZkPlayingInstance::MarkPrepared()
{
    if ((m_status & kStatusPrepared) != 0)
        return;
    m_status |= kStatusPrepared;
    if (const auto* playable = dynamic_cast<const CZkPlayableNode*>(Node()))
        m_loopCount = playable->LoopCount();
}

float CZkPlayingInstance::GetPitchRatio() const
{
    return std::exp2(ValueSlot(kSlotPitch) / kCentsPerOctave);
}

uint8_t CZkPlayingInstance::GetNodePlayMode(uint8_t& kind)
{
    return GetVirtualBehaviour(kind);
}

bool CZkPlayingInstance::HasDefaultPlayMode()
{
    uint8_t kind = 0;
    return GetNodePlayMode(kind) == 0;
}

bool CZkPlayingInstance::ForwardSlot54(uint32_t slot, ZkEffectDescription& description) const
{
    if (IsDetached() || Node() == nullptr)
        return false;
    description.effectID = Node()->ResolvedEffectSlotID(slot);
    description.bypassed = Node()->IsEffectBypassed(slot, GameObjectOf());
    return true;
}

ZkMixerInputId CZkPlayingInstance::GetMixerInputId() const
{
    ZkMixerInputId id;
    id.channel = IntegerPriority();
    return id;
}

uint8_t CZkPlayingInstance::IntegerPriority() const
{
    return static_cast<uint8_t>(ClampPriority(RankedPriority(priority.priority)));
}

uint32_t CZkPlayingInstance::CodecKey() const
{
    return m_media != nullptr && m_media->sourceType > 0 ? static_cast<uint32_t>(m_media->sourceType) : 0u;
}

void CZkPlayingInstance::FinishSeek(uint32_t startOffset)
{
    m_stopByte &= static_cast<uint8_t>(~kSeekMask);
    m_seekPosition = startOffset;
}

int32_t CZkPlayingInstance::TakePendingStopOffset()
{
    const int32_t offset = m_pendingStopOffset;
    m_pendingStopOffset = -1;
    return offset;
}

void CZkPlayingInstance::CountDownStartDelay(uint32_t frames)
{
    if (IsPaused() || m_startDelay < 0)
        return;
    m_startDelay -= static_cast<int32_t>(std::lround(static_cast<float>(frames) * GetPitchRatio()));
}

bool CZkPlayingInstance::RefreshStream()
{
    if (m_voice == nullptr || m_media == nullptr || m_mediaData == nullptr)
        return false;
    const uint8_t* data = nullptr;
    uint32_t size = 0;
    LoadedBank* bank = nullptr;
    if (ZkStreamRef::Acquire(*m_media, data, size, bank) != ZK_Success)
        return false;
    if (size == m_mediaSize && g_pRenderSide->MoveSourceMedia(m_voice, data, size))
    {
        ZkStreamRef::Release(*m_media, m_mediaBank);
        m_mediaData = data;
        m_mediaBank = bank;
        return true;
    }
    ZkStreamRef::Release(*m_media, bank);
    return false;
}

bool CZkPlayingInstance::UsesMedia(const void* media) const
{
    return (m_mediaData != nullptr && m_mediaData == media) ||
           (m_voice != nullptr && g_pRenderSide->UsesObject(m_voice, media));
}

bool CZkPlayingInstance::UsesBank(const LoadedBank* bank)
{
    if (m_mediaBank != nullptr && m_mediaBank == bank && !RefreshStream())
        return true;
    return m_voice != nullptr && g_pRenderSide->UsesShareSet(m_voice, bank);
}

void CZkPlayingInstance::SetEffectBypass(uint8_t bits, uint8_t mask)
{
    constexpr uint8_t kOwnBypassBit = 0x10;
    if ((mask & kOwnBypassBit) != 0)
        m_ownBypass = (bits & kOwnBypassBit) != 0;
    const auto voiceMask = static_cast<uint8_t>(mask & ~kOwnBypassBit);
    if (voiceMask != 0 && m_voice != nullptr)
        g_pRenderSide->SetEffectBypass(m_voice, bits, voiceMask);
}

void CZkPlayingInstance::RebuildEffect(uint32_t slot)
{
    if (m_voice != nullptr)
        g_pRenderSide->RebuildEffect(m_voice, slot);
}

void CZkPlayingInstance::RefreshPositioning()
{
    CZkNodeInstanceBase::RefreshPositioning();
    MarkPositioningDirty();
}
} // namespace ZK::SoundEngine
