// CZkMixerInputContext: life cycle and what a mixer plug-in reads of its input.
#include "ZkAudiolib/Common/MixGraph/CZkMixerInputContext.h"

#include "ZkAudiolib/Common/MixGraph/CZkMixContext.h"
#include "ZkAudiolib/Common/MixGraph/CZkMixBus.h"
#include "ZkAudiolib/Common/Positioning/ZkRay.h"

#include <algorithm>
#include <cstring>

namespace ZK::SoundEngine
{
namespace
{
constexpr float kPercent = 0.01f;
} // namespace

CZkMixerInputContext::CZkMixerInputContext(CZkMixContext& input, CZkMixBus& destination, CZkMixContext* related,
                                           uint32_t type, bool sendCapable)
    : connectionType(type), m_input(&input), m_destination(&destination), m_related(related)
{
    flags = sendCapable ? kFlagSecond : 0;
    // The listener is the destination's (per-listener bus), else the input's own game object.
    const ZkGameObjectID busListener = destination.GetKeyGameObjectID();
    listenerID = busListener != ZK_ALL_GAME_OBJECTS ? busListener : input.View().gameObjectID;
    ResetState(m_firstEntry);
}

CZkMixerInputContext::~CZkMixerInputContext()
{
    while (m_count > 0)
        RemoveEntry(m_count - 1);
    if (m_block != nullptr)
    {
        for (uint32_t i = 0; i < m_capacity; ++i)
            m_block[i].~ZkMixInputEntry();
        ZK::MemoryMgr::Free(kEntryPool, m_block);
    }
}

CZkHierarchyNode* CZkMixerInputContext::GetOutputBusNode() const { return m_destination->GetBusNode(); }

ZkChannelConfig CZkMixerInputContext::GetOutputConfig() const { return m_destination->GetChannelConfig(); }

ZK::IZkPluginParam* CZkMixerInputContext::GetAttachedParams() const { return m_input->GetAttachedParams(); }

ZK::IZkVoiceInfo* CZkMixerInputContext::GetInputVoiceInterface() const { return m_input->GetVoiceInfo(); }

ZK::IZkGameObjectInfo* CZkMixerInputContext::GetInput() const { return m_input->GetGameObjectInfo(); }

float CZkMixerInputContext::GetPositioningRatio() const { return m_input->View().positioning.ratio * kPercent; }

uint32_t CZkMixerInputContext::GetPannerMode() const { return m_input->View().positioning.PannerMode(); }

void CZkMixerInputContext::GetPannerPosition(float& x, float& y, float& z) const
{
    const ZkMixPositioning& positioning = m_input->View().positioning;
    x = std::clamp(positioning.panX * kPercent, -1.0f, 1.0f);
    y = std::clamp(positioning.panY * kPercent, -1.0f, 1.0f);
    z = std::clamp(positioning.panZ * kPercent, -1.0f, 1.0f);
}

bool CZkMixerInputContext::IsPannerFlagSet() const
{
    return (m_input->View().positioning.flags & ZkMixPositioning::kFlagPanner) != 0;
}

uint32_t CZkMixerInputContext::GetSpatialMode() const { return m_input->View().positioning.SpatialMode(); }

uint32_t CZkMixerInputContext::GetSpatialKind() const { return m_input->View().positioning.SpatialKind(); }

uint32_t CZkMixerInputContext::GetListenerRecordCount() const { return m_input->CountListenerRecords(listenerID); }

ZKRESULT CZkMixerInputContext::GetListenerRecord(uint32_t index, ZkRay& record) const
{
    return m_input->GetListenerRecord(listenerID, index, record);
}

float CZkMixerInputContext::EvaluateCurveB(uint32_t index) const
{
    ZkRay record;
    if (GetListenerRecord(index, record) != ZK_Success)
        return 0.0f;
    return m_input->EvaluateCurveB(record.distance) * kPercent;
}

float CZkMixerInputContext::EvaluateCurveA(uint32_t index) const
{
    ZkRay record;
    if (GetListenerRecord(index, record) != ZK_Success)
        return 0.0f;
    return m_input->EvaluateCurveA(record.distance) * kPercent;
}

const ZkMixPositioning* CZkMixerInputContext::ForwardToPositioning() const { return &m_input->View().positioning; }

void CZkMixerInputContext::GetVolumeMatrices(float* current, float* previous) const
{
    const uint32_t inputs = m_input->GetOutputConfig().NumChannels();
    const ZkChannelConfig output = GetOutputConfig();
    const ZkMixInputEntry* entry = m_count != 0 ? &Entry(0) : nullptr;
    // An object destination counts the entry's objects (its configuration word) as its channels.
    const uint32_t outputs = output.Type() == ZkChannelConfigType_Objects && entry != nullptr
                                 ? ZkChannelConfig(entry->configWord).NumChannels()
                                 : output.NumChannels();
    const size_t floats = static_cast<size_t>(inputs) * ZkVolumeMatrixPair::RowFloats(outputs);
    if (entry == nullptr || !entry->matrices.IsAllocated() || entry->matrices.MatrixFloats() != floats)
    {
        std::memset(current, 0, floats * sizeof(float));
        std::memset(previous, 0, floats * sizeof(float));
        return;
    }
    std::memcpy(current, entry->matrices.current, floats * sizeof(float));
    std::memcpy(previous, entry->matrices.previous, floats * sizeof(float));
}
} // namespace ZK::SoundEngine
