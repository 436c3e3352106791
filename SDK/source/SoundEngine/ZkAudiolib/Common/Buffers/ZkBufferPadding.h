// Zero padding of a sample block: the frames past its valid ones are cleared and the block counts
// as full length, so that a mix or a device reads a whole frame from a block that ended early.
//
// Threading: any rendering thread, on a block it owns. No allocation.
#pragma once

#include <ZK/SoundEngine/Common/ZkAudioBuffer.h>

#include <cstring>

inline void ZeroPadToFullLength(ZkAudioBuffer& block)
{
    if (block.validFrames < block.maxFrames)
        for (uint32_t c = 0; c < block.NumChannels(); ++c)
            std::memset(block.GetChannel(c) + block.validFrames, 0,
                        sizeof(float) * (block.maxFrames - block.validFrames));
    block.validFrames = block.maxFrames;
}
