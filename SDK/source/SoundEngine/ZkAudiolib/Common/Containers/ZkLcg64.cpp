#include "ZkAudiolib/Common/Containers/ZkLcg64.h"

namespace ZK
{
ZkLcg64& ZkLcg64::Engine()
{
    static ZkLcg64 engineGenerator;
    return engineGenerator;
}

float ZkLcg64::RandomFloatInRange(float minimum, float maximum)
{
    const double range = static_cast<double>(maximum) - static_cast<double>(minimum);
    if (range == 0.0)
        return minimum;
    return static_cast<float>(static_cast<double>(minimum) + RandomFraction() * range);
}

int32_t ZkLcg64::RandomIntInRange(int32_t low, int32_t high)
{
    if (low == high)
        return low;
    const double range = static_cast<double>(high) - static_cast<double>(low);
    return low + static_cast<int32_t>(RandomFraction() * range + 0.5);
}
} // namespace ZK
