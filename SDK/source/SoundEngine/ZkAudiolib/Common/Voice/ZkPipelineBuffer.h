// ZkPipelineBuffer: the block a voice pulls through its stages once per audio frame. It is an
// audio buffer plus what travels with the samples: the window of markers that fall into the
// block, the play-position record of its first frame, and the pipeline status the last stage left
// (43 data needed, 44 not processed this frame, 45 data ready, 17 no more data, 2 failure).
//
// Threading: the thread rendering the voice. Ownership: the buffer does not own its samples; the
// stage that produced them gives them back when the frame's buffers are released.
#pragma once

#include "ZkAudiolib/Common/FrontEnd/PlayPositionRepository.h"
#include "ZkAudiolib/Common/Voice/ZkMarkerList.h"

#include <ZK/SoundEngine/Common/ZkAudioBuffer.h>
#include <ZK/SoundEngine/Common/ZkResult.h>

#include <cstdint>

namespace ZK::SoundEngine
{
// The position record of a block before anything is known: no position, rate 1.0, and the two
// words a source fills (-1 and 1).
constexpr ZkPlayPositionInfo kUnknownPlayPosition{PlayPositionRepository::kUnknownSamples, 1.0f,
                                                  PlayPositionRepository::kUnknownSamples, 1};

struct ZkPipelineBuffer : ZkAudioBuffer
{
    ZkMarkerWindow markers;
    ZkPlayPositionInfo position = kUnknownPlayPosition;
    ZKRESULT status = ZK_DataNeeded;

    bool HasKnownPosition() const { return position.positionSamples != PlayPositionRepository::kUnknownSamples; }
    // The samples, configuration, frame counts, state and position of another block (its markers
    // and status stay the caller's business).
    void TakeBlock(const ZkAudioBuffer& block, const ZkPlayPositionInfo& blockPosition)
    {
        static_cast<ZkAudioBuffer&>(*this) = block;
        position = blockPosition;
    }
};
} // namespace ZK::SoundEngine
