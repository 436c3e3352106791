// CZkPlayingInstance: playback (play, pause and resume with their levels, stop, seek), the fades
// that run on transitions, and the actions that reach the instance.
#include "ZkAudiolib/Common/Parameters/CZkTransitionMgr.h"
#include "ZkAudiolib/Common/Playback/CZkPlayingInstance.h"
#include "ZkAudiolib/Common/Playback/ZkVoiceLists.h"
#include "ZkAudiolib/Common/Voice/ZkAudioSettings.h"

#include <algorithm>
#include <bit>

namespace ZK::SoundEngine
{
namespace
{
// The tags the fades' transitions carry: volume fades of play and stop, and of pause and resume.
constexpr uint32_t kTagPlayFade = 25;
constexpr uint32_t kTagPauseFade = 26;
constexpr uint32_t kImmediateCurve = ZkCurveInterpolation_Linear;

struct FadeTarget
{
    float end;
    uint32_t tag;
};

FadeTarget EndOf(uint32_t target)
{
    switch (target)
    {
    case CZkPlayingInstance::kFadeIn:
        return {1.0f, kTagPlayFade};
    case CZkPlayingInstance::kFadeStop:
        return {0.0f, kTagPlayFade};
    case CZkPlayingInstance::kFadePause:
        return {0.0f, kTagPauseFade};
    default:
        return {1.0f, kTagPauseFade};
    }
}
} // namespace

ZKRESULT CZkPlayingInstance::QueueVoiceCommand(uint32_t code)
{
    return ZkVoiceLists::PostCommand(static_cast<ZkVoiceCommandCode>(code), this);
}

ZKRESULT CZkPlayingInstance::Play(ZkTimeMs fadeInMs, uint32_t curve, bool paused, bool count)
{
    if (fadeInMs > 0)
    {
        m_fadeVolume = 0.0f;
        StartFade(kFadeIn, fadeInMs, curve);
    }
    const uint8_t requested = m_startByte & kStartStateMask;
    ZKRESULT queued;
    if (paused || requested == kStartPaused)
    {
        m_status |= kStatusPaused;
        if (m_pauseCount == 0)
            m_pauseCount = 1;
        queued = QueueVoiceCommand(ZkVoiceCommand_PlayPaused);
        if (m_fade != nullptr && g_pTransitionMgr != nullptr)
            g_pTransitionMgr->Pause(m_fade);
        PauseModulators();
        PausePath();
    }
    else
    {
        queued = QueueVoiceCommand(ZkVoiceCommand_Play);
    }
    if (queued != ZK_Success)
        return queued;
    // The start delay counts down on the started list (UpdatePlaying) and nowhere else, from the
    // first frame on: a delay of 0 reaches -frames before the voice's first block, which then
    // starts without leading silence. Without a place there the delay would never run out, so the
    // play fails and takes its command back.
    if (!m_played && ZkVoiceLists::AddPlaying(this) != ZK_Success)
    {
        ZkVoiceLists::RemoveInstance(this);
        return ZK_InsufficientMemory;
    }
    m_played = true;
    m_startQueued = true;
    if (requested == kStartAndStop)
        Kill(kKillStop);
    if (count)
        ZkVoiceLists::IncrementLaunchCounter();
    return ZK_Success;
}

void CZkPlayingInstance::StartFade(uint32_t target, ZkTimeMs timeMs, uint32_t curve)
{
    CZkTransition*& slot = SlotOf(target);
    const FadeTarget fade = EndOf(target);
    if (slot != nullptr && g_pTransitionMgr != nullptr)
    {
        g_pTransitionMgr->ChangeParameter(slot, target, fade.end, timeMs, curve, ZkValueMeaning_Absolute);
    }
    else if (g_pTransitionMgr != nullptr)
    {
        ZkTransitionParams params;
        params.firstUser = this;
        params.kind = target;
        params.startValue = target <= kFadeStop ? m_fadeVolume : m_pauseVolume;
        params.targetValue = fade.end;
        params.timeMs = timeMs;
        params.curve = curve;
        params.tag = fade.tag;
        params.mirrorWhenFalling = true;
        slot = g_pTransitionMgr->AddTransition(params);
    }
    if (target <= kFadeStop)
    {
        m_limitByte = target == kFadeIn ? static_cast<uint8_t>(m_limitByte | kLimitFadingIn)
                                        : static_cast<uint8_t>(m_limitByte & ~kLimitFadingIn);
    }
    if (slot == nullptr)
        TransUpdateValue(target, fade.end, true); // no transition can run: the end value at once
}

void CZkPlayingInstance::TransUpdateValue(uint32_t kind, float value, bool done)
{
    if (kind == kFadeIn || kind == kFadeStop)
    {
        if (done)
        {
            m_fade = nullptr;
            m_limitByte &= static_cast<uint8_t>(~kLimitFadingIn);
            if (kind == kFadeStop)
                Kill(kKillStop);
        }
        m_fadeVolume = value;
    }
    else
    {
        if (done)
        {
            m_pause = nullptr;
            if (kind == kFadePause)
                PauseNow(true);
        }
        m_pauseVolume = value;
    }
    m_flags |= kFlagGainDirty;
}

void CZkPlayingInstance::Pause(ZkTimeMs timeMs, uint32_t curve)
{
    ++m_pauseCount;
    if (timeMs > 0)
        StartFade(kFadePause, timeMs, curve);
    else if (SourceStarted() && m_pause != nullptr)
        StartFade(kFadePause, 0, kImmediateCurve);
    else
        PauseNow(SourceStarted()); // a started voice follows the pause itself; a pending one is told
}

void CZkPlayingInstance::PauseNow(bool voiceTold)
{
    if (IsKilled() || IsPaused())
        return;
    m_status |= kStatusPaused;
    m_pauseVolume = 0.0f;
    m_linearGain = 0.0f;
    if (!voiceTold)
        QueueVoiceCommand(ZkVoiceCommand_Pause); // a command that cannot be queued leaves the voice playing
    if (m_fade != nullptr && g_pTransitionMgr != nullptr)
        g_pTransitionMgr->Pause(m_fade);
    PauseModulators();
    PausePath();
}

void CZkPlayingInstance::Resume(ZkTimeMs timeMs, uint32_t curve, bool allLevels)
{
    if (!allLevels && m_pauseCount > 1)
    {
        --m_pauseCount;
        return;
    }
    m_pauseCount = 0;
    ResumeNow();
    if (timeMs > 0)
    {
        StartFade(kFadeResume, timeMs, curve);
    }
    else if (m_pause != nullptr)
    {
        StartFade(kFadeResume, 0, kImmediateCurve);
    }
    else
    {
        m_pauseVolume = 1.0f;
        RecomputeGain();
    }
}

void CZkPlayingInstance::ResumeNow()
{
    if (IsKilled() || !IsPaused())
        return;
    ResumeModulators();
    ResumePath();
    m_status &= static_cast<uint8_t>(~kStatusPaused);
    QueueVoiceCommand(ZkVoiceCommand_Resume);
    if (m_fade != nullptr && g_pTransitionMgr != nullptr)
        g_pTransitionMgr->Resume(m_fade);
}

void CZkPlayingInstance::StopWithFade(ZkTimeMs timeMs, uint32_t curve, bool flag)
{
    if (IsPaused() || (m_pause != nullptr && m_pause->IsFadeKind()))
    {
        Kill(kKillStop);
        return;
    }
    m_status |= kStatusStopping;
    if (timeMs > 0)
    {
        StartFade(kFadeStop, timeMs, curve);
    }
    else if (SourceState() == kSourceNone)
    {
        Kill(kKillStop);
    }
    else if (m_fade != nullptr)
    {
        StartFade(kFadeStop, 0, kImmediateCurve);
    }
    else if (flag)
    {
        m_fadeVolume = 0.0f;
        m_linearGain = 0.0f;
        if ((m_stopByte & kStopRequested) == 0)
            m_stopByte = static_cast<uint8_t>((m_stopByte & ~kStopReasonMask) | kStopRequested);
        Kill(kKillStop);
    }
}

void CZkPlayingInstance::StopForLimit(uint8_t reason)
{
    if ((m_stopByte & kStopRequested) == 0)
        m_stopByte = static_cast<uint8_t>((m_stopByte & ~kStopReasonMask) | kStopRequested |
                                          ((reason << kStopReasonShift) & kStopReasonMask));
    StopWithFade(0, kImmediateCurve, true);
}

void CZkPlayingInstance::HandleVirtualLimit(uint8_t reason)
{
    uint8_t queue = 0;
    const uint8_t behaviour = GetVirtualBehaviour(queue);
    if (behaviour == 1)
        StopForLimit(reason);
    else if (behaviour == 2)
        SetSecondFlag(kFlagMadeVirtual, true);
}

void CZkPlayingInstance::StopLooping()
{
    m_loopCount = 1;
    QueueVoiceCommand(ZkVoiceCommand_StopSource);
}

void CZkPlayingInstance::SeekToTime(float ms, bool option)
{
    SeekToSamples(static_cast<uint32_t>(static_cast<double>(ZkAudioSettings::SampleRate()) * ms / 1000.0));
    if (option)
        m_limitByte |= kLimitSeekOption;
}

void CZkPlayingInstance::SeekToSamples(uint32_t samples)
{
    m_seekPosition = samples;
    m_stopByte = static_cast<uint8_t>((m_stopByte & ~kSeekMask) | kSeekBySamples);
    m_limitByte &= static_cast<uint8_t>(~kLimitSeekOption);
    QueueVoiceCommand(ZkVoiceCommand_ReevaluateSource);
}

void CZkPlayingInstance::SeekToPercent(float fraction, bool option)
{
    m_seekPosition = std::bit_cast<uint32_t>(fraction);
    m_stopByte = static_cast<uint8_t>((m_stopByte & ~kSeekMask) | kSeekByPercent);
    m_limitByte = option ? static_cast<uint8_t>(m_limitByte | kLimitSeekOption)
                         : static_cast<uint8_t>(m_limitByte & ~kLimitSeekOption);
    QueueVoiceCommand(ZkVoiceCommand_ReevaluateSource);
}

ZKRESULT CZkPlayingInstance::ExecuteAction(const ZkActionParams& params)
{
    if ((params.gameObject != nullptr && params.gameObject != GameObjectOf()) ||
        (params.playingID != 0 && params.playingID != m_playingID))
        return ZK_Success;
    switch (params.code)
    {
    case ZkActionCode_Stop:
        StopWithFade(params.transitionTime, params.curve, true);
        break;
    case ZkActionCode_Pause:
        Pause(params.transitionTime, params.curve);
        break;
    case ZkActionCode_Resume:
        Resume(params.transitionTime, params.curve, params.resumeAllPauses);
        break;
    case ZkActionCode_TargetNotification:
        StopLooping();
        break;
    case ZkActionCode_Break:
        ReleaseModulators();
        break;
    case ZkActionCode_Seek:
        if (m_rateTimed)
            break; // the playlist starts the next item at its rate, wherever this one is
        // A fraction past either end seeks to that end (one that is not a number to the start); a
        // time before the start to the start.
        if (params.seekIsRelative)
            SeekToPercent(params.seekValue >= 0.0f ? std::min(params.seekValue, 1.0f) : 0.0f,
                          params.snapToNearestMarker);
        else
            SeekToTime(static_cast<float>(std::max(params.seekMilliseconds, 0)), params.snapToNearestMarker);
        break;
    default:
        break;
    }
    return ZK_Success;
}

void CZkPlayingInstance::PauseModulators()
{
    if (m_modulatorLinks.links != nullptr)
        m_modulatorLinks.links->PauseAll();
}

void CZkPlayingInstance::ResumeModulators()
{
    if (m_modulatorLinks.links != nullptr)
        m_modulatorLinks.links->ResumeAll();
}

void CZkPlayingInstance::ReleaseModulators()
{
    // Without links yet, the release frame stays in the handle: what attaches later through it is
    // released at once.
    constexpr int32_t kNow = 0;
    if (m_modulatorLinks.links != nullptr)
        m_modulatorLinks.links->ReleaseAll(kNow);
    else
        m_modulatorLinks.releaseFrame = kNow;
}
} // namespace ZK::SoundEngine
