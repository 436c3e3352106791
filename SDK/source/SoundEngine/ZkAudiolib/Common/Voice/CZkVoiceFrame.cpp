// CZkVoice: the per-frame preparation (stop point, volume, audibility, filters, virtual periods,
// starvation, the pipeline on the first frame that renders) and the gain update.
#include "ZkAudiolib/Common/Voice/CZkVoice.h"

#include "ZkAudiolib/Common/FrontEnd/EngineLimits.h"
#include "ZkAudiolib/Common/MixGraph/CZkMixerInputContext.h"
#include "ZkAudiolib/Common/Parameters/ZkFastMath.h"
#include "ZkAudiolib/Common/Sources/CZkVoiceSource.h"
#include "ZkAudiolib/Common/Voice/ZkAudioSettings.h"

#include <algorithm>
#include <limits>

namespace ZK::SoundEngine
{
namespace
{
// The connections' mix gains already carry the voice gain (the context's gain): the voice adds no
// factor of its own, or its gain would be applied twice (a -6 dB voice heard at -12 dB, a linear
// fade heard as its square).
constexpr float kNoExtraFactor = 1.0f;
constexpr uint8_t kVirtualBits = CZkNodeInstanceBase::kFlagStartsVirtual | CZkNodeInstanceBase::kFlagMadeVirtual;
constexpr float kFilterMin = 0.0f;
constexpr float kFilterMax = 100.0f;

// Moves the filter's current value to where its per-block ramp stands before it takes the target.
void Retarget(ZkBiquadStage& stage, float value)
{
    ZkFilterParams& params = stage.Params();
    if (value == params.targetValue)
        return;
    const uint16_t blocks = ZkAudioSettings::BlocksPerBuffer();
    if (blocks != 0 && params.stepCounter < blocks)
        params.currentValue += (params.targetValue - params.currentValue) / blocks * params.stepCounter;
    stage.SetTarget(value);
}
} // namespace

void CZkVoice::ApplyVolume(CZkPlayingInstance& playing)
{
    const float volumeDb = playing.GetVolumeDb();
    if (volumeDb != m_cachedVolumeDb)
    {
        m_cachedVolumeDb = volumeDb;
        m_cachedVolumeLinear = ZkDecibelsToLinear(volumeDb);
    }
    SetGain(m_cachedVolumeLinear * playing.LinearGain());
}

void CZkVoice::RetargetFilters(CZkPlayingInstance& playing)
{
    CZkSrcLpHpFilter& filter = m_filterStage.Filter();
    Retarget(filter.LowPass(), std::clamp(playing.GetLowPass(), kFilterMin, kFilterMax));
    Retarget(filter.HighPass(), std::clamp(playing.GetHighPass(), kFilterMin, kFilterMax));
}

bool CZkVoice::DecideAudibility(CZkPlayingInstance& playing)
{
    // A voice with no connection yet has no connection below the threshold: it is audible.
    bool any = false;
    bool allBelow = true;
    bool allSecond = true;
    for (const CZkMixerInputContext* c = FirstOutput(); c != nullptr; c = c->nextOutput)
    {
        any = true;
        allBelow = allBelow && (c->flags & CZkMixerInputContext::kFlagBelowThreshold) != 0;
        allSecond = allSecond && (c->flags & CZkMixerInputContext::kFlagSecond) != 0;
    }
    const bool decided = (Flags() & kFlagDecided) != 0;
    bool audible = decided ? !(any && allBelow && allSecond) : !(any && allBelow);
    if (audible && (playing.SecondFlags() & kVirtualBits) != 0)
    {
        // The instance is held virtual: its connections fall silent until it comes back.
        const float threshold = GetVolumeThresholdDB();
        for (CZkMixerInputContext* c = FirstOutput(); c != nullptr; c = c->nextOutput)
        {
            c->currentDb = kNoLevelDb;
            if (c->currentDb < threshold)
                c->flags |= CZkMixerInputContext::kFlagBelowThreshold;
            else
                c->flags &= ~CZkMixerInputContext::kFlagBelowThreshold;
            if (!decided)
                c->flags |= CZkMixerInputContext::kFlagSecond;
        }
        audible = decided && !(any && allSecond);
    }
    return audible;
}

CZkVoicePipelineStage* CZkVoice::Chain()
{
    return IsPipelineBuilt() ? ChainEnd() : m_main;
}

bool CZkVoice::ComeBackFromVirtual(CZkPlayingInstance& playing)
{
    const uint32_t answer = playing.HandleVirtual(m_virtualBehaviour);
    if (answer == CZkPlayingInstance::kResumeStop)
    {
        EnterStopped();
        return false;
    }
    CZkVoicePipelineStage* chain = Chain();
    const bool fromSeekTarget = answer == CZkPlayingInstance::kResumeRestart;
    if (chain != nullptr && chain->LeaveVirtual(m_virtualBehaviour, fromSeekTarget) != ZK_Success)
    {
        EnterStopped();
        return false;
    }
    playing.LeaveVirtual();
    return true;
}

void CZkVoice::GoVirtual(CZkPlayingInstance& playing)
{
    CZkVoicePipelineStage* chain = Chain();
    if (chain != nullptr)
        chain->EnterVirtual(m_virtualBehaviour);
    if (m_virtualBehaviour != kVirtualModeResume)
    {
        ReleaseFrameBuffers();
        // The markers still travelling through the chain are handed over now.
        ZkPipelineBuffer pending;
        pending.markers = ZkMarkerWindow{0, m_markers.Count()};
        NotifyMarkers(pending);
    }
    playing.EnterVirtual();
}

void CZkVoice::HandleStarvation(CZkPlayingInstance& playing)
{
    const uint32_t answer = playing.HandleVirtual(m_virtualBehaviour);
    if (answer == CZkPlayingInstance::kResumeRestart)
    {
        if (m_virtualBehaviour != kVirtualModeFromStart || m_virtualMode != kVirtualOn)
        {
            if (m_sourcePrepared)
            {
                ClearConnectionBuffers();
                RestartChain();
            }
        }
        else
            playing.SetSecondFlag(kVirtualBits, false);
        for (CZkMixerInputContext* c = FirstOutput(); c != nullptr; c = c->nextOutput)
            c->flags |= CZkMixerInputContext::kFlagSecond;
    }
    else if (answer == CZkPlayingInstance::kResumeStop)
        EnterStopped();
    m_pipelineFlags &= static_cast<uint8_t>(~kPipelineStarving);
}

bool CZkVoice::StartRendering(CZkPlayingInstance& playing)
{
    if (IsPipelineBuilt())
        return true;
    if (BuildPipeline() != ZK_Success)
    {
        EnterStopped();
        return false;
    }
    playing.InitSends();
    m_buffer.channelConfig = m_outputConfig;
    m_cachedVolumeDb = std::numeric_limits<float>::max();
    ApplyVolume(playing);
    ComputeConnectionVolumes(kNoExtraFactor);
    return true;
}

bool CZkVoice::PrepareFrame()
{
    CZkPlayingInstance* playing = Instance();
    if (m_state != kStatePlaying || playing == nullptr)
        return false;

    // A stop point: 0 stops at once, any other lets this last frame render (cut there).
    const int32_t stop = playing->PendingStopOffset();
    if (stop == 0)
    {
        playing->TakePendingStopOffset();
        EnterStopped();
        return false;
    }
    m_lastFrame = stop != -1;

    m_buffer = ZkPipelineBuffer{};
    m_buffer.channelConfig = m_outputConfig;
    m_buffer.maxFrames = ZkAudioSettings::FramesPerBuffer();
    m_buffer.status = ZK_DataNeeded;
    ApplyVolume(*playing);
    const bool audible = DecideAudibility(*playing);
    RetargetFilters(*playing);
    const uint32_t frames = FramesThisFrame(*playing);
    const bool wasAudible = (Flags() & kFlagAudible) != 0;
    const bool decided = (Flags() & kFlagDecided) != 0;

    bool render = true;
    if (audible)
    {
        for (CZkMixerInputContext* c = FirstOutput(); c != nullptr; c = c->nextOutput)
            c->RefreshFromInput(m_outputConfig, false);
        ComputeConnectionVolumes(kNoExtraFactor);
        if (!m_sourcePrepared)
        {
            const ZKRESULT prepared = PrepareSource(*m_main, *playing);
            if (prepared == ZK_NotReadyYet)
                render = false;
            else if (prepared != ZK_Success)
            {
                EnterStopped();
                return false;
            }
            else
            {
                m_sourcePrepared = true;
                if (!m_durationReported)
                {
                    m_durationReported = true;
                    m_main->ReportDuration();
                }
                if (m_virtualMode == kVirtualOn && decided && !wasAudible)
                    render = ComeBackFromVirtual(*playing);
            }
        }
        else if (m_virtualMode == kVirtualOn && decided && !wasAudible)
            render = ComeBackFromVirtual(*playing);
    }
    else if (m_virtualMode == kVirtualOn)
    {
        render = false;
        if (wasAudible || !decided)
            GoVirtual(*playing);
        if (m_virtualBehaviour == kVirtualModeSkipTime && m_sourcePrepared && playing->StartDelay() < static_cast<int32_t>(frames))
        {
            uint32_t skipped = frames;
            m_buffer.status = Chain()->SkipFrames(skipped);
        }
    }
    else if (m_virtualMode == kVirtualStop)
    {
        EnterStopped();
        return false;
    }

    if ((m_pipelineFlags & kPipelineStarving) != 0)
        HandleStarvation(*playing);

    // The start delay is counted down by the started list (CZkPlayingInstance::CountDownStartDelay),
    // which runs while the voice waits for its source as well; counted here too it would run out
    // twice as fast.
    if (m_virtualMode != kVirtualNone && audible != wasAudible && decided)
    {
        if (audible)
            playing->ReleaseSources();
        else
            playing->RetainSources();
    }
    SetFlags(kFlagAudible, audible);
    SetFlags(kFlagDecided, true);

    if (!render || m_state != kStatePlaying)
        return false;
    return StartRendering(*playing);
}

void CZkVoice::UpdateGain()
{
    CZkPlayingInstance* playing = Instance();
    if (playing == nullptr)
        return;
    ZkMixInstanceView& view = View();
    // The volume modulators reach the samples in the modulation stage; the connections' levels take
    // the loudest gain they reach in this frame, so that the threshold test never culls a voice in
    // the loud part of its modulation.
    const CZkModulatorLinks* own = playing->ModulatorLinks().links;
    const CZkModulatorLinks* context = playing->ContextModulatorLinks();
    view.modulationGain = (own != nullptr ? own->GetTargetGain(CZkModulationStage::kVolumeMask) : 1.0f) *
                          (context != nullptr ? context->GetTargetGain(CZkModulationStage::kVolumeMask) : 1.0f);
    if ((playing->SecondFlags() & kVirtualBits) == 0)
    {
        playing->Update();
        playing->RefreshRayAttenuation();
        playing->UpdateDistancePriority();
        RefreshPositioningView(*playing);
        SetGain(ZkDecibelsToLinear(playing->GetVolumeDb()) * playing->LinearGain());
        view.playingID = playing->PlayingID();
        view.nodeID = playing->GetNodeID();
        view.sendCapable = true;
        BuildSends();
        return;
    }
    if (playing->HasDefaultPlayMode() || (Flags() & kFlagAudible) != 0)
    {
        m_virtualBehaviour = kVirtualModeSkipTime;
        m_virtualMode = kVirtualOn;
    }
    view.sendCapable = false;
    // The rays are collected only while the voice is heard: a virtual one reads none.
    view.rays = nullptr;
    view.rayCount = 0;
    SetGain(0.0f);
    Sends().RemoveAll();
    playing->InitSends();
}
} // namespace ZK::SoundEngine
