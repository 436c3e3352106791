// The output device's identity, life and the speaker-angle part with its panning caches.
#include "ZkAudiolib/Common/Output/CZkOutputDevice.h"

#include "ZkAudiolib/Common/Panning/ZkSpeakerPan.h"
#include "ZkAudiolib/Common/Effects/CZkEffectObject.h"

#include <ZK/SoundEngine/Common/ZkMemoryMgr.h>

#include <algorithm>
#include <cmath>
#include <cstring>

namespace
{
constexpr float kRadiansToDegrees = 57.295776f;
constexpr float kDegreesToRadians = 0.017453294f;
constexpr float kPi = 3.14159265f;
constexpr uint32_t kPointFloats = 4;
constexpr uint32_t kPointsPerRing = 8;
constexpr uint32_t kPointAlignment = 16;

// Growable arrays grow by half their capacity (from 0 to 1).
uint32_t Grown(uint32_t capacity) { return capacity == 0 ? 1 : capacity + std::max(1u, capacity / 2); }

template <typename Entry>
bool MakeRoom(Entry*& entries, uint32_t count, uint32_t& capacity)
{
    if (count < capacity)
        return true;
    const uint32_t grown = Grown(capacity);
    void* block = ZK::MemoryMgr::Realloc(CZkOutputDevice::kPool, entries, sizeof(Entry) * grown);
    if (block == nullptr)
        return false;
    entries = static_cast<Entry*>(block);
    capacity = grown;
    return true;
}

// The number of points of a cloud: int(half-angle x density + 1.01), rounded up to a multiple.
uint32_t CloudSize(float halfAngle, float density, uint32_t multiple)
{
    const auto size = static_cast<uint32_t>(halfAngle * density + 1.01f);
    return (size + multiple - 1) / multiple * multiple;
}
} // namespace

CZkOutputDevice::CZkOutputDevice() : m_sinkContext(*this), m_effectContext(*this) {}

CZkOutputDevice::CZkOutputDevice(ZkOutputDeviceID outputID, const ZkOutputSettings& settings, bool isMain,
                                 bool deviceIDDefaulted)
    : panningRule(settings.panningRule), m_outputID(outputID), m_settings(settings), m_isMain(isMain),
      m_deviceIDDefaulted(deviceIDDefaulted), m_sinkContext(*this), m_effectContext(*this)
{
}

CZkOutputDevice::~CZkOutputDevice()
{
    while (m_captureHead != nullptr)
        RemoveCaptureNode(m_captureHead);
    m_effects.TermAll();
    if (m_shareSetObject != nullptr)
        m_shareSetObject->Release();
    m_shareSetObject = nullptr;
    ReleaseSink();
    m_listeners.Term();
    Term();
}

void CZkOutputDevice::Retarget(uint32_t shareSetID, uint32_t deviceID, bool deviceIDDefaulted)
{
    m_settings.audioDeviceShareSetID = shareSetID;
    m_settings.idDevice = deviceID;
    m_deviceIDDefaulted = deviceIDDefaulted;
    m_outputID = ZkMakeOutputID(shareSetID, deviceID);
}

ZKRESULT CZkOutputDevice::GetOutputIDs(uint32_t& shareSetID, uint32_t& deviceID) const
{
    shareSetID = ShareSetID();
    deviceID = m_deviceIDDefaulted ? 0 : DeviceID();
    return ZK_Success;
}

void CZkOutputDevice::SetMasterMix(CZkMixBus* bus)
{
    m_masterMix = bus;
    m_masterMixPending = bus == nullptr;
}

