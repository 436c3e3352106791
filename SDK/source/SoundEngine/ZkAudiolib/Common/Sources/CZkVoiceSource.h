// CZkVoiceSource: the first stage of a voice's pipeline, which reads and decodes the media of one
// playing instance (or runs one source plug-in for it). The voice creates it for the instance's
// media (Create: by the media's storage kind and codec key), starts its stream once, asks it every
// audio frame for a buffer of at most the frame's sample frames, gives the buffer back once it is
// consumed, and stops and destroys it with the voice.
//
// Buffers: GetBuffer fills the voice's pipeline buffer (samples, frame counts, the markers that fall
// in it, the position of its first frame) and answers 45 data ready, 17 no more data (the buffer
// holds the last frames), 46 nothing ready yet (try again next frame) or 2 failure; sources also
// answer 7 malformed media, 52 out of memory, 96 an unsupported format, and 63 from StartStream
// while the stream has delivered neither its header nor its nominal buffering.
//
// A source has no input stage: the chain-wide requests stop here (EnterVirtual and LeaveVirtual
// reach the stream, Restart carries out a pending seek, SkipFrames moves time on).
//
// Threading: the thread rendering the voice; no lock (the stream manager works behind its own
// interface). Ownership: memory pool 5, owned by the voice (Destroy); the playing instance is
// borrowed; what StartStream allocates is freed by StopStream, even after a failed start.
#pragma once

#include "ZkAudiolib/Common/Media/ZkSourceCursor.h"
#include "ZkAudiolib/Common/Playback/CZkPlayingInstance.h"
#include "ZkAudiolib/Common/Voice/CZkVoicePipelineStage.h"
#include "ZkAudiolib/Common/Voice/ZkPipelineBuffer.h"

#include <ZK/SoundEngine/Common/ZkMemoryMgr.h>
#include <ZK/SoundEngine/Common/ZkResult.h>

#include <cstdint>

namespace ZK::SoundEngine
{
class ZkMarkerTable;
class ZkVoiceMarkers;

class CZkVoiceSource : public CZkVoicePipelineStage
{
public:
    static constexpr ZkMemoryId kPool = ZkMemID_Processing;
    // Codec numbers the factory knows (key >> 16).
    static constexpr uint32_t kCodecPcm = 1;
    static constexpr uint32_t kCodecAdpcm = 2;
    // Playing-id callback flag: the game reads the stream's buffering.
    static constexpr uint32_t kReportBuffering = 0x400000;

    // The source for media of kind (0 none, 1 streamed, 2 source plug-in, 3 in memory) and codec key,
    // or null: no media, no codec, a codec or source plug-in not available, out of memory.
    static CZkVoiceSource* Create(uint32_t kind, uint32_t codecKey, CZkPlayingInstance* instance);
    // The destructor (StopStream must have run), then the memory back to pool 5.
    static void Destroy(CZkVoiceSource* source);

    explicit CZkVoiceSource(CZkPlayingInstance* instance) : m_instance(instance) {}

    // --- Stage operations (a source has no input) ---
    void ReleaseBuffer() override {}
    // Asks for a buffer of frames, gives it back, and writes back the frames it held (0 without
    // one); the buffer's result.
    ZKRESULT SkipFrames(uint32_t& frames) override;
    void EnterVirtual(uint32_t) override {}
    ZKRESULT LeaveVirtual(uint32_t, bool) override { return ZK_Success; }
    // Carries out the instance's pending seek, if any. 1 or the seek's result.
    ZKRESULT Restart() override;
    // The instance's pitch in cents (a resampling stage follows the source unless HandlesPitch).
    float GetPitch() override { return m_instance != nullptr ? m_instance->ValueSlot(CZkNodeInstanceBase::kSlotPitch) : 0.0f; }
    void SetInput(CZkVoicePipelineStage*) override {}

