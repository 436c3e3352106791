// CZkMixContext: the three-dimensional half of the positioning step. The rays a connection's
// listener hears are turned into listener-space items once per connection; each entry then gets
// its matrix: one ray handed whole to an object destination, or the entry's rays panned onto the
// destination's speakers. A connection with one entry per position of the emitter shares the power
// of overlapping positions between their entries.
#include "ZkAudiolib/Common/MixGraph/CZkMixContext.h"

#include "ZkAudiolib/Common/GameObjects/CZkListener.h"
#include "ZkAudiolib/Common/GameObjects/CZkRegisteredObj.h"
#include "ZkAudiolib/Common/GameObjects/CZkRegistryMgr.h"
#include "ZkAudiolib/Common/MixGraph/CZkMixBus.h"
#include "ZkAudiolib/Common/MixGraph/CZkMixerInputContext.h"
#include "ZkAudiolib/Common/Panning/SpeakerMasks.h"

#include <algorithm>
#include <cstring>

namespace ZK::SoundEngine
{
namespace
{
constexpr float kPercent = 0.01f;
constexpr uint32_t kMultiPositionSum = 1;

const CZkListener* ListenerOf(ZkGameObjectID id)
{
    const CZkRegisteredObj* object = g_pRegistryMgr != nullptr ? g_pRegistryMgr->GetObj(id) : nullptr;
    return object != nullptr ? object->Listener() : nullptr;
}

ZkListenerView ViewOf(const CZkListener* listener)
{
    ZkListenerView view;
    if (listener == nullptr)
        return view;
    view.spatialized = listener->IsSpatialized();
    view.config = listener->ChannelConfig();
    view.offsetGains = listener->VolumeOffsetGains();
    return view;
}
} // namespace

void CZkMixContext::CollectConnectionRays(const CZkMixerInputContext& connection, ZkConnectionRays& out) const
{
    const ZkMixPositioning& positioning = m_view.positioning;
    const ZkGameObjectID listener = m_view.RayListener(connection.listenerID);
    // Rays beyond the most one connection pans are left out.
    const uint32_t considered = std::min(m_view.rayCount, CZkPositioningMath::kMaxVoiceRays);
    out.count = m_view.rays != nullptr
                    ? CZkPositioningMath::CollectListenerRays(m_view.rays, considered, listener,
                                                              CZkPositioningMath::PathOfConnection(connection.connectionType),
                                                              out.rays, out.gains)
                    : 0;
    if (out.count >= 2)
        CZkPositioningMath::NormalizeGainsByFilter(out.gains, out.count);
    // The base every item starts from: the instance's spread (a percentage), its centre share.
    ZkPositioningRay base;
    base.spread = positioning.spread * kPercent;
    base.focus = 1.0f;
    base.centrePercentage = std::clamp(positioning.centre * kPercent, 0.0f, 1.0f);
    const float rayGain = positioning.rayGain * kPercent;
    const CZkListener* first = nullptr;
    for (uint32_t i = 0; i < out.count; ++i)
    {
        const CZkListener* heard = ListenerOf(out.rays[i]->listenerID);
        if (i == 0)
            first = heard;
        const ZkListenerFrame frame = heard != nullptr ? ZkListenerFrame::Of(*heard) : ZkListenerFrame{};
        CZkPositioningMath::ComputeRays(frame, m_view.attenuation, out.rays + i, 1, base, positioning.SpatialMode(),
                                        out.items + i);
        out.gains[i] *= rayGain;
    }
    out.listener = ViewOf(first);
}

float* CZkMixContext::Scratch(size_t floats)
{
    if (floats > UINT32_MAX || m_scratch.Reserve(static_cast<uint32_t>(floats)) != ZK_Success)
        return nullptr;
    return m_scratch.Data();
}

void CZkMixContext::PanEntry(const CZkMixerInputContext& connection, const ZkConnectionRays& rays,
                             const ZkMixMatrixTarget& target, ZkMixInputEntry& entry)
{
    const ZkChannelConfig input = GetOutputConfig();
    const size_t floats = entry.matrices.MatrixFloats();
    // One entry hears every ray of its listener; one entry per position hears its own.
    const bool perPosition = connection.EntryCount() > 1;
    const uint32_t first = perPosition ? entry.rayID : 0;
    const uint32_t count = perPosition ? (entry.rayID < rays.count ? 1u : 0u) : rays.count;
    entry.placed = 0;
    if (count == 0)
    {
        std::memset(target.matrix, 0, sizeof(float) * floats);
        return;
    }
    if (target.output.Type() == ZkChannelConfigType_Objects)
    {
        ZkChannelConfig output = target.output;
        output = ZkChannelConfig((output.word & ~0xFFu) | (target.channelCount & 0xFFu));
        CZkPositioningMath::ComputeAmbisonicMatrixScaled(rays.gains[first], rays.items[first], input, output,
                                                         target.matrix, &entry.placement);
        entry.placed = 1;
        return;
    }
    ZkMultiRayRequest request;
    request.items = rays.items + first;
    request.gains = rays.gains + first;
    request.rayCount = count;
    request.input = input;
    request.pan.pan3D = true;
    request.pan.centrePercentage = rays.items[first].centrePercentage;
    request.voiceFlags = m_view.voiceFlags;
    request.multiPositionMode = m_view.multiPositionMode;
    request.listener = rays.listener;
    float* scratch = Scratch(CZkPositioningMath::MultiRayScratchFloats(count, input, target.output));
    if (scratch == nullptr)
    {
        // No room for the rays' matrices this frame: the entry stays silent.
        std::memset(target.matrix, 0, sizeof(float) * floats);
        return;
    }
    CZkPositioningMath::ComputeMultiRayMixMatrix(request, target, scratch);
}

void CZkMixContext::ShareOverlappingPositions(CZkMixerInputContext& connection, const ZkConnectionRays& rays)
{
    if (connection.EntryCount() < 2 || rays.count < 2 || m_view.multiPositionMode == kMultiPositionSum)
        return;
    // Each entry pans the position of its ray id.
    float* matrices[CZkPositioningMath::kMaxVoiceRays] = {};
    size_t floats = 0;
    for (uint32_t i = 0; i < connection.EntryCount(); ++i)
    {
        ZkMixInputEntry& entry = connection.Entry(i);
        if (entry.rayID >= rays.count || !entry.matrices.IsAllocated())
            continue;
        matrices[entry.rayID] = entry.matrices.current;
        floats = entry.matrices.MatrixFloats();
    }
    CZkPositioningMath::ApplyListenerVoiceGains(rays.count, rays.items, rays.gains, matrices, floats);
}
} // namespace ZK::SoundEngine