void CZkOutputDevice::Term()
{
    ZK::Platform::ZkScopedLock lock(m_lock);
    for (uint32_t i = 0; i < m_layoutCount; ++i)
        CZkSpeakerPan::DestroySpeakerLayout(m_layouts[i].layout);
    if (m_layouts != nullptr)
        ZK::MemoryMgr::Free(kPool, m_layouts);
    m_layouts = nullptr;
    m_layoutCount = m_layoutCapacity = 0;
    ClearDecodingMatrices();
    if (m_decoders != nullptr)
        ZK::MemoryMgr::Free(kPool, m_decoders);
    m_decoders = nullptr;
    m_decoderCapacity = 0;
    ClearVirtualPoints();
    if (m_pointSets != nullptr)
        ZK::MemoryMgr::Free(kPool, m_pointSets);
    m_pointSets = nullptr;
    m_pointSetCapacity = 0;
    if (m_speakerAngles != nullptr)
        ZK::MemoryMgr::Free(kPool, m_speakerAngles);
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
    float* table = total == 0 ? nullptr : static_cast<float*>(ZK::MemoryMgr::Malloc(kPool, sizeof(float) * total));
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
                ZK::MemoryMgr::Free(kPool, m_speakerAngles);
            m_speakerAngles = table;
            m_speakerAngleCount = total;
            table = nullptr;
            m_inverseMinSpeakerGap = 1.0f / gapRad;
            m_heightAngle = heightDeg * kDegreesToRadians;
            m_heightSet = true;
        }
    }
    if (table != nullptr)
        ZK::MemoryMgr::Free(kPool, table); // refused: the new table is not kept
    RebuildLayouts();
    ClearVirtualPoints();
    ClearDecodingMatrices();
    return result;
}

ZKRESULT CZkOutputDevice::SetDefaultSpeakerAngles()
{
    float angles[CZkSpeakerPan::kNumPlanarAngles];
    float height = 0.0f;
    CZkSpeakerPan::GetDefaultSpeakerAngles(angles, height);
    return SetSpeakerAngles(angles, CZkSpeakerPan::kNumPlanarAngles, height);
}