    // --- Source operations ---
    // Takes the source off the play-position table (when the instance reports positions), posts the
    // instance's end notification with the reason, then StopStream.
    virtual void Stop(int32_t reason);
    // Whether the source ends its sound itself when its instance is stopped (a note's release).
    virtual bool TakesStop() { return false; }
    // Opens and starts the stream (prefetch: the media in memory, or the first bytes of a streamed
    // file). 1, 63 not ready yet, or a failure.
    virtual ZKRESULT StartStream(const uint8_t* prefetch, uint32_t prefetchSize) = 0;
    virtual void StopStream() = 0;
    virtual ZKRESULT GetBuffer(ZkPipelineBuffer& buffer) = 0;
    // Play time in ms over every loop; 0 for infinite looping.
    virtual float GetDuration() = 0;
    virtual ZKRESULT StopLooping() = 0;
    // Note queries of source plug-ins.
    virtual bool HasNote(const void*) { return false; }
    virtual bool HasMatchingNote(const void*) { return false; }
    virtual bool HandlesPitch() { return false; }
    // Hands the decoder state over to the source that follows. 0 here.
    virtual ZKRESULT HandOver(CZkVoiceSource*) { return ZK_NothingToReport; }
    virtual bool IsCodecSource() { return false; }
    // The media in memory moved: the source's pointers follow. 0 here (nothing done).
    virtual ZKRESULT RelocateMedia(const uint8_t*, const uint8_t*) { return ZK_NothingToReport; }
    virtual bool FollowsMovedMedia() { return false; }
    virtual bool UsesMediaMemory() { return m_headerBlock != nullptr; }
    virtual ZKRESULT Seek() = 0;
    virtual float GetEnvelopeValue() { return 0.0f; }
    // The render pass's step before the voice's frame preparation; its answer is not used.
    virtual uint32_t FrameStep() { return 0; }

    // --- Services every source shares ---
    // StartStream once: 1 at once when started already; the started flag is set when it answers 1.
    ZKRESULT StartOnce(const uint8_t* prefetch, uint32_t prefetchSize);
    // The duration (with the pitch's estimate) to the instance and its playing id; the source
    // joins the play-position table when the instance reports positions.
    void ReportDuration();
    // The position (0 or the given value) stored for the instance's playing id and this source.
    void ReportPosition(float position);

    CZkPlayingInstance* Instance() const { return m_instance; }
    bool IsStarted() const { return (m_flags & kFlagStarted) != 0; }
    // The media's format once the stream has started (stored in the instance).
    const ZkAudioFormat& Format() const;
    // The voice's marker array the source appends the markers of its buffers to (may be null).
    void SetMarkers(ZkVoiceMarkers* markers) { m_voiceMarkers = markers; }
    uint32_t Kind() const { return m_kind; }
    void SetKind(uint32_t kind) { m_kind = kind; }
    // The codec (or source plug-in) key the source was made for.
    uint32_t CodecKey() const { return m_codecKey; }

protected:
    static constexpr uint8_t kFlagStarted = 0x1;
    static constexpr uint8_t kFlagWaitForBuffering = 0x2;
    static constexpr uint8_t kFlagEndOfData = 0x4;

    bool ReportsPositions() const;
    bool ReportsBuffering() const;
    // Appends the media's markers in [from, from + frames) to the voice's marker array, placed at
    // offset onwards in the buffer (positions scaled by scale). 1, or 52 when the array cannot grow.
    ZKRESULT AppendMarkers(const ZkMarkerTable& markers, ZkPipelineBuffer& buffer, uint32_t from, uint32_t frames,
                           uint32_t offset, float scale);
    // The playing id's callback hears of each marker in [from, from + frames).
    void NotifyMarkersCrossed(const ZkMarkerTable& markers, uint32_t from, uint32_t frames);
    // Posts the stream's buffering when the playing id reads it: the bytes held and buffered as
    // milliseconds at the stream's throughput, and the status (2 failure, 17 complete, 1 filling).
    void PostStreamBuffering(uint32_t bytes, float bytesPerMs, ZKRESULT status);
    // Frees the header block when the source owns it.
    void FreeHeaderBlock();

    uint8_t* m_headerBlock = nullptr; // the media header's extra data (the envelope table)
    uint32_t m_headerBlockSize = 0;
    bool m_ownsHeaderBlock = false;
    CZkPlayingInstance* m_instance;
    ZkVoiceMarkers* m_voiceMarkers = nullptr;
    uint32_t m_kind = 0;
    uint32_t m_codecKey = 0;
    uint8_t m_flags = 0;
};
} // namespace ZK::SoundEngine
