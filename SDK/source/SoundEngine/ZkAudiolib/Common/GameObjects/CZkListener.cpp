#include "ZkAudiolib/Common/GameObjects/CZkListener.h"

#include "ZkAudiolib/Common/GameObjects/CZkEmitter.h"
#include "ZkAudiolib/Common/GameObjects/CZkRegistryMgr.h"
#include "ZkAudiolib/Common/Parameters/ZkFastMath.h"

#include <cstring>

namespace ZK::SoundEngine
{
namespace
{
constexpr ZkMemoryId kOffsetPool = ZkMemID_GameObjects;
constexpr uint32_t kOffsetGroup = 4; // offsets are stored in whole groups of 4 floats

ZkVector Cross(const ZkVector& a, const ZkVector& b)
{
    return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}
} // namespace

ZKRESULT CZkListener::Init(ZkGameObjectID)
{
    if (const CZkEmitter* emitter = owner->Emitter())
    {
        if (emitter->PositionCount() != 0)
            m_transform = emitter->Positions()[0].transform;
        m_scalingFactor = emitter->ScalingFactor();
    }
    RecomputeFrame();
    MarkDirty();
    return ZK_Success;
}

void CZkListener::RecomputeFrame()
{
    m_front = m_transform.front;
    m_top = m_transform.top;
    m_side = Cross(m_top, m_front);
}

ZKRESULT CZkListener::MarkDirty() const
{
    return g_pRegistryMgr != nullptr ? g_pRegistryMgr->AddDirtyListener(owner->ID()) : ZK_Success;
}

ZKRESULT CZkListener::SetTransform(const ZkChannelEmitter& record)
{
    m_transform = record.transform;
    RecomputeFrame();
    return MarkDirty();
}

ZKRESULT CZkListener::SetScalingFactor(float factor)
{
    m_scalingFactor = factor;
    return MarkDirty();
}

void CZkListener::RefreshAll()
{
    for (CZkListener* listener = First(); listener != nullptr; listener = listener->Next())
    {
        listener->RecomputeFrame();
        listener->MarkDirty();
    }
}

void CZkListener::FreeOffsets()
{
    if (m_offsetBlock != nullptr)
        ZK::MemoryMgr::Free(kOffsetPool, m_offsetBlock);
    // Both views go with the block: the panning step must never read freed offsets.
    m_offsetBlock = nullptr;
    m_offsetsDB = nullptr;
    m_offsetGains = nullptr;
    m_offsetCapacity = 0;
}

ZKRESULT CZkListener::SetSpatialization(ZkGameObjectID id, bool spatialized, ZkChannelConfig config, const float* offsets)
{
    CZkRegisteredObj* object = g_pRegistryMgr != nullptr ? g_pRegistryMgr->GetObj(id) : nullptr;
    if (object == nullptr)
        return ZK_InvalidParameter;
    CZkListener* listener = object->GetOrCreateListener();
    if (listener == nullptr)
        return ZK_InsufficientMemory;

    listener->m_spatialized = spatialized ? 1 : 0;
    listener->FreeOffsets();
    if (offsets == nullptr)
        return ZK_Success;
    const uint32_t channels = config.NumChannels();
    if (channels == 0)
        return ZK_ChannelConfigWithoutChannels;
    const uint32_t capacity = (channels + kOffsetGroup - 1) / kOffsetGroup * kOffsetGroup;
    auto* block = static_cast<float*>(ZK::MemoryMgr::Malign(kOffsetPool, sizeof(float) * 2 * capacity, 16));
    if (block == nullptr)
        return ZK_Fail;
    std::memset(block, 0, sizeof(float) * 2 * capacity);
    listener->m_offsetBlock = block;
    listener->m_offsetsDB = block;
    listener->m_offsetGains = block + capacity;
    listener->m_offsetCapacity = capacity;
    listener->m_config = config;
    for (uint32_t channel = 0; channel < channels; ++channel)
    {
        listener->m_offsetsDB[channel] = offsets[channel];
        listener->m_offsetGains[channel] = ZkFastPow10(offsets[channel] * kDecibelsToPow10);
    }
    return ZK_Success;
}

ZKRESULT GetListenerSpatializationImpl(ZkGameObjectID id, bool& spatialized, const float*& offsetsDB,
                                       ZkChannelConfig& config)
{
    const CZkRegisteredObj* object = g_pRegistryMgr != nullptr ? g_pRegistryMgr->GetObj(id) : nullptr;
    const CZkListener* listener = object != nullptr ? object->Listener() : nullptr;
    if (listener == nullptr)
        return ZK_InvalidParameter;
    spatialized = listener->IsSpatialized();
    offsetsDB = listener->VolumeOffsetsDB();
    config = listener->ChannelConfig();
    return ZK_Success;
}
} // namespace ZK::SoundEngine
