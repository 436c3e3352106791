// CZkAttenuation: a shared set of distance curves and an emitter cone (bank hierarchy item type 14)
// that sound nodes name by id (property 70). For each emitter-listener ray the positioning maths
// evaluate its curves at the ray's scaled distance and its cone at the ray's emitter angle. Seven
// curve slots hold the bank's curves; a map gives, per role (ZkAttenuationRole), the slot that
// plays it or kNoCurve. Game parameters reach its values through its list of parameter curves,
// which playing instances subscribe under their own key.
//
// Volume curves (roles 0-2) are kept as linear gains: a decibel curve (scaling 0) evaluates through
// the decibel-to-gain scaling, a signed-decibel curve (scaling 2) has 1 added to its values.
//
// Threading: Create, Find, AddRef and Release take the lock of the object index's attenuation
// table (the bank thread creates and reads attenuations under the bank lock; the engine thread
// looks them up). Evaluation runs on the engine thread only: it writes each slot's cached segment
// index without a lock.
// Ownership: memory pool 2, owned by its references (the banks that hold it, the look-ups of
// positioning settings). It owns its curves and parameter-curve list (pool 0).
#pragma once

#include "ZkAudiolib/Common/Bytes/ZkByteCursor.h"
#include "ZkAudiolib/Common/Containers/ZkArray.h"
#include "ZkAudiolib/Common/ObjectIndex/CZkIndexedObject.h"
#include "ZkAudiolib/Common/Parameters/CZkCurve.h"

#include <ZK/SoundEngine/Common/ZkResult.h>

#include <cstdint>

namespace ZK::SoundEngine
{
// What a curve of an attenuation is used for (the index of its map entry).
enum ZkAttenuationRole : uint32_t
{
    ZkAttenuationRole_DryVolume = 0,
    ZkAttenuationRole_AuxVolume1 = 1,
    ZkAttenuationRole_AuxVolume2 = 2,
    ZkAttenuationRole_LowPass = 3,
    ZkAttenuationRole_HighPass = 4,
    ZkAttenuationRole_Spread = 5,
    ZkAttenuationRole_Focus = 6,
};

// One game-parameter curve of an attenuation, as the bank lists it.
struct ZkAttenuationParamCurve
{
    uint32_t paramID;
    uint32_t paramType;   // the entry's first kind byte
    uint32_t combineMode; // the entry's second kind byte
    uint32_t target;      // the property the curve drives
    uint32_t curveID;
    CZkCurve curve;       // empty for an entry without points
};

class CZkAttenuation final : public CZkIndexedObject
{
public:
    static constexpr ZkMemoryId kPool = ZkMemID_BankObjects;
    static constexpr ZkMemoryId kListPool = ZkMemID_Default;
    static constexpr uint32_t kCurveSlots = 7;
    static constexpr uint32_t kRoles = 7;
    static constexpr uint8_t kNoCurve = 255;
    static constexpr uint32_t kVolumeRoles = 3;
    // Full angles in degrees to half-angles in radians: pi / 360.
    static constexpr float kFullDegreesToHalfRadians = 0.008726646f;

    // A new attenuation holding one reference, all roles without a curve, in the object index's
    // attenuation table (not inserted when the table has no buckets and cannot get any); null out
    // of memory or without an object index.
    static CZkAttenuation* Create(ZkUniqueID id);
    // The attenuation of id with a reference added (the caller releases it); null for id 0, an
    // unknown id or without an object index.
    static CZkAttenuation* Find(ZkUniqueID id);

    // Made by Create, ended by the last Release.
    explicit CZkAttenuation(ZkUniqueID id);
    ~CZkAttenuation() override;

    uint32_t AddRef() override;
    uint32_t Release() override;
    void Destroy() override;

    // Reads the bank body (from its id), which is checked whole before anything is kept: 7 when a
    // count or field runs past the body, a cone value is not finite, there are more curves than
    // slots or a map entry names neither a read curve nor none. Then: 2 without curves; 31 for a
    // curve without points; 52 when a curve cannot be stored; 2 when the parameter-curve list
    // cannot grow. What was read before a failure is kept. 1.
    ZKRESULT ReadFromBank(const uint8_t* body, uint32_t size);

    // --- Evaluation (engine thread) ---
    bool HasCurve(uint32_t role) const { return role < kRoles && m_map[role] != kNoCurve; }
    // The curve of a role at x (its scaled value); fallback when the role has no curve.
    float EvaluateRole(uint32_t role, float x, float fallback);
    // The dry and two aux-send gains of a ray at the scaled distance: each role's curve, the dry
    // value again for a role on the dry curve's slot; a role without curve leaves its gain.
    void EvaluateVolumes(float distance, float gains[kVolumeRoles]);
    // The cone's factor at the emitter angle (radians): 0 inside, 1 beyond the outside half-angle,
    // linear between. 0 without a cone.
    float ConeFactor(float emitterAngle) const;

    // --- Settings ---
    bool ConeEnabled() const { return (m_flags & kFlagCone) != 0; }
    bool SecondFlag() const { return (m_flags & kFlagSecond) != 0; }
    float ConeInsideHalfAngle() const { return m_coneInside; }
    float ConeOutsideHalfAngle() const { return m_coneOutside; }
    float ConeOutsideVolumeDb() const { return m_coneVolumeDb; }
    float ConeOutsideLowPass() const { return m_coneLowPass; }
    float ConeOutsideHighPass() const { return m_coneHighPass; }
    uint8_t SlotOfRole(uint32_t role) const { return role < kRoles ? m_map[role] : kNoCurve; }
    const CZkCurve* CurveOfRole(uint32_t role) const;
    // The x of the last bank point of the role's curve (not the sentinel after it); 0 without one.
    float LastPointX(uint32_t role) const;
    const ZK::ZkArray<ZkAttenuationParamCurve, kListPool>& ParamCurves() const { return m_paramCurves; }

private:
    static constexpr uint8_t kFlagCone = 0x01;
    static constexpr uint8_t kFlagSecond = 0x02;

    struct Slot
    {
        CZkCurve curve;
        uint32_t segment = kCurveFirstSegment; // cached between evaluations
    };

    // The second half of ReadFromBank, over a body already checked.
    ZKRESULT ReadCurves(ZK::ZkByteCursor& cursor, uint32_t count);
    ZKRESULT ReadParamCurves(ZK::ZkByteCursor& cursor);

    float m_coneInside = 0.0f;
    float m_coneOutside = 0.0f;
    float m_coneVolumeDb = 0.0f;
    float m_coneLowPass = 0.0f;
    float m_coneHighPass = 0.0f;
    Slot m_slots[kCurveSlots];
    uint8_t m_map[kRoles];
    uint8_t m_flags = 0;
    ZK::ZkArray<ZkAttenuationParamCurve, kListPool> m_paramCurves;
};
} // namespace ZK::SoundEngine
