#include "ZkAudiolib/Common/Sources/ZkSeekTarget.h"

#include "ZkAudiolib/Common/Media/ZkLoopMath.h"
#include "ZkAudiolib/Common/Playback/CZkPlayingInstance.h"
#include "ZkAudiolib/Common/Voice/ZkAudioSettings.h"
#include "ZkAudiolib/Common/Voice/ZkMarkerTable.h"

#include <algorithm>
#include <bit>

namespace ZK::SoundEngine
{
namespace
{
constexpr double kSecondsPerMillisecond = 0.001;
constexpr double kMillisecondsPerSecond = 1000.0;
constexpr double kLargestFrame = 4294967295.0;
} // namespace

uint32_t ResolveSeekTarget(const CZkPlayingInstance& instance, const ZkMarkerTable& markers, const ZkSeekMedia& media,
                           uint16_t& loopsLeft)
{
    const uint32_t rate = media.sampleRate;
    const uint32_t requested = instance.SeekPosition();
    double target = 0.0;
    if ((instance.StopByte() & CZkPlayingInstance::kSeekMask) == CZkPlayingInstance::kSeekByPercent)
    {
        const double duration = media.loops == 0 && rate != 0
                                    ? static_cast<double>(media.totalFrames) * kMillisecondsPerSecond / rate
                                    : static_cast<double>(media.durationMs);
        target = duration * std::bit_cast<float>(requested) * rate * kSecondsPerMillisecond;
    }
    else
    {
        const uint32_t engineRate = ZkAudioSettings::SampleRate();
        target = engineRate != 0 ? static_cast<double>(requested) * rate / engineRate : 0.0;
    }
    const uint32_t frame = static_cast<uint32_t>(std::clamp(target, 0.0, kLargestFrame));
    uint32_t resolved = frame;
    ZkLoopMath::Resolve(frame, media.loopStart, media.loopEnd, media.loops, resolved, loopsLeft);
    if ((instance.LimitByte() & CZkPlayingInstance::kLimitSeekOption) != 0 && markers.Count() != 0)
    {
        uint32_t nearest = markers[0].position;
        uint64_t best = UINT64_MAX;
        for (uint32_t i = 0; i < markers.Count(); ++i)
        {
            const uint32_t position = markers[i].position;
            const uint64_t distance = position > resolved ? uint64_t{position} - resolved : uint64_t{resolved} - position;
            if (distance < best)
            {
                best = distance;
                nearest = position;
            }
        }
        ZkLoopMath::Resolve(nearest, media.loopStart, media.loopEnd, media.loops, resolved, loopsLeft);
    }
    return resolved;
}
} // namespace ZK::SoundEngine
