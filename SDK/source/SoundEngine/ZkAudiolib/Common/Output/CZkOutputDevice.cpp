// The speaker-angle and panning-cache part of the output device.
#include "CZkOutputDevice.h"

#include "../Panning/ZkSpeakerPan.h"

#include <ZK/SoundEngine/Common/ZkMemoryMgr.h>

#include <algorithm>
#include <cstring>

namespace
{
// Growable arrays grow by half their capacity (from 0 to 1).
uint32_t Grown(uint32_t capacity) { return capacity == 0 ? 1 : capacity + std::max(1u, capacity / 2); }
} // namespace

CZkOutputDevice::~CZkOutputDevice()
{
    Term();
}

void CZkOutputDevice::Term()
{
    ZK::Platform::ZkScopedLock lock(m_lock);
    for (uint32_t i = 0; i < m_layoutCount; ++i)
        CZkSpeakerPan::DestroySpeakerLayout(m_layouts[i].layout);
    if (m_layouts != nullptr)
        ZK::MemoryMgr::Free(ZkMemID_Default, m_layouts);
    m_layouts = nullptr;
    m_layoutCount = m_layoutCapacity = 0;
    ClearDecodingMatrices();
    if (m_decoders != nullptr)
        ZK::MemoryMgr::Free(ZkMemID_Default, m_decoders);
    m_decoders = nullptr;
    m_decoderCapacity = 0;
    if (m_speakerAngles != nullptr)
        ZK::MemoryMgr::Free(ZkMemID_Default, m_speakerAngles);
    m_speakerAngles = nullptr;
    m_speakerAngleCount = 0;
}

ZKRESULT CZkOutputDevice::SetSpeakerAngles(const float* anglesDeg, uint32_t count, float heightDeg)
{
    if (!(heightDeg >= kMinHeightAngleDeg && heightDeg <= kMaxHeightAngleDeg))
        return ZK_InvalidParameter;
    ZK::Platform::ZkScopedLock lock(m_lock);
    ZKRESULT result = ZK_Fail;
    const uint32_t total = std::max(count, m_speakerAngleCount);
    float* table = total == 0 ? nullptr : static_cast<float*>(ZK::MemoryMgr::Malloc(ZkMemID_Default, sizeof(float) * total));
    if (table != nullptr && (anglesDeg != nullptr || count == 0))
    {
        // The angles given, completed by the current table (back in degrees) for the validator, then
        // converted to radians in place once it validates.
        float* work = table;
        if (count != 0)
            std::memcpy(work, anglesDeg, sizeof(float) * count);
        if (m_speakerAngleCount > count)
            CZkSpeakerPan::RadiansToDegrees(m_speakerAngles + count, m_speakerAngleCount - count, work + count);
        float gapRad = 0.0f;
        result = CZkSpeakerPan::ValidateAndConvertSpeakerAngles(work, total, table, gapRad);
        if (result == ZK_Success)
        {
            if (m_speakerAngles != nullptr)
                ZK::MemoryMgr::Free(ZkMemID_Default, m_speakerAngles);
            m_speakerAngles = table;
            m_speakerAngleCount = total;
            table = nullptr;
            m_inverseMinSpeakerGap = 1.0f / gapRad;
            m_heightAngle = heightDeg * 0.017453294f;
            m_heightSet = true;
        }
    }
    if (table != nullptr)
        ZK::MemoryMgr::Free(ZkMemID_Default, table); // refused: the new table is not kept
    RebuildLayouts();
    ClearDecodingMatrices();
    return result;
}

void CZkOutputDevice::PlanarAnglesRad(float* anglesRad) const
{
    float defaultsDeg[CZkSpeakerPan::kNumPlanarAngles];
    float heightDeg = 0.0f;
    CZkSpeakerPan::GetDefaultSpeakerAngles(defaultsDeg, heightDeg);
    CZkSpeakerPan::DegreesToRadians(defaultsDeg, CZkSpeakerPan::kNumPlanarAngles, anglesRad);
    for (uint32_t i = 0; i < std::min(m_speakerAngleCount, CZkSpeakerPan::kNumPlanarAngles); ++i)
        anglesRad[i] = m_speakerAngles[i];
}

