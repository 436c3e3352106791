// The automation offset of a play (where its position path has moved its sound) applied to a ray:
// the offset is x along the frame's side (top x front), y along its top and z along its front, so
// a path turns with the emitter (or the listener) whose frame it is given.
//
// Threading and ownership: pure functions on the caller's records.
#pragma once

#include "ZkAudiolib/Common/Positioning/ZkRay.h"

#include <ZK/SoundEngine/Common/ZkPositionTypes.h>

namespace ZK::SoundEngine
{
// offset (x, y, z) turned into the frame of transform.
inline ZkVector OffsetInFrame(const ZkTransform& transform, const float offset[3])
{
    const ZkVector& front = transform.front;
    const ZkVector& top = transform.top;
    const ZkVector side = {top.y * front.z - top.z * front.y, top.z * front.x - top.x * front.z,
                           top.x * front.y - top.y * front.x};
    return {side.x * offset[0] + top.x * offset[1] + front.x * offset[2],
            side.y * offset[0] + top.y * offset[1] + front.y * offset[2],
            side.z * offset[0] + top.z * offset[1] + front.z * offset[2]};
}

// Moves the ray's emitter position by offset turned into frame (its distance and angles are the
// caller's to compute again).
inline void MoveRayByOffset(ZkRay& ray, const float offset[3], const ZkTransform& frame)
{
    const ZkVector move = OffsetInFrame(frame, offset);
    ray.emitter.position.x += move.x;
    ray.emitter.position.y += move.y;
    ray.emitter.position.z += move.z;
}
} // namespace ZK::SoundEngine
