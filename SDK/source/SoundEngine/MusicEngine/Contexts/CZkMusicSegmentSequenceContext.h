// CZkMusicSegmentSequenceContext: the chain a segment plays when it is played by itself: one item
// playing the segment from where the play (or a seek) enters it, stopped at the end of its
// post-exit, followed by an empty item at the exit cue. Seeks rebuild that chain.
//
// Threading: engine thread only, under the global engine lock.
// Ownership: reference-counted (CZkMusicContext); holds a reference on its segment object.
#pragma once

#include "MusicEngine/Contexts/CZkMusicChainContext.h"

namespace ZK::MusicEngine
{
class CZkMusicSegment;

class CZkMusicSegmentSequenceContext final : public CZkMusicChainContext
{
public:
    CZkMusicSegmentSequenceContext(CZkMusicContext* parentContext, CZkMusicSegment& segment);
    ~CZkMusicSegmentSequenceContext() override;

    CZkMusicNode* GetNode() const override;
    bool CanContinue() const override { return true; }
    // The segment's information from the start of the chain.
    ZKRESULT GetSegmentInfo(ZkSegmentInfo& info) override { return SegmentInfoOfCursor(info, true); }
    // Seeks inside the segment; with snap, to the nearest cue, reported back in ms or as a fraction.
    ZKRESULT SeekByTime(int32_t& ms, bool snap) override;
    ZKRESULT SeekByPercent(float& fraction, bool snap) override;

    // Attaches and builds the chain from the start of the pre-entry, a look-ahead after the play.
    ZKRESULT Start(CZkRegisteredObj* gameObject, const ZkMusicPlayInfo& playInfo, uint8_t option);
    // The chain entered at segment time start: 1, or 2 (past the post-exit, or out of memory).
    ZKRESULT BuildChain(int32_t start, int32_t& lookAhead);
    // Stops what plays and plays again from segment time position: 1, or 2 (not in state 0 or 1,
    // or the chain could not be built: the context stops).
    ZKRESULT SeekTo(int32_t position);

private:
    CZkMusicSegment& m_segment;
};
} // namespace ZK::MusicEngine