void CZkOutputDevice::RebuildLayouts()
{
    float angles[CZkSpeakerPan::kNumPlanarAngles];
    PlanarAnglesRad(angles);
    const float height = m_heightSet ? m_heightAngle : CZkSpeakerPan::kDefaultHeightAngleDeg * 0.017453294f;
    for (uint32_t i = 0; i < m_layoutCount; ++i)
        CZkSpeakerPan::CreateSpeakerLayout(m_layouts[i].config, angles, height, m_layouts[i].layout);
}

const ZkSpeakerLayout* CZkOutputDevice::GetSpeakerLayout(ZkChannelConfig config)
{
    if (config.Type() != ZkChannelConfigType_Standard)
        return nullptr;
    const ZkChannelConfig key = ZkChannelConfig::FromMask(config.Mask() & ~ZK_SPEAKER_LOW_FREQUENCY);
    ZK::Platform::ZkScopedLock lock(m_lock);
    for (uint32_t i = 0; i < m_layoutCount; ++i)
        if (m_layouts[i].config == key)
            return m_layouts[i].layout;
    if (m_layoutCount == m_layoutCapacity)
    {
        const uint32_t grown = Grown(m_layoutCapacity);
        void* block = ZK::MemoryMgr::Realloc(ZkMemID_Default, m_layouts, sizeof(LayoutEntry) * grown);
        if (block == nullptr)
            return nullptr;
        m_layouts = static_cast<LayoutEntry*>(block);
        m_layoutCapacity = grown;
    }
    float angles[CZkSpeakerPan::kNumPlanarAngles];
    PlanarAnglesRad(angles);
    const float height = m_heightSet ? m_heightAngle : CZkSpeakerPan::kDefaultHeightAngleDeg * 0.017453294f;
    ZkSpeakerLayout* layout = nullptr;
    CZkSpeakerPan::CreateSpeakerLayout(key, angles, height, layout);
    if (layout == nullptr)
        return nullptr; // not cached: a later call tries again
    m_layouts[m_layoutCount++] = LayoutEntry{key, layout};
    return layout;
}

bool CZkOutputDevice::FindDecodingMatrix(ZkChannelConfig input, ZkChannelConfig output, float* matrix,
                                         uint32_t floatCount)
{
    ZK::Platform::ZkScopedLock lock(m_lock);
    for (uint32_t i = 0; i < m_decoderCount; ++i)
    {
        const DecoderEntry& entry = m_decoders[i];
        if (entry.input == input && entry.output == output && entry.floatCount == floatCount)
        {
            std::memcpy(matrix, entry.matrix, sizeof(float) * floatCount);
            return true;
        }
    }
    return false;
}

bool CZkOutputDevice::AddDecodingMatrix(ZkChannelConfig input, ZkChannelConfig output, const float* matrix,
                                        uint32_t floatCount)
{
    ZK::Platform::ZkScopedLock lock(m_lock);
    float* copy = static_cast<float*>(ZK::MemoryMgr::Malloc(ZkMemID_Default, sizeof(float) * floatCount));
    if (copy == nullptr)
        return false;
    if (m_decoderCount == m_decoderCapacity)
    {
        const uint32_t grown = Grown(m_decoderCapacity);
        void* block = ZK::MemoryMgr::Realloc(ZkMemID_Default, m_decoders, sizeof(DecoderEntry) * grown);
        if (block == nullptr)
        {
            ZK::MemoryMgr::Free(ZkMemID_Default, copy);
            return false;
        }
        m_decoders = static_cast<DecoderEntry*>(block);
        m_decoderCapacity = grown;
    }
    std::memcpy(copy, matrix, sizeof(float) * floatCount);
    m_decoders[m_decoderCount++] = DecoderEntry{input, output, copy, floatCount, 0};
    return true;
}

void CZkOutputDevice::ClearDecodingMatrices()
{
    for (uint32_t i = 0; i < m_decoderCount; ++i)
        ZK::MemoryMgr::Free(ZkMemID_Default, m_decoders[i].matrix);
    m_decoderCount = 0;
}
