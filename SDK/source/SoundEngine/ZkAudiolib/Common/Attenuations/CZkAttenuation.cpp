#include "ZkAudiolib/Common/Attenuations/CZkAttenuation.h"

#include "ZkAudiolib/Common/Bytes/ZkByteCursor.h"
#include "ZkAudiolib/Common/Containers/ZkNew.h"
#include "ZkAudiolib/Common/ObjectIndex/ObjectIndex.h"
#include "ZkAudiolib/Common/Parameters/ZkBankRTPCEntry.h"

#include <cmath>
#include <cstring>

namespace ZK::SoundEngine
{
namespace
{
ZkIndexTable& AttenuationTable() { return g_pObjectIndex->Table(ZkIndexKind::Attenuations); }

constexpr uint32_t kConeValues = 5;
constexpr size_t kCurveHeaderBytes = sizeof(uint8_t) + sizeof(uint16_t);

// A curve of the body: u8 scaling, u16 point count, the 12-byte points (unaligned).
struct BankCurve
{
    uint8_t scaling = 0;
    uint16_t pointCount = 0;
    const uint8_t* points = nullptr;

    bool Read(ZK::ZkByteCursor& cursor)
    {
        if (!cursor.Read(scaling) || !cursor.Read(pointCount))
            return false;
        points = cursor.Take(size_t{pointCount} * sizeof(ZkCurvePoint));
        return points != nullptr;
    }
};

// Sets the curve from bank points (copied aligned first). 1; 31 without points; 52 out of memory
// (the curve empty).
ZKRESULT SetFromBank(CZkCurve& curve, uint32_t scaling, uint16_t pointCount, const uint8_t* points)
{
    curve.Term();
    if (pointCount == 0)
        return ZK_InvalidParameter;
    ZkBankRTPCEntry entry;
    entry.pointCount = pointCount;
    entry.points = points;
    return entry.WithAlignedPoints([&](const ZkCurvePoint* aligned, uint32_t count) {
        return curve.Set(aligned, count, scaling);
    });
}

// Walks the body's layout without keeping anything: 1 when every field lies within it, the cone
// is finite, the curve count fits the slots and every map entry names a read curve or none; 2
// without curves (where the read stops); 7 otherwise. Leaves the cursor at the first curve.
ZKRESULT CheckBody(ZK::ZkByteCursor& cursor, uint8_t& coneEnabled, const uint8_t*& map, uint8_t& curveCount)
{
    uint32_t id = 0;
    uint8_t second = 0;
    if (!cursor.Read(id) || !cursor.Read(second) || !cursor.Read(coneEnabled))
        return ZK_InvalidFile;
    if (coneEnabled != 0)
    {
        // The cone factor divides by the half-angles' difference: only finite values are kept.
        for (uint32_t index = 0; index < kConeValues; ++index)
        {
            float value = 0.0f;
            if (!cursor.Read(value) || !std::isfinite(value))
                return ZK_InvalidFile;
        }
    }
    map = cursor.Take(CZkAttenuation::kRoles);
    if (map == nullptr || !cursor.Read(curveCount))
        return ZK_InvalidFile;
    if (curveCount == 0)
        return ZK_Fail;
    // There are seven slots: more curves would be written past them, and a map entry beyond the
    // curves read would name a slot without points (silence rather than "no curve").
    if (curveCount > CZkAttenuation::kCurveSlots)
        return ZK_InvalidFile;
    for (uint32_t role = 0; role < CZkAttenuation::kRoles; ++role)
    {
        if (map[role] != CZkAttenuation::kNoCurve && map[role] >= curveCount)
            return ZK_InvalidFile;
    }
    const ZK::ZkByteCursor curves = cursor;
    for (uint32_t index = 0; index < curveCount; ++index)
    {
        BankCurve curve;
        if (!curve.Read(cursor))
            return ZK_InvalidFile;
    }
    ZK::ZkByteCursor entries = cursor;
    uint16_t entryCount = 0;
    if (!entries.Read(entryCount))
        return ZK_InvalidFile;
    for (uint32_t index = 0; index < entryCount; ++index)
    {
        ZkBankRTPCEntry entry;
        if (!entry.Read(entries))
            return ZK_InvalidFile;
    }
    cursor = curves;
    return ZK_Success;
}
} // namespace

CZkAttenuation::CZkAttenuation(ZkUniqueID id) : CZkIndexedObject(id)
{
    std::memset(m_map, kNoCurve, sizeof(m_map));
}

CZkAttenuation::~CZkAttenuation()
{
    for (ZkAttenuationParamCurve& entry : m_paramCurves)
        entry.curve.Term();
    m_paramCurves.Term();
    for (Slot& slot : m_slots)
        slot.curve.Term();
}

CZkAttenuation* CZkAttenuation::Create(ZkUniqueID id)
{
    if (g_pObjectIndex == nullptr)
        return nullptr;
    CZkAttenuation* attenuation = ZK::ZkNew<CZkAttenuation>(kPool, id);
    if (attenuation == nullptr)
        return nullptr;
    // Without buckets the object is simply not indexed: its creator's reference still owns it.
    AttenuationTable().Insert(attenuation);
    return attenuation;
}

CZkAttenuation* CZkAttenuation::Find(ZkUniqueID id)
{
    if (id == 0 || g_pObjectIndex == nullptr)
        return nullptr;
    return static_cast<CZkAttenuation*>(AttenuationTable().GetPtrAndAddRef(id));
}

uint32_t CZkAttenuation::AddRef() { return AttenuationTable().AddRef(this); }
uint32_t CZkAttenuation::Release() { return AttenuationTable().Release(this); }
void CZkAttenuation::Destroy() { ZK::ZkDelete(kPool, this); }

ZKRESULT CZkAttenuation::ReadFromBank(const uint8_t* body, uint32_t size)
{
    ZK::ZkByteCursor cursor(body, size);
    uint8_t coneEnabled = 0;
    const uint8_t* map = nullptr;
    uint8_t curveCount = 0;
    const ZKRESULT checked = CheckBody(cursor, coneEnabled, map, curveCount);
    if (checked == ZK_InvalidFile)
        return checked;

    constexpr size_t kFlagOffset = sizeof(uint32_t);
    m_flags = static_cast<uint8_t>((body[kFlagOffset] != 0 ? kFlagSecond : 0) | (coneEnabled != 0 ? kFlagCone : 0));
    if (coneEnabled != 0)
    {
        const uint8_t* cone = body + kFlagOffset + 2;
        m_coneInside = ZK::LoadLittleEndian<float>(cone) * kFullDegreesToHalfRadians;
        m_coneOutside = ZK::LoadLittleEndian<float>(cone + 4) * kFullDegreesToHalfRadians;
        m_coneVolumeDb = ZK::LoadLittleEndian<float>(cone + 8);
        m_coneLowPass = ZK::LoadLittleEndian<float>(cone + 12);
        m_coneHighPass = ZK::LoadLittleEndian<float>(cone + 16);
    }
    std::memcpy(m_map, map, kRoles);
    if (checked != ZK_Success)
        return checked; // no curves: 2

    const ZKRESULT result = ReadCurves(cursor, curveCount);
    return result != ZK_Success ? result : ReadParamCurves(cursor);
}

ZKRESULT CZkAttenuation::ReadCurves(ZK::ZkByteCursor& cursor, uint32_t count)
{
    for (uint32_t index = 0; index < count; ++index)
    {
        BankCurve bankCurve;
        bankCurve.Read(cursor);
        CZkCurve& curve = m_slots[index].curve;
        m_slots[index].segment = kCurveFirstSegment;
        const ZKRESULT result = SetFromBank(curve, bankCurve.scaling, bankCurve.pointCount, bankCurve.points);
        if (result != ZK_Success)
            return result;
        for (uint32_t role = 0; role < kVolumeRoles; ++role)
        {
            if (m_map[role] == index)
            {
                curve.NormaliseVolumeScaling();
                break;
            }
        }
    }
    return ZK_Success;
}

ZKRESULT CZkAttenuation::ReadParamCurves(ZK::ZkByteCursor& cursor)
{
    uint16_t count = 0;
    cursor.Read(count);
    for (uint32_t index = 0; index < count; ++index)
    {
        ZkBankRTPCEntry entry;
        entry.Read(cursor);
        // A later entry for the same target and curve replaces the earlier ones.
        for (uint32_t existing = m_paramCurves.Length(); existing-- > 0;)
        {
            ZkAttenuationParamCurve& old = m_paramCurves[existing];
            if (old.target == entry.bit && old.curveID == entry.curveID)
            {
                old.curve.Term();
                m_paramCurves.Erase(existing);
            }
        }
        ZkAttenuationParamCurve* added = m_paramCurves.AddLast(
            ZkAttenuationParamCurve{entry.paramID, entry.paramType, entry.combineMode, entry.bit, entry.curveID, {}});
        if (added == nullptr)
            return ZK_Fail;
        if (entry.pointCount != 0 &&
            SetFromBank(added->curve, entry.scaling, entry.pointCount, entry.points) != ZK_Success)
            return ZK_InsufficientMemory;
    }
    return ZK_Success;
}

const CZkCurve* CZkAttenuation::CurveOfRole(uint32_t role) const
{
    return HasCurve(role) ? &m_slots[m_map[role]].curve : nullptr;
}

float CZkAttenuation::LastPointX(uint32_t role) const
{
    const CZkCurve* curve = CurveOfRole(role);
    // The last bank point sits before the +FLT_MAX sentinel.
    return curve != nullptr && curve->PointCount() >= 3 ? curve->Point(curve->PointCount() - 2).x : 0.0f;
}

float CZkAttenuation::EvaluateRole(uint32_t role, float x, float fallback)
{
    if (!HasCurve(role))
        return fallback;
    Slot& slot = m_slots[m_map[role]];
    return slot.curve.Evaluate(x, slot.segment);
}

void CZkAttenuation::EvaluateVolumes(float distance, float gains[kVolumeRoles])
{
    const uint8_t drySlot = m_map[ZkAttenuationRole_DryVolume];
    gains[0] = EvaluateRole(ZkAttenuationRole_DryVolume, distance, gains[0]);
    for (uint32_t role = 1; role < kVolumeRoles; ++role)
    {
        // A send on the dry path's curve takes the value just computed.
        gains[role] = drySlot != kNoCurve && m_map[role] == drySlot ? gains[0] : EvaluateRole(role, distance, gains[role]);
    }
}

float CZkAttenuation::ConeFactor(float emitterAngle) const
{
    if (!ConeEnabled() || emitterAngle <= m_coneInside)
        return 0.0f;
    if (emitterAngle >= m_coneOutside)
        return 1.0f;
    return (emitterAngle - m_coneInside) / (m_coneOutside - m_coneInside);
}
} // namespace ZK::SoundEngine
