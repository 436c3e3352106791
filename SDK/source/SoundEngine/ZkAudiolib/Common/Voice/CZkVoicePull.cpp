// CZkVoice: the pipeline pull of one frame, the source pull with its second source, and what the
// delivered block goes on to (its position, the connections, the game's markers).
#include "ZkAudiolib/Common/Voice/CZkVoice.h"

#include "ZkAudiolib/Common/FrontEnd/PlayPositionRepository.h"
#include "ZkAudiolib/Common/MixGraph/CZkMixerInputContext.h"
#include "ZkAudiolib/Common/Playback/CZkPlayingMgr.h"
#include "ZkAudiolib/Common/Sources/CZkVoiceSource.h"
#include "ZkAudiolib/Common/Voice/CZkEffectStage.h"
#include "ZkAudiolib/Common/Voice/CZkResamplingStage.h"
#include "ZkAudiolib/Common/Voice/ZkAudioSettings.h"

#include <algorithm>
#include <cmath>

namespace ZK::SoundEngine
{
namespace
{
// The resampling stage glides to a new pitch (the jump is for the first block only).
constexpr uint32_t kPitchModeGlide = 1;
// Markers handed to the game per call of the playing manager.
constexpr uint32_t kNoticeBatch = 16;

bool Delivered(ZKRESULT status)
{
    return status == ZK_DataReady || status == ZK_NoMoreData;
}
} // namespace

void CZkVoice::RaiseStarvation()
{
    CZkPlayingInstance* playing = Instance();
    m_pipelineFlags |= kPipelineStarving;
    if (playing != nullptr && g_pPlayingMgr != nullptr)
        g_pPlayingMgr->NotifyStarvation(playing->PlayingID());
}

// Render path from here on.
ZKRESULT CZkVoice::FollowWithSecondSource(ZkPipelineBuffer& buffer)
{
    CZkPlayingInstance* next = m_second->Instance();
    int32_t* delay = next != nullptr ? next->StartDelayCounter() : nullptr;
    if (delay != nullptr && *delay > 0)
    {
        const uint32_t unfilled = buffer.maxFrames - std::min(buffer.maxFrames, buffer.validFrames);
        const int32_t passed = static_cast<int32_t>(std::lround(unfilled * next->GetPitchRatio()));
        *delay = std::max(0, *delay - passed);
        return ZK_NoMoreData;
    }
    const ZKRESULT prepared = next != nullptr ? PrepareSource(*m_second, *next) : ZK_Fail;
    if (prepared == ZK_NotReadyYet)
        return ZK_NoMoreData;
    if (prepared != ZK_Success)
        return ZK_Fail;
    // Only a source of the same layout continues the block.
    if (m_second->Format().channelConfig != m_main->Format().channelConfig)
        return ZK_NoMoreData;
    SwitchToSecondSource();
    return buffer.validFrames >= buffer.maxFrames ? ZK_DataReady : ZK_DataNeeded;
}

ZKRESULT CZkVoice::PullSource(ZkPipelineBuffer& buffer)
{
    const uint16_t frames = ZkAudioSettings::FramesPerBuffer();
    if (m_resampling == nullptr)
    {
        buffer.maxFrames = frames;
        ZKRESULT status = m_main->GetBuffer(buffer);
        if (status == ZK_NoDataReady)
            RaiseStarvation();
        if (status == ZK_NoMoreData && m_second != nullptr)
        {
            status = FollowWithSecondSource(buffer);
            // The block points into the finished source's data: it is delivered as it is.
            if (status == ZK_DataNeeded)
                status = ZK_DataReady;
        }
        return status;
    }
    RefreshMarkerPointers();
    ZKRESULT status = m_resampling->StartFrame(buffer, kPitchModeGlide);
    // The input held from an earlier frame may be the source's last: the second source follows on.
    if (status == ZK_NoMoreData && m_second != nullptr)
        status = FollowWithSecondSource(buffer);
    while (status == ZK_DataNeeded)
    {
        buffer.maxFrames = frames;
        const ZKRESULT filled = m_main->GetBuffer(buffer);
        if (filled == ZK_NoDataReady)
            RaiseStarvation();
        if (!Delivered(filled))
            return filled;
        RefreshMarkerPointers();
        status = m_resampling->Convert(buffer);
        if (status == ZK_NoMoreData && m_second != nullptr)
            status = FollowWithSecondSource(buffer);
    }
    return status;
}

void CZkVoice::StampPlayPosition(ZKRESULT& status)
{
    CZkPlayingInstance* playing = Instance();
    if (playing == nullptr)
        return;
    if ((playing->OptionWord() & CZkPlayingInstance::kOptionReportPositions) != 0 && m_buffer.HasKnownPosition() &&
        g_pPlayPositionRepository != nullptr)
        g_pPlayPositionRepository->SetPositionInfo(playing->PlayingID(), m_buffer.position, m_main);
    if (m_lastFrame)
    {
        m_lastFrame = false;
        const int32_t stop = playing->TakePendingStopOffset();
        if (stop > 0 && static_cast<uint32_t>(stop) < m_buffer.validFrames)
            m_buffer.validFrames = static_cast<uint16_t>(stop);
        m_state = kStateStopped; // the source stops once the block has been delivered
    }
    if (m_second != nullptr && !m_second->IsStarted() && m_second->Instance() != nullptr &&
        PrepareSource(*m_second, *m_second->Instance()) == ZK_Fail)
        status = ZK_Fail;
}

void CZkVoice::Pull()
{
    ZkPipelineBuffer& buffer = m_buffer;
    ZKRESULT status = ZK_DataNeeded;
    int32_t slot = static_cast<int32_t>(kEffectSlots) - 1;
    for (;;)
    {
        // The last slot that still holds output from earlier, else the source.
        bool fromSource = true;
        for (; slot >= 0; --slot)
        {
            CZkEffectStage* effect = m_effects[slot];
            if (effect == nullptr)
                continue;
            const ZKRESULT pending = effect->GetPendingOutput(buffer);
            if (Delivered(pending))
            {
                status = pending;
                fromSource = false;
                break;
            }
            if (pending != ZK_DataNeeded)
            {
                buffer.status = pending;
                return;
            }
        }
        if (fromSource)
        {
            status = PullSource(buffer);
            if (!Delivered(status))
            {
                buffer.status = status;
                return;
            }
            slot = -1;
        }
        // Downstream from there; a slot that needs more data sends the search back upstream.
        bool again = false;
        for (int32_t next = slot + 1; next < static_cast<int32_t>(kEffectSlots); ++next)
        {
            CZkEffectStage* effect = m_effects[next];
            if (effect == nullptr)
                continue;
            const ZKRESULT executed = effect->Execute(buffer);
            if (Delivered(executed))
            {
                status = executed;
                continue;
            }
            if (executed != ZK_DataNeeded)
            {
                buffer.status = executed;
                return;
            }
            slot = next - 1;
            again = true;
            break;
        }
        if (!again)
            break;
    }
    m_filterStage.Process(buffer);
    m_modulation.Process(buffer);
    StampPlayPosition(status);
    buffer.status = status;
    if (Delivered(status))
    {
        buffer.state = status;
        PublishBuffer();
        NotifyMarkers(buffer);
    }
    if (m_state == kStateStopped)
        StopMainSource();
}

void CZkVoice::PublishBuffer()
{
    for (CZkMixerInputContext* c = FirstOutput(); c != nullptr; c = c->nextOutput)
        for (uint32_t i = 0; i < c->EntryCount(); ++i)
            c->Entry(i).buffer = &m_buffer;
}

void CZkVoice::NotifyMarkers(ZkPipelineBuffer& buffer)
{
    const uint32_t count = std::min(buffer.markers.count, m_markers.Count());
    if (count == 0)
        return;
    if (g_pPlayingMgr != nullptr)
    {
        ZkMarkerNotice notices[kNoticeBatch];
        for (uint32_t done = 0; done < count;)
        {
            const uint32_t batch = std::min(kNoticeBatch, count - done);
            for (uint32_t i = 0; i < batch; ++i)
            {
                const ZkPipelineMarker& marker = m_markers[buffer.markers.first + done + i];
                notices[i] = ZkMarkerNotice{marker.identifier, marker.cuePosition, marker.label, marker.playingID};
            }
            g_pPlayingMgr->NotifyMarkers(notices, batch);
            done += batch;
        }
    }
    // The block's markers are the oldest ones: they (and any before them) leave the front of the
    // array, and the stages holding windows on later markers move them down as far.
    const uint32_t removed = std::min(buffer.markers.first + count, m_markers.Count());
    if (IsPipelineBuilt())
        ChainEnd()->ConsumeMarkers(removed);
    m_markers.RemoveFront(removed);
    buffer.markers = ZkMarkerWindow{};
}

void CZkVoice::ReleaseFrameBuffers()
{
    if (IsPipelineBuilt())
        ChainEnd()->ReleaseBuffer();
    ClearConnectionBuffers();
}
} // namespace ZK::SoundEngine
