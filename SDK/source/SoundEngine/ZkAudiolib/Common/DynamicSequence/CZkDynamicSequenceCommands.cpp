// The commands of a dynamic sequence on the engine thread (message 25 and 58) and the all-objects
// actions that reach it; the sequence's own play of an item.
#include "ZkAudiolib/Common/DynamicSequence/CZkDynamicSequence.h"

#include "ZkAudiolib/Common/FrontEnd/EventManager.h"
#include "ZkAudiolib/Common/FrontEnd/ZkExternalSourceArray.h"
#include "ZkAudiolib/Common/GameObjects/CZkRegisteredObj.h"
#include "ZkAudiolib/Common/Hierarchy/CZkPlayableNode.h"
#include "ZkAudiolib/Common/Hierarchy/PlayLaunchParams.h"
#include "ZkAudiolib/Common/ObjectIndex/ObjectIndex.h"
#include "ZkAudiolib/Common/Playback/CZkNodeInstanceBase.h"
#include "ZkAudiolib/Common/Playback/ZkVoiceLists.h"
#include "ZkAudiolib/Common/DynamicSequence/SequenceDelay.h"

namespace ZK::SoundEngine
{
void CZkDynamicSequence::ExecuteCommand(uint32_t command, ZkTimeMs transitionMs, uint32_t curve)
{
    switch (command)
    {
    case kCommandPlay:
        Play(transitionMs, curve);
        break;
    case kCommandPause:
        Pause(transitionMs, curve);
        break;
    case kCommandResume:
        Resume(transitionMs, curve);
        break;
    case kCommandClose:
        Close();
        break;
    case kCommandStop:
        Stop(transitionMs, curve);
        break;
    case kCommandBreak:
        Break();
        break;
    case kCommandPlaylistUnlocked:
        OnPlaylistUnlocked();
        break;
    default:
        break; // unknown commands only give back the message's reference
    }
}

void CZkDynamicSequence::Play(ZkTimeMs transitionMs, uint32_t curve)
{
    if (m_state == kPlaying || m_actionPauseCount != 0)
        return;
    m_state = kPlaying;
    for (;;)
    {
        uint32_t delay = 0;
        void* info = nullptr;
        const ZkUniqueID node = PopNextItem(delay, info);
        ZkExternalSourceArray* sources = m_latest.externalSources;
        if (sources != nullptr)
            sources->AddRef();
        if (m_currentSources != nullptr)
            m_currentSources->Release();
        m_currentSources = sources;
        if (node == 0)
            return; // waiting now
        if (PlayItem(node, delay, transitionMs, curve) == ZK_Success)
            return;
        NotifyItem(node, info); // reported and skipped
    }
}

ZKRESULT CZkDynamicSequence::PlayItem(ZkUniqueID nodeID, uint32_t delayMs, ZkTimeMs transitionMs, uint32_t curve)
{
    if (m_gameObject == nullptr || g_pObjectIndex == nullptr)
        return ZK_Fail;
    auto* node = static_cast<CZkHierarchyNode*>(g_pObjectIndex->GetNodePtrAndAddRef(nodeID, false));
    if (node == nullptr)
        return ZK_InvalidID;
    PlayLaunchParams launch;
    launch.playTargetKind = PlayLaunchParams::kPlayTargetDynamicSequence;
    launch.playTarget = this;
    AddRef();
    launch.playingID = m_playingID;
    launch.externalSources = m_currentSources;
    if (launch.externalSources != nullptr)
        launch.externalSources->AddRef();
    launch.gameObject = m_gameObject;
    launch.startDelaySamples = SequenceDelay::ToSamples(delayMs);
    launch.fadeInTime = transitionMs;
    launch.fadeInCurve = curve;
    launch.launchFlags |= PlayLaunchParams::kFlagFirstItem;
    if (m_type == DynamicSequence::DynamicSequenceType_SampleAccurate)
    {
        if (m_sequenceID == 0)
            m_sequenceID = CZkNodeInstanceBase::TakeSequenceNumber();
        launch.sequenceNumber = m_sequenceID;
    }
    auto* playable = dynamic_cast<CZkPlayableNode*>(node);
    const ZKRESULT result = playable != nullptr ? playable->Launch(launch) : ZK_InvalidID;
    ZkVoiceLists::IncrementLaunchCounter();
    node->Release();
    launch.FreeArrays();
    return result;
}

void CZkDynamicSequence::Pause(ZkTimeMs transitionMs, uint32_t curve)
{
    if (m_state == kStopped)
        return;
    if (m_pauseCount++ != 0)
        return;
    {
        ZK::Platform::ZkScopedLock guard(m_lock);
        m_pauseStart = FrameCounter();
    }
    if (g_pEventMgr != nullptr)
        g_pEventMgr->PausePendingActionsOfPlayingID(m_playingID);
    TellItems(ZkActionCode_Pause, transitionMs, curve);
}

void CZkDynamicSequence::Resume(ZkTimeMs transitionMs, uint32_t curve)
{
    if (m_pauseCount == 0)
        return;
    if (--m_pauseCount != 0)
        return;
    if (m_state != kPlaying)
        Play(transitionMs, curve);
    if (g_pEventMgr != nullptr)
        g_pEventMgr->ResumePendingActionsOfPlayingID(m_playingID);
    TellItems(ZkActionCode_Resume, transitionMs, curve);
    EndPause();
}

void CZkDynamicSequence::EndPause()
{
    ZK::Platform::ZkScopedLock guard(m_lock);
    m_pausedFrames += FrameCounter() - m_pauseStart;
    m_pauseStart = 0;
}

void CZkDynamicSequence::Stop(ZkTimeMs transitionMs, uint32_t curve)
{
    m_sequenceID = 0;
    m_state = kStopped;
    m_pauseCount = 0;
    if (g_pEventMgr != nullptr)
        g_pEventMgr->RemovePendingActionsOfPlayingID(m_playingID);
    ZkActionParams stop;
    stop.code = ZkActionCode_Stop;
    stop.gameObject = m_gameObject;
    stop.playingID = m_playingID;
    stop.transitionTime = transitionMs;
    stop.curve = curve;
    if (m_latest.audioNodeID != 0)
    {
        (void)TellNode(m_latest.audioNodeID, stop);
        ZK::Platform::ZkScopedLock guard(m_lock);
        m_latest.audioNodeID = 0;
        m_latest.customInfo = nullptr;
    }
    if (m_previous.audioNodeID != 0)
        (void)TellNode(m_previous.audioNodeID, stop);
}

void CZkDynamicSequence::Break()
{
    m_sequenceID = 0;
    if (m_state == kStopped)
        return;
    m_state = kStopped;
    m_pauseCount = 0;
    if (g_pEventMgr != nullptr)
        g_pEventMgr->RemovePendingActionsOfPlayingID(m_playingID);
    ZkActionParams breakOff;
    breakOff.code = ZkActionCode_Break;
    breakOff.gameObject = m_gameObject;
    breakOff.playingID = m_playingID;
    if (m_previous.audioNodeID != 0)
        (void)TellNode(m_previous.audioNodeID, breakOff);
}

void CZkDynamicSequence::OnPlaylistUnlocked()
{
    bool hasItems = false;
    {
        ZK::Platform::ZkScopedLock guard(m_lock);
        hasItems = !m_playlist.IsEmpty();
    }
    if (m_state == kWaiting && hasItems)
        Play(0, ZkCurveInterpolation_Linear);
}

ZKRESULT CZkDynamicSequence::Seek(float fraction, int32_t milliseconds, bool isFraction, bool snapToNearestMarker)
{
    if (m_state == kStopped)
        return ZK_Success;
    if (m_gameObject == nullptr)
        return ZK_Fail;
    const ZkUniqueID target = m_previous.audioNodeID != 0 ? m_previous.audioNodeID : m_latest.audioNodeID;
    if (target == 0)
        return ZK_InvalidID;
    ZkActionParams seek;
    seek.code = ZkActionCode_Seek;
    seek.gameObject = m_gameObject;
    seek.playingID = m_playingID;
    seek.curve = ZkCurveInterpolation_Linear;
    seek.seekIsRelative = isFraction;
    seek.seekValue = isFraction ? fraction : static_cast<float>(milliseconds);
    seek.seekMilliseconds = milliseconds;
    seek.snapToNearestMarker = snapToNearestMarker;
    return TellNode(target, seek);
}

void CZkDynamicSequence::OnActionCommand(ZkActionCode code, CZkGameObject* object)
{
    if (object != nullptr && object != m_gameObject)
        return;
    switch (code)
    {
    case ZkActionCode_Stop:
    {
        m_state = kStopped;
        m_actionPauseCount = 0;
        ZK::Platform::ZkScopedLock guard(m_lock);
        m_latest.audioNodeID = 0;
        m_latest.customInfo = nullptr;
        break;
    }
    case ZkActionCode_Pause:
        if (m_state != kStopped && m_actionPauseCount++ == 0)
        {
            ZK::Platform::ZkScopedLock guard(m_lock);
            m_pauseStart = FrameCounter();
        }
        break;
    case ZkActionCode_Resume:
        if (m_actionPauseCount != 0 && --m_actionPauseCount == 0)
        {
            if (m_state != kPlaying)
                Play(0, ZkCurveInterpolation_Linear);
            EndPause();
        }
        break;
    default:
        break;
    }
}

void CZkDynamicSequence::TellItems(ZkActionCode code, ZkTimeMs transitionMs, uint32_t curve)
{
    ZkActionParams params;
    params.code = code;
    params.gameObject = m_gameObject;
    params.playingID = m_playingID;
    params.transitionTime = transitionMs;
    params.curve = curve;
    if (m_previous.audioNodeID != 0)
        (void)TellNode(m_previous.audioNodeID, params);
    if (m_latest.audioNodeID != 0)
        (void)TellNode(m_latest.audioNodeID, params);
}

ZKRESULT CZkDynamicSequence::TellNode(ZkUniqueID nodeID, const ZkActionParams& params)
{
    if (g_pObjectIndex == nullptr)
        return ZK_InvalidID;
    auto* node = static_cast<CZkHierarchyNode*>(g_pObjectIndex->GetNodePtrAndAddRef(nodeID, false));
    if (node == nullptr)
        return ZK_InvalidID;
    const ZKRESULT result = node->ExecuteAction(params);
    node->Release();
    return result;
}
} // namespace ZK::SoundEngine
