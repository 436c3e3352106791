// ZkLoopMath: where a position on the unrolled time line of a looping sound (every pass laid end to
// end) falls inside the media: a seek target or a play position is mapped into the loop, with the
// loops that are left from there.
//
// Threading and ownership: pure functions.
#pragma once

#include <cstdint>

namespace ZK::SoundEngine::ZkLoopMath
{
// position on the unrolled line, the loop [loopStart, loopEnd] (frames, end included) and loops
// (0 infinite, 1 the last pass). Positions up to the loop end, a single pass, or a loop whose start
// is not below its end leave the position as it is. Past the loop end the position is folded into
// the loop with the passes it took; once all loops are used up it lies after the last pass.
void Resolve(uint32_t position, uint32_t loopStart, uint32_t loopEnd, uint16_t loops, uint32_t& outPosition,
             uint16_t& outLoops);
} // namespace ZK::SoundEngine::ZkLoopMath
