#include "ZkAudiolib/Common/Media/ZkLoopMath.h"

namespace ZK::SoundEngine::ZkLoopMath
{
void Resolve(uint32_t position, uint32_t loopStart, uint32_t loopEnd, uint16_t loops, uint32_t& outPosition,
             uint16_t& outLoops)
{
    outLoops = loops;
    outPosition = position;
    if (loops == 1 || position <= loopEnd || loopStart >= loopEnd)
        return;
    const uint64_t length = uint64_t{loopEnd} - loopStart + 1;
    const uint64_t intoLoop = uint64_t{position} - loopStart;
    const uint64_t passes = intoLoop / length;
    const uint32_t folded = static_cast<uint32_t>(loopStart + intoLoop % length);
    if (loops == 0)
    {
        outPosition = folded;
        return;
    }
    if (passes < loops)
    {
        outLoops = static_cast<uint16_t>(loops - passes);
        outPosition = folded;
        return;
    }
    outPosition = static_cast<uint32_t>(position - (uint64_t{loops} - 1) * length);
    outLoops = 1;
}
} // namespace ZK::SoundEngine::ZkLoopMath
