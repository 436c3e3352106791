#include "ZkAudiolib/Common/Playback/CZkEnvCurves.h"

namespace ZK::SoundEngine
{
CZkEnvCurves* g_pEnvCurves = nullptr;

ZKRESULT CZkEnvCurves::Set(uint32_t group, uint32_t curve, uint16_t count, const ZkCurvePoint* points,
                           uint8_t scaling)
{
    if (group >= kGroups || curve >= kCurvesPerGroup)
        return ZK_InvalidParameter;
    Slot& slot = m_slots[group][curve];
    slot.curve.Term();
    slot.inUse = 0;
    if (points == nullptr || count == 0)
        return ZK_InvalidParameter;
    const ZKRESULT result = slot.curve.Set(points, count, scaling);
    if (result != ZK_Success)
        return result;
    slot.inUse = 1;
    if (curve == kVolumeCurve)
        slot.curve.NormaliseVolumeScaling();
    return ZK_Success;
}

void CZkEnvCurves::Term()
{
    for (auto& group : m_slots)
    {
        for (Slot& slot : group)
        {
            slot.curve.Term();
            slot.inUse = 0;
        }
    }
}
} // namespace ZK::SoundEngine
