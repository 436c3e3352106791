// CZkMusicTimelineContext: a music context with a time origin of its own, which can stand at the
// root of a play (the chain contexts and the switch context derive from it). At the root it owns the
// play record and links the music engine's list of playing roots (nextRoot); below the root it
// copies its parent's play record pointer when it attaches.
//
// Time: timeOffset is where this context's time 0 lies on its parent's timeline (at the root: on
// the play record's clock); AbsoluteOffset adds the offsets up to the root.
//
// Threading: engine thread only, under the global engine lock. Ownership: as CZkMusicContext; the
// root's play record is ended by the root's last release (EndPlay).
#pragma once

#include "MusicEngine/Contexts/CZkMusicContext.h"
#include "MusicEngine/Contexts/CZkMusicPlayRecord.h"

#include <ZK/SoundEngine/Common/ZkCallbackTypes.h>
#include <ZK/SoundEngine/Common/ZkResult.h>

namespace ZK::MusicEngine
{
class CZkMusicNode;
struct ZkPlaylistSavedState;

// What the frame hands down the timeline: a cut time (local to each context once it subtracted
// its time offset), valid or not. Items at or after a valid cut are not started in the frame.
struct ZkMusicFrameInfo
{
    uint64_t cutTime = 0;
    bool cutValid = false;
};

class CZkMusicTimelineContext : public CZkMusicContext
{
public:
    explicit CZkMusicTimelineContext(CZkMusicContext* parentContext) : CZkMusicContext(parentContext) {}

    // At the root with a play record: its stingers are discarded once the context stopped.
    void OnStopped() override;

    // Renders one frame of the context's timeline, from time, length samples long.
    virtual void Process(uint64_t time, uint32_t length, ZkMusicFrameInfo& frame) = 0;
    // The music object this context plays.
    virtual CZkMusicNode* GetNode() const = 0;
    // The segment under the play's cursor; without one the object this context plays.
    virtual CZkMusicNode* CurrentSegmentNode() const { return GetNode(); }
    // Seeks inside the played object: 2 (not supported) unless the context overrides them.
    virtual ZKRESULT SeekByTime(int32_t& ms, bool snap);
    virtual ZKRESULT SeekByPercent(float& fraction, bool snap);
    // The segment playing now: 1 with the record filled; a context that cannot tell answers 4.
    virtual ZKRESULT GetSegmentInfo(ZkSegmentInfo& info);
    // Where a playlist under this context keeps its saved walk between plays (a switch context
    // keeps them for its children): none here. StoreChildState takes the caller's reference on the
    // state when it answers true; FindChildState lends the one stored.
    virtual bool StoreChildState(ZkUniqueID, const ZkPlaylistSavedState&) { return false; }
    virtual const ZkPlaylistSavedState* FindChildState(ZkUniqueID) { return nullptr; }

    // Links the context under its parent. A context without parent starts a new play (StartPlay:
    // its result); one with a parent takes the parent's play record (1).
    ZKRESULT Attach(CZkRegisteredObj* gameObject, const ZkMusicPlayInfo& playInfo, uint8_t option);
    uint64_t AbsoluteOffset() const;
    void SetCallbackFlags(uint32_t flags) { callbackFlags = flags; }
    void SetPlayRecord(CZkMusicPlayRecord* record) { playRecord = record; }

    CZkMusicPlayRecord* playRecord = nullptr;
    uint64_t timeOffset = 0;
    CZkMusicTimelineContext* nextRoot = nullptr; // link of the list of playing roots

protected:
    // The music callback types that are reported frame by frame.
    static constexpr uint32_t kPerFrameCallbackTypes = 0x7F00;

    // The end of every frame's processing: on the root the play's stingers play their part of the
    // frame and the music callbacks of the frame its playing id asked for are reported,
    // then the reference taken for the frame is dropped.
    void FinishFrame(uint64_t time, uint32_t length);
    // The root's music callbacks of the frame [time, time + length) (flags: the types asked for).
    virtual void NotifyMusicCallbacks(uint64_t, uint32_t, uint32_t) {}
    // At the root the last release ends the play.
    void OnLastRelease() override;
};
} // namespace ZK::MusicEngine
