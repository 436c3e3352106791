#include "ZkAudiolib/Common/Events/CZkSeekAction.h"

#include <algorithm>
#include <cstdint>

namespace ZK::SoundEngine
{
ZKRESULT CZkSeekAction::ReadParams(ZK::ZkByteCursor& cursor)
{
    uint8_t relative = 0;
    uint8_t snap = 0;
    if (!cursor.Read(relative) || !m_value.ReadValues(cursor, relative == 0) || !cursor.Read(snap))
        return ZK_InvalidFile;
    m_relative = relative != 0;
    m_snap = snap != 0;
    return ReadExceptions(cursor);
}

ZKRESULT CZkSeekAction::Execute(PendingAction& pending)
{
    ZkActionParams params = MakeCommand(ZkActionCode_Seek, pending);
    params.transitionTime = 0;
    const float value = m_value.Draw();
    params.seekIsRelative = m_relative;
    params.snapToNearestMarker = m_snap;
    if (m_relative)
        params.seekValue = value;
    else
        params.seekMilliseconds = static_cast<int32_t>(std::clamp<double>(value, INT32_MIN, INT32_MAX));
    switch (Scope())
    {
    case ZkActionScope_TargetAllObjects:
    case ZkActionScope_TargetOneObject:
        params.curve = ZkCurveInterpolation_Linear;
        return ExecuteOnTarget(params);
    case ZkActionScope_AllAllObjects:
    case ZkActionScope_AllOneObject:
        ExecuteOnAll(params, false);
        return ZK_Success;
    default:
        return ZK_Success;
    }
}
} // namespace ZK::SoundEngine