ZKRESULT CZkOutputDevice::GetSpeakerAngles(float* anglesDeg, uint32_t& count, float& heightDeg)
{
    if (m_sink == nullptr)
        return ZK_Fail;
    ZK::Platform::ZkScopedLock lock(m_lock);
    float planar[CZkSpeakerPan::kNumPlanarAngles];
    PlanarAnglesRad(planar);
    if (anglesDeg != nullptr)
        CZkSpeakerPan::RadiansToDegrees(planar, std::min(count, CZkSpeakerPan::kNumPlanarAngles), anglesDeg);
    count = CZkSpeakerPan::kNumPlanarAngles;
    heightDeg = HeightRad() * kRadiansToDegrees;
    return ZK_Success;
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

float CZkOutputDevice::HeightRad() const
{
    return m_heightSet ? m_heightAngle : CZkSpeakerPan::kDefaultHeightAngleDeg * kDegreesToRadians;
}

void CZkOutputDevice::RebuildLayouts()
{
    float angles[CZkSpeakerPan::kNumPlanarAngles];
    PlanarAnglesRad(angles);
    for (uint32_t i = 0; i < m_layoutCount; ++i)
        CZkSpeakerPan::CreateSpeakerLayout(m_layouts[i].config, angles, HeightRad(), m_layouts[i].layout);
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
    if (!MakeRoom(m_layouts, m_layoutCount, m_layoutCapacity))
        return nullptr;
    float angles[CZkSpeakerPan::kNumPlanarAngles];
    PlanarAnglesRad(angles);
    ZkSpeakerLayout* layout = nullptr;
    CZkSpeakerPan::CreateSpeakerLayout(key, angles, HeightRad(), layout);
    if (layout == nullptr)
        return nullptr; // not cached: a later call tries again
    m_layouts[m_layoutCount++] = LayoutEntry{key, layout};
    return layout;
}

bool CZkOutputDevice::BuildVirtualPoints(PointSetEntry& entry) const
{
    const float halfAngle = kPi / static_cast<float>(entry.channels);
    const float density = m_inverseMinSpeakerGap;
    uint32_t count = 0;
    if (entry.threeD != 0)
        count = CloudSize(halfAngle, density, 2) * kPointsPerRing;
    else
        count = CloudSize(halfAngle, density, 4);
    auto* points = static_cast<float*>(ZK::MemoryMgr::Malign(kPool, sizeof(float) * kPointFloats * count, kPointAlignment));
    if (points == nullptr)
        return false;
    if (entry.threeD != 0)
    {
        // Equal-area rings over the cap of half-angle pi / n around the cloud axis (0, 0, 1).
        const uint32_t rings = count / kPointsPerRing;
        const float capEdge = std::cos(halfAngle);
        for (uint32_t ring = 0; ring < rings; ++ring)
        {
            const float z = capEdge + (static_cast<float>(ring) + 0.5f) * (1.0f - capEdge) / static_cast<float>(rings);
            const float radius = std::sqrt(std::max(0.0f, 1.0f - z * z));
            for (uint32_t j = 0; j < kPointsPerRing; ++j)
            {
                const float azimuth = static_cast<float>(j) * (2.0f * kPi / kPointsPerRing);
                float* point = points + (ring * kPointsPerRing + j) * kPointFloats;
                point[0] = radius * std::cos(azimuth);
                point[1] = radius * std::sin(azimuth);
                point[2] = z;
                point[3] = 0.0f;
            }
        }
    }
    else
    {
        // An arc of the horizon, so that the clouds of the n channels tile the circle.
        const float n = static_cast<float>(entry.channels);
        const float p = static_cast<float>(count);
        for (uint32_t k = 0; k < count; ++k)
        {
            const float c = (p - 1.0f) / p * halfAngle - static_cast<float>(k) * (2.0f * kPi / (n * p));
            float* point = points + k * kPointFloats;
            point[0] = -std::sin(c);
            point[1] = 0.0f;
            point[2] = std::cos(c);
            point[3] = 0.0f;
        }
    }
    entry.points = points;
    entry.count = count;
    return true;
}

bool CZkOutputDevice::GetVirtualPoints(uint32_t channels, bool threeD, const float*& points, uint32_t& count)
{
    if (channels == 0)
        return false;
    ZK::Platform::ZkScopedLock lock(m_lock);
    for (uint32_t i = 0; i < m_pointSetCount; ++i)
    {
        const PointSetEntry& entry = m_pointSets[i];
        if (entry.channels == channels && (entry.threeD != 0) == threeD)
        {
            points = entry.points;
            count = entry.count;
            return true;
        }
    }
    if (!MakeRoom(m_pointSets, m_pointSetCount, m_pointSetCapacity))
        return false;
    PointSetEntry entry{channels, threeD ? 1u : 0u, nullptr, 0};
    if (!BuildVirtualPoints(entry))
        return false;
    m_pointSets[m_pointSetCount++] = entry;
    points = entry.points;
    count = entry.count;
    return true;
}

void CZkOutputDevice::ClearVirtualPoints()
{
    for (uint32_t i = 0; i < m_pointSetCount; ++i)
        ZK::MemoryMgr::Free(kPool, m_pointSets[i].points);
    m_pointSetCount = 0;
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
    float* copy = static_cast<float*>(ZK::MemoryMgr::Malloc(kPool, sizeof(float) * floatCount));
    if (copy == nullptr)
        return false;
    if (!MakeRoom(m_decoders, m_decoderCount, m_decoderCapacity))
    {
        ZK::MemoryMgr::Free(kPool, copy);
        return false;
    }
    std::memcpy(copy, matrix, sizeof(float) * floatCount);
    m_decoders[m_decoderCount++] = DecoderEntry{input, output, copy, floatCount, 0};
    return true;
}

void CZkOutputDevice::ClearDecodingMatrices()
{
    for (uint32_t i = 0; i < m_decoderCount; ++i)
        ZK::MemoryMgr::Free(kPool, m_decoders[i].matrix);
    m_decoderCount = 0;
}
