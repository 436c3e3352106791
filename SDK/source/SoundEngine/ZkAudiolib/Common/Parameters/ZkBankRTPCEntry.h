// ZkBankRTPCEntry: one game-parameter subscription entry of a bank body (nodes, buses and
// modulators share the form): u32 game parameter, u8 parameter type, u8 combine mode, the target
// parameter number (7 bits per byte, most significant group first), u32 curve id, u8 scaling,
// u16 point count and the 12-byte points {f32 x, f32 y, u32 shape}.
//
// Threading and ownership: a view of the caller's bytes, which must outlive it.
#pragma once

#include "ZkAudiolib/Common/Bytes/ZkByteCursor.h"

#include <ZK/SoundEngine/Common/ZkCurveTypes.h>
#include <ZK/SoundEngine/Common/ZkResult.h>
#include <ZK/SoundEngine/Common/ZkTypes.h>

#include <cstdint>

namespace ZK::SoundEngine
{
struct ZkBankRTPCEntry
{
    static constexpr size_t kPointBytes = sizeof(ZkCurvePoint);

    ZkUniqueID paramID = 0;
    uint8_t paramType = 0;
    uint8_t combineMode = 0;
    uint32_t bit = 0;
    uint32_t curveID = 0;
    uint8_t scaling = 0;
    uint16_t pointCount = 0;
    const uint8_t* points = nullptr; // unaligned, in the bank's bytes

    // Reads one entry at the cursor (moved past it). False when it runs past the cursor's bytes.
    bool Read(ZK::ZkByteCursor& cursor);
    // Whether every point's x and y is finite.
    bool PointsAreFinite() const;
    // Calls subscribe(points, count) with an aligned copy of the points (null for none): its
    // result, or 52 when the copy cannot be made.
    template <typename Subscribe>
    ZKRESULT WithAlignedPoints(Subscribe subscribe) const
    {
        ZkCurvePoint* aligned = CopyPoints();
        if (aligned == nullptr && pointCount != 0)
            return ZK_InsufficientMemory;
        const ZKRESULT result = subscribe(static_cast<const ZkCurvePoint*>(aligned), uint32_t{pointCount});
        FreePoints(aligned);
        return result;
    }

private:
    ZkCurvePoint* CopyPoints() const;
    static void FreePoints(ZkCurvePoint* points);
};
} // namespace ZK::SoundEngine
