#include "ZkAudiolib/Common/Parameters/ZkBankRTPCEntry.h"

#include <ZK/SoundEngine/Common/ZkMemoryMgr.h>

#include <cmath>
#include <cstring>

namespace ZK::SoundEngine
{
bool ZkBankRTPCEntry::Read(ZK::ZkByteCursor& cursor)
{
    if (!cursor.Read(paramID) || !cursor.Read(paramType) || !cursor.Read(combineMode) || !cursor.ReadVarUint(bit) ||
        !cursor.Read(curveID) || !cursor.Read(scaling) || !cursor.Read(pointCount))
        return false;
    points = cursor.Take(size_t{pointCount} * kPointBytes);
    return points != nullptr;
}

bool ZkBankRTPCEntry::PointsAreFinite() const
{
    for (uint32_t index = 0; index < pointCount; ++index)
    {
        const uint8_t* point = points + index * kPointBytes;
        if (!std::isfinite(ZK::LoadLittleEndian<float>(point)) ||
            !std::isfinite(ZK::LoadLittleEndian<float>(point + sizeof(float))))
            return false;
    }
    return true;
}

ZkCurvePoint* ZkBankRTPCEntry::CopyPoints() const
{
    if (pointCount == 0)
        return nullptr;
    auto* copy = static_cast<ZkCurvePoint*>(ZK::MemoryMgr::Malloc(ZkMemID_Default, size_t{pointCount} * kPointBytes));
    if (copy != nullptr)
        std::memcpy(static_cast<void*>(copy), points, size_t{pointCount} * kPointBytes);
    return copy;
}

void ZkBankRTPCEntry::FreePoints(ZkCurvePoint* points)
{
    if (points != nullptr)
        ZK::MemoryMgr::Free(ZkMemID_Default, points);
}
} // namespace ZK::SoundEngine
