// CZkMixContext: the positioning step. After the connection volumes, every output connection's
// mixing gain is set and each of its entries gets the volume matrix it is mixed with this frame:
// panned in three dimensions along the rays its listener hears (CZkMixContextRays.cpp), or in two
// dimensions by the positioning values. A matrix that was just (re)allocated starts as its own
// previous matrix, and a new connection's mixing gain as its own previous gain, so the first frame
// of a connection ramps neither from silence nor from full level; the game's volume-matrix
// callback sees each matrix last.
#include "ZkAudiolib/Common/MixGraph/CZkMixContext.h"

#include "ZkAudiolib/Common/Hierarchy/CZkHierarchyNode.h"
#include "ZkAudiolib/Common/MixGraph/CZkMixerInputContext.h"
#include "ZkAudiolib/Common/MixGraph/CZkMixBus.h"
#include "ZkAudiolib/Common/Output/CZkOutputDevice.h"
#include "ZkAudiolib/Common/Positioning/CZkPositioningMath.h"
#include "ZkAudiolib/Common/Positioning/NotifyVolumeMatrixCallback.h"

#include <cstring>
#include <optional>

namespace ZK::SoundEngine
{
namespace
{
constexpr float kPercent = 0.01f;

bool SamePositioning(const ZkMixPositioning& a, const ZkMixPositioning& b)
{
    return a.panX == b.panX && a.panY == b.panY && a.panZ == b.panZ && a.rayGain == b.rayGain &&
           a.PannerMode() == b.PannerMode() && a.Is3D() == b.Is3D();
}

// The entry's matrix pair fits inputs x outputs and its filter the input: (re)made when the channel
// counts changed. False when that fails (the entry is skipped this frame); fresh is set when the
// pair was just made.
bool PrepareEntry(ZkMixInputEntry& entry, ZkChannelConfig input, uint32_t outputs, bool& fresh)
{
    fresh = false;
    if (entry.matrices.IsAllocated() && entry.matrices.inputs == input.NumChannels() && entry.matrices.outputs == outputs)
        return true;
    if (entry.filter.Reinit(input) != ZK_Success)
        return false;
    if (entry.matrices.Allocate(input.NumChannels(), outputs) != ZK_Success || !entry.matrices.IsAllocated())
        return false;
    fresh = true;
    return true;
}
} // namespace

void CZkMixContext::PositionEntries(CZkMixerInputContext& connection, bool rebuild)
{
    const ZkChannelConfig input = GetOutputConfig();
    const ZkChannelConfig output = connection.GetOutputConfig();
    const ZkMixPositioning& positioning = m_view.positioning;
    const bool threeD = positioning.Is3D() && connection.connectionType != kConnectionFixedRouting;
    // Large (a few kilobytes): made only for a three-dimensional connection.
    std::optional<ZkConnectionRays> rays;
    if (threeD)
        CollectConnectionRays(connection, rays.emplace());
    // Several positions share their power once every entry is panned: the fresh entries' copies
    // and the callbacks wait for it.
    const bool sharing = threeD && connection.EntryCount() > 1 && connection.EntryCount() <= kMaxDeferredEntries;
    uint64_t freshEntries = 0;
    for (uint32_t i = 0; i < connection.EntryCount(); ++i)
    {
        ZkMixInputEntry& entry = connection.Entry(i);
        // An object destination counts the entry's objects as its channels.
        const uint32_t outputs = output.Type() == ZkChannelConfigType_Objects ? ZkChannelConfig(entry.configWord).NumChannels()
                                                                               : output.NumChannels();
        bool fresh = false;
        if (!PrepareEntry(entry, input, outputs, fresh))
            continue;
        entry.matrices.Swap();
        ZkMixMatrixTarget target;
        target.output = output;
        target.channelCount = outputs;
        target.matrix = entry.matrices.current;
        target.previous = entry.matrices.previous;
        target.device = connection.GetOutputBus()->GetOutputDevice();
        if (threeD)
        {
            PanEntry(connection, *rays, target, entry);
            // The connection's listener filters (from the connection volumes) filter its entries.
            entry.filter.SetLowPassTarget(connection.listenerLowPass);
            entry.filter.SetHighPassTarget(connection.listenerHighPass);
        }
        else if (rebuild || fresh || entry.stale != 0)
        {
            ZkPanParams pan;
            pan.pan2D = true;
            pan.panX = positioning.panX * kPercent;
            pan.panY = positioning.panY * kPercent;
            pan.panZ = positioning.panZ * kPercent;
            pan.centrePercentage = positioning.centre;
            pan.panningType = positioning.PannerMode();
            CZkPositioningMath::ComputeMixMatrix(input, pan, m_view.voiceFlags, target);
        }
        else
        {
            // Nothing moved: the matrix of the last frame again, without a ramp.
            std::memcpy(entry.matrices.current, entry.matrices.previous, sizeof(float) * entry.matrices.MatrixFloats());
        }
        entry.stale = 0;
        if (sharing)
            freshEntries |= fresh ? uint64_t{1} << i : 0;
        else
            FinishEntry(connection, entry, fresh);
    }
    if (!sharing)
        return;
    ShareOverlappingPositions(connection, *rays);
    for (uint32_t i = 0; i < connection.EntryCount(); ++i)
    {
        ZkMixInputEntry& entry = connection.Entry(i);
        if (entry.matrices.IsAllocated())
            FinishEntry(connection, entry, (freshEntries >> i & 1u) != 0);
    }
}

void CZkMixContext::FinishEntry(const CZkMixerInputContext& connection, ZkMixInputEntry& entry, bool fresh)
{
    if (fresh)
        entry.matrices.CopyCurrentToPrevious();
    if (m_view.notifiesVolumeMatrix)
    {
        const CZkHierarchyNode* busNode = connection.GetOutputBusNode();
        NotifyVolumeMatrixCallback(m_view.playingID, busNode != nullptr ? busNode->ID() : 0, GetOutputConfig(),
                                   connection.GetOutputConfig(), entry.matrices.current, m_view.gameObjectID);
    }
}

void CZkMixContext::ComputeConnectionVolumes(float factor)
{
    const bool rebuild = !m_positioningCached || !SamePositioning(m_cachedPositioning, m_view.positioning);
    m_cachedPositioning = m_view.positioning;
    m_positioningCached = true;
    for (CZkMixerInputContext* c = m_outputs; c != nullptr; c = c->nextOutput)
    {
        c->previousMixGain = c->nextMixGain;
        c->nextMixGain = c->IsBelowThreshold() ? 0.0f : c->gain * m_gain * factor;
        // A new connection mixes its first frame at its gain: a ramp from the default of 1 would
        // sound a muted or lowered input at full level for a frame.
        if (!c->mixGainSet)
        {
            c->previousMixGain = c->nextMixGain;
            c->mixGainSet = true;
        }
        if (c->IsBelowThreshold() && (c->flags & CZkMixerInputContext::kFlagSecond) != 0)
            continue;
        PositionEntries(*c, rebuild);
    }
}
} // namespace ZK::SoundEngine
