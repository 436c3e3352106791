#include "MusicEngine/Contexts/CZkMusicSourceInstance.h"

#include "MusicEngine/Contexts/CZkMusicTrackContext.h"

#include <cmath>

namespace ZK::MusicEngine
{
namespace
{
// 1200 / log10(2): cents of a speed ratio from its decimal logarithm.
constexpr float kCentsPerDecade = 3986.3135f;
constexpr uint32_t kImmediateCurve = ZkCurveInterpolation_Linear;
// Keyed gain factors are kept through every evaluation of the node's settings.
constexpr uint8_t kKeptFactor = SoundEngine::ZkValueContributions::kKeptBit;
} // namespace

CZkMusicSourceInstance::CZkMusicSourceInstance(const SoundEngine::PlayLaunchParams& params,
                                               SoundEngine::CZkHierarchyNode* track, const SoundEngine::ZkMediaRef* media,
                                               const SoundEngine::ZkPriorityRecord& priority, uint32_t sourcePosition,
                                               CZkMusicTrackContext& trackContext, const ZkMusicClip& clip, float speed)
    : CZkPlayingInstance(params, track, media, priority, sourcePosition), m_trackContext(&trackContext), m_clip(clip),
      m_speed(speed), m_sourcePosition(sourcePosition)
{
    m_leaf.parent = &trackContext;
}

ZKRESULT CZkMusicSourceInstance::Start()
{
    m_trackContext->LinkChild(m_leaf);
    m_linked = true;
    return CZkPlayingInstance::Start();
}

void CZkMusicSourceInstance::OnTeardown()
{
    if (!m_linked)
        return;
    m_linked = false;
    CZkMusicTrackContext* owner = m_trackContext;
    owner->ForgetLeaf(m_leaf);
    owner->UnlinkChild(m_leaf);
    m_leaf.parent = nullptr;
    owner->Release();
}

const SoundEngine::CZkModulatorLinks* CZkMusicSourceInstance::ContextModulatorLinks() const
{
    return m_linked ? m_trackContext->ModulatorLinks().links : nullptr;
}

void CZkMusicSourceInstance::Kill(uint32_t reason)
{
    // The voice plays up to the pending stop point and ends there.
    if (PendingStopOffset() != -1)
        return;
    CZkPlayingInstance::Kill(reason);
}

void CZkMusicSourceInstance::RefreshFromNode()
{
    CZkPlayingInstance::RefreshFromNode();
    m_values[kSlotPitch] += std::log10(m_speed) * kCentsPerDecade;
    m_values[kSlotLowPass] += m_filterAutomation[kLowPassAutomation];
    m_values[kSlotHighPass] += m_filterAutomation[kHighPassAutomation];
}

uint32_t CZkMusicSourceInstance::HandleVirtual(uint32_t)
{
    int32_t lookAhead = 0;
    int32_t position = 0;
    if (!m_linked || !m_trackContext->ComputeRestart(*this, lookAhead, position))
        return kResumeStop;
    // A virtual source keeps its position up to date with the music: it goes on where it stands.
    return kResumeAsItStands;
}

void CZkMusicSourceInstance::StopAtOffset(uint32_t offset)
{
    if (offset != kNoStopOffset)
    {
        const auto sourceOffset = static_cast<int32_t>(std::lround(static_cast<double>(offset) / m_speed));
        const int32_t pending = PendingStopOffset();
        if (pending == -1 || sourceOffset < pending)
            SetPendingStopOffset(sourceOffset);
    }
    const bool immediate = PendingStopOffset() == -1 || m_stopAtEnd;
    StopWithFade(0, kImmediateCurve, immediate);
}

uint32_t CZkMusicSourceInstance::TakeStopOffset()
{
    if (m_stopAtEnd)
        return kNoStopOffset;
    const int32_t offset = TakePendingStopOffset();
    return offset == -1 ? kNoStopOffset : static_cast<uint32_t>(offset);
}

void CZkMusicSourceInstance::SetKeyedValue(const void* key, float value)
{
    SetContribution(key, kKeptFactor, value, false);
}

void CZkMusicSourceInstance::SetFilterAutomation(uint32_t filter, float value)
{
    const uint32_t slot = filter == kLowPassAutomation ? kSlotLowPass : kSlotHighPass;
    m_values[slot] += value - m_filterAutomation[filter];
    m_filterAutomation[filter] = value;
}

void CZkMusicSourceInstance::ShiftStart(int32_t delta)
{
    if (delta == 0)
        return;
    *StartDelayCounter() += delta;
    m_sourcePosition = static_cast<uint32_t>(static_cast<int64_t>(m_sourcePosition) + delta);
    SeekToSamples(m_sourcePosition);
}

void CZkMusicSourceInstance::ClipLeaf::Pause()
{
    m_owner.CZkPlayingInstance::Pause(0, kImmediateCurve);
}

void CZkMusicSourceInstance::ClipLeaf::Resume()
{
    m_owner.CZkPlayingInstance::Resume(0, kImmediateCurve, true);
    m_owner.RefreshFromNode();
}

void CZkMusicSourceInstance::ClipLeaf::SetParameter(uint32_t id, float value, float)
{
    if (id != kParamIdPlaybackSpeed)
        return;
    m_owner.m_speed = value;
    m_owner.RefreshFromNode();
}
} // namespace ZK::MusicEngine
