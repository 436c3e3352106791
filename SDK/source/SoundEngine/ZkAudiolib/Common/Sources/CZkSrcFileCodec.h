// CZkSrcFileCodec: the source of every media decoded by a software codec (the built-in PCM codec
// among them), read through a source cursor from a loose file, a prefetch block followed by the
// file, or the media in memory. It reads the media header (over several stream buffers when it is
// longer than the first), lets the codec read the format, keeps the play position with its loop,
// and hands the voice the codec's frames with the markers that fall in them.
//
// Seeks: a pending seek of the instance (samples at the engine's rate, or a fraction of the
// duration) is mapped into the loop, optionally snapped to the nearest marker (the first of two at
// the same distance), and carried out when the stream starts, on Restart, and when the voice comes
// back from virtual mode; a target past the media's end fails (2).
//
// Virtual mode: entering it stops the stream; unless the voice resumes where it stopped
// (behaviour 2) the buffer held goes back and the codec drops its state ("stream data dropped"),
// and leaving it seeks to where the voice starts again (the beginning, or the elapsed time).
//
// Threading: the thread rendering the voice. Ownership: memory pool 5 (the registry's codec
// creators make it); it owns its codec, its cursor's stream, its marker table, its accumulation
// buffer and a copy of the header block (unless the header lies in the media's memory).
#pragma once

#include "ZkAudiolib/Common/Media/ZkEnvelopeTable.h"
#include "ZkAudiolib/Common/Media/ZkSourceCursor.h"
#include "ZkAudiolib/Common/Media/ZkSourcePosition.h"
#include "ZkAudiolib/Common/Sources/CZkVoiceSource.h"
#include "ZkAudiolib/Common/Sources/IZkSoftwareCodec.h"
#include "ZkAudiolib/Common/Voice/ZkMarkerTable.h"

namespace ZK::SoundEngine
{
class CZkSrcFileCodec final : public CZkVoiceSource
{
public:
    // Own flags.
    static constexpr uint8_t kDataDropped = 0x2;
    static constexpr uint8_t kVirtual = 0x4;
    static constexpr uint8_t kCodecFailed = 0x8;

    // The built-in codec's creators (context: the playing instance): a source over the PCM codec in
    // pool 5, or null. The file creator's source streams, the bank creator's reads memory.
    static void* CreateFileSource(void* context);
    static void* CreateBankSource(void* context);

    CZkSrcFileCodec(CZkPlayingInstance* instance, ZkCodecFactory codecFactory)
        : CZkVoiceSource(instance), m_codecFactory(codecFactory)
    {
    }
    ~CZkSrcFileCodec() override { StopStream(); }

    void ReleaseBuffer() override;
    ZKRESULT SkipFrames(uint32_t& frames) override;
    void EnterVirtual(uint32_t behaviour) override;
    ZKRESULT LeaveVirtual(uint32_t behaviour, bool fromElapsed) override;
    ZKRESULT Restart() override;
    float GetPitch() override;
    const ZkChannelConverter* GetConverter() override;

    ZKRESULT StartStream(const uint8_t* prefetch, uint32_t prefetchSize) override;
    void StopStream() override;
    ZKRESULT GetBuffer(ZkPipelineBuffer& buffer) override;
    float GetDuration() override;
    ZKRESULT StopLooping() override;
    bool HandlesPitch() override;
    ZKRESULT HandOver(CZkVoiceSource* next) override;
    bool IsCodecSource() override { return true; }
    ZKRESULT RelocateMedia(const uint8_t* newAddress, const uint8_t* oldAddress) override;
    bool FollowsMovedMedia() override { return (m_codecFlags & kCodecMovableMedia) != 0; }
    bool UsesMediaMemory() override { return m_headerBlock != nullptr && !m_ownsHeaderBlock; }
    ZKRESULT Seek() override;
    float GetEnvelopeValue() override;
    uint32_t FrameStep() override;

    const ZkSourcePosition& Position() const { return m_position; }
    const ZkMarkerTable& Markers() const { return m_markers; }
    const ZkSourceCursor& Cursor() const { return m_cursor; }
    uint8_t OwnFlags() const { return m_ownFlags; }
    IZkSoftwareCodec* Codec() const { return m_codec; }
    // What makes the source's codec: also used to decode whole media ahead of play.
    ZkCodecFactory CodecFactory() const { return m_codecFactory; }

private:
    // StartStream's header steps: 1 once the codec knows the format; 63 while the stream has no
    // data; the failures of the header, the loop points and the format.
    ZKRESULT ReadHeader();
    ZKRESULT OpenCursor(const uint8_t* prefetch, uint32_t prefetchSize);
    ZKRESULT AccumulateHeader(const uint8_t* data, uint32_t size);
    ZKRESULT KeepHeaderBlock(const ZkMediaChunk& engineChunk);
    void TakeFormat(const ZkCodecFormat& format, uint32_t loopStart, uint32_t loopEnd);
    // The buffering of the stream, posted when the playing id reads it; its status.
    ZKRESULT PostBuffering();
    // The instance's seek target in source frames, mapped into the loop (and snapped): loops
    // receives the loops left from there.
    uint32_t SeekTarget(uint16_t& loops);
    // Moves the stream and the codec to frame with loops left. 2 past the end.
    ZKRESULT SeekTo(uint32_t frame, uint16_t loops);
    void FreeAccumulation();
    bool WaitForData() const;

    ZkSourcePosition m_position;
    ZkSourceCursor m_cursor;
    ZkEnvelopeTable m_envelope;
    uint32_t m_envelopeIndex = 0;
    ZkMarkerTable m_markers;
    ZkCodecFactory m_codecFactory;
    IZkSoftwareCodec* m_codec = nullptr;
    uint8_t* m_accumulation = nullptr;
    uint32_t m_accumulated = 0;
    uint32_t m_dataOffset = 0;
    uint16_t m_loops = 1;
    uint16_t m_codecFlags = 0;
    uint8_t m_mappingKind = kChannelMappingNone;
    uint8_t m_decodeMode = 0;
    uint8_t m_ownFlags = 0;
    ZkChannelConverter m_converter{};
};
} // namespace ZK::SoundEngine
