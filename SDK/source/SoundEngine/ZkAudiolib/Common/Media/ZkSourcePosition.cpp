#include "ZkAudiolib/Common/Media/ZkSourcePosition.h"

#include <algorithm>
#include <cmath>

namespace ZK::SoundEngine
{
namespace
{
constexpr float kMillisecondsPerSecond = 1000.0f;

void CountDownLoop(uint16_t& loopsLeft)
{
    if (loopsLeft > 1)
        --loopsLeft;
}
} // namespace

void ZkSourcePosition::Init(uint32_t start, uint32_t end, uint32_t rate, uint32_t frames, uint16_t loops)
{
    sampleRate = rate;
    position = 0;
    length = frames;
    loopStart = start;
    loopEnd = end;
    loopsLeft = loops;
}

ZKRESULT ZkSourcePosition::Advance(uint32_t frames, bool& looped)
{
    looped = false;
    position += frames;
    if (OnLastPass())
    {
        if (position >= length)
            return ZK_NoMoreData;
        return frames == 0 ? ZK_NoDataReady : ZK_DataReady;
    }
    if (position > loopEnd)
    {
        position = loopStart;
        CountDownLoop(loopsLeft);
        looped = true;
    }
    return frames == 0 ? ZK_NoDataReady : ZK_DataReady;
}

ZkPositionStep ZkSourcePosition::FromSamples(ZkFractionalPosition& at, uint32_t samples)
{
    ZkPositionStep step;
    const double reached = static_cast<double>(samples) * at.ratio + at.position;
    const uint64_t target = static_cast<uint64_t>(std::max(reached, 0.0));
    const uint32_t old = position;
    const uint64_t stop = OnLastPass() ? length : uint64_t{loopEnd} + 1;
    const uint32_t moved = static_cast<uint32_t>(std::min(target, stop));
    const bool cut = target > stop;
    step.frames = moved - std::min(moved, old);
    step.samples = samples;
    if (cut)
        step.samples = at.ratio > 0.0 ? static_cast<uint32_t>(step.frames / at.ratio) : 0u;
    position = moved;
    at.position = cut ? static_cast<double>(moved) : reached;
    if (OnLastPass())
        step.status = position >= length ? ZK_NoMoreData : (moved == old ? ZK_NoDataReady : ZK_DataReady);
    else
    {
        step.status = moved == old ? ZK_NoDataReady : ZK_DataReady;
        if (position > loopEnd)
        {
            position = loopStart;
            at.position = static_cast<double>(loopStart);
            CountDownLoop(loopsLeft);
        }
    }
    return step;
}

float ZkSourcePosition::LoopTimeMs(uint16_t loops) const
{
    if (loops == 0 || sampleRate == 0)
        return 0.0f;
    const double frames = (static_cast<double>(loopEnd) - loopStart + 1.0) * (loops - 1) + length;
    return static_cast<float>(frames * kMillisecondsPerSecond / sampleRate);
}

ZkPlayPositionInfo ZkSourcePosition::Snapshot(float rate) const
{
    return ZkPlayPositionInfo{position, rate, length, sampleRate};
}

ZkFractionalPosition ZkSourcePosition::GetRate(double divisor) const
{
    return ZkFractionalPosition{static_cast<double>(position), divisor != 0.0 ? sampleRate / divisor : 0.0};
}
} // namespace ZK::SoundEngine
