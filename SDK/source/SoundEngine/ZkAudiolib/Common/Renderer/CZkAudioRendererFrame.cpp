// CZkAudioRenderer: the render pass, one audio frame of frames-per-buffer samples: starvation,
// the rendering decision, play positions, the started list, the frame parameters, the active
// instances, the sinks' object capabilities, the voices and buses (inline here, or as jobs), the
// voices' post-frame step, the devices' frame end and the clean-up of idle buses.
#include "ZkAudiolib/Common/Renderer/CZkAudioRendererFrame.h"

#include "ZkAudiolib/Common/FrontEnd/EngineLimits.h"
#include "ZkAudiolib/Common/FrontEnd/EventManager.h"
#include "ZkAudiolib/Common/FrontEnd/PlayPositionRepository.h"
#include "ZkAudiolib/Common/MixGraph/CZkBusNodeInstance.h"
#include "ZkAudiolib/Common/MixGraph/CZkMixBus.h"
#include "ZkAudiolib/Common/MixGraph/CZkMixerInputContext.h"
#include "ZkAudiolib/Common/Output/CZkOutputDevice.h"
#include "ZkAudiolib/Common/Output/CZkOutputDeviceMgr.h"
#include "ZkAudiolib/Common/Playback/CZkActiveInstances.h"
#include "ZkAudiolib/Common/Playback/CZkPlayingInstance.h"
#include "ZkAudiolib/Common/Playback/ZkVoiceLists.h"
#include "ZkAudiolib/Common/Renderer/CZkAudioRendererBusList.h"
#include "ZkAudiolib/Common/Renderer/CZkAudioRendererVoiceList.h"
#include "ZkAudiolib/Common/Sources/CZkVoiceSource.h"
#include "ZkAudiolib/Common/Voice/CZkVoice.h"
#include "ZkAudiolib/Common/Voice/ZkAudioSettings.h"

#include <algorithm>

