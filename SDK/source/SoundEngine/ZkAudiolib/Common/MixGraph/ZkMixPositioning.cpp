#include "ZkAudiolib/Common/MixGraph/ZkMixInstanceView.h"

namespace ZK::SoundEngine
{
namespace
{
// The node's spatialization among its positioning bits (the first two of its 3-D flags).
constexpr uint32_t kSpatializationShift = 3;
constexpr uint32_t kSpatializationMask = 0x3;
constexpr uint32_t kSpatialModeMask = 0x7;
} // namespace

void ZkMixPositioning::Take(const ZkPositioningValues& values, const Zk3DModeInfo& mode, bool attenuation)
{
    panX = values.value1;
    panY = values.value2;
    panZ = values.value3;
    centre = values.centrePercent;
    spread = mode.spread;
    const uint32_t spatialization = (mode.positioningBits >> kSpatializationShift) & kSpatializationMask;
    const uint32_t taken = kPannerModeMask | kFlag3D | kSpatialModeMask << kSpatialModeShift | kFlagAttenuation;
    flags = (flags & ~taken) | (values.pannerType & kPannerModeMask) | (values.has3D ? kFlag3D : 0u) |
            spatialization << kSpatialModeShift | (attenuation ? kFlagAttenuation : 0u);
}
} // namespace ZK::SoundEngine
