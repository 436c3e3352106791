#include "ZkAudiolib/Common/Modulators/CZkModulatorInstance.h"

#include "ZkAudiolib/Common/FrontEnd/EventManager.h"
#include "ZkAudiolib/Common/GameObjects/CZkRegisteredObj.h"
#include "ZkAudiolib/Common/Hierarchy/CZkHierarchyNode.h"
#include "ZkAudiolib/Common/Modulators/CZkModulator.h"
#include "ZkAudiolib/Common/Modulators/Neighbours/CZkNodeInstanceRecord.h"
#include "ZkAudiolib/Common/Modulators/ZkModulatorProperties.h"
#include "ZkAudiolib/Common/Playback/CZkPlayingInstance.h"
#include "ZkAudiolib/Common/Voice/ZkAudioSettings.h"

namespace ZK::SoundEngine
{
ZkRTPCKey ReduceKeyToScope(const ZkRTPCKey& key, int32_t scope)
{
    ZkRTPCKey reduced = key;
    switch (scope)
    {
    case ZkModulatorScope_Voice: break;
    case ZkModulatorScope_Note:
        reduced.instance = nullptr;
        if (reduced.midiNote != kZkMidiAny)
            reduced.playingID = 0;
        break;
    case ZkModulatorScope_GameObject: reduced = ZkRTPCKey::ForObject(key.gameObject); break;
    default: reduced = ZkRTPCKey::Global(); break;
    }
    return reduced;
}

CZkModulatorInstance::~CZkModulatorInstance()
{
    Term();
    m_voices.Term();
    m_targets.Term();
}

uint32_t CZkModulatorInstance::Release()
{
    const int32_t count = --m_refCount;
    if (count <= 0)
    {
        Term();
        // The most-derived object came from pool 0: its virtual destructor runs first.
        this->~CZkModulatorInstance();
        ZK::MemoryMgr::Free(kPool, this);
        return 0;
    }
    return static_cast<uint32_t>(count);
}

ZkRTPCKey CZkModulatorInstance::Key() const
{
    ZkRTPCKey key;
    key.gameObject = m_gameObject;
    key.playingID = m_playingID;
    key.midiTargetID = m_midiTargetID;
    key.midiChannel = m_channel;
    key.midiNote = m_note;
    key.instance = m_voice;
    return ReduceKeyToScope(key, m_scope);
}

float CZkModulatorInstance::Value() const
{
    if (m_pendingOutput != nullptr)
        return m_pendingOutput->lastValue;
    return m_hasValue ? m_header.currentValue : 0.0f;
}

uint32_t CZkModulatorInstance::BufferFrames() const { return ZkAudioSettings::FramesPerBuffer(); }

bool CZkModulatorInstance::ModulatorRunsAtAudioRate() const
{
    return m_modulator != nullptr && m_modulator->HasAudioRateSubscriber();
}

int32_t CZkModulatorInstance::Samples(float seconds) const
{
    return ZkModulatorUnits::SecondsToSamples(seconds, ZkAudioSettings::SampleRate());
}

void CZkModulatorInstance::AddTarget(CZkHierarchyNode* target)
{
    if (target == nullptr || m_targets.Find(target) != m_targets.Length())
        return;
    if (m_targets.AddLast(target) != nullptr)
        target->AddRef();
}

void CZkModulatorInstance::ReleaseTargets()
{
    for (CZkHierarchyNode* target : m_targets)
        target->Release();
    m_targets.RemoveAll();
}

ZKRESULT CZkModulatorInstance::Init(CZkModulator* modulator, const ZkModulatorTrigger& context,
                                    CZkHierarchyNode* target, int32_t scope)
{
    // A voice or note instance belongs to one play: another play's trigger ends it first. A
    // game-object or global instance keeps neither the owner record nor the playing id, so a
    // retrigger from any play would end it (and stop every voice that joined it): it only
    // starts again.
    const bool ownedByPlay = m_scope == ZkModulatorScope_Voice || m_scope == ZkModulatorScope_Note;
    if (m_modulator != nullptr && ownedByPlay &&
        (context.ownerRecord != m_ownerRecord || context.playingID != m_playingID))
        Term();
    if (m_modulator == nullptr)
    {
        m_modulator = modulator;
        modulator->AddRef();
        modulator->AddActiveUse();
    }
    m_header.elapsedFrames = 0;
    m_header.state = ZkModulatorState_Playing;
    m_header.startOffset = context.startOffset;
    m_midiTargetID = context.midiTargetID;
    m_channel = context.midi.channel;
    m_note = kZkMidiAny;
    m_scope = scope;

    if (scope != ZkModulatorScope_Global)
    {
        m_gameObject = context.gameObject;
        if (scope == ZkModulatorScope_GameObject)
        {
            if (context.voice != nullptr && m_voices.Find(context.voice) == m_voices.Length())
                m_voices.AddLast(context.voice);
        }
        else
        {
            if (scope == ZkModulatorScope_Voice)
                m_voice = context.voice;
            m_note = context.midi.NamesNote() ? context.midi.note : kZkMidiAny;
            if (m_ownerRecord == nullptr && context.ownerRecord != nullptr)
            {
                m_ownerRecord = context.ownerRecord;
                m_ownerRecord->AddRef();
            }
            AddTarget(target);
            m_playingID = context.playingID;
            if (m_channel == kZkMidiAny && m_note == kZkMidiAny && m_playingID == 0 && m_voice == nullptr)
            {
                m_scope = ZkModulatorScope_GameObject;
                if (context.voice != nullptr && m_voices.Find(context.voice) == m_voices.Length())
                    m_voices.AddLast(context.voice);
            }
        }
        if (m_gameObject == nullptr)
        {
            m_scope = ZkModulatorScope_Global;
            m_voices.RemoveAll();
        }
    }

    modulator->ComputeParams(GetParamBlock(), *this);
    UpdateAudioRate();
    m_header.releaseFrame = *static_cast<const int64_t*>(GetParamBlock()); // every block opens with its end frame
    PostInit();
    return ZK_Success;
}

void CZkModulatorInstance::StopModulatedPlayback()
{
    switch (m_scope)
    {
    case ZkModulatorScope_Voice:
        if (m_voice != nullptr)
            m_voice->StopWithFade(0, ZkCurveInterpolation_Linear, true);
        break;
    case ZkModulatorScope_GameObject:
        for (CZkPlayingInstance* voice : m_voices)
            voice->StopWithFade(0, ZkCurveInterpolation_Linear, true);
        break;
    case ZkModulatorScope_Note:
        // The run-time plays queued to carry the instance on (a container's next item) would
        // start it again: they go with it.
        if (g_pEventMgr != nullptr)
            g_pEventMgr->StopPendingPlaysCarrying(this);
        if (m_ownerRecord != nullptr)
        {
            m_ownerRecord->StopModulatedPlayback(this);
            break;
        }
        for (CZkHierarchyNode* target : m_targets)
        {
            if (g_pEventMgr != nullptr)
                g_pEventMgr->StopPendingActions(target, m_gameObject, m_playingID);
            target->ExecuteAction(ZkActionCode_Stop, m_gameObject, 0, ZkCurveInterpolation_Linear, m_playingID);
        }
        break;
    default: break;
    }
}

void CZkModulatorInstance::Term()
{
    m_header.state = ZkModulatorState_Stopped;
    if (m_modulator != nullptr)
    {
        CZkModulator* modulator = m_modulator;
        modulator->RemoveActiveUse();
        if (modulator->StopsPlayback())
            StopModulatedPlayback();
        m_modulator = nullptr;
        modulator->Release();
    }
    m_voice = nullptr;
    m_voices.RemoveAll();
    if (m_ownerRecord != nullptr)
    {
        m_ownerRecord->Release();
        m_ownerRecord = nullptr;
    }
    m_gameObject = nullptr;
    m_pendingOutput = nullptr;
    ReleaseTargets();
    m_note = kZkMidiAny;
    m_channel = kZkMidiAny;
    m_midiTargetID = 0;
    m_playingID = 0;
}

void CZkModulatorInstance::ForgetVoices()
{
    m_voice = nullptr;
    m_voices.RemoveAll();
}

void CZkModulatorInstance::ScheduleRelease(int64_t frames)
{
    if (m_header.releaseFrame != kNeverFrame)
        return;
    m_header.releaseFrame = FrameAfter(m_header.elapsedFrames, frames);
    if (m_header.state != ZkModulatorState_Stopped)
        m_header.state = ZkModulatorState_Releasing;
}

bool CZkModulatorInstance::IsFinished() const
{
    return m_modulator == nullptr || m_header.state == ZkModulatorState_Stopped ||
           ((m_scope == ZkModulatorScope_Voice || m_scope == ZkModulatorScope_Note) && m_users <= 0);
}

bool CZkModulatorInstance::HeldByPausedUsers() const
{
    // An instance whose every user is paused holds still (a global one serves more than links).
    // One without users is not held: game-object instances serve value pushes without links.
    return m_scope != ZkModulatorScope_Global && m_users > 0 && m_pausedUsers >= m_users;
}

void CZkModulatorInstance::HoldPendingValue()
{
    if (m_pendingOutput == nullptr)
        return;
    m_header.currentValue = m_pendingOutput->lastValue;
    m_hasValue = 1;
    m_pendingOutput = nullptr;
}

bool CZkModulatorInstance::AdvanceBy(int64_t advance)
{
    if (HeldByPausedUsers())
        return false;
    if (m_pendingOutput != nullptr)
    {
        if (m_pendingOutput->newState != ZkModulatorState_None)
            m_header.state = m_pendingOutput->newState;
        m_header.currentValue = m_pendingOutput->lastValue;
        m_hasValue = 1;
    }
    m_header.elapsedFrames = FrameAfter(m_header.elapsedFrames, advance);
    return true;
}
} // namespace ZK::SoundEngine