namespace ZK::SoundEngine
{
namespace
{
// A starving sink is acknowledged again once this many buffer ticks have passed.
constexpr uint32_t kStarvationReportTicks = 8;

uint32_t g_starvationMark = 0;

uint32_t BufferTick()
{
    return g_pEventMgr != nullptr ? g_pEventMgr->frameCounter : 0;
}

// Step 1: sinks that starved are acknowledged; the walk ends at the first one acknowledged while
// the report mark is due, so a second starving device waits for a later frame.
void AcknowledgeStarvation()
{
    for (CZkOutputDevice* device = CZkOutputDeviceMgr::FirstDevice(); device != nullptr; device = device->next)
    {
        ZK::IZkSinkPlugin* sink = device->Sink();
        if (sink == nullptr || !sink->IsStarved())
            continue;
        sink->ResetStarved();
        const uint32_t tick = BufferTick();
        if (g_starvationMark == 0 || tick - g_starvationMark > kStarvationReportTicks)
        {
            g_starvationMark = tick;
            return;
        }
    }
}

bool FrameIsRendered()
{
    return CZkOutputDeviceMgr::GetRenderState() != CZkOutputDeviceMgr::Render_Suspended ||
           CZkOutputDeviceMgr::RendersWhileSuspended();
}

void RefreshSinkCapabilities()
{
    for (CZkOutputDevice* device = CZkOutputDeviceMgr::FirstDevice(); device != nullptr; device = device->next)
        if (device->Sink() != nullptr && device->SinkTakes3DAudio())
            device->RefreshCapabilities();
}

CZkPlayingInstance* InstanceOf(const CZkVoice& voice)
{
    return voice.MainSource() != nullptr ? voice.MainSource()->Instance() : nullptr;
}

// A starving voice's send volume is unset again, to be read anew when it comes back.
void ResetSendVolume(CZkVoice& voice)
{
    if (CZkPlayingInstance* instance = InstanceOf(voice))
        instance->InitSends();
}

// Step 14: a bus that was idle this frame, has no inputs and whose window has settled goes.
void CleanUpBuses()
{
    ZkRendererBusList& list = RendererBuses();
    for (uint32_t i = list.buses.Length(); i-- > 0;)
    {
        CZkMixBus& bus = *list.buses[i];
        if (bus.Activity() == CZkMixBus::kActive || bus.FirstInput() != nullptr ||
            (bus.windowFlags & CZkMixBus::kWindowReleasing) != 0)
        {
            bus.windowFlags = static_cast<uint8_t>(bus.windowFlags & ~CZkMixBus::kWindowReleasing);
            continue;
        }
        CZkAudioRenderer::RemoveBus(i);
    }
}

// The voices in state 1 (the frame parameter update's walks).
template <typename Step>
void ForEachPlayingVoice(Step step)
{
    for (CZkVoice* voice : RendererVoices().voices)
        if (voice->State() == CZkVoice::kStatePlaying)
            step(*voice);
}
} // namespace

void RendererFrame::ResetStarvationMark()
{
    g_starvationMark = 0;
}

bool RendererFrame::IsSkipped(const CZkMixerInputContext& connection)
{
    constexpr uint32_t kSkipped = CZkMixerInputContext::kFlagBelowThreshold | CZkMixerInputContext::kFlagSecond;
    return (connection.flags & kSkipped) == kSkipped;
}

void RendererFrame::PrepareVoices(bool rendered)
{
    auto& voices = RendererVoices().voices;
    for (uint32_t i = 0; i < voices.Length(); ++i)
    {
        CZkVoice* voice = voices[i];
        voice->frameIndex = i;
        ZkPipelineBuffer& buffer = voice->Buffer();
        buffer.status = ZK_NotProcessedThisFrame;
        if (voice->MainSource() != nullptr)
            voice->MainSource()->FrameStep();
        const bool prepared = voice->State() == CZkVoice::kStatePlaying && voice->PrepareFrame();
        // The preparation left a cleared block waiting for data; a frame not rendered keeps it idle.
        buffer.status = prepared && rendered ? ZK_DataNeeded : ZK_NotProcessedThisFrame;
    }
}

void RendererFrame::MixDeferredInputs(CZkMixBus& bus)
{
    for (CZkMixerInputContext* c = bus.FirstInput(); c != nullptr; c = c->nextInput)
        if (!IsSkipped(*c) && (c->flags & CZkMixerInputContext::kFlagDeferred) != 0)
            bus.MixInput(*c);
}

void RendererFrame::FinishBus(CZkMixBus& bus)
{
    bus.Process();
    if (bus.FirstOutput() != nullptr || !bus.IsRoot())
        return;
    if (CZkOutputDevice* device = bus.GetOutputDevice())
        CZkAudioRenderer::MixBusToDevice(bus, *device);
}

void RendererFrame::ProcessFrame(CZkMixBus& bus)
{
    // The voices first, in the voice list's order, each voice's connections as its output list
    // has them (newest first), then the buses: the order in which the inline pass sums them, so
    // that both paths round alike.
    uint32_t inputs = 0;
    for (const CZkMixerInputContext* c = bus.FirstInput(); c != nullptr; c = c->nextInput)
        ++inputs;
    struct VoiceInput
    {
        uint32_t voice;
        uint32_t newer; // the reverse of the connection's place in the bus's input list
        CZkMixerInputContext* connection;
    };
    VoiceInput* voiceInputs = static_cast<VoiceInput*>(__builtin_alloca(sizeof(VoiceInput) * (inputs + 1)));
    uint32_t count = 0;
    uint32_t place = inputs;
    for (CZkMixerInputContext* c = bus.FirstInput(); c != nullptr; c = c->nextInput, --place)
    {
        CZkMixContext& input = c->GetInputContext();
        if (!input.IsBus() && !IsSkipped(*c) && (c->flags & CZkMixerInputContext::kFlagDeferred) == 0)
            voiceInputs[count++] = VoiceInput{static_cast<CZkVoice&>(input).frameIndex, place, c};
    }
    std::sort(voiceInputs, voiceInputs + count, [](const VoiceInput& a, const VoiceInput& b) {
        return a.voice != b.voice ? a.voice < b.voice : a.newer < b.newer;
    });
    for (uint32_t i = 0; i < count; ++i)
        bus.MixInput(*voiceInputs[i].connection);
    MixBusInputs(bus);
    FinishBus(bus);
}

void RendererFrame::MixBusInputs(CZkMixBus& bus)
{
    for (CZkMixerInputContext* c = bus.FirstInput(); c != nullptr; c = c->nextInput)
        if (!IsSkipped(*c) && c->GetInputContext().IsBus() && (c->flags & CZkMixerInputContext::kFlagDeferred) == 0)
            bus.MixInput(*c);
}

void RendererFrame::EndBusFrames()
{
    ZkRendererBusList& list = RendererBuses();
    for (uint32_t i = list.buses.Length(); i-- > 0;)
    {
        CZkMixBus& bus = *list.buses[i];
        bus.EndFrame();
        if (list.feedback)
            MixDeferredInputs(bus);
    }
}

void RendererFrame::RenderInline(bool rendered)
{
    PrepareVoices(rendered);
    // Each voice mixes itself into its buses right after its pipeline.
    for (CZkVoice* voice : RendererVoices().voices)
    {
        if (voice->Buffer().status != ZK_DataNeeded)
            continue;
        voice->Pull();
        if (voice->Buffer().status == ZK_NoDataReady)
        {
            ResetSendVolume(*voice);
            continue;
        }
        for (CZkMixerInputContext* c = voice->FirstOutput(); c != nullptr; c = c->nextOutput)
            if (!IsSkipped(*c))
                c->GetOutputBus()->MixInput(*c);
    }

    ZkRendererBusList& list = RendererBuses();
    if (!rendered || list.buses.IsEmpty())
        return;
    if (list.graphChanged)
    {
        // Levels unknown (a failed level computation): no bus runs. What the voices mixed into
        // their buses is dropped with the buses' frame end, instead of doubling the next frame.
        EndBusFrames();
        return;
    }
    for (uint32_t i = list.buses.Length(); i-- > 0;)
    {
        // Voices mixed themselves: only the bus inputs remain.
        CZkMixBus& bus = *list.buses[i];
        MixBusInputs(bus);
        FinishBus(bus);
    }
    EndBusFrames();
}

void RendererFrame::UpdateFrameParameters()
{
    ZkRendererBusList& list = RendererBuses();
    ForEachPlayingVoice([](CZkVoice& voice) {
        // Fades and contributions changed the instance's gain since the last frame.
        if (CZkPlayingInstance* instance = InstanceOf(voice); instance != nullptr && instance->GainDirty())
            instance->RecomputeGain();
        voice.UpdateGain();
    });
    CZkBusNodeInstance::UpdateActiveSends();
    if (list.graphChanged)
        CZkAudioRenderer::ComputeBusLevels();
    const float thresholdDb = GetVolumeThresholdDB();
    for (CZkMixBus* bus : list.buses)
        bus->PrepareFrame(true, thresholdDb);
    if (list.graphChanged)
        CZkAudioRenderer::ComputeBusLevels();
    ForEachPlayingVoice([thresholdDb](CZkVoice& voice) { voice.UpdateSendConnections(true, thresholdDb); });
    for (uint32_t i = list.buses.Length(); i-- > 0;)
        list.buses[i]->UpdateWindow();
    CZkAudioRenderer::FlushGameParameterOutputs();
    ForEachPlayingVoice([](CZkVoice& voice) { voice.ApplyRelatedLevels(); });
}

void RendererFrame::PostFrameVoices()
{
    auto& voices = RendererVoices().voices;
    for (uint32_t i = 0; i < voices.Length();)
    {
        CZkVoice& voice = *voices[i];
        const ZKRESULT status = voice.Buffer().status;
        if (status == ZK_NoDataReady)
            ResetSendVolume(voice);
        else if (status != ZK_NotProcessedThisFrame)
            voice.ReleaseFrameBuffers();

        // A follow-up source whose instance was stopped while it waited goes (its end posted).
        if (const CZkVoiceSource* second = voice.SecondSource();
            second != nullptr && second->Instance() != nullptr && second->Instance()->IsDead())
            voice.ReleaseSecondSource();
        const CZkPlayingInstance* instance = InstanceOf(voice);
        // A dead instance (stopped, its stop position passed) asks for the stop.
        const bool stopDue = voice.State() == CZkVoice::kStateStopped || (instance != nullptr && instance->IsDead());
        const bool pauseDue = instance != nullptr && instance->IsPaused() && voice.State() == CZkVoice::kStatePlaying;
        if (status == ZK_NoMoreData && !stopDue)
            FollowOrStop(voice);
        else if (status == ZK_NoMoreData || status == ZK_Fail || stopDue)
            voice.Stop();
        else if (pauseDue)
            voice.Pause();

        if (voice.State() != CZkVoice::kStateStopped)
        {
            voice.ReportDurationOnce();
            ++i;
            continue;
        }
        voices.Erase(i);
        DestroyVoice(&voice);
    }
}

void RendererFrame::FollowOrStop(CZkVoice& voice)
{
    CZkVoiceSource* follower = voice.SecondSource();
    CZkPlayingInstance* next = follower != nullptr ? follower->Instance() : nullptr;
    if (next == nullptr)
    {
        voice.Stop();
        return;
    }
    // The finished source and its pipeline go; the follow-up source starts anew as main source.
    voice.Detach();
    if (voice.AttachSource(next, true) != ZK_Success || voice.BuildPipeline() != ZK_Success)
    {
        voice.Stop();
        return;
    }
    next->SetVoice(&voice);
    voice.ReportDurationOnce();
}

ZKRESULT CZkAudioRenderer::RenderPass()
{
    AcknowledgeStarvation();
    const bool rendered = FrameIsRendered();
    if (g_pPlayPositionRepository != nullptr && g_pPlayPositionRepository->PositionRecordCount() != 0)
        g_pPlayPositionRepository->RefreshTimeStamp();
    ZkVoiceLists::UpdatePlaying(ZkAudioSettings::FramesPerBuffer());
    RendererFrame::UpdateFrameParameters();
    CZkActiveInstances::FrameUpdate();
    RefreshSinkCapabilities();
    if (HasJobCallback())
        RendererFrame::RenderWithJobs(rendered);
    else
        RendererFrame::RenderInline(rendered);
    RendererFrame::PostFrameVoices();
    CZkOutputDeviceMgr::EndFrame();
    CleanUpBuses();
    return ZK_Success;
}
} // namespace ZK::SoundEngine
