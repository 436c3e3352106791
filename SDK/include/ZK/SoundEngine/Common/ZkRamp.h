// ZkRamp: a gain that moves linearly across one audio buffer, from the gain at its first frame
// (previous) towards the gain the buffer ends on (next). Equal gains are a constant gain.
// Threading and ownership: a plain value type.
#pragma once

struct ZkRamp
{
    float previous = 1.0f;
    float next = 1.0f;

    constexpr ZkRamp() = default;
    constexpr ZkRamp(float previousGain, float nextGain) : previous(previousGain), next(nextGain) {}
    constexpr bool IsConstant() const { return previous == next; }
};

static_assert(sizeof(ZkRamp) == 8, "ZkRamp is two 32-bit floats");
